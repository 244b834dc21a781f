#include "catalogue/BackgroundScan.h"

#include "catalogue/WorkerPool.h"

namespace norvane {

void RunInBackground(std::function<void()> work) {
    WorkerPool::Shared().Submit(std::move(work), WorkerPool::Lane::kOther);
}

bool WaitForBackgroundWork(std::chrono::milliseconds timeout) { return WorkerPool::Shared().WaitIdle(timeout); }

bool EndBackgroundWork(std::chrono::milliseconds timeout) { return WorkerPool::Shared().Shutdown(timeout); }

BackgroundScan::BackgroundScan(std::string rawFolder, const ScanOptions& options)
    : m_pStore(std::make_shared<FileStore>()),
      m_pScan(std::make_unique<FolderScan>(std::move(rawFolder), options, m_pStore)) {}

BackgroundScan::~BackgroundScan() = default;

}  // namespace norvane
