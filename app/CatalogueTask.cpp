#include "app/CatalogueTask.h"

#include <condition_variable>
#include <mutex>

#include "catalogue/BackgroundScan.h"

namespace norvane {

struct CatalogueTask::Shared {
    std::string path;
    std::function<void()> notify;
    std::atomic<bool> stop{false};
    std::atomic<std::uint64_t> rows{0};
    std::uint64_t total = 0;
    // Written by the work before done is set.
    bool succeeded = false;
    CatalogueError error;
    CatalogueContents contents;
    std::atomic<bool> done{false};
    mutable std::mutex mutex;  // with ended: for Wait
    mutable std::condition_variable ended;

    void Finish() {
        {
            std::lock_guard lock(mutex);
            done.store(true);
        }
        ended.notify_all();
        notify();
    }
};

std::unique_ptr<CatalogueTask> CatalogueTask::Open(std::string rawPath, std::function<void()> notify) {
    auto shared = std::make_shared<Shared>();
    shared->path = std::move(rawPath);
    shared->notify = std::move(notify);
    RunInBackground([shared] {
        shared->succeeded =
            ReadCatalogue(shared->path, &shared->contents, &shared->error, {&shared->stop, &shared->rows});
        shared->Finish();
    });
    return std::unique_ptr<CatalogueTask>(new CatalogueTask(shared));
}

std::unique_ptr<CatalogueTask> CatalogueTask::Save(std::string rawPath, CatalogueFacts facts,
                                                   std::shared_ptr<const FileStore> store, std::vector<ItemRef> rows,
                                                   std::function<void()> notify) {
    auto shared = std::make_shared<Shared>();
    shared->path = std::move(rawPath);
    shared->notify = std::move(notify);
    shared->total = rows.size();
    RunInBackground([shared, facts = std::move(facts), store = std::move(store), rows = std::move(rows)] {
        shared->succeeded =
            WriteCatalogue(shared->path, facts, *store, rows, &shared->error, {&shared->stop, &shared->rows});
        if (shared->succeeded) shared->rows.store(rows.size());
        shared->Finish();
    });
    return std::unique_ptr<CatalogueTask>(new CatalogueTask(shared));
}

CatalogueTask::~CatalogueTask() { RequestStop(); }

void CatalogueTask::RequestStop() { m_pShared->stop.store(true); }

bool CatalogueTask::Done() const { return m_pShared->done.load(); }

void CatalogueTask::Wait() const {
    std::unique_lock lock(m_pShared->mutex);
    m_pShared->ended.wait(lock, [this] { return m_pShared->done.load(); });
}

std::uint64_t CatalogueTask::RowsDone() const { return m_pShared->rows.load(std::memory_order_relaxed); }

std::uint64_t CatalogueTask::RowsTotal() const { return m_pShared->total; }

const std::string& CatalogueTask::Path() const { return m_pShared->path; }

bool CatalogueTask::Succeeded() const { return Done() && m_pShared->succeeded; }

const CatalogueError& CatalogueTask::Error() const { return m_pShared->error; }

CatalogueContents CatalogueTask::TakeContents() { return std::move(m_pShared->contents); }

}  // namespace norvane
