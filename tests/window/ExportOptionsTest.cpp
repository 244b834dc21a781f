// Window tests of the output options dialog on its own: the state it opens
// in, the value it shows and gives back, the OK rule, the controls that
// follow the file-name column, the tab stops of its radio groups and the
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

namespace {

// Runs the dialog; fnSteps acts on it and ends it.
int Run(COutputOptionsDlg& dlg, const std::function<void(COutputOptionsDlg*)>& fnSteps) {
    ModalDriver driver;
    driver.Then<COutputOptionsDlg>(fnSteps);
    const int nResult = dlg.exec();
    if (!driver.Finished()) qWarning("driver: %s", qPrintable(driver.Error()));
    return nResult;
}

}  // namespace

class ExportOptionsTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { SetCodePage(kCodePageUtf8); }

    // Opened with headings not allowed: the heading box greyed but checked,
    // the edits empty and greyed; Enter (OK) at once gives back the settings
    // every export starts from, the heading included.
    void opensWithDefaultsAndReportsThem() {
        COutputOptionsDlg dlg;
        dlg.setFolderHeadingAllowed(false);
        const int nResult = Run(dlg, [](COutputOptionsDlg* d) {
            QVERIFY(d->grab().save(OutputPath("output-options.png")));
            QVERIFY(!IsEnabled(d, IDC_CHK_FOLDERHEADING));
            for (int nId : {IDOK, IDCANCEL, IDC_RAD_NAMEONLY, IDC_RAD_WITHPATH, IDC_COLUMN_TITLES, IDC_CHK_PREFIX,
                            IDC_CHK_SUFFIX}) {
                QVERIFY2(IsEnabled(d, nId), qPrintable(QString::number(nId)));
            }
            QVERIFY(!IsEnabled(d, IDC_EDIT_PREFIX) && !IsEnabled(d, IDC_EDIT_SUFFIX));
            QVERIFY(d->Control<QLineEdit>(IDC_EDIT_PREFIX)->text().isEmpty() &&
                    d->Control<QLineEdit>(IDC_EDIT_SUFFIX)->text().isEmpty());
            QTest::keyClick(d, Qt::Key_Return);
        });
        QCOMPARE(nResult, QDialog::Accepted);
        QVERIFY(dlg.settings() == ExportSettings());
    }

    // A value set is what the controls show, and OK gives it back as it
    // was, the sizes (which the dialog does not show) and titles included.
    void showsTheSettingsItIsGivenAndGivesThemBack() {
        ExportSettings settings;
        settings.format = ExportFormat::kCsv;
        settings.columns = {true, false, false, false, true, true};
        settings.nameOnly = false;
        settings.prefix = "前";
        settings.folderHeadings = false;
        settings.formattedSize = true;
        settings.titles.titles[1] = "日時";
        COutputOptionsDlg dlg;
        dlg.setSettings(settings);
        const int nResult = Run(dlg, [](COutputOptionsDlg* d) {
            QVERIFY(IsChecked(d, IDC_RAD_CSV) && IsChecked(d, IDC_RAD_WITHPATH) && IsChecked(d, IDC_CHK_EXPANSION));
            QVERIFY(!IsChecked(d, IDC_CHK_FILESIZE) && !IsChecked(d, IDC_CHK_FOLDERHEADING));
            QVERIFY(IsChecked(d, IDC_CHK_PREFIX) && IsEnabled(d, IDC_EDIT_PREFIX) && !IsEnabled(d, IDC_EDIT_SUFFIX));
            QCOMPARE(d->Control<QLineEdit>(IDC_EDIT_PREFIX)->text(), QStringLiteral("前"));
            QVERIFY(ClickButton(d, IDOK));
        });
        QCOMPARE(nResult, QDialog::Accepted);
        QVERIFY(dlg.settings() == settings);
    }

    // No column, no OK (Enter included); any one column gives it back.
    void okNeedsAColumn() {
        COutputOptionsDlg dlg;
        const int nResult = Run(dlg, [](COutputOptionsDlg* d) {
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
            QVERIFY(ClickButton(d, IDOK));
        });
        QCOMPARE(nResult, QDialog::Accepted);
        QCOMPARE(dlg.settings().columns,
                 (std::array<bool, kExportColumnCount>{false, false, false, false, false, true}));
    }

    // The name's options grey with the name column and come back as they
    // were, each edit only with its box; a suffix typed comes back, a prefix
    // whose box was unchecked again does not.
    void nameOptionsFollowTheNameColumn() {
        COutputOptionsDlg dlg;
        const int nResult = Run(dlg, [](COutputOptionsDlg* d) {
            QVERIFY(ClickButton(d, IDC_RAD_WITHPATH));
            QVERIFY(ClickButton(d, IDC_CHK_PREFIX));
            TypeText(d->Control(IDC_EDIT_PREFIX), QStringLiteral("["));
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
            QVERIFY(IsChecked(d, IDC_RAD_WITHPATH));
            QVERIFY(ClickButton(d, IDC_CHK_SUFFIX));
            QVERIFY(IsEnabled(d, IDC_EDIT_SUFFIX));
            TypeText(d->Control(IDC_EDIT_SUFFIX), QStringLiteral("]"));
            QVERIFY(ClickButton(d, IDC_CHK_PREFIX));
            QVERIFY(!IsEnabled(d, IDC_EDIT_PREFIX));
            QVERIFY(ClickButton(d, IDOK));
        });
        QCOMPARE(nResult, QDialog::Accepted);
        QVERIFY(!dlg.settings().nameOnly);
        QCOMPARE(dlg.settings().prefix, std::string());
        QCOMPARE(dlg.settings().suffix, std::string("]"));
    }

    // Tab and Shift+Tab into a radio group land on its checked button, so
    // that Space changes nothing: HTML at first, CSV once it is chosen; Tab
    // leaves the group at once. The group box's mnemonic does the same.
    void tabIntoARadioGroupFocusesItsCheckedButton() {
        COutputOptionsDlg dlg;
        const int nResult = Run(dlg, [](COutputOptionsDlg* d) {
            auto press = [d](Qt::Key nKey, Qt::KeyboardModifiers mods = {}) {
                QTest::keyClick(d->focusWidget(), nKey, mods);
                return d->focusWidget();
            };
            QWidget* pDirectory = d->Control(IDC_CHK_DIRECTORY);
            pDirectory->setFocus(Qt::OtherFocusReason);
            QCOMPARE(press(Qt::Key_Tab), d->Control(IDC_RAD_HTML));
            press(Qt::Key_Space);
            QVERIFY(IsChecked(d, IDC_RAD_HTML) && !IsChecked(d, IDC_RAD_TEXT));
            QCOMPARE(press(Qt::Key_Tab), d->Control(IDC_RAD_NAMEONLY));
            QCOMPARE(press(Qt::Key_Tab), d->Control(IDC_COLUMN_TITLES));
            QCOMPARE(press(Qt::Key_Backtab), d->Control(IDC_RAD_NAMEONLY));
            QCOMPARE(press(Qt::Key_Backtab), d->Control(IDC_RAD_HTML));
            QCOMPARE(press(Qt::Key_Backtab), pDirectory);

            QVERIFY(ClickButton(d, IDC_RAD_CSV));
            QVERIFY(ClickButton(d, IDC_RAD_WITHPATH));
            pDirectory->setFocus(Qt::OtherFocusReason);
            QCOMPARE(press(Qt::Key_Tab), d->Control(IDC_RAD_CSV));
            QCOMPARE(press(Qt::Key_Tab), d->Control(IDC_RAD_WITHPATH));
            pDirectory->setFocus(Qt::OtherFocusReason);
            QCOMPARE(press(Qt::Key_O, Qt::AltModifier), d->Control(IDC_RAD_CSV));
            press(Qt::Key_Space);
            QVERIFY(IsChecked(d, IDC_RAD_CSV));
            QVERIFY(ClickButton(d, IDCANCEL));
        });
        QCOMPARE(nResult, QDialog::Rejected);
    }

    // Typed texts come back in the code page.
    void textsInCodePage() {
        SetCodePage(kCodePageShiftJis);
        COutputOptionsDlg dlg;
        const int nResult = Run(dlg, [](COutputOptionsDlg* d) {
            QVERIFY(ClickButton(d, IDC_CHK_PREFIX));
            TypeText(d->Control(IDC_EDIT_PREFIX), QStringLiteral("【表"));
            QVERIFY(ClickButton(d, IDOK));
        });
        QCOMPARE(nResult, QDialog::Accepted);
        QCOMPARE(dlg.settings().prefix, std::string("\x81\x79\x95\x5c"));  // "【表" in 932
    }
};

QTEST_MAIN(ExportOptionsTest)
#include "ExportOptionsTest.moc"
