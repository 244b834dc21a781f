// The scan's scheduler on its own: the order folders are read in, the
// consumer's folder first, the bound on reading ahead, and workers that
// sleep are woken by every change they wait for.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <future>
#include <thread>
#include <vector>

#include "catalogue/ScanScheduler.h"

using namespace norvane;
using namespace std::chrono_literals;

namespace {

// A worker's next folder, asked on a thread of its own.
std::future<ScanWork*> AskNext(ScanScheduler& scheduler) {
    return std::async(std::launch::async, [&scheduler] { return scheduler.Next(); });
}

bool Sleeps(std::future<ScanWork*>& next) { return next.wait_for(50ms) == std::future_status::timeout; }
bool Answers(std::future<ScanWork*>& next) { return next.wait_for(10s) == std::future_status::ready; }

}  // namespace

// A worker goes on with the first subfolder of what it read; the others are
// taken first-listed first, before anything listed earlier; the folder the
// consumer waits for goes before them all; once all is read, Next ends.
TEST(ScanSchedulerTest, OrderOfReading) {
    std::deque<ScanWork> work(8);
    ScanScheduler scheduler(1000);
    scheduler.Add(&work[0]);
    ASSERT_EQ(scheduler.Next(), &work[0]);
    EXPECT_EQ(scheduler.Finished({&work[1], &work[2], &work[3]}, true), &work[1]);
    EXPECT_EQ(scheduler.Finished({&work[4], &work[5]}, false), nullptr);  // not kept: the consumer reads it
    EXPECT_EQ(scheduler.Next(), &work[4]);
    scheduler.ConsumerWaitsFor(&work[3]);
    EXPECT_EQ(scheduler.Next(), &work[3]);
    EXPECT_EQ(scheduler.Next(), &work[5]);
    EXPECT_EQ(scheduler.Next(), &work[2]);
    for (int i = 0; i < 3; ++i) scheduler.Finished({}, true);
    auto last = AskNext(scheduler);
    EXPECT_TRUE(Sleeps(last));  // one is still being read; work[3] is not read twice
    scheduler.Finished({}, true);
    ASSERT_TRUE(Answers(last));
    EXPECT_EQ(last.get(), nullptr);
}

// A folder the consumer waits for may be read before the worker reading its
// parent lists it: that worker then lists only folders read already, and
// finds everything read. Every worker asleep learns the end, not only the
// one its listing woke.
TEST(ScanSchedulerTest, EverySleepingWorkerLearnsTheEnd) {
    std::deque<ScanWork> work(2);
    ScanScheduler scheduler(1000);
    scheduler.Add(&work[0]);
    ASSERT_EQ(scheduler.Next(), &work[0]);
    scheduler.ConsumerWaitsFor(&work[1]);  // its row is out, its parent not yet done
    ASSERT_EQ(scheduler.Next(), &work[1]);
    EXPECT_EQ(scheduler.Finished({}, true), nullptr);
    auto first = AskNext(scheduler);
    auto second = AskNext(scheduler);
    EXPECT_TRUE(Sleeps(first));
    EXPECT_TRUE(Sleeps(second));
    EXPECT_EQ(scheduler.Finished({&work[1]}, true), nullptr);  // read already
    EXPECT_EQ(scheduler.Next(), nullptr);
    EXPECT_TRUE(Answers(first));
    EXPECT_TRUE(Answers(second));
    scheduler.Stop();  // lets a worker that never woke go, so that the test ends
    EXPECT_EQ(first.get(), nullptr);
    EXPECT_EQ(second.get(), nullptr);
}

// Past the bound a worker sleeps until the consumer has taken half of it,
// or waits for the folder it is at; it wakes for a new folder and for a
// stop, after which nothing more is handed out.
TEST(ScanSchedulerTest, TheBoundAndEveryWake) {
    std::deque<ScanWork> work(6);
    ScanScheduler scheduler(10);
    scheduler.Add(&work[0]);
    ASSERT_EQ(scheduler.Next(), &work[0]);
    scheduler.Published(10);
    EXPECT_EQ(scheduler.Finished({&work[1], &work[2], &work[3]}, true), nullptr);  // too far ahead to keep one
    auto held = AskNext(scheduler);
    EXPECT_TRUE(Sleeps(held));
    scheduler.ConsumerTook(4);  // six still wait: more than half
    EXPECT_TRUE(Sleeps(held));
    scheduler.ConsumerTook(1);
    ASSERT_TRUE(Answers(held));
    EXPECT_EQ(held.get(), &work[1]);

    scheduler.Published(10);
    auto again = AskNext(scheduler);
    EXPECT_TRUE(Sleeps(again));
    scheduler.ConsumerWaitsFor(&work[1]);  // it waits for a folder a worker reads
    ASSERT_TRUE(Answers(again));
    EXPECT_EQ(again.get(), &work[2]);

    scheduler.ConsumerTook(10);
    EXPECT_EQ(scheduler.Next(), &work[3]);
    auto idle = AskNext(scheduler);  // nothing left to take, three being read
    EXPECT_TRUE(Sleeps(idle));
    EXPECT_EQ(scheduler.Finished({&work[4]}, false), nullptr);
    ASSERT_TRUE(Answers(idle));
    EXPECT_EQ(idle.get(), &work[4]);

    auto stopped = AskNext(scheduler);
    EXPECT_TRUE(Sleeps(stopped));
    scheduler.Stop();
    ASSERT_TRUE(Answers(stopped));
    EXPECT_EQ(stopped.get(), nullptr);
    EXPECT_EQ(scheduler.Finished({&work[5]}, true), nullptr);
    EXPECT_EQ(scheduler.Next(), nullptr);
}

// Many workers on a random tree while a consumer takes rows and waits at
// random: every folder is read exactly once and nobody sleeps for ever.
TEST(ScanSchedulerTest, ManyWorkersReadEveryFolderOnce) {
    for (int round = 0; round < 20; ++round) {
        constexpr int kFolders = 3000;
        std::vector<ScanWork> work(kFolders);
        std::vector<std::atomic<int>> reads(kFolders);
        ScanScheduler scheduler(8);
        scheduler.Add(&work[0]);
        std::atomic<int> next{1};
        auto index = [&](ScanWork* w) { return static_cast<int>(w - work.data()); };
        std::vector<std::thread> workers;
        for (int t = 0; t < 6; ++t) {
            workers.emplace_back([&, t] {
                unsigned seed = static_cast<unsigned>(round * 31 + t);
                for (ScanWork* w = scheduler.Next(); w != nullptr;) {
                    ++reads[static_cast<std::size_t>(index(w))];
                    std::vector<ScanWork*> children;
                    const int n = static_cast<int>((seed = seed * 1103515245 + 12345) >> 16) % 4;
                    for (int i = 0; i < n; ++i) {
                        const int c = next.fetch_add(1);
                        if (c < kFolders) children.push_back(&work[static_cast<std::size_t>(c)]);
                    }
                    scheduler.Published(static_cast<std::size_t>(n));
                    w = scheduler.Finished(children, true);
                    if (w == nullptr) w = scheduler.Next();
                }
            });
        }
        std::atomic<bool> done{false};
        std::thread consumer([&] {
            for (int i = 0; !done.load(); ++i) {
                const int listed = std::min(next.load(), kFolders);
                if (i % 3 == 0) scheduler.ConsumerWaitsFor(&work[static_cast<std::size_t>(i % listed)]);
                scheduler.ConsumerTook(1);
                std::this_thread::yield();
            }
        });
        for (auto& worker : workers) worker.join();
        done = true;
        consumer.join();
        const int made = std::min(next.load(), kFolders);
        for (int i = 0; i < made; ++i) ASSERT_EQ(reads[static_cast<std::size_t>(i)].load(), 1) << i;
    }
}
