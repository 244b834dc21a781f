#include "cli/ListerScan.h"

#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <iterator>
#include <string_view>

#include "platform/CodePage.h"

namespace norvane {

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr long kInterruptIntervalNs = 100'000'000;

volatile sig_atomic_t g_nStopSignal = 0;
// The same as a flag (lock-free, so a signal may set it).
std::atomic<bool> g_bStopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);
// The timer that interrupts the stopping thread again; set before the
// handlers are.
timer_t g_interruptTimer{};
volatile sig_atomic_t g_bInterruptTimer = 0;

void OnStopSignal(int signal) {
    if (g_nStopSignal != 0) return;
    g_nStopSignal = signal;
    g_bStopRequested.store(true);
    if (g_bInterruptTimer != 0) {
        struct itimerspec every {};
        every.it_interval.tv_nsec = kInterruptIntervalNs;
        every.it_value.tv_nsec = kInterruptIntervalNs;
        timer_settime(g_interruptTimer, 0, &every, nullptr);  // safe in a handler
    }
}

// Only there to interrupt a call.
void OnInterrupt(int) {}

int TerminalColumns() {
    struct winsize size {};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

// Columns of each character of text, in the file system's encoding.
std::vector<std::pair<std::size_t, int>> Characters(const std::string& text) {
    std::vector<std::pair<std::size_t, int>> chars;  // start, columns
    const int codePage = FileSystemCodePage();
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t length = 1;
        int columns = 1;
        auto c = static_cast<unsigned char>(text[pos]);
        if (codePage == kCodePageShiftJis) {
            length = CharLength(text, pos, codePage);
            columns = static_cast<int>(length);
        } else if (c >= 0xC0) {
            length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
            columns = length >= 3 ? 2 : 1;
        }
        length = std::min(length, text.size() - pos);
        chars.emplace_back(pos, columns);
        pos += length;
    }
    return chars;
}

void Erase(bool& shown) {
    if (shown) std::fputs("\r\033[K", stderr);
    shown = false;
}

}  // namespace

StopSignals::StopSignals() {
    g_nStopSignal = 0;
    g_bStopRequested.store(false);
    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a blocked call ends with EINTR
    action.sa_handler = OnInterrupt;
    sigaction(SIGALRM, &action, &m_oldAlarm);
    // Aimed at this thread alone: the scan's workers block every signal,
    // but other threads of the process may not.
    struct sigevent event {};
    event.sigev_notify = SIGEV_THREAD_ID;
    event.sigev_signo = SIGALRM;
    event._sigev_un._tid = gettid();  // sigev_notify_thread_id, which glibc's header lacks
    m_bTimer = timer_create(CLOCK_MONOTONIC, &event, &m_timer) == 0;
    g_interruptTimer = m_timer;
    g_bInterruptTimer = m_bTimer ? 1 : 0;
    action.sa_handler = OnStopSignal;
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i) {
        // A signal the lister was started to ignore (nohup, a background
        // job's SIGINT) stays ignored.
        sigaction(kStopSignals[i], nullptr, &m_old[i]);
        if (m_old[i].sa_handler != SIG_IGN) sigaction(kStopSignals[i], &action, nullptr);
    }
}

StopSignals::~StopSignals() {
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i) sigaction(kStopSignals[i], &m_old[i], nullptr);
    g_bInterruptTimer = 0;
    if (m_bTimer) timer_delete(m_timer);  // disarms it
    sigaction(SIGALRM, &m_oldAlarm, nullptr);
}

int StopSignal() { return g_nStopSignal; }

const std::atomic<bool>& StopRequest() { return g_bStopRequested; }

std::string ProgressLine(const ScanProgress& progress, double seconds, int columns, const std::string& rawFolder) {
    const std::string folder = VisibleControls(rawFolder, FileSystemCodePage());
    const auto rate = static_cast<unsigned long long>(seconds > 0 ? static_cast<double>(progress.files) / seconds : 0);
    std::string line = std::to_string(progress.files) + " files, " + std::to_string(progress.folders) + " folders, " +
                       std::to_string(rate) + " files/s";
    // One column short of the width: a full line would wrap on some terminals.
    const int room = columns - 1 - static_cast<int>(line.size()) - 2;
    if (room < 4) return line.substr(0, static_cast<std::size_t>(std::max(columns - 1, 0)));
    auto chars = Characters(folder);
    int width = 0;
    for (const auto& character : chars) width += character.second;
    std::size_t from = 0;
    std::string cut;
    if (width > room) {
        // Keep the end of the path, the part that says where the scan is.
        cut = "...";
        std::size_t i = 0;
        while (i < chars.size() && width > room - 3) width -= chars[i++].second;
        from = i < chars.size() ? chars[i].first : folder.size();
    }
    return line + ", " + cut + folder.substr(from);
}

ListerScan RunListerScan(const std::string& rawFolder, const ScanOptions& options, FileStore& store, bool progress,
                         bool diagnostics, const std::function<void(std::span<FileItem* const>)>& onRows) {
    ListerScan scan;
    FolderScan folderScan(rawFolder, options, store);
    folderScan.Start();
    const auto start = std::chrono::steady_clock::now();
    auto nextDraw = start + std::chrono::milliseconds(100);
    bool shown = false;
    bool stopRequested = false;
    ScanBatch batch;
    for (bool more = true; more;) {
        more = folderScan.Take(batch, std::chrono::milliseconds(50));
        scan.rows.insert(scan.rows.end(), batch.rows.begin(), batch.rows.end());
        if (onRows && !batch.rows.empty()) onRows(batch.rows);
        if (diagnostics && !batch.diagnostics.empty()) {
            Erase(shown);
            for (const std::string& text : batch.diagnostics) {
                std::string_view line = text;
                if (line.ends_with('\n')) line.remove_suffix(1);
                const std::string strText = CodePageToFileSystem(line, FileSystemCodePage());
                std::fprintf(stderr, "norvane-list: %s\n", VisibleControls(strText, FileSystemCodePage()).c_str());
            }
        }
        if (StopSignal() != 0 && !stopRequested) {
            folderScan.RequestStop();
            stopRequested = true;
        }
        const auto now = std::chrono::steady_clock::now();
        if (progress && more && now >= nextDraw) {
            ScanProgress counts = folderScan.Progress();
            const double seconds = std::chrono::duration<double>(now - start).count();
            std::string line = ProgressLine(counts, seconds, TerminalColumns(),
                                            CodePageToFileSystem(counts.folder, FileSystemCodePage()));
            std::fprintf(stderr, "\r%s\033[K", line.c_str());
            shown = true;
            nextDraw = now + std::chrono::milliseconds(100);
        }
    }
    Erase(shown);
    std::fflush(stderr);
    scan.result = folderScan.Result();
    return scan;
}

}  // namespace norvane
