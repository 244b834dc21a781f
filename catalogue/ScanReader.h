// The workers' side of a scan: reading one folder (open it through the
// descriptor cache, list its entries, read version resources) into records,
// and handing its rows and outcome to the consumer through the folder's
// FolderNews. FolderScan's engine owns one and the consumer's side.
//
// Threads. Work and ReadFolder run on any number of workers at once (and on
// the consumer itself when a scan has no workers); what each touches is its
// slot, the folder it claimed, and the cache, scheduler and wake, which
// guard themselves. A node's fields are the reader's until news.Finish.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "catalogue/DescriptorCache.h"
#include "catalogue/FolderScan.h"
#include "catalogue/ScanHandOver.h"
#include "catalogue/ScanScheduler.h"

namespace norvane {

class FolderSearch;

// One folder of the tree, from the moment its parent lists it. Kept until
// the scan ends: its descendants reach the file system through it.
struct ScanNode : CachedFolder, ScanWork {
    const Folder* folder = nullptr;
    // What the folder is, written by its reader once it is open, before its
    // subfolders are listed (so before any of them is read).
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    FolderNews news;
    // Subfolders in enumeration order; written by the reader before
    // news.Finish, the consumer's afterwards.
    std::vector<ScanNode*> children;

    ScanNode* Parent() const { return static_cast<ScanNode*>(parent); }
};

// What one reading thread owns: its arena in the store and its nodes.
struct ScanSlot {
    StoreArena* arena = nullptr;
    std::deque<ScanNode> nodes;
    // A worker's slot (the consumer's reads only when there are none).
    bool worker = false;
    // Reused for every folder the slot's reader reads.
    std::vector<FileItem*> rows;
    std::vector<ScanNode*> children;
    std::vector<ScanWork*> childWork;
};

class ScanReader {
public:
    ScanReader(const ScanOptions& options, std::size_t nWorkers, std::size_t maxCachedFolders, ScanScheduler& scheduler,
               ConsumerWake& wake);
    ScanReader(const ScanReader&) = delete;
    ScanReader& operator=(const ScanReader&) = delete;

    // A worker's task: folders from the scheduler until there are none.
    void Work(ScanSlot& slot);
    // Reads one folder; returns its first subfolder when the caller, a
    // worker, is to read it next.
    ScanNode* ReadFolder(ScanNode* node, ScanSlot& slot);

    std::uint64_t FilesRead() const { return m_nFilesRead.load(std::memory_order_relaxed); }
    std::uint64_t FoldersRead() const { return m_nFoldersRead.load(std::memory_order_relaxed); }

private:
    std::uint32_t Open(ScanNode* node, FolderSearch& search);
    // Notes what the open folder is; true (and outcome.loopOf set) when it
    // is one of the folders above it, as a folder bind-mounted inside
    // itself is.
    static bool IsLoop(ScanNode* node, const FolderSearch& search, FolderOutcome& outcome);
    // False when the scan stopped meanwhile.
    bool ReadEntries(ScanNode* node, ScanSlot& slot, FolderSearch& search, FolderOutcome& outcome,
                     std::vector<FileItem*>& rows);
    void Publish(ScanNode* node, std::vector<FileItem*>& rows);
    ScanNode* Finish(ScanNode* node, ScanSlot& slot, std::vector<FileItem*>& rows, const FolderOutcome& outcome);

    const ScanOptions& m_options;
    const std::size_t m_nWorkers;
    ScanScheduler& m_scheduler;
    ConsumerWake& m_wake;
    DescriptorCache m_cache;
    std::atomic<std::uint64_t> m_nFilesRead{0};
    std::atomic<std::uint64_t> m_nFoldersRead{0};
};

}  // namespace norvane
