// How a scan's rows go from the workers that read folders to the one
// consumer that takes them in order, without the consumer ever taking a lock
// a worker may hold, and how a consumer that found nothing is woken.
//
// FolderNews: one folder's rows and outcome, from the one thread that reads
// the folder (the reader) to the consumer. The reader appends rows in
// batches and finally says how the reading ended; each step is published
// with a release store that the consumer's acquire load pairs with, so the
// records of a batch, and the outcome and whatever else the reader wrote
// before Finish, are complete when the consumer sees them.
//
// ConsumerWake: a consumer that found nothing new at the folder it waits
// for arms the wake for that folder, then looks once more; a reader that
// published news of a folder then looks whether the wake is armed for it,
// and if it takes the arm, calls the wake. Orderings: the consumer arms with
// an exchange and the reader looks with a read-modify-write of the same
// atomic (both acquire and release), and such operations on one atomic are
// totally ordered, each reading the one before. If the reader's comes
// first, the consumer's exchange reads from it, synchronises with it and so
// sees the news the reader published before; if the consumer's comes first,
// the reader reads the arm. No case is left where each misses the other.
// The arm is taken with a compare-exchange, so a wake is called at most
// once per arming.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "catalogue/FileItem.h"
#include "catalogue/ScanErrorPolicy.h"

namespace norvane {

class FolderNews {
public:
    enum class Phase : std::uint8_t { kPending, kOpened, kDone };

    FolderNews() = default;
    // Frees the batches not taken.
    ~FolderNews();
    FolderNews(const FolderNews&) = delete;
    FolderNews& operator=(const FolderNews&) = delete;

    // ---- The reader ----
    // Appends rows (rows is left empty, its room kept); the folder counts as
    // opened from the first batch on.
    void Publish(std::vector<FileItem*>& rows);
    // After the last Publish: how the reading ended.
    void Finish(const FolderOutcome& outcome);

    // ---- The consumer ----
    Phase Seen() const { return m_phase.load(std::memory_order_acquire); }
    // Only once Seen() is kDone (an opened folder opened without an error).
    const FolderOutcome& Outcome() const { return m_outcome; }
    // Appends up to maxRows rows published and not yet taken to out; returns
    // how many.
    std::size_t Take(std::vector<FileItem*>& out, std::size_t maxRows);
    // True when rows not yet taken are published.
    bool HasRows();
    // Once Seen() is kDone and the rows are taken: frees what is left.
    void Clear();

private:
    struct Batch {
        std::vector<FileItem*> rows;
        std::atomic<Batch*> next{nullptr};
    };

    // In an order that leaves no gap: a scan keeps one per folder.
    std::atomic<Batch*> m_pFirst{nullptr};
    Batch* m_pLast = nullptr;  // the reader's
    Batch* m_pAt = nullptr;    // the consumer's: the batch it takes from
    std::uint32_t m_nAt = 0;   // rows of m_pAt taken
    std::atomic<Phase> m_phase{Phase::kPending};
    FolderOutcome m_outcome;  // written by the reader before kDone
};

class ConsumerWake {
public:
    // Before any reader runs: called on a reader's thread (or a stopping
    // thread) when the consumer armed the wake and news came.
    void SetWake(std::function<void()> wake) { m_fnWake = std::move(wake); }

    // ---- The consumer ----
    // About to wait for news of folder: arms the wake for it. The caller
    // looks for news once more afterwards. blocking: the caller is going to
    // WaitUntil.
    void Arm(const void* folder, bool blocking = false);
    // That last look found news after all: the arm is taken back (a reader
    // that took it first calls the wake once more than needed).
    void Disarm(const void* folder);
    // A consumer that blocks rather than waits for the wake function: waits
    // until woken or deadline. Arm first; the only place a consumer takes
    // the lock a reader may take, which the window never does.
    void WaitUntil(std::chrono::steady_clock::time_point deadline);

    // ---- The readers, and any thread ----
    // After news of folder was published.
    void Announce(const void* folder);
    // Wakes an armed consumer whatever it waits for (a stop).
    void Kick();

private:
    void Wake();

    // The folder armed for (its address), 0 when none.
    std::atomic<std::uintptr_t> m_armedFor{0};
    std::function<void()> m_fnWake;
    // A consumer blocked in WaitUntil.
    std::atomic<bool> m_bBlocked{false};
    std::mutex m_mutex;
    std::condition_variable m_woken;
    bool m_bWoken = false;
};

}  // namespace norvane
