// A dialog built from a template of res/: the controls are created in tab
// order at the template's places (dialog units through the dialog font),
// and the dialog behaves as a Windows dialog does: DoModal returns the code
// EndDialog was given; Esc and the close box are IDCANCEL; Enter clicks the
// focused push button, else the default push button, else sends IDOK; every
// button click, notification and window message goes through the message map
// first and reaches OnOK / OnCancel / the default processing otherwise.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <QDialog>
#include <QIcon>

#include "framework/AfxTypes.h"
#include "framework/CMenu.h"
#include "framework/DataExchange.h"
#include "framework/DialogFont.h"
#include "framework/MessageMap.h"
#include "res/DialogTemplate.h"

class QButtonGroup;

namespace norvane {

class CDialog : public QDialog {
    Q_OBJECT

public:
    explicit CDialog(int nIdTemplate, QWidget* pParent = nullptr);
    ~CDialog() override;

    // Creates the window, runs OnInitDialog and the modal loop, then sends
    // WM_DESTROY and destroys the controls. Returns the EndDialog code, or -1
    // when the template does not exist.
    virtual int DoModal();
    void EndDialog(int nResult);

    virtual BOOL OnInitDialog();  // exchanges data into the controls
    virtual void OnOK();          // UpdateData(true), then EndDialog(IDOK)
    virtual void OnCancel();      // EndDialog(IDCANCEL)
    virtual void DoDataExchange(CDataExchange* pDX);
    // Help requests (F1) of every dialog reach the main window's WinHelp.
    virtual void WinHelp(DWORD dwData, UINT nCmd = HELP_CONTEXT);

    bool UpdateData(bool bSaveAndValidate = true);

    // The controls. CreateControls is done by DoModal; it may be called
    // before to work on a dialog that is not shown.
    void CreateControls();
    bool HasControls() const { return m_bControlsCreated; }
    QWidget* GetDlgItem(int nId) const;
    template <class T>
    T* GetDlgItemAs(int nId) const { return qobject_cast<T*>(GetDlgItem(nId)); }
    const ControlTemplate* GetControlTemplate(int nId) const;
    const DialogTemplate* GetTemplate() const { return m_pTemplate; }
    int GetTemplateId() const { return m_nIdTemplate; }

    void CheckDlgButton(int nId, UINT nCheck);
    UINT IsDlgButtonChecked(int nId) const;
    void CheckRadioButton(int nIdFirst, int nIdLast, int nIdCheck);
    void EnableWindow(int nId, bool bEnable);
    bool IsWindowEnabled(int nId) const;
    void SetDlgItemText(int nId, std::string_view strUtf8);
    std::string GetDlgItemText(int nId) const;
    void GotoDlgCtrl(QWidget* pControl);
    void GotoDlgCtrl(int nId);

    // A message box owned by this dialog; an empty caption gives the
    // application's name.
    int MessageBox(std::string_view strText, std::string_view strCaption = {}, UINT nType = MB_OK);

    // Items added here appear in the dialog's context menu (the window menu
    // stand-in); nullptr when the template has no system menu.
    CMenu* GetSystemMenu(bool bRevert);
    void SetIcon(const QIcon& icon, bool bBigIcon);

    // Fills a control's client area, inset by one pixel, with a colour; the
    // fill stays until changed. Stands in for drawing into the control.
    void FillControl(int nId, COLORREF clr);

    // Sends a control's command (as a click would) or a window message
    // through the message map, then to the default processing.
    void SendCommand(int nId, UINT nCode = BN_CLICKED);
    void SendNotify(int nId, NMHDR& hdr, LRESULT& result);
    bool HasMessageEntry(UINT nMessage, UINT nCode = 0, int nId = 0) const;

    // Pixels from dialog units, with this dialog's font.
    QRect MapDialogRect(const QRect& rcUnits) const;
    const DialogBaseUnits& GetBaseUnits() const { return m_units; }

protected:
    virtual std::span<const MessageMapEntry> GetMessageMap() const;

    // Default processing a handler of the same message may call.
    void OnClose();
    void OnSysCommand(UINT nId, LPARAM lParam);

    // Qt events turned into the dialog's messages.
    void keyPressEvent(QKeyEvent* pEvent) override;
    void closeEvent(QCloseEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void paintEvent(QPaintEvent* pEvent) override;
    void contextMenuEvent(QContextMenuEvent* pEvent) override;
    void showEvent(QShowEvent* pEvent) override;
    void accept() override;
    void reject() override;

private:
    struct Control {
        int nId;
        const ControlTemplate* pTemplate;
        QWidget* pWidget;
    };

    bool Dispatch(MessageParams& params);
    QWidget* CreateControl(const ControlTemplate& control, std::size_t nIndex);
    void ConnectControl(const ControlTemplate& control, QWidget* pWidget);
    void LinkMnemonics();
    void DestroyControls();
    QWidget* FirstTabStop() const;
    QWidget* NextTabStop(std::size_t nIndex) const;
    void OnEnterKey();
    void OnHelpKey();

    int m_nIdTemplate;
    const DialogTemplate* m_pTemplate;
    DialogBaseUnits m_units;
    std::vector<Control> m_controls;
    std::vector<QButtonGroup*> m_radioGroups;
    bool m_bControlsCreated = false;
    bool m_bEnded = false;
    bool m_bInModal = false;
    int m_nEndResult = IDCANCEL;
    int m_nIdDefault = 0;  // the default push button, 0 for none
    QWidget* m_pInitialFocus = nullptr;
    std::unique_ptr<CMenu> m_pSysMenu;

    friend class CDataExchange;
};

// The application's main window: help requests of every dialog go to it.
void AfxSetMainWnd(CDialog* pMainWnd);
CDialog* AfxGetMainWnd();

// The icon resource as an icon.
QIcon AfxLoadIcon(int nId);
// A string of the string table, UTF-8.
std::string AfxLoadString(int nId);

}  // namespace norvane
