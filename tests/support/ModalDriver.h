// Drives the modal windows a window test opens. A test queues steps, then
// opens a dialog or box (whose modal loop blocks the test); each step waits
// for the active modal widget (or popup menu) to be of its kind, runs its
// action on it, and hands over to the next (which may then act on a window
// the action opened). A step that waits past the
// deadline fails the driver and closes every modal window, so a wrong
// expectation fails fast instead of hanging the test.
//
//   ModalDriver driver;
//   driver.Then<QMessageBox>([](QMessageBox* box) { ClickButtonText(box, "はい(&Y)"); });
//   const bool bYes = norvane::AskYesNo(nullptr, "text", "caption");
//   QVERIFY2(driver.Finished(), qPrintable(driver.Error()));
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <deque>
#include <functional>

#include "framework/TemplateDialog.h"

namespace norvane::test {

// Where a test puts the pictures it grabs of its windows: beside the test.
inline QString OutputPath(const char* pszName) {
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(pszName);
}

inline QString WithoutMnemonic(QString strText) {
    strText.remove(QLatin1Char('&'));
    return strText;
}

// The control with a template id of a dialog built from a template.
inline QWidget* FindControl(QWidget* pWindow, int nId) {
    if (auto* pDialog = dynamic_cast<TemplateDialog*>(pWindow)) return pDialog->Control(nId);
    return pWindow != nullptr ? pWindow->findChild<QWidget*>(QStringLiteral("ctrl%1").arg(nId)) : nullptr;
}

inline bool IsChecked(QWidget* pWindow, int nId) {
    auto* pButton = qobject_cast<QAbstractButton*>(FindControl(pWindow, nId));
    return pButton != nullptr && pButton->isChecked();
}

inline bool IsEnabled(QWidget* pWindow, int nId) {
    QWidget* pControl = FindControl(pWindow, nId);
    return pControl != nullptr && pControl->isEnabled();
}

// Clicks a button with the mouse, as a user would; false when there is no
// such enabled, visible button.
inline bool ClickWidget(QAbstractButton* pButton) {
    if (pButton == nullptr || !pButton->isEnabled() || !pButton->isVisible()) return false;
    QTest::mouseClick(pButton, Qt::LeftButton, Qt::NoModifier, pButton->rect().center());
    return true;
}

inline bool ClickButton(QWidget* pWindow, int nId) {
    return ClickWidget(qobject_cast<QAbstractButton*>(FindControl(pWindow, nId)));
}

// The button whose text, mnemonics aside, is strText.
inline bool ClickButtonText(QWidget* pWindow, const QString& strText) {
    if (pWindow == nullptr) return false;
    for (QAbstractButton* pButton : pWindow->findChildren<QAbstractButton*>()) {
        if (WithoutMnemonic(pButton->text()) == WithoutMnemonic(strText)) return ClickWidget(pButton);
    }
    return false;
}

// Types text into an edit (or a combo box's edit field) the way an input
// method commits it; QTest::keyClicks cannot send Japanese text.
inline void TypeText(QWidget* pTarget, const QString& strText) {
    if (auto* pCombo = qobject_cast<QComboBox*>(pTarget); pCombo != nullptr && pCombo->lineEdit() != nullptr) {
        pTarget = pCombo->lineEdit();
    }
    pTarget->setFocus(Qt::OtherFocusReason);
    QInputMethodEvent event;
    event.setCommitString(strText);
    QCoreApplication::sendEvent(pTarget, &event);
}

inline bool TriggerMenuItem(QMenu* pMenu, const QString& strText) {
    for (QAction* pAction : pMenu->actions()) {
        if (WithoutMnemonic(pAction->text()) == WithoutMnemonic(strText)) {
            pMenu->setActiveAction(pAction);
            QTest::keyClick(pMenu, Qt::Key_Return);
            return true;
        }
    }
    return false;
}

class ModalDriver : public QObject {
public:
    explicit ModalDriver(int nTimeoutMs = 5000) : m_nTimeoutMs(nTimeoutMs) {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] { Poll(); });
    }
    ~ModalDriver() override { m_timer.stop(); }
    ModalDriver(const ModalDriver&) = delete;
    ModalDriver& operator=(const ModalDriver&) = delete;

    // When the active modal widget is a T, run the action on it.
    template <class T>
    ModalDriver& Then(std::function<void(T*)> fnAction) {
        // dynamic_cast: dialogs built from templates need no Q_OBJECT of their own.
        return Add(
            false, [](QWidget* pWidget) { return dynamic_cast<T*>(pWidget) != nullptr; },
            [fnAction](QWidget* pWidget) { fnAction(dynamic_cast<T*>(pWidget)); });
    }

    // As Then, once the window has no listing under way (the main window
    // scans on worker threads and greys its export buttons meanwhile).
    template <class T>
    ModalDriver& ThenSettled(std::function<void(T*)> fnAction) {
        return Add(
            false,
            [](QWidget* pWidget) {
                auto* pWindow = dynamic_cast<T*>(pWidget);
                return pWindow != nullptr && !pWindow->IsScanning();
            },
            [fnAction](QWidget* pWidget) { fnAction(dynamic_cast<T*>(pWidget)); });
    }

    // As Then, once fnReady holds of the window too (for a step that must
    // wait for what the step before set off, without waiting inside it).
    template <class T>
    ModalDriver& ThenWhen(std::function<bool(T*)> fnReady, std::function<void(T*)> fnAction) {
        return Add(
            false,
            [fnReady](QWidget* pWidget) {
                auto* pWindow = dynamic_cast<T*>(pWidget);
                return pWindow != nullptr && fnReady(pWindow);
            },
            [fnAction](QWidget* pWidget) { fnAction(dynamic_cast<T*>(pWidget)); });
    }

    // When a popup menu is open, run the action on it.
    ModalDriver& ThenPopup(std::function<void(QMenu*)> fnAction) {
        return Add(
            true, [](QWidget* pWidget) { return qobject_cast<QMenu*>(pWidget) != nullptr; },
            [fnAction](QWidget* pWidget) { fnAction(qobject_cast<QMenu*>(pWidget)); });
    }

    bool Finished() const { return m_steps.empty() && !m_bFailed; }
    bool Failed() const { return m_bFailed; }
    QString Error() const {
        return m_bFailed ? m_strError : m_steps.empty() ? QString() : QStringLiteral("steps left");
    }

private:
    struct Step {
        bool bPopup;
        std::function<bool(QWidget*)> fnMatch;
        std::function<void(QWidget*)> fnRun;
    };

    ModalDriver& Add(bool bPopup, std::function<bool(QWidget*)> fnMatch, std::function<void(QWidget*)> fnRun) {
        m_steps.push_back(Step{bPopup, std::move(fnMatch), std::move(fnRun)});
        if (!m_timer.isActive()) {
            m_clock.start();
            m_timer.start();
        }
        return *this;
    }

    void Poll() {
        if (m_bFailed) {
            if (QApplication::activeModalWidget() == nullptr && QApplication::activePopupWidget() == nullptr)
                m_timer.stop();
            else CloseModals();
            return;
        }
        if (m_steps.empty()) {
            // Every step ran; the window of the last step was expected to
            // close, and one still open past the deadline fails.
            if (m_pLastTarget.isNull() || !m_pLastTarget->isVisible()) {
                m_timer.stop();
            } else if (m_clock.elapsed() > m_nTimeoutMs) {
                Fail(QStringLiteral("the window of the last step stayed open"));
            }
            return;
        }
        QWidget* pWidget =
            m_steps.front().bPopup ? QApplication::activePopupWidget() : QApplication::activeModalWidget();
        if (pWidget != nullptr && pWidget->isVisible() && m_steps.front().fnMatch(pWidget)) {
            // Taken off the queue before it runs: its action may open a nested
            // modal window, which the next step then handles from within.
            const Step step = m_steps.front();
            m_steps.pop_front();
            ++m_nStep;
            m_clock.restart();
            const int nStep = m_nStep;
            // Run from a posted call, not from inside this timer's event: a
            // timer does not fire again while its own event is handled, and the
            // action may open a nested modal window the next step must reach.
            QPointer<QWidget> pTarget(pWidget);
            m_pLastTarget = pTarget;
            QMetaObject::invokeMethod(
                this,
                [this, step, nStep, pTarget] {
                    if (pTarget.isNull()) return;
                    step.fnRun(pTarget.data());
                    // A failed check inside the action ends the windows it left open.
                    if (QTest::currentTestFailed() && !m_bFailed) Fail(QStringLiteral("step %1 failed").arg(nStep));
                },
                Qt::QueuedConnection);
            return;
        }
        if (m_clock.elapsed() > m_nTimeoutMs) {
            QWidget* pActive = QApplication::activeModalWidget();
            Fail(QStringLiteral("step %1: expected window did not appear within %2 ms (active modal: %3)")
                     .arg(m_nStep + 1)
                     .arg(m_nTimeoutMs)
                     .arg(pActive != nullptr ? QString::fromLatin1(pActive->metaObject()->className())
                                             : QStringLiteral("none")));
        }
    }

    void Fail(const QString& strError) {
        m_strError = strError;
        m_bFailed = true;
        m_steps.clear();
        if (!m_timer.isActive()) m_timer.start();
        CloseModals();
    }

    // Ends every modal window so the test's modal loop returns.
    static void CloseModals() {
        if (QWidget* pPopup = QApplication::activePopupWidget()) pPopup->close();
        if (auto* pDialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) pDialog->done(QDialog::Rejected);
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    std::deque<Step> m_steps;
    QPointer<QWidget> m_pLastTarget;
    int m_nTimeoutMs;
    int m_nStep = 0;
    bool m_bFailed = false;
    QString m_strError;
};

}  // namespace norvane::test
