#include "framework/MessageBox.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>

#include "framework/DialogFont.h"

namespace norvane {
namespace {

constexpr UINT kButtonsMask = 0xF;
constexpr UINT kIconMask = 0xF0;

QString FromUtf8(std::string_view str) { return QString::fromUtf8(str.data(), static_cast<qsizetype>(str.size())); }

// A box without a cancel button cannot be dismissed by Esc or the close box.
class NoCancelFilter : public QObject {
protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override {
        if (pEvent->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(pEvent)->key() == Qt::Key_Escape) return true;
        if (pEvent->type() == QEvent::Close && pEvent->spontaneous()) {
            pEvent->ignore();
            return true;
        }
        return QObject::eventFilter(pWatched, pEvent);
    }
};

}  // namespace

int MessageBox(QWidget* pOwner, std::string_view strText, std::string_view strCaption, UINT nType) {
    QMessageBox box(pOwner);
    box.setObjectName(QStringLiteral("norvane_messagebox"));
    box.setFont(DialogFont(QStringLiteral("ＭＳ Ｐゴシック"), 9));
    box.setWindowTitle(strCaption.empty() ? QCoreApplication::applicationName() : FromUtf8(strCaption));
    box.setTextFormat(Qt::PlainText);
    box.setText(FromUtf8(strText).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    switch (nType & kIconMask) {
        case MB_ICONEXCLAMATION: box.setIcon(QMessageBox::Warning); break;
        case MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
        default: box.setIcon(QMessageBox::NoIcon); break;
    }
    NoCancelFilter filter;
    if ((nType & kButtonsMask) == MB_YESNO) {
        // Yes is the default button.
        QPushButton* pYes = box.addButton(QStringLiteral("はい(&Y)"), QMessageBox::YesRole);
        box.addButton(QStringLiteral("いいえ(&N)"), QMessageBox::NoRole);
        box.setDefaultButton(pYes);
        box.setWindowFlag(Qt::WindowCloseButtonHint, false);
        box.installEventFilter(&filter);
        box.exec();
        return box.clickedButton() == pYes ? IDYES : IDNO;
    }
    // Esc on a lone OK is OK.
    QPushButton* pOk = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(pOk);
    box.setEscapeButton(pOk);
    box.exec();
    return IDOK;
}

}  // namespace norvane
