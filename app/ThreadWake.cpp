#include "app/ThreadWake.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QTimer>

#include <cstdint>

namespace norvane {

// An eventfd: a write on one thread and the read on another order memory as
// a lock would, and a full counter never blocks the writer.
class ThreadWake::Channel {
public:
    Channel() : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~Channel() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    int Fd() const { return m_fd; }
    void Notify() const {
        const std::uint64_t one = 1;
        if (m_fd >= 0 && ::write(m_fd, &one, sizeof one) < 0) {
            // The counter is full: a wake is pending anyway.
        }
    }
    void Drain() const {
        std::uint64_t count = 0;
        if (m_fd >= 0 && ::read(m_fd, &count, sizeof count) < 0) {
            // Nothing was pending.
        }
    }

private:
    int m_fd;
};

ThreadWake::ThreadWake(std::function<void()> handler, QObject* pParent)
    : QObject(pParent), m_pChannel(std::make_shared<Channel>()), m_fnHandler(std::move(handler)) {
    if (m_pChannel->Fd() < 0) {
        // No descriptor left: the handler looks for news a few times a second.
        auto* pTimer = new QTimer(this);
        connect(pTimer, &QTimer::timeout, this, [this] {
            if (!m_bRetired) m_fnHandler();
        });
        pTimer->start(50);
        return;
    }
    m_pNotifier = new QSocketNotifier(m_pChannel->Fd(), QSocketNotifier::Read, this);
    connect(m_pNotifier, &QSocketNotifier::activated, this, [this] {
        m_pChannel->Drain();
        if (!m_bRetired) m_fnHandler();
    });
}

ThreadWake::~ThreadWake() {
    // The descriptor stays open while another thread may still notify it.
    delete m_pNotifier;
}

std::function<void()> ThreadWake::Notifier() const {
    return [channel = m_pChannel] { channel->Notify(); };
}

void ThreadWake::Notify() const { m_pChannel->Notify(); }

void ThreadWake::Retire() {
    m_bRetired = true;
    if (m_pNotifier != nullptr) m_pNotifier->setEnabled(false);
    deleteLater();
}

}  // namespace norvane
