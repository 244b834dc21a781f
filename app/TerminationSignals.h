// A desktop session ends its programs (on Linux with SIGTERM, and a terminal
// with SIGHUP or SIGINT; Qt's session manager asks for the data to be kept
// first where there is one): the window then closes as its close box closes
// it, so the folder history is saved, instead of the process dying on the
// spot.
#pragma once

#include <memory>

#include <QObject>

namespace norvane {

class TerminationRequests;
class ThreadWake;

class TerminationSignals : public QObject {
    Q_OBJECT

public:
    // Takes the requests for as long as it lives; one at a time.
    TerminationSignals();
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

private:
    void CloseTopWindow();

    static constexpr int kMaxCloseTries = 100;
    ThreadWake* m_pWake = nullptr;
    std::unique_ptr<TerminationRequests> m_pRequests;
    int m_nCloseTries = 0;
};

}  // namespace norvane
