// The lister's stop requests and console on Windows: Ctrl+C, Ctrl+Break and
// the console's closing ask the lister to stop, through
// SetConsoleCtrlHandler; the system calls the handler on a thread of its own.
#include "cli/ListerScan.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <atomic>
#include <csignal>

namespace norvane {

namespace {

std::atomic<int> g_nStopSignal{0};
std::atomic<bool> g_bStopRequested{false};
// The thread that made the StopSignals in force: a call it is blocked in (a
// write to a full pipe) is cancelled, so it comes back to look at the stop.
std::atomic<HANDLE> g_hStoppingThread{nullptr};

constexpr int kCancelTries = 20;
constexpr DWORD kCancelIntervalMs = 100;

BOOL WINAPI OnConsoleControl(DWORD type) {
    int signal = SIGTERM;  // the console closes, the user logs off
    if (type == CTRL_C_EVENT) signal = SIGINT;
    else if (type == CTRL_BREAK_EVENT) signal = SIGBREAK;
    int none = 0;
    if (!g_nStopSignal.compare_exchange_strong(none, signal)) return TRUE;
    g_bStopRequested.store(true);
    // As on Linux, again every 100 ms for a while: a call entered just after
    // the thread last looked cannot block it for good.
    for (int i = 0; i < kCancelTries; ++i) {
        const HANDLE thread = g_hStoppingThread.load();
        if (thread == nullptr) break;
        CancelSynchronousIo(thread);
        Sleep(kCancelIntervalMs);
    }
    return TRUE;
}

}  // namespace

struct StopSignals::Saved {
    HANDLE thread = nullptr;
};

StopSignals::StopSignals() : m_pSaved(std::make_unique<Saved>()) {
    g_nStopSignal.store(0);
    g_bStopRequested.store(false);
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &m_pSaved->thread, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    g_hStoppingThread.store(m_pSaved->thread);
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

StopSignals::~StopSignals() {
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    g_hStoppingThread.store(nullptr);
    if (m_pSaved->thread != nullptr) CloseHandle(m_pSaved->thread);
}

int StopSignal() { return g_nStopSignal.load(); }

const std::atomic<bool>& StopRequest() { return g_bStopRequested; }

const char* StopSignalName(int signal) {
    switch (signal) {
        case SIGINT: return "INT";
        case SIGBREAK: return "BREAK";
        default: return "TERM";
    }
}

int TerminalColumns() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) {
        const int columns = info.srWindow.Right - info.srWindow.Left + 1;
        if (columns > 0) return columns;
    }
    return 80;
}

}  // namespace norvane
