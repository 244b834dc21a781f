#include "framework/Controls.h"

#include <QSignalBlocker>

#include <algorithm>

namespace norvane {
namespace {

std::function<int(const QString&)>& LengthCounter() {
    static std::function<int(const QString&)> fnCounter;
    return fnCounter;
}

// Keeps an edit within its limits while the user types or pastes: what does
// not fit is dropped from the inserted text, as a Windows edit does.
class EditLimiter : public QObject {
public:
    EditLimiter(QLineEdit* pEdit, int nMaxLength)
        : QObject(pEdit), m_pEdit(pEdit), m_nMaxLength(nMaxLength), m_strLast(pEdit->text()) {
        // The edit's own text, not the signal's: a change signal of the text
        // before a cut can arrive after the cut.
        connect(pEdit, &QLineEdit::textChanged, this, [this] {
            if (!m_bEditing) m_strLast = m_pEdit->text();
        });
        connect(pEdit, &QLineEdit::textEdited, this, [this](const QString& strText) { OnEdited(strText); });
    }

private:
    bool Fits(const QString& strText) const { return m_nMaxLength <= 0 || CountTextLength(strText) <= m_nMaxLength; }

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
    QString m_strLast;
    bool m_bEditing = false;
};

}  // namespace

void SetFrameFill(QWidget* pFrame, const QColor& color) {
    // The background fills the frame; its black line is drawn over it.
    QPalette palette = pFrame->palette();
    palette.setColor(QPalette::Window, color);
    pFrame->setPalette(palette);
    pFrame->setAutoFillBackground(true);
}

int CComboBox::AddString(std::string_view strUtf8) {
    const QString strItem = QString::fromUtf8(strUtf8);
    int nAt = count();
    if (m_bSorted) {
        nAt = 0;
        while (nAt < count() && QString::compare(itemText(nAt), strItem, Qt::CaseInsensitive) <= 0) ++nAt;
    }
    InsertString(nAt, strUtf8);
    return nAt;
}

void CComboBox::InsertString(int nIndex, std::string_view strUtf8) {
    // A QComboBox would select its first entry and show it.
    const QString strEdit = currentText();
    const bool bNoSelection = currentIndex() < 0;
    const QSignalBlocker blocker(this);
    insertItem(nIndex, QString::fromUtf8(strUtf8));
    if (bNoSelection) setCurrentIndex(-1);
    if (isEditable() && currentText() != strEdit) setEditText(strEdit);
}

void CComboBox::DeleteString(int nIndex) {
    const QString strEdit = currentText();
    removeItem(nIndex);
    if (isEditable() && currentText() != strEdit) setEditText(strEdit);
}

void SetTextLengthCounter(std::function<int(const QString&)> fnCounter) { LengthCounter() = std::move(fnCounter); }

int CountTextLength(const QString& strText) {
    if (LengthCounter()) return LengthCounter()(strText);
    return static_cast<int>(strText.toUtf8().size());
}

void LimitEditText(QLineEdit* pEdit, int nMaxLength) {
    if (pEdit != nullptr) new EditLimiter(pEdit, nMaxLength);
}

}  // namespace norvane
