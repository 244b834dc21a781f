// Dialog data exchange: moves values between a dialog's members and its
// controls, in the direction UpdateData asks for. A failed validation shows
// its message, puts the focus on the control and makes every later exchange
// of the same pass do nothing, so UpdateData returns false.
#pragma once

#include <string>

#include <QString>
#include <QWidget>

namespace norvane {

class CDialog;

class CDataExchange {
public:
    CDataExchange(CDialog* pDlgWnd, bool bSaveAndValidate) : m_pDlgWnd(pDlgWnd), m_bSaveAndValidate(bSaveAndValidate) {}

    // The control with that id, remembered for DDV_ and Fail; nullptr (and a
    // failed exchange) when the dialog has none.
    QWidget* PrepareCtrl(int nId);
    // Puts the focus on the last prepared control and fails the exchange.
    void Fail();

    CDialog* m_pDlgWnd;
    bool m_bSaveAndValidate;
    bool m_bFailed = false;
    // The controls are going: control members are set to nullptr, nothing
    // else is exchanged.
    bool m_bRelease = false;
    QWidget* m_pLastControl = nullptr;
};

// Binds a member to the control of that id, of the member's type.
template <class T>
void DDX_Control(CDataExchange* pDX, int nId, T*& pControl) {
    if (pDX->m_bRelease) pControl = nullptr;
    else if (!pDX->m_bFailed) pControl = dynamic_cast<T*>(pDX->PrepareCtrl(nId));
}
// Check box: 0 unchecked, 1 checked.
void DDX_Check(CDataExchange* pDX, int nId, int& value);
void DDX_Check(CDataExchange* pDX, int nId, bool& value);
// Radio group starting at nIdFirst: index of the checked button, -1 for none.
void DDX_Radio(CDataExchange* pDX, int nIdFirst, int& value);
// Edit (or combo box edit field) text, UTF-8.
void DDX_Text(CDataExchange* pDX, int nId, std::string& value);
void DDX_Text(CDataExchange* pDX, int nId, QString& value);
// Limits the last edit to nChars when filling; when saving, fails with a
// message naming the limit if the value is longer.
void DDV_MaxChars(CDataExchange* pDX, const QString& value, int nChars);

}  // namespace norvane
