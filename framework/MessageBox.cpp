#include "framework/MessageBox.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>

#include <string>
#include <vector>

#include "framework/CDialog.h"
#include "framework/DialogFont.h"

namespace norvane {
namespace {

std::string& AppName() {
    static std::string strName;
    return strName;
}

QString FromUtf8(std::string_view str) { return QString::fromUtf8(str.data(), static_cast<qsizetype>(str.size())); }

// A box without a cancel button cannot be dismissed by Esc or the close box.
class NoCancelFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override {
        if (pEvent->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(pEvent)->key() == Qt::Key_Escape) {
            return true;
        }
        if (pEvent->type() == QEvent::Close && pEvent->spontaneous()) {
            pEvent->ignore();
            return true;
        }
        return QObject::eventFilter(pWatched, pEvent);
    }
};

}  // namespace

void AfxSetAppName(std::string_view strUtf8) { AppName() = std::string(strUtf8); }

std::string AfxGetAppName() {
    if (!AppName().empty()) return AppName();
    return QCoreApplication::applicationName().toStdString();
}

int MessageBox(QWidget* pOwner, std::string_view strText, std::string_view strCaption, UINT nType) {
    QMessageBox box(pOwner);
    box.setObjectName(QStringLiteral("norvane_messagebox"));
    box.setFont(DialogFont(QStringLiteral("ＭＳ Ｐゴシック"), 9));
    box.setWindowTitle(strCaption.empty() ? FromUtf8(AfxGetAppName()) : FromUtf8(strCaption));
    QString strBody = FromUtf8(strText);
    strBody.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    box.setTextFormat(Qt::PlainText);
    box.setText(strBody);

    switch (nType & MB_ICONMASK) {
    case MB_ICONERROR:
        box.setIcon(QMessageBox::Critical);
        break;
    case MB_ICONQUESTION:
        box.setIcon(QMessageBox::Question);
        break;
    case MB_ICONEXCLAMATION:
        box.setIcon(QMessageBox::Warning);
        break;
    case MB_ICONINFORMATION:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        box.setIcon(QMessageBox::NoIcon);
        break;
    }

    struct Choice {
        QPushButton* pButton;
        int nResult;
    };
    std::vector<Choice> choices;
    auto add = [&](const char* pszText, QMessageBox::ButtonRole role, int nResult) {
        choices.push_back({box.addButton(QString::fromUtf8(pszText), role), nResult});
    };
    bool bHasCancel = false;
    switch (nType & MB_TYPEMASK) {
    case MB_OKCANCEL:
        add("OK", QMessageBox::AcceptRole, IDOK);
        add("キャンセル", QMessageBox::RejectRole, IDCANCEL);
        bHasCancel = true;
        break;
    case MB_YESNOCANCEL:
        add("はい(&Y)", QMessageBox::YesRole, IDYES);
        add("いいえ(&N)", QMessageBox::NoRole, IDNO);
        add("キャンセル", QMessageBox::RejectRole, IDCANCEL);
        bHasCancel = true;
        break;
    case MB_YESNO:
        add("はい(&Y)", QMessageBox::YesRole, IDYES);
        add("いいえ(&N)", QMessageBox::NoRole, IDNO);
        break;
    default:
        add("OK", QMessageBox::AcceptRole, IDOK);
        break;
    }
    const std::size_t nDefault = (nType & MB_DEFMASK) == MB_DEFBUTTON2 ? 1 : (nType & MB_DEFMASK) == MB_DEFBUTTON3 ? 2 : 0;
    box.setDefaultButton(choices[std::min(nDefault, choices.size() - 1)].pButton);
    NoCancelFilter filter;
    if (bHasCancel) {
        box.setEscapeButton(choices.back().pButton);
    } else if (choices.size() == 1) {
        box.setEscapeButton(choices.front().pButton);  // Esc on a lone OK is OK
    } else {
        box.setWindowFlag(Qt::WindowCloseButtonHint, false);
        box.installEventFilter(&filter);
    }
    box.exec();
    QAbstractButton* pClicked = box.clickedButton();
    for (const Choice& choice : choices) {
        if (choice.pButton == pClicked) return choice.nResult;
    }
    return bHasCancel ? IDCANCEL : choices.front().nResult;
}

int AfxMessageBox(std::string_view strText, UINT nType) {
    return MessageBox(AfxGetMainWnd(), strText, {}, nType);
}

}  // namespace norvane
