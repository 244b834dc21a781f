#include "catalogue/FolderScan.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <utility>

#include "catalogue/ScanErrorPolicy.h"
#include "catalogue/ScanHandOver.h"
#include "catalogue/ScanReader.h"
#include "catalogue/ScanScheduler.h"
#include "catalogue/WorkerPool.h"
#include "platform/CodePage.h"
#include "platform/Paths.h"

namespace norvane {

namespace {

// Folder descriptors kept open for the subfolders still to be entered.
constexpr std::size_t kMaxCachedFolders = 64;

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
    void TaskEnded() {
        std::lock_guard lock(m_tasksMutex);
        if (--m_nTasks == 0) m_tasksEnded.notify_all();
    }

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
    std::vector<std::unique_ptr<ScanSlot>> m_slots;  // one per worker, the last the consumer's
    ScanNode* m_pTop = nullptr;

    // The reader holds the descriptors: it goes last.
    ScanReader m_reader;
    ScanScheduler m_scheduler;
    ConsumerWake m_wake;
    const ScanErrorPolicy m_policy;
    std::atomic<bool> m_bStopRequested{false};

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
      // More workers than the pool runs at a time would only wait.
      m_nWorkers(std::min(static_cast<std::size_t>(std::max(options.threads, 0)), WorkerPool::Shared().Bound())),
      m_reader(m_options, m_nWorkers, kMaxCachedFolders, m_scheduler, m_wake),
      m_scheduler(options.readAheadRows),
      m_policy(!m_strRawTop.empty()) {
    for (std::size_t i = 0; i <= m_nWorkers; ++i) {
        m_slots.push_back(std::make_unique<ScanSlot>());
        m_slots.back()->arena = store.NewArena();
        m_slots.back()->worker = i < m_nWorkers;
    }
    ScanSlot& own = *m_slots.back();
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
            self->m_reader.Work(*self->m_slots[i]);
            self->TaskEnded();
        });
    }
}

ScanProgress FolderScan::Engine::Progress() const {
    ScanProgress progress;
    progress.files = m_reader.FilesRead();
    progress.folders = m_reader.FoldersRead();
    const ScanNode* at = m_pCurrent != nullptr ? m_pCurrent : m_pLast;
    if (at != nullptr) AppendFolderText(progress.folder, at->folder);
    return progress;
}

// ---- The workers ----

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
    m_reader.ReadFolder(m_pCurrent, *m_slots.back());
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
    if (!text.empty()) AppendSeparatorIfMissing(text, kPathSeparator);
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
