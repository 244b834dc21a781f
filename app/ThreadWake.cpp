#include "app/ThreadWake.h"

#include <QMetaObject>

#include <atomic>
#include <mutex>

namespace norvane {

// What other threads hold: the wake while it lives, and whether a call is on
// its way. A notify posts a queued call to the wake's thread under the
// channel's lock, and the wake clears itself from the channel under the
// same lock as it goes, so no call is posted to a wake that is gone; one
// posted before runs only while the wake lives (Qt drops the calls posted
// to an object as it goes, on the same thread the calls run on). Posting
// and running a queued call order what the notifier wrote before it as a
// lock would. The handler runs under no lock: a worker's notify never waits
// for it.
class ThreadWake::Channel {
public:
    explicit Channel(ThreadWake* pReceiver) : m_pReceiver(pReceiver) {}

    void Notify() {
        // Notifications before the handler has run fold into one call.
        if (m_bPending.exchange(true)) return;
        std::lock_guard lock(m_mutex);
        if (m_pReceiver == nullptr) return;
        // By name: Qt makes the queued call and frees it on the wake's
        // thread, where it runs; a functor made here would be freed here.
        QMetaObject::invokeMethod(m_pReceiver, "Deliver", Qt::QueuedConnection);
    }
    // The wake's thread, before it calls the handler: a notify from now on
    // posts another call.
    // The flag is taken back with an exchange, not a store: every notifier
    // set it with a read-modify-write after what it wrote, so this
    // acquire-release exchange reads the last of them and orders all they
    // wrote before the handler, by our own atomics and not only by Qt's
    // posting of the call (which the thread sanitizer cannot see).
    void Taken() { m_bPending.exchange(false); }
    void Detach() {
        std::lock_guard lock(m_mutex);
        m_pReceiver = nullptr;
    }

private:
    std::atomic<bool> m_bPending{false};
    std::mutex m_mutex;
    ThreadWake* m_pReceiver;
};

ThreadWake::ThreadWake(std::function<void()> handler, QObject* pParent)
    : QObject(pParent), m_fnHandler(std::move(handler)) {
    m_pChannel = std::make_shared<Channel>(this);
}

ThreadWake::~ThreadWake() { m_pChannel->Detach(); }

std::function<void()> ThreadWake::Notifier() const {
    return [channel = m_pChannel] { channel->Notify(); };
}

void ThreadWake::Notify() const { m_pChannel->Notify(); }

void ThreadWake::Deliver() {
    m_pChannel->Taken();
    if (!m_bRetired) m_fnHandler();
}

void ThreadWake::Retire() {
    m_bRetired = true;
    deleteLater();
}

}  // namespace norvane
