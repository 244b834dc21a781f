#include "app/LongWork.h"

#include <utility>

#include "app/ThreadWake.h"
#include "catalogue/BackgroundScan.h"

namespace norvane {

LongWork::LongWork(QObject* pOwner, std::uint64_t total, std::function<void(WorkControl&)> work,
                   std::function<void()> end)
    : m_pControl(std::make_shared<WorkControl>()), m_fnEnd(std::move(end)) {
    m_pControl->SetTotal(total);
    m_pWake = new ThreadWake([this] { OnEnded(); }, pOwner);
    RunInBackground([control = m_pControl, work = std::move(work), fnEnded = m_pWake->Notifier()] {
        work(*control);
        fnEnded();
    });
}

LongWork::~LongWork() {
    // A work that can no longer stop still puts its result in place; its end
    // goes unheard.
    m_pControl->Stop();
    if (m_pWake != nullptr) m_pWake->Retire();
}

bool LongWork::Stop() {
    if (m_pWake == nullptr) return true;
    if (!m_pControl->Stop()) return false;
    m_pWake->Retire();
    m_pWake = nullptr;
    return true;
}

void LongWork::OnEnded() {
    m_pWake->Retire();
    m_pWake = nullptr;
    // The end may let this object go: nothing of it is used afterwards.
    const std::function<void()> fnEnd = std::move(m_fnEnd);
    fnEnd();
}

}  // namespace norvane
