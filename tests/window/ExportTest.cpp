// Window tests of exporting from the main window: the whole modal chain as a
// user goes through it, and the file on disk.
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QtTest>

#include <sys/resource.h>

#include <csignal>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/MainDlg.h"
#include "app/QtTranslations.h"
#include "catalogue/BackgroundScan.h"
#include "export/ColumnTitlesDlg.h"
#include "export/ListExporterRun.h"
#include "export/OutputOptionsDlg.h"
#include "platform/CodePage.h"
#include "platform/Paths.h"
#include "settings/SettingsFile.h"
#include "support/MainWindow.h"
#include "support/ModalDriver.h"
#include "support/PoolGate.h"
#include "support/TempDir.h"

using namespace norvane;
using namespace norvane::test;

namespace {

QString Q(const std::string& str) { return QString::fromStdString(str); }

void ClickRow(CMainDlg* d, int nRow, Qt::KeyboardModifiers mods = {}) {
    CListCtrl* pView = d->m_listFiles;
    QCoreApplication::processEvents();
    QTest::mouseClick(pView->viewport(), Qt::LeftButton, mods,
                      pView->visualRect(pView->model()->index(nRow, 0)).center());
}

// Types over the whole text, as a user does who selects it first: the field
// is never empty in between (an empty name field makes the save dialog
// select its folder in the list, which Enter would then open).
void ReplaceText(QWidget* pWidget, const QString& strText) {
    auto* pEdit = qobject_cast<QLineEdit*>(pWidget);
    QVERIFY(pEdit != nullptr);
    pEdit->setFocus(Qt::OtherFocusReason);
    pEdit->selectAll();
    TypeText(pEdit, strText);
}

// Types a path into the save dialog's name field and presses Enter.
void TypeSavePath(QFileDialog* f, const std::string& strPath) {
    // The dialog reads its folder in the background and then selects the
    // proposed file anew, and it fills the name field from its list unless
    // the field has the focus: a user types into a dialog that is active and
    // shows its folder, and so does the test.
    auto* pModel = f->findChild<QFileSystemModel*>();
    QVERIFY(pModel != nullptr);
    f->activateWindow();  // back from a question box, nothing else does it offscreen
    QTRY_VERIFY(f->isActiveWindow());
    QTRY_VERIFY(pModel->rowCount(pModel->index(f->directory().absolutePath())) > 0);
    auto* pEdit = f->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ReplaceText(pEdit, Q(strPath));
    if (QWidget* pPopup = QApplication::activePopupWidget()) pPopup->close();  // the name completer
    QCOMPARE(pEdit->text(), Q(strPath));
    QTest::keyClick(pEdit, Qt::Key_Return);
}

// A file size limit stands for a disk that fills up while a file is written.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t nBytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        const struct rlimit small { nBytes, m_old.rlim_max };
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    struct rlimit m_old {};
    void (*m_oldHandler)(int) = nullptr;
};

}  // namespace

class ExportTest : public QObject {
    Q_OBJECT

    TempDir m_dir;
    std::vector<std::string> m_opened;
    // Where every run proposes its file: the program's own folder.
    const QString m_strOwnFolder = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    const QString m_strProposedHtml = m_strOwnFolder + QStringLiteral("Carvel.html");
    const bool m_bProposedExisted = QFile::exists(m_strProposedHtml);

    std::string ListFolder() const { return m_dir / "list"; }

    // The main window on the list folder; the driver's steps act on it and
    // must end it.
    void RunWindow(ModalDriver& driver) {
        CMainDlg dlg;
        dlg.SetFolder(ListFolder());
        dlg.exec();
        QVERIFY2(driver.Finished(), qPrintable(driver.Error()));
    }

private slots:
    void initTestCase() {
        // As the program does at start-up: Qt's own dialogs in Japanese.
        QVERIFY(InstallQtTranslations());
        SetSettingsPath(m_dir / "Norvane.ini");
        // Sizes 30, 10, 20, 40: a sort by size reorders the scan's rows.
        QVERIFY(m_dir.MakeFolder("list") && m_dir.MakeFolder("list/sub"));
        QVERIFY(m_dir.MakeFile("list/thirty.txt", std::string(30, 'c')));
        QVERIFY(m_dir.MakeFile("list/ten.log", std::string(10, 'a')));
        QVERIFY(m_dir.MakeFile("list/twenty", std::string(20, 'b')));
        QVERIFY(m_dir.MakeFile("list/sub/forty.txt", std::string(40, 'd')));
        SetFileOpener([this](const std::string& strPath) {
            m_opened.push_back(strPath);
            return true;
        });
    }
    void init() { m_opened.clear(); }
    void cleanupTestCase() {
        SetFileOpener({});
        SetSettingsPath({});
        // No run left a file where the program's folder was proposed.
        if (!m_bProposedExisted) QVERIFY(!QFile::exists(m_strProposedHtml));
    }

    // No row selected: a box with the program's name and nothing else.
    void noSelectedRowShowsABox() {
        ModalDriver driver(10000);
        driver.ThenSettled<CMainDlg>([](CMainDlg* d) { QVERIFY(ClickButton(d, IDC_OUTPUT_SELECTED)); })
            .Then<QMessageBox>([](QMessageBox* b) {
                QCOMPARE(
                    b->text(),
                    QStringLiteral("出力する行が選択されていません。\nリストボックスで出力する行を選んでください。"));
                QCOMPARE(b->icon(), QMessageBox::Information);
                QCOMPARE(b->windowTitle(), QCoreApplication::applicationName());
                QVERIFY(ClickButtonText(b, QStringLiteral("OK")));
            })
            .ThenSettled<CMainDlg>([](CMainDlg* d) { QVERIFY(ClickButton(d, IDCANCEL)); });
        RunWindow(driver);
        QVERIFY(m_opened.empty());
    }

    // All rows (sorted by folder) as TEXT into a name without extension (none
    // is added), from the save dialog's one filter, which lists every name;
    // the rows in list order with a heading at each change of folder. No to
    // the question opens nothing.
    void allRowsAreWrittenInListOrder() {
        const std::string strOut = m_dir / "out";
        const std::string strMark(MarkBlackCircle());
        ModalDriver driver(10000);
        driver
            .ThenSettled<CMainDlg>([](CMainDlg* d) {
                ClickHeader(d, 2);
                ClickHeader(d, 5);  // by folder, ties kept in size order: headings allowed
                QVERIFY(ClickButton(d, IDC_OUTPUT_ALL));
            })
            .Then<COutputOptionsDlg>([](COutputOptionsDlg* o) {
                for (int nId : {IDC_RAD_TEXT, IDC_CHK_FILEDATETIME, IDC_CHK_VERSION, IDC_CHK_PREFIX, IDC_CHK_SUFFIX})
                    QVERIFY(ClickButton(o, nId));  // the prefix checked, nothing typed: no prefix
                ReplaceText(o->Control(IDC_EDIT_SUFFIX), QStringLiteral("]"));
                QVERIFY(ClickButton(o, IDOK));
            })
            .Then<QFileDialog>([&](QFileDialog* f) {
                QCOMPARE(f->selectedFiles().value(0), m_strOwnFolder + QStringLiteral("Carvel.txt"));
                // Three files and the subfolder.
                auto* pTypes = f->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
                QVERIFY(pTypes != nullptr && pTypes->count() == 1);
                QCOMPARE(pTypes->currentText(), QStringLiteral("全て(*.*)"));
                f->setDirectory(Q(ListFolder()));
                auto* pModel = f->findChild<QFileSystemModel*>();
                QVERIFY(pModel != nullptr);
                QTRY_COMPARE(pModel->rowCount(pModel->index(Q(ListFolder()))), 4);
                TypeSavePath(f, strOut);
            })
            .Then<QMessageBox>([&](QMessageBox* b) {
                QCOMPARE(b->windowTitle(), QStringLiteral("出力先"));
                QCOMPARE(b->text(), Q(strOut) + QStringLiteral("\n出力されたファイルを表示しますか？"));
                QCOMPARE(b->icon(), QMessageBox::NoIcon);
                QVERIFY(ClickButtonText(b, QStringLiteral("いいえ(&N)")));
            })
            .ThenSettled<CMainDlg>([](CMainDlg* d) { QVERIFY(ClickButton(d, IDCANCEL)); });
        RunWindow(driver);
        QVERIFY(m_opened.empty());
        QCOMPARE(ReadAll(strOut), strMark + ListFolder() + "/\r\nten.log]\t10\r\ntwenty]\t20\r\nthirty.txt]\t30\r\n" +
                                      strMark + ListFolder() + "/sub/\r\nforty.txt]\t40\r\n");
    }

    // A second export from the same window starts from the defaults again
    // (a sort by size greys the heading box) and proposes the program's
    // folder again, under the new format's name.
    void aSecondExportStartsFromTheDefaults() {
        ModalDriver driver(10000);
        driver.ThenSettled<CMainDlg>([](CMainDlg* d) { QVERIFY(ClickButton(d, IDC_OUTPUT_ALL)); })
            .Then<COutputOptionsDlg>([](COutputOptionsDlg* o) {
                for (int nId : {IDC_RAD_TEXT, IDC_CHK_PREFIX, IDC_CHK_SUFFIX}) QVERIFY(ClickButton(o, nId));
                QVERIFY(ClickButton(o, IDOK));
            })
            .Then<QFileDialog>([&](QFileDialog* f) { TypeSavePath(f, m_dir / "first.txt"); })
            .Then<QMessageBox>([](QMessageBox* b) { QVERIFY(ClickButtonText(b, QStringLiteral("いいえ(&N)"))); })
            .ThenSettled<CMainDlg>([](CMainDlg* d) {
                ClickHeader(d, 2);
                QVERIFY(ClickButton(d, IDC_OUTPUT_ALL));
            })
            .Then<COutputOptionsDlg>([](COutputOptionsDlg* o) {
                QVERIFY(IsChecked(o, IDC_RAD_HTML) && !IsChecked(o, IDC_RAD_TEXT));
                QVERIFY(!IsChecked(o, IDC_CHK_PREFIX) && !IsChecked(o, IDC_CHK_SUFFIX));
                QVERIFY(!IsEnabled(o, IDC_CHK_FOLDERHEADING));  // sorted by size: headings not allowed
                QVERIFY(ClickButton(o, IDC_RAD_CSV));
                QVERIFY(ClickButton(o, IDOK));
            })
            .Then<QFileDialog>([&](QFileDialog* f) {
                QCOMPARE(f->selectedFiles().value(0), m_strOwnFolder + QStringLiteral("Carvel.csv"));
                QCOMPARE(f->windowTitle(), QStringLiteral("名前を付けて保存"));
                QVERIFY(f->grab().save(OutputPath("save-dialog.png")));
                QTest::keyClick(f, Qt::Key_Escape);
            })
            .ThenSettled<CMainDlg>([](CMainDlg* d) { QVERIFY(ClickButton(d, IDCANCEL)); });
        RunWindow(driver);
    }

    // Two rows selected apart (the later one first) are written in display
    // order, with their heading though the box is greyed. The save dialog
    // asks before it replaces a file: No keeps the dialog open and the file
    // as it was, Yes replaces it; Yes to the question opens the file.
    void selectedRowsReplaceAFileOnlyWhenTheUserSaysSo() {
        const std::string strOut = m_dir / "out";
        QVERIFY(m_dir.MakeFile("out", "kept"));
        ModalDriver driver(10000);
        driver
            .ThenSettled<CMainDlg>([](CMainDlg* d) {
                ClickHeader(d, 2);
                ClickRow(d, 2);
                ClickRow(d, 0, Qt::ControlModifier);
                QVERIFY(ClickButton(d, IDC_OUTPUT_SELECTED));
            })
            .Then<COutputOptionsDlg>([](COutputOptionsDlg* o) {
                for (int nId : {IDC_RAD_CSV, IDC_CHK_FILEDATETIME, IDC_CHK_FILESIZE, IDC_CHK_VERSION})
                    QVERIFY(ClickButton(o, nId));
                QVERIFY(ClickButton(o, IDOK));
            })
            .Then<QFileDialog>([&](QFileDialog* f) { TypeSavePath(f, strOut); });
        auto replaceQuestion = [](const QString& strAnswer) {
            return [strAnswer](QMessageBox* b) {
                QCOMPARE(b->windowTitle(), QStringLiteral("名前を付けて保存"));
                QCOMPARE(b->text(), QStringLiteral("out は既に存在します。\n置き換えますか?"));
                QVERIFY(ClickButtonText(b, strAnswer));
            };
        };
        driver.Then<QMessageBox>(replaceQuestion(QStringLiteral("いいえ(&N)")))
            .Then<QFileDialog>([&](QFileDialog* f) {
                QCOMPARE(ReadAll(strOut), std::string("kept"));
                TypeSavePath(f, strOut);
            })
            .Then<QMessageBox>(replaceQuestion(QStringLiteral("はい(&Y)")))
            .Then<QMessageBox>([](QMessageBox* b) { QVERIFY(ClickButtonText(b, QStringLiteral("はい(&Y)"))); })
            .ThenSettled<CMainDlg>([](CMainDlg* d) { QVERIFY(ClickButton(d, IDCANCEL)); });
        RunWindow(driver);
        QCOMPARE(m_opened, std::vector<std::string>{strOut});
        QCOMPARE(ReadAll(strOut), "FileName,\r\n" + std::string(MarkBlackCircle()) + ListFolder() +
                                      "/\r\n\"ten.log\"\r\n\"thirty.txt\"\r\n");
    }

    // A title changed in the titles dialog is dropped when the options dialog
    // is cancelled, kept once it is confirmed, even if the save dialog is
    // then cancelled; no cancel writes a file, and the settings file is not
    // touched.
    void titlesStayOnlyWhenTheOptionsAreConfirmed() {
        ModalDriver driver(10000);
        for (int nButton : {IDCANCEL, IDOK}) {
            driver
                .ThenSettled<CMainDlg>([](CMainDlg* d) {
                    QCOMPARE(d->exportSettings().titles.titles[0], std::string("FileName"));
                    QVERIFY(ClickButton(d, IDC_OUTPUT_ALL));
                })
                .Then<COutputOptionsDlg>([](COutputOptionsDlg* o) { QVERIFY(ClickButton(o, IDC_COLUMN_TITLES)); })
                .Then<CColumnTitlesDlg>([](CColumnTitlesDlg* t) {
                    ReplaceText(t->Control(IDC_EDIT_TITLE1), QStringLiteral("名前"));
                    QVERIFY(ClickButton(t, IDOK));
                })
                .Then<COutputOptionsDlg>([nButton](COutputOptionsDlg* o) { QVERIFY(ClickButton(o, nButton)); });
        }
        driver.Then<QFileDialog>([](QFileDialog* f) { QTest::keyClick(f, Qt::Key_Escape); })
            .ThenSettled<CMainDlg>([](CMainDlg* d) {
                QCOMPARE(d->exportSettings().titles.titles[0], std::string("名前"));
                QVERIFY(ClickButton(d, IDCANCEL));
            });
        RunWindow(driver);
        QVERIFY(m_opened.empty());
        QVERIFY(ReadAll(m_dir / "Norvane.ini").find("名前") == std::string::npos);
    }

    // A file that cannot be opened (missing folder) or written (full disk)
    // is told in a box with the path and the reason in Japanese, a file that
    // was there stays whole, and the save dialog opens again on the name that
    // failed (in the program's folder when its own is missing): another place
    // gets the options chosen; nothing is opened.
    void failedExportsOfferAnotherPlace() {
        const std::string strKept = m_dir / "kept.csv";
        const std::string strMissing = m_dir / "missing/out.html";
        const std::string strRetry = m_dir / "retry.txt";
        const std::string strMark(MarkBlackCircle());
        QVERIFY(m_dir.MakeFile("kept.csv", "kept\r\n"));
        const struct {
            std::string strPath;
            QString strText;      // the box's
            QString strProposed;  // where the save dialog opens next
        } failures[] = {
            {strMissing, QStringLiteral("出力先のファイルを開けませんでした。\n%1\n指定されたパスが見つかりません。"),
             m_strOwnFolder + QStringLiteral("out.html")},
            {"/dev/full",
             QStringLiteral("出力先のファイルに書き込めませんでした。ファイルは不完全です。\n%1\n"
                            "ディスクに十分な空き領域がありません。"),
             QStringLiteral("/dev/full")},
            // A file that is there, over a disk that fills up: it stays.
            {strKept,
             QStringLiteral("出力先のファイルに書き込めませんでした。出力先は変更されていません。\n%1\n"
                            "ファイル サイズが制限を超えているため、保存できません。"),
             Q(strKept)}};
        auto failureBox = [](const QString& strText) {
            return [strText](QMessageBox* b) {
                QCOMPARE(b->icon(), QMessageBox::Warning);
                QCOMPARE(b->windowTitle(), QCoreApplication::applicationName());
                QCOMPARE(b->text(), strText);
                QVERIFY(ClickButtonText(b, QStringLiteral("OK")));
            };
        };
        std::optional<FileSizeLimit> fileSizeLimit;
        ModalDriver driver(10000);
        driver
            .ThenSettled<CMainDlg>([](CMainDlg* d) {
                ClickHeader(d, 2);  // by size: the rows in a known order
                QVERIFY(ClickButton(d, IDC_OUTPUT_ALL));
            })
            .Then<COutputOptionsDlg>([](COutputOptionsDlg* o) {
                for (int nId : {IDC_RAD_TEXT, IDC_CHK_FILEDATETIME, IDC_CHK_VERSION}) QVERIFY(ClickButton(o, nId));
                QVERIFY(ClickButton(o, IDOK));
            });
        const QString* pProposed = nullptr;
        for (const auto& c : failures) {
            driver.Then<QFileDialog>([&, pProposed](QFileDialog* f) {
                if (pProposed != nullptr) QCOMPARE(f->selectedFiles().value(0), *pProposed);
                if (c.strPath == strKept) fileSizeLimit.emplace(64);
                TypeSavePath(f, c.strPath);
            });
            // A file that is there is replaced only when the user says so.
            if (c.strPath != strMissing) {
                driver.Then<QMessageBox>(
                    [](QMessageBox* b) { QVERIFY(ClickButtonText(b, QStringLiteral("はい(&Y)"))); });
            }
            driver.Then<QMessageBox>([&, fnCheck = failureBox(c.strText.arg(Q(c.strPath)))](QMessageBox* b) {
                fileSizeLimit.reset();
                if (c.strPath == strKept) QVERIFY(b->grab().save(OutputPath("export-failed.png")));
                fnCheck(b);
            });
            pProposed = &c.strProposed;
        }
        driver
            .Then<QFileDialog>([&](QFileDialog* f) {
                QCOMPARE(f->selectedFiles().value(0), failures[2].strProposed);
                TypeSavePath(f, strRetry);
            })
            .Then<QMessageBox>([](QMessageBox* b) { QVERIFY(ClickButtonText(b, QStringLiteral("いいえ(&N)"))); })
            .ThenSettled<CMainDlg>([&](CMainDlg* d) {
                // TEXT with names and sizes, as chosen before the failures.
                const std::string strRows = "ten.log\t10\r\ntwenty\t20\r\nthirty.txt\t30\r\n";
                QCOMPARE(ReadAll(strRetry), strMark + ListFolder() + "/\r\n" + strRows + strMark + ListFolder() +
                                                "/sub/\r\nforty.txt\t40\r\n");
                QVERIFY(ClickButton(d, IDCANCEL));
            });
        RunWindow(driver);
        QVERIFY(m_opened.empty());
        QCOMPARE(ReadAll(strKept), std::string("kept\r\n"));
        QVERIFY(!QFile::exists(Q(m_dir / "missing")));
    }

    // Cancel in the save dialog that opens again after a failure ends the
    // export: nothing is written or opened.
    void cancelAfterAFailureEndsTheExport() {
        const std::string strMissing = m_dir / "missing/out.html";
        ModalDriver driver(10000);
        driver.ThenSettled<CMainDlg>([](CMainDlg* d) { QVERIFY(ClickButton(d, IDC_OUTPUT_ALL)); })
            .Then<COutputOptionsDlg>([](COutputOptionsDlg* o) { QVERIFY(ClickButton(o, IDOK)); })
            .Then<QFileDialog>([&](QFileDialog* f) { TypeSavePath(f, strMissing); })
            .Then<QMessageBox>([](QMessageBox* b) {
                QVERIFY(b->text().startsWith(QStringLiteral("出力先のファイルを開けませんでした。")));
                QVERIFY(ClickButtonText(b, QStringLiteral("OK")));
            })
            .Then<QFileDialog>([](QFileDialog* f) { QTest::keyClick(f, Qt::Key_Escape); })
            .ThenSettled<CMainDlg>([](CMainDlg* d) { QVERIFY(ClickButton(d, IDCANCEL)); });
        RunWindow(driver);
        QVERIFY(m_opened.empty());
        QVERIFY(!QFile::exists(Q(m_dir / "missing")));
    }

    // The file is written off the window's thread, its progress on the
    // status line and the window's commands greyed meanwhile; Escape stops
    // it before the file takes its place: the file that was there stays as
    // it was, nothing else is left in its folder, and no question comes.
    void aStoppedExportLeavesTheFileAsItWas() {
        const std::string strKept = m_dir / "stopped.txt";
        QVERIFY(m_dir.MakeFile("stopped.txt", "previous\r\n"));
        const QStringList before = QDir(Q(m_dir.Path())).entryList(QDir::AllEntries | QDir::Hidden);
        std::optional<PoolGate> gate;
        ModalDriver driver(10000);
        driver
            .ThenSettled<CMainDlg>([&](CMainDlg* d) {
                gate.emplace();  // the writing waits in the pool
                QVERIFY(ClickButton(d, IDC_OUTPUT_ALL));
            })
            .Then<COutputOptionsDlg>(
                [](COutputOptionsDlg* o) { QVERIFY(ClickButton(o, IDC_RAD_TEXT) && ClickButton(o, IDOK)); })
            .Then<QFileDialog>([&](QFileDialog* f) { TypeSavePath(f, strKept); })
            .Then<QMessageBox>([](QMessageBox* b) { QVERIFY(ClickButtonText(b, QStringLiteral("はい(&Y)"))); })
            .ThenSettled<CMainDlg>([&](CMainDlg* d) {
                QVERIFY(d->IsWorking());
                QCOMPARE(d->GetStatusLine()->text(), QStringLiteral("出力中: 0 / 4 行（Esc で中止）"));
                QVERIFY(!IsEnabled(d, IDC_OUTPUT_ALL) && !IsEnabled(d, IDC_OUTPUT_SELECTED));
                QTest::keyClick(d->m_listFiles, Qt::Key_Escape);
                QVERIFY(!d->IsWorking() && d->isVisible());
                QCOMPARE(d->GetStatusLine()->text(),
                         QStringLiteral("出力を中止しました。ファイルは書き込まれていません"));
                gate.reset();
                QVERIFY(WaitForBackgroundWork(std::chrono::seconds(10)));
                QTest::qWait(50);  // no question comes
                QVERIFY(QApplication::activeModalWidget() == d);
                QVERIFY(ClickButton(d, IDCANCEL));
            });
        RunWindow(driver);
        QVERIFY(m_opened.empty());
        QCOMPARE(ReadAll(strKept), std::string("previous\r\n"));
        QCOMPARE(QDir(Q(m_dir.Path())).entryList(QDir::AllEntries | QDir::Hidden), before);
    }

    // An installed program, whose folder is not its own to write (here: not
    // found at all), keeps its settings in the user's configuration folder;
    // its first export proposes the home folder, the next one the folder the
    // first was written to.
    void installedProgramProposesTheLastExportsFolder() {
        TempDir home;
        QVERIFY(home.MakeFolder("out"));
        const QByteArray oldHome = qgetenv("HOME"), oldConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("HOME", QByteArray::fromStdString(home.Path()));
        qunsetenv("XDG_CONFIG_HOME");
        SetExecutableLinkForTests(home / "no-link");
        SetProgramArgument("");
        SetSettingsPath({});
        const std::string strOut = home / "out/list.html";
        ModalDriver driver(10000);
        for (const std::string& strProposed : {home.Path(), home / "out"}) {
            driver.ThenSettled<CMainDlg>([](CMainDlg* d) { QVERIFY(ClickButton(d, IDC_OUTPUT_ALL)); })
                .Then<COutputOptionsDlg>([](COutputOptionsDlg* o) { QVERIFY(ClickButton(o, IDOK)); })
                .Then<QFileDialog>([&, strProposed](QFileDialog* f) {
                    QCOMPARE(f->directory().absolutePath(), Q(strProposed));
                    TypeSavePath(f, strOut);
                });
            // The second time the file is there: replaced when the user says so.
            if (strProposed != home.Path()) {
                driver.Then<QMessageBox>(
                    [](QMessageBox* b) { QVERIFY(ClickButtonText(b, QStringLiteral("はい(&Y)"))); });
            }
            driver.Then<QMessageBox>([](QMessageBox* b) { QVERIFY(ClickButtonText(b, QStringLiteral("いいえ(&N)"))); });
        }
        driver.ThenSettled<CMainDlg>([](CMainDlg* d) { QVERIFY(ClickButton(d, IDCANCEL)); });
        RunWindow(driver);
        SetExecutableLinkForTests({});
        SetSettingsPath(m_dir / "Norvane.ini");
        qputenv("HOME", oldHome);
        if (!oldConfig.isNull()) qputenv("XDG_CONFIG_HOME", oldConfig);
        const std::string strSettings = ReadAll(home / ".config/norvane/Norvane.ini");
        QVERIFY(strSettings.find("[EXPORT]\r\nFOLDER=" + home / "out/\r\n") != std::string::npos);
        QVERIFY(strSettings.find("[MAINWINDOW]\r\nHISTORY1=") != std::string::npos);
    }
};

QTEST_MAIN(ExportTest)
#include "ExportTest.moc"
