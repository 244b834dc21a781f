#include "catalogue/ScanScheduler.h"

#include "platform/Threads.h"

namespace norvane {

void ScanScheduler::Add(ScanWork* top) {
    std::lock_guard lock(m_mutex);
    m_work.push_back(top);
}

void ScanScheduler::Bump(bool all) {
    m_epoch.fetch_add(1);
    if (all) WakeAll(m_epoch);
    else WakeOne(m_epoch);
}

bool ScanScheduler::FarAhead() const {
    const std::uint64_t published = m_nPublished.load();
    const std::uint64_t taken = m_nTaken.load();
    return published - std::min(published, taken) >= m_nReadAhead && !m_bConsumerWaiting.load();
}

ScanWork* ScanScheduler::TakeWork() {
    if (ScanWork* urgent = m_pUrgent.load(); urgent != nullptr && urgent->Claim()) return urgent;
    if (FarAhead()) return nullptr;
    while (!m_work.empty()) {
        ScanWork* next = m_work.back();
        m_work.pop_back();
        if (next->Claim()) return next;  // else the consumer's urgent one, taken already
    }
    return nullptr;
}

ScanWork* ScanScheduler::Next() {
    std::unique_lock lock(m_mutex);
    bool heldBack = false;
    for (;;) {
        // A worker held back by the bound raises the flag before it looks,
        // so a consumer that takes rows after the look finds it raised (or
        // cleared by an exchange that bumped the epoch) and bumps.
        if (heldBack) m_bHeldBack.store(true);
        // The epoch before anything else: whatever changes after this look
        // bumps it.
        const std::uint32_t seen = m_epoch.load();
        if (m_bStop.load()) return nullptr;
        if (ScanWork* work = TakeWork()) {
            ++m_nReading;
            return work;
        }
        if (m_nReading == 0 && m_work.empty()) {
            // Everything is read. The folders listed last may all have been
            // read already (one the consumer named before it was listed), so
            // their listing woke fewer workers than sleep: every worker
            // learns the end from the one that finds it.
            lock.unlock();
            Bump(true);
            return nullptr;
        }
        if (FarAhead() && !heldBack) {
            heldBack = true;  // look again with the flag up
            continue;
        }
        lock.unlock();
        WaitWhileEquals(m_epoch, seen);
        lock.lock();
    }
}

ScanWork* ScanScheduler::Finished(const std::vector<ScanWork*>& children, bool keepFirst) {
    ScanWork* next = nullptr;
    bool allRead = false;
    std::size_t waiting = 0;
    {
        std::lock_guard lock(m_mutex);
        if (m_nReading > 0) --m_nReading;
        if (keepFirst && !children.empty() && !m_bStop.load() && !FarAhead() && children.front()->Claim()) {
            next = children.front();
            ++m_nReading;
        }
        // Subfolders are read before the folders listed earlier, the first
        // one first.
        for (auto it = children.rbegin(); it != children.rend(); ++it) {
            if (*it == next) continue;
            m_work.push_back(*it);
            ++waiting;
        }
        allRead = m_nReading == 0 && m_work.empty();
    }
    // As many workers as there are new folders; all of them at the end.
    if (allRead) {
        Bump(true);
    } else if (waiting > 0) {
        m_epoch.fetch_add(1);
        for (std::size_t i = 0; i < waiting; ++i) WakeOne(m_epoch);
    }
    return next;
}

void ScanScheduler::ConsumerWaitsFor(ScanWork* folder) {
    m_bConsumerWaiting.store(true);
    bool bump = false;
    // A folder no worker has taken yet goes first.
    if (!folder->Claimed() && m_pUrgent.exchange(folder) != folder) bump = true;
    // Workers held back by the bound may read on while the consumer waits.
    if (m_bHeldBack.exchange(false)) bump = true;
    if (bump) Bump(true);
}

void ScanScheduler::ConsumerTook(std::size_t rows) {
    m_bConsumerWaiting.store(false);
    const std::uint64_t taken = m_nTaken.fetch_add(rows) + rows;
    const std::uint64_t published = m_nPublished.load();
    // Workers held back go on once the consumer has taken half of the bound.
    if (published - std::min(published, taken) <= m_nReadAhead / 2 && m_bHeldBack.exchange(false)) Bump(true);
}

void ScanScheduler::Stop() {
    m_bStop.store(true);
    Bump(true);
}

}  // namespace norvane
