#include "framework/MessageBox.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>

#include "framework/TemplateDialog.h"

namespace norvane {
namespace {

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

void Prepare(QMessageBox& box, std::string_view strText, std::string_view strCaption) {
    box.setFont(DialogFont(QStringLiteral("ＭＳ Ｐゴシック"), 9));
    box.setWindowTitle(strCaption.empty() ? QCoreApplication::applicationName() : QString::fromUtf8(strCaption));
    box.setTextFormat(Qt::PlainText);
    box.setText(QString::fromUtf8(strText).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

}  // namespace

void ShowMessage(QWidget* pOwner, std::string_view strText, MessageIcon icon, std::string_view strCaption) {
    QMessageBox box(pOwner);
    Prepare(box, strText, strCaption);
    box.setIcon(icon == MessageIcon::kWarning ? QMessageBox::Warning : QMessageBox::Information);
    QPushButton* pOk = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(pOk);
    box.setEscapeButton(pOk);
    box.exec();
}

bool AskYesNo(QWidget* pOwner, std::string_view strText, std::string_view strCaption) {
    QMessageBox box(pOwner);
    Prepare(box, strText, strCaption);
    box.setIcon(QMessageBox::NoIcon);
    QPushButton* pYes = box.addButton(QStringLiteral("はい(&Y)"), QMessageBox::YesRole);
    box.addButton(QStringLiteral("いいえ(&N)"), QMessageBox::NoRole);
    box.setDefaultButton(pYes);
    box.setWindowFlag(Qt::WindowCloseButtonHint, false);
    NoCancelFilter filter;
    box.installEventFilter(&filter);
    box.exec();
    return box.clickedButton() == pYes;
}

}  // namespace norvane
