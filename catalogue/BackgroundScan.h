// A folder scan for a consumer that must never wait on the file system (the
// main window): its records live in a store shared with whoever shows them,
// and letting the scan go never waits for its workers.
//
// Threads. The consumer makes, starts, takes from and lets go of the scan on
// its own thread, as with FolderScan, and none of these takes a lock a
// worker may hold. Letting it go (the destructor) asks it to stop and
// returns: its workers, tasks of the process's pool, end as each is back
// from the call it is in, and the last of them drops the scan's share of
// the store. The store is freed by its last holder: that worker, or the
// consumer once it no longer shows the rows. Records handed over by Take are
// never written again, so the consumer may read them while a stopping
// worker still adds records the consumer never sees.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "catalogue/FolderScan.h"

namespace norvane {

class BackgroundScan {
public:
    BackgroundScan(std::string rawFolder, const ScanOptions& options);
    // Stops the scan and returns at once; see above.
    ~BackgroundScan();
    BackgroundScan(const BackgroundScan&) = delete;
    BackgroundScan& operator=(const BackgroundScan&) = delete;

    // As FolderScan's.
    void Start(std::function<void()> wake) { m_pScan->Start(std::move(wake)); }
    void RequestStop() { m_pScan->RequestStop(); }
    bool Take(ScanBatch& batch, std::chrono::milliseconds wait, std::size_t maxRows = SIZE_MAX) {
        return m_pScan->Take(batch, wait, maxRows);
    }
    const ScanResult& Result() const { return m_pScan->Result(); }
    ScanProgress Progress() const { return m_pScan->Progress(); }

    // The records of this scan.
    const std::shared_ptr<FileStore>& Store() const { return m_pStore; }

private:
    std::shared_ptr<FileStore> m_pStore;
    std::unique_ptr<FolderScan> m_pScan;
};

// Runs work as a task of the process's pool, beside the scans' workers
// (WorkerPool::Lane::kOther); WaitForBackgroundWork waits for it.
void RunInBackground(std::function<void()> work);
// Waits up to timeout until every task of the pool (the workers of scans let
// go included) has ended. False when some is still running, such as a worker
// held up inside the file system: a program that ends then must end without
// its static objects' destructors (std::_Exit), which that work may still use.
bool WaitForBackgroundWork(std::chrono::milliseconds timeout);
// At a program's end: waits as WaitForBackgroundWork, then ends the pool's
// threads; false (and nothing ended) when some work is still running.
bool EndBackgroundWork(std::chrono::milliseconds timeout);

}  // namespace norvane
