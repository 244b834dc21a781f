// Window tests of catalogues: saved from the window (Ctrl+S and the menus)
// in scan order whatever the list's order, opened again (Ctrl+O, the command
// line) and sorted as the scan was, "リストを更新(&R)" leaving the
// catalogue, and bad files and failed saves said so with the list kept.
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QtTest>

#include <string>
#include <vector>

#include "app/ListerApp.h"
#include "app/MainDlg.h"
#include "catalogue/BackgroundScan.h"
#include "catalogue/CellText.h"
#include "app/QtTranslations.h"
#include "platform/CodePage.h"
#include "store/Catalogue.h"
#include "support/ModalDriver.h"
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

}  // namespace

class CatalogueWindowTest : public QObject {
    Q_OBJECT

    CListerApp m_app;
    TempDir m_dir;

    // The window on the tree, scanned at start-up; driver's steps end it.
    void RunWindow(ModalDriver& driver) {
        CMainDlg dlg;
        dlg.SetFolder(m_dir / "Tools");
        dlg.exec();
        QVERIFY2(driver.Finished(), qPrintable(driver.Error()));
    }

private slots:
    void initTestCase() {
        QVERIFY(InstallQtTranslations());
        SetSettingsPath(m_dir / "Norvane.ini");
        MakeTree(m_dir);
    }
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
};

QTEST_MAIN(CatalogueWindowTest)
#include "CatalogueWindowTest.moc"
