#include "framework/TemplateDialog.h"

#include <QButtonGroup>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

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

}  // namespace

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
    for (const auto& [pGroup, pTabStop] : radioGroups) SetRadioGroupTabStop(pGroup, pTabStop);
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
            SetGroupBoxNext(pWidget, NextTabStop(i, false));
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
