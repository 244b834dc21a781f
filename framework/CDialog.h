// A dialog built from the template its class hands in: the controls are
// created in tab order at the template's places (dialog units through the
// dialog font), and the dialog behaves as a Windows dialog does: DoModal
// returns the code EndDialog was given; Esc and the close box are OnCancel;
// Enter clicks the focused push button, else the default push button, else
// calls OnOK; the OK and Cancel buttons call OnOK and OnCancel. The message
// map connects other signals to handlers.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <QDialog>
#include <QMenu>

#include "framework/AfxTypes.h"
#include "framework/DataExchange.h"
#include "framework/DialogFont.h"
#include "framework/DialogTemplate.h"
#include "framework/MessageMap.h"

namespace norvane {

class CDialog : public QDialog {
    Q_OBJECT

public:
    explicit CDialog(const DialogTemplate& dlgTemplate, QWidget* pParent = nullptr);
    ~CDialog() override;

    // Creates the controls, runs OnInitDialog and the modal loop, then emits
    // Destroying and destroys the controls. Returns the EndDialog code.
    virtual int DoModal();
    void EndDialog(int nResult);

    virtual BOOL OnInitDialog();  // exchanges data into the controls
    virtual void OnOK();          // UpdateData(true), then EndDialog(IDOK)
    virtual void OnCancel();      // EndDialog(IDCANCEL)
    virtual void DoDataExchange(CDataExchange* pDX);
    // Help requests (F1) of every dialog reach the main window's WinHelp.
    virtual void WinHelp(DWORD dwData, UINT nCmd = HELP_CONTEXT);

    bool UpdateData(bool bSaveAndValidate = true);

    // The controls. DoModal creates them; CreateControls may be called before
    // to work on a dialog that is not shown.
    void CreateControls();
    bool HasControls() const { return !m_controls.empty(); }
    QWidget* GetDlgItem(int nId) const;
    template <class T>
    T* GetDlgItemAs(int nId) const {
        return qobject_cast<T*>(GetDlgItem(nId));
    }
    const DialogTemplate& GetTemplate() const { return m_template; }

    void GotoDlgCtrl(QWidget* pControl);

    // A message box owned by this dialog; an empty caption gives the
    // application's name.
    int MessageBox(std::string_view strText, std::string_view strCaption = {}, UINT nType = MB_OK);

    // Actions added here appear in the dialog's context menu, which stands in
    // for the window menu; choosing one emits SysCommand with the action's
    // data as the command id. nullptr when the template has no system menu.
    QMenu* GetSystemMenu();
    // Fills a black-frame static, inset by one pixel, until changed.
    void FillControl(int nId, COLORREF clr);

    // Pixels from dialog units, with this dialog's font.
    QRect MapDialogRect(const QRect& rcUnits) const;

signals:
    // The window's messages, for the message map.
    void SizeChanged();
    void Painted();
    void Destroying();
    void SysCommand(UINT nID, LPARAM lParam);

protected:
    virtual std::span<const MessageMapEntry> GetMessageMap() const;

    void keyPressEvent(QKeyEvent* pEvent) override;
    void closeEvent(QCloseEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void paintEvent(QPaintEvent* pEvent) override;
    void contextMenuEvent(QContextMenuEvent* pEvent) override;
    void showEvent(QShowEvent* pEvent) override;
    void accept() override { OnOK(); }
    void reject() override { OnCancel(); }

private:
    struct Control {
        int nId;
        const ControlTemplate* pTemplate;
        QWidget* pWidget;
    };

    QWidget* CreateControl(const ControlTemplate& control);
    void LinkControls();
    void ConnectMessageMap();
    void DestroyControls();
    QWidget* NextTabStop(std::size_t nIndex, bool bEnabledOnly) const;
    void OnEnterKey();

    const DialogTemplate& m_template;
    DialogBaseUnits m_units;
    std::vector<Control> m_controls;
    bool m_bEnded = false;
    int m_nEndResult = IDCANCEL;
    QWidget* m_pInitialFocus = nullptr;
    QMenu* m_pSysMenu = nullptr;
};

// The application's main window: help requests of every dialog go to it.
void AfxSetMainWnd(CDialog* pMainWnd);
CDialog* AfxGetMainWnd();

}  // namespace norvane
