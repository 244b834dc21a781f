// Requests from outside to end the program: SIGTERM, SIGINT and SIGHUP on
// Linux (a desktop session or a terminal ending it); the console's Ctrl+C,
// its closing, a log-off or a shutdown on Windows. While one of these lives
// (one at a time), each request calls onRequest on a thread of the
// platform's own, never inside a signal handler; the system's defaults
// return when it goes.
#pragma once

#include <functional>
#include <memory>

namespace norvane {

class TerminationRequests {
public:
    explicit TerminationRequests(std::function<void()> onRequest);
    ~TerminationRequests();
    TerminationRequests(const TerminationRequests&) = delete;
    TerminationRequests& operator=(const TerminationRequests&) = delete;

    struct State;

private:
    std::unique_ptr<State> m_pState;
};

}  // namespace norvane
