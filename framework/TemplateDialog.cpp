#include "framework/TemplateDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>

#include <algorithm>

#include "framework/CListCtrl.h"
#include "framework/Controls.h"

namespace norvane {
namespace {

std::function<void()>& HelpHandler() {
    static std::function<void()> fnHelp;
    return fnHelp;
}

Qt::WindowFlags WindowFlagsOf(std::uint32_t nStyle) {
    Qt::WindowFlags flags = (nStyle & dlg::AppWindow) ? Qt::Window : Qt::Dialog;
    flags |= Qt::CustomizeWindowHint;
    if (nStyle & dlg::Caption) flags |= Qt::WindowTitleHint;
    if (nStyle & dlg::SysMenu) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (nStyle & dlg::MinimizeBox) flags |= Qt::WindowMinimizeButtonHint;
    if (nStyle & dlg::MaximizeBox) flags |= Qt::WindowMaximizeButtonHint;
    return flags;
}

bool TakesNoFocus(ControlKind kind) {
    return kind == ControlKind::GroupBox || kind == ControlKind::Static || kind == ControlKind::Frame ||
           kind == ControlKind::Icon;
}

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

// A label's text with its mnemonic markers resolved ("&&" is "&").
QString StripMnemonic(const QString& strText) {
    QString strOut;
    for (qsizetype i = 0; i < strText.size(); ++i) {
        if (strText.at(i) == QLatin1Char('&') && i + 1 < strText.size()) ++i;
        strOut.append(strText.at(i));
    }
    return strOut;
}

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
    // Enter in the edit field must not pick a matching entry: only the list
    // picks entries.
    pCombo->setCompleter(nullptr);
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
        case ControlKind::Frame: {
            auto* pFrame = new QFrame(pParent);
            pFrame->setFrameStyle(QFrame::Box | QFrame::Plain);
            QPalette palette = pFrame->palette();
            palette.setColor(QPalette::WindowText, Qt::black);
            pFrame->setPalette(palette);
            return pFrame;
        }
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

// The widget of a template control at rc (pixels), without tab order,
// mnemonics or signals: the dialog adds those.
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

}  // namespace

QString SubstituteFontFamily(const QString& strFace) {
    static const QString strChosen = [] {
        // Proportional Gothic faces first: the templates were laid out for one.
        const QStringList preferred{"IPAPGothic",         "IPA Pゴシック", "VL PGothic",  "Noto Sans CJK JP",
                                    "Source Han Sans JP", "IPAGothic",     "IPAゴシック", "VL Gothic"};
        const QStringList families = QFontDatabase::families();
        for (const QString& name : preferred) {
            if (families.contains(name, Qt::CaseInsensitive)) return name;
        }
        for (const QString& name : QFontDatabase::families(QFontDatabase::Japanese)) {
            if (!QFontDatabase::isBitmapScalable(name) || QFontDatabase::isSmoothlyScalable(name)) return name;
        }
        return QString();
    }();
    return strChosen.isEmpty() ? strFace : strChosen;
}

QFont DialogFont(const QString& strFace, int nPointSize) {
    QFont font(SubstituteFontFamily(strFace));
    font.setPointSize(nPointSize);
    return font;
}

DialogBaseUnits GetDialogBaseUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int nWidth =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(nWidth / 26 + 1) / 2, metrics.height()};
}

int MulDiv(int a, int b, int c) { return static_cast<int>((static_cast<long long>(a) * b + c / 2) / c); }

QRect MapDialogRect(const QRect& rcUnits, const DialogBaseUnits& units) {
    const int nLeft = MulDiv(rcUnits.left(), units.cx, 4);
    const int nTop = MulDiv(rcUnits.top(), units.cy, 8);
    const int nRight = MulDiv(rcUnits.left() + rcUnits.width(), units.cx, 4);
    const int nBottom = MulDiv(rcUnits.top() + rcUnits.height(), units.cy, 8);
    return QRect(nLeft, nTop, nRight - nLeft, nBottom - nTop);
}

TemplateDialog::TemplateDialog(const DialogTemplate& dlgTemplate, QWidget* pParent)
    : QDialog(pParent), m_template(dlgTemplate) {
    setFont(DialogFont(QString::fromUtf8(m_template.pszFontFace), m_template.nPointSize));
    m_units = GetDialogBaseUnits(font());
    setWindowTitle(QString::fromUtf8(m_template.pszCaption));
    setWindowFlags(WindowFlagsOf(m_template.nStyle));
    const QRect rcClient = MapDialogRect(QRect(0, 0, m_template.cx, m_template.cy));
    if (m_template.nStyle & dlg::ThickFrame) resize(rcClient.size());
    else setFixedSize(rcClient.size());
    CreateControls();
    LinkControls();
}

void TemplateDialog::SetHelpHandler(std::function<void()> fnHelp) { HelpHandler() = std::move(fnHelp); }

QWidget* TemplateDialog::ControlWidget(int nId) const {
    for (std::size_t i = 0; i < m_controls.size(); ++i) {
        if (m_template.controls[i].nId == nId) return m_controls[i];
    }
    return nullptr;
}

void TemplateDialog::CreateControls() {
    // Each radio group with the first of its buttons that has a tab stop.
    std::vector<std::pair<QButtonGroup*, QAbstractButton*>> radioGroups;
    for (const ControlTemplate& control : m_template.controls) {
        if (control.nStyle & ctl::Group) radioGroups.emplace_back(nullptr, nullptr);
        const QRect rc = MapDialogRect(QRect(control.x, control.y, control.cx, control.cy));
        QWidget* pWidget = CreateTemplateControl(control, rc, this);
        if (TakesNoFocus(control.kind)) pWidget->setFocusPolicy(Qt::NoFocus);
        else pWidget->setFocusPolicy((control.nStyle & ctl::TabStop) ? Qt::StrongFocus : Qt::ClickFocus);
        pWidget->setObjectName(QStringLiteral("ctrl%1").arg(control.nId));
        if (auto* pButton = qobject_cast<QAbstractButton*>(pWidget); pButton != nullptr && control.nId == IDOK) {
            connect(pButton, &QAbstractButton::clicked, this, &QDialog::accept);
        } else if (pButton != nullptr && control.nId == IDCANCEL) {
            connect(pButton, &QAbstractButton::clicked, this, &QDialog::reject);
        } else if (control.kind == ControlKind::AutoRadioButton) {
            if (radioGroups.empty()) radioGroups.emplace_back(nullptr, nullptr);
            auto& [pGroup, pTabStop] = radioGroups.back();
            if (pGroup == nullptr) pGroup = new QButtonGroup(this);
            pGroup->addButton(pButton);
            if (pTabStop == nullptr && (control.nStyle & ctl::TabStop)) pTabStop = pButton;
        }
        m_controls.push_back(pWidget);
    }
    for (const auto& [pGroup, pTabStop] : radioGroups) {
        if (pGroup != nullptr && pTabStop != nullptr) new RadioGroupTabStop(pGroup, pTabStop);
    }
}

// Tab order is template order; a label's or group box's mnemonic moves the
// focus to the control after it; group boxes lie under what they frame.
void TemplateDialog::LinkControls() {
    QWidget* pPrevious = nullptr;
    for (std::size_t i = 0; i < m_controls.size(); ++i) {
        QWidget* pWidget = m_controls[i];
        const ControlTemplate& control = m_template.controls[i];
        if (pWidget->focusPolicy() != Qt::NoFocus) {
            if (pPrevious != nullptr) QWidget::setTabOrder(pPrevious, pWidget);
            pPrevious = pWidget;
        }
        if (control.kind == ControlKind::Static && !(control.nStyle & ctl::NoPrefix)) {
            auto* pLabel = static_cast<QLabel*>(pWidget);
            if (QWidget* pNext = NextTabStop(i, false)) pLabel->setBuddy(pNext);
            else pLabel->setText(StripMnemonic(pLabel->text()));
        } else if (control.kind == ControlKind::GroupBox) {
            static_cast<GroupBoxControl*>(pWidget)->m_pNext = NextTabStop(i, false);
            pWidget->lower();
        }
        pWidget->show();
    }
}

QWidget* TemplateDialog::NextTabStop(std::size_t nIndex, bool bEnabledOnly) const {
    for (std::size_t i = nIndex + 1; i < m_controls.size(); ++i) {
        if (!(m_template.controls[i].nStyle & ctl::TabStop)) continue;
        if (!bEnabledOnly || (m_controls[i]->isEnabled() && !m_controls[i]->isHidden())) return m_controls[i];
    }
    return nullptr;
}

void TemplateDialog::OnEnterKey() {
    if (auto* pFocus = qobject_cast<QPushButton*>(focusWidget()); pFocus != nullptr && pFocus->parentWidget() == this) {
        if (pFocus->isEnabled()) pFocus->click();
        return;
    }
    for (std::size_t i = 0; i < m_controls.size(); ++i) {
        if (m_template.controls[i].kind != ControlKind::DefPushButton) continue;
        if (m_controls[i]->isEnabled()) static_cast<QPushButton*>(m_controls[i])->click();
        return;
    }
    accept();
}

void TemplateDialog::keyPressEvent(QKeyEvent* pEvent) {
    const Qt::KeyboardModifiers mods = pEvent->modifiers() & ~Qt::KeypadModifier;
    const int nKey = pEvent->key();
    if (nKey == Qt::Key_Escape && mods == Qt::NoModifier) {
        reject();
    } else if ((nKey == Qt::Key_Return || nKey == Qt::Key_Enter) && mods == Qt::NoModifier) {
        OnEnterKey();
    } else if (nKey == Qt::Key_F1) {
        if (HelpHandler()) HelpHandler()();
    } else {
        return QDialog::keyPressEvent(pEvent);
    }
    pEvent->accept();
}

void TemplateDialog::showEvent(QShowEvent* pEvent) {
    QDialog::showEvent(pEvent);
    if (std::exchange(m_bShown, true)) return;
    QWidget* pFirst = NextTabStop(SIZE_MAX, true);
    if (pFirst == nullptr) return;
    pFirst->setFocus(Qt::TabFocusReason);
    if (auto* pEdit = qobject_cast<QLineEdit*>(pFirst)) pEdit->selectAll();
}

}  // namespace norvane
