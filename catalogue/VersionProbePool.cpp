#include "catalogue/VersionProbePool.h"

#include <fcntl.h>
#include <unistd.h>

#include "platform/VersionInfo.h"

namespace norvane {

VersionProbePool::VersionProbePool(int threads, std::size_t maxPendingFolders)
    : m_nMaxPending(maxPendingFolders == 0 ? 1 : maxPendingFolders) {
    for (int i = 0; i < threads; ++i) m_threads.emplace_back([this] { Work(); });
}

VersionProbePool::~VersionProbePool() {
    {
        std::lock_guard lock(m_mutex);
        m_bStopping = true;
    }
    m_workReady.notify_all();
    for (auto& thread : m_threads) thread.join();
    for (auto& batch : m_queue) ::close(batch.fd);  // only if stopped unfinished
}

void VersionProbePool::Run(int fd, std::vector<Job>& jobs) {
    for (auto& job : jobs) {
        if (!ReadRegularFileVersionAt(fd, job.rawName.c_str(), &job.item->versionInfo)) {
            job.item->versionInfo = VS_FIXEDFILEINFO{};
        }
    }
}

void VersionProbePool::Submit(int folderFd, std::vector<Job>& jobs) {
    if (jobs.empty()) return;
    int fd = m_threads.empty() ? -1 : fcntl(folderFd, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        // No threads, or no descriptor to spare: probe here.
        Run(folderFd, jobs);
        jobs.clear();
        return;
    }
    {
        std::unique_lock lock(m_mutex);
        m_spaceOrDone.wait(lock, [this] { return m_queue.size() < m_nMaxPending; });
        m_queue.push_back(Batch{fd, std::move(jobs)});
    }
    jobs.clear();
    m_workReady.notify_one();
}

void VersionProbePool::Wait() {
    std::unique_lock lock(m_mutex);
    m_spaceOrDone.wait(lock, [this] { return m_queue.empty() && m_nBusy == 0; });
}

void VersionProbePool::Work() {
    for (;;) {
        Batch batch;
        {
            std::unique_lock lock(m_mutex);
            m_workReady.wait(lock, [this] { return m_bStopping || !m_queue.empty(); });
            if (m_queue.empty()) return;
            batch = std::move(m_queue.front());
            m_queue.pop_front();
            ++m_nBusy;
        }
        m_spaceOrDone.notify_all();
        Run(batch.fd, batch.jobs);
        ::close(batch.fd);
        {
            std::lock_guard lock(m_mutex);
            --m_nBusy;
        }
        m_spaceOrDone.notify_all();
    }
}

}  // namespace norvane
