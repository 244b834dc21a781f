// Handles on the controls of a dialog, bound by id through DDX_Control.
// Texts are UTF-8.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

#include "framework/AfxTypes.h"

class QAbstractButton;
class QLineEdit;

namespace norvane {

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // Binds the handle to a control; a handle is bound to one control at a time.
    virtual void Attach(QWidget* pWidget, int nId);
    QWidget* GetSafeHwnd() const { return m_pWidget; }
    int GetDlgCtrlID() const { return m_nId; }

    void EnableWindow(bool bEnable);
    bool IsWindowEnabled() const;
    void ShowWindow(bool bShow);
    void SetFocus();
    void SetWindowText(std::string_view strUtf8);
    std::string GetWindowText() const;
    virtual void Invalidate();
    // Position in the parent's client coordinates; sizes below zero become zero.
    void MoveWindow(int x, int y, int nWidth, int nHeight, bool bRepaint = true);
    // The outer rectangle in screen coordinates, and the client rectangle.
    QRect GetWindowRect() const;
    QRect GetClientRect() const;

protected:
    QPointer<QWidget> m_pWidget;
    int m_nId = 0;
};

class CButton : public CWnd {
public:
    int GetCheck() const;
    void SetCheck(int nCheck);
};

class CEdit : public CWnd {
public:
    // Typing and pasting stop at nMax characters as the program counts them
    // (see SetTextLengthCounter); 0 lifts the limit.
    void SetLimitText(UINT nMax);
};

class CStatic : public CWnd {};

// Text of any control the templates create (button, label, edit, combo box
// edit field, group box, window caption).
QString WidgetText(const QWidget* pWidget);
void SetWidgetText(QWidget* pWidget, const QString& strText);

// Checks or unchecks a button as BM_SETCHECK does: a radio button of a group
// can be unchecked by the program even when it is the checked one.
void SetButtonCheck(QAbstractButton* pButton, bool bCheck);

// How edit limits count a text: the program counts bytes of its code page.
// The default counts UTF-8 bytes.
void SetTextLengthCounter(std::function<int(const QString&)> fnCounter);
int CountTextLength(const QString& strText);

// Limits what the user types into an edit: at most nMaxLength as counted
// above (0: no limit), and, with bFitWidth, no more than fits the visible
// width. Text set by the program is never cut.
void LimitEditText(QLineEdit* pEdit, int nMaxLength, bool bFitWidth);

}  // namespace norvane
