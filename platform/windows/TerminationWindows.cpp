#include "platform/Termination.h"

#include "platform/windows/Win32.h"

#include <atomic>

namespace norvane {

namespace {

std::atomic<std::function<void()>*> g_pOnRequest{nullptr};

// The system calls it on a thread of its own.
BOOL WINAPI OnConsoleControl(DWORD /*type*/) {
    if (std::function<void()>* onRequest = g_pOnRequest.load()) (*onRequest)();
    return TRUE;
}

}  // namespace

struct TerminationRequests::State {
    std::function<void()> onRequest;
};

TerminationRequests::TerminationRequests(std::function<void()> onRequest)
    : m_pState(std::make_unique<State>(State{std::move(onRequest)})) {
    g_pOnRequest.store(&m_pState->onRequest);
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

TerminationRequests::~TerminationRequests() {
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    g_pOnRequest.store(nullptr);
}

}  // namespace norvane
