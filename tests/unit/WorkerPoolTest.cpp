// The process's pool: its bound, its two lanes, its idle wait and its end.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "catalogue/WorkerPool.h"

using namespace norvane;
using namespace std::chrono_literals;

namespace {

// Holds the tasks that wait on it until opened.
class Gate {
public:
    void Wait() {
        std::unique_lock lock(m_mutex);
        ++m_nWaiting;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_bOpen; });
    }
    bool WaitForWaiting(int n) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 10s, [&] { return m_nWaiting >= n; });
    }
    int Waiting() {
        std::lock_guard lock(m_mutex);
        return m_nWaiting;
    }
    void Open() {
        std::lock_guard lock(m_mutex);
        m_bOpen = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_nWaiting = 0;
    bool m_bOpen = false;
};

}  // namespace

// Scan tasks beyond the bound wait for a thread; the other lane still runs
// while every scan thread is held; the threads never pass the bound and its
// few others, and all of them end at Shutdown.
TEST(WorkerPoolTest, TheBoundHoldsAndTheOtherLaneIsNeverShutOut) {
    constexpr std::size_t kBound = 6;
    WorkerPool pool(kBound);
    Gate scans;
    std::atomic<int> started{0};
    for (int i = 0; i < 40; ++i) {
        pool.Submit([&] {
            ++started;
            scans.Wait();
        });
    }
    ASSERT_TRUE(scans.WaitForWaiting(static_cast<int>(kBound)));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(started.load(), static_cast<int>(kBound));

    Gate others;
    std::atomic<bool> quick{false};
    for (std::size_t i = 0; i < WorkerPool::kOtherTasks; ++i)
        pool.Submit([&] { others.Wait(); }, WorkerPool::Lane::kOther);
    ASSERT_TRUE(others.WaitForWaiting(static_cast<int>(WorkerPool::kOtherTasks)));
    pool.Submit([&] { quick = true; }, WorkerPool::Lane::kOther);  // waits for one of the others
    EXPECT_LE(pool.ThreadCount(), kBound + WorkerPool::kOtherTasks);
    EXPECT_FALSE(pool.WaitIdle(20ms));
    others.Open();
    EXPECT_FALSE(pool.Shutdown(50ms));  // the scans still run: nothing is ended
    scans.Open();
    ASSERT_TRUE(pool.WaitIdle(10s));
    EXPECT_TRUE(quick.load());
    EXPECT_EQ(started.load(), 40);
    EXPECT_LE(pool.ThreadCount(), kBound + WorkerPool::kOtherTasks);
    ASSERT_TRUE(pool.Shutdown(10s));
    EXPECT_EQ(pool.ThreadCount(), 0u);

    // A pool that was shut down makes threads again.
    std::atomic<bool> again{false};
    pool.Submit([&] { again = true; });
    ASSERT_TRUE(pool.WaitIdle(10s));
    EXPECT_TRUE(again.load());
}

// Tasks of one lane start in the order they were submitted, from any number
// of submitting threads at once; what a task holds is gone before it counts
// as ended; a raised bound lets waiting tasks run.
TEST(WorkerPoolTest, OrderSubmittersAndARaisedBound) {
    WorkerPool pool(1);
    std::vector<int> order;
    std::mutex mutex;
    Gate first;
    pool.Submit([&] { first.Wait(); });
    ASSERT_TRUE(first.WaitForWaiting(1));
    for (int i = 0; i < 100; ++i) {
        pool.Submit([&, i] {
            std::lock_guard lock(mutex);
            order.push_back(i);
        });
    }
    first.Open();
    ASSERT_TRUE(pool.WaitIdle(10s));
    ASSERT_EQ(order.size(), 100u);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(order[static_cast<std::size_t>(i)], i);

    auto held = std::make_shared<int>(7);
    std::weak_ptr<int> watch = held;
    std::atomic<int> done{0};
    std::vector<std::thread> submitters;
    for (int t = 0; t < 4; ++t) {
        submitters.emplace_back([&] {
            for (int i = 0; i < 250; ++i) pool.Submit([&, held] { done += *held > 0 ? 1 : 0; });
        });
    }
    for (auto& submitter : submitters) submitter.join();
    held.reset();
    ASSERT_TRUE(pool.WaitIdle(10s));
    EXPECT_EQ(done.load(), 1000);
    EXPECT_TRUE(watch.expired());

    Gate both;
    pool.Submit([&] { both.Wait(); });
    pool.Submit([&] { both.Wait(); });
    ASSERT_TRUE(both.WaitForWaiting(1));
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(both.Waiting(), 1);
    pool.RaiseBound(2);
    EXPECT_TRUE(both.WaitForWaiting(2));
    both.Open();
    EXPECT_TRUE(pool.Shutdown(10s));
}

// The child of a fork has none of its parent's pool threads: its pool makes
// its own, and its tasks run.
TEST(WorkerPoolTest, AForkedChildRunsTasksOnThreadsOfItsOwn) {
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the thread sanitizer starts no thread in the child of a process with threads";
#endif
    std::atomic<bool> ran{false};
    WorkerPool::Shared().Submit([&] { ran = true; });
    ASSERT_TRUE(WorkerPool::Shared().WaitIdle(10s));
    ASSERT_TRUE(ran.load());
    EXPECT_EXIT(
        {
            std::atomic<bool> ranInChild{false};
            WorkerPool::Shared().Submit([&] { ranInChild = true; });
            _exit(WorkerPool::Shared().WaitIdle(10s) && ranInChild.load() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}
