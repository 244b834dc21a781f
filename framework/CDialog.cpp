#include "framework/CDialog.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include "framework/Controls.h"
#include "framework/MessageBox.h"

namespace norvane {
namespace {

QPointer<CDialog>& MainWnd() {
    static QPointer<CDialog> pMain;
    return pMain;
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

CDialog::CDialog(const DialogTemplate& dlgTemplate, QWidget* pParent) : QDialog(pParent), m_template(dlgTemplate) {
    setFont(DialogFont(QString::fromUtf8(m_template.pszFontFace), m_template.nPointSize));
    m_units = GetDialogBaseUnits(font());
    setWindowTitle(QString::fromUtf8(m_template.pszCaption));
    setWindowFlags(WindowFlagsOf(m_template.nStyle));
    const QRect rcClient = MapDialogRect(QRect(0, 0, m_template.cx, m_template.cy));
    if (m_template.nStyle & dlg::ThickFrame) resize(rcClient.size());
    else setFixedSize(rcClient.size());
    if (m_template.nStyle & dlg::SysMenu) m_pSysMenu = new QMenu(this);
}

CDialog::~CDialog() = default;

std::span<const MessageMapEntry> CDialog::GetMessageMap() const { return {}; }

QRect CDialog::MapDialogRect(const QRect& rcUnits) const { return norvane::MapDialogRect(rcUnits, m_units); }

// ---- Controls ----

void CDialog::CreateControls() {
    if (HasControls()) return;
    // Each radio group with the first of its buttons that has a tab stop.
    std::vector<std::pair<QButtonGroup*, QAbstractButton*>> radioGroups;
    for (const ControlTemplate& control : m_template.controls) {
        if (control.nStyle & ctl::Group) radioGroups.emplace_back(nullptr, nullptr);
        QWidget* pWidget = CreateControl(control);
        if (control.kind == ControlKind::AutoRadioButton) {
            auto* pRadio = static_cast<QAbstractButton*>(pWidget);
            if (radioGroups.empty()) radioGroups.emplace_back(nullptr, nullptr);
            auto& [pGroup, pTabStop] = radioGroups.back();
            if (pGroup == nullptr) pGroup = new QButtonGroup(this);
            pGroup->addButton(pRadio);
            if (pTabStop == nullptr && (control.nStyle & ctl::TabStop)) pTabStop = pRadio;
        }
        m_controls.push_back(Control{control.nId, &control, pWidget});
    }
    for (const auto& [pGroup, pTabStop] : radioGroups) SetRadioGroupTabStop(pGroup, pTabStop);
    LinkControls();
    ConnectMessageMap();
}

QWidget* CDialog::CreateControl(const ControlTemplate& control) {
    const QRect rc = MapDialogRect(QRect(control.x, control.y, control.cx, control.cy));
    QWidget* pWidget = CreateTemplateControl(control, rc, this);
    if (TakesNoFocus(control.kind)) pWidget->setFocusPolicy(Qt::NoFocus);
    else pWidget->setFocusPolicy((control.nStyle & ctl::TabStop) ? Qt::StrongFocus : Qt::ClickFocus);
    if (control.nStyle & ctl::Disabled) pWidget->setEnabled(false);
    pWidget->setObjectName(QStringLiteral("ctrl%1").arg(control.nId));
    if (auto* pButton = qobject_cast<QAbstractButton*>(pWidget); pButton != nullptr && control.nId == IDOK) {
        connect(pButton, &QAbstractButton::clicked, this, [this] { OnOK(); });
    } else if (pButton != nullptr && control.nId == IDCANCEL) {
        connect(pButton, &QAbstractButton::clicked, this, [this] { OnCancel(); });
    }
    return pWidget;
}

// Tab order is template order; a label's or group box's mnemonic moves the
// focus to the control after it; group boxes lie under what they frame.
void CDialog::LinkControls() {
    QWidget* pPrevious = nullptr;
    for (std::size_t i = 0; i < m_controls.size(); ++i) {
        const Control& control = m_controls[i];
        if (control.pWidget->focusPolicy() != Qt::NoFocus) {
            if (pPrevious != nullptr) QWidget::setTabOrder(pPrevious, control.pWidget);
            pPrevious = control.pWidget;
        }
        if (control.pTemplate->kind == ControlKind::Static && !(control.pTemplate->nStyle & ctl::NoPrefix)) {
            auto* pLabel = static_cast<QLabel*>(control.pWidget);
            if (QWidget* pNext = NextTabStop(i, false)) pLabel->setBuddy(pNext);
            else pLabel->setText(StripMnemonic(pLabel->text()));
        } else if (control.pTemplate->kind == ControlKind::GroupBox) {
            SetGroupBoxNext(control.pWidget, NextTabStop(i, false));
            control.pWidget->lower();
        }
        control.pWidget->show();
    }
}

void CDialog::ConnectMessageMap() {
    for (const MessageMapEntry& entry : GetMessageMap()) {
        QObject* pSender = entry.nControlId == MessageMapEntry::kThisDialog ? this : GetDlgItem(entry.nControlId);
        if (pSender == nullptr || !entry.fnConnect(*this, pSender)) {
            qWarning("dialog %d: no control %d of the signal's class for its message map", m_template.nId,
                     entry.nControlId);
        }
    }
}

// The first tab stop after nIndex (from the start for SIZE_MAX), if
// bEnabledOnly among the enabled and shown ones.
QWidget* CDialog::NextTabStop(std::size_t nIndex, bool bEnabledOnly) const {
    for (std::size_t i = nIndex + 1; i < m_controls.size(); ++i) {
        const Control& control = m_controls[i];
        if (!(control.pTemplate->nStyle & ctl::TabStop)) continue;
        if (!bEnabledOnly || (control.pWidget->isEnabled() && !control.pWidget->isHidden())) return control.pWidget;
    }
    return nullptr;
}

void CDialog::DestroyControls() {
    CDataExchange release(this, false);
    release.m_bRelease = release.m_bFailed = true;
    DoDataExchange(&release);
    for (QButtonGroup* pGroup : findChildren<QButtonGroup*>(Qt::FindDirectChildrenOnly)) delete pGroup;
    for (const Control& control : m_controls) delete control.pWidget;
    m_controls.clear();
    m_pInitialFocus = nullptr;
}

QWidget* CDialog::GetDlgItem(int nId) const {
    for (const Control& control : m_controls) {
        if (control.nId == nId) return control.pWidget;
    }
    return nullptr;
}

void CDialog::GotoDlgCtrl(QWidget* pControl) {
    if (pControl == nullptr) return;
    if (!isVisible()) m_pInitialFocus = pControl;
    pControl->setFocus(Qt::OtherFocusReason);
    if (auto* pEdit = qobject_cast<QLineEdit*>(pControl)) pEdit->selectAll();
}

void CDialog::FillControl(int nId, COLORREF clr) {
    SetFrameFill(GetDlgItem(nId), QColor(static_cast<int>(GetRValue(clr)), static_cast<int>(GetGValue(clr)),
                                         static_cast<int>(GetBValue(clr))));
}

// ---- Running the dialog ----

int CDialog::DoModal() {
    CreateControls();
    m_bEnded = false;
    m_nEndResult = IDCANCEL;
    if (OnInitDialog()) GotoDlgCtrl(NextTabStop(SIZE_MAX, true));
    const int nResult = m_bEnded ? m_nEndResult : exec();
    emit Destroying();
    DestroyControls();
    return nResult;
}

void CDialog::EndDialog(int nResult) {
    m_bEnded = true;
    m_nEndResult = nResult;
    setResult(nResult);
    if (isVisible()) QDialog::done(nResult);
}

BOOL CDialog::OnInitDialog() {
    UpdateData(false);
    return 1;
}

void CDialog::OnOK() {
    if (UpdateData(true)) EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::DoDataExchange(CDataExchange* /*pDX*/) {}

void CDialog::WinHelp(DWORD /*dwData*/, UINT /*nCmd*/) {}

bool CDialog::UpdateData(bool bSaveAndValidate) {
    CreateControls();
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return !dx.m_bFailed;
}

int CDialog::MessageBox(std::string_view strText, std::string_view strCaption, UINT nType) {
    return norvane::MessageBox(this, strText, strCaption, nType);
}

QMenu* CDialog::GetSystemMenu() { return m_pSysMenu; }

// ---- Events ----

void CDialog::OnEnterKey() {
    if (auto* pFocus = qobject_cast<QPushButton*>(focusWidget()); pFocus != nullptr && pFocus->parentWidget() == this) {
        if (pFocus->isEnabled()) pFocus->click();
        return;
    }
    // The default push button (a disabled one does nothing), else OK.
    for (const Control& control : m_controls) {
        if (control.pTemplate->kind != ControlKind::DefPushButton) continue;
        if (control.pWidget->isEnabled()) static_cast<QPushButton*>(control.pWidget)->click();
        return;
    }
    OnOK();
}

void CDialog::keyPressEvent(QKeyEvent* pEvent) {
    const Qt::KeyboardModifiers mods = pEvent->modifiers() & ~Qt::KeypadModifier;
    const int nKey = pEvent->key();
    if (nKey == Qt::Key_Escape && mods == Qt::NoModifier) {
        OnCancel();
    } else if ((nKey == Qt::Key_Return || nKey == Qt::Key_Enter) && mods == Qt::NoModifier) {
        OnEnterKey();
    } else if (nKey == Qt::Key_F1) {
        CDialog* pMain = AfxGetMainWnd();
        (pMain != nullptr ? pMain : this)->WinHelp(0, HELP_CONTEXT);
    } else {
        return QDialog::keyPressEvent(pEvent);
    }
    pEvent->accept();
}

void CDialog::closeEvent(QCloseEvent* pEvent) {
    // The close box ends the dialog through Cancel.
    pEvent->ignore();
    OnCancel();
}

void CDialog::resizeEvent(QResizeEvent* pEvent) {
    QDialog::resizeEvent(pEvent);
    if (HasControls()) emit SizeChanged();  // not while the derived dialog is built
}

void CDialog::paintEvent(QPaintEvent* pEvent) {
    QDialog::paintEvent(pEvent);
    if (HasControls()) emit Painted();
}

void CDialog::contextMenuEvent(QContextMenuEvent* pEvent) {
    if (m_pSysMenu == nullptr || m_pSysMenu->isEmpty()) return QDialog::contextMenuEvent(pEvent);
    // The chosen item, however it was chosen (exec reports only mouse and
    // keyboard choices).
    QAction* pChosen = nullptr;
    const QMetaObject::Connection connection =
        connect(m_pSysMenu, &QMenu::triggered, this, [&pChosen](QAction* pAction) { pChosen = pAction; });
    m_pSysMenu->exec(pEvent->globalPos());
    disconnect(connection);
    if (pChosen != nullptr) emit SysCommand(pChosen->data().toUInt(), 0);
}

void CDialog::showEvent(QShowEvent* pEvent) {
    QDialog::showEvent(pEvent);
    if (m_pInitialFocus != nullptr) m_pInitialFocus->setFocus(Qt::TabFocusReason);
    m_pInitialFocus = nullptr;
}

void AfxSetMainWnd(CDialog* pMainWnd) { MainWnd() = pMainWnd; }

CDialog* AfxGetMainWnd() { return MainWnd().data(); }

}  // namespace norvane
