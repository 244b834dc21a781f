#include "framework/Controls.h"

#include <QButtonGroup>
#include <QEvent>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

#include <algorithm>
#include <optional>

#include "framework/CListCtrl.h"

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

    void SetLimit(int nMaxLength) { m_nMaxLength = nMaxLength; }

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

// The checked button of pWidget's radio group, else pWidget.
QWidget* CheckedRadioOr(QWidget* pWidget) {
    auto* pButton = qobject_cast<QAbstractButton*>(pWidget);
    QButtonGroup* pGroup = pButton != nullptr ? pButton->group() : nullptr;
    QAbstractButton* pChecked = pGroup != nullptr ? pGroup->checkedButton() : nullptr;
    return pChecked != nullptr ? pChecked : pWidget;
}

// Of a radio group only the checked button takes the focus by Tab (the
// template's tab stop while none is checked), so Tab into the group lands on
// the choice in force, as in a Windows dialog. Qt moves the Tab focus to
// whichever button last had the focus; the rule is put back whenever the
// check or the focus moves on.
class RadioGroupTabStop : public QObject {
public:
    RadioGroupTabStop(QButtonGroup* pGroup, QAbstractButton* pTabStop)
        : QObject(pGroup), m_pGroup(pGroup), m_pTabStop(pTabStop) {
        connect(pGroup, &QButtonGroup::buttonToggled, this, [this] { Apply(); });
        for (QAbstractButton* pButton : pGroup->buttons()) pButton->installEventFilter(this);
        Apply();
    }

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override {
        if (pEvent->type() == QEvent::FocusOut) Apply();
        return QObject::eventFilter(pWatched, pEvent);
    }

private:
    void Apply() {
        QAbstractButton* pChecked = m_pGroup->checkedButton();
        QAbstractButton* pTabStop = pChecked != nullptr ? pChecked : m_pTabStop.data();
        for (QAbstractButton* pButton : m_pGroup->buttons()) {
            pButton->setFocusPolicy(pButton == pTabStop ? Qt::StrongFocus : Qt::ClickFocus);
        }
    }

    QButtonGroup* m_pGroup;
    QPointer<QAbstractButton> m_pTabStop;
};

class GroupBoxControl : public QGroupBox {
public:
    using QGroupBox::QGroupBox;
    QPointer<QWidget> m_pNext;

protected:
    // The mnemonic moves the focus to the control that follows the box (in
    // a radio group, to its checked button, so that Space changes nothing).
    bool event(QEvent* pEvent) override {
        if (pEvent->type() != QEvent::Shortcut) return QGroupBox::event(pEvent);
        if (m_pNext) CheckedRadioOr(m_pNext)->setFocus(Qt::ShortcutFocusReason);
        return true;
    }
};

class FrameControl : public QFrame {
public:
    explicit FrameControl(QWidget* pParent) : QFrame(pParent) {
        setFrameStyle(QFrame::Box | QFrame::Plain);
        QPalette palette = this->palette();
        palette.setColor(QPalette::WindowText, Qt::black);
        setPalette(palette);
    }
    std::optional<QColor> m_fill;

protected:
    void paintEvent(QPaintEvent* pEvent) override {
        QFrame::paintEvent(pEvent);
        if (m_fill) QPainter(this).fillRect(rect().adjusted(1, 1, -1, -1), *m_fill);
    }
};

// A one-line label keeps to one line. The substitute font is a little wider
// than the one the templates were laid out for, so a label whose text does
// not fit grows (away from its aligned edge) rather than lose characters.
QRect FitStaticText(QLabel* pLabel, const ControlTemplate& control, const QRect& rc) {
    const QFontMetrics metrics = pLabel->fontMetrics();
    if (rc.height() >= 2 * metrics.lineSpacing()) return rc;
    pLabel->setWordWrap(false);
    const QString strShown = (control.nStyle & ctl::NoPrefix) ? pLabel->text() : StripMnemonic(pLabel->text());
    const int nNeeded = metrics.horizontalAdvance(strShown) + 1;
    if (nNeeded <= rc.width()) return rc;
    QRect rcFit = rc;
    if (control.nStyle & ctl::AlignRight) rcFit.setLeft(std::max(0, rc.right() + 1 - nNeeded));
    else rcFit.setWidth(nNeeded);
    return rcFit;
}

QWidget* CreateButton(const ControlTemplate& control, const QString& strText, QWidget* pParent) {
    if (control.kind == ControlKind::AutoCheckBox) return new QCheckBox(strText, pParent);
    // A radio button stays auto-exclusive, which screen readers take for a
    // radio button's mark; the button group of its template decides.
    if (control.kind == ControlKind::AutoRadioButton) return new QRadioButton(strText, pParent);
    auto* pButton = new QPushButton(strText, pParent);
    // Enter is the dialog's, as on Windows, not Qt's auto-default buttons'.
    pButton->setAutoDefault(false);
    pButton->setDefault(control.kind == ControlKind::DefPushButton);
    return pButton;
}

QLabel* CreateStatic(const ControlTemplate& control, const QString& strText, const QRect& rc, QWidget* pParent) {
    auto* pLabel = new QLabel(pParent);
    pLabel->setTextFormat(Qt::PlainText);
    // Static text wraps and starts at the top of its rectangle.
    pLabel->setWordWrap(true);
    pLabel->setAlignment(((control.nStyle & ctl::AlignRight) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop);
    pLabel->setText(strText);
    pLabel->setGeometry(FitStaticText(pLabel, control, rc));
    return pLabel;
}

// The template's height includes the drop-down list: the box gets the height
// of its edit field, the list the rest.
CComboBox* CreateComboBox(const ControlTemplate& control, const QRect& rc, QWidget* pParent) {
    auto* pCombo = new CComboBox(pParent, (control.nStyle & ctl::Sort) != 0);
    pCombo->setEditable((control.nStyle & ctl::DropDown) != 0);
    pCombo->setInsertPolicy(QComboBox::NoInsert);
    pCombo->setDuplicatesEnabled(true);
    if (pCombo->isEditable()) {
        // Enter in the edit field must not pick a matching entry: only the
        // list picks entries.
        pCombo->setCompleter(nullptr);
    }
    const int nHeight = std::min(pCombo->sizeHint().height(), rc.height());
    pCombo->setGeometry(QRect(rc.topLeft(), QSize(rc.width(), nHeight)));
    const int nItemHeight = std::max(1, pCombo->fontMetrics().height() + 2);
    pCombo->setMaxVisibleItems(std::max(1, (rc.height() - nHeight) / nItemHeight));
    return pCombo;
}

QWidget* CreateOther(const ControlTemplate& control, const QString& strText, QWidget* pParent) {
    switch (control.kind) {
        case ControlKind::GroupBox: {
            auto* pGroup = new GroupBoxControl(strText, pParent);
            pGroup->setAttribute(Qt::WA_TransparentForMouseEvents);
            return pGroup;
        }
        case ControlKind::Frame: return new FrameControl(pParent);
        case ControlKind::Icon: {
            auto* pLabel = new QLabel(pParent);
            if (control.pfnIcon != nullptr) pLabel->setPixmap(QPixmap::fromImage(control.pfnIcon()));
            return pLabel;
        }
        case ControlKind::Edit: {
            auto* pEdit = new QLineEdit(pParent);
            pEdit->setFrame((control.nStyle & ctl::Border) != 0);
            return pEdit;
        }
        default: {
            auto* pList = new CListCtrl(pParent);
            pList->setFrameShape((control.nStyle & ctl::Border) ? QFrame::StyledPanel : QFrame::NoFrame);
            return pList;
        }
    }
}

}  // namespace

QString StripMnemonic(const QString& strText) {
    QString strOut;
    for (qsizetype i = 0; i < strText.size(); ++i) {
        if (strText.at(i) == QLatin1Char('&') && i + 1 < strText.size()) ++i;
        strOut.append(strText.at(i));
    }
    return strOut;
}

QWidget* CreateTemplateControl(const ControlTemplate& control, const QRect& rc, QWidget* pParent) {
    const QString strText = QString::fromUtf8(control.pszText);
    QWidget* pWidget = nullptr;
    switch (control.kind) {
        case ControlKind::PushButton:
        case ControlKind::DefPushButton:
        case ControlKind::AutoCheckBox:
        case ControlKind::AutoRadioButton: pWidget = CreateButton(control, strText, pParent); break;
        case ControlKind::Static: return CreateStatic(control, strText, rc, pParent);
        case ControlKind::ComboBox: return CreateComboBox(control, rc, pParent);
        default: pWidget = CreateOther(control, strText, pParent); break;
    }
    // An icon takes its image's size.
    pWidget->setGeometry(control.kind == ControlKind::Icon ? QRect(rc.topLeft(), QSize(32, 32)) : rc);
    return pWidget;
}

void SetRadioGroupTabStop(QButtonGroup* pGroup, QAbstractButton* pTabStop) {
    if (pGroup != nullptr && pTabStop != nullptr) new RadioGroupTabStop(pGroup, pTabStop);
}

void SetGroupBoxNext(QWidget* pGroupBox, QWidget* pNext) {
    if (auto* pGroup = dynamic_cast<GroupBoxControl*>(pGroupBox)) pGroup->m_pNext = pNext;
}

void SetFrameFill(QWidget* pFrame, const QColor& color) {
    auto* pControl = dynamic_cast<FrameControl*>(pFrame);
    if (pControl == nullptr || pControl->m_fill == color) return;
    pControl->m_fill = color;
    pControl->update();
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
    if (pEdit == nullptr) return;
    // The limiter has no meta-object of its own, so findChild cannot tell it
    // from the edit's other children.
    for (QObject* pChild : pEdit->children()) {
        if (auto* pLimiter = dynamic_cast<EditLimiter*>(pChild)) return pLimiter->SetLimit(nMaxLength);
    }
    new EditLimiter(pEdit, nMaxLength);
}

}  // namespace norvane
