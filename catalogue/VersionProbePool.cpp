#include "catalogue/VersionProbePool.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include "platform/VersionInfo.h"

namespace norvane {

namespace {

// A batch goes to a thread once it holds this many files or folders.
constexpr std::size_t kBatchFiles = 256;
constexpr std::size_t kBatchFolders = 64;

}  // namespace

VersionProbePool::VersionProbePool(int threads, std::size_t maxOpenFolders)
    : m_nMaxOpenFolders(maxOpenFolders == 0 ? 1 : maxOpenFolders) {
    for (int i = 0; i < threads; ++i) m_threads.emplace_back([this] { Work(); });
}

VersionProbePool::~VersionProbePool() {
    {
        std::lock_guard lock(m_mutex);
        m_bStopping = true;
    }
    m_workReady.notify_all();
    for (auto& thread : m_threads) thread.join();
    // Only when stopped unfinished.
    for (auto& batch : m_queue) CloseAll(batch);
    CloseAll(m_filling);
}

void VersionProbePool::Run(int fd, std::vector<Job>& jobs) {
    for (auto& job : jobs) {
        if (!ReadRegularFileVersionAt(fd, job.rawName.c_str(), &job.item->versionInfo)) {
            job.item->versionInfo = VS_FIXEDFILEINFO{};
        }
    }
}

void VersionProbePool::CloseAll(Batch& batch) {
    for (auto& group : batch.groups) ::close(group.fd);
    batch.groups.clear();
    batch.jobCount = 0;
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
    m_filling.jobCount += jobs.size();
    m_filling.groups.push_back(Group{fd, std::move(jobs)});
    jobs.clear();
    if (m_filling.jobCount >= kBatchFiles || m_filling.groups.size() >= std::min(kBatchFolders, m_nMaxOpenFolders)) {
        Queue();
    }
}

// Hands the caller's batch to the threads, waiting while too many folders
// are held open by pending probes.
void VersionProbePool::Queue() {
    if (m_filling.groups.empty()) return;
    const std::size_t nFolders = m_filling.groups.size();
    {
        std::unique_lock lock(m_mutex);
        m_spaceOrDone.wait(lock, [&] {
            return m_nOpenFolders == 0 || m_nOpenFolders + nFolders <= m_nMaxOpenFolders;
        });
        m_nOpenFolders += nFolders;
        m_queue.push_back(std::move(m_filling));
    }
    m_filling = Batch{};
    m_workReady.notify_one();
}

void VersionProbePool::Wait() {
    Queue();
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
        for (auto& group : batch.groups) Run(group.fd, group.jobs);
        const std::size_t nFolders = batch.groups.size();
        CloseAll(batch);
        {
            std::lock_guard lock(m_mutex);
            --m_nBusy;
            m_nOpenFolders -= nFolders;
        }
        m_spaceOrDone.notify_all();
    }
}

}  // namespace norvane
