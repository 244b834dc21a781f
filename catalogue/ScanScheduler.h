// Which folder a scan's workers read next. Folders wait on a stack: a
// folder's subfolders go on top, the first one uppermost, and a worker that
// read a folder goes straight on with its first subfolder, so the workers
// stay close to the order the consumer takes rows in. The folder the
// consumer waits for comes before all others. Workers read no further ahead
// of a consumer that falls behind than a bound of rows, except while it
// waits for the folder it is at (on a share one large folder may take long,
// and the rest of the tree is read meanwhile).
//
// Threads. The workers share a lock among themselves and sleep on an
// atomic counter, the epoch, which is bumped after every change a sleeping
// worker may act on. The consumer's calls (ConsumerWaitsFor, ConsumerTook)
// and Stop take no lock and never wait: they change atomics, then bump the
// epoch when a worker may be asleep for want of that change. Orderings:
// every atomic here is sequentially consistent. A worker reads the epoch
// before it looks at anything else and sleeps only while the epoch still
// holds that value, so a change made after its look bumps the epoch past
// it. The consumer bumps only when a worker may sleep for its change: a
// folder no worker has taken, or workers held back by the bound, who raise
// m_bHeldBack before they look (see Next).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <mutex>
#include <vector>

namespace norvane {

// A folder to be read; a scan's folder records derive from it.
struct ScanWork {
    // Taken by one reader for good.
    bool Claim() { return !m_bClaimed.exchange(true); }
    bool Claimed() const { return m_bClaimed.load(); }

private:
    std::atomic<bool> m_bClaimed{false};
};

class ScanScheduler {
public:
    explicit ScanScheduler(std::size_t readAheadRows) : m_nReadAhead(readAheadRows) {}

    // Before any worker asks: the first folder to read.
    void Add(ScanWork* top);

    // ---- The workers ----

    // The next folder to read, claimed for the caller; waits while there is
    // none yet. Null once every folder was read or the scan stopped.
    ScanWork* Next();
    // A folder the caller read listed children (in enumeration order). They
    // wait their turn, except the first when keepFirst and the consumer is
    // not far behind: it is returned, claimed, for the caller to read next.
    ScanWork* Finished(const std::vector<ScanWork*>& children, bool keepFirst);
    // Rows the consumer may now take.
    void Published(std::size_t rows) { m_nPublished.fetch_add(rows); }
    bool Stopped() const { return m_bStop.load(); }
    // The flag itself, for a reader to look at between system calls.
    const std::atomic<bool>& StopFlag() const { return m_bStop; }

    // ---- The consumer, and Stop from any thread; none of them waits ----

    // The consumer found nothing more of folder for now.
    void ConsumerWaitsFor(ScanWork* folder);
    void ConsumerTook(std::size_t rows);
    void Stop();

private:
    // Under m_mutex.
    ScanWork* TakeWork();
    bool FarAhead() const;
    // Wakes one sleeping worker, or all.
    void Bump(bool all);

    const std::size_t m_nReadAhead;
    std::atomic<std::uint32_t> m_epoch{0};
    std::atomic<bool> m_bStop{false};
    std::atomic<ScanWork*> m_pUrgent{nullptr};  // the folder the consumer waits for
    std::atomic<bool> m_bConsumerWaiting{false};
    std::atomic<bool> m_bHeldBack{false};  // a worker sleeps for the bound
    std::atomic<std::uint64_t> m_nPublished{0};
    std::atomic<std::uint64_t> m_nTaken{0};

    std::mutex m_mutex;             // the workers'
    std::vector<ScanWork*> m_work;  // listed folders; the last is read first
    std::size_t m_nReading = 0;
};

}  // namespace norvane
