#include "catalogue/FolderScan.h"

#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <list>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/CodePage.h"
#include "platform/FolderSearch.h"
#include "platform/Paths.h"
#include "platform/SystemCalls.h"
#include "platform/VersionInfo.h"

namespace norvane {

namespace {

// Folder descriptors kept open for the subfolders still to be entered; a
// folder whose ancestors' descriptors were all given up is reached again
// from the nearest one still open, name by name.
constexpr std::size_t kMaxCachedFolders = 64;
// A worker hands over the rows of a large folder in pieces of this many.
constexpr std::size_t kRowsPerHandOver = 1000;
// Workers that yield to their consumer (a window) run in the idle class: at
// niceness 10, thirty-two runnable workers on two cores kept the window's
// thread, and the threads Qt paints with, from a core for 100 ms and more at
// a time. The scan takes no longer for it while the machine has nothing
// else to do; a busy machine comes first. Where the idle class is refused,
// the lowest niceness.
constexpr int kYieldingNiceness = 19;
// Even in the idle class, the kernel let workers run out their 4 ms ticks one
// after another while the window's thread waited to run (17 ms at a time,
// seen in its scheduler trace). Such workers also give up the processor
// after every folder and every this many entries, which lets a waiting
// window in at once and costs the scan nothing measurable.
constexpr unsigned kEntriesPerYield = 64;

enum class Phase { kOpen, kRows, kEnd };

// The engine's lock. Its workers run at a lower priority than a consumer
// that must not wait (the window's thread), and one of them may be held up
// while it holds the lock: that consumer only tries it. When the try fails,
// whoever holds the lock wakes the consumer as it lets go.
class HandOverLock {
public:
    void lock() { m_mutex.lock(); }
    bool try_lock() { return m_mutex.try_lock(); }
    void unlock() {
        m_mutex.unlock();
        // Never under the lock: wake may not take it.
        if (m_bConsumerWaiting.load() && m_bConsumerWaiting.exchange(false)) m_fnWake();
    }
    // Before any other thread uses the lock.
    void SetWake(std::function<void()> wake) { m_fnWake = std::move(wake); }

    // Locks, or asks to be woken once the lock is let go and returns false.
    // The second try settles the race with a holder letting go meanwhile:
    // if it fails too, the lock was held after the request was made, so its
    // holder sees the request when it lets go.
    bool TryLockOrAskWake() {
        if (m_mutex.try_lock()) return true;
        m_bConsumerWaiting.store(true);
        if (!m_mutex.try_lock()) return false;
        m_bConsumerWaiting.store(false);  // at worst one wake too many
        return true;
    }

private:
    std::mutex m_mutex;
    std::atomic<bool> m_bConsumerWaiting{false};
    std::function<void()> m_fnWake;
};

// One folder of the tree, from the moment its parent lists it. Kept until
// the scan ends: its descendants reach the file system through it.
struct Node {
    Node* parent = nullptr;
    std::string_view rawName;  // the top: its whole path
    const Folder* folder = nullptr;

    // Under the engine's lock.
    bool started = false;  // a worker has taken it
    bool opened = false;   // openError is known
    bool done = false;     // everything below is known
    std::uint32_t openError = ERROR_SUCCESS;
    std::uint32_t endError = ERROR_NO_MORE_FILES;
    bool denied = false;           // listed, but its entries could not be looked at
    bool notFolder = false;        // the top only: something else is there
    const Node* loopOf = nullptr;  // the folder above it that it is (a bind mount)
    std::vector<FileItem*> rows;   // read; those from taken on not yet handed over
    std::size_t taken = 0;
    std::vector<Node*> children;  // subfolders in enumeration order, once done

    // Written by the worker that opens it, before its subfolders are listed.
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    // Under the descriptor cache's lock.
    int fd = -1;
    int fdUsers = 0;
    bool pinned = false;  // the top's stays open
    std::size_t unopenedChildren = 0;
    std::list<Node*>::iterator lru;
};

// What one reading thread owns: its arena in the store and its nodes.
struct Slot {
    StoreArena* arena = nullptr;
    std::deque<Node> nodes;
};

bool IsVanished(std::uint32_t code) {
    // Gone, renamed, or replaced by a link since its parent was listed.
    return code == ERROR_PATH_NOT_FOUND || code == ERROR_DIRECTORY || code == ERROR_CANT_RESOLVE_FILENAME;
}

}  // namespace

class FolderScan::Engine {
public:
    Engine(std::string rawFolder, const ScanOptions& options, FileStore& store)
        : m_strRawTop(std::move(rawFolder)), m_options(options) {
        m_slots.resize(static_cast<std::size_t>(std::max(options.threads, 0)) + 1);
        for (Slot& slot : m_slots) slot.arena = store.NewArena();
        Slot& own = m_slots.back();
        Node& top = own.nodes.emplace_back();
        top.rawName = m_strRawTop;
        top.folder = own.arena->AddFolder(nullptr, TopFolderText(m_strRawTop, FileSystemCodePage()), m_strRawTop);
        m_pTop = &top;
        m_order.push_back(&top);
        m_work.push_back(&top);
    }

    ~Engine() {
        Stop();
        for (auto& thread : m_threads) thread.join();
        for (Node* node : m_lru) ::close(node->fd);
        if (m_pTop->fd >= 0 && m_pTop->pinned) ::close(m_pTop->fd);
    }

    void Start(std::function<void()> wake) {
        m_fnWake = std::move(wake);
        m_mutex.SetWake(m_fnWake);
        m_bWakeArmed = true;
        // Signals go to the consumer's thread, never to a worker inside a
        // system call.
        sigset_t all;
        sigset_t old;
        sigfillset(&all);
        for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT}) sigdelset(&all, sig);
        pthread_sigmask(SIG_BLOCK, &all, &old);
        for (int i = 0; i < m_options.threads; ++i) {
            m_threads.emplace_back([this, i] { Work(m_slots[static_cast<std::size_t>(i)]); });
        }
        pthread_sigmask(SIG_SETMASK, &old, nullptr);
    }

    void RequestStop() {
        m_bStopRequested.store(true);
        Stop();
    }

    bool Take(ScanBatch& batch, std::chrono::milliseconds wait, std::size_t maxRows);
    const ScanResult& Result() const { return m_result; }

    ScanProgress Progress() const {
        ScanProgress progress;
        progress.files = m_nFilesRead.load(std::memory_order_relaxed);
        progress.folders = m_nFoldersRead.load(std::memory_order_relaxed);
        const Node* at = m_pCurrent != nullptr ? m_pCurrent : m_pLast;
        if (at != nullptr) AppendFolderText(progress.folder, at->folder);
        return progress;
    }

private:
    // ---- The workers ----

    void Stop() {
        m_bStop.store(true);
        { std::lock_guard lock(m_mutex); }
        m_workReady.notify_all();
        m_rowsReady.notify_all();
    }

    // A worker goes on with the first subfolder of the folder it read, as
    // the consumer needs it next; only the others are handed round.
    void Work(Slot& slot) {
        // Linux gives each thread a niceness of its own.
        // Workers that yield run only when nothing else wants the processor
        // (Linux's idle class), else at the lowest niceness.
        sched_param idle{};
        if (m_options.workersYield && pthread_setschedparam(pthread_self(), SCHED_IDLE, &idle) != 0 &&
            setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kYieldingNiceness) != 0) {
            // The scan works as well, only less kindly.
        }
        for (Node* node = NextWork(); node != nullptr;) {
            node = ReadFolder(node, slot);
            if (m_options.workersYield) sched_yield();
            if (node == nullptr) node = NextWork();
        }
    }

    // The next folder to read: the one the consumer waits for, else the
    // latest listed (the first subfolder of the folder last read), which
    // keeps the workers close to the consumer's order.
    Node* NextWork() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            if (m_bStop.load()) return nullptr;
            Node* node = nullptr;
            if (m_pUrgent != nullptr && !m_pUrgent->started) node = m_pUrgent;
            const bool full = ReadFarAhead();
            while (node == nullptr && !full && !m_work.empty()) {
                Node* next = m_work.back();
                m_work.pop_back();
                if (!next->started) node = next;
            }
            if (node != nullptr) {
                node->started = true;
                ++m_nReading;
                return node;
            }
            if (m_nReading == 0 && m_work.empty()) return nullptr;  // everything is read
            if (full) m_bHeldBack = true;
            m_workReady.wait(lock);
        }
    }

    // True when the consumer is behind (rows wait for it past the bound) and
    // not waiting for the folder it is at: a consumer that waits on a slow
    // folder lets the workers read on. Under the lock.
    bool ReadFarAhead() const {
        const bool waiting = m_pCurrent != nullptr && !m_pCurrent->done && m_pCurrent->taken == m_pCurrent->rows.size();
        return m_nUntaken >= m_options.readAheadRows && !waiting;
    }

    // Reads one folder; returns its first subfolder when the caller, a
    // worker, is to read it next.
    Node* ReadFolder(Node* node, Slot& slot);
    void Publish(Node* node, std::vector<FileItem*>& rows);
    // Notes what the open folder is; true (and loopOf set) when it is one of
    // the folders above it, as a folder bind-mounted inside itself is.
    static bool IsLoop(Node* node, const FolderSearch& search) {
        FolderIdentity identity;
        if (!search.Identity(&identity)) return false;
        node->device = identity.device;
        node->inode = identity.inode;
        // Only a mount can make a folder its own descendant (folders have no
        // hard links): the others need no walk up the tree.
        if (!identity.mountRoot) return false;
        for (const Node* above = node->parent; above != nullptr; above = above->parent) {
            if (above->device == node->device && above->inode == node->inode) {
                node->loopOf = above;
                return true;
            }
        }
        return false;
    }
    Node* Finish(Node* node, std::vector<FileItem*>& rows, std::vector<Node*>& children, bool worker);
    // Wakes the consumer when node is the folder it is at; under the lock.
    bool Signal(const Node* node) {
        if (node != m_pCurrent && m_pCurrent != nullptr) return false;
        m_rowsReady.notify_one();
        bool wake = m_bWakeArmed && m_fnWake;
        m_bWakeArmed = false;
        return wake;
    }

    // ---- The descriptor cache ----

    int AcquireFd(Node* node, std::uint32_t* error);
    void ReleaseFd(Node* node, bool childOpened);
    void KeepFd(Node* node, int fd, std::size_t children);
    // Closes what the cache no longer needs; under the cache lock, the
    // descriptors to close go to closing.
    void Trim(std::vector<int>& closing);
    static void CloseAll(const std::vector<int>& fds) {
        for (int fd : fds) ::close(fd);
    }

    // ---- The consumer ----

    enum class Verdict { kEnumerate, kSkip, kStop };
    Verdict JudgeOpen(Node* node, ScanBatch& batch);
    Verdict JudgeEnd(Node* node, ScanBatch& batch);
    // One step of the current folder for Take: its opening judged, rows
    // taken, or its end judged; kWait when nothing of it is ready yet.
    enum class Step { kMore, kBatchFull, kStopped, kWait };
    Step TakeStep(Node* node, ScanBatch& batch, std::size_t maxRows);
    // A diagnostic names the folder it is about first.
    void Report(ScanBatch& batch, const Node* node, std::string_view text) {
        std::string line = FolderText(node->folder);
        line += ": ";
        line += text;
        batch.diagnostics.push_back(line);
        m_result.diagnostics.push_back(std::move(line));
    }
    Verdict StopOnError(ScanBatch& batch, const Node* node, std::uint32_t code, bool silent = false) {
        std::string text = silent ? std::string() : SystemErrorText(code);
        if (!silent) Report(batch, node, text);
        m_result.errorCode = code;
        m_result.reason = std::move(text);
        m_result.folder = FolderText(node->folder);
        return Verdict::kStop;
    }
    void End(ScanEnd end) {
        if (m_bEnded) return;
        m_bEnded = true;
        m_result.end = end;
        m_bStop.store(true);
        m_workReady.notify_all();
    }

    const std::string m_strRawTop;
    const ScanOptions m_options;
    std::vector<Slot> m_slots;  // one per worker, the last the consumer's
    std::vector<std::thread> m_threads;
    Node* m_pTop = nullptr;
    std::function<void()> m_fnWake;

    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bStopRequested{false};
    std::atomic<std::uint64_t> m_nFilesRead{0};
    std::atomic<std::uint64_t> m_nFoldersRead{0};

    HandOverLock m_mutex;  // guards what follows, and the nodes' first part
    std::condition_variable_any m_workReady;
    std::condition_variable_any m_rowsReady;
    std::vector<Node*> m_work;  // listed folders; the last is read first
    std::size_t m_nReading = 0;
    std::size_t m_nUntaken = 0;  // rows read and not yet taken
    bool m_bHeldBack = false;    // a worker waits for the consumer to take rows
    Node* m_pUrgent = nullptr;
    Node* m_pCurrent = nullptr;  // the folder the consumer is at
    bool m_bWakeArmed = false;

    std::mutex m_fdMutex;    // guards the nodes' descriptor part and m_lru
    std::list<Node*> m_lru;  // cached descriptors, the least recently used first

    // The consumer's own.
    std::vector<Node*> m_order;  // folders still to hand over; the last is next
    Phase m_phase = Phase::kOpen;
    const Node* m_pLast = nullptr;
    bool m_bEnded = false;
    ScanResult m_result;
};

Node* FolderScan::Engine::ReadFolder(Node* node, Slot& slot) {
    FolderSearch search;
    std::uint32_t error = ERROR_SUCCESS;
    if (node->parent == nullptr) {
        error = search.Open(std::string(node->rawName));
    } else {
        int parentFd = AcquireFd(node->parent, &error);
        if (parentFd >= 0) {
            error = search.OpenAt(parentFd, std::string(node->rawName).c_str());
            ReleaseFd(node->parent, true);
        }
    }
    std::vector<FileItem*> rows;
    std::vector<Node*> children;
    const bool worker = &slot != &m_slots.back();
    if (error != ERROR_SUCCESS) {
        node->openError = error;
        // The top may be a file (given in place of a folder): looked at here,
        // off the consumer's thread.
        if (node->parent == nullptr) node->notFolder = ExistsAsNonFolder(node->rawName);
        return Finish(node, rows, children, worker);
    }
    if (IsLoop(node, search)) return Finish(node, rows, children, worker);
    search.SetStatDirectories(false);
    FindData entry;
    bool denied = false;
    unsigned nEntries = 0;
    while (search.Next(&entry)) {
        if (m_options.workersYield && ++nEntries % kEntriesPerYield == 0) sched_yield();
        if (m_bStop.load(std::memory_order_relaxed)) return nullptr;  // the scan is over: nothing more is handed over
        const std::uint32_t attributes = entry.dwFileAttributes;
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!m_options.recurse || entry.rawName == "." || entry.rawName == "..") continue;
            Node& child = slot.nodes.emplace_back();
            child.parent = node;
            // The shown name differs from the real one where the code page
            // cannot hold it, or where the name is not valid text: the folder
            // record keeps both.
            child.folder = slot.arena->AddFolder(node->folder, entry.cFileName, entry.rawName);
            child.rawName = child.folder->rawName;
            children.push_back(&child);
            continue;
        }
        if (entry.statError == EACCES || entry.statError == EPERM) {
            // Listed, but not entered: nothing of it can be shown.
            denied = true;
            break;
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
    if (denied) {
        rows.clear();
        children.clear();
        node->denied = true;
    } else {
        node->endError = search.LastError();
    }
    if (!children.empty()) {
        int fd = search.DuplicateFd();
        if (fd >= 0) KeepFd(node, fd, children.size());
    }
    return Finish(node, rows, children, worker);
}

void FolderScan::Engine::Publish(Node* node, std::vector<FileItem*>& rows) {
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        node->opened = true;
        node->rows.insert(node->rows.end(), rows.begin(), rows.end());
        m_nUntaken += rows.size();
        wake = Signal(node);
    }
    rows.clear();
    if (wake) m_fnWake();
}

Node* FolderScan::Engine::Finish(Node* node, std::vector<FileItem*>& rows, std::vector<Node*>& children, bool worker) {
    m_nFoldersRead.fetch_add(1, std::memory_order_relaxed);
    bool wake = false;
    bool allRead = false;
    std::size_t pushed = 0;
    Node* next = nullptr;
    {
        std::lock_guard lock(m_mutex);
        node->opened = true;
        node->done = true;
        node->rows.insert(node->rows.end(), rows.begin(), rows.end());
        m_nUntaken += rows.size();
        node->children = children;
        if (m_nReading > 0) --m_nReading;
        if (worker && !children.empty() && !m_bStop.load() && !ReadFarAhead()) {
            next = children.front();
            next->started = true;
            ++m_nReading;
        }
        // Subfolders are read before the folders listed earlier, the first
        // one first.
        if (m_options.threads > 0) {
            m_work.insert(m_work.end(), children.rbegin(), children.rend() - (next != nullptr ? 1 : 0));
        }
        pushed = children.size() - (next != nullptr ? 1u : 0u);
        allRead = m_nReading == 0 && m_work.empty();
        wake = Signal(node);
    }
    // As many workers as there are new folders; all of them at the end.
    if (allRead) {
        m_workReady.notify_all();
    } else {
        for (std::size_t i = 0; i < std::min<std::size_t>(pushed, m_slots.size()); ++i) m_workReady.notify_one();
    }
    if (wake) m_fnWake();
    return next;
}

int FolderScan::Engine::AcquireFd(Node* node, std::uint32_t* error) {
    std::vector<Node*> down;  // the folders to open, the deepest first
    int fd = AT_FDCWD;
    {
        std::lock_guard lock(m_fdMutex);
        Node* at = node;
        while (at != nullptr && at->fd < 0) {
            down.push_back(at);
            at = at->parent;
        }
        if (at != nullptr) {
            ++at->fdUsers;
            fd = at->fd;
        }
        if (down.empty()) return fd;
        down.push_back(at);  // the one held (or null: none)
    }
    // Reopens the folders from the nearest one open down to node, keeping
    // each for the folders below it.
    for (std::size_t i = down.size() - 1; i > 0; --i) {
        Node* next = down[i - 1];
        Node* held = down[i];
        const bool top = next->parent == nullptr;
        int nextFd =
            top ? Sys().openAt(AT_FDCWD, std::string(next->rawName).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                : Sys().openAt(fd, std::string(next->rawName).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
        int openError = errno;
        if (held != nullptr) ReleaseFd(held, false);
        if (nextFd < 0) {
            *error = WinErrorFromErrno(openError);
            return -1;
        }
        std::vector<int> closing;
        {
            std::lock_guard lock(m_fdMutex);
            if (next->fd >= 0) {
                closing.push_back(nextFd);  // another worker got there first
            } else {
                next->fd = nextFd;
                next->lru = m_lru.insert(m_lru.end(), next);
            }
            ++next->fdUsers;
            fd = next->fd;
            Trim(closing);
        }
        CloseAll(closing);
    }
    return fd;
}

void FolderScan::Engine::ReleaseFd(Node* node, bool childOpened) {
    std::vector<int> closing;
    {
        std::lock_guard lock(m_fdMutex);
        --node->fdUsers;
        if (childOpened && node->unopenedChildren > 0) --node->unopenedChildren;
        if (node->fd >= 0 && !node->pinned && node->fdUsers == 0 && node->unopenedChildren == 0) {
            // Every subfolder is open: the folder's descriptor is done with.
            closing.push_back(node->fd);
            m_lru.erase(node->lru);
            node->fd = -1;
        } else if (node->fd >= 0 && !node->pinned) {
            m_lru.splice(m_lru.end(), m_lru, node->lru);
        }
        Trim(closing);
    }
    CloseAll(closing);
}

void FolderScan::Engine::KeepFd(Node* node, int fd, std::size_t children) {
    std::vector<int> closing;
    {
        std::lock_guard lock(m_fdMutex);
        node->unopenedChildren = children;
        if (node->fd >= 0) {
            closing.push_back(fd);
        } else if (node->parent == nullptr) {
            node->fd = fd;
            node->pinned = true;
        } else {
            node->fd = fd;
            node->lru = m_lru.insert(m_lru.end(), node);
        }
        Trim(closing);
    }
    CloseAll(closing);
}

void FolderScan::Engine::Trim(std::vector<int>& closing) {
    for (auto it = m_lru.begin(); m_lru.size() > kMaxCachedFolders && it != m_lru.end();) {
        Node* node = *it;
        if (node->fdUsers > 0) {
            ++it;
            continue;
        }
        closing.push_back(node->fd);
        node->fd = -1;
        it = m_lru.erase(it);
    }
}

// The folder's first pass: whether it can be enumerated. A folder that
// cannot be read, or went away since its parent was listed, or is one of
// the folders above it, is reported once, by its name.
FolderScan::Engine::Verdict FolderScan::Engine::JudgeOpen(Node* node, ScanBatch& batch) {
    const std::uint32_t code = node->openError;
    const bool top = node->parent == nullptr;
    if (top && !m_strRawTop.empty()) {
        m_result.folderMissing = code == ERROR_FILE_NOT_FOUND || IsVanished(code);
        m_result.notAFolder = node->notFolder;
    }
    if (node->loopOf != nullptr) {
        Report(batch, node, LoopText(FolderText(node->loopOf->folder)));
        return Verdict::kSkip;
    }
    switch (code) {
        case ERROR_SUCCESS:
        case ERROR_NO_MORE_FILES: return Verdict::kEnumerate;
        case ERROR_FILE_NOT_FOUND: return top ? StopOnError(batch, node, code, true) : Verdict::kSkip;
        case ERROR_NOT_READY:
        case ERROR_ACCESS_DENIED: {
            Report(batch, node, code == ERROR_NOT_READY ? NotReadyText() : AccessDeniedText());
            if (!top) return Verdict::kSkip;
            // The top folder unread leaves nothing listed: the scan is incomplete.
            m_result.errorCode = code;
            m_result.reason = SystemErrorText(code);
            m_result.folder = FolderText(node->folder);
            return Verdict::kStop;
        }
        default:
            if (top && m_strRawTop.empty()) return StopOnError(batch, node, code, true);  // no folder chosen
            if (!top && IsVanished(code)) {
                Report(batch, node, SystemErrorText(code));
                return Verdict::kSkip;
            }
            return StopOnError(batch, node, code);
    }
}

// The second pass: how the enumeration ended.
FolderScan::Engine::Verdict FolderScan::Engine::JudgeEnd(Node* node, ScanBatch& batch) {
    const bool top = node->parent == nullptr;
    if (node->denied) {
        Report(batch, node, AccessDeniedText());
        if (!top) return Verdict::kSkip;
        m_result.errorCode = ERROR_ACCESS_DENIED;
        m_result.reason = SystemErrorText(ERROR_ACCESS_DENIED);
        m_result.folder = FolderText(node->folder);
        return Verdict::kStop;
    }
    const std::uint32_t code = node->endError;
    switch (code) {
        case ERROR_SUCCESS:
        case ERROR_NO_MORE_FILES: return Verdict::kEnumerate;
        case ERROR_FILE_NOT_FOUND: return Verdict::kSkip;
        case ERROR_NOT_READY: Report(batch, node, NotReadyText()); return Verdict::kSkip;
        case ERROR_ACCESS_DENIED: Report(batch, node, AccessDeniedText()); return Verdict::kSkip;
        default:
            if (!top && IsVanished(code)) {
                Report(batch, node, SystemErrorText(code));
                return Verdict::kSkip;
            }
            return StopOnError(batch, node, code);
    }
}

FolderScan::Engine::Step FolderScan::Engine::TakeStep(Node* node, ScanBatch& batch, std::size_t maxRows) {
    if (m_phase == Phase::kOpen && node->opened) {
        const Verdict verdict = JudgeOpen(node, batch);
        if (verdict == Verdict::kStop) return Step::kStopped;
        if (verdict == Verdict::kSkip) {
            m_pLast = node;
            m_pCurrent = nullptr;
        } else {
            m_phase = Phase::kRows;
        }
        return Step::kMore;
    }
    if (m_phase == Phase::kRows && node->taken < node->rows.size()) {
        if (!batch.diagnostics.empty()) return Step::kBatchFull;  // rows after a diagnostic start a new batch
        const std::size_t n = std::min(maxRows - batch.rows.size(), node->rows.size() - node->taken);
        const auto from = node->rows.begin() + static_cast<std::ptrdiff_t>(node->taken);
        batch.rows.insert(batch.rows.end(), from, from + static_cast<std::ptrdiff_t>(n));
        node->taken += n;
        m_nUntaken -= n;
        if (m_bHeldBack && m_nUntaken <= m_options.readAheadRows / 2) {
            m_bHeldBack = false;
            m_workReady.notify_all();
        }
        return batch.rows.size() >= maxRows ? Step::kBatchFull : Step::kMore;
    }
    if (m_phase == Phase::kRows && node->done) {
        std::vector<FileItem*>().swap(node->rows);
        const Verdict verdict = JudgeEnd(node, batch);
        if (verdict == Verdict::kStop) return Step::kStopped;
        if (verdict == Verdict::kEnumerate)
            m_order.insert(m_order.end(), node->children.rbegin(), node->children.rend());
        std::vector<Node*>().swap(node->children);
        m_pLast = node;
        m_pCurrent = nullptr;
        return Step::kMore;
    }
    return Step::kWait;
}

bool FolderScan::Engine::Take(ScanBatch& batch, std::chrono::milliseconds wait, std::size_t maxRows) {
    batch.clear();
    if (m_bEnded) return false;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    // A consumer that takes without waiting does not wait for the lock
    // either: the worker that holds it wakes the consumer when it lets go.
    std::unique_lock lock(m_mutex, std::defer_lock);
    if (wait.count() > 0 || !m_fnWake) lock.lock();
    else if (m_mutex.TryLockOrAskWake()) lock = std::unique_lock(m_mutex, std::adopt_lock);
    else return true;
    for (;;) {
        if (m_bStopRequested.load()) {
            End(ScanEnd::kStoppedByRequest);
            return false;
        }
        if (m_pCurrent == nullptr) {
            if (m_order.empty()) {
                End(ScanEnd::kCompleted);
                return false;
            }
            m_pCurrent = m_order.back();
            m_order.pop_back();
            m_phase = Phase::kOpen;
        }
        const Step step = TakeStep(m_pCurrent, batch, maxRows);
        if (step == Step::kStopped) {
            End(ScanEnd::kStoppedByError);
            return false;
        }
        if (step == Step::kBatchFull) return true;
        if (step == Step::kMore) continue;
        Node* node = m_pCurrent;
        // Nothing more of this folder yet: workers held back may read on.
        if (m_bHeldBack) {
            m_bHeldBack = false;
            m_workReady.notify_all();
        }
        if (!batch.rows.empty() || !batch.diagnostics.empty()) return true;
        if (m_options.threads <= 0) {
            if (!node->started) {
                node->started = true;
                lock.unlock();
                ReadFolder(node, m_slots.back());  // the consumer reads the subfolders in its turn
                lock.lock();
                continue;
            }
        } else if (!node->started && m_pUrgent != node) {
            m_pUrgent = node;
            m_workReady.notify_one();
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            m_bWakeArmed = true;
            return true;
        }
        m_rowsReady.wait_until(lock, deadline);
    }
}

FolderScan::FolderScan(std::string rawFolder, const ScanOptions& options, FileStore& store)
    : m_pEngine(std::make_unique<Engine>(std::move(rawFolder), options, store)) {}

FolderScan::~FolderScan() = default;

void FolderScan::Start(std::function<void()> wake) { m_pEngine->Start(std::move(wake)); }

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
