// Window tests of the main window while it scans, on a file system made slow
// through the system-call seam: rows before the end, every way a scan stops
// (Escape, the close box and "終了", a new folder), a close while a worker is
// held inside a system call, the rows of a complete scan, and folders named
// by bytes the code page cannot hold, missing, or longer than the box.
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QtTest>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/ListerApp.h"
#include "app/MainDlg.h"
#include "app/StatusLine.h"
#include "catalogue/BackgroundScan.h"
#include "catalogue/FolderScan.h"
#include "catalogue/WorkerPool.h"
#include "platform/CodePage.h"
#include "platform/SystemCalls.h"
#include "platform/Threads.h"
#include "support/ModalDriver.h"
#include "support/TempDir.h"

using namespace norvane;
using namespace norvane::test;
using namespace std::chrono_literals;

namespace {

// A worker that opens a folder named "held" waits there until released; the
// flag says when one does.
std::atomic<bool> g_bHold{false};
std::atomic<bool> g_bInsideHeldCall{false};
int HoldingOpenAt(int dirFd, const char* name, int flags) {
    if (std::string_view(name) == "held") {
        g_bInsideHeldCall = true;
        while (g_bHold.load()) std::this_thread::sleep_for(2ms);
    }
    return RealSystemCalls().openAt(dirFd, name, flags);
}

// A folder named "locked" cannot be read.
int LockingOpenAt(int dirFd, const char* name, int flags) {
    if (std::string_view(name) == "locked") {
        errno = EACCES;
        return -1;
    }
    return RealSystemCalls().openAt(dirFd, name, flags);
}

// A tree whose own five files come out before the scan can end, whatever
// the order of its subfolders.
void MakeTree(const TempDir& tree, const std::string& strTag = "top") {
    for (int i = 0; i < 5; ++i) tree.MakeFile(strTag + std::to_string(i) + ".txt");
    tree.MakeFolder("held");
    tree.MakeFile("held/late.txt");
}

// Every call of the folder scan waits two seconds while g_bHang is set.
std::atomic<bool> g_bHang{false};
void Hang() {
    if (g_bHang.load()) std::this_thread::sleep_for(2s);
}
int HangingOpenAt(int dirFd, const char* name, int flags) {
    Hang();
    return RealSystemCalls().openAt(dirFd, name, flags);
}
DIR* HangingFdOpenDir(int fd) {
    Hang();
    return RealSystemCalls().fdOpenDir(fd);
}
struct dirent* HangingReadDir(DIR* dir) {
    Hang();
    return RealSystemCalls().readDir(dir);
}
int HangingCloseDir(DIR* dir) {
    Hang();
    return RealSystemCalls().closeDir(dir);
}
int HangingFstatAt(int dirFd, const char* name, struct stat* st, int flags) {
    Hang();
    return RealSystemCalls().fstatAt(dirFd, name, st, flags);
}

bool WaitForScan(CMainDlg* d) {
    return QTest::qWaitFor([d] { return !d->IsScanning(); }, 10000);
}

std::vector<std::string> Rows(CMainDlg* d) {
    std::vector<std::string> rows;
    for (const FileItem* pItem : d->GetFileList().Items())
        rows.push_back(pItem->directory() + std::string(pItem->fileName));
    return rows;
}

QString Status(CMainDlg* d) { return d->GetStatusLine()->text(); }

// The number of files the status line gives ("検索中: 1,234 ファイル" while
// scanning); -1 when it gives none.
long StatusCount(CMainDlg* d) {
    static const QRegularExpression number(QStringLiteral("([0-9,]+) ファイル"));
    const QRegularExpressionMatch match = number.match(Status(d));
    return match.hasMatch() ? match.captured(1).remove(QLatin1Char(',')).toLong() : -1;
}

// The lightness of the darkest pixel of the headings: their text's.
int DarkestHeading(CMainDlg* d) {
    const QImage image = d->m_listFiles->horizontalHeader()->grab().toImage();
    int nDarkest = 255;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) nDarkest = std::min(nDarkest, image.pixelColor(x, y).lightness());
    }
    return nDarkest;
}

// The rows norvane-list's scan gives for folder, in its order.
std::vector<std::string> ListedByTheLister(const std::string& strFolder) {
    FileStore store;
    std::vector<std::string> rows;
    ScanOptions options;
    options.threads = 0;
    ScanFolder(strFolder, options, store,
               [&](FileItem* pItem) { rows.push_back(pItem->directory() + std::string(pItem->fileName)); }, {});
    return rows;
}

void TypeFolder(CMainDlg* d, const QString& strText) {
    d->m_cbFolder->setEditText(QString());
    TypeText(d->m_cbFolder, strText);
}

}  // namespace

class MainDlgScanTest : public QObject {
    Q_OBJECT

    CListerApp m_app;
    std::unique_ptr<TempDir> m_pSettingsDir;

    std::string SettingsFile() const { return *m_pSettingsDir / "Norvane.ini"; }

    // Runs the window on folder (scanned at start-up, the scan held at
    // "held"); fnSteps acts on it while the scan is still running.
    int RunHeld(const std::string& strFolder, const std::function<void(CMainDlg*)>& fnSteps) {
        g_bHold = true;
        g_bInsideHeldCall = false;
        Sys().openAt = HoldingOpenAt;
        CMainDlg dlg;
        dlg.SetFolder(strFolder);
        ModalDriver driver(10000);
        driver.Then<CMainDlg>([&](CMainDlg* d) {
            QVERIFY(d->IsScanning());
            fnSteps(d);
        });
        const int nResult = dlg.exec();
        g_bHold = false;
        if (!driver.Finished()) qWarning("driver: %s", qPrintable(driver.Error()));
        return nResult;
    }

private slots:
    void init() {
        m_pSettingsDir = std::make_unique<TempDir>();
        SetSettingsPath(SettingsFile());
    }
    void cleanup() {
        g_bHold = false;
        g_bHang = false;
        QVERIFY(WaitForBackgroundWork(10s));
        Sys() = RealSystemCalls();
        SetCodePage(kCodePageUtf8);
        SetFileSystemCodePage(kCodePageUtf8);
        SetFolderBrowser(nullptr);
    }

    // Rows show while the scan waits inside the file system, already in scan
    // order, and whenever rows reach the list the status line says at least
    // as many files: the folder is listed anew (and held again) to see its
    // first rows.
    void rowsArriveBeforeTheEnd() {
        TempDir tree;
        MakeTree(tree);
        const std::vector<std::string> expected = ListedByTheLister(tree.Path());
        RunHeld(tree.Path(), [&](CMainDlg* d) {
            std::vector<std::pair<int, long>> shownAndSaid;
            const QMetaObject::Connection watch = QObject::connect(
                d->m_listFiles->model(), &QAbstractItemModel::rowsInserted, d,
                [&shownAndSaid, d] { shownAndSaid.emplace_back(d->m_listFiles->GetItemCount(), StatusCount(d)); },
                Qt::QueuedConnection);
            TypeFolder(d, QString::fromStdString(tree.Path()));
            QVERIFY(ClickButton(d, IDC_UPDATE_LIST));
            QVERIFY(
                QTest::qWaitFor([&] { return !shownAndSaid.empty() && d->m_listFiles->GetItemCount() >= 5; }, 5000));
            QVERIFY(d->IsScanning());
            QVERIFY(Status(d).startsWith(QStringLiteral("検索中: ")));
            QObject::disconnect(watch);
            for (const auto& [nShown, nSaid] : shownAndSaid) QVERIFY2(nSaid >= nShown, qPrintable(Status(d)));
            // What the list shows, and what the workers found (five, held at
            // "held" before the sixth).
            QTRY_VERIFY(Status(d).startsWith(QStringLiteral("検索中: 5 件表示・5 ファイル検出")));
            const std::vector<std::string> early = Rows(d);
            QVERIFY(std::equal(early.begin(), early.end(), expected.begin()));
            QVERIFY(ClickButton(d, IDCANCEL));
        });
    }

    // While a listing is made, export and sorting are greyed (the headings
    // drawn greyed too) and the list shows a busy cursor, the list alone;
    // the window gets them back at the end. Grabbed to PNG both ways.
    void theListIsGreyedWhileItIsMade() {
        TempDir tree;
        MakeTree(tree);
        RunHeld(tree.Path(), [&](CMainDlg* d) {
            QVERIFY(QTest::qWaitFor([&] { return d->m_listFiles->GetItemCount() >= 5; }, 5000));
            QVERIFY(!IsEnabled(d, IDC_OUTPUT_ALL) && !IsEnabled(d, IDC_OUTPUT_SELECTED));
            QVERIFY(!d->m_listFiles->horizontalHeader()->sectionsClickable());
            const int nGreyed = DarkestHeading(d);
            QVERIFY(d->grab().save(OutputPath("main-window-scanning.png")));
            QCOMPARE(d->m_listFiles->cursor().shape(), Qt::BusyCursor);
            QVERIFY(QApplication::overrideCursor() == nullptr);
            g_bHold = false;
            QVERIFY(WaitForScan(d));
            QVERIFY(IsEnabled(d, IDC_OUTPUT_ALL) && d->m_listFiles->horizontalHeader()->sectionsClickable());
            QVERIFY2(DarkestHeading(d) + 40 < nGreyed, qPrintable(QString::number(nGreyed)));
            QCOMPARE(d->m_listFiles->cursor().shape(), Qt::ArrowCursor);
            QVERIFY(d->grab().save(OutputPath("main-window-scanned.png")));
            QVERIFY(ClickButton(d, IDCANCEL));
        });
    }

    // A complete listing is the lister's, row for row, and the status line
    // gives its number of files.
    void aCompleteListingIsTheListers() {
        TempDir tree;
        MakeTree(tree);
        tree.MakeFolder("a");
        tree.MakeFile("a/x.txt");
        const std::vector<std::string> expected = ListedByTheLister(tree.Path());
        QCOMPARE(expected.size(), std::size_t{7});
        RunHeld(tree.Path(), [&](CMainDlg* d) {
            g_bHold = false;
            QVERIFY(WaitForScan(d));
            QCOMPARE(Rows(d), expected);
            QCOMPARE(Status(d), QStringLiteral("7 ファイル"));
            QVERIFY(ClickButton(d, IDCANCEL));
        });
    }

    // Escape stops the scan at once and keeps its rows, saying so; the
    // window stays. Escape without a scan ends the window, as before.
    void escapeStopsTheScanOnly() {
        TempDir tree;
        MakeTree(tree);
        const int nResult = RunHeld(tree.Path(), [&](CMainDlg* d) {
            QVERIFY(QTest::qWaitFor([&] { return g_bInsideHeldCall.load(); }, 5000));
            QVERIFY(QTest::qWaitFor([&] { return d->m_listFiles->GetItemCount() == 5; }, 5000));
            QTest::keyClick(d->m_listFiles, Qt::Key_Escape);
            QVERIFY(!d->IsScanning());
            QVERIFY(d->isVisible());
            QCOMPARE(d->m_listFiles->GetItemCount(), 5);
            QCOMPARE(Status(d), QStringLiteral("中止しました。5 件を表示（残りは一覧にありません）"));
            QVERIFY(IsEnabled(d, IDC_OUTPUT_ALL));
            QVERIFY(d->grab().save(OutputPath("main-window-stopped.png")));
            QTest::keyClick(d->m_listFiles, Qt::Key_Escape);
        });
        QCOMPARE(nResult, QDialog::Rejected);
    }

    // The close box and "終了" during a scan end the window at once, with
    // the history saved; the held worker ends afterwards, on its own.
    void closingDuringAScanSavesTheHistory() {
        TempDir tree;
        MakeTree(tree);
        for (bool bCloseBox : {true, false}) {
            RunHeld(tree.Path(), [&](CMainDlg* d) {
                d->m_cbFolder->AddString("/srv/kept");
                QVERIFY(QTest::qWaitFor([&] { return g_bInsideHeldCall.load(); }, 5000));
                if (bCloseBox) d->close();
                else QVERIFY(ClickButton(d, IDCANCEL));
            });
            QVERIFY(g_bInsideHeldCall.load());
            QVERIFY(ReadAll(SettingsFile()).find("HISTORY1=/srv/kept\r\n") != std::string::npos);
            // The worker still waits inside the call when the window is gone.
            std::this_thread::sleep_for(20ms);
            g_bHold = false;
            QVERIFY(WaitForBackgroundWork(10s));
        }
    }

    // A folder typed during a scan replaces it: none of the old scan's rows
    // come later, and the old records stay valid until its workers end.
    void aNewFolderReplacesTheScan() {
        TempDir first, second;
        MakeTree(first, "old");
        second.MakeFile("new.txt");
        RunHeld(first.Path(), [&](CMainDlg* d) {
            QVERIFY(QTest::qWaitFor([&] { return g_bInsideHeldCall.load(); }, 5000));
            TypeFolder(d, QString::fromStdString(second.Path()));
            QVERIFY(ClickButton(d, IDC_UPDATE_LIST));
            QVERIFY(WaitForScan(d));
            QCOMPARE(Rows(d), std::vector<std::string>{second / "new.txt"});
            g_bHold = false;  // the old scan's worker goes on, unheard
            QVERIFY(WaitForBackgroundWork(10s));
            QTest::qWait(50);
            QCOMPARE(Rows(d), std::vector<std::string>{second / "new.txt"});
            QCOMPARE(Status(d), QStringLiteral("1 ファイル"));
            QVERIFY(ClickButton(d, IDCANCEL));
        });
    }

    // A folder the scan could not read is told on the status line after
    // the count, once, by its name (which gives way first when the line is
    // narrow).
    void warningsNameTheirFolder() {
        TempDir tree;
        QVERIFY(tree.MakeFile("a.txt") && tree.MakeFolder("locked") && tree.MakeFile("locked/x.txt"));
        Sys().openAt = LockingOpenAt;
        CMainDlg dlg;
        dlg.SetFolder(tree.Path());
        ModalDriver driver(10000);
        driver.Then<CMainDlg>([&](CMainDlg* d) {
            QVERIFY(WaitForScan(d));
            const auto* pStatus = static_cast<const StatusLine*>(d->GetStatusLine());
            QCOMPARE(pStatus->Text(), QStringLiteral("1 ファイル　警告 1 件: "));
            QCOMPARE(pStatus->Detail().toStdString(),
                     tree.Folder() + "locked/: アクセスが拒否されました。処理を続けます。");
            QVERIFY(Status(d).startsWith(pStatus->Text()));
            QVERIFY(ClickButton(d, IDCANCEL));
        });
        dlg.exec();
        QVERIFY2(driver.Finished(), qPrintable(driver.Error()));
    }

    // Folders whose names the code page cannot hold (Shift-JIS, a Korean
    // name) are read by their own bytes from the command line, the box, the
    // chooser and the history, which keeps them across a restart; nothing
    // named "??" is read or made.
    void foldersBeyondTheCodePage() {
        SetCodePage(kCodePageShiftJis);
        SetFileSystemCodePage(kCodePageShiftJis);
        TempDir tree;
        const std::string strKorean = tree / "한국";
        QVERIFY(tree.MakeFolder("한국"));
        QVERIFY(tree.MakeFile("한국/file.txt"));
        auto listsKorean = [](CMainDlg* d) {
            return d->m_listFiles->GetItemCount() == 1 && d->GetFileList().Item(0)->fileName == "file.txt";
        };
        SetFolderBrowser([&](QWidget*, const std::string&) { return std::optional<std::string>(strKorean); });
        char arg0[] = "norvane";
        std::string strArg = strKorean;
        char* argv[] = {arg0, strArg.data()};
        ModalDriver driver(10000);
        driver.Then<CMainDlg>([&](CMainDlg* d) {
            QVERIFY(WaitForScan(d));
            QVERIFY(listsKorean(d));
            TypeFolder(d, QString::fromStdString(strKorean));
            QVERIFY(ClickButton(d, IDC_UPDATE_LIST) && WaitForScan(d));
            QVERIFY(listsKorean(d));
            QVERIFY(ClickButton(d, IDC_SELECT_FOLDER) && WaitForScan(d));
            QVERIFY(listsKorean(d));
            QVERIFY(ClickButton(d, IDCANCEL));
        });
        QVERIFY(!m_app.InitInstance(2, argv));
        QVERIFY2(driver.Finished(), qPrintable(driver.Error()));
        QVERIFY(ReadAll(SettingsFile()).find("HISTORY1=" + strKorean + "\r\n") != std::string::npos);

        // After a restart the entry, picked, lists the folder again.
        CMainDlg dlg;
        ModalDriver again(10000);
        again.Then<CMainDlg>([&](CMainDlg* d) {
            d->m_cbFolder->setCurrentIndex(0);
            QVERIFY(ClickButton(d, IDC_UPDATE_LIST) && WaitForScan(d));
            QVERIFY(listsKorean(d));
            QVERIFY(ClickButton(d, IDCANCEL));
        });
        dlg.exec();
        QVERIFY2(again.Finished(), qPrintable(again.Error()));
        QVERIFY(!std::filesystem::exists(tree / "??"));
    }

    // A file given on the command line: the window shows first, then says
    // the argument is no folder (naming it), lists nothing and keeps the
    // history as it was.
    void fileOnTheCommandLine() {
        TempDir tree;
        tree.MakeFile("notes.txt", "n");
        char arg0[] = "norvane";
        std::string strArg = tree / "notes.txt";
        char* argv[] = {arg0, strArg.data()};
        ModalDriver driver(10000);
        driver
            .Then<QMessageBox>([&](QMessageBox* box) {
                auto* pMain = dynamic_cast<CMainDlg*>(box->parentWidget());
                QVERIFY(pMain != nullptr && pMain->isVisible());
                QCOMPARE(box->text(), QStringLiteral("指定されたパスはフォルダではありません。フォルダを指定して"
                                                     "ください。\n\n") +
                                          QString::fromStdString(strArg));
                QCOMPARE(box->icon(), QMessageBox::Warning);
                QVERIFY(ClickButtonText(box, QStringLiteral("OK")));
            })
            .Then<CMainDlg>([&](CMainDlg* d) {
                QCOMPARE(d->m_listFiles->GetItemCount(), 0);
                QCOMPARE(Status(d), QStringLiteral("フォルダではありません"));
                QCOMPARE(d->m_cbFolder->count(), 0);
                QVERIFY(ClickButton(d, IDCANCEL));
            });
        QVERIFY(!m_app.InitInstance(2, argv));
        QVERIFY2(driver.Finished(), qPrintable(driver.Error()));
    }

    // Fifty folder changes in a row, half through the folder box (each
    // looked at first) and half as the chooser makes them, on a file system
    // where every call hangs for two seconds: the process never holds more
    // threads than the pool and a few of its own, and once the calls come
    // back the last folder is listed and every worker is back.
    void fiftyFolderChangesOnAHangingFileSystem() {
        TempDir tree;
        for (int i = 0; i < 50; ++i) {
            QVERIFY(tree.MakeFolder(std::to_string(i)));
            QVERIFY(tree.MakeFile(std::to_string(i) + "/file" + std::to_string(i)));
        }
        ModalDriver driver(60000);
        int nPeak = 0;
        int nOwn = 0;
        driver.Then<CMainDlg>([&](CMainDlg* d) {
            // The threads of the process besides the pool's: the window's,
            // Qt's, the test's.
            nOwn = ProcessThreadCount() - static_cast<int>(WorkerPool::Shared().ThreadCount());
            g_bHang = true;
            Sys().openAt = HangingOpenAt;
            Sys().fdOpenDir = HangingFdOpenDir;
            Sys().readDir = HangingReadDir;
            Sys().closeDir = HangingCloseDir;
            Sys().fstatAt = HangingFstatAt;
            for (int i = 0; i < 50; ++i) {
                const std::string strFolder = tree / std::to_string(i);
                if (i % 2 == 0) {
                    TypeFolder(d, QString::fromStdString(strFolder));
                    QVERIFY(ClickButton(d, IDC_UPDATE_LIST));
                } else {
                    d->SetFolder(strFolder);
                }
                QTest::qWait(5);
                nPeak = std::max(nPeak, ProcessThreadCount());
            }
            for (int i = 0; i < 50; ++i) {
                QTest::qWait(20);
                nPeak = std::max(nPeak, ProcessThreadCount());
            }
            g_bHang = false;
            QVERIFY(QTest::qWaitFor([&] { return Rows(d) == std::vector<std::string>{tree / "49/file49"}; }, 30000));
            QVERIFY(WaitForScan(d));
            QVERIFY(ClickButton(d, IDCANCEL));
        });
        CMainDlg dlg;
        dlg.exec();
        QVERIFY2(driver.Finished(), qPrintable(driver.Error()));
        QVERIFY(WaitForBackgroundWork(30s));
        const int nPool = static_cast<int>(WorkerPool::Shared().Bound() + WorkerPool::kOtherTasks);
        qInfo("threads: %d at most, of which %d the process's own; the pool may hold %d", nPeak, nOwn, nPool);
        QVERIFY(nPeak <= nOwn + nPool + 2);
    }

    // A missing folder from the command line is said so, lists nothing and
    // is not made.
    void aMissingFolderOnTheCommandLineListsNothing() {
        TempDir tree;
        const std::string strMissing = tree / "missing";
        char arg0[] = "norvane";
        std::string strArg = strMissing;
        char* argv[] = {arg0, strArg.data()};
        ModalDriver driver(10000);
        driver
            .Then<QMessageBox>([](QMessageBox* box) {
                QCOMPARE(box->text(), QStringLiteral("フォルダが見つかりません"));
                QCOMPARE(box->icon(), QMessageBox::Warning);
                QVERIFY(ClickButtonText(box, QStringLiteral("OK")));
            })
            .Then<CMainDlg>([&](CMainDlg* d) {
                QCOMPARE(d->m_listFiles->GetItemCount(), 0);
                QCOMPARE(Status(d), QStringLiteral("フォルダが見つかりません"));
                QVERIFY(ClickButton(d, IDCANCEL));
            });
        QVERIFY(!m_app.InitInstance(2, argv));
        QVERIFY2(driver.Finished(), qPrintable(driver.Error()));
        QVERIFY(!std::filesystem::exists(strMissing));
    }

    // The folder box keeps a path longer than it is wide, and that whole
    // path is listed and kept in the history.
    void aFolderLongerThanTheBoxIsListedWhole() {
        TempDir tree;
        std::string strLong = tree.Path();
        for (int i = 0; i < 4; ++i) {
            strLong += "/" + std::string(60, static_cast<char>('a' + i));
            QVERIFY(std::filesystem::create_directory(strLong));
        }
        std::ofstream(strLong + "/deep.txt") << "d";
        CMainDlg dlg;
        ModalDriver driver(10000);
        driver.Then<CMainDlg>([&](CMainDlg* d) {
            TypeFolder(d, QString::fromStdString(strLong));
            QCOMPARE(d->m_cbFolder->currentText().toStdString(), strLong);
            QVERIFY(ClickButton(d, IDC_UPDATE_LIST) && WaitForScan(d));
            QCOMPARE(Rows(d), std::vector<std::string>{strLong + "/deep.txt"});
            QCOMPARE(d->m_cbFolder->itemText(0).toStdString(), strLong);
            QVERIFY(ClickButton(d, IDCANCEL));
        });
        dlg.exec();
        QVERIFY2(driver.Finished(), qPrintable(driver.Error()));
    }
};

QTEST_MAIN(MainDlgScanTest)
#include "MainDlgScanTest.moc"
