// Keeps the pool's other lane (folder checks, long work) taken until opened,
// so that work the window starts meanwhile waits in the pool: a test sees it
// running for as long as it likes, and stops it at a point of its choosing.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>

#include "catalogue/BackgroundScan.h"
#include "catalogue/WorkerPool.h"

namespace norvane::test {

class PoolGate {
public:
    PoolGate() : m_pState(std::make_shared<State>()) {
        for (std::size_t i = 0; i < WorkerPool::kOtherTasks; ++i) {
            RunInBackground([state = m_pState] {
                std::unique_lock lock(state->mutex);
                ++state->nHeld;
                state->changed.notify_all();
                state->changed.wait(lock, [&] { return state->bOpen; });
            });
        }
        std::unique_lock lock(m_pState->mutex);
        m_pState->changed.wait(lock, [&] { return m_pState->nHeld == WorkerPool::kOtherTasks; });
    }
    ~PoolGate() { Open(); }
    PoolGate(const PoolGate&) = delete;
    PoolGate& operator=(const PoolGate&) = delete;

    void Open() {
        std::lock_guard lock(m_pState->mutex);
        m_pState->bOpen = true;
        m_pState->changed.notify_all();
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        std::size_t nHeld = 0;
        bool bOpen = false;
    };
    std::shared_ptr<State> m_pState;
};

}  // namespace norvane::test
