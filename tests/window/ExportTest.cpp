// Window tests of exporting from the main window, the whole modal chain as a
// user goes through it: the buttons, the options dialog, the save dialog
// (a path typed into it), the completion question, the file on disk, and the
// boxes that tell of a file that could not be written.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/ListerApp.h"
#include "app/MainDlg.h"
#include "export/ColumnTitlesDlg.h"
#include "export/ListExporter.h"
#include "export/OutputOptionsDlg.h"
#include "framework/MessageBox.h"
#include "platform/CodePage.h"
#include "platform/Paths.h"
#include "support/ModalDriver.h"
#include "support/TempDir.h"

using namespace norvane;
using namespace norvane::test;

namespace {

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

QString Q(const std::string& str) { return QString::fromStdString(str); }

const FileItem* Item(CMainDlg* d, int nRow) {
    return reinterpret_cast<const FileItem*>(d->m_listFiles.GetItemData(nRow));
}

std::vector<const FileItem*> Rows(CMainDlg* d) {
    std::vector<const FileItem*> rows;
    for (int i = 0; i < d->m_listFiles.GetItemCount(); ++i) rows.push_back(Item(d, i));
    return rows;
}

void ClickHeader(CMainDlg* d, int nColumn) {
    QHeaderView* pHeader = d->m_listFiles.GetView()->horizontalHeader();
    QTest::mouseClick(pHeader->viewport(), Qt::LeftButton, {}, QPoint(pHeader->sectionViewportPosition(nColumn) + 5, 5));
}

void ClickRow(CMainDlg* d, int nRow, Qt::KeyboardModifiers mods = {}) {
    QTableView* pView = d->m_listFiles.GetView();
    QCoreApplication::processEvents();
    QTest::mouseClick(pView->viewport(), Qt::LeftButton, mods,
                      pView->visualRect(pView->model()->index(nRow, 0)).center());
}

void ReplaceText(CDialog* d, int nId, const QString& strText) {
    auto* pEdit = qobject_cast<QLineEdit*>(d->GetDlgItem(nId));
    QVERIFY(pEdit != nullptr);
    pEdit->selectAll();
    pEdit->del();
    TypeText(pEdit, strText);
}

// Types a path into the save dialog's name field and clicks its Save button.
void TypeSavePath(QFileDialog* f, const std::string& strPath) {
    auto* pEdit = f->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QVERIFY(pEdit != nullptr);
    pEdit->selectAll();
    pEdit->del();
    TypeText(pEdit, Q(strPath));
    if (QWidget* pPopup = QApplication::activePopupWidget()) pPopup->close();  // the name completer
    auto* pButtons = f->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    QVERIFY(pButtons != nullptr);
    for (QAbstractButton* pButton : pButtons->buttons()) {
        if (pButtons->buttonRole(pButton) == QDialogButtonBox::AcceptRole) {
            QVERIFY(ClickWidget(pButton));
            return;
        }
    }
    QFAIL("the save dialog has no accept button");
}

// Makes a file read-only to this process: by its mode for a user, by the
// immutable flag for root, whom modes do not stop. False when neither works.
bool SetReadOnly(const std::string& path, bool bReadOnly) {
    if (::geteuid() != 0) return ::chmod(path.c_str(), bReadOnly ? 0444 : 0644) == 0;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    int nFlags = 0;
    bool bOk = ::ioctl(fd, FS_IOC_GETFLAGS, &nFlags) == 0;
    if (bOk) {
        nFlags = bReadOnly ? (nFlags | FS_IMMUTABLE_FL) : (nFlags & ~FS_IMMUTABLE_FL);
        bOk = ::ioctl(fd, FS_IOC_SETFLAGS, &nFlags) == 0;
    }
    ::close(fd);
    return bOk;
}

struct ReadOnlyFile {
    std::string path;
    bool bSet = false;
    ReadOnlyFile(std::string strPath) : path(std::move(strPath)) { bSet = SetReadOnly(path, true); }
    ~ReadOnlyFile() {
        if (bSet) SetReadOnly(path, false);
    }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
};

}  // namespace

class ExportTest : public QObject {
    Q_OBJECT

    CListerApp m_app;
    std::unique_ptr<TempDir> m_pDir;
    std::vector<std::string> m_opened;
    // Where every run proposes its file: the program's own folder.
    const QString m_strOwnFolder = QCoreApplication::applicationDirPath() + QLatin1Char('/');

    std::string ListFolder() const { return *m_pDir / "list"; }

    // A window that lists the test folder at start.
    void Prepare(CMainDlg& dlg) const {
        dlg.m_bScanAtStart = 1;
        dlg.m_szSourceFolder = ListFolder();
        dlg.m_szTargetFolder = ListFolder();
        AfxSetMainWnd(&dlg);
    }

private slots:
    void init() {
        m_pDir = std::make_unique<TempDir>();
        m_app.SetSettingsPath(*m_pDir / "Norvane.ini");
        // Sizes 30, 10, 20, 40: a sort by size reorders the scan's rows.
        QVERIFY(m_pDir->MakeFolder("list") && m_pDir->MakeFolder("list/sub"));
        QVERIFY(m_pDir->MakeFile("list/thirty.txt", std::string(30, 'c')));
        QVERIFY(m_pDir->MakeFile("list/ten.log", std::string(10, 'a')));
        QVERIFY(m_pDir->MakeFile("list/twenty", std::string(20, 'b')));
        QVERIFY(m_pDir->MakeFile("list/sub/forty.txt", std::string(40, 'd')));
        m_opened.clear();
        SetFileOpener([this](const std::string& strPath) {
            m_opened.push_back(strPath);
            return true;
        });
    }
    void cleanup() {
        SetFileOpener({});
        AfxSetMainWnd(nullptr);
        m_pDir.reset();
    }

    // Two exports of all rows in a row: the first as TEXT into a name
    // without extension (none is added), answered No; the second starts from
    // the defaults again, proposes the program's folder again, replaces the
    // file without a question and opens it on Yes.
    void allRowsTwice() {
        const std::string strOut = *m_pDir / "out";
        std::vector<const FileItem*> rows;
        CMainDlg dlg;
        Prepare(dlg);
        ModalDriver driver(10000);
        driver
            .Then<CMainDlg>([&](CMainDlg* d) {
                rows = Rows(d);
                QCOMPARE(rows.size(), std::size_t{4});
                QVERIFY(ClickButton(d, IDC_OUTPUT_ALL));
            })
            .Then<COutputOptionsDlg>([](COutputOptionsDlg* o) {
                QVERIFY(o->IsWindowEnabled(IDC_CHK_FOLDERHEADING));
                QVERIFY(ClickButton(o, IDC_RAD_TEXT));
                QVERIFY(ClickButton(o, IDC_CHK_FILEDATETIME));
                QVERIFY(ClickButton(o, IDC_CHK_VERSION));
                QVERIFY(ClickButton(o, IDC_CHK_PREFIX));  // checked, nothing typed: no prefix
                QVERIFY(ClickButton(o, IDC_CHK_SUFFIX));
                ReplaceText(o, IDC_EDIT_SUFFIX, QStringLiteral("]"));
                QVERIFY(ClickButton(o, IDOK));
            })
            .Then<QFileDialog>([&](QFileDialog* f) {
                QCOMPARE(f->acceptMode(), QFileDialog::AcceptSave);
                QCOMPARE(f->selectedFiles().value(0), m_strOwnFolder + QStringLiteral("Carvel.txt"));
                auto* pTypes = f->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
                QVERIFY(pTypes != nullptr);
                QCOMPARE(pTypes->count(), 1);
                QCOMPARE(pTypes->currentText(), QStringLiteral("全て(*.*)"));
                // The filter lists every name, those without a period too:
                // three files and the subfolder.
                f->setDirectory(Q(ListFolder()));
                auto* pModel = f->findChild<QFileSystemModel*>();
                QVERIFY(pModel != nullptr);
                QTRY_COMPARE(pModel->rowCount(pModel->index(Q(ListFolder()))), 4);
                // Picking the filter leaves a typed name as it is.
                auto* pName = f->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                pName->setText(QStringLiteral("list.txt"));
                emit pTypes->activated(0);
                QCOMPARE(pName->text(), QStringLiteral("list.txt"));
                TypeSavePath(f, strOut);
            })
            .Then<QMessageBox>([&](QMessageBox* b) {
                QCOMPARE(b->windowTitle(), QStringLiteral("出力先"));
                QCOMPARE(b->text(), Q(strOut) + QStringLiteral("\n出力されたファイルを表示しますか？"));
                QCOMPARE(b->icon(), QMessageBox::NoIcon);
                QVERIFY(ClickButtonText(b, QStringLiteral("いいえ(&N)")));
            })
            .Then<CMainDlg>([&](CMainDlg* d) {
                // Rows in list order, a heading at each change of folder.
                std::string strExpected;
                std::string_view previous;
                for (const FileItem* pItem : rows) {
                    if (pItem->directory() != previous) {
                        strExpected += std::string(MarkBlackCircle()) + std::string(pItem->directory()) + "\r\n";
                        previous = pItem->directory();
                    }
                    strExpected += std::string(pItem->fileName) + "]\t" + std::to_string(pItem->fileSize) + "\r\n";
                }
                QCOMPARE(ReadAll(strOut), strExpected);
                QVERIFY(m_opened.empty());
                QVERIFY(ClickButton(d, IDC_OUTPUT_ALL));
            })
            .Then<COutputOptionsDlg>([](COutputOptionsDlg* o) {
                QVERIFY(o->IsDlgButtonChecked(IDC_RAD_HTML) && !o->IsDlgButtonChecked(IDC_RAD_TEXT));
                QVERIFY(o->IsDlgButtonChecked(IDC_CHK_FILEDATETIME) && o->IsDlgButtonChecked(IDC_CHK_VERSION));
                QVERIFY(!o->IsDlgButtonChecked(IDC_CHK_PREFIX) && !o->IsDlgButtonChecked(IDC_CHK_SUFFIX));
                QVERIFY(o->GetDlgItemText(IDC_EDIT_SUFFIX).empty());
                QVERIFY(ClickButton(o, IDC_RAD_CSV));
                QVERIFY(ClickButton(o, IDOK));
            })
            .Then<QFileDialog>([&](QFileDialog* f) {
                QCOMPARE(f->selectedFiles().value(0), m_strOwnFolder + QStringLiteral("Carvel.csv"));
                TypeSavePath(f, strOut);
            })
            .Then<QMessageBox>([](QMessageBox* b) { QVERIFY(ClickButtonText(b, QStringLiteral("はい(&Y)"))); })
            .Then<CMainDlg>([&](CMainDlg* d) {
                QCOMPARE(m_opened, std::vector<std::string>{strOut});
                const std::string strText = ReadAll(strOut);
                QVERIFY2(strText.starts_with("FileName,FileDate&Time,FileSize,Version,\r\n"), strText.c_str());
                QVERIFY(strText.find("\"" + std::string(rows[0]->fileName) + "\",") != std::string::npos);
                QVERIFY(ClickButton(d, IDCANCEL));
            });
        dlg.DoModal();
        QVERIFY2(driver.Finished(), qPrintable(driver.Error()));
    }

    // No selection: an information box and nothing else. After a sort by
    // size, two rows selected apart (the later one first) are written in
    // display order; the heading box is greyed but still writes headings.
    void selectedRowsAfterSort() {
        const std::string strOut = *m_pDir / "selected.txt";
        CMainDlg dlg;
        Prepare(dlg);
        ModalDriver driver(10000);
        driver.Then<CMainDlg>([](CMainDlg* d) { QVERIFY(ClickButton(d, IDC_OUTPUT_SELECTED)); })
            .Then<QMessageBox>([](QMessageBox* b) {
                QCOMPARE(b->text(), QStringLiteral("出力する行が選択されていません。\nリストボックスで出力する行を選んでください。"));
                QCOMPARE(b->icon(), QMessageBox::Information);
                QCOMPARE(b->windowTitle(), Q(AfxGetAppName()));
                QVERIFY(ClickButtonText(b, QStringLiteral("OK")));
            })
            .Then<CMainDlg>([](CMainDlg* d) {
                ClickHeader(d, 2);
                std::vector<std::string> names;
                for (const FileItem* pItem : Rows(d)) names.emplace_back(pItem->fileName);
                QCOMPARE(names, (std::vector<std::string>{"ten.log", "twenty", "thirty.txt", "forty.txt"}));
                ClickRow(d, 2);
                ClickRow(d, 0, Qt::ControlModifier);
                QCOMPARE(d->m_listFiles.GetSelectedCount(), 2u);
                QVERIFY(ClickButton(d, IDC_OUTPUT_SELECTED));
            })
            .Then<COutputOptionsDlg>([](COutputOptionsDlg* o) {
                QVERIFY(!o->IsWindowEnabled(IDC_CHK_FOLDERHEADING));
                QVERIFY(o->IsDlgButtonChecked(IDC_CHK_FOLDERHEADING));
                QVERIFY(ClickButton(o, IDC_RAD_TEXT));
                for (int nId : {IDC_CHK_FILEDATETIME, IDC_CHK_FILESIZE, IDC_CHK_VERSION}) QVERIFY(ClickButton(o, nId));
                QVERIFY(ClickButton(o, IDOK));
            })
            .Then<QFileDialog>([&](QFileDialog* f) { TypeSavePath(f, strOut); })
            .Then<QMessageBox>([](QMessageBox* b) { QVERIFY(ClickButtonText(b, QStringLiteral("いいえ(&N)"))); })
            .Then<CMainDlg>([&](CMainDlg* d) {
                QCOMPARE(ReadAll(strOut), std::string(MarkBlackCircle()) + ListFolder() + "/\r\nten.log\r\nthirty.txt\r\n");
                QVERIFY(ClickButton(d, IDCANCEL));
            });
        dlg.DoModal();
        QVERIFY2(driver.Finished(), qPrintable(driver.Error()));
    }

    // Titles changed in the titles dialog: dropped when the options dialog
    // is cancelled, kept once it is confirmed, even if the save dialog is
    // then cancelled. Neither cancel writes a file.
    void cancelledDialogs() {
        const std::string strProposed = (m_strOwnFolder + QStringLiteral("Carvel.html")).toStdString();
        const bool bProposedExisted = Exists(strProposed);
        auto renameTitle = [](CColumnTitlesDlg* t) {
            ReplaceText(t, IDC_EDIT_TITLE1, QStringLiteral("名前"));
            QVERIFY(ClickButton(t, IDOK));
        };
        CMainDlg dlg;
        Prepare(dlg);
        ModalDriver driver(10000);
        driver.Then<CMainDlg>([](CMainDlg* d) { QVERIFY(ClickButton(d, IDC_OUTPUT_ALL)); })
            .Then<COutputOptionsDlg>([](COutputOptionsDlg* o) { QVERIFY(ClickButton(o, IDC_COLUMN_TITLES)); })
            .Then<CColumnTitlesDlg>(renameTitle)
            .Then<COutputOptionsDlg>([](COutputOptionsDlg* o) {
                QCOMPARE(o->m_strTitle1, std::string("名前"));
                QVERIFY(ClickButton(o, IDCANCEL));
            })
            .Then<CMainDlg>([](CMainDlg* d) {
                QCOMPARE(d->m_strTitleName, std::string("FileName"));
                QVERIFY(ClickButton(d, IDC_OUTPUT_ALL));
            })
            .Then<COutputOptionsDlg>([](COutputOptionsDlg* o) {
                QCOMPARE(o->m_strTitle1, std::string("FileName"));
                QVERIFY(ClickButton(o, IDC_COLUMN_TITLES));
            })
            .Then<CColumnTitlesDlg>(renameTitle)
            .Then<COutputOptionsDlg>([](COutputOptionsDlg* o) { QVERIFY(ClickButton(o, IDOK)); })
            .Then<QFileDialog>([](QFileDialog* f) { QTest::keyClick(f, Qt::Key_Escape); })
            .Then<CMainDlg>([&](CMainDlg* d) {
                QCOMPARE(d->m_strTitleName, std::string("名前"));
                QCOMPARE(d->m_strTitleFolder, std::string("Directory"));
                QCOMPARE(d->m_strBgColor, std::string("#0066cc"));
                if (!bProposedExisted) QVERIFY(!Exists(strProposed));
                QVERIFY(ClickButton(d, IDCANCEL));
            });
        dlg.DoModal();
        QVERIFY2(driver.Finished(), qPrintable(driver.Error()));
        QVERIFY(!Exists(*m_pDir / "Norvane.ini") || ReadAll(*m_pDir / "Norvane.ini").find("名前") == std::string::npos);
    }

    // A file that cannot be opened (read-only, or in a missing folder) and
    // one whose writing fails (a full disk) are told in a box with the path
    // and the reason; no completion question, nothing opened, a read-only
    // file left as it was.
    void failuresAreTold() {
        QVERIFY(m_pDir->MakeFile("old.html", "old"));
        ReadOnlyFile readOnly(*m_pDir / "old.html");
        if (!readOnly.bSet) qInfo("no way to make a file read-only here: that case is left out");
        struct Case {
            std::string strPath;
            QString strFirstLine;
            QString strReason;
        };
        std::vector<Case> cases;
        if (readOnly.bSet) {
            cases.push_back({readOnly.path, QStringLiteral("出力先のファイルを開けませんでした。"),
                             ::geteuid() == 0 ? QStringLiteral("Operation not permitted")
                                              : QStringLiteral("Permission denied")});
        }
        cases.push_back({*m_pDir / "missing/out.html", QStringLiteral("出力先のファイルを開けませんでした。"),
                         QStringLiteral("No such file or directory")});
        cases.push_back({"/dev/full", QStringLiteral("出力先のファイルに書き込めませんでした。ファイルは不完全です。"),
                         QStringLiteral("No space left on device")});

        CMainDlg dlg;
        Prepare(dlg);
        ModalDriver driver(10000);
        for (const Case& c : cases) {
            driver.Then<CMainDlg>([](CMainDlg* d) { QVERIFY(ClickButton(d, IDC_OUTPUT_ALL)); })
                .Then<COutputOptionsDlg>([](COutputOptionsDlg* o) { QVERIFY(ClickButton(o, IDOK)); })
                .Then<QFileDialog>([&c](QFileDialog* f) { TypeSavePath(f, c.strPath); })
                .Then<QMessageBox>([&c](QMessageBox* b) {
                    QCOMPARE(b->icon(), QMessageBox::Warning);
                    QCOMPARE(b->windowTitle(), Q(AfxGetAppName()));
                    QCOMPARE(b->text(), c.strFirstLine + QLatin1Char('\n') + Q(c.strPath) + QLatin1Char('\n') + c.strReason);
                    QVERIFY(ClickButtonText(b, QStringLiteral("OK")));
                });
        }
        driver.Then<CMainDlg>([](CMainDlg* d) { QVERIFY(ClickButton(d, IDCANCEL)); });
        dlg.DoModal();
        QVERIFY2(driver.Finished(), qPrintable(driver.Error()));
        QVERIFY(m_opened.empty());
        QCOMPARE(ReadAll(*m_pDir / "old.html"), std::string("old"));
    }
};

QTEST_MAIN(ExportTest)
#include "ExportTest.moc"
