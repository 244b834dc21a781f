#include "framework/CDialog.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <optional>

#include "framework/CWnd.h"
#include "framework/ListCtrlView.h"
#include "framework/MessageBox.h"

namespace norvane {
namespace {

QPointer<CDialog>& MainWnd() {
    static QPointer<CDialog> pMain;
    return pMain;
}

QString FromUtf8(std::string_view str) { return QString::fromUtf8(str.data(), static_cast<qsizetype>(str.size())); }

// A group box is only a frame: it takes no clicks, and its mnemonic moves the
// focus to the control that follows it, as on Windows.
class GroupBoxControl : public QGroupBox {
public:
    using QGroupBox::QGroupBox;
    QPointer<QWidget> m_pNext;

protected:
    bool event(QEvent* pEvent) override {
        if (pEvent->type() == QEvent::Shortcut) {
            if (m_pNext) m_pNext->setFocus(Qt::ShortcutFocusReason);
            return true;
        }
        return QGroupBox::event(pEvent);
    }
};

// A black-frame static, which the program may fill with a colour.
class FrameControl : public QFrame {
public:
    explicit FrameControl(QWidget* pParent) : QFrame(pParent) {
        setFrameStyle(QFrame::Box | QFrame::Plain);
        setLineWidth(1);
        QPalette palette = this->palette();
        palette.setColor(QPalette::WindowText, Qt::black);
        setPalette(palette);
    }
    void SetFill(const QColor& color) {
        if (m_fill == color) return;
        m_fill = color;
        update();
    }

protected:
    void paintEvent(QPaintEvent* pEvent) override {
        QFrame::paintEvent(pEvent);
        if (!m_fill) return;
        QPainter painter(this);
        painter.fillRect(rect().adjusted(1, 1, -1, -1), *m_fill);
    }

private:
    std::optional<QColor> m_fill;
};

// The text of a label with its mnemonic markers resolved ("&&" is "&").
QString StripMnemonic(const QString& strText) {
    QString strOut;
    strOut.reserve(strText.size());
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
    if (control.nStyle & ctl::AlignRight) {
        rcFit.setLeft(std::max(0, rc.right() + 1 - nNeeded));
    } else if (control.nStyle & ctl::AlignCenter) {
        const int nGrow = nNeeded - rc.width();
        rcFit.adjust(-nGrow / 2, 0, nGrow - nGrow / 2, 0);
        if (rcFit.left() < 0) rcFit.moveLeft(0);
    } else {
        rcFit.setWidth(nNeeded);
    }
    return rcFit;
}

}  // namespace

CDialog::CDialog(int nIdTemplate, QWidget* pParent)
    : QDialog(pParent), m_nIdTemplate(nIdTemplate), m_pTemplate(FindDialogTemplate(nIdTemplate)) {
    if (m_pTemplate == nullptr) return;
    setFont(DialogFont(QString::fromUtf8(m_pTemplate->pszFontFace), m_pTemplate->nPointSize));
    m_units = GetDialogBaseUnits(font());
    setWindowTitle(QString::fromUtf8(m_pTemplate->pszCaption));

    const std::uint32_t nStyle = m_pTemplate->nStyle;
    Qt::WindowFlags flags = (nStyle & dlg::AppWindow) ? Qt::Window : Qt::Dialog;
    flags |= Qt::CustomizeWindowHint;
    if (nStyle & dlg::Caption) flags |= Qt::WindowTitleHint;
    if (nStyle & dlg::SysMenu) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (nStyle & dlg::MinimizeBox) flags |= Qt::WindowMinimizeButtonHint;
    if (nStyle & dlg::MaximizeBox) flags |= Qt::WindowMaximizeButtonHint;
    setWindowFlags(flags);

    const QRect rcClient = MapDialogRect(QRect(0, 0, m_pTemplate->cx, m_pTemplate->cy));
    if (nStyle & dlg::ThickFrame) resize(rcClient.size());
    else setFixedSize(rcClient.size());
}

CDialog::~CDialog() = default;

std::span<const MessageMapEntry> CDialog::GetMessageMap() const { return {}; }

QRect CDialog::MapDialogRect(const QRect& rcUnits) const { return norvane::MapDialogRect(rcUnits, m_units); }

// ---- Controls ----

void CDialog::CreateControls() {
    if (m_bControlsCreated || m_pTemplate == nullptr) return;
    m_bControlsCreated = true;
    QButtonGroup* pRadioGroup = nullptr;
    for (std::size_t i = 0; i < m_pTemplate->controls.size(); ++i) {
        const ControlTemplate& control = m_pTemplate->controls[i];
        if (control.nStyle & ctl::Group) pRadioGroup = nullptr;
        QWidget* pWidget = CreateControl(control, i);
        if (control.kind == ControlKind::AutoRadioButton) {
            if (pRadioGroup == nullptr) {
                pRadioGroup = new QButtonGroup(this);
                pRadioGroup->setExclusive(true);
                m_radioGroups.push_back(pRadioGroup);
            }
            pRadioGroup->addButton(static_cast<QAbstractButton*>(pWidget));
        }
        m_controls.push_back(Control{control.nId, &control, pWidget});
        if (control.kind == ControlKind::DefPushButton && m_nIdDefault == 0) m_nIdDefault = control.nId;
    }
    // Tab order is template order.
    QWidget* pPrevious = nullptr;
    for (const Control& control : m_controls) {
        if (control.pWidget->focusPolicy() == Qt::NoFocus) continue;
        if (pPrevious != nullptr) QWidget::setTabOrder(pPrevious, control.pWidget);
        pPrevious = control.pWidget;
    }
    LinkMnemonics();
    for (const Control& control : m_controls) {
        // Group boxes lie under the controls they frame.
        if (control.pTemplate->kind == ControlKind::GroupBox) control.pWidget->lower();
        control.pWidget->show();
    }
}

QWidget* CDialog::CreateControl(const ControlTemplate& control, std::size_t /*nIndex*/) {
    const QString strText = QString::fromUtf8(control.pszText);
    const QRect rc = MapDialogRect(QRect(control.x, control.y, control.cx, control.cy));
    const bool bTabStop = (control.nStyle & ctl::TabStop) != 0;
    QWidget* pWidget = nullptr;
    switch (control.kind) {
    case ControlKind::PushButton:
    case ControlKind::DefPushButton: {
        auto* pButton = new QPushButton(strText, this);
        // Enter is handled by the dialog, as Windows does, not by Qt's
        // auto-default buttons.
        pButton->setAutoDefault(false);
        pButton->setDefault(control.kind == ControlKind::DefPushButton);
        pWidget = pButton;
        break;
    }
    case ControlKind::AutoCheckBox:
        pWidget = new QCheckBox(strText, this);
        break;
    case ControlKind::AutoRadioButton: {
        auto* pRadio = new QRadioButton(strText, this);
        pRadio->setAutoExclusive(false);  // the group of the template decides
        pWidget = pRadio;
        break;
    }
    case ControlKind::GroupBox: {
        auto* pGroup = new GroupBoxControl(strText, this);
        pGroup->setAttribute(Qt::WA_TransparentForMouseEvents);
        pWidget = pGroup;
        break;
    }
    case ControlKind::Static: {
        auto* pLabel = new QLabel(this);
        pLabel->setTextFormat(Qt::PlainText);
        // Static text wraps and starts at the top of its rectangle.
        pLabel->setWordWrap(true);
        Qt::Alignment align = Qt::AlignLeft;
        if (control.nStyle & ctl::AlignRight) align = Qt::AlignRight;
        if (control.nStyle & ctl::AlignCenter) align = Qt::AlignHCenter;
        pLabel->setAlignment(align | Qt::AlignTop);
        pLabel->setText(strText);
        pWidget = pLabel;
        break;
    }
    case ControlKind::Frame:
        pWidget = new FrameControl(this);
        break;
    case ControlKind::Icon: {
        auto* pLabel = new QLabel(this);
        const QImage image = LoadIconImage(control.nResourceId);
        pLabel->setPixmap(QPixmap::fromImage(image));
        pWidget = pLabel;
        break;
    }
    case ControlKind::Edit: {
        auto* pEdit = new QLineEdit(this);
        pEdit->setFrame((control.nStyle & ctl::Border) != 0);
        if (!(control.nStyle & ctl::AutoHScroll)) LimitEditText(pEdit, 0, true);
        pWidget = pEdit;
        break;
    }
    case ControlKind::ComboBox: {
        auto* pCombo = new QComboBox(this);
        const bool bEditable = (control.nStyle & ctl::DropDown) != 0;
        pCombo->setEditable(bEditable);
        pCombo->setInsertPolicy(QComboBox::NoInsert);
        // Enter in the edit field must not pick a matching entry (which
        // would send CBN_SELCHANGE): only the list picks entries.
        pCombo->setDuplicatesEnabled(true);
        pCombo->setProperty("norvane.sorted", (control.nStyle & ctl::Sort) != 0);
        if (bEditable) {
            pCombo->setCompleter(nullptr);
            if (!(control.nStyle & ctl::AutoHScroll)) LimitEditText(pCombo->lineEdit(), 0, true);
        }
        pWidget = pCombo;
        break;
    }
    case ControlKind::ListView: {
        auto* pView = new ListCtrlView(this);
        pView->setFrameShape((control.nStyle & ctl::Border) ? QFrame::StyledPanel : QFrame::NoFrame);
        if (control.nStyle & ctl::SingleSel) pView->setSelectionMode(QAbstractItemView::SingleSelection);
        pWidget = pView;
        break;
    }
    }

    // Geometry: the template's rectangle; an icon takes its image's size, a
    // combo box the height of its edit field (the template's height includes
    // the drop-down list).
    if (control.kind == ControlKind::Icon) {
        pWidget->setGeometry(QRect(rc.topLeft(), QSize(32, 32)));
    } else if (control.kind == ControlKind::ComboBox) {
        auto* pCombo = static_cast<QComboBox*>(pWidget);
        const int nHeight = std::min(pCombo->sizeHint().height(), rc.height());
        pWidget->setGeometry(QRect(rc.topLeft(), QSize(rc.width(), nHeight)));
        const int nItemHeight = std::max(1, fontMetrics().height() + 2);
        pCombo->setMaxVisibleItems(std::max(1, (rc.height() - nHeight) / nItemHeight));
    } else if (control.kind == ControlKind::Static) {
        pWidget->setGeometry(FitStaticText(static_cast<QLabel*>(pWidget), control, rc));
    } else {
        pWidget->setGeometry(rc);
    }

    switch (control.kind) {
    case ControlKind::GroupBox:
    case ControlKind::Static:
    case ControlKind::Frame:
    case ControlKind::Icon:
        pWidget->setFocusPolicy(Qt::NoFocus);
        break;
    default:
        pWidget->setFocusPolicy(bTabStop ? Qt::StrongFocus : Qt::ClickFocus);
        break;
    }
    if (control.nStyle & ctl::Disabled) pWidget->setEnabled(false);
    pWidget->setObjectName(QStringLiteral("ctrl%1").arg(control.nId));
    ConnectControl(control, pWidget);
    return pWidget;
}

void CDialog::ConnectControl(const ControlTemplate& control, QWidget* pWidget) {
    const int nId = control.nId;
    if (auto* pButton = qobject_cast<QAbstractButton*>(pWidget)) {
        connect(pButton, &QAbstractButton::clicked, this, [this, nId] { SendCommand(nId, BN_CLICKED); });
    } else if (auto* pEdit = qobject_cast<QLineEdit*>(pWidget)) {
        connect(pEdit, &QLineEdit::textChanged, this, [this, nId] { SendCommand(nId, EN_CHANGE); });
    } else if (auto* pCombo = qobject_cast<QComboBox*>(pWidget)) {
        connect(pCombo, &QComboBox::activated, this, [this, nId] { SendCommand(nId, CBN_SELCHANGE); });
        if (QLineEdit* pComboEdit = pCombo->lineEdit()) {
            connect(pComboEdit, &QLineEdit::textEdited, this, [this, nId] { SendCommand(nId, CBN_EDITCHANGE); });
        }
    }
}

QWidget* CDialog::NextTabStop(std::size_t nIndex) const {
    for (std::size_t i = nIndex + 1; i < m_controls.size(); ++i) {
        if (m_controls[i].pTemplate->nStyle & ctl::TabStop) return m_controls[i].pWidget;
    }
    return nullptr;
}

QWidget* CDialog::FirstTabStop() const {
    for (const Control& control : m_controls) {
        if ((control.pTemplate->nStyle & ctl::TabStop) && control.pWidget->isEnabled() &&
            !control.pWidget->isHidden()) {
            return control.pWidget;
        }
    }
    return nullptr;
}

void CDialog::LinkMnemonics() {
    for (std::size_t i = 0; i < m_controls.size(); ++i) {
        const Control& control = m_controls[i];
        if (control.pTemplate->kind == ControlKind::Static && !(control.pTemplate->nStyle & ctl::NoPrefix)) {
            // A label's mnemonic moves the focus to the control after it.
            auto* pLabel = static_cast<QLabel*>(control.pWidget);
            if (QWidget* pNext = NextTabStop(i)) pLabel->setBuddy(pNext);
            else pLabel->setText(StripMnemonic(pLabel->text()));
        } else if (control.pTemplate->kind == ControlKind::GroupBox) {
            static_cast<GroupBoxControl*>(control.pWidget)->m_pNext = NextTabStop(i);
        }
    }
}

void CDialog::DestroyControls() {
    for (QButtonGroup* pGroup : m_radioGroups) delete pGroup;
    m_radioGroups.clear();
    for (const Control& control : m_controls) delete control.pWidget;
    m_controls.clear();
    m_bControlsCreated = false;
    m_nIdDefault = 0;
    m_pInitialFocus = nullptr;
}

QWidget* CDialog::GetDlgItem(int nId) const {
    for (const Control& control : m_controls) {
        if (control.nId == nId) return control.pWidget;
    }
    return nullptr;
}

const ControlTemplate* CDialog::GetControlTemplate(int nId) const {
    if (m_pTemplate == nullptr) return nullptr;
    for (const ControlTemplate& control : m_pTemplate->controls) {
        if (control.nId == nId) return &control;
    }
    return nullptr;
}

void CDialog::CheckDlgButton(int nId, UINT nCheck) {
    SetButtonCheck(qobject_cast<QAbstractButton*>(GetDlgItem(nId)), nCheck != BST_UNCHECKED);
}

UINT CDialog::IsDlgButtonChecked(int nId) const {
    auto* pButton = qobject_cast<QAbstractButton*>(GetDlgItem(nId));
    return pButton != nullptr && pButton->isChecked() ? BST_CHECKED : BST_UNCHECKED;
}

void CDialog::CheckRadioButton(int nIdFirst, int nIdLast, int nIdCheck) {
    for (const Control& control : m_controls) {
        if (control.nId < nIdFirst || control.nId > nIdLast) continue;
        if (auto* pButton = qobject_cast<QAbstractButton*>(control.pWidget)) {
            if (control.nId != nIdCheck) SetButtonCheck(pButton, false);
        }
    }
    CheckDlgButton(nIdCheck, BST_CHECKED);
}

void CDialog::EnableWindow(int nId, bool bEnable) {
    if (QWidget* pWidget = GetDlgItem(nId)) pWidget->setEnabled(bEnable);
}

bool CDialog::IsWindowEnabled(int nId) const {
    QWidget* pWidget = GetDlgItem(nId);
    return pWidget != nullptr && pWidget->isEnabled();
}

void CDialog::SetDlgItemText(int nId, std::string_view strUtf8) { SetWidgetText(GetDlgItem(nId), FromUtf8(strUtf8)); }

std::string CDialog::GetDlgItemText(int nId) const { return WidgetText(GetDlgItem(nId)).toStdString(); }

void CDialog::GotoDlgCtrl(QWidget* pControl) {
    if (pControl == nullptr) return;
    if (!isVisible()) m_pInitialFocus = pControl;
    pControl->setFocus(Qt::OtherFocusReason);
    if (auto* pEdit = qobject_cast<QLineEdit*>(pControl)) pEdit->selectAll();
}

void CDialog::GotoDlgCtrl(int nId) { GotoDlgCtrl(GetDlgItem(nId)); }

void CDialog::FillControl(int nId, COLORREF clr) {
    if (auto* pFrame = dynamic_cast<FrameControl*>(GetDlgItem(nId))) {
        pFrame->SetFill(QColor(static_cast<int>(GetRValue(clr)), static_cast<int>(GetGValue(clr)),
                               static_cast<int>(GetBValue(clr))));
    }
}

// ---- Running the dialog ----

int CDialog::DoModal() {
    if (m_pTemplate == nullptr) return -1;
    CreateControls();
    m_bEnded = false;
    m_nEndResult = IDCANCEL;
    m_bInModal = true;
    if (OnInitDialog()) GotoDlgCtrl(FirstTabStop());
    const int nResult = m_bEnded ? m_nEndResult : exec();
    m_bInModal = false;
    MessageParams params;
    params.nMessage = WM_DESTROY;
    Dispatch(params);
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
    if (!UpdateData(true)) return;
    EndDialog(IDOK);
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

CMenu* CDialog::GetSystemMenu(bool bRevert) {
    if (m_pTemplate == nullptr || !(m_pTemplate->nStyle & dlg::SysMenu)) return nullptr;
    if (!m_pSysMenu || bRevert) m_pSysMenu = std::make_unique<CMenu>();
    return m_pSysMenu.get();
}

void CDialog::SetIcon(const QIcon& icon, bool /*bBigIcon*/) { setWindowIcon(icon); }

// ---- Messages ----

bool CDialog::HasMessageEntry(UINT nMessage, UINT nCode, int nId) const {
    for (const MessageMapEntry& entry : GetMessageMap()) {
        if (entry.nMessage != nMessage) continue;
        if ((nMessage == WM_COMMAND || nMessage == WM_NOTIFY) && (entry.nCode != nCode || entry.nId != nId)) continue;
        return true;
    }
    return false;
}

bool CDialog::Dispatch(MessageParams& params) {
    for (const MessageMapEntry& entry : GetMessageMap()) {
        if (entry.nMessage != params.nMessage) continue;
        if ((params.nMessage == WM_COMMAND || params.nMessage == WM_NOTIFY) &&
            (entry.nCode != params.nCode || entry.nId != params.nId)) {
            continue;
        }
        entry.fnHandler(*this, params);
        return true;
    }
    return false;
}

void CDialog::SendCommand(int nId, UINT nCode) {
    MessageParams params;
    params.nMessage = IsNotifyCode(nCode) ? WM_NOTIFY : WM_COMMAND;
    params.nCode = nCode;
    params.nId = nId;
    if (Dispatch(params)) return;
    if (nCode != BN_CLICKED) return;
    if (nId == IDOK) OnOK();
    else if (nId == IDCANCEL) OnCancel();
}

void CDialog::SendNotify(int nId, NMHDR& hdr, LRESULT& result) {
    MessageParams params;
    params.nMessage = WM_NOTIFY;
    params.nCode = hdr.code;
    params.nId = nId;
    params.pNMHDR = &hdr;
    params.pResult = &result;
    Dispatch(params);
}

void CDialog::OnClose() { SendCommand(IDCANCEL, BN_CLICKED); }

void CDialog::OnSysCommand(UINT /*nId*/, LPARAM /*lParam*/) {}

void CDialog::OnEnterKey() {
    QWidget* pFocus = focusWidget();
    auto* pFocusButton = qobject_cast<QPushButton*>(pFocus);
    if (pFocusButton != nullptr && pFocusButton->parentWidget() == this) {
        if (pFocusButton->isEnabled()) pFocusButton->click();
        return;
    }
    // The default push button, or IDOK when there is none; a disabled one
    // does nothing.
    const int nId = m_nIdDefault != 0 ? m_nIdDefault : IDOK;
    if (QWidget* pDefault = GetDlgItem(nId); pDefault != nullptr && !pDefault->isEnabled()) return;
    SendCommand(nId, BN_CLICKED);
}

void CDialog::OnHelpKey() {
    MessageParams params;
    params.nMessage = WM_HELP;
    if (Dispatch(params)) return;
    CDialog* pMain = AfxGetMainWnd();
    (pMain != nullptr ? pMain : this)->WinHelp(0, HELP_CONTEXT);
}

void CDialog::keyPressEvent(QKeyEvent* pEvent) {
    const Qt::KeyboardModifiers mods = pEvent->modifiers() & ~Qt::KeypadModifier;
    switch (pEvent->key()) {
    case Qt::Key_Escape:
        if (mods == Qt::NoModifier) {
            SendCommand(IDCANCEL, BN_CLICKED);
            pEvent->accept();
            return;
        }
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (mods == Qt::NoModifier) {
            OnEnterKey();
            pEvent->accept();
            return;
        }
        break;
    case Qt::Key_F1:
        OnHelpKey();
        pEvent->accept();
        return;
    default:
        break;
    }
    QDialog::keyPressEvent(pEvent);
}

void CDialog::closeEvent(QCloseEvent* pEvent) {
    // The close box: WM_CLOSE, whose default ends the dialog through IDCANCEL.
    pEvent->ignore();
    MessageParams params;
    params.nMessage = WM_CLOSE;
    if (!Dispatch(params)) OnClose();
}

void CDialog::accept() { SendCommand(IDOK, BN_CLICKED); }

void CDialog::reject() { SendCommand(IDCANCEL, BN_CLICKED); }

void CDialog::resizeEvent(QResizeEvent* pEvent) {
    QDialog::resizeEvent(pEvent);
    if (!m_bControlsCreated) return;  // not while the derived dialog is built
    MessageParams params;
    params.nMessage = WM_SIZE;
    params.nType = isMinimized() ? SIZE_MINIMIZED : isMaximized() ? SIZE_MAXIMIZED : SIZE_RESTORED;
    params.cx = width();
    params.cy = height();
    Dispatch(params);
}

void CDialog::paintEvent(QPaintEvent* pEvent) {
    QDialog::paintEvent(pEvent);
    if (!m_bControlsCreated) return;
    MessageParams params;
    params.nMessage = WM_PAINT;
    Dispatch(params);
}

void CDialog::contextMenuEvent(QContextMenuEvent* pEvent) {
    if (!m_pSysMenu || m_pSysMenu->GetMenuItemCount() == 0) {
        QDialog::contextMenuEvent(pEvent);
        return;
    }
    QMenu menu(this);
    for (const CMenu::Item& item : m_pSysMenu->Items()) {
        if (item.nFlags & MF_SEPARATOR) {
            menu.addSeparator();
        } else {
            QAction* pAction = menu.addAction(FromUtf8(item.strText));
            pAction->setData(QVariant::fromValue<qulonglong>(item.nId));
        }
    }
    // The chosen item, however it was chosen (exec reports only mouse and
    // keyboard choices).
    QAction* pChosen = nullptr;
    connect(&menu, &QMenu::triggered, this, [&pChosen](QAction* pAction) { pChosen = pAction; });
    menu.exec(pEvent->globalPos());
    if (pChosen == nullptr) return;
    MessageParams params;
    params.nMessage = WM_SYSCOMMAND;
    params.nType = static_cast<UINT>(pChosen->data().toULongLong());
    if (!Dispatch(params)) OnSysCommand(params.nType, 0);
}

void CDialog::showEvent(QShowEvent* pEvent) {
    QDialog::showEvent(pEvent);
    if (m_pInitialFocus != nullptr) {
        m_pInitialFocus->setFocus(Qt::TabFocusReason);
        m_pInitialFocus = nullptr;
    }
}

// ---- Application-wide ----

void AfxSetMainWnd(CDialog* pMainWnd) { MainWnd() = pMainWnd; }

CDialog* AfxGetMainWnd() { return MainWnd().data(); }

QIcon AfxLoadIcon(int nId) {
    const QImage image = LoadIconImage(nId);
    if (image.isNull()) return {};
    return QIcon(QPixmap::fromImage(image));
}

std::string AfxLoadString(int nId) { return std::string(FindResourceString(nId)); }

}  // namespace norvane
