// What long work on the records (a sort, an export, a copy) shares with the
// window that started it off its own thread: the window asks it to stop,
// the work looks at that between pieces and says how far it has come. No
// call waits or takes a lock.
#pragma once

#include <atomic>
#include <cstdint>

namespace norvane {

class WorkControl {
public:
    // Asks the work to stop. False when it no longer can: it is putting its
    // result in place (see Commit), and will end as if never stopped.
    bool Stop() {
        int expected = kRunning;
        return m_state.compare_exchange_strong(expected, kStopped) || expected == kStopped;
    }
    bool StopRequested() const { return m_state.load(std::memory_order_relaxed) == kStopped; }
    // The work, before the one step it cannot take back: false when a stop
    // came first (the work then drops its result); from here on Stop fails.
    bool Commit() {
        int expected = kRunning;
        return m_state.compare_exchange_strong(expected, kCommitting);
    }
    bool Committing() const { return m_state.load(std::memory_order_relaxed) == kCommitting; }

    // How far the work has come, in units of its own.
    void SetTotal(std::uint64_t total) { m_nTotal.store(total, std::memory_order_relaxed); }
    void Advance(std::uint64_t done) { m_nDone.fetch_add(done, std::memory_order_relaxed); }
    std::uint64_t Done() const { return m_nDone.load(std::memory_order_relaxed); }
    std::uint64_t Total() const { return m_nTotal.load(std::memory_order_relaxed); }

private:
    enum : int { kRunning, kStopped, kCommitting };
    std::atomic<int> m_state{kRunning};
    std::atomic<std::uint64_t> m_nDone{0};
    std::atomic<std::uint64_t> m_nTotal{0};
};

}  // namespace norvane
