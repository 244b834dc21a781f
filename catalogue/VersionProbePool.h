// Reads the version resources of a scan's files on threads of their own, so
// that the waits on the disk overlap each other and the enumeration.
#pragma once

#include <condition_variable>
#include <cstddef>
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
    // maxOpenFolders bounds the folder descriptors held by pending probes.
    explicit VersionProbePool(int threads, std::size_t maxOpenFolders);
    ~VersionProbePool();
    VersionProbePool(const VersionProbePool&) = delete;
    VersionProbePool& operator=(const VersionProbePool&) = delete;

    // Probes the files of one folder; folderFd stays the caller's. Waits
    // while too many folders are pending.
    void Submit(int folderFd, std::vector<Job>& jobs);
    // Returns when every submitted probe is done.
    void Wait();

private:
    // The files of one folder, with a duplicate of its descriptor that is
    // closed when they are done.
    struct Group {
        int fd;
        std::vector<Job> jobs;
    };
    // Several folders' files go to a thread at once: a thread woken for
    // every small folder spends more on waking than on probing when the
    // files are in the cache.
    struct Batch {
        std::vector<Group> groups;
        std::size_t jobCount = 0;
    };
    static void Run(int fd, std::vector<Job>& jobs);
    static void CloseAll(Batch& batch);
    void Queue();
    void Work();

    std::mutex m_mutex;
    std::condition_variable m_workReady;
    std::condition_variable m_spaceOrDone;
    std::deque<Batch> m_queue;
    std::size_t m_nOpenFolders = 0;  // descriptors held by queued and running batches
    std::size_t m_nBusy = 0;
    std::size_t m_nMaxOpenFolders;
    bool m_bStopping = false;
    Batch m_filling;  // the caller's batch, not yet queued
    std::vector<std::thread> m_threads;
};

}  // namespace norvane
