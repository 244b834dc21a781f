// The hand-over between one reader and the consumer, on its own: rows and
// outcome arrive whole and in order, and a consumer that waits for the wake
// is always woken.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "catalogue/ScanHandOver.h"

using namespace norvane;
using namespace std::chrono_literals;

namespace {

// The wake a consumer that must not block waits for (as a window's event).
class Doorbell {
public:
    void Ring() {
        std::lock_guard lock(m_mutex);
        m_bRung = true;
        m_rung.notify_one();
    }
    bool Wait() {
        std::unique_lock lock(m_mutex);
        const bool rung = m_rung.wait_for(lock, 10s, [this] { return m_bRung; });
        m_bRung = false;
        return rung;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_rung;
    bool m_bRung = false;
};

}  // namespace

// A reader publishes records in batches of every size, one at a time most
// of them, and ends with an outcome; a consumer that takes at most a few at
// a time and only when woken gets every record, complete, in order, and the
// outcome, and is never left waiting.
TEST(ScanHandOverTest, EveryRowArrivesWholeAndTheConsumerIsAlwaysWoken) {
    for (int round = 0; round < 20; ++round) {
        constexpr int kRows = 5000;
        FileStore store;
        const Folder* folder = store.AddFolder("/top/");
        StoreArena* arena = store.NewArena();
        FolderNews news;
        ConsumerWake wake;
        Doorbell bell;
        wake.SetWake([&] { bell.Ring(); });
        wake.Arm(&news);
        std::thread reader([&] {
            std::vector<FileItem*> rows;
            for (int i = 0; i < kRows; ++i) {
                FileItem* item = arena->AddItem(std::to_string(i), folder);
                item->fileSize = static_cast<std::uint64_t>(i) * 3;
                rows.push_back(item);
                if (i % (1 + (i + round) % 7) == 0) {
                    news.Publish(rows);
                    wake.Announce(&news);
                }
            }
            news.Publish(rows);
            FolderOutcome outcome;
            outcome.endError = ERROR_READ_FAULT;
            news.Finish(outcome);
            wake.Announce(&news);
        });
        std::vector<FileItem*> taken;
        bool bWoken = true;
        while (bWoken) {
            while (news.Take(taken, 3) > 0) {}
            if (news.Seen() == FolderNews::Phase::kDone && !news.HasRows()) break;
            wake.Arm(&news);
            if (news.HasRows() || news.Seen() == FolderNews::Phase::kDone) {
                wake.Disarm(&news);
                continue;
            }
            bWoken = bell.Wait();
        }
        reader.join();
        ASSERT_TRUE(bWoken) << "a wake was lost in round " << round;
        EXPECT_EQ(news.Outcome().endError, ERROR_READ_FAULT);
        ASSERT_EQ(taken.size(), std::size_t{kRows});
        for (int i = 0; i < kRows; ++i) {
            ASSERT_EQ(taken[static_cast<std::size_t>(i)]->fileName, std::to_string(i));
            ASSERT_EQ(taken[static_cast<std::size_t>(i)]->fileSize, static_cast<std::uint64_t>(i) * 3);
        }
    }
}

// A consumer blocked in WaitUntil is woken by the news it waits for and by
// a stop from another thread, and waits no longer than its deadline.
TEST(ScanHandOverTest, ABlockedConsumerWakesForNewsAStopOrItsDeadline) {
    FolderNews news;
    ConsumerWake wake;
    const auto start = std::chrono::steady_clock::now();
    wake.Arm(&news, true);
    wake.WaitUntil(start + 30ms);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 30ms);

    wake.Arm(&news, true);
    std::thread stopper([&] {
        std::this_thread::sleep_for(20ms);
        wake.Kick();
    });
    wake.WaitUntil(std::chrono::steady_clock::now() + 60s);
    stopper.join();

    wake.Arm(&news, true);
    std::thread reader([&] {
        std::this_thread::sleep_for(20ms);
        news.Finish(FolderOutcome{});
        wake.Announce(&news);
    });
    wake.WaitUntil(std::chrono::steady_clock::now() + 60s);
    reader.join();
    EXPECT_EQ(news.Seen(), FolderNews::Phase::kDone);
}
