// A catalogue read or written for the main window on a thread of its own,
// so that the window answers throughout; its progress can be asked for and
// it can be stopped.
//
// Threads. The window makes the task, asks it and lets it go on its own
// thread; the work runs on a background thread (RunInBackground) and calls
// notify once, when it has ended. Everything the work writes is written
// before it sets its end (an atomic) and notifies; the window reads the
// outcome only once Done() is true. A task let go before it ended goes on
// until it sees the stop it is asked for, and then drops what it made.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/Comparison.h"
#include "store/Catalogue.h"

namespace norvane {

class CatalogueTask {
public:
    // Reads the catalogue at rawPath.
    static std::unique_ptr<CatalogueTask> Open(std::string rawPath, std::function<void()> notify);
    // Writes rows (records of store, in scan order) with facts into a
    // catalogue at rawPath.
    static std::unique_ptr<CatalogueTask> Save(std::string rawPath, CatalogueFacts facts,
                                               std::shared_ptr<const FileStore> store, std::vector<ItemRef> rows,
                                               std::function<void()> notify);
    // Compares the catalogue at rawPath (the old side) with rows (records of
    // store, in scan order: the new side), reading it one file at a time.
    static std::unique_ptr<CatalogueTask> Compare(std::string rawPath, std::shared_ptr<const FileStore> store,
                                                  std::vector<ItemRef> rows, std::function<void()> notify);
    // Asks the work to stop, and returns at once.
    ~CatalogueTask();
    CatalogueTask(const CatalogueTask&) = delete;
    CatalogueTask& operator=(const CatalogueTask&) = delete;

    void RequestStop();
    bool Done() const;
    // Waits until the work has ended.
    void Wait() const;
    // Rows read or written so far, and (for a save or a comparison) of how
    // many.
    std::uint64_t RowsDone() const;
    std::uint64_t RowsTotal() const;
    const std::string& Path() const;

    // Once Done: the outcome.
    bool Succeeded() const;
    const CatalogueError& Error() const;
    // What was read (an open that succeeded), handed over once.
    CatalogueContents TakeContents();
    // A comparison that succeeded, and the facts of its old side.
    std::shared_ptr<const Comparison> TakeComparison();
    const CatalogueFacts& Facts() const;

    struct Shared;

private:
    explicit CatalogueTask(std::shared_ptr<Shared> shared) : m_pShared(std::move(shared)) {}
    std::shared_ptr<Shared> m_pShared;
};

}  // namespace norvane
