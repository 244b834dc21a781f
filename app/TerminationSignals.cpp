#include "app/TerminationSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <csignal>

namespace norvane {
namespace {

// The handler may only write to a pipe; the window thread reads it.
int g_signalPipe[2] = {-1, -1};
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

void OnSignalCaught(int nSignal) {
    const int nSavedErrno = errno;
    const char byte = static_cast<char>(nSignal);
    if (::write(g_signalPipe[1], &byte, 1) < 0) {
        // The pipe is full: a close is already on its way.
    }
    errno = nSavedErrno;
}

}  // namespace

TerminationSignals::TerminationSignals() {
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    m_pNotifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, this);
    connect(m_pNotifier, &QSocketNotifier::activated, this, &TerminationSignals::OnSignal);
    struct sigaction action {};
    action.sa_handler = OnSignalCaught;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int nSignal : kSignals) sigaction(nSignal, &action, nullptr);
}

TerminationSignals::~TerminationSignals() {
    for (int nSignal : kSignals) std::signal(nSignal, SIG_DFL);
    delete m_pNotifier;
    for (int& fd : g_signalPipe) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}

void TerminationSignals::OnSignal() {
    char buffer[16];
    while (::read(g_signalPipe[0], buffer, sizeof buffer) > 0) {}
    CloseTopWindow();
}

// The modal windows open over the main window (a message box, the export
// dialogs) are closed first, each as its close box would, then the main
// window; each one's loop must end before the next window can, hence one
// window per turn.
void TerminationSignals::CloseTopWindow() {
    QWidget* pTop = QApplication::activeModalWidget();
    if (pTop == nullptr) {
        m_nCloseTries = 0;
        return;
    }
    // A window that will not close (none of the program's does) must not
    // keep the loop busy for ever.
    if (++m_nCloseTries > kMaxCloseTries) {
        m_nCloseTries = 0;
        return;
    }
    pTop->close();
    QTimer::singleShot(10, this, &TerminationSignals::CloseTopWindow);
}

}  // namespace norvane
