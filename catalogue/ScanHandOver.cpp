#include "catalogue/ScanHandOver.h"

#include <algorithm>
#include <utility>

namespace norvane {

FolderNews::~FolderNews() { Clear(); }

void FolderNews::Clear() {
    Batch* batch = m_pAt != nullptr ? m_pAt : m_pFirst.load(std::memory_order_acquire);
    while (batch != nullptr) {
        Batch* next = batch->next.load(std::memory_order_acquire);
        delete batch;
        batch = next;
    }
    m_pFirst.store(nullptr, std::memory_order_relaxed);
    m_pAt = nullptr;
    m_nAt = 0;
}

void FolderNews::Publish(std::vector<FileItem*>& rows) {
    // A batch of its exact size; the reader's vector keeps its room for the
    // next rows.
    auto* batch = new Batch{std::vector<FileItem*>(rows.begin(), rows.end())};
    rows.clear();
    // Release: the batch and the records in it are complete for a consumer
    // that loads the link.
    if (m_pLast != nullptr) m_pLast->next.store(batch, std::memory_order_release);
    else m_pFirst.store(batch, std::memory_order_release);
    m_pLast = batch;
    if (m_phase.load(std::memory_order_relaxed) == Phase::kPending)
        m_phase.store(Phase::kOpened, std::memory_order_release);
}

void FolderNews::Finish(const FolderOutcome& outcome) {
    m_outcome = outcome;
    // Release: the outcome and everything the reader wrote before are the
    // consumer's once it sees kDone.
    m_phase.store(Phase::kDone, std::memory_order_release);
}

std::size_t FolderNews::Take(std::vector<FileItem*>& out, std::size_t maxRows) {
    std::size_t taken = 0;
    while (taken < maxRows) {
        if (m_pAt == nullptr) {
            m_pAt = m_pFirst.load(std::memory_order_acquire);
            if (m_pAt == nullptr) break;
        }
        if (m_nAt < m_pAt->rows.size()) {
            const std::size_t n = std::min(maxRows - taken, m_pAt->rows.size() - m_nAt);
            const auto from = m_pAt->rows.begin() + static_cast<std::ptrdiff_t>(m_nAt);
            out.insert(out.end(), from, from + static_cast<std::ptrdiff_t>(n));
            m_nAt += static_cast<std::uint32_t>(n);  // a batch holds far fewer
            taken += n;
            continue;
        }
        Batch* next = m_pAt->next.load(std::memory_order_acquire);
        if (next == nullptr) break;
        // The reader linked the next batch, its last touch of this one.
        delete m_pAt;
        m_pAt = next;
        m_nAt = 0;
    }
    return taken;
}

bool FolderNews::HasRows() {
    if (m_pAt == nullptr) return m_pFirst.load(std::memory_order_acquire) != nullptr;
    return m_nAt < m_pAt->rows.size() || m_pAt->next.load(std::memory_order_acquire) != nullptr;
}

namespace {

std::uintptr_t Key(const void* folder) { return reinterpret_cast<std::uintptr_t>(folder); }

}  // namespace

void ConsumerWake::Arm(const void* folder, bool blocking) {
    // Raised before the arm, which releases it to whoever takes the arm.
    if (blocking) m_bBlocked.store(true);
    m_armedFor.exchange(Key(folder), std::memory_order_acq_rel);
}

void ConsumerWake::Disarm(const void* folder) {
    std::uintptr_t expected = Key(folder);
    m_armedFor.compare_exchange_strong(expected, 0, std::memory_order_acq_rel);
}

void ConsumerWake::Announce(const void* folder) {
    // A read-modify-write, not a load: it reads the latest arm, or the
    // consumer's later exchange reads from it (see the header).
    std::uintptr_t armed = m_armedFor.fetch_or(0, std::memory_order_acq_rel);
    if (armed != Key(folder)) return;
    if (m_armedFor.compare_exchange_strong(armed, 0, std::memory_order_acq_rel)) Wake();
}

void ConsumerWake::Kick() {
    if (m_armedFor.exchange(0, std::memory_order_acq_rel) != 0) Wake();
}

void ConsumerWake::Wake() {
    // Only a consumer blocked in WaitUntil needs the lock; the window's
    // thread never blocks so, and a stop it asks for takes no lock.
    if (m_bBlocked.load()) {
        std::lock_guard lock(m_mutex);
        m_bWoken = true;
        m_woken.notify_one();
    }
    if (m_fnWake) m_fnWake();
}

void ConsumerWake::WaitUntil(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(m_mutex);
    m_woken.wait_until(lock, deadline, [this] { return m_bWoken; });
    m_bWoken = false;
    m_bBlocked.store(false);
}

}  // namespace norvane
