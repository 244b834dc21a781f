// Window tests of catalogues: saved from the window (Ctrl+S and the menus)
// in scan order whatever the list's order, opened again (Ctrl+O, the command
// line) and sorted as the scan was, "リストを更新(&R)" leaving the
// catalogue, and bad files and failed saves said so with the list kept;
// the list compared with a catalogue: the change column, marked cells,
// counts, sorts, copies, the export's bytes as norvane-list's, warnings
// for lists not made alike, Escape, and leaving the comparison.
#include <QAccessible>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QProcess>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QClipboard>
#include <QtTest>

#include <sys/stat.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/ListerApp.h"
#include "app/MainDlg.h"
#include "catalogue/BackgroundScan.h"
#include "catalogue/CellText.h"
#include "app/QtTranslations.h"
#include "catalogue/FolderScan.h"
#include "export/ListExporterRun.h"
#include "export/OutputOptionsDlg.h"
#include "platform/CodePage.h"
#include "store/Catalogue.h"
#include "support/ModalDriver.h"
#include "support/PeBuilder.h"
#include "support/PoolGate.h"
#include "support/TempDir.h"

using namespace norvane;
using namespace norvane::test;

namespace {

QString Q(const std::string& str) { return QString::fromStdString(str); }

// Sizes that a sort by size puts in another order than the scan's.
void MakeTree(const TempDir& dir) {
    QVERIFY(dir.MakeFolder("Tools") && dir.MakeFolder("Tools/sub"));
    QVERIFY(dir.MakeFile("Tools/thirty.txt", std::string(30, 'c')));
    QVERIFY(dir.MakeFile("Tools/ten.log", std::string(10, 'a')));
    QVERIFY(dir.MakeFile("Tools/bad\xFF.bin", std::string(20, 'b')));
    QVERIFY(dir.MakeFile("Tools/sub/forty.txt", std::string(40, 'd')));
}

std::vector<std::string> Rows(const CMainDlg* d) {
    std::vector<std::string> rows;
    for (const FileItem* pItem : d->GetFileList().Items())
        rows.push_back(pItem->directory() + std::string(pItem->rawName()));
    return rows;
}

QString Status(const CMainDlg* d) { return d->GetStatusLine()->text(); }

void ClickHeader(CMainDlg* d, int nColumn) {
    QHeaderView* pHeader = d->m_listFiles->horizontalHeader();
    QTest::mouseClick(pHeader->viewport(), Qt::LeftButton, {},
                      QPoint(pHeader->sectionViewportPosition(nColumn) + 5, 5));
}

// Types a path into a file dialog's name field and presses Enter, once the
// dialog shows its folder.
void TypePath(QFileDialog* f, const std::string& strPath) {
    auto* pModel = f->findChild<QFileSystemModel*>();
    QVERIFY(pModel != nullptr);
    f->activateWindow();
    QTRY_VERIFY(f->isActiveWindow());
    QTRY_VERIFY(pModel->rowCount(pModel->index(f->directory().absolutePath())) > 0);
    auto* pEdit = f->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QVERIFY(pEdit != nullptr);
    pEdit->selectAll();
    pEdit->del();
    TypeText(pEdit, Q(strPath));
    if (QWidget* pPopup = QApplication::activePopupWidget()) pPopup->close();  // the name completer
    QTest::keyClick(pEdit, Qt::Key_Return);
}

// The texts of the items of a context menu opened at pos of pTarget.
QStringList MenuItems(QWidget* pTarget, QPoint pos) {
    QStringList items;
    ModalDriver driver;
    driver.ThenPopup([&](QMenu* pMenu) {
        for (QAction* pAction : pMenu->actions()) {
            if (!pAction->isSeparator()) items << pAction->text() + (pAction->isEnabled() ? "" : " [greyed]");
        }
        QTest::keyClick(pMenu, Qt::Key_Escape);
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, pTarget->mapToGlobal(pos));
    QCoreApplication::sendEvent(pTarget, &event);
    return items;
}

// The warning box the window shows next: its text, confirmed with OK.
void ExpectWarning(ModalDriver& driver, QString* pText) {
    driver.Then<QMessageBox>([pText](QMessageBox* box) {
        QCOMPARE(box->icon(), QMessageBox::Warning);
        *pText = box->text();
        QVERIFY(ClickButtonText(box, QStringLiteral("OK")));
    });
}

// Two versions of a tree: in the second a new version of tool.exe (the
// same size and time), readme.txt longer, old.log gone, new.txt new,
// moved.dat in another folder, a name in no valid text as it was. Every
// file was written at the same second.
void MakeVersions(const TempDir& dir) {
    for (const char* pszVersion : {"v1", "v2"}) {
        const std::string strTop = std::string(pszVersion) + "/Tools";
        const bool bNew = pszVersion[1] == '2';
        QVERIFY(dir.MakeFolder(pszVersion) && dir.MakeFolder(strTop));
        QVERIFY(dir.MakeFolder(strTop + (bNew ? "/other" : "/sub")));
        PeOptions version;
        version.fileVersionMS = bNew ? 0x00010003 : 0x00010002;
        QVERIFY(PeBuilder::WriteFile(dir / (strTop + "/tool.exe"), PeBuilder(version).Build()));
        QVERIFY(dir.MakeFile(strTop + "/readme.txt", std::string(bNew ? 20 : 10, 'r')));
        QVERIFY(dir.MakeFile(strTop + (bNew ? "/new.txt" : "/old.log")));
        QVERIFY(dir.MakeFile(strTop + "/same\xFF.bin"));
        QVERIFY(dir.MakeFile(strTop + (bNew ? "/other/moved.dat" : "/sub/moved.dat"), "moved"));
    }
    QVERIFY(std::system(
                ("touch -h -d '2024-05-01 12:00:30' $(find '" + dir.Path() + "/v1' '" + dir.Path() + "/v2' -type f)")
                    .c_str()) == 0);
}

// A catalogue of a scan of folder at path.
void SaveScan(const std::string& folder, const std::string& path, const ScanOptions& options = {}) {
    FileStore store;
    std::vector<const FileItem*> rows;
    const ScanResult result = ScanFolder(folder, options, store, [&](FileItem* p) { rows.push_back(p); }, {});
    CatalogueError error;
    QVERIFY(WriteCatalogue(path, ScanFacts(folder, options, 0, 0, result), rows, &error));
}

// The list's cells of a column, as shown.
QStringList Column(CMainDlg* d, int nModelColumn) {
    QStringList cells;
    const QAbstractItemModel* pModel = d->m_listFiles->model();
    for (int nRow = 0; nRow < pModel->rowCount(); ++nRow) cells << pModel->index(nRow, nModelColumn).data().toString();
    return cells;
}

// The contrast ratio of two colours, as the accessibility guidelines
// reckon it (4.5 and more reads as normal text).
double Contrast(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& c) {
        const auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The row whose file name is strName (-1: none).
int RowOf(CMainDlg* d, const QString& strName) {
    return static_cast<int>(Column(d, 1 + kColumnFileName).indexOf(strName));
}

}  // namespace

class CatalogueWindowTest : public QObject {
    Q_OBJECT

    CListerApp m_app;
    TempDir m_dir;

    // The window on a folder (the tree), scanned at start-up; driver's
    // steps end it.
    void RunWindow(ModalDriver& driver, const std::string& strFolder = {}) {
        CMainDlg dlg;
        dlg.SetFolder(strFolder.empty() ? m_dir / "Tools" : strFolder);
        dlg.exec();
        QVERIFY2(driver.Finished(), qPrintable(driver.Error()));
    }

private slots:
    void initTestCase() {
        QVERIFY(InstallQtTranslations());
        // The change column renamed, as exports title it.
        WriteAll(m_dir / "Norvane.ini", "[TITLE]\r\nVALUE7=変化\r\n");
        SetSettingsPath(m_dir / "Norvane.ini");
        MakeTree(m_dir);
        MakeVersions(m_dir);
        SaveScan(m_dir / "v1/Tools", m_dir / "v1.nvcat");
        SetFileOpener([](const std::string&) { return true; });
    }
    void cleanupTestCase() { SetFileOpener({}); }
    void cleanup() { QVERIFY(WaitForBackgroundWork(std::chrono::seconds(10))); }

    // Ctrl+S proposes "<folder>.nvcat" and keeps the scan's order after a
    // sort; Ctrl+O shows the catalogue as the scan was, says so in the title
    // and the status line, and sorts; "リストを更新(&R)" scans its folder anew.
    void saveOpenSortAndLeave() {
        std::vector<std::string> scanned;
        const std::string strSaved = m_dir / "saved.nvcat";
        ModalDriver driver(10000);
        driver
            .ThenSettled<CMainDlg>([&](CMainDlg* d) {
                scanned = Rows(d);
                QCOMPARE(scanned.size(), std::size_t{4});
                const QStringList listMenu = MenuItems(d->m_listFiles->viewport(), {5, 5});
                QVERIFY2(listMenu.contains(QStringLiteral("カタログを保存(&V)...")), qPrintable(listMenu.join(',')));
                QVERIFY(listMenu.contains(QStringLiteral("カタログを開く(&O)...")));
                const QStringList windowMenu = MenuItems(d, {2, 2});
                QVERIFY2(windowMenu.contains(QStringLiteral("カタログを保存(&V)...")),
                         qPrintable(windowMenu.join(',')));
                ClickHeader(d, kColumnSize);
                QVERIFY(Rows(d) != scanned);
                QTest::keyClick(d, Qt::Key_S, Qt::ControlModifier);
            })
            .Then<QFileDialog>([&](QFileDialog* f) {
                QCOMPARE(f->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text(),
                         QStringLiteral("Tools.nvcat"));
                TypePath(f, strSaved);
            })
            .ThenWhen<CMainDlg>(
                [](CMainDlg* d) { return Status(d).startsWith(QStringLiteral("カタログを保存しました")); },
                [&](CMainDlg* d) {
                    QVERIFY(!d->IsSaving());
                    d->activateWindow();  // back from the file dialog, nothing else does it offscreen
                    QTRY_VERIFY(d->isActiveWindow());
                    QTest::keyClick(d->m_listFiles, Qt::Key_O, Qt::ControlModifier);
                })
            .Then<QFileDialog>([&](QFileDialog* f) { TypePath(f, strSaved); })
            .ThenWhen<CMainDlg>(
                [](CMainDlg* d) { return !d->IsScanning() && !d->CataloguePath().empty(); },
                [&](CMainDlg* d) {
                    QCOMPARE(d->CataloguePath(), strSaved);
                    QCOMPARE(Rows(d), scanned);  // scan order, raw names and all
                    QVERIFY2(d->windowTitle().startsWith(QStringLiteral("Norvane - カタログ saved.nvcat（")),
                             qPrintable(d->windowTitle()));
                    QVERIFY(d->windowTitle().contains(Q(m_dir / "Tools/")));
                    QVERIFY2(Status(d).startsWith(QStringLiteral("カタログ: 4 ファイル")), qPrintable(Status(d)));
                    QVERIFY(Status(d).contains(QStringLiteral("、完全")));
                    QCOMPARE(d->m_cbFolder->currentText(), Q(m_dir / "Tools"));
                    ClickHeader(d, kColumnSize);
                    QCOMPARE(d->GetFileList().Item(0)->fileSize, 10u);
                    QCOMPARE(d->GetFileList().Item(3)->fileSize, 40u);
                    QVERIFY(d->GetSaveCatalogueAction()->isEnabled());
                    QVERIFY(ClickButton(d, IDC_UPDATE_LIST));
                })
            .ThenSettled<CMainDlg>([&](CMainDlg* d) {
                QVERIFY(d->CataloguePath().empty());
                QCOMPARE(d->windowTitle(), QStringLiteral("Norvane"));
                QCOMPARE(Rows(d), scanned);
                QVERIFY(ClickButton(d, IDCANCEL));
            });
        RunWindow(driver);
        CatalogueContents contents;
        CatalogueError error;
        QVERIFY(ReadCatalogue(strSaved, &contents, &error));
        std::vector<std::string> saved;
        for (ItemRef ref : contents.rows)
            saved.push_back(contents.store->Item(ref)->directory() + std::string(contents.store->Item(ref)->rawName()));
        QCOMPARE(saved, scanned);
    }

    // A file that is no catalogue is said so and the list stays; a save that
    // cannot be written is said so; a catalogue of a scan cut short says so.
    void badFilesAndFailedSaves() {
        const std::string strText = m_dir / "text.nvcat";
        WriteAll(strText, "FileName,FileSize\r\n");
        const std::string strPartial = m_dir / "partial.nvcat";
        {
            FileStore store;
            const FileItem* pItem = store.AddItem("only.txt", store.AddFolder("/gone/"));
            ScanResult result;
            result.end = ScanEnd::kStoppedByRequest;
            CatalogueError error;
            QVERIFY(WriteCatalogue(strPartial, ScanFacts("/gone", {}, 0, 0, result), std::vector{pItem}, &error));
        }
        QString strOpenBox, strSaveBox;
        ModalDriver driver(10000);
        driver.ThenSettled<CMainDlg>([&](CMainDlg* d) { QVERIFY(d->OpenCatalogue(strText)); });
        ExpectWarning(driver, &strOpenBox);
        driver.ThenSettled<CMainDlg>([&](CMainDlg* d) {
            QCOMPARE(Rows(d).size(), std::size_t{4});
            QVERIFY(d->CataloguePath().empty());
            QVERIFY2(Status(d).startsWith(QStringLiteral("4 ファイル")), qPrintable(Status(d)));
            // A folder takes no file of that name: the save fails.
            QVERIFY(d->SaveCatalogue(m_dir / "Tools"));
        });
        ExpectWarning(driver, &strSaveBox);
        driver.Then<CMainDlg>([&](CMainDlg* d) { QVERIFY(d->OpenCatalogue(strPartial)); })
            .ThenSettled<CMainDlg>([&](CMainDlg* d) {
                QVERIFY2(Status(d).contains(QStringLiteral("途中まで（中止）")), qPrintable(Status(d)));
                QVERIFY(d->windowTitle().contains(QStringLiteral("途中まで（中止）")));
                QVERIFY(ClickButton(d, IDCANCEL));
            });
        RunWindow(driver);
        QCOMPARE(strOpenBox,
                 QStringLiteral("カタログを開けませんでした。\n\n") + Q(strText) +
                     QStringLiteral("\nNorvane のカタログではありません（SQLite のデータベースではありません）。"));
        QVERIFY2(
            strSaveBox.startsWith(QStringLiteral("カタログを保存できませんでした。保存先は変更されていません。\n\n")),
            qPrintable(strSaveBox));
        QVERIFY(strSaveBox.endsWith(QStringLiteral("\nフォルダです。カタログのファイルを指定してください。")));
    }

    // `norvane FILE.nvcat` shows the catalogue; a folder named so is listed.
    void commandLine() {
        const std::string strSaved = m_dir / "cmd.nvcat";
        {
            FileStore store;
            const FileItem* pItem = store.AddItem("one.txt", store.AddFolder(m_dir / "Tools/"));
            CatalogueError error;
            QVERIFY(WriteCatalogue(strSaved, ScanFacts(m_dir / "Tools", {}, 0, 0, {}), std::vector{pItem}, &error));
        }
        QVERIFY(m_dir.MakeFolder("dir.nvcat") && m_dir.MakeFile("dir.nvcat/inside.txt"));
        for (const std::string& strArg : {strSaved, m_dir / "dir.nvcat"}) {
            std::vector<std::string> rows;
            ModalDriver driver(10000);
            driver.ThenSettled<CMainDlg>([&](CMainDlg* d) {
                QTRY_VERIFY(!d->IsScanning());
                rows = Rows(d);
                QCOMPARE(d->CataloguePath(), strArg == strSaved ? strSaved : std::string());
                QVERIFY(ClickButton(d, IDCANCEL));
            });
            std::string arg0 = "norvane", arg1 = strArg;
            char* argv[] = {arg0.data(), arg1.data()};
            m_app.InitInstance(2, argv);
            QVERIFY2(driver.Finished(), qPrintable(driver.Error()));
            QCOMPARE(rows, std::vector<std::string>{strArg == strSaved ? m_dir / "Tools/one.txt"
                                                                       : m_dir / "dir.nvcat/inside.txt"});
        }
    }

    // "カタログと比較(&M)..." is greyed while a list is made. The comparison
    // with the first version shows each change once, the change column
    // first, changed cells marked (colour, bold, a tip, words for screen
    // readers), the counts on the status line; it sorts by the change
    // column, copies both values of a changed cell, shows the unchanged file
    // on request, exports the bytes norvane-list writes for it (the column
    // titled from VALUE7), and "リストを更新(&R)" leaves it.
    void compareWithACatalogue() {
        const std::string strExport = m_dir / "compare.html";
        ModalDriver driver(10000);
        driver
            .ThenSettled<CMainDlg>([&](CMainDlg* d) {
                QVERIFY(d->GetCompareCatalogueAction()->isEnabled());
                QVERIFY(d->Rescan());
                QVERIFY(!d->GetCompareCatalogueAction()->isEnabled());
            })
            .ThenSettled<CMainDlg>([](CMainDlg* d) {
                QContextMenuEvent event(QContextMenuEvent::Mouse, {2, 2}, d->mapToGlobal(QPoint(2, 2)));
                QCoreApplication::sendEvent(d, &event);
            })
            .ThenPopup([](QMenu* pMenu) {
                QStringList items;
                for (QAction* pAction : pMenu->actions()) items << pAction->text();
                QVERIFY2(items.contains(QStringLiteral("カタログと比較(&M)...")), qPrintable(items.join(',')));
                QTest::keyClick(pMenu, Qt::Key_M);
            })
            .Then<QFileDialog>([&](QFileDialog* f) {
                QCOMPARE(f->windowTitle(), QStringLiteral("比較するカタログ"));
                TypePath(f, m_dir / "v1.nvcat");
            })
            .ThenWhen<CMainDlg>([](CMainDlg* d) { return !d->IsScanning() && d->GetComparison() != nullptr; },
                                [&](CMainDlg* d) {
                                    CheckComparisonShown(d);
                                    QVERIFY(ClickButton(d, IDC_OUTPUT_ALL));
                                })
            .Then<COutputOptionsDlg>([](COutputOptionsDlg* o) {
                QVERIFY(ClickButton(o, IDC_CHK_DIRECTORY));
                QVERIFY(ClickButton(o, IDOK));
            })
            .Then<QFileDialog>([&](QFileDialog* f) { TypePath(f, strExport); })
            .Then<QMessageBox>([](QMessageBox* b) { QVERIFY(ClickButtonText(b, QStringLiteral("いいえ(&N)"))); })
            .ThenSettled<CMainDlg>([&](CMainDlg* d) {
                d->m_cbFolder->setEditText(Q(m_dir / "v2/Tools"));
                QVERIFY(ClickButton(d, IDC_UPDATE_LIST));
            })
            .ThenSettled<CMainDlg>([](CMainDlg* d) {
                QVERIFY(d->GetComparison() == nullptr);
                QCOMPARE(d->m_listFiles->model()->columnCount(), kColumnCount);
                QCOMPARE(d->windowTitle(), QStringLiteral("Norvane"));
                QVERIFY(ClickButton(d, IDCANCEL));
            });
        RunWindow(driver, m_dir / "v2/Tools");
    }

    // Lists made with other options are compared, and the box says what
    // differs; a file that is no catalogue is said so and the list stays;
    // Escape stops a comparison under way, the list as it was.
    void compareWarnsAndStops() {
        const std::string strNoSystem = m_dir / "nosystem.nvcat";
        SaveScan(m_dir / "v1/Tools", strNoSystem, {.includeSystem = false, .includeHidden = false});
        const std::string strText = m_dir / "text.nvcat";
        WriteAll(strText, "FileName,FileSize\r\n");
        QString strWarning, strError;
        ModalDriver driver(10000);
        driver.ThenSettled<CMainDlg>([&](CMainDlg* d) { QVERIFY(d->CompareWithCatalogue(strNoSystem)); });
        ExpectWarning(driver, &strWarning);
        driver.ThenSettled<CMainDlg>([&](CMainDlg* d) {
            QVERIFY(d->GetComparison() != nullptr);
            QVERIFY(d->CompareWithCatalogue(strText));
        });
        ExpectWarning(driver, &strError);
        driver.ThenSettled<CMainDlg>([&](CMainDlg* d) {
            // The comparison shown before stays.
            QVERIFY(d->GetComparison() != nullptr);
            const QString strStatus = Status(d);
            QVERIFY(d->CompareWithCatalogue(m_dir / "v1.nvcat"));
            QVERIFY(d->IsScanning());
            QTest::keyClick(d, Qt::Key_Escape);
            QVERIFY(!d->IsScanning());
            QCOMPARE(Status(d), strStatus);
            QVERIFY(ClickButton(d, IDC_HIDDEN_FILES));  // a check box leaves it
        });
        driver.ThenSettled<CMainDlg>([&](CMainDlg* d) {
            QVERIFY(d->GetComparison() == nullptr);
            QCOMPARE(d->m_listFiles->model()->columnCount(), kColumnCount);
            QVERIFY(ClickButton(d, IDCANCEL));
        });
        RunWindow(driver, m_dir / "v2/Tools");
        QCOMPARE(strWarning,
                 QStringLiteral("比較した二つの一覧は、作られた条件が違います。その分も違いとして出ています。\n\n"
                                "・システムファイル：古い方は含まず、新しい方は含みます（追加と出ます）\n"
                                "・隠しファイル：古い方は含まず、新しい方は含みます（追加と出ます）"));
        QCOMPARE(strError,
                 QStringLiteral("カタログと比較できませんでした。\n\n") + Q(strText) +
                     QStringLiteral("\nNorvane のカタログではありません（SQLite のデータベースではありません）。"));
    }

    // A comparison's sort, copy and the unchanged files' re-sort run off the
    // window's thread as the list's do: Escape leaves its order, and what
    // they give is what the window makes at once; the counts come back.
    void comparisonLongWork() {
        ModalDriver driver(20000);
        driver.ThenSettled<CMainDlg>([&](CMainDlg* d) { QVERIFY(d->CompareWithCatalogue(m_dir / "v1.nvcat")); });
        driver.ThenWhen<CMainDlg>([](CMainDlg* d) { return !d->IsScanning() && d->GetComparison() != nullptr; },
                                  [&](CMainDlg* d) {
                                      const QString strCounts = Status(d);
                                      const QStringList comparisonOrder = Column(d, 0);
                                      d->m_nRowsAtOnce = 0;
                                      {
                                          test::PoolGate gate;
                                          ClickHeader(d, 0);
                                          QVERIFY(d->IsWorking());
                                          QVERIFY(!d->GetCompareCatalogueAction()->isEnabled());
                                          QVERIFY(Status(d).startsWith(QStringLiteral("並べ替え中: ")));
                                          QTest::keyClick(d->m_listFiles, Qt::Key_Escape);
                                          QVERIFY(!d->IsWorking());
                                      }
                                      QVERIFY(WaitForBackgroundWork(std::chrono::seconds(10)));
                                      QTest::qWait(20);
                                      QCOMPARE(Column(d, 0), comparisonOrder);
                                      QCOMPARE(d->m_listFiles->GetSortArrowColumn(), -1);
                                      for (int nColumn : {0, 0, 1 + kColumnSize, 1 + kColumnDirectory}) {
                                          ClickHeader(d, nColumn);
                                          QVERIFY(QTest::qWaitFor([d] { return !d->IsWorking(); }, 10000));
                                          const QStringList offThread = Column(d, 0) + Column(d, 1 + kColumnFileName);
                                          QCOMPARE(d->m_listFiles->GetSortArrowColumn(), nColumn);
                                          // The same order made at once, from the list's order
                                          // before the click.
                                          d->m_nRowsAtOnce = CMainDlg::kRowsAtOnce;
                                          ClickHeader(d, nColumn);
                                          ClickHeader(d, nColumn);
                                          QCOMPARE(Column(d, 0) + Column(d, 1 + kColumnFileName), offThread);
                                          d->m_nRowsAtOnce = 0;
                                      }
                                      QCOMPARE(Status(d), strCounts);
                                      ClickHeader(d, 0);
                                      QVERIFY(QTest::qWaitFor([d] { return !d->IsWorking(); }, 10000));
                                      d->GetShowUnchangedAction()->trigger();
                                      QVERIFY(QTest::qWaitFor([d] { return !d->IsWorking(); }, 10000));
                                      QCOMPARE(Column(d, 0).last(), QStringLiteral("同一"));
                                      QCOMPARE(d->m_listFiles->GetSortArrowColumn(), 0);
                                      d->m_listFiles->selectAll();
                                      QTest::keyClick(d->m_listFiles, Qt::Key_C, Qt::ControlModifier);
                                      QVERIFY(QTest::qWaitFor([d] { return !d->IsWorking(); }, 10000));
                                      const QString strCopied = QApplication::clipboard()->text();
                                      QCOMPARE(strCopied, d->GetFileList().RowsText(d->m_listFiles->GetSelectedRows(),
                                                                                    d->m_listFiles->ShownColumns()));
                                      QVERIFY(strCopied.startsWith(QStringLiteral("追加\tnew.txt\t")));
                                      QCOMPARE(strCopied.count(QLatin1Char('\n')), 6);
                                      QVERIFY(ClickButton(d, IDCANCEL));
                                  });
        RunWindow(driver, m_dir / "v2/Tools");
    }

    // The export compareWithACatalogue wrote from the window holds the bytes
    // norvane-list writes of the same comparison, sorted as the window was.
    // Last of all: the lister runs in a child process, and a window scanning
    // after a fork of this process with its pool's threads running is more
    // than the thread sanitizer can follow.
    void listerWritesTheWindowsBytes() {
        const std::string strExport = m_dir / "compare.html";
        QVERIFY(QFileInfo::exists(Q(strExport)));
        const std::string strListed = m_dir / "compare-lister.html";
        QProcess lister;
        lister.start(
            QStringLiteral(NORVANE_LISTER),
            {Q("--settings=" + m_dir / "Norvane.ini"), Q("--compare=" + m_dir / "v1.nvcat"),
             QStringLiteral("--sort=change:desc"), QStringLiteral("-c"),
             QStringLiteral("name,date,size,version,folder"), Q("--output=" + strListed), Q(m_dir / "v2/Tools")});
        QVERIFY(lister.waitForFinished(30000));
        QCOMPARE(lister.exitCode(), 1);
        const std::string strBytes = ReadAll(strExport);
        QCOMPARE(strBytes, ReadAll(strListed));
        QVERIFY(
            strBytes.starts_with("<table border=\"1\">\r\n<tbody>\r\n<TR>\r\n<TD bgColor=#0066cc><FONT class=VERDANA "
                                 "color=#ffffff>変化</FONT>"));
        QVERIFY(strBytes.find("<tr><TD>変更（バージョン）</TD><TD>tool.exe</TD><TD>2024/05/01 12:00</TD>") !=
                std::string::npos);
        QVERIFY(strBytes.find("<TD align=right>10 → 20</TD>") != std::string::npos);
        QVERIFY(strBytes.find("<TD>1.2.3.4 → 1.3.3.4</TD>") != std::string::npos);
        QVERIFY(strBytes.find("<TD>" + m_dir / "v1/Tools/sub/ → " + m_dir / "v2/Tools/other/</TD>") !=
                std::string::npos);
    }

private:
    // What compareWithACatalogue checks of the comparison it shows.
    void CheckComparisonShown(CMainDlg* d) {
        const QAbstractItemModel* m = d->m_listFiles->model();
        QCOMPARE(m->columnCount(), kColumnCount + 1);
        QCOMPARE(m->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Change"));
        QCOMPARE(Column(d, 0).size(), 5);
        const int nTool = RowOf(d, QStringLiteral("tool.exe"));
        const int nMoved = RowOf(d, QStringLiteral("moved.dat"));
        QCOMPARE(Column(d, 0).at(nTool), QStringLiteral("変更（バージョン）"));
        QCOMPARE(Column(d, 0).at(RowOf(d, QStringLiteral("readme.txt"))), QStringLiteral("変更（サイズ）"));
        QCOMPARE(Column(d, 0).at(RowOf(d, QStringLiteral("old.log"))), QStringLiteral("削除"));
        QCOMPARE(Column(d, 0).at(RowOf(d, QStringLiteral("new.txt"))), QStringLiteral("追加"));
        QCOMPARE(Column(d, 0).at(nMoved), QStringLiteral("移動"));
        // A removed file shows where it was, a moved one where it is.
        const int nFolder = 1 + kColumnDirectory;
        QCOMPARE(Column(d, nFolder).at(RowOf(d, QStringLiteral("old.log"))), Q(m_dir / "v1/Tools/"));
        QCOMPARE(Column(d, nFolder).at(nMoved), Q(m_dir / "v2/Tools/other/"));
        // Changed cells marked, the others not.
        const QModelIndex version = m->index(nTool, 1 + kColumnVersion);
        QCOMPARE(version.data().toString(), QStringLiteral("1.3.3.4"));
        QVERIFY(version.data(Qt::BackgroundRole).value<QColor>().isValid());
        QVERIFY(version.data(Qt::FontRole).value<QFont>().bold());
        QCOMPARE(version.data(Qt::AccessibleTextRole).toString(), QStringLiteral("1.3.3.4（変更前 1.2.3.4）"));
        QAccessibleInterface* pTable = QAccessible::queryAccessibleInterface(d->m_listFiles);
        QVERIFY(pTable != nullptr && pTable->tableInterface() != nullptr);
        QCOMPARE(pTable->tableInterface()->cellAt(nTool, 1 + kColumnVersion)->text(QAccessible::Name),
                 QStringLiteral("1.3.3.4（変更前 1.2.3.4）"));
        QCOMPARE(pTable->tableInterface()->cellAt(nTool, 0)->text(QAccessible::Name),
                 QStringLiteral("変更（バージョン）"));
        QCOMPARE(version.data(Qt::ToolTipRole).toString(), QStringLiteral("変更: 1.2.3.4 → 1.3.3.4"));
        QVERIFY(!m->index(nTool, 1 + kColumnSize).data(Qt::BackgroundRole).isValid());
        QCOMPARE(m->index(nMoved, nFolder).data(Qt::AccessibleTextRole).toString(),
                 Q(m_dir / "v2/Tools/other/（移動前 " + m_dir / "v1/Tools/sub/）"));
        QVERIFY2(Status(d).startsWith(
                     QStringLiteral("追加 1・削除 1・変更 2・移動 1（同一 1 は非表示）　比較したカタログ: ")),
                 qPrintable(Status(d)));
        QVERIFY2(d->windowTitle().startsWith(QStringLiteral("Norvane - 比較 v1.nvcat → ")),
                 qPrintable(d->windowTitle()));
        // The mark reads under the theme's text, light or dark.
        QVERIFY(d->grab().save(OutputPath("compare-window.png")));
        const QPalette light = QApplication::palette();
        QPalette dark = light;
        dark.setColor(QPalette::Base, QColor(30, 30, 30));
        dark.setColor(QPalette::Text, QColor(230, 230, 230));
        dark.setColor(QPalette::Window, QColor(45, 45, 45));
        dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
        for (const QPalette& palette : {light, dark}) {
            QApplication::setPalette(palette);
            QCoreApplication::sendPostedEvents();
            const QPalette shown = d->m_listFiles->palette();
            const QColor mark = version.data(Qt::BackgroundRole).value<QColor>();
            QVERIFY2(Contrast(mark, shown.color(QPalette::Text)) >= 4.5, qPrintable(mark.name()));
            QVERIFY(Contrast(mark, shown.color(QPalette::Base)) > 1.2);
        }
        QVERIFY(d->grab().save(OutputPath("compare-window-dark.png")));
        QApplication::setPalette(light);
        // By the change column: the kinds in the order the counts name them.
        ClickHeader(d, 0);
        QCOMPARE(Column(d, 0),
                 QStringList({QStringLiteral("追加"), QStringLiteral("削除"), QStringLiteral("変更（サイズ）"),
                              QStringLiteral("変更（バージョン）"), QStringLiteral("移動")}));
        // Copying: the change first, both values of a changed cell.
        d->m_listFiles->selectionModel()->select(m->index(2, 0),
                                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        QCOMPARE(d->GetFileList().RowsText(d->m_listFiles->GetSelectedRows(), d->m_listFiles->ShownColumns()),
                 QStringLiteral("変更（サイズ）\treadme.txt\t2024/05/01 12:00\t10 → "
                                "20\t\t.txt\t") +
                     Q(m_dir / "v2/Tools/") + QStringLiteral("\t\t\n"));
        // The unchanged file on request, the sort kept.
        d->GetShowUnchangedAction()->trigger();
        QCOMPARE(Column(d, 0).size(), 6);
        QCOMPARE(Column(d, 0).last(), QStringLiteral("同一"));
        QVERIFY(Status(d).startsWith(QStringLiteral("追加 1・削除 1・変更 2・移動 1・同一 1　")));
        d->GetShowUnchangedAction()->trigger();
        ClickHeader(d, 0);  // reversed: as norvane-list --sort=change:desc
        QCOMPARE(Column(d, 0).first(), QStringLiteral("移動"));
    }
};

QTEST_MAIN(CatalogueWindowTest)
#include "CatalogueWindowTest.moc"
