#include "framework/CWnd.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace norvane {
namespace {

QString FromUtf8(std::string_view str) { return QString::fromUtf8(str.data(), static_cast<qsizetype>(str.size())); }

std::function<int(const QString&)>& LengthCounter() {
    static std::function<int(const QString&)> fnCounter;
    return fnCounter;
}

// Keeps an edit within its limits while the user types or pastes: what does
// not fit is dropped from the inserted text, as a Windows edit does.
class EditLimiter : public QObject {
public:
    EditLimiter(QLineEdit* pEdit, int nMaxLength, bool bFitWidth)
        : QObject(pEdit), m_pEdit(pEdit), m_nMaxLength(nMaxLength), m_bFitWidth(bFitWidth), m_strLast(pEdit->text()) {
        // The edit's own text, not the signal's: a change signal of the text
        // before a cut can arrive after the cut.
        connect(pEdit, &QLineEdit::textChanged, this, [this] {
            if (!m_bEditing) m_strLast = m_pEdit->text();
        });
        connect(pEdit, &QLineEdit::textEdited, this, [this](const QString& strText) { OnEdited(strText); });
    }

    void SetLimits(int nMaxLength, bool bFitWidth) {
        m_nMaxLength = nMaxLength;
        m_bFitWidth = bFitWidth;
    }

private:
    bool Fits(const QString& strText) const {
        if (m_nMaxLength > 0 && CountTextLength(strText) > m_nMaxLength) return false;
        if (m_bFitWidth) {
            const QRect rcText = m_pEdit->contentsRect().marginsRemoved(m_pEdit->textMargins());
            // The frame and the cursor take a few pixels of the box.
            if (m_pEdit->fontMetrics().horizontalAdvance(strText) > rcText.width() - 6) return false;
        }
        return true;
    }

    void OnEdited(const QString& strText) {
        if (Fits(strText)) {
            m_strLast = strText;
            return;
        }
        QString strCut = strText;
        qsizetype nPos = m_pEdit->cursorPosition();
        // Drop inserted characters before the cursor until the text fits; a
        // text that was already too long (set by the program) may only shrink.
        while (!Fits(strCut) && strCut.size() > m_strLast.size() && nPos > 0) {
            qsizetype nDrop = 1;
            if (nPos >= 2 && strCut.at(nPos - 1).isLowSurrogate() && strCut.at(nPos - 2).isHighSurrogate()) nDrop = 2;
            strCut.remove(nPos - nDrop, nDrop);
            nPos -= nDrop;
        }
        if (!Fits(strCut) && strCut.size() > m_strLast.size()) strCut = m_strLast;
        m_bEditing = true;
        m_pEdit->setText(strCut);
        m_pEdit->setCursorPosition(static_cast<int>(std::min(nPos, strCut.size())));
        m_bEditing = false;
        m_strLast = strCut;
    }

    QLineEdit* m_pEdit;
    int m_nMaxLength;
    bool m_bFitWidth;
    QString m_strLast;
    bool m_bEditing = false;
};

}  // namespace

// A radio button of an exclusive group can only be unchecked with the group
// made non-exclusive for the moment (Windows lets a program uncheck it).
void SetButtonCheck(QAbstractButton* pButton, bool bCheck) {
    if (pButton == nullptr) return;
    QButtonGroup* pGroup = pButton->group();
    if (!bCheck && pGroup != nullptr && pGroup->exclusive()) {
        pGroup->setExclusive(false);
        pButton->setChecked(false);
        pGroup->setExclusive(true);
        return;
    }
    pButton->setChecked(bCheck);
}

CWnd::~CWnd() = default;

void CWnd::Attach(QWidget* pWidget, int nId) {
    m_pWidget = pWidget;
    m_nId = nId;
}

void CWnd::EnableWindow(bool bEnable) {
    if (m_pWidget) m_pWidget->setEnabled(bEnable);
}

bool CWnd::IsWindowEnabled() const { return m_pWidget && m_pWidget->isEnabled(); }

void CWnd::ShowWindow(bool bShow) {
    if (m_pWidget) m_pWidget->setVisible(bShow);
}

void CWnd::SetFocus() {
    if (m_pWidget) m_pWidget->setFocus(Qt::OtherFocusReason);
}

void CWnd::SetWindowText(std::string_view strUtf8) { SetWidgetText(m_pWidget, FromUtf8(strUtf8)); }

std::string CWnd::GetWindowText() const { return WidgetText(m_pWidget).toStdString(); }

void CWnd::Invalidate() {
    if (m_pWidget) m_pWidget->update();
}

void CWnd::MoveWindow(int x, int y, int nWidth, int nHeight, bool bRepaint) {
    if (!m_pWidget) return;
    m_pWidget->setGeometry(x, y, std::max(0, nWidth), std::max(0, nHeight));
    if (bRepaint) m_pWidget->update();
}

QRect CWnd::GetWindowRect() const {
    if (!m_pWidget) return {};
    if (m_pWidget->isWindow()) return m_pWidget->frameGeometry();
    return QRect(m_pWidget->mapToGlobal(QPoint(0, 0)), m_pWidget->size());
}

QRect CWnd::GetClientRect() const { return m_pWidget ? m_pWidget->rect() : QRect(); }

int CButton::GetCheck() const {
    auto* pButton = qobject_cast<QAbstractButton*>(m_pWidget.data());
    return pButton != nullptr && pButton->isChecked() ? 1 : 0;
}

void CButton::SetCheck(int nCheck) {
    SetButtonCheck(qobject_cast<QAbstractButton*>(m_pWidget.data()), nCheck != 0);
}

void CEdit::SetLimitText(UINT nMax) {
    if (auto* pEdit = qobject_cast<QLineEdit*>(m_pWidget.data())) LimitEditText(pEdit, static_cast<int>(nMax), false);
}

QString WidgetText(const QWidget* pWidget) {
    if (pWidget == nullptr) return {};
    if (auto* pButton = qobject_cast<const QAbstractButton*>(pWidget)) return pButton->text();
    if (auto* pLabel = qobject_cast<const QLabel*>(pWidget)) return pLabel->text();
    if (auto* pEdit = qobject_cast<const QLineEdit*>(pWidget)) return pEdit->text();
    if (auto* pCombo = qobject_cast<const QComboBox*>(pWidget)) return pCombo->currentText();
    if (auto* pGroup = qobject_cast<const QGroupBox*>(pWidget)) return pGroup->title();
    return pWidget->windowTitle();
}

void SetWidgetText(QWidget* pWidget, const QString& strText) {
    if (pWidget == nullptr) return;
    if (auto* pButton = qobject_cast<QAbstractButton*>(pWidget)) pButton->setText(strText);
    else if (auto* pLabel = qobject_cast<QLabel*>(pWidget)) pLabel->setText(strText);
    else if (auto* pEdit = qobject_cast<QLineEdit*>(pWidget)) pEdit->setText(strText);
    else if (auto* pCombo = qobject_cast<QComboBox*>(pWidget)) {
        if (pCombo->isEditable()) pCombo->setEditText(strText);
        else pCombo->setCurrentIndex(pCombo->findText(strText));
    } else if (auto* pGroup = qobject_cast<QGroupBox*>(pWidget)) pGroup->setTitle(strText);
    else pWidget->setWindowTitle(strText);
}

void SetTextLengthCounter(std::function<int(const QString&)> fnCounter) { LengthCounter() = std::move(fnCounter); }

int CountTextLength(const QString& strText) {
    if (LengthCounter()) return LengthCounter()(strText);
    return static_cast<int>(strText.toUtf8().size());
}

void LimitEditText(QLineEdit* pEdit, int nMaxLength, bool bFitWidth) {
    if (pEdit == nullptr) return;
    // The limiter has no meta-object of its own, so findChild cannot tell it
    // from the edit's other children.
    for (QObject* pChild : pEdit->children()) {
        if (auto* pLimiter = dynamic_cast<EditLimiter*>(pChild)) {
            pLimiter->SetLimits(nMaxLength, bFitWidth);
            return;
        }
    }
    new EditLimiter(pEdit, nMaxLength, bFitWidth);
}

}  // namespace norvane
