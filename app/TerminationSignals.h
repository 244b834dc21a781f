// A desktop session ends its programs with SIGTERM (and a terminal with
// SIGHUP or SIGINT): the window then closes as its close box closes it, so
// the folder history is saved, instead of the process dying on the spot.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace norvane {

class TerminationSignals : public QObject {
    Q_OBJECT

public:
    // Catches the signals for as long as it lives; one at a time.
    TerminationSignals();
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

private:
    void OnSignal();
    void CloseTopWindow();

    static constexpr int kMaxCloseTries = 100;
    QSocketNotifier* m_pNotifier = nullptr;
    int m_nCloseTries = 0;
};

}  // namespace norvane
