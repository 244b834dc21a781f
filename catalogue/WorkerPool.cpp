#include "catalogue/WorkerPool.h"

#include <algorithm>
#include <new>
#include <system_error>
#include <utility>
#include <vector>

#include "catalogue/FolderScan.h"
#include "platform/Threads.h"

namespace norvane {

// Orderings. A thread goes idle only after it read the doorbell and then
// found both the inbox and the queues empty; Submit pushes its task and only
// then bumps the doorbell (all sequentially consistent). So a thread that
// missed the task read the doorbell before the bump, and its wait on the
// old value returns. Idle threads are counted only to choose between waking
// one and making one; a wrong guess costs a spare thread (within the bound)
// or a task that waits for the next free thread, never a lost task.

WorkerPool::WorkerPool(std::size_t bound) : m_nBound(std::max<std::size_t>(bound, 1)) {}

WorkerPool::~WorkerPool() {
    while (!Shutdown(std::chrono::hours(1))) {}
}

WorkerPool& WorkerPool::Shared() {
    static WorkerPool* pool = [] {
        auto* made = new WorkerPool(static_cast<std::size_t>(kDefaultScanThreads));
        RunInForkedChild([] { Shared().ForgetThreads(); });
        return made;
    }();
    return *pool;
}

void WorkerPool::ForgetThreads() {
    // Made anew in place: a lock may have been held by a thread that is not
    // in the child.
    new (&m_mutex) std::mutex;
    new (&m_idleMutex) std::mutex;
    new (&m_shutdownMutex) std::mutex;
    new (&m_idle) std::condition_variable;
    new (&m_scanQueue) std::deque<Task*>;
    new (&m_otherQueue) std::deque<Task*>;
    m_pInbox.store(nullptr);
    m_pThreads.store(nullptr);
    m_nThreads.store(0);
    m_nIdle.store(0);
    m_nUnfinished.store(0);
    m_nScanRunning = 0;
    m_nOtherRunning = 0;
    m_bShutdown = false;
}

void WorkerPool::Submit(std::function<void()> run, Lane lane) {
    m_nUnfinished.fetch_add(1);
    auto* task = new Task{std::move(run), lane};
    task->next = m_pInbox.load();
    while (!m_pInbox.compare_exchange_weak(task->next, task)) {}
    Ring();
    if (m_nIdle.load() == 0) TrySpawn();
}

void WorkerPool::RaiseBound(std::size_t bound) {
    std::size_t now = m_nBound.load();
    while (bound > now && !m_nBound.compare_exchange_weak(now, bound)) {}
    Ring();
}

void WorkerPool::Ring() {
    m_doorbell.fetch_add(1);
    m_doorbell.notify_one();
}

void WorkerPool::TrySpawn() {
    std::size_t threads = m_nThreads.load();
    do {
        if (threads >= m_nBound.load() + kOtherTasks) return;
    } while (!m_nThreads.compare_exchange_weak(threads, threads + 1));
    auto* record = new Thread;
    try {
        const SignalsKeptFromNewThreads blocked;
        record->thread = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        // No thread to be had: the tasks wait for the threads there are.
        delete record;
        m_nThreads.fetch_sub(1);
        return;
    }
    record->next = m_pThreads.load();
    while (!m_pThreads.compare_exchange_weak(record->next, record)) {}
}

void WorkerPool::Drain() {
    Task* task = m_pInbox.exchange(nullptr);
    // The stack holds the newest first: each goes ahead of the one after it.
    std::vector<Task*> fresh;
    for (; task != nullptr; task = task->next) fresh.push_back(task);
    for (auto it = fresh.rbegin(); it != fresh.rend(); ++it) {
        ((*it)->lane == Lane::kScan ? m_scanQueue : m_otherQueue).push_back(*it);
    }
}

bool WorkerPool::Runnable() const {
    return (!m_otherQueue.empty() && m_nOtherRunning < kOtherTasks) ||
           (!m_scanQueue.empty() && m_nScanRunning < m_nBound.load());
}

WorkerPool::Task* WorkerPool::Pick() {
    if (!m_otherQueue.empty() && m_nOtherRunning < kOtherTasks) {
        Task* task = m_otherQueue.front();
        m_otherQueue.pop_front();
        ++m_nOtherRunning;
        return task;
    }
    if (!m_scanQueue.empty() && m_nScanRunning < m_nBound.load()) {
        Task* task = m_scanQueue.front();
        m_scanQueue.pop_front();
        ++m_nScanRunning;
        return task;
    }
    return nullptr;
}

void WorkerPool::Run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        const std::uint32_t seen = m_doorbell.load();
        Drain();
        if (Task* task = Pick()) {
            // More may run beside it: a thread that waits takes it, or a
            // new one while the bound allows.
            const bool more = Runnable();
            lock.unlock();
            if (more) {
                Ring();
                if (m_nIdle.load() == 0) TrySpawn();
            }
            Finish(task);
            lock.lock();
            --(task->lane == Lane::kScan ? m_nScanRunning : m_nOtherRunning);
            delete task;
            if (m_nUnfinished.fetch_sub(1) == 1) {
                std::lock_guard idle(m_idleMutex);
                m_idle.notify_all();
            }
            continue;
        }
        if (m_bShutdown) return;
        m_nIdle.fetch_add(1);
        lock.unlock();
        m_doorbell.wait(seen);
        m_nIdle.fetch_sub(1);
        lock.lock();
    }
}

void WorkerPool::Finish(Task* task) {
    task->run();
    task->run = nullptr;  // what it holds goes before the task counts as ended
}

bool WorkerPool::WaitIdle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_idleMutex);
    return m_idle.wait_for(lock, timeout, [this] { return m_nUnfinished.load() == 0; });
}

bool WorkerPool::Shutdown(std::chrono::milliseconds timeout) {
    std::lock_guard shutdown(m_shutdownMutex);
    if (!WaitIdle(timeout)) return false;
    {
        std::lock_guard lock(m_mutex);
        m_bShutdown = true;
    }
    m_doorbell.fetch_add(1);
    m_doorbell.notify_all();
    Thread* thread = m_pThreads.exchange(nullptr);
    while (thread != nullptr) {
        thread->thread.join();
        Thread* next = thread->next;
        delete thread;
        thread = next;
    }
    std::lock_guard lock(m_mutex);
    m_nThreads.store(0);
    m_bShutdown = false;
    return true;
}

}  // namespace norvane
