// Reads the version resources of a scan's files on threads of their own, so
// that the waits on the disk overlap each other and the enumeration.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "catalogue/FileItem.h"

namespace norvane {

class VersionProbePool {
public:
    struct Job {
        FileItem* item;
        std::string rawName;  // relative to the folder
    };

    // threads 0: every probe runs in Submit, on the caller's thread.
    explicit VersionProbePool(int threads, std::size_t maxPendingFolders);
    ~VersionProbePool();
    VersionProbePool(const VersionProbePool&) = delete;
    VersionProbePool& operator=(const VersionProbePool&) = delete;

    // Probes the files of one folder; folderFd stays the caller's. Waits
    // while too many folders are pending.
    void Submit(int folderFd, std::vector<Job>& jobs);
    // Returns when every submitted probe is done.
    void Wait();

private:
    struct Batch {
        int fd;  // a duplicate of the folder's descriptor, closed when done
        std::vector<Job> jobs;
    };
    static void Run(int fd, std::vector<Job>& jobs);
    void Work();

    std::mutex m_mutex;
    std::condition_variable m_workReady;
    std::condition_variable m_spaceOrDone;
    std::deque<Batch> m_queue;
    std::size_t m_nBusy = 0;
    std::size_t m_nMaxPending;
    bool m_bStopping = false;
    std::vector<std::thread> m_threads;
};

}  // namespace norvane
