#include "framework/DataExchange.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QtGlobal>

#include <vector>

#include "framework/CDialog.h"
#include "framework/CListCtrl.h"
#include "framework/CWnd.h"

namespace norvane {
namespace {

// The radio buttons of the group that starts at nIdFirst, in template order:
// up to the next control that starts a group.
std::vector<QAbstractButton*> RadioGroup(CDialog* pDlg, int nIdFirst) {
    std::vector<QAbstractButton*> buttons;
    const DialogTemplate* pTemplate = pDlg->GetTemplate();
    if (pTemplate == nullptr) return buttons;
    bool bInGroup = false;
    for (const ControlTemplate& control : pTemplate->controls) {
        if (!bInGroup) {
            bInGroup = control.nId == nIdFirst;
        } else if (control.nStyle & ctl::Group) {
            break;
        }
        if (bInGroup && control.kind == ControlKind::AutoRadioButton) {
            buttons.push_back(qobject_cast<QAbstractButton*>(pDlg->GetDlgItem(control.nId)));
        }
    }
    return buttons;
}

}  // namespace

QWidget* CDataExchange::PrepareCtrl(int nId) {
    m_nIdLastControl = nId;
    QWidget* pWidget = m_pDlgWnd->GetDlgItem(nId);
    if (pWidget == nullptr) {
        qWarning("dialog %d has no control %d to exchange", m_pDlgWnd->GetTemplateId(), nId);
        m_bFailed = true;
    }
    return pWidget;
}

void CDataExchange::Fail() {
    m_pDlgWnd->GotoDlgCtrl(m_pDlgWnd->GetDlgItem(m_nIdLastControl));
    m_bFailed = true;
}

void DDX_Control(CDataExchange* pDX, int nId, CWnd& rControl) {
    if (pDX->m_bFailed) return;
    QWidget* pWidget = pDX->PrepareCtrl(nId);
    if (pWidget == nullptr || rControl.GetSafeHwnd() == pWidget) return;
    rControl.Attach(pWidget, nId);
    if (auto* pList = dynamic_cast<CListCtrl*>(&rControl)) {
        CDialog* pDlg = pDX->m_pDlgWnd;
        pList->SetNotifyHandler([pDlg, nId](NMHDR* pHdr, LRESULT* pResult) { pDlg->SendNotify(nId, *pHdr, *pResult); });
    }
}

void DDX_Check(CDataExchange* pDX, int nId, int& value) {
    if (pDX->m_bFailed) return;
    auto* pButton = qobject_cast<QAbstractButton*>(pDX->PrepareCtrl(nId));
    if (pButton == nullptr) return;
    if (pDX->m_bSaveAndValidate) value = pButton->isChecked() ? 1 : 0;
    else SetButtonCheck(pButton, value != 0);
}

void DDX_Check(CDataExchange* pDX, int nId, bool& value) {
    int nValue = value ? 1 : 0;
    DDX_Check(pDX, nId, nValue);
    value = nValue != 0;
}

void DDX_Radio(CDataExchange* pDX, int nIdFirst, int& value) {
    if (pDX->m_bFailed || pDX->PrepareCtrl(nIdFirst) == nullptr) return;
    const std::vector<QAbstractButton*> buttons = RadioGroup(pDX->m_pDlgWnd, nIdFirst);
    if (pDX->m_bSaveAndValidate) {
        value = -1;
        for (std::size_t i = 0; i < buttons.size(); ++i) {
            if (buttons[i] != nullptr && buttons[i]->isChecked()) {
                value = static_cast<int>(i);
                break;
            }
        }
        return;
    }
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        if (static_cast<int>(i) != value) SetButtonCheck(buttons[i], false);
    }
    if (value >= 0 && static_cast<std::size_t>(value) < buttons.size()) {
        SetButtonCheck(buttons[static_cast<std::size_t>(value)], true);
    }
}

void DDX_Text(CDataExchange* pDX, int nId, QString& value) {
    if (pDX->m_bFailed) return;
    QWidget* pWidget = pDX->PrepareCtrl(nId);
    if (pWidget == nullptr) return;
    if (pDX->m_bSaveAndValidate) value = WidgetText(pWidget);
    else SetWidgetText(pWidget, value);
}

void DDX_Text(CDataExchange* pDX, int nId, std::string& value) {
    QString strValue = QString::fromStdString(value);
    DDX_Text(pDX, nId, strValue);
    if (pDX->m_bSaveAndValidate && !pDX->m_bFailed) value = strValue.toStdString();
}

void DDV_MaxChars(CDataExchange* pDX, const QString& value, int nChars) {
    if (pDX->m_bFailed) return;
    if (!pDX->m_bSaveAndValidate) {
        auto* pEdit = qobject_cast<QLineEdit*>(pDX->m_pDlgWnd->GetDlgItem(pDX->m_nIdLastControl));
        const ControlTemplate* pTemplate = pDX->m_pDlgWnd->GetControlTemplate(pDX->m_nIdLastControl);
        const bool bFitWidth = pTemplate != nullptr && !(pTemplate->nStyle & ctl::AutoHScroll);
        LimitEditText(pEdit, nChars, bFitWidth);
        return;
    }
    if (CountTextLength(value) <= nChars) return;
    const QString strMessage = QStringLiteral("%1 文字以内で入力してください。").arg(nChars);
    pDX->m_pDlgWnd->MessageBox(strMessage.toStdString(), {}, MB_OK | MB_ICONEXCLAMATION);
    pDX->Fail();
}

void DDV_MaxChars(CDataExchange* pDX, const std::string& value, int nChars) {
    DDV_MaxChars(pDX, QString::fromStdString(value), nChars);
}

}  // namespace norvane
