// Window tests of the column titles dialog: colour texts, title limits in
// code page bytes, the swatches, the colour chooser, Defaults and Save, and
// the chain from the main window.
#include <QColorDialog>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QtTest>

#include <algorithm>

#include "app/MainDlg.h"
#include "app/QtTranslations.h"
#include "export/ColumnTitlesDlg.h"
#include "export/OutputOptionsDlg.h"
#include "framework/Controls.h"
#include "settings/SettingsFile.h"
#include "platform/CodePage.h"
#include "support/ModalDriver.h"
#include "support/TempDir.h"

using namespace norvane;
using namespace norvane::test;

namespace {

QLineEdit* Edit(TemplateDialog* pDlg, int nId) { return pDlg->Control<QLineEdit>(nId); }

// The colours a titles dialog given these texts gives back.
std::pair<std::string, std::string> ColoursBack(const char* pszBackground, const char* pszText) {
    TitleSettings titles;
    titles.bgColor = pszBackground;
    titles.fontColor = pszText;
    CColumnTitlesDlg dlg;
    dlg.setSettings(titles);
    return {dlg.settings().bgColor, dlg.settings().fontColor};
}

// The swatch shows its colour inside a one-pixel black frame. The image is
// of the whole dialog: painting the dialog is what fills the swatches.
void VerifySwatch(const QImage& image, QWidget* pSwatch, const QColor& color) {
    const int w = pSwatch->width(), h = pSwatch->height();
    QVERIFY(w > 4 && h > 4);
    const QPoint origin = pSwatch->geometry().topLeft();
    for (const QPoint& edge :
         {QPoint(0, 0), QPoint(w - 1, 0), QPoint(0, h - 1), QPoint(w - 1, h - 1), QPoint(w / 2, 0)})
        QCOMPARE(image.pixelColor(origin + edge), QColor(Qt::black));
    for (const QPoint& inside : {QPoint(1, 1), QPoint(w - 2, h - 2), QPoint(w / 2, h / 2)})
        QCOMPARE(image.pixelColor(origin + inside), color);
}

const char* const kTooLongMessage = "32 文字以内で入力してください。";

}  // namespace

class ColumnTitlesTest : public QObject {
    Q_OBJECT

private slots:
    // As start-up does: edit limits count bytes of the code page.
    void initTestCase() {
        QVERIFY(InstallQtTranslations());  // as the program does at start-up
        SetTextLengthCounter(
            [](const QString& strText) { return static_cast<int>(Utf8ToCodePage(strText.toStdString()).size()); });
    }
    void init() {
        QTest::failOnWarning(QRegularExpression(QStringLiteral("^(?!.*propagateSizeHints).*")));
        SetCodePage(kCodePageUtf8);
    }
    void cleanup() {
        SetCodePage(kCodePageUtf8);
        SetSettingsPath({});
    }

    // Colour texts: any case in, lower case out; the first character is not
    // looked at; only seven characters set a colour, any other text leaves
    // the default. A piece that is no hexadecimal number gives 0, one that
    // starts as one what it reads.
    void colourTexts() {
        using Colours = std::pair<std::string, std::string>;
        QCOMPARE(ColoursBack("#0066CC", "X1A2b3C"), (Colours{"#0066cc", "#1a2b3c"}));
        QCOMPARE(ColoursBack("#000000", "#FFFFFF"), (Colours{"#000000", "#ffffff"}));
        for (const char* pszRejected : {"#fffff", "#ffffff0", "", "#1234567890"})
            QCOMPARE(ColoursBack(pszRejected, pszRejected), (Colours{"#0066cc", "#ffffff"}));
        QCOMPARE(ColoursBack("#zz107z", "#7 8 9z"), (Colours{"#001007", "#070809"}));
    }

    // In 932 a title holds 32 bytes: typing stops at 16 double-byte
    // characters, half-width katakana count one byte each, and a title of
    // exactly 32 bytes comes back whole.
    void typingStopsAtThirtyTwoBytes() {
        SetCodePage(kCodePageShiftJis);
        const std::string strKanji16 = Utf8ToCodePage(QString(16, QChar(0x65E5)).toStdString());  // 32 bytes
        TitleSettings titles;
        titles.titles[2] = strKanji16;
        CColumnTitlesDlg dlg;
        dlg.setSettings(titles);
        ModalDriver driver;
        driver.Then<CColumnTitlesDlg>([&](CColumnTitlesDlg* d) {
            QCOMPARE(Edit(d, IDC_EDIT_TITLE3)->text(), QString(16, QChar(0x65E5)));
            QLineEdit* pEdit = Edit(d, IDC_EDIT_TITLE4);
            pEdit->clear();
            TypeText(pEdit, QString(15, QChar(0x65E5)));  // 30 bytes
            TypeText(pEdit, QStringLiteral("本ｶ"));       // 2 + 1: only the first fits
            QCOMPARE(pEdit->text(), QString(15, QChar(0x65E5)) + QStringLiteral("本"));
            pEdit->setText(QString(15, QChar(0x65E5)));
            TypeText(pEdit, QStringLiteral("ｶﾅ"));  // half-width: one byte each
            QCOMPARE(pEdit->text(), QString(15, QChar(0x65E5)) + QStringLiteral("ｶﾅ"));
            QVERIFY(ClickButton(d, IDOK));
        });
        QCOMPARE(dlg.exec(), QDialog::Accepted);
        QVERIFY2(driver.Finished(), qPrintable(driver.Error()));
        QCOMPARE(dlg.settings().titles[2], strKanji16);
        QCOMPARE(dlg.settings().titles[3], Utf8ToCodePage(QString(15, QChar(0x65E5)).toStdString()) + "\xB6\xC5");
    }

    // An over-long title from outside is shown whole and refused by OK at
    // the first over-long edit in the order they are checked, with a
    // message and the focus on it; once it fits, OK gives the titles back.
    void okRefusesAnOverLongTitle() {
        TitleSettings titles;
        titles.titles[0] = std::string(40, 'a');  // 1023, late in the order of the check
        titles.titles[5] = std::string(33, 'f');  // 1029, second in that order
        CColumnTitlesDlg dlg;
        dlg.setSettings(titles);
        ModalDriver driver;
        driver.Then<CColumnTitlesDlg>([&](CColumnTitlesDlg* d) {
            QCOMPARE(Edit(d, IDC_EDIT_TITLE1)->text().size(), 40);
            QVERIFY(ClickButton(d, IDOK));
        });
        driver.Then<QMessageBox>([](QMessageBox* box) {
            QCOMPARE(box->text(), QString::fromUtf8(kTooLongMessage));
            QCOMPARE(box->icon(), QMessageBox::Warning);
            QVERIFY(ClickButtonText(box, QStringLiteral("OK")));
        });
        driver.Then<CColumnTitlesDlg>([](CColumnTitlesDlg* d) {
            QTRY_COMPARE(d->focusWidget(), d->Control(IDC_EDIT_TITLE6));
            Edit(d, IDC_EDIT_TITLE6)->setText(QStringLiteral("Folder"));
            Edit(d, IDC_EDIT_TITLE1)->setText(QString(32, QLatin1Char('n')));
            QVERIFY(ClickButton(d, IDOK));
        });
        QCOMPARE(dlg.exec(), QDialog::Accepted);
        QVERIFY2(driver.Finished(), qPrintable(driver.Error()));
        QCOMPARE(dlg.settings().titles[0], std::string(32, 'n'));
        QCOMPARE(dlg.settings().titles[5], std::string("Folder"));
    }

    // The swatches show the colours inside their frames; the chooser opens
    // in Japanese at the swatch's colour and its Cancel changes nothing.
    void swatchesShowTheColoursAndTheChooserStartsThere() {
        TitleSettings titles;
        titles.bgColor = "#102030";
        titles.fontColor = "#A0B0C0";
        CColumnTitlesDlg dlg;
        dlg.setSettings(titles);
        ModalDriver driver;
        driver.Then<CColumnTitlesDlg>([](CColumnTitlesDlg* d) {
            const QImage image = d->grab().toImage();
            image.save(OutputPath("column-titles-dialog.png"));
            VerifySwatch(image, d->Control(IDC_STC_FONTCOLOR), QColor(0xA0, 0xB0, 0xC0));
            VerifySwatch(image, d->Control(IDC_STC_BGCOLOR), QColor(0x10, 0x20, 0x30));
            QVERIFY(ClickButton(d, IDC_BGCOLOR));
        });
        driver.Then<QColorDialog>([](QColorDialog* c) {
            QVERIFY(c->grab().save(OutputPath("colour-chooser.png")));
            QCOMPARE(c->windowTitle(), QStringLiteral("色の設定"));
            const QList<QLabel*> labels = c->findChildren<QLabel*>();
            QVERIFY(std::any_of(labels.begin(), labels.end(),
                                [](QLabel* l) { return l->text() == QStringLiteral("基本カラー(&B)"); }));
            QCOMPARE(c->currentColor(), QColor(0x10, 0x20, 0x30));
            c->setCurrentColor(QColor(Qt::red));
            c->reject();
        });
        driver.Then<CColumnTitlesDlg>([](CColumnTitlesDlg* d) { QVERIFY(ClickButton(d, IDOK)); });
        QCOMPARE(dlg.exec(), QDialog::Accepted);
        QVERIFY2(driver.Finished(), qPrintable(driver.Error()));
        QCOMPARE(dlg.settings().bgColor, std::string("#102030"));
    }

    // Defaults puts back the six default titles and both default colours,
    // swatches included; OK then gives them back, and the change column's
    // title, which the dialog does not show, as it came.
    void defaultsPutBackTitlesAndColours() {
        TitleSettings titles;
        titles.titles.fill("t");
        titles.bgColor = "#102030";
        titles.changeTitle = "Kind";
        CColumnTitlesDlg dlg;
        dlg.setSettings(titles);
        ModalDriver driver;
        driver.Then<CColumnTitlesDlg>([](CColumnTitlesDlg* d) {
            QVERIFY(ClickButton(d, IDC_DEFAULTS));
            VerifySwatch(d->grab().toImage(), d->Control(IDC_STC_BGCOLOR), QColor(0x00, 0x66, 0xCC));
            QVERIFY(ClickButton(d, IDOK));
        });
        QCOMPARE(dlg.exec(), QDialog::Accepted);
        QVERIFY2(driver.Finished(), qPrintable(driver.Error()));
        TitleSettings expected;
        expected.changeTitle = "Kind";
        QVERIFY(dlg.settings() == expected);
    }

    // Save writes all eight TITLE keys (defaults too) and leaves the dialog
    // open; Cancel afterwards still cancels.
    void saveWritesEveryKeyAndKeepsTheDialogOpen() {
        TempDir dir;
        const std::string strPath = dir / "Norvane.ini";
        SetSettingsPath(strPath);
        TitleSettings titles;
        titles.titles[5] = "Dir";
        titles.bgColor = "#ABCDEF";
        CColumnTitlesDlg dlg;
        dlg.setSettings(titles);
        ModalDriver driver;
        driver.Then<CColumnTitlesDlg>([&strPath](CColumnTitlesDlg* d) {
            QVERIFY(ClickButton(d, IDC_SAVE_SETTINGS));
            QVERIFY(d->isVisible());
            QCOMPARE(ReadAll(strPath),
                     std::string("[TITLE]\r\nVALUE1=FileName\r\nVALUE2=FileDate&Time\r\nVALUE3=FileSize\r\n"
                                 "VALUE4=Version\r\nVALUE5=Expansion\r\nVALUE6=Dir\r\nBGCOLOR=#abcdef\r\n"
                                 "FONTCOLOR=#ffffff\r\n"));
            QVERIFY(ClickButton(d, IDCANCEL));
        });
        QCOMPARE(dlg.exec(), QDialog::Rejected);
        QVERIFY2(driver.Finished(), qPrintable(driver.Error()));
    }

    // A title refused by its length saves nothing; a file that cannot be
    // written is told, with its path.
    void saveRefusesAnOverLongTitleAndTellsAFailure() {
        TempDir dir;
        const std::string strPath = dir / "Norvane.ini";
        SetSettingsPath(strPath);
        TitleSettings titles;
        titles.titles[5] = std::string(33, 'x');
        CColumnTitlesDlg dlg;
        dlg.setSettings(titles);
        ModalDriver driver;
        driver.Then<CColumnTitlesDlg>([](CColumnTitlesDlg* d) { QVERIFY(ClickButton(d, IDC_SAVE_SETTINGS)); });
        driver.Then<QMessageBox>([&strPath](QMessageBox* box) {
            QCOMPARE(box->text(), QString::fromUtf8(kTooLongMessage));
            QVERIFY(ReadAll(strPath).empty());
            QVERIFY(ClickButtonText(box, QStringLiteral("OK")));
        });
        driver.Then<CColumnTitlesDlg>([&strPath](CColumnTitlesDlg* d) {
            Edit(d, IDC_EDIT_TITLE6)->setText(QStringLiteral("Dir"));
            SetSettingsPath(strPath + ".missing/Norvane.ini");
            QVERIFY(ClickButton(d, IDC_SAVE_SETTINGS));
        });
        driver.Then<QMessageBox>([](QMessageBox* box) {
            QVERIFY(box->text().startsWith(QStringLiteral("設定を保存できませんでした。\n")));
            QVERIFY(box->text().endsWith(QStringLiteral(".missing/Norvane.ini")));
            QVERIFY(ClickButtonText(box, QStringLiteral("OK")));
        });
        driver.Then<CColumnTitlesDlg>([](CColumnTitlesDlg* d) { QVERIFY(ClickButton(d, IDCANCEL)); });
        QCOMPARE(dlg.exec(), QDialog::Rejected);
        QVERIFY2(driver.Finished(), qPrintable(driver.Error()));
    }

    // Main window -> options -> titles: the titles dialog opens with the
    // window's titles and colours (lower case); its Cancel leaves the
    // options' strings as they were; OK in both dialogs carries titles and
    // lower-case colours back into the main window and the exported file.
    void chainFromMainWindow() {
        TempDir dir;
        SetSettingsPath(dir / "Norvane.ini");
        WriteAll(dir / "Norvane.ini", "[TITLE]\r\nVALUE1=Alpha\r\nBGCOLOR=#00FF00\r\nFONTCOLOR=#FFFFFF\r\n");
        QVERIFY(dir.MakeFolder("tree") && dir.MakeFile("tree/a.txt"));
        const std::string strOutput = dir / "out.html";
        CMainDlg main;
        main.SetFolder(dir / "tree/");

        ModalDriver driver;
        driver.ThenSettled<CMainDlg>([](CMainDlg* m) { QVERIFY(ClickButton(m, IDC_OUTPUT_ALL)); })
            .Then<COutputOptionsDlg>([](COutputOptionsDlg* o) { QVERIFY(ClickButton(o, IDC_COLUMN_TITLES)); })
            .Then<CColumnTitlesDlg>([](CColumnTitlesDlg* t) {
                QCOMPARE(Edit(t, IDC_EDIT_TITLE1)->text(), QStringLiteral("Alpha"));
                QCOMPARE(Edit(t, IDC_EDIT_TITLE2)->text(), QStringLiteral("FileDate&Time"));
                QCOMPARE(t->settings().bgColor, std::string("#00ff00"));
                Edit(t, IDC_EDIT_TITLE1)->setText(QStringLiteral("Beta"));
                QVERIFY(ClickButton(t, IDCANCEL));
            })
            .Then<COutputOptionsDlg>([](COutputOptionsDlg* o) {
                QCOMPARE(o->settings().titles.titles[0], std::string("Alpha"));
                QCOMPARE(o->settings().titles.fontColor, std::string("#FFFFFF"));
                QVERIFY(ClickButton(o, IDC_COLUMN_TITLES));
            })
            .Then<CColumnTitlesDlg>([](CColumnTitlesDlg* t) {
                Edit(t, IDC_EDIT_TITLE1)->setText(QStringLiteral("名前"));
                QVERIFY(ClickButton(t, IDC_BGCOLOR));
            })
            .Then<QColorDialog>([](QColorDialog* c) {
                QCOMPARE(c->currentColor(), QColor(0x00, 0xFF, 0x00));
                c->setCurrentColor(QColor(0xAB, 0x12, 0xCD));
                c->accept();
            })
            .Then<CColumnTitlesDlg>([](CColumnTitlesDlg* t) { QVERIFY(ClickButton(t, IDOK)); })
            .Then<COutputOptionsDlg>([](COutputOptionsDlg* o) { QVERIFY(ClickButton(o, IDOK)); })
            .Then<QFileDialog>([&strOutput](QFileDialog* f) {
                // The name field, as a user types into it.
                auto* pName = f->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                QVERIFY(pName != nullptr);
                pName->setText(QString::fromStdString(strOutput));
                static_cast<QDialog*>(f)->accept();  // QFileDialog::accept, reached through QDialog
            })
            .Then<QMessageBox>([](QMessageBox* box) { QVERIFY(ClickButtonText(box, QStringLiteral("いいえ(&N)"))); })
            .ThenSettled<CMainDlg>([](CMainDlg* m) { QVERIFY(ClickButton(m, IDCANCEL)); });
        main.exec();
        QVERIFY2(driver.Finished(), qPrintable(driver.Error()));
        QCOMPARE(main.exportSettings().titles.titles[0], std::string("名前"));
        QCOMPARE(main.exportSettings().titles.bgColor, std::string("#ab12cd"));
        const std::string strHtml = ReadAll(strOutput);
        QVERIFY2(
            strHtml.find("<TD bgColor=#ab12cd><FONT class=VERDANA color=#ffffff>名前</FONT></TD>") != std::string::npos,
            strHtml.c_str());
    }
};

QTEST_MAIN(ColumnTitlesTest)
#include "ColumnTitlesTest.moc"
