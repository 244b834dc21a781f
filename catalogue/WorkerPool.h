// The process's one pool of worker threads. Every scan's workers run as its
// tasks, and so do the window's folder checks and its long work on the
// records. It holds a bounded number of threads, made as tasks need them and
// kept until Shutdown; no thread is detached.
//
// Two lanes share the threads. At most Bound() scan tasks run at a time; at
// most kOtherTasks other tasks (folder checks, long work) besides them, so
// that those run at once even while every scan thread is held up inside a
// slow file system. The pool so never has more than Bound() + kOtherTasks
// threads.
//
// Threads. Submit is lock-free and never waits: any thread, the window's
// included, may call it. The pool's threads share a lock among themselves;
// WaitIdle and Shutdown wait, and are for a program's end and for tests.
// A task must not wait for another task of the pool: every thread may be
// taken by tasks that wait so.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace norvane {

class WorkerPool {
public:
    enum class Lane { kScan, kOther };
    // Tasks of the other lane that may run at a time, besides the scans'.
    static constexpr std::size_t kOtherTasks = 4;

    explicit WorkerPool(std::size_t bound);
    // Waits for every task, then ends the threads.
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Runs task on a pool thread, after the tasks of its lane submitted
    // before it. The task's function object is destroyed on that thread
    // before the task counts as ended.
    void Submit(std::function<void()> task, Lane lane = Lane::kScan);

    // Scan tasks that may run at a time. Raising it (a program that asks for
    // more workers) takes effect for the tasks that wait.
    std::size_t Bound() const { return m_nBound.load(); }
    void RaiseBound(std::size_t bound);
    // Threads alive now.
    std::size_t ThreadCount() const { return m_nThreads.load(); }

    // Waits until no task runs or waits; false when some still does at the
    // timeout.
    bool WaitIdle(std::chrono::milliseconds timeout);
    // Once idle (within timeout), ends and joins every thread; false, with
    // nothing ended, when a task still runs. Later tasks make new threads.
    bool Shutdown(std::chrono::milliseconds timeout);

    // The process's pool, bounded by the scan's default number of workers.
    // Never destroyed: at a program's end a worker may still be inside a
    // system call (see Shutdown). The child of a fork starts it afresh.
    static WorkerPool& Shared();

private:
    struct Task {
        std::function<void()> run;
        Lane lane;
        Task* next = nullptr;
    };
    struct Thread {
        std::thread thread;
        Thread* next = nullptr;
    };

    void Run();
    // Moves submitted tasks into the queues; under m_mutex.
    void Drain();
    // A task whose lane has room, counted as running; under m_mutex.
    Task* Pick();
    bool Runnable() const;
    void Ring();
    void TrySpawn();
    void Finish(Task* task);
    // In the child of a fork: the parent's threads are not there, and what
    // they held is forgotten, not freed (it may be in any state).
    void ForgetThreads();

    std::atomic<std::size_t> m_nBound;
    std::atomic<std::size_t> m_nThreads{0};
    std::atomic<std::size_t> m_nIdle{0};
    std::atomic<std::size_t> m_nUnfinished{0};  // submitted and not yet ended
    // Submitted tasks, newest first (lock-free stacks the threads drain).
    std::atomic<Task*> m_pInbox{nullptr};
    // Bumped at every submission and at Shutdown; idle threads wait on it.
    std::atomic<std::uint32_t> m_doorbell{0};
    std::atomic<Thread*> m_pThreads{nullptr};

    std::mutex m_mutex;  // the pool's threads only
    std::deque<Task*> m_scanQueue;
    std::deque<Task*> m_otherQueue;
    std::size_t m_nScanRunning = 0;
    std::size_t m_nOtherRunning = 0;
    bool m_bShutdown = false;

    std::mutex m_idleMutex;  // WaitIdle's
    std::condition_variable m_idle;
    std::mutex m_shutdownMutex;  // one Shutdown at a time
};

}  // namespace norvane
