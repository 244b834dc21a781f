// Window tests of the output options dialog on its own: the state it opens
// in, the OK rule, the controls that follow the file-name column and the
// texts it reports in the code page.
#include <QLineEdit>
#include <QtTest>

#include <initializer_list>
#include <string>

#include "export/OutputOptionsDlg.h"
#include "platform/CodePage.h"
#include "res/Resource.h"
#include "support/ModalDriver.h"

using namespace norvane;
using namespace norvane::test;

class ExportOptionsTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { SetCodePage(kCodePageUtf8); }

    // Opened with headings not allowed: the heading box greyed but checked;
    // Enter (OK) at once reports the state every export starts from.
    void opensWithDefaultsAndReportsThem() {
        COutputOptionsDlg dlg;
        dlg.m_bFolderHeadingAllowed = false;
        ModalDriver driver;
        driver.Then<COutputOptionsDlg>([](COutputOptionsDlg* d) {
            QVERIFY(d->grab().save(OutputPath("output-options.png")));
            QVERIFY(!IsEnabled(d, IDC_CHK_FOLDERHEADING));
            for (int nId : {IDOK, IDCANCEL, IDC_RAD_NAMEONLY, IDC_RAD_WITHPATH, IDC_COLUMN_TITLES, IDC_CHK_PREFIX,
                            IDC_CHK_SUFFIX}) {
                QVERIFY2(IsEnabled(d, nId), qPrintable(QString::number(nId)));
            }
            QVERIFY(!IsEnabled(d, IDC_EDIT_PREFIX) && !IsEnabled(d, IDC_EDIT_SUFFIX));
            QVERIFY(d->GetDlgItemAs<QLineEdit>(IDC_EDIT_PREFIX)->text().isEmpty() &&
                    d->GetDlgItemAs<QLineEdit>(IDC_EDIT_SUFFIX)->text().isEmpty());
            QTest::keyClick(d, Qt::Key_Return);
        });
        QCOMPARE(dlg.DoModal(), IDOK);
        QVERIFY2(driver.Finished(), qPrintable(driver.Error()));
        QCOMPARE(dlg.m_bHtml + dlg.m_bText * 2 + dlg.m_bCsv * 4, 1);
        QCOMPARE(dlg.m_bFileName + dlg.m_bFileDateTime + dlg.m_bFileSize + dlg.m_bVersion, 4);
        QCOMPARE(dlg.m_bExpansion + dlg.m_bDirectory + dlg.m_bPrefix + dlg.m_bSuffix, 0);
        QCOMPARE(dlg.m_bFolderHeading, 1);
        QCOMPARE(dlg.m_nNameDisplay, 0);
    }

    // No column, no OK (Enter included); the name's options grey with the
    // name column and come back as they were, each edit only with its box.
    void okRuleAndNameOptions() {
        COutputOptionsDlg dlg;
        ModalDriver driver;
        driver.Then<COutputOptionsDlg>([](COutputOptionsDlg* d) {
            QVERIFY(IsEnabled(d, IDC_CHK_FOLDERHEADING));
            for (int nId : {IDC_CHK_FILEDATETIME, IDC_CHK_FILESIZE, IDC_CHK_VERSION, IDC_CHK_FILENAME}) {
                QVERIFY(ClickButton(d, nId));
            }
            QVERIFY(!IsEnabled(d, IDOK));
            QTest::keyClick(d, Qt::Key_Return);
            QVERIFY(d->isVisible());
            QVERIFY(ClickButton(d, IDC_CHK_EXPANSION));
            QVERIFY(IsEnabled(d, IDOK));
            QVERIFY(ClickButton(d, IDC_CHK_EXPANSION));
            QVERIFY(!IsEnabled(d, IDOK));
            QVERIFY(ClickButton(d, IDC_CHK_DIRECTORY));
            QVERIFY(IsEnabled(d, IDOK));

            // Name column off: radios, boxes and edits grey, states kept.
            QVERIFY(ClickButton(d, IDC_CHK_FILENAME));
            QVERIFY(ClickButton(d, IDC_RAD_WITHPATH));
            QVERIFY(ClickButton(d, IDC_CHK_PREFIX));
            QVERIFY(IsEnabled(d, IDC_EDIT_PREFIX));
            QVERIFY(ClickButton(d, IDC_CHK_FILENAME));
            for (int nId : {IDC_RAD_NAMEONLY, IDC_RAD_WITHPATH, IDC_CHK_PREFIX, IDC_CHK_SUFFIX, IDC_EDIT_PREFIX,
                            IDC_EDIT_SUFFIX}) {
                QVERIFY2(!IsEnabled(d, nId), qPrintable(QString::number(nId)));
            }
            QVERIFY(ClickButton(d, IDC_CHK_FILENAME));
            for (int nId : {IDC_RAD_NAMEONLY, IDC_RAD_WITHPATH, IDC_CHK_PREFIX, IDC_CHK_SUFFIX, IDC_EDIT_PREFIX}) {
                QVERIFY2(IsEnabled(d, nId), qPrintable(QString::number(nId)));
            }
            QVERIFY(!IsEnabled(d, IDC_EDIT_SUFFIX));

            QVERIFY(ClickButton(d, IDC_CHK_SUFFIX));
            QVERIFY(IsEnabled(d, IDC_EDIT_SUFFIX));
            TypeText(d->GetDlgItem(IDC_EDIT_SUFFIX), QStringLiteral("]"));
            QVERIFY(ClickButton(d, IDC_CHK_PREFIX));
            QVERIFY(!IsEnabled(d, IDC_EDIT_PREFIX));
            QVERIFY(ClickButton(d, IDC_RAD_CSV));
            QVERIFY(ClickButton(d, IDOK));
        });
        QCOMPARE(dlg.DoModal(), IDOK);
        QVERIFY2(driver.Finished(), qPrintable(driver.Error()));
        QCOMPARE(dlg.m_bCsv, 1);
        QCOMPARE(dlg.m_bHtml + dlg.m_bText, 0);
        QCOMPARE(dlg.m_nNameDisplay, 1);
        QCOMPARE(dlg.m_bFileName, 1);
        QCOMPARE(dlg.m_bDirectory, 1);
        QCOMPARE(dlg.m_bFileDateTime + dlg.m_bFileSize + dlg.m_bVersion + dlg.m_bExpansion, 0);
        QCOMPARE(dlg.m_bPrefix, 0);
        QCOMPARE(dlg.m_bSuffix, 1);
        QCOMPARE(dlg.m_strSuffix, std::string("]"));
    }

    // Tab and Shift+Tab into a radio group land on its checked button, so
    // that Space changes nothing: HTML at first, CSV once it is chosen; Tab
    // leaves the group at once. The group box's mnemonic does the same.
    void tabIntoARadioGroupFocusesItsCheckedButton() {
        COutputOptionsDlg dlg;
        ModalDriver driver;
        driver.Then<COutputOptionsDlg>([](COutputOptionsDlg* d) {
            auto press = [d](Qt::Key nKey, Qt::KeyboardModifiers mods = {}) {
                QTest::keyClick(d->focusWidget(), nKey, mods);
                return d->focusWidget();
            };
            QWidget* pDirectory = d->GetDlgItem(IDC_CHK_DIRECTORY);
            pDirectory->setFocus(Qt::OtherFocusReason);
            QCOMPARE(press(Qt::Key_Tab), d->GetDlgItem(IDC_RAD_HTML));
            press(Qt::Key_Space);
            QVERIFY(IsChecked(d, IDC_RAD_HTML) && !IsChecked(d, IDC_RAD_TEXT));
            QCOMPARE(press(Qt::Key_Tab), d->GetDlgItem(IDC_RAD_NAMEONLY));
            QCOMPARE(press(Qt::Key_Tab), d->GetDlgItem(IDC_COLUMN_TITLES));
            QCOMPARE(press(Qt::Key_Backtab), d->GetDlgItem(IDC_RAD_NAMEONLY));
            QCOMPARE(press(Qt::Key_Backtab), d->GetDlgItem(IDC_RAD_HTML));
            QCOMPARE(press(Qt::Key_Backtab), pDirectory);

            QVERIFY(ClickButton(d, IDC_RAD_CSV));
            QVERIFY(ClickButton(d, IDC_RAD_WITHPATH));
            pDirectory->setFocus(Qt::OtherFocusReason);
            QCOMPARE(press(Qt::Key_Tab), d->GetDlgItem(IDC_RAD_CSV));
            QCOMPARE(press(Qt::Key_Tab), d->GetDlgItem(IDC_RAD_WITHPATH));
            pDirectory->setFocus(Qt::OtherFocusReason);
            QCOMPARE(press(Qt::Key_O, Qt::AltModifier), d->GetDlgItem(IDC_RAD_CSV));
            press(Qt::Key_Space);
            QVERIFY(IsChecked(d, IDC_RAD_CSV));
            QVERIFY(ClickButton(d, IDCANCEL));
        });
        QCOMPARE(dlg.DoModal(), IDCANCEL);
        QVERIFY2(driver.Finished(), qPrintable(driver.Error()));
    }

    // Typed texts come back in the code page.
    void textsInCodePage() {
        SetCodePage(kCodePageShiftJis);
        COutputOptionsDlg dlg;
        ModalDriver driver;
        driver.Then<COutputOptionsDlg>([](COutputOptionsDlg* d) {
            QVERIFY(ClickButton(d, IDC_CHK_PREFIX));
            TypeText(d->GetDlgItem(IDC_EDIT_PREFIX), QStringLiteral("【表"));
            QVERIFY(ClickButton(d, IDOK));
        });
        QCOMPARE(dlg.DoModal(), IDOK);
        QVERIFY2(driver.Finished(), qPrintable(driver.Error()));
        QCOMPARE(dlg.m_strPrefix, std::string("\x81\x79\x95\x5c"));  // "【表" in 932
    }
};

QTEST_MAIN(ExportOptionsTest)
#include "ExportOptionsTest.moc"
