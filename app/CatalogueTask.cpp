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
    std::atomic<std::uint64_t> total{0};  // of a comparison: known once its facts are read
    // Written by the work before done is set.
    bool succeeded = false;
    CatalogueError error;
    CatalogueContents contents;
    std::shared_ptr<const Comparison> comparison;
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

std::unique_ptr<CatalogueTask> CatalogueTask::Compare(std::string rawPath, std::shared_ptr<const FileStore> store,
                                                      std::vector<ItemRef> rows, std::function<void()> notify) {
    auto shared = std::make_shared<Shared>();
    shared->path = std::move(rawPath);
    shared->notify = std::move(notify);
    RunInBackground([shared, store = std::move(store), rows = std::move(rows)] {
        // The count of the old side first, for the progress.
        if (ReadCatalogueFacts(shared->path, &shared->contents.facts, &shared->error)) {
            shared->total.store(shared->contents.facts.fileCount);
            std::vector<const FileItem*> items(rows.size());
            for (std::size_t i = 0; i < rows.size(); ++i) items[i] = store->Item(rows[i]);
            ComparisonBuilder builder(items, store);
            std::vector<const FileItem*>().swap(items);
            const auto folders = std::make_shared<FileStore>();
            builder.SetOldFolders(folders);
            shared->succeeded = ReadCatalogueRows(shared->path, &shared->contents.facts, *folders,
                                                  [&builder](const FileItem& item) { builder.AddOld(item); },
                                                  &shared->error, {&shared->stop, &shared->rows});
            if (shared->succeeded) shared->comparison = std::make_shared<const Comparison>(builder.Finish());
        }
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

std::uint64_t CatalogueTask::RowsTotal() const { return m_pShared->total.load(std::memory_order_relaxed); }

const std::string& CatalogueTask::Path() const { return m_pShared->path; }

bool CatalogueTask::Succeeded() const { return Done() && m_pShared->succeeded; }

const CatalogueError& CatalogueTask::Error() const { return m_pShared->error; }

CatalogueContents CatalogueTask::TakeContents() { return std::move(m_pShared->contents); }

std::shared_ptr<const Comparison> CatalogueTask::TakeComparison() { return std::move(m_pShared->comparison); }

const CatalogueFacts& CatalogueTask::Facts() const { return m_pShared->contents.facts; }

}  // namespace norvane
