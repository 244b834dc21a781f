#include "catalogue/ScanReader.h"

#include <cerrno>
#include <string>

#include "platform/FolderSearch.h"
#include "platform/Paths.h"
#include "platform/Threads.h"
#include "platform/VersionInfo.h"

namespace norvane {

namespace {

// A worker hands over the rows of a large folder in pieces of this many.
constexpr std::size_t kRowsPerHandOver = 1000;
// Workers that yield to their consumer give up the processor after every
// folder and every this many entries: the kernel otherwise lets runnable
// workers run out their ticks one after another while a window's thread
// waits for a core (17 ms at a time, seen in its scheduler trace).
constexpr unsigned kEntriesPerYield = 64;

}  // namespace

ScanReader::ScanReader(const ScanOptions& options, std::size_t nWorkers, std::size_t maxCachedFolders,
                       ScanScheduler& scheduler, ConsumerWake& wake)
    : m_options(options), m_nWorkers(nWorkers), m_scheduler(scheduler), m_wake(wake), m_cache(maxCachedFolders) {}

// A worker goes on with the first subfolder of the folder it read, as the
// consumer needs it next; only the others are handed round.
void ScanReader::Work(ScanSlot& slot) {
    for (auto* node = static_cast<ScanNode*>(m_scheduler.Next()); node != nullptr;) {
        node = ReadFolder(node, slot);
        if (m_options.workersYield) YieldProcessor();
        if (node == nullptr) node = static_cast<ScanNode*>(m_scheduler.Next());
    }
}

std::uint32_t ScanReader::Open(ScanNode* node, FolderSearch& search) {
    if (node->parent == nullptr) return search.Open(std::string(node->rawName));
    std::uint32_t error = ERROR_SUCCESS;
    const FolderHandle parent = m_cache.Acquire(node->parent, &error);
    if (parent != FolderHandle::kNone) {
        error = search.OpenAt(parent, std::string(node->rawName).c_str());
        m_cache.Release(node->parent, true);
    }
    return error;
}

bool ScanReader::IsLoop(ScanNode* node, const FolderSearch& search, FolderOutcome& outcome) {
    FolderIdentity identity;
    if (!search.Identity(&identity)) return false;
    node->device = identity.device;
    node->inode = identity.inode;
    // Only a mount can make a folder its own descendant (folders have no
    // hard links): the others need no walk up the tree.
    if (!identity.mountRoot) return false;
    for (const ScanNode* above = node->Parent(); above != nullptr; above = above->Parent()) {
        if (above->device == node->device && above->inode == node->inode) {
            outcome.loopOf = above->folder;
            return true;
        }
    }
    return false;
}

ScanNode* ScanReader::ReadFolder(ScanNode* node, ScanSlot& slot) {
    FolderSearch search;
    FolderOutcome outcome;
    outcome.top = node->parent == nullptr;
    std::vector<FileItem*>& rows = slot.rows;
    rows.clear();
    slot.children.clear();
    outcome.openError = Open(node, search);
    if (outcome.openError != ERROR_SUCCESS) {
        // The top may be a file (given in place of a folder): looked at here,
        // off the consumer's thread.
        if (outcome.top) outcome.notFolder = ExistsAsNonFolder(node->rawName);
        return Finish(node, slot, rows, outcome);
    }
    if (IsLoop(node, search, outcome)) return Finish(node, slot, rows, outcome);
    if (!ReadEntries(node, slot, search, outcome, rows)) return nullptr;  // stopped: nothing more is handed over
    node->children.assign(slot.children.begin(), slot.children.end());    // of its exact size
    if (!node->children.empty()) {
        const FolderHandle kept = search.KeepHandle();
        if (kept != FolderHandle::kNone) m_cache.Keep(node, kept, node->children.size());
    }
    return Finish(node, slot, rows, outcome);
}

bool ScanReader::ReadEntries(ScanNode* node, ScanSlot& slot, FolderSearch& search, FolderOutcome& outcome,
                             std::vector<FileItem*>& rows) {
    search.SetStatDirectories(false);
    // A stopped scan starts no other call for this folder.
    search.SetStopFlag(&m_scheduler.StopFlag());
    FindData entry;
    unsigned nEntries = 0;
    while (!m_scheduler.Stopped() && search.Next(&entry)) {
        if (m_options.workersYield && ++nEntries % kEntriesPerYield == 0) YieldProcessor();
        const std::uint32_t attributes = entry.dwFileAttributes;
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!m_options.recurse || entry.rawName == "." || entry.rawName == "..") continue;
            ScanNode& child = slot.nodes.emplace_back();
            child.parent = node;
            // The shown name differs from the real one where the code page
            // cannot hold it, or where the name is not valid text: the folder
            // record keeps both.
            child.folder = slot.arena->AddFolder(node->folder, entry.cFileName, entry.rawName);
            child.rawName = child.folder->rawName;
            slot.children.push_back(&child);
            continue;
        }
        if (entry.statError == EACCES || entry.statError == EPERM) {
            // Listed, but not entered: nothing of it can be shown.
            rows.clear();
            slot.children.clear();
            outcome.denied = true;
            return true;
        }
        if (!m_options.includeSystem && (attributes & FILE_ATTRIBUTE_SYSTEM)) continue;
        if (!m_options.includeHidden && (attributes & FILE_ATTRIBUTE_HIDDEN)) continue;
        FileItem* item = slot.arena->AddItem(entry.cFileName, node->folder, entry.rawName);
        item->kind = entry.regularFile ? kFileKindFile : entry.symbolicLink ? kFileKindLink : kFileKindOther;
        item->fileSize = entry.fileSize;
        item->fileTime = entry.ftLastWriteTime;
        item->systemFile = (attributes & FILE_ATTRIBUTE_SYSTEM) != 0;
        item->hidden = (attributes & FILE_ATTRIBUTE_HIDDEN) != 0;
        // A file too small to hold a version resource is never opened.
        if (entry.regularFile && entry.fileSize >= kMinVersionResourceFileSize) {
            VS_FIXEDFILEINFO info;
            if (ReadRegularFileVersionAt(search.Handle(), entry.rawName.c_str(), &info)) item->versionInfo = info;
        }
        rows.push_back(item);
        m_nFilesRead.fetch_add(1, std::memory_order_relaxed);
        if (rows.size() >= kRowsPerHandOver) Publish(node, rows);
    }
    if (m_scheduler.Stopped()) return false;
    outcome.endError = search.LastError();
    return true;
}

void ScanReader::Publish(ScanNode* node, std::vector<FileItem*>& rows) {
    const std::size_t n = rows.size();
    node->news.Publish(rows);
    m_scheduler.Published(n);
    m_wake.Announce(node);
}

ScanNode* ScanReader::Finish(ScanNode* node, ScanSlot& slot, std::vector<FileItem*>& rows,
                             const FolderOutcome& outcome) {
    m_nFoldersRead.fetch_add(1, std::memory_order_relaxed);
    ScanNode* next = nullptr;
    if (m_nWorkers > 0) {
        // The subfolders become work before the consumer can see the folder
        // done; the first one is the caller's to read next when it may.
        slot.childWork.assign(node->children.begin(), node->children.end());
        next = static_cast<ScanNode*>(m_scheduler.Finished(slot.childWork, slot.worker));
    }
    if (!rows.empty()) {
        m_scheduler.Published(rows.size());
        node->news.Publish(rows);
    }
    node->news.Finish(outcome);  // the node is the consumer's from here on
    m_wake.Announce(node);
    return next;
}

}  // namespace norvane
