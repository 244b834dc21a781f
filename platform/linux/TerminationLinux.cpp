#include "platform/Termination.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <thread>

namespace norvane {

namespace {

// The handler may only write to a pipe; a thread of its own reads it.
int g_nWriteEnd = -1;
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

void OnSignalCaught(int nSignal) {
    const int nSavedErrno = errno;
    const char byte = static_cast<char>(nSignal);
    if (::write(g_nWriteEnd, &byte, 1) < 0) {
        // The pipe is full: a request is on its way already.
    }
    errno = nSavedErrno;
}

}  // namespace

struct TerminationRequests::State {
    int pipe[2] = {-1, -1};
    std::thread reader;
};

TerminationRequests::TerminationRequests(std::function<void()> onRequest) : m_pState(std::make_unique<State>()) {
    if (::pipe2(m_pState->pipe, O_CLOEXEC) != 0) return;
    g_nWriteEnd = m_pState->pipe[1];
    // Ends when the write end is closed.
    m_pState->reader = std::thread([readEnd = m_pState->pipe[0], onRequest = std::move(onRequest)] {
        char buffer[16];
        for (;;) {
            const ssize_t n = ::read(readEnd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return;
            onRequest();
        }
    });
    struct sigaction action {};
    action.sa_handler = OnSignalCaught;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int nSignal : kSignals) sigaction(nSignal, &action, nullptr);
}

TerminationRequests::~TerminationRequests() {
    for (int nSignal : kSignals) std::signal(nSignal, SIG_DFL);
    if (m_pState->pipe[1] >= 0) ::close(m_pState->pipe[1]);
    g_nWriteEnd = -1;
    if (m_pState->reader.joinable()) m_pState->reader.join();
    if (m_pState->pipe[0] >= 0) ::close(m_pState->pipe[0]);
}

}  // namespace norvane
