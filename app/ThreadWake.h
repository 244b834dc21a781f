// Wakes the window's thread from any other thread: Notify, on any thread,
// makes the window thread call the handler from its event loop (a queued
// call of Qt's own). A wake
// carries no data: what it announces is handed over under the announcing
// side's own lock (or through the write and read of the wake itself, which
// order everything written before Notify before the handler). Notifications
// that come before the handler has run fold into one call.
//
// The part other threads use is shared: a thread may notify after the window
// has let the wake go, and then nothing is called.
//
//   m_pWake = new ThreadWake([this] { OnNews(); }, this);
//   worker.Start(m_pWake->Notifier());
//   ...
//   m_pWake->Retire();  // never delete it: it may be inside its handler
#pragma once

#include <functional>
#include <memory>

#include <QObject>

namespace norvane {

class ThreadWake : public QObject {
    Q_OBJECT

public:
    // handler runs on the thread that made the wake (it must have an event
    // loop), while the wake lives.
    ThreadWake(std::function<void()> handler, QObject* pParent = nullptr);
    ~ThreadWake() override;

    // Any thread, also after the wake is gone.
    std::function<void()> Notifier() const;
    // The same, from the wake's own thread.
    void Notify() const;
    // The handler is not called again, and the wake goes once the event loop
    // is back (it may be retired from inside its own handler).
    void Retire();

private:
    class Channel;
    // The wake's own thread: a notification has come. Called by name, so
    // that Qt makes and frees the queued call itself.
    Q_INVOKABLE void Deliver();

    std::shared_ptr<Channel> m_pChannel;
    std::function<void()> m_fnHandler;
    bool m_bRetired = false;
};

}  // namespace norvane
