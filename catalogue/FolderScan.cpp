#include "catalogue/FolderScan.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>

#include "catalogue/DescriptorCache.h"
#include "catalogue/ScanErrorPolicy.h"
#include "catalogue/ScanHandOver.h"
#include "catalogue/ScanScheduler.h"
#include "catalogue/WorkerPool.h"
#include "platform/CodePage.h"
#include "platform/FolderSearch.h"
#include "platform/Paths.h"
#include "platform/SystemCalls.h"
#include "platform/Threads.h"
#include "platform/VersionInfo.h"

namespace norvane {

namespace {

// Folder descriptors kept open for the subfolders still to be entered.
constexpr std::size_t kMaxCachedFolders = 64;
// A worker hands over the rows of a large folder in pieces of this many.
constexpr std::size_t kRowsPerHandOver = 1000;
// Workers that yield to their consumer give up the processor after every
// folder and every this many entries: the kernel otherwise lets runnable
// workers run out their ticks one after another while a window's thread
// waits for a core (17 ms at a time, seen in its scheduler trace).
constexpr unsigned kEntriesPerYield = 64;

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
struct Slot {
    StoreArena* arena = nullptr;
    std::deque<ScanNode> nodes;
    // Reused for every folder the slot's reader reads.
    std::vector<FileItem*> rows;
    std::vector<ScanNode*> children;
    std::vector<ScanWork*> childWork;
};

}  // namespace

class FolderScan::Engine {
public:
    Engine(std::string rawFolder, const ScanOptions& options, FileStore& store, std::shared_ptr<void> keepAlive);
    ~Engine() = default;
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    void Start(const std::shared_ptr<Engine>& self, std::function<void()> wake);
    void RequestStop() {
        m_bStopRequested.store(true);
        Halt();
    }
    // Stops the workers without deciding how the scan ended.
    void Halt() {
        m_scheduler.Stop();
        m_wake.Kick();
    }
    void WaitForWorkers() {
        std::unique_lock lock(m_tasksMutex);
        m_tasksEnded.wait(lock, [this] { return m_nTasks == 0; });
    }

    bool Take(ScanBatch& batch, std::chrono::milliseconds wait, std::size_t maxRows);
    const ScanResult& Result() const { return m_result; }
    ScanProgress Progress() const;

private:
    // ---- The workers ----
    void Work(Slot& slot);
    void TaskEnded() {
        std::lock_guard lock(m_tasksMutex);
        if (--m_nTasks == 0) m_tasksEnded.notify_all();
    }
    // Reads one folder; returns its first subfolder when the caller, a
    // worker, is to read it next.
    ScanNode* ReadFolder(ScanNode* node, Slot& slot);
    std::uint32_t Open(ScanNode* node, FolderSearch& search);
    // Notes what the open folder is; true (and outcome.loopOf set) when it
    // is one of the folders above it, as a folder bind-mounted inside
    // itself is.
    static bool IsLoop(ScanNode* node, const FolderSearch& search, FolderOutcome& outcome);
    // False when the scan stopped meanwhile.
    bool ReadEntries(ScanNode* node, Slot& slot, FolderSearch& search, FolderOutcome& outcome,
                     std::vector<FileItem*>& rows);
    void Publish(ScanNode* node, std::vector<FileItem*>& rows);
    ScanNode* Finish(ScanNode* node, Slot& slot, std::vector<FileItem*>& rows, const FolderOutcome& outcome);

    // ---- The consumer ----
    enum class Phase { kOpen, kRows };
    enum class Step { kMoved, kFull, kNothing, kEnded };
    Step Advance(ScanBatch& batch, std::size_t maxRows);
    Step Judged(Verdict verdict, ScanNode* node, ScanBatch& batch, const std::vector<std::string>& report);
    bool Ready(ScanNode* node);
    bool ReadHere();
    bool WaitForNews(std::chrono::steady_clock::time_point deadline, bool blocking);
    void End(ScanEnd end) {
        if (m_bEnded) return;
        m_bEnded = true;
        m_result.end = end;
        Halt();
    }

    const std::string m_strRawTop;
    const ScanOptions m_options;
    const std::shared_ptr<void> m_pKeepAlive;  // the store, when the scan holds a share of it
    std::size_t m_nWorkers = 0;
    std::vector<std::unique_ptr<Slot>> m_slots;  // one per worker, the last the consumer's
    ScanNode* m_pTop = nullptr;

    DescriptorCache m_cache{kMaxCachedFolders};
    ScanScheduler m_scheduler;
    ConsumerWake m_wake;
    const ScanErrorPolicy m_policy;
    std::atomic<bool> m_bStopRequested{false};
    std::atomic<std::uint64_t> m_nFilesRead{0};
    std::atomic<std::uint64_t> m_nFoldersRead{0};

    // Tasks not yet ended; a consumer that owns the store waits for them.
    std::mutex m_tasksMutex;
    std::condition_variable m_tasksEnded;
    std::size_t m_nTasks = 0;

    // The consumer's own.
    std::vector<ScanNode*> m_order;  // folders still to hand over; the last is next
    ScanNode* m_pCurrent = nullptr;  // the folder the consumer is at
    Phase m_phase = Phase::kOpen;
    const ScanNode* m_pLast = nullptr;
    bool m_bEnded = false;
    std::vector<std::string> m_report;
    ScanResult m_result;
};

FolderScan::Engine::Engine(std::string rawFolder, const ScanOptions& options, FileStore& store,
                           std::shared_ptr<void> keepAlive)
    : m_strRawTop(std::move(rawFolder)),
      m_options(options),
      m_pKeepAlive(std::move(keepAlive)),
      m_scheduler(options.readAheadRows),
      m_policy(!m_strRawTop.empty()) {
    // More workers than the pool runs at a time would only wait.
    m_nWorkers = std::min(static_cast<std::size_t>(std::max(options.threads, 0)), WorkerPool::Shared().Bound());
    for (std::size_t i = 0; i <= m_nWorkers; ++i) {
        m_slots.push_back(std::make_unique<Slot>());
        m_slots.back()->arena = store.NewArena();
    }
    Slot& own = *m_slots.back();
    ScanNode& top = own.nodes.emplace_back();
    top.rawName = m_strRawTop;
    top.folder = own.arena->AddFolder(nullptr, TopFolderText(m_strRawTop, FileSystemCodePage()), m_strRawTop);
    m_pTop = &top;
    m_order.push_back(&top);
    if (m_nWorkers > 0) m_scheduler.Add(&top);
}

void FolderScan::Engine::Start(const std::shared_ptr<Engine>& self, std::function<void()> wake) {
    m_wake.SetWake(std::move(wake));
    m_wake.Arm(m_pTop);  // the first wake: the top's first news
    {
        std::lock_guard lock(m_tasksMutex);
        m_nTasks = m_nWorkers;
    }
    for (std::size_t i = 0; i < m_nWorkers; ++i) {
        // Each task holds the engine: a scan let go lives on until the last
        // of its workers is back from the call it was in.
        WorkerPool::Shared().Submit([self, i] {
            self->Work(*self->m_slots[i]);
            self->TaskEnded();
        });
    }
}

ScanProgress FolderScan::Engine::Progress() const {
    ScanProgress progress;
    progress.files = m_nFilesRead.load(std::memory_order_relaxed);
    progress.folders = m_nFoldersRead.load(std::memory_order_relaxed);
    const ScanNode* at = m_pCurrent != nullptr ? m_pCurrent : m_pLast;
    if (at != nullptr) AppendFolderText(progress.folder, at->folder);
    return progress;
}

// ---- The workers ----

// A worker goes on with the first subfolder of the folder it read, as the
// consumer needs it next; only the others are handed round.
void FolderScan::Engine::Work(Slot& slot) {
    for (auto* node = static_cast<ScanNode*>(m_scheduler.Next()); node != nullptr;) {
        node = ReadFolder(node, slot);
        if (m_options.workersYield) YieldProcessor();
        if (node == nullptr) node = static_cast<ScanNode*>(m_scheduler.Next());
    }
}

std::uint32_t FolderScan::Engine::Open(ScanNode* node, FolderSearch& search) {
    if (node->parent == nullptr) return search.Open(std::string(node->rawName));
    std::uint32_t error = ERROR_SUCCESS;
    const int parentFd = m_cache.Acquire(node->parent, &error);
    if (parentFd >= 0) {
        error = search.OpenAt(parentFd, std::string(node->rawName).c_str());
        m_cache.Release(node->parent, true);
    }
    return error;
}

bool FolderScan::Engine::IsLoop(ScanNode* node, const FolderSearch& search, FolderOutcome& outcome) {
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

ScanNode* FolderScan::Engine::ReadFolder(ScanNode* node, Slot& slot) {
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
        const int fd = search.DuplicateFd();
        if (fd >= 0) m_cache.Keep(node, fd, node->children.size());
    }
    return Finish(node, slot, rows, outcome);
}

bool FolderScan::Engine::ReadEntries(ScanNode* node, Slot& slot, FolderSearch& search, FolderOutcome& outcome,
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
            if (ReadRegularFileVersionAt(search.Fd(), entry.rawName.c_str(), &info)) item->versionInfo = info;
        }
        rows.push_back(item);
        m_nFilesRead.fetch_add(1, std::memory_order_relaxed);
        if (rows.size() >= kRowsPerHandOver) Publish(node, rows);
    }
    if (m_scheduler.Stopped()) return false;
    outcome.endError = search.LastError();
    return true;
}

void FolderScan::Engine::Publish(ScanNode* node, std::vector<FileItem*>& rows) {
    const std::size_t n = rows.size();
    node->news.Publish(rows);
    m_scheduler.Published(n);
    m_wake.Announce(node);
}

ScanNode* FolderScan::Engine::Finish(ScanNode* node, Slot& slot, std::vector<FileItem*>& rows,
                                     const FolderOutcome& outcome) {
    m_nFoldersRead.fetch_add(1, std::memory_order_relaxed);
    ScanNode* next = nullptr;
    if (m_nWorkers > 0) {
        // The subfolders become work before the consumer can see the folder
        // done; the first one is the caller's to read next when it may.
        slot.childWork.assign(node->children.begin(), node->children.end());
        const bool worker = &slot != m_slots.back().get();
        next = static_cast<ScanNode*>(m_scheduler.Finished(slot.childWork, worker));
    }
    if (!rows.empty()) {
        m_scheduler.Published(rows.size());
        node->news.Publish(rows);
    }
    node->news.Finish(outcome);  // the node is the consumer's from here on
    m_wake.Announce(node);
    return next;
}

// ---- The consumer ----

bool FolderScan::Engine::Ready(ScanNode* node) {
    const FolderNews::Phase seen = node->news.Seen();
    if (m_phase == Phase::kOpen) return seen != FolderNews::Phase::kPending;
    return seen == FolderNews::Phase::kDone || node->news.HasRows();
}

FolderScan::Engine::Step FolderScan::Engine::Judged(Verdict verdict, ScanNode* node, ScanBatch& batch,
                                                    const std::vector<std::string>& report) {
    for (const std::string& text : report) {
        batch.diagnostics.push_back(text);
        m_result.diagnostics.push_back(text);
    }
    if (verdict == Verdict::kStop) {
        End(ScanEnd::kStoppedByError);
        return Step::kEnded;
    }
    if (verdict == Verdict::kEnumerate && m_phase == Phase::kOpen) {
        m_phase = Phase::kRows;
        return Step::kMoved;
    }
    // Read whole (its subtree follows, when it is enumerated) or skipped.
    if (verdict == Verdict::kEnumerate) m_order.insert(m_order.end(), node->children.rbegin(), node->children.rend());
    std::vector<ScanNode*>().swap(node->children);
    node->news.Clear();
    m_pLast = node;
    m_pCurrent = nullptr;
    return Step::kMoved;
}

// One step at the folder the consumer is at.
FolderScan::Engine::Step FolderScan::Engine::Advance(ScanBatch& batch, std::size_t maxRows) {
    if (m_bStopRequested.load()) {
        End(ScanEnd::kStoppedByRequest);
        return Step::kEnded;
    }
    if (m_pCurrent == nullptr) {
        if (m_order.empty()) {
            End(ScanEnd::kCompleted);
            return Step::kEnded;
        }
        m_pCurrent = m_order.back();
        m_order.pop_back();
        m_phase = Phase::kOpen;
    }
    ScanNode* node = m_pCurrent;
    // The phase before the rows: once kDone is seen, every row is linked.
    const FolderNews::Phase seen = node->news.Seen();
    if (seen == FolderNews::Phase::kPending) return Step::kNothing;
    m_report.clear();
    if (m_phase == Phase::kOpen) {
        FolderOutcome opened;
        opened.top = node->parent == nullptr;
        const FolderOutcome& outcome = seen == FolderNews::Phase::kDone ? node->news.Outcome() : opened;
        return Judged(m_policy.JudgeOpen(node->folder, outcome, m_result, m_report), node, batch, m_report);
    }
    if (node->news.HasRows()) {
        if (!batch.diagnostics.empty()) return Step::kFull;  // rows after a diagnostic start a new batch
        const std::size_t n = node->news.Take(batch.rows, maxRows - batch.rows.size());
        m_scheduler.ConsumerTook(n);
        return batch.rows.size() >= maxRows ? Step::kFull : Step::kMoved;
    }
    if (seen != FolderNews::Phase::kDone) return Step::kNothing;
    return Judged(m_policy.JudgeEnd(node->folder, node->news.Outcome(), m_result, m_report), node, batch, m_report);
}

// Without workers the consumer reads the folder it is at itself.
bool FolderScan::Engine::ReadHere() {
    if (m_nWorkers > 0 || !m_pCurrent->Claim()) return false;
    ReadFolder(m_pCurrent, *m_slots.back());
    return true;
}

// Nothing more at the current folder: the workers are told, the wake is
// armed, and a last look settles a race with a worker that published
// meanwhile (see ConsumerWake). False when the caller is to return empty.
bool FolderScan::Engine::WaitForNews(std::chrono::steady_clock::time_point deadline, bool blocking) {
    ScanNode* node = m_pCurrent;
    m_scheduler.ConsumerWaitsFor(node);
    m_wake.Arm(node, blocking);
    if (Ready(node) || m_bStopRequested.load()) {
        m_wake.Disarm(node);
        return true;
    }
    if (!blocking || std::chrono::steady_clock::now() >= deadline) return false;
    m_wake.WaitUntil(deadline);
    return true;
}

bool FolderScan::Engine::Take(ScanBatch& batch, std::chrono::milliseconds wait, std::size_t maxRows) {
    batch.clear();
    if (m_bEnded) return false;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        switch (Advance(batch, maxRows)) {
            case Step::kEnded: return false;
            case Step::kFull: return true;
            case Step::kMoved: continue;
            case Step::kNothing: break;
        }
        if (!batch.rows.empty() || !batch.diagnostics.empty()) return true;
        if (ReadHere()) continue;
        if (!WaitForNews(deadline, wait.count() > 0)) return true;
    }
}

FolderScan::FolderScan(std::string rawFolder, const ScanOptions& options, FileStore& store)
    : m_pEngine(std::make_shared<Engine>(std::move(rawFolder), options, store, nullptr)) {}

FolderScan::FolderScan(std::string rawFolder, const ScanOptions& options, std::shared_ptr<FileStore> store)
    : m_pEngine(std::make_shared<Engine>(std::move(rawFolder), options, *store, store)), m_bWaitForWorkers(false) {}

FolderScan::~FolderScan() {
    m_pEngine->Halt();
    if (m_bWaitForWorkers) m_pEngine->WaitForWorkers();
}

void FolderScan::Start(std::function<void()> wake) { m_pEngine->Start(m_pEngine, std::move(wake)); }

void FolderScan::RequestStop() { m_pEngine->RequestStop(); }

bool FolderScan::Take(ScanBatch& batch, std::chrono::milliseconds wait, std::size_t maxRows) {
    return m_pEngine->Take(batch, wait, maxRows);
}

const ScanResult& FolderScan::Result() const { return m_pEngine->Result(); }

ScanProgress FolderScan::Progress() const { return m_pEngine->Progress(); }

std::string TopFolderText(std::string_view rawFolder, int fileSystemCodePage) {
    std::string text = FileNameToCodePage(rawFolder, fileSystemCodePage);
    if (!text.empty()) AppendSeparatorIfMissing(text);
    return text;
}

std::string_view NotReadyText() {
    static const std::string text = Utf8ToCodePage("ディスクの準備ができていません。\n");
    return text;
}

std::string_view AccessDeniedText() {
    static const std::string text = Utf8ToCodePage("アクセスが拒否されました。処理を続けます。\n");
    return text;
}

std::string LoopText(std::string_view folder) {
    return Utf8ToCodePage("ファイル システムのループが見つかりました（") + std::string(folder) +
           Utf8ToCodePage(" と同じフォルダです）。処理を続けます。\n");
}

ScanResult ScanFolder(std::string_view rawFolder, const ScanOptions& options, FileStore& store, const ScanSink& sink,
                      const ScanDiagnostics& diagnostics) {
    FolderScan scan{std::string(rawFolder), options, store};
    scan.Start();
    ScanBatch batch;
    for (bool more = true; more;) {
        more = scan.Take(batch, std::chrono::milliseconds(100));
        if (sink) {
            for (FileItem* item : batch.rows) sink(item);
        }
        if (diagnostics) {
            for (const std::string& text : batch.diagnostics) diagnostics(text);
        }
    }
    return scan.Result();
}

}  // namespace norvane
