// Long work on the records off the window's thread: a sort, an export, a
// copy of many rows. The work runs as a task of the process's pool with a
// WorkControl it shares with the window; once it returns, its end runs on
// the window's thread, from the event loop.
//
// Threads. The work gets everything it needs by value or by shared pointer
// (its rows, its share of the store, where its result goes) and the window
// keeps its hands off that until the end runs: the wake that brings the end
// orders what the work wrote before it. Stop only sets the control's flag
// and returns; the end of a stopped work never runs, and what the work
// holds goes when its task ends.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "catalogue/WorkControl.h"

class QObject;

namespace norvane {

class ThreadWake;

class LongWork {
public:
    // pOwner: the window (the wake lives with it); total: the work's units,
    // as its progress counts them until the work says otherwise.
    LongWork(QObject* pOwner, std::uint64_t total, std::function<void(WorkControl&)> work, std::function<void()> end);
    // Stops the work if it still runs; its end never runs.
    ~LongWork();
    LongWork(const LongWork&) = delete;
    LongWork& operator=(const LongWork&) = delete;

    // False when the work can no longer stop (it puts its result in place):
    // its end then comes as if it had not been asked.
    bool Stop();
    // How far it has come.
    const WorkControl& Control() const { return *m_pControl; }

private:
    void OnEnded();

    std::shared_ptr<WorkControl> m_pControl;
    ThreadWake* m_pWake = nullptr;
    std::function<void()> m_fnEnd;
};

}  // namespace norvane
