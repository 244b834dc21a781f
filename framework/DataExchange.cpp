#include "framework/DataExchange.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QLineEdit>

#include "framework/CDialog.h"
#include "framework/Controls.h"

namespace norvane {

QWidget* CDataExchange::PrepareCtrl(int nId) {
    m_pLastControl = m_pDlgWnd->GetDlgItem(nId);
    if (m_pLastControl == nullptr) {
        qWarning("dialog %d has no control %d to exchange", m_pDlgWnd->GetTemplate().nId, nId);
        m_bFailed = true;
    }
    return m_pLastControl;
}

void CDataExchange::Fail() {
    m_pDlgWnd->GotoDlgCtrl(m_pLastControl);
    m_bFailed = true;
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
    if (pDX->m_bFailed) return;
    auto* pFirst = qobject_cast<QAbstractButton*>(pDX->PrepareCtrl(nIdFirst));
    if (pFirst == nullptr || pFirst->group() == nullptr) return;
    // The group's buttons in template order, up to the next group.
    const QList<QAbstractButton*> buttons = pFirst->group()->buttons();
    if (pDX->m_bSaveAndValidate) {
        value = static_cast<int>(buttons.indexOf(pFirst->group()->checkedButton()));
        return;
    }
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        if (i != value) SetButtonCheck(buttons[i], false);
    }
    if (value >= 0 && value < buttons.size()) SetButtonCheck(buttons[value], true);
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
    if (!pDX->m_bSaveAndValidate) return LimitEditText(qobject_cast<QLineEdit*>(pDX->m_pLastControl), nChars);
    if (CountTextLength(value) <= nChars) return;
    const QString strMessage = QStringLiteral("%1 文字以内で入力してください。").arg(nChars);
    pDX->m_pDlgWnd->MessageBox(strMessage.toStdString(), {}, MB_OK | MB_ICONEXCLAMATION);
    pDX->Fail();
}

}  // namespace norvane
