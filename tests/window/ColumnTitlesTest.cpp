// Window tests of the column titles dialog: colour texts, title limits in
// code page bytes, the swatches, the colour chooser, Defaults and Save.
#include <QColorDialog>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QtTest>

#include <string>

#include "app/MainDlg.h"
#include "app/SettingsFile.h"
#include "export/ColumnTitlesDlg.h"
#include "export/OutputOptionsDlg.h"
#include "framework/CWnd.h"
#include "platform/CodePage.h"
#include "support/ModalDriver.h"
#include "support/TempDir.h"

using namespace norvane;
using namespace norvane::test;

namespace {

QLineEdit* Edit(CDialog* pDlg, int nId) { return pDlg->GetDlgItemAs<QLineEdit>(nId); }

// The swatch shows its colour inside a one-pixel black frame. The image is
// of the whole dialog: painting the dialog is what fills the swatches.
void VerifySwatch(const QImage& image, QWidget* pSwatch, const QColor& color) {
    const int w = pSwatch->width();
    const int h = pSwatch->height();
    QVERIFY(w > 4 && h > 4);
    const QPoint origin = pSwatch->geometry().topLeft();
    for (const QPoint& edge : {QPoint(0, 0), QPoint(w - 1, 0), QPoint(0, h - 1), QPoint(w - 1, h - 1), QPoint(w / 2, 0)}) {
        QCOMPARE(image.pixelColor(origin + edge), QColor(Qt::black));
    }
    for (const QPoint& inside : {QPoint(1, 1), QPoint(w - 2, h - 2), QPoint(w / 2, h / 2)}) {
        QCOMPARE(image.pixelColor(origin + inside), color);
    }
}

const char* const kTooLongMessage = "32 文字以内で入力してください。";

}  // namespace

class ColumnTitlesTest : public QObject {
    Q_OBJECT

private slots:
    // As start-up does: edit limits count bytes of the code page.
    void initTestCase() {
        SetTextLengthCounter([](const QString& strText) {
            return static_cast<int>(Utf8ToCodePage(strText.toStdString()).size());
        });
    }
    void init() {
        QTest::failOnWarning(QRegularExpression(QStringLiteral("^(?!.*propagateSizeHints).*")));
        SetCodePage(kCodePageUtf8);
    }
    void cleanup() {
        SetCodePage(kCodePageUtf8);
        SetSettingsPathForTests({});
    }

    // Colour texts: any case in, lower case out; the first character is not
    // looked at; only seven characters set a colour.
    void colourTexts() {
        const std::pair<const char*, int> kHex[] = {{"0a", 10}, {"FF", 255}, {"7z", 7}, {" c", 12},
                                                     {"zz", 0},  {"", 0},    {"fffffffffffffffffffff", 0}};
        for (const auto& [pszText, nValue] : kHex) QCOMPARE(HexToInt(pszText), nValue);

        CColumnTitlesDlg dlg;
        // Never set: the defaults of the settings file.
        QCOMPARE(dlg.GetBgColorText(), std::string("#0066cc"));
        QCOMPARE(dlg.GetFontColorText(), std::string("#ffffff"));

        QVERIFY(dlg.SetBgColorText("#0066CC"));
        QCOMPARE(dlg.m_clrBgColor, RGB(0x00, 0x66, 0xCC));
        QCOMPARE(dlg.GetBgColorText(), std::string("#0066cc"));
        QVERIFY(dlg.SetFontColorText("X1A2b3C"));
        QCOMPARE(dlg.GetFontColorText(), std::string("#1a2b3c"));
        QVERIFY(dlg.SetBgColorText("#000000"));
        QCOMPARE(dlg.GetBgColorText(), std::string("#000000"));

        for (const char* pszRejected : {"#fffff", "#ffffff0", "", "#1234567890"}) {
            QVERIFY(!dlg.SetBgColorText(pszRejected));
            QVERIFY(!dlg.SetFontColorText(pszRejected));
        }
        QCOMPARE(dlg.GetBgColorText(), std::string("#000000"));
        QCOMPARE(dlg.GetFontColorText(), std::string("#1a2b3c"));

        // Pieces that are no hexadecimal number give 0 for their component;
        // a double-byte character in the middle is just bytes.
        QVERIFY(dlg.SetBgColorText("#zz10q7"));
        QCOMPARE(dlg.GetBgColorText(), std::string("#001000"));
        SetCodePage(kCodePageShiftJis);
        QVERIFY(dlg.SetBgColorText("#\x93\xFA" "ffff"));
        QCOMPARE(dlg.GetBgColorText(), std::string("#00ffff"));
    }

    // In 932 a title holds 32 bytes: typing stops at 16 double-byte
    // characters; an over-long title from outside is shown whole and fails OK
    // at the first over-long edit in exchange order, focus on it.
    void titleLimitsInShiftJis() {
        SetCodePage(kCodePageShiftJis);
        const std::string strKanji16 = Utf8ToCodePage(QString(16, QChar(0x65E5)).toStdString());  // 32 bytes
        CColumnTitlesDlg dlg;
        dlg.m_strTitle2 = "T2";
        dlg.m_strTitle1 = std::string(40, 'a');  // 1023, late in exchange order
        dlg.m_strTitle6 = std::string(33, 'f');  // 1029, second in exchange order
        dlg.m_strTitle3 = strKanji16;

        ModalDriver driver;
        driver.Then<CColumnTitlesDlg>([&](CColumnTitlesDlg* d) {
            QCOMPARE(Edit(d, IDC_EDIT_TITLE1)->text().size(), 40);
            QCOMPARE(Edit(d, IDC_EDIT_TITLE3)->text(), QString(16, QChar(0x65E5)));
            QLineEdit* pEdit = Edit(d, IDC_EDIT_TITLE4);
            pEdit->clear();
            TypeText(pEdit, QString(15, QChar(0x65E5)));          // 30 bytes
            TypeText(pEdit, QStringLiteral("本ｶ"));               // 2 + 1: only the first fits
            QCOMPARE(pEdit->text(), QString(15, QChar(0x65E5)) + QStringLiteral("本"));
            pEdit->setText(QString(15, QChar(0x65E5)));
            TypeText(pEdit, QStringLiteral("ｶﾅ"));                // half-width: one byte each
            QCOMPARE(pEdit->text(), QString(15, QChar(0x65E5)) + QStringLiteral("ｶﾅ"));
            QVERIFY(ClickButton(d, IDOK));
        });
        driver.Then<QMessageBox>([](QMessageBox* box) {
            QCOMPARE(box->text(), QString::fromUtf8(kTooLongMessage));
            QCOMPARE(box->icon(), QMessageBox::Warning);
            QVERIFY(ClickButtonText(box, QStringLiteral("OK")));
        });
        driver.Then<CColumnTitlesDlg>([](CColumnTitlesDlg* d) {
            QTRY_COMPARE(d->focusWidget(), d->GetDlgItem(IDC_EDIT_TITLE6));
            Edit(d, IDC_EDIT_TITLE6)->setText(QStringLiteral("Folder"));
            QVERIFY(ClickButton(d, IDOK));
        });
        driver.Then<QMessageBox>([](QMessageBox* box) { QVERIFY(ClickButtonText(box, QStringLiteral("OK"))); });
        driver.Then<CColumnTitlesDlg>([](CColumnTitlesDlg* d) {
            QTRY_COMPARE(d->focusWidget(), d->GetDlgItem(IDC_EDIT_TITLE1));
            Edit(d, IDC_EDIT_TITLE1)->setText(QString(32, QLatin1Char('n')));
            QVERIFY(ClickButton(d, IDOK));
        });
        QCOMPARE(dlg.DoModal(), IDOK);
        QVERIFY2(driver.Finished(), qPrintable(driver.Error()));
        QCOMPARE(dlg.m_strTitle1, std::string(32, 'n'));
        QCOMPARE(dlg.m_strTitle3, strKanji16);
        QCOMPARE(dlg.m_strTitle4, Utf8ToCodePage(QString(15, QChar(0x65E5)).toStdString()) + "\xB6\xC5");
        QCOMPARE(dlg.m_strTitle6, std::string("Folder"));
        QCOMPARE(dlg.m_strTitle2, std::string("T2"));
    }

    // In UTF-8 the title limit counts UTF-8 bytes and never cuts a
    // character. The chooser opens at the swatch's colour; its OK repaints
    // the swatch inside its frame, its Cancel changes nothing. Defaults then
    // OK gives the six default titles and both default colours.
    void utf8LimitColoursAndDefaults() {
        CColumnTitlesDlg dlg;  // titles empty: Defaults has them all to fill
        dlg.SetBgColorText("#102030");
        dlg.SetFontColorText("#A0B0C0");
        ModalDriver driver;
        driver.Then<CColumnTitlesDlg>([](CColumnTitlesDlg* d) {
            QLineEdit* pEdit = Edit(d, IDC_EDIT_TITLE2);
            TypeText(pEdit, QString(10, QChar(0x65E5)));  // 30 bytes
            TypeText(pEdit, QStringLiteral("日"));  // 3 bytes do not fit
            QCOMPARE(pEdit->text(), QString(10, QChar(0x65E5)));
            TypeText(pEdit, QStringLiteral("é"));   // 2 do
            QCOMPARE(pEdit->text(), QString(10, QChar(0x65E5)) + QStringLiteral("é"));
            QVERIFY(ClickButton(d, IDC_FONTCOLOR));
        });
        driver.Then<QColorDialog>([](QColorDialog* c) {
            QCOMPARE(c->currentColor(), QColor(0xA0, 0xB0, 0xC0));
            c->setCurrentColor(QColor(0xFE, 0xDC, 0xBA));
            c->accept();
        });
        driver.Then<CColumnTitlesDlg>([](CColumnTitlesDlg* d) {
            QCOMPARE(d->GetFontColorText(), std::string("#fedcba"));
            const QImage image = d->grab().toImage();
            image.save(OutputPath("column-titles-dialog.png"));
            VerifySwatch(image, d->GetDlgItem(IDC_STC_FONTCOLOR), QColor(0xFE, 0xDC, 0xBA));
            VerifySwatch(image, d->GetDlgItem(IDC_STC_BGCOLOR), QColor(0x10, 0x20, 0x30));
            QVERIFY(ClickButton(d, IDC_BGCOLOR));
        });
        driver.Then<QColorDialog>([](QColorDialog* c) {
            QCOMPARE(c->currentColor(), QColor(0x10, 0x20, 0x30));
            c->setCurrentColor(QColor(Qt::red));
            c->reject();
        });
        driver.Then<CColumnTitlesDlg>([](CColumnTitlesDlg* d) {
            QCOMPARE(d->GetBgColorText(), std::string("#102030"));
            QVERIFY(ClickButton(d, IDC_DEFAULTS));
            QCOMPARE(Edit(d, IDC_EDIT_TITLE2)->text(), QStringLiteral("FileDate&Time"));
            const QImage image = d->grab().toImage();
            VerifySwatch(image, d->GetDlgItem(IDC_STC_BGCOLOR), QColor(0x00, 0x66, 0xCC));
            VerifySwatch(image, d->GetDlgItem(IDC_STC_FONTCOLOR), QColor(Qt::white));
            QVERIFY(ClickButton(d, IDOK));
        });
        QCOMPARE(dlg.DoModal(), IDOK);
        QVERIFY2(driver.Finished(), qPrintable(driver.Error()));
        const TitleSettings defaults;
        const std::string titles[6] = {dlg.m_strTitle1, dlg.m_strTitle2, dlg.m_strTitle3,
                                       dlg.m_strTitle4, dlg.m_strTitle5, dlg.m_strTitle6};
        for (std::size_t i = 0; i < 6; ++i) QCOMPARE(titles[i], defaults.values[i]);
        QCOMPARE(dlg.GetBgColorText(), std::string("#0066cc"));
        QCOMPARE(dlg.GetFontColorText(), std::string("#ffffff"));
    }

    // Save writes all eight TITLE keys (defaults too) and leaves the dialog
    // open; Cancel afterwards still cancels. A refused title saves nothing;
    // a file that cannot be written is reported.
    void saveThenCancel() {
        TempDir dir;
        const std::string strPath = dir / "Norvane.ini";
        SetSettingsPathForTests(strPath);
        CColumnTitlesDlg dlg;
        const TitleSettings defaults;
        std::string* titles[] = {&dlg.m_strTitle1, &dlg.m_strTitle2, &dlg.m_strTitle3, &dlg.m_strTitle4, &dlg.m_strTitle5};
        for (std::size_t i = 0; i < 5; ++i) *titles[i] = defaults.values[i];
        dlg.m_strTitle6 = std::string(33, 'x');
        dlg.SetBgColorText("#ABCDEF");

        ModalDriver driver;
        driver.Then<CColumnTitlesDlg>([](CColumnTitlesDlg* d) {
            QVERIFY(ClickButton(d, IDC_SAVE_SETTINGS));  // title 6 is too long
        });
        driver.Then<QMessageBox>([&strPath](QMessageBox* box) {
            QCOMPARE(box->text(), QString::fromUtf8(kTooLongMessage));
            QVERIFY(ReadAll(strPath).empty());
            QVERIFY(ClickButtonText(box, QStringLiteral("OK")));
        });
        driver.Then<CColumnTitlesDlg>([&strPath](CColumnTitlesDlg* d) {
            Edit(d, IDC_EDIT_TITLE6)->setText(QStringLiteral("Dir"));
            QVERIFY(ClickButton(d, IDC_SAVE_SETTINGS));
            QVERIFY(d->isVisible());
            QCOMPARE(ReadAll(strPath),
                     std::string("[TITLE]\r\nVALUE1=FileName\r\nVALUE2=FileDate&Time\r\nVALUE3=FileSize\r\n"
                                 "VALUE4=Version\r\nVALUE5=Expansion\r\nVALUE6=Dir\r\nBGCOLOR=#abcdef\r\n"
                                 "FONTCOLOR=#ffffff\r\n"));
            SetSettingsPathForTests(strPath + ".missing/Norvane.ini");
            QVERIFY(ClickButton(d, IDC_SAVE_SETTINGS));
        });
        driver.Then<QMessageBox>([](QMessageBox* box) {
            QVERIFY(box->text().startsWith(QStringLiteral("設定を保存できませんでした。\n")));
            QVERIFY(box->text().endsWith(QStringLiteral(".missing/Norvane.ini")));
            QVERIFY(ClickButtonText(box, QStringLiteral("OK")));
        });
        driver.Then<CColumnTitlesDlg>([](CColumnTitlesDlg* d) { QVERIFY(ClickButton(d, IDCANCEL)); });
        QCOMPARE(dlg.DoModal(), IDCANCEL);
        QVERIFY2(driver.Finished(), qPrintable(driver.Error()));
    }

    // Main window -> options -> titles. Save then Cancel writes the file and
    // leaves the main window's strings alone; OK in both dialogs carries the
    // titles and colours (lower case) back into the main window and into the
    // exported file.
    void chainFromMainWindow() {
        TempDir dir;
        const std::string strSettings = dir / "Norvane.ini";
        SetSettingsPathForTests(strSettings);
        WriteAll(strSettings, "[TITLE]\r\nVALUE1=Alpha\r\nBGCOLOR=#00FF00\r\n");
        QVERIFY(dir.MakeFolder("tree"));
        QVERIFY(dir.MakeFile("tree/a.txt"));
        const std::string strOutput = dir / "out.html";

        CMainDlg main;
        main.m_bScanAtStart = true;
        main.m_szSourceFolder = dir / "tree/";
        main.m_szTargetFolder = main.m_szSourceFolder;

        ModalDriver driver;
        // Save, then Cancel, then Cancel.
        driver.Then<CMainDlg>([](CMainDlg* m) { QVERIFY(ClickButton(m, IDC_OUTPUT_ALL)); })
            .Then<COutputOptionsDlg>([](COutputOptionsDlg* o) { QVERIFY(ClickButton(o, IDC_COLUMN_TITLES)); })
            .Then<CColumnTitlesDlg>([&strSettings](CColumnTitlesDlg* t) {
                QCOMPARE(Edit(t, IDC_EDIT_TITLE1)->text(), QStringLiteral("Alpha"));
                QCOMPARE(Edit(t, IDC_EDIT_TITLE2)->text(), QStringLiteral("FileDate&Time"));
                QCOMPARE(t->GetBgColorText(), std::string("#00ff00"));
                Edit(t, IDC_EDIT_TITLE1)->setText(QStringLiteral("Beta"));
                QVERIFY(ClickButton(t, IDC_SAVE_SETTINGS));
                QVERIFY(ReadAll(strSettings).find("VALUE1=Beta\r\n") != std::string::npos);
                QVERIFY(ClickButton(t, IDCANCEL));
            })
            .Then<COutputOptionsDlg>([](COutputOptionsDlg* o) {
                QCOMPARE(o->m_strTitle1, std::string("Alpha"));
                QVERIFY(ClickButton(o, IDCANCEL));
            })
            // OK, OK, then the export writes the file.
            .Then<CMainDlg>([](CMainDlg* m) {
                QCOMPARE(m->m_strTitleName, std::string("Alpha"));
                QCOMPARE(m->m_strBgColor, std::string("#00FF00"));
                QVERIFY(ClickButton(m, IDC_OUTPUT_ALL));
            })
            .Then<COutputOptionsDlg>([](COutputOptionsDlg* o) { QVERIFY(ClickButton(o, IDC_COLUMN_TITLES)); })
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
            .Then<COutputOptionsDlg>([](COutputOptionsDlg* o) {
                QCOMPARE(o->m_strTitle1, std::string("名前"));
                QCOMPARE(o->m_strBgColor, std::string("#ab12cd"));
                QVERIFY(ClickButton(o, IDOK));
            })
            .Then<QFileDialog>([&strOutput](QFileDialog* f) {
                // The name field, as a user types into it.
                auto* pName = f->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                QVERIFY(pName != nullptr);
                pName->setText(QString::fromStdString(strOutput));
                static_cast<QDialog*>(f)->accept();  // QFileDialog::accept, reached through QDialog
            })
            .Then<QMessageBox>([](QMessageBox* box) { QVERIFY(ClickButtonText(box, QStringLiteral("いいえ(&N)"))); })
            .Then<CMainDlg>([](CMainDlg* m) { QVERIFY(ClickButton(m, IDCANCEL)); });
        main.DoModal();
        QVERIFY2(driver.Finished(), qPrintable(driver.Error()));
        QCOMPARE(main.m_strTitleName, std::string("名前"));
        QCOMPARE(main.m_strBgColor, std::string("#ab12cd"));
        const std::string strHtml = ReadAll(strOutput);
        QVERIFY2(strHtml.find("<TD bgColor=#ab12cd><FONT class=VERDANA color=#ffffff>名前</FONT></TD>") !=
                     std::string::npos,
                 strHtml.c_str());
        // The saved titles are not what the main window exported with.
        QVERIFY(ReadAll(strSettings).find("VALUE1=Beta\r\n") != std::string::npos);
    }
};

QTEST_MAIN(ColumnTitlesTest)
#include "ColumnTitlesTest.moc"
