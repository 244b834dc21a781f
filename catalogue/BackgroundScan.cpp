#include "catalogue/BackgroundScan.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace norvane {

namespace {

struct BackgroundWork {
    std::mutex mutex;
    std::condition_variable done;
    int running = 0;
};

// Never destroyed: a background thread may still end after main returned.
BackgroundWork& Work() {
    static auto* work = new BackgroundWork;
    return *work;
}

}  // namespace

void RunInBackground(std::function<void()> work) {
    {
        std::lock_guard lock(Work().mutex);
        ++Work().running;
    }
    std::thread([work = std::move(work)]() mutable {
        work();
        work = nullptr;  // what it holds goes before it counts as ended
        std::lock_guard lock(Work().mutex);
        --Work().running;
        Work().done.notify_all();
    }).detach();
}

bool WaitForBackgroundWork(std::chrono::milliseconds timeout) {
    std::unique_lock lock(Work().mutex);
    return Work().done.wait_for(lock, timeout, [] { return Work().running == 0; });
}

BackgroundScan::BackgroundScan(std::string rawFolder, const ScanOptions& options)
    : m_pStore(std::make_shared<FileStore>()),
      m_pScan(std::make_unique<FolderScan>(std::move(rawFolder), options, *m_pStore)) {}

BackgroundScan::~BackgroundScan() {
    m_pScan->RequestStop();
    // The engine and a share of the store go to a thread that waits for the
    // workers; the store outlives them there.
    RunInBackground([scan = std::shared_ptr<FolderScan>(std::move(m_pScan)), store = m_pStore]() mutable {
        scan.reset();
        store.reset();
    });
}

}  // namespace norvane
