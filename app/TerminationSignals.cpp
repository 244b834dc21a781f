#include "app/TerminationSignals.h"

#include <QApplication>
#include <QSessionManager>
#include <QTimer>
#include <QWidget>

#include "app/ThreadWake.h"
#include "platform/Termination.h"

namespace norvane {

// A request comes on a thread of the platform's; the wake brings it to the
// window's thread.
TerminationSignals::TerminationSignals()
    : m_pWake(new ThreadWake([this] { CloseTopWindow(); }, this)),
      m_pRequests(std::make_unique<TerminationRequests>(m_pWake->Notifier())) {
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { CloseTopWindow(); });
}

// The requests end before the wake goes.
TerminationSignals::~TerminationSignals() { m_pRequests.reset(); }

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
