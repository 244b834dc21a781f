// The lister's stop signals and terminal on Linux.
#include <signal.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <iterator>

#include "cli/ListerScan.h"

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

}  // namespace

int TerminalColumns() {
    struct winsize size {};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

struct StopSignals::Saved {
    struct sigaction old[3]{};  // SIGINT, SIGTERM, SIGHUP
    struct sigaction oldAlarm {};
    timer_t timer{};
    bool bTimer = false;
};

StopSignals::StopSignals() : m_pSaved(std::make_unique<Saved>()) {
    Saved& saved = *m_pSaved;
    g_nStopSignal = 0;
    g_bStopRequested.store(false);
    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a blocked call ends with EINTR
    action.sa_handler = OnInterrupt;
    sigaction(SIGALRM, &action, &saved.oldAlarm);
    // Aimed at this thread alone: the scan's workers block every signal,
    // but other threads of the process may not.
    struct sigevent event {};
    event.sigev_notify = SIGEV_THREAD_ID;
    event.sigev_signo = SIGALRM;
    event._sigev_un._tid = gettid();  // sigev_notify_thread_id, which glibc's header lacks
    saved.bTimer = timer_create(CLOCK_MONOTONIC, &event, &saved.timer) == 0;
    g_interruptTimer = saved.timer;
    g_bInterruptTimer = saved.bTimer ? 1 : 0;
    action.sa_handler = OnStopSignal;
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i) {
        // A signal the lister was started to ignore (nohup, a background
        // job's SIGINT) stays ignored.
        sigaction(kStopSignals[i], nullptr, &saved.old[i]);
        if (saved.old[i].sa_handler != SIG_IGN) sigaction(kStopSignals[i], &action, nullptr);
    }
}

StopSignals::~StopSignals() {
    Saved& saved = *m_pSaved;
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i) sigaction(kStopSignals[i], &saved.old[i], nullptr);
    g_bInterruptTimer = 0;
    if (saved.bTimer) timer_delete(saved.timer);  // disarms it
    sigaction(SIGALRM, &saved.oldAlarm, nullptr);
}

int StopSignal() { return g_nStopSignal; }

const std::atomic<bool>& StopRequest() { return g_bStopRequested; }

const char* StopSignalName(int signal) { return sigabbrev_np(signal); }

}  // namespace norvane
