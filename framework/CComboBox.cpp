#include "framework/CComboBox.h"

#include <QComboBox>
#include <QSignalBlocker>

namespace norvane {
namespace {

QString FromUtf8(std::string_view str) { return QString::fromUtf8(str.data(), static_cast<qsizetype>(str.size())); }

// Adding an entry selects nothing and leaves the edit text alone; a
// QComboBox would select its first entry and show it.
void InsertKeepingSelection(QComboBox* pCombo, int nAt, const QString& strItem) {
    const QString strEdit = pCombo->currentText();
    const bool bNoSelection = pCombo->currentIndex() < 0;
    const QSignalBlocker blocker(pCombo);
    pCombo->insertItem(nAt, strItem);
    if (bNoSelection) pCombo->setCurrentIndex(-1);
    if (pCombo->isEditable() && pCombo->currentText() != strEdit) pCombo->setEditText(strEdit);
}

}  // namespace

int CComboBox::AddString(std::string_view strUtf8) {
    auto* pCombo = qobject_cast<QComboBox*>(m_pWidget.data());
    if (pCombo == nullptr) return CB_ERR;
    const QString strItem = FromUtf8(strUtf8);
    int nAt = pCombo->count();
    if (m_pWidget->property("norvane.sorted").toBool()) {
        // After the entries that sort before it or equal to it.
        nAt = 0;
        while (nAt < pCombo->count() && QString::compare(pCombo->itemText(nAt), strItem, Qt::CaseInsensitive) <= 0) ++nAt;
    }
    InsertKeepingSelection(pCombo, nAt, strItem);
    return nAt;
}

int CComboBox::InsertString(int nIndex, std::string_view strUtf8) {
    auto* pCombo = qobject_cast<QComboBox*>(m_pWidget.data());
    if (pCombo == nullptr || nIndex > pCombo->count() || nIndex < -1) return CB_ERR;
    const int nAt = nIndex < 0 ? pCombo->count() : nIndex;
    InsertKeepingSelection(pCombo, nAt, FromUtf8(strUtf8));
    return nAt;
}

int CComboBox::DeleteString(int nIndex) {
    auto* pCombo = qobject_cast<QComboBox*>(m_pWidget.data());
    if (pCombo == nullptr || nIndex < 0 || nIndex >= pCombo->count()) return CB_ERR;
    const QString strEdit = pCombo->currentText();
    pCombo->removeItem(nIndex);
    if (pCombo->isEditable() && pCombo->currentText() != strEdit) pCombo->setEditText(strEdit);
    return pCombo->count();
}

int CComboBox::GetCount() const {
    auto* pCombo = qobject_cast<QComboBox*>(m_pWidget.data());
    return pCombo != nullptr ? pCombo->count() : CB_ERR;
}

std::string CComboBox::GetLBText(int nIndex) const {
    auto* pCombo = qobject_cast<QComboBox*>(m_pWidget.data());
    if (pCombo == nullptr || nIndex < 0 || nIndex >= pCombo->count()) return {};
    return pCombo->itemText(nIndex).toStdString();
}

int CComboBox::GetCurSel() const {
    auto* pCombo = qobject_cast<QComboBox*>(m_pWidget.data());
    return pCombo != nullptr ? pCombo->currentIndex() : CB_ERR;
}

int CComboBox::SetCurSel(int nIndex) {
    auto* pCombo = qobject_cast<QComboBox*>(m_pWidget.data());
    if (pCombo == nullptr || nIndex >= pCombo->count()) return CB_ERR;
    pCombo->setCurrentIndex(nIndex);
    return nIndex;
}

void CComboBox::ResetContent() {
    if (auto* pCombo = qobject_cast<QComboBox*>(m_pWidget.data())) {
        pCombo->clear();
        if (pCombo->isEditable()) pCombo->clearEditText();
    }
}

}  // namespace norvane
