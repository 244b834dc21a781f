// Window tests of the main window, driven as a user would: start-up on a
// command-line folder with the settings and the history, the layout, the
// cells and check boxes, header-click sorting and its quirks, F1 and the
// About box, resizing, the folder choice and its history, and scans that
// stop early.
#include <unistd.h>

#include <QAbstractItemModelTester>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QStyleOptionComboBox>
#include <QScrollBar>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <thread>

#include "app/AboutDlg.h"
#include "app/ListerApp.h"
#include "app/MainDlg.h"
#include "catalogue/BackgroundScan.h"
#include "catalogue/CellText.h"
#include "catalogue/Compare.h"
#include "export/OutputOptionsDlg.h"
#include "platform/Paths.h"
#include "platform/SystemCalls.h"
#include "platform/linux/SystemCallTable.h"
#include "support/MainWindow.h"
#include "support/ModalDriver.h"
#include "support/PeBuilder.h"
#include "support/TempDir.h"

using namespace norvane;
using namespace norvane::test;

namespace {

// The test tree: own files of every kind, a subfolder with a versioned DLL.
// ".hidden" is hidden; "big" is a sparse file of 4 GiB.
void MakeTree(const TempDir& tree) {
    tree.MakeFile("A.TXT", "12345");
    tree.MakeFile("b.txt", std::string(300, 'b'));
    tree.MakeFile(".hidden", "0123456789");
    tree.MakeFile("日本語ﾌｧｲﾙ.txt", "ja");
    tree.MakeFile("big");
    QVERIFY(truncate((tree / "big").c_str(), 4294967296LL) == 0);
    tree.MakeFolder("sub");
    PeOptions options;
    options.fileVersionMS = 0x00060001;  // 6.1
    options.fileVersionLS = 0x1DB04001;  // .7600.16385
    QVERIFY(PeBuilder::WriteFile(tree / "sub/d.dll", PeBuilder(options).Build()));
    tree.MakeFile("sub/e", "e");
}

const FileItem* Item(CMainDlg* d, int nRow) { return d->GetFileList().Item(nRow); }

std::vector<std::string> Names(CMainDlg* d) {
    std::vector<std::string> names;
    for (int i = 0; i < d->m_listFiles->GetItemCount(); ++i) names.emplace_back(Item(d, i)->fileName);
    return names;
}

int RowOf(CMainDlg* d, std::string_view name) {
    for (int i = 0; i < d->m_listFiles->GetItemCount(); ++i) {
        if (Item(d, i)->fileName == name) return i;
    }
    return -1;
}

QString Cell(CMainDlg* d, int nRow, int nColumn) {
    QCoreApplication::processEvents();  // rows are announced to the view from the event loop
    QAbstractItemModel* pModel = d->m_listFiles->model();
    return pModel->data(pModel->index(nRow, nColumn)).toString();
}

void ClickRow(CMainDlg* d, int nRow, Qt::KeyboardModifiers mods = {}) {
    CListCtrl* pView = d->m_listFiles;
    QCoreApplication::processEvents();
    QTest::mouseClick(pView->viewport(), Qt::LeftButton, mods,
                      pView->visualRect(pView->model()->index(nRow, 0)).center());
}

std::vector<std::string> History(CMainDlg* d) {
    std::vector<std::string> entries;
    for (int i = 0; i < d->m_cbFolder->count(); ++i) entries.push_back(d->m_cbFolder->itemText(i).toStdString());
    return entries;
}

QComboBox* Combo(CMainDlg* d) { return d->m_cbFolder; }

// Where the folder box draws its drop-down arrow, in the window.
QRect ComboArrowRect(QComboBox* pCombo) {
    QStyleOptionComboBox option;
    option.initFrom(pCombo);
    option.editable = pCombo->isEditable();
    const QRect rcArrow =
        pCombo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow, pCombo);
    return rcArrow.translated(pCombo->geometry().topLeft()) & pCombo->geometry();
}

// Waits until the listing the window runs has ended.
bool WaitForScan(CMainDlg* d) {
    return QTest::qWaitFor([d] { return !d->IsScanning(); }, 10000);
}

// Clicks a button, then waits for the listing it started to end.
bool ClickAndWait(CMainDlg* d, int nId) { return ClickButton(d, nId) && WaitForScan(d); }

void TypeFolder(CMainDlg* d, const std::string& strText) {
    Combo(d)->setEditText(QString());
    TypeText(Combo(d), QString::fromStdString(strText));
}

// The rows of the list that show a focus frame: a line of the text's colour
// along the row's top, where a plain row shows its background alone.
std::vector<int> FramedRows(CListCtrl* pList) {
    QCoreApplication::processEvents();
    const QImage image = pList->viewport()->grab().toImage();
    std::vector<int> rows;
    for (int nRow = 0; nRow < pList->GetItemCount(); ++nRow) {
        const QRect rc = pList->visualRect(pList->model()->index(nRow, 0));
        if (rc.top() < 0 || rc.top() >= image.height()) continue;
        const bool bSelected = pList->selectionModel()->isRowSelected(nRow, QModelIndex());
        const QColor background = pList->palette().color(bSelected ? QPalette::Highlight : QPalette::Base);
        int nMarked = 0;
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, rc.top());
            const int nDistance = std::abs(pixel.red() - background.red()) +
                                  std::abs(pixel.green() - background.green()) +
                                  std::abs(pixel.blue() - background.blue());
            if (nDistance > 150) ++nMarked;
        }
        if (nMarked > image.width() / 5) rows.push_back(nRow);
    }
    return rows;
}

// The folder box's arrow lies inside the window and clear of the button on
// its right.
bool ArrowInSight(CMainDlg* d) {
    const QRect rcArrow = ComboArrowRect(Combo(d));
    return rcArrow.width() > 0 && d->rect().contains(rcArrow) &&
           !rcArrow.intersects(d->Control(IDC_UPDATE_LIST)->geometry());
}

// Runs the dialog modally; fnSteps acts on it (once its listing has ended,
// with bSettled), then it is closed with "終了".
void RunMain(CMainDlg& dlg, const std::function<void(CMainDlg*)>& fnSteps, bool bSettled = true) {
    ModalDriver driver(10000);
    driver.Then<CMainDlg>([&](CMainDlg* d) {
        if (bSettled) QVERIFY(WaitForScan(d));
        fnSteps(d);
        if (d->isVisible()) ClickButton(d, IDCANCEL);
    });
    dlg.exec();
    if (!driver.Finished()) qWarning("driver: %s", qPrintable(driver.Error()));
}

// Runs the window on the test tree, scanned at start-up.
void OnTree(const std::function<void(CMainDlg*)>& fnSteps) {
    TempDir tree;
    MakeTree(tree);
    CMainDlg dlg;
    dlg.SetFolder(tree.Path() + "/");
    RunMain(dlg, fnSteps);
}

// Opens the context menu at pos of pTarget (a right click), gives the texts
// of its items (a greyed one in brackets) and chooses strChoice (none: the
// menu is closed with Escape).
QStringList ContextMenu(QWidget* pTarget, QPoint pos, const QString& strChoice = {}) {
    QStringList items;
    ModalDriver driver;
    driver.ThenPopup([&](QMenu* pMenu) {
        for (QAction* pAction : pMenu->actions()) {
            if (pAction->isSeparator()) continue;
            items << (pAction->isEnabled() ? pAction->text() : QLatin1Char('[') + pAction->text() + QLatin1Char(']'));
        }
        if (strChoice.isEmpty() || !TriggerMenuItem(pMenu, strChoice)) QTest::keyClick(pMenu, Qt::Key_Escape);
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, pTarget->mapToGlobal(pos));
    QCoreApplication::sendEvent(pTarget, &event);
    if (!driver.Finished()) qWarning("context menu: %s", qPrintable(driver.Error()));
    return items;
}

// The catalogue items of the list's menu and the window's.
const QStringList kCatalogueItems{QStringLiteral("カタログを開く(&O)..."), QStringLiteral("カタログを保存(&V)..."),
                                   QStringLiteral("カタログと比較(&M)..."), QStringLiteral("同一のファイルも表示(&U)")};

// The lines of tab-separated cells the rows show, columns in their order.
QString RowsAsShown(CMainDlg* d, const std::vector<int>& rows) {
    QString strText;
    for (int nRow : rows) {
        QStringList cells;
        for (int nColumn = 0; nColumn < kColumnCount; ++nColumn) cells << Cell(d, nRow, nColumn);
        strText += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return strText;
}

// Holds the scan's workers at the folder "sub" until released.
std::atomic<bool> g_bHoldSub{false};
int HoldingOpenAt(int dirFd, const char* name, int flags) {
    while (std::string_view(name) == "sub" && g_bHoldSub.load())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return RealSystemCalls().openAt(dirFd, name, flags);
}

// Runs an action that is to show one warning box titled with the program's
// name (at once or when the listing it starts ends), confirms it with OK and
// gives its text (empty when none showed).
QString ExpectWarning(const std::function<void()>& fnAction) {
    QString strText;
    ModalDriver driver;
    driver.Then<QMessageBox>([&](QMessageBox* box) {
        QCOMPARE(box->icon(), QMessageBox::Warning);
        QCOMPARE(box->windowTitle(), QCoreApplication::applicationName());
        strText = box->text();
        ClickButtonText(box, QStringLiteral("OK"));
    });
    fnAction();
    if (!QTest::qWaitFor([&] { return driver.Finished() || driver.Failed(); }, 10000)) qWarning("no box came");
    return strText;
}

}  // namespace

class MainDlgTest : public QObject {
    Q_OBJECT

    CListerApp m_app;
    std::unique_ptr<TempDir> m_pSettingsDir;

    std::string SettingsFile() const { return *m_pSettingsDir / "Norvane.ini"; }

    // Starts the program as its command line does, on strFolder if any;
    // fnSteps acts on the window, which is then closed with "終了".
    void RunStartUp(std::string strFolder, const std::function<void(CMainDlg*)>& fnSteps) {
        char arg0[] = "norvane";
        char* argv[] = {arg0, strFolder.data()};
        ModalDriver driver(10000);
        driver.Then<CMainDlg>([&](CMainDlg* d) {
            fnSteps(d);
            ClickButton(d, IDCANCEL);
        });
        QVERIFY(!m_app.InitInstance(strFolder.empty() ? 1 : 2, argv));
        g_bHoldSub = false;
        QVERIFY2(driver.Finished(), qPrintable(driver.Error()));
    }

private slots:
    void init() {
        QTest::failOnWarning(QRegularExpression(
            QStringLiteral("^(?!This plugin does not support (propagateSizeHints|raise|grabbing the keyboard)).*")));
        m_pSettingsDir = std::make_unique<TempDir>();
        SetSettingsPath(SettingsFile());
    }
    void cleanup() {
        g_bHoldSub = false;
        // No worker of a scan let go may still use the calls put back.
        QVERIFY(WaitForBackgroundWork(std::chrono::seconds(10)));
        Sys() = RealSystemCalls();
        SetFolderBrowser(nullptr);
    }

    // The folder parameter is the first argument that is no option.
    void theCommandLinesFolderIsTheFirstArgumentNotAnOption() {
        char arg0[] = "norvane", arg1[] = "-x", arg2[] = "/srv/a", arg3[] = "/ignored";
        char* argv[] = {arg0, arg1, arg2, arg3};
        QCOMPARE(ParseCommandLineFolder(4, argv), std::string("/srv/a"));
        QCOMPARE(ParseCommandLineFolder(2, argv), std::string());
    }

    // The window shows at once while the command line's folder is listed,
    // with a busy cursor over the list alone; then every file is there, the
    // hidden and subfolder ones too, under the fixed headings.
    void startUpShowsTheWindowWhileItListsTheFolder() {
        TempDir tree;
        MakeTree(tree);
        std::string strFolder = tree.Path();
        g_bHoldSub = true;
        Sys().openAt = HoldingOpenAt;
        RunStartUp(strFolder, [&](CMainDlg* d) {
            QVERIFY(d->IsScanning());
            QVERIFY(QApplication::overrideCursor() == nullptr);
            QCOMPARE(d->m_listFiles->cursor().shape(), Qt::BusyCursor);
            QCOMPARE(d->cursor().shape(), Qt::ArrowCursor);
            g_bHoldSub = false;
            QVERIFY(WaitForScan(d));
            QCOMPARE(d->m_listFiles->cursor().shape(), Qt::ArrowCursor);
            QCOMPARE(d->m_szSourceFolder, strFolder + "/");
            QCOMPARE(d->m_listFiles->GetItemCount(), 7);
            QCOMPARE(d->m_listFiles->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("FileName"));
        });
    }

    // The titles and the history come from the settings file: the history
    // sorted, empty entries skipped and repeats kept, the box left empty;
    // it is saved in the order shown.
    void startUpLoadsTheTitlesAndTheHistory() {
        WriteAll(SettingsFile(),
                 "[TITLE]\r\nVALUE1=名前\r\n[MAINWINDOW]\r\nHISTORY1=/srv/Zeta\r\n"
                 "HISTORY2=/srv/alpha\r\nHISTORY3=\r\nHISTORY4=/srv/Beta\r\nHISTORY5=/srv/alpha\r\n");
        RunStartUp({}, [&](CMainDlg* d) {
            QCOMPARE(d->exportSettings().titles.titles[0], std::string("名前"));
            QCOMPARE(History(d), (std::vector<std::string>{"/srv/alpha", "/srv/alpha", "/srv/Beta", "/srv/Zeta"}));
            QCOMPARE(d->m_cbFolder->currentText().toStdString(), std::string());
        });
        QVERIFY(ReadAll(SettingsFile())
                    .find("HISTORY1=/srv/alpha\r\nHISTORY2=/srv/alpha\r\nHISTORY3=/srv/Beta\r\n"
                          "HISTORY4=/srv/Zeta\r\nHISTORY5=\r\n") != std::string::npos);
    }

    // Without the program's folder (no /proc, argv[0] names nothing) and
    // without a home for the configuration folder the user is told at
    // start-up; the history is not saved into the current folder, and an
    // export proposes the home folder (the root, without a home).
    void startUpWithoutTheProgramsFolder() {
        TempDir current;
        const std::string strOldCurrent = std::filesystem::current_path();
        QVERIFY(::chdir(current.Path().c_str()) == 0);
        const QByteArray home = qgetenv("HOME"), config = qgetenv("XDG_CONFIG_HOME");
        qunsetenv("HOME");
        qunsetenv("XDG_CONFIG_HOME");
        SetExecutableLinkForTests(current / "no-link");
        SetProgramArgument("");
        SetSettingsPath({});
        ModalDriver driver(10000);
        driver
            .Then<QMessageBox>([](QMessageBox* b) {
                QCOMPARE(
                    b->text(),
                    QStringLiteral("設定ファイルの場所が見つかりません。\n設定は読み込まれず、保存もされません。"));
                QCOMPARE(b->icon(), QMessageBox::Warning);
                QVERIFY(ClickButtonText(b, QStringLiteral("OK")));
            })
            .Then<CMainDlg>([](CMainDlg* d) {
                d->m_cbFolder->AddString("/srv/history");
                QVERIFY(ClickButton(d, IDC_OUTPUT_ALL));
            })
            .Then<COutputOptionsDlg>([](COutputOptionsDlg* o) { QVERIFY(ClickButton(o, IDOK)); })
            .Then<QFileDialog>([](QFileDialog* f) {
                QCOMPARE(f->directory().absolutePath(), QDir::homePath());
                QTest::keyClick(f, Qt::Key_Escape);
            })
            .Then<CMainDlg>([](CMainDlg* d) { QVERIFY(ClickButton(d, IDCANCEL)); });
        char arg0[] = "norvane";
        char* argv[] = {arg0};
        QVERIFY(!m_app.InitInstance(1, argv));
        SetExecutableLinkForTests({});
        if (!home.isNull()) qputenv("HOME", home);
        if (!config.isNull()) qputenv("XDG_CONFIG_HOME", config);
        QVERIFY(::chdir(strOldCurrent.c_str()) == 0);
        QVERIFY2(driver.Finished(), qPrintable(driver.Error()));
        QVERIFY(std::filesystem::is_empty(current.Path()));
    }

    // A settings file too large to be one is not read, and the user is told
    // before the window opens with the defaults; the history is not saved
    // into it at the close.
    void startUpWithASettingsFileTooLarge() {
        WriteAll(SettingsFile(), "[TITLE]\r\nVALUE1=Huge\r\n[MAINWINDOW]\r\nHISTORY1=/srv/huge\r\n");
        QVERIFY(::truncate(SettingsFile().c_str(), off_t{2} << 30) == 0);
        ModalDriver driver(10000);
        driver
            .Then<QMessageBox>([this](QMessageBox* b) {
                QCOMPARE(b->text(),
                         QString::fromStdString("設定ファイルが 1 MiB を超えているため、読み込みませんでした。\n" +
                                                SettingsFile()));
                QVERIFY(ClickButtonText(b, QStringLiteral("OK")));
            })
            .Then<CMainDlg>([](CMainDlg* d) {
                QCOMPARE(d->exportSettings().titles.titles[0], std::string("FileName"));
                QCOMPARE(d->m_cbFolder->count(), 0);
                d->m_cbFolder->AddString("/srv/new");
                QVERIFY(ClickButton(d, IDCANCEL));
            });
        char arg0[] = "norvane";
        char* argv[] = {arg0};
        QVERIFY(!m_app.InitInstance(1, argv));
        QVERIFY2(driver.Finished(), qPrintable(driver.Error()));
        QCOMPARE(std::filesystem::file_size(SettingsFile()), std::uintmax_t{2} << 30);
        std::string strStart(22, '\0');
        std::ifstream(SettingsFile(), std::ios::binary).read(strStart.data(), 22);
        QCOMPARE(strStart, std::string("[TITLE]\r\nVALUE1=Huge\r\n"));
    }

    // The window as the template lays it out (its first showing moves
    // nothing), titled, with the first tab stop focused and the boxes at
    // their defaults.
    void layoutAndDefaults() {
        OnTree([](CMainDlg* d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Norvane"));
            QCOMPARE(d->focusWidget(), d->Control(IDCANCEL));
            QVERIFY(!d->windowIcon().isNull());
            for (const ControlTemplate& control : d->Template().controls) {
                if (control.nId == IDC_STATIC || control.kind == ControlKind::ComboBox) continue;
                QCOMPARE(d->Control(control.nId)->geometry(),
                         d->MapDialogRect(QRect(control.x, control.y, control.cx, control.cy)));
            }
            for (int nId : {IDC_SUBFOLDERS, IDC_SYSTEM_FILES, IDC_HIDDEN_FILES}) QVERIFY(IsChecked(d, nId));
            QVERIFY(!IsChecked(d, IDC_FORMATTED_SIZE));
        });
    }

    // What the scan found reaches the cells; the formatted size is a repaint
    // that keeps order and selection. Grabbed to PNG with a folder listed.
    void cellsAndFormattedSize() {
        OnTree([](CMainDlg* d) {
            // How each field becomes text is the cell formatter's business.
            const std::vector<std::string> scanOrder = Names(d);
            const int nBig = RowOf(d, "big");
            const int nDll = RowOf(d, "d.dll");
            QCOMPARE(Cell(d, nBig, kColumnSize), QStringLiteral("4294967296"));
            QCOMPARE(Cell(d, nDll, kColumnVersion), QStringLiteral("6.1.7600.16385"));
            d->m_listFiles->selectionModel()->select(d->m_listFiles->model()->index(nDll, 0),
                                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
            QVERIFY(ClickButton(d, IDC_FORMATTED_SIZE));
            QCOMPARE(Cell(d, nBig, kColumnSize), QStringLiteral("4.00 GB"));
            QCOMPARE(Names(d), scanOrder);
            QCOMPARE(d->m_listFiles->GetSelectedRows(), std::vector<int>{nDll});
            QVERIFY(d->grab().save(OutputPath("main-window.png")));
        });
    }

    // Header clicks: ascending, descending, ascending; a second click on the
    // same heading reverses whatever rows were clicked in between, another
    // column starts ascending, and so does a new listing.
    void headerClicksSortAscendingThenDescending() {
        OnTree([](CMainDlg* d) {
            ClickHeader(d, kColumnSize);
            QVERIFY(SortedBy(d, kColumnSize, true));
            ClickHeader(d, kColumnSize);
            QVERIFY(SortedBy(d, kColumnSize, false));
            ClickHeader(d, kColumnSize);
            QVERIFY(SortedBy(d, kColumnSize, true));
            for (int nRow : {2, 0, 5}) {
                ClickRow(d, nRow);
                const bool bWasAscending = d->m_bSortAscending;
                ClickHeader(d, kColumnSize);
                QVERIFY(SortedBy(d, kColumnSize, !bWasAscending));
            }
            ClickHeader(d, kColumnFileName);  // another column: ascending
            QVERIFY(SortedBy(d, kColumnFileName, true));
            // A new listing stands in scan order: the next click ascends.
            QVERIFY(ClickAndWait(d, IDC_HIDDEN_FILES));
            ClickHeader(d, kColumnFileName);
            QVERIFY(SortedBy(d, kColumnFileName, true));
            QVERIFY(d->m_listFiles->IsSortArrowUp());
        });
    }

    // The sort leaves the Shift+click anchor with the row the user clicked,
    // wherever that row goes.
    void theShiftAnchorStaysWithItsRowThroughASort() {
        OnTree([](CMainDlg* d) {
            ClickHeader(d, kColumnFileName);
            ClickRow(d, RowOf(d, "b.txt"));
            ClickHeader(d, kColumnFileName);
            QVERIFY(SortedBy(d, kColumnFileName, false));
            const int nAnchor = RowOf(d, "b.txt");
            QCOMPARE(d->m_listFiles->GetSelectionMark(), nAnchor);
            const int nTo = nAnchor >= 4 ? nAnchor - 3 : nAnchor + 3;
            ClickRow(d, nTo, Qt::ShiftModifier);
            QCOMPARE(d->m_listFiles->GetSelectedCount(), 4);
            QCOMPARE(d->m_listFiles->GetSelectedRows().front(), std::min(nAnchor, nTo));
        });
    }

    // Only rows in scan order or sorted by folder allow folder headings in
    // an export: any other sort splits folders apart.
    void onlyTheFolderSortAllowsFolderHeadings() {
        OnTree([](CMainDlg* d) {
            QVERIFY(d->m_bFolderHeadingAllowed);
            ClickHeader(d, kColumnSize);
            QVERIFY(!d->m_bFolderHeadingAllowed);
            ClickHeader(d, kColumnDirectory);
            QVERIFY(SortedBy(d, kColumnDirectory, true));
            QVERIFY(d->m_bFolderHeadingAllowed);
        });
    }

    // The focus row is framed in the colour of its text while the list has
    // the focus, whether it came by a click or a key: Ctrl+Down moves it
    // off the selection, where Ctrl+Space then toggles the row it shows.
    // Grabbed to PNG.
    void theFocusRowIsFramed() {
        OnTree([](CMainDlg* d) {
            CListCtrl* pList = d->m_listFiles;
            ClickRow(d, 1);
            QTest::keyClick(pList, Qt::Key_Down, Qt::ControlModifier);
            QTest::keyClick(pList, Qt::Key_Down, Qt::ControlModifier);
            QCOMPARE(pList->currentIndex().row(), 3);
            QCOMPARE(pList->GetSelectedRows(), std::vector<int>{1});
            QCOMPARE(FramedRows(pList), std::vector<int>{3});
            QTest::keyClick(pList, Qt::Key_Space, Qt::ControlModifier);
            QCOMPARE(pList->GetSelectedRows(), (std::vector<int>{1, 3}));
            QCOMPARE(FramedRows(pList), std::vector<int>{3});  // on the selection too
            QVERIFY(pList->grab().save(OutputPath("main-window-focus-row.png")));
            d->Control(IDC_SUBFOLDERS)->setFocus();
            QCOMPARE(FramedRows(pList), std::vector<int>{});
        });
    }

    // Keys that cannot move the focus row (End on the last row, Home on the
    // first) leave the Shift anchor and the selection as they are.
    void keysThatCannotMoveTheFocusKeepTheAnchor() {
        OnTree([](CMainDlg* d) {
            CListCtrl* pList = d->m_listFiles;
            const int nLast = pList->GetItemCount() - 1;
            ClickRow(d, 4);
            QTest::keyClick(pList, Qt::Key_End, Qt::ShiftModifier);
            QCOMPARE(pList->GetSelectedCount(), nLast - 3);
            for (Qt::Key key : {Qt::Key_End, Qt::Key_PageDown, Qt::Key_Down}) QTest::keyClick(pList, key);
            QCOMPARE(pList->GetSelectedCount(), nLast - 3);
            QTest::keyClick(pList, Qt::Key_Home, Qt::ShiftModifier);
            QCOMPARE(pList->GetSelectedRows(), (std::vector<int>{0, 1, 2, 3, 4}));
            QTest::keyClick(pList, Qt::Key_Home);  // on the first row already
            QTest::keyClick(pList, Qt::Key_Down, Qt::ShiftModifier);
            QCOMPARE(pList->GetSelectedRows(), (std::vector<int>{1, 2, 3, 4}));
        });
    }

    // A double click on a heading's border fits the column to the longest
    // text of any row, also far below the rows in sight, and to the heading
    // where that is wider.
    void doubleClickOnABorderFitsTheColumn() {
        TempDir tree;
        for (int i = 0; i < 300; ++i) tree.MakeFile("f" + std::to_string(i));
        const std::string strLong = "a file whose name is longer than any other.txt";
        tree.MakeFolder("zz-a-folder-whose-name-is-long-too");
        tree.MakeFile("zz-a-folder-whose-name-is-long-too/" + strLong);
        CMainDlg dlg;
        dlg.SetFolder(tree.Path() + "/");
        RunMain(dlg, [&](CMainDlg* d) {
            CListCtrl* pList = d->m_listFiles;
            const int nRow = RowOf(d, strLong);
            QVERIFY(nRow > pList->verticalScrollBar()->value() + 100);  // far out of sight
            QHeaderView* pHeader = pList->horizontalHeader();
            for (int nColumn : {kColumnFileName, kColumnDirectory, kColumnVersion}) {
                pHeader->resizeSection(nColumn, 30);
                const QPoint ptBorder(pHeader->sectionViewportPosition(nColumn) + pHeader->sectionSize(nColumn) - 1, 5);
                QTest::mouseDClick(pHeader->viewport(), Qt::LeftButton, {}, ptBorder);
            }
            auto fits = [&](int nColumn, const QString& strText) {
                const int nText = pList->fontMetrics().horizontalAdvance(strText);
                return pHeader->sectionSize(nColumn) > nText && pHeader->sectionSize(nColumn) < nText + 30;
            };
            QVERIFY(fits(kColumnFileName, QString::fromStdString(strLong)));
            QVERIFY(fits(kColumnDirectory, Cell(d, nRow, kColumnDirectory)));
            QVERIFY(fits(kColumnVersion, QStringLiteral("Version")));  // every cell empty
        });
    }

    // The hidden and system boxes list the folder anew, in scan order,
    // without the selection; the sort state is kept.
    void hiddenAndSystemBoxesListAnew() {
        OnTree([&](CMainDlg* d) {
            const std::vector<std::string> scanOrder = Names(d);
            ClickHeader(d, kColumnSize);
            ClickRow(d, 1);
            QVERIFY(ClickAndWait(d, IDC_HIDDEN_FILES));
            QCOMPARE(RowOf(d, ".hidden"), -1);
            QCOMPARE(d->m_listFiles->GetItemCount(), 6);
            QVERIFY(ClickAndWait(d, IDC_HIDDEN_FILES));
            QCOMPARE(Names(d), scanOrder);
            QVERIFY(d->m_bSortAscending);
            QCOMPARE(d->m_listFiles->GetSelectedCount(), 0);
        });
    }

    // The subfolder box takes effect at the next listing (here the system
    // box's, which takes nothing away: no file here is a system file).
    void theSubfolderBoxTakesEffectAtTheNextListing() {
        OnTree([&](CMainDlg* d) {
            QVERIFY(ClickButton(d, IDC_SUBFOLDERS));
            QCOMPARE(d->m_listFiles->GetItemCount(), 7);
            QVERIFY(ClickAndWait(d, IDC_SYSTEM_FILES));
            QCOMPARE(d->m_listFiles->GetItemCount(), 5);
            QCOMPARE(RowOf(d, "d.dll"), -1);
            QCOMPARE(Cell(d, 0, kColumnDirectory), QString::fromStdString(d->m_szSourceFolder));
        });
    }

    // F1 opens the About box once: F1 inside it does nothing. The About item
    // of the context menu opens one without the guard, so F1 there opens a
    // second box on top.
    void helpAndAboutBox() {
        CMainDlg dlg;
        CAboutDlg* pFirst = nullptr;
        ModalDriver driver(10000);
        driver.Then<CMainDlg>([&](CMainDlg* d) {
            QTest::keyClick(d->Control(IDC_SUBFOLDERS), Qt::Key_F1);
            QVERIFY(!d->m_bInHelpAbout);
            QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), d->mapToGlobal(QPoint(5, 5)));
            QCoreApplication::sendEvent(d, &event);
            QVERIFY(ClickButton(d, IDCANCEL));
        });
        driver.Then<CAboutDlg>([](CAboutDlg* about) {
            QVERIFY(about->grab().save(OutputPath("about-box.png")));
            QTest::keyClick(about, Qt::Key_F1);
            QCOMPARE(QApplication::activeModalWidget(), about);
            QTest::keyClick(about, Qt::Key_Escape);
        });
        driver.ThenPopup([](QMenu* pMenu) { TriggerMenuItem(pMenu, QStringLiteral("Norvane のﾊﾞｰｼﾞｮﾝ情報(&A)...")); });
        driver.Then<CAboutDlg>([&](CAboutDlg* about) {
            pFirst = about;
            QTest::keyClick(about, Qt::Key_F1);  // opens the second box
            QTest::keyClick(about, Qt::Key_Escape);
        });
        driver.Then<CAboutDlg>([&](CAboutDlg* about) {
            QVERIFY(about != pFirst);
            QVERIFY(ClickButton(about, IDOK));
        });
        QCOMPARE(dlg.exec(), QDialog::Rejected);
        QVERIFY2(driver.Finished(), qPrintable(driver.Error()));
    }

    // Resizing moves the right edge of the list to 20 pixels inside the
    // window and its bottom above it; the folder box follows the right edge
    // but never reaches under "リストを更新(&R)", so its drop-down arrow stays
    // in sight, also after shrinking and restoring; the buttons stay.
    void resizingKeepsTheFolderArrowInSight() {
        CMainDlg dlg;
        RunMain(dlg, [](CMainDlg* d) {
            QWidget* pList = d->Control(IDC_LIST_FILES);
            QWidget* pCombo = d->Control(IDC_FOLDER);
            const QRect rcButton = d->Control(IDC_UPDATE_LIST)->geometry();
            const QRect rcComboBefore = pCombo->geometry();
            const QRect rcListBefore = pList->geometry();
            const QSize sizeBefore = d->size();
            QVERIFY(ArrowInSight(d));
            d->resize(900, 650);
            const QRect rcWindow = d->frameGeometry();
            const int nCaption = d->geometry().top() - rcWindow.top();
            QCOMPARE(pList->geometry(),
                     QRect(rcListBefore.topLeft(), QSize(rcWindow.width() - rcListBefore.left() - 20,
                                                         rcWindow.height() - rcListBefore.top() - 20 - nCaption)));
            QCOMPARE(pCombo->geometry(), rcComboBefore);
            QVERIFY(ArrowInSight(d));
            QCOMPARE(d->Control(IDC_UPDATE_LIST)->geometry(), rcButton);
            d->resize(sizeBefore);
            QCOMPARE(pCombo->geometry(), rcComboBefore);
            QVERIFY(ArrowInSight(d));
        });
    }

    // The window goes no smaller than keeps every button and box whole and
    // in sight, the folder box's arrow and a few rows (also at twice the
    // scale: see the tests' CMake file).
    void theSmallestWindowKeepsEveryButtonWhole() {
        CMainDlg dlg;
        RunMain(dlg, [](CMainDlg* d) {
            d->resize(30, 30);
            QCOMPARE(d->size(), d->minimumSize());
            for (const ControlTemplate& control : d->Template().controls) {
                if (control.nId == IDC_STATIC || control.nId == IDC_LIST_FILES) continue;
                QVERIFY2(d->rect().contains(d->Control(control.nId)->geometry()), control.pszText);
            }
            QVERIFY(ArrowInSight(d));
            QVERIFY(d->m_cbFolder->width() > 3 * ComboArrowRect(Combo(d)).width());
            QVERIFY(d->m_listFiles->height() > 4 * d->m_listFiles->RowHeight());
            QVERIFY(d->m_listFiles->geometry().right() < d->width());
            QVERIFY(d->GetStatusLine()->geometry().bottom() < d->height());
            QVERIFY(
                d->grab().save(OutputPath(qEnvironmentVariableIsSet("QT_SCALE_FACTOR") ? "main-window-small-scaled.png"
                                                                                       : "main-window-small.png")));
        });
    }

    // Enter in the folder box lists the typed folder, as "リストを更新(&R)"
    // does; a folder that is not there is said so, and the rows and the
    // history stay.
    void enterInTheFolderBoxListsTheTypedFolder() {
        TempDir tree;
        MakeTree(tree);
        CMainDlg dlg;
        RunMain(dlg, [&](CMainDlg* d) {
            TypeFolder(d, tree.Path());
            QCOMPARE(QApplication::focusWidget(), Combo(d));  // which hands keys to its edit field itself
            QTest::keyClick(Combo(d), Qt::Key_Return);
            QVERIFY(WaitForScan(d));
            QVERIFY(d->isVisible());
            QCOMPARE(d->m_listFiles->GetItemCount(), 7);
            QCOMPARE(d->m_szSourceFolder, tree.Path() + "/");
            QCOMPARE(History(d), std::vector<std::string>{tree.Path()});
            TypeFolder(d, tree / "missing");
            QCOMPARE(ExpectWarning([&] { QTest::keyClick(Combo(d)->lineEdit(), Qt::Key_Enter, Qt::KeypadModifier); }),
                     QStringLiteral("フォルダが見つかりません"));
            QCOMPARE(d->m_listFiles->GetItemCount(), 7);
            QCOMPARE(History(d), std::vector<std::string>{tree.Path()});
        });
    }

    // Enter on the list, also while it is being made, and on a check box
    // does nothing: the window and its rows stay.
    void enterOnTheListOrACheckBoxEndsNothing() {
        TempDir tree;
        MakeTree(tree);
        g_bHoldSub = true;
        Sys().openAt = HoldingOpenAt;
        CMainDlg dlg;
        dlg.SetFolder(tree.Path());
        RunMain(
            dlg,
            [&](CMainDlg* d) {
                QVERIFY(QTest::qWaitFor([&] { return d->m_listFiles->GetItemCount() >= 5; }, 5000));
                ClickRow(d, 1);
                for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) QTest::keyClick(d->m_listFiles, key);
                QVERIFY(d->isVisible() && d->IsScanning());
                g_bHoldSub = false;
                QVERIFY(WaitForScan(d));
                QTest::keyClick(d->m_listFiles, Qt::Key_Return);
                for (int nId : {IDC_FORMATTED_SIZE, IDC_SUBFOLDERS, IDC_SYSTEM_FILES, IDC_HIDDEN_FILES}) {
                    d->Control(nId)->setFocus();
                    QTest::keyClick(d->Control(nId), Qt::Key_Return);
                }
                QVERIFY(d->isVisible());
                QCOMPARE(d->m_listFiles->GetItemCount(), 7);
            },
            false);
    }

    // Enter on a focused push button presses it: on "終了" it ends the
    // window.
    void enterOnAFocusedButtonPressesIt() {
        CMainDlg dlg;
        ModalDriver driver(10000);
        driver.Then<CMainDlg>([](CMainDlg* d) {
            QVERIFY(ClickButton(d, IDC_FORMATTED_SIZE));
            d->Control(IDCANCEL)->setFocus();
            QTest::keyClick(d->Control(IDCANCEL), Qt::Key_Return);
        });
        QCOMPARE(dlg.exec(), QDialog::Rejected);
        QVERIFY2(driver.Finished(), qPrintable(driver.Error()));
    }

    // Ctrl+C and the list's menu item "コピー(&C)" copy the selected rows as
    // the list shows them, one line of tab-separated cells per row, in the
    // list's order; a tab or line break in a name becomes a blank.
    void copyingPutsTheSelectedRowsOnTheClipboard() {
        TempDir tree;
        MakeTree(tree);
        tree.MakeFile("tab\tand\nbreak", "t");
        CMainDlg dlg;
        dlg.SetFolder(tree.Path() + "/");
        RunMain(dlg, [&](CMainDlg* d) {
            QClipboard* pClipboard = QApplication::clipboard();
            ClickHeader(d, kColumnFileName);
            ClickHeader(d, kColumnFileName);  // descending
            std::vector<int> rows{RowOf(d, "e"), RowOf(d, "A.TXT"), RowOf(d, "big")};
            for (int nRow : rows) ClickRow(d, nRow, Qt::ControlModifier);
            QTest::keyClick(d->m_listFiles, Qt::Key_C, Qt::ControlModifier);
            std::sort(rows.begin(), rows.end());
            QCOMPARE(pClipboard->text(), RowsAsShown(d, rows));
            QCOMPARE(pClipboard->text().count(QLatin1Char('\n')), 3);
            QVERIFY(pClipboard->text().startsWith(QStringLiteral("e\t")));  // descending by name

            ClickRow(d, RowOf(d, "tab\tand\nbreak"));
            pClipboard->clear();
            const QPoint ptRow = d->m_listFiles->visualRect(d->m_listFiles->model()->index(0, 0)).center();
            QCOMPARE(ContextMenu(d->m_listFiles->viewport(), ptRow, QStringLiteral("コピー(&C)")),
                     QStringList{QStringLiteral("コピー(&C)")} + kCatalogueItems);
            QVERIFY(pClipboard->text().startsWith(QStringLiteral("tab and break\t")));
            QCOMPARE(pClipboard->text().count(QLatin1Char('\n')), 1);
        });
    }

    // The list's model keeps Qt's model rules through every change the
    // window makes: columns, appends, new orders, clearing. A new order
    // keeps the selection on its rows, and anything but a permutation (too
    // short, a repeat, out of range) leaves the rows as they were.
    void theListModelKeepsItsRowsThroughEveryOrder() {
        QLoggingCategory::setFilterRules(QStringLiteral("qt.modeltest.debug=false"));
        QWidget window;
        auto* pList = new CListCtrl(&window);
        FileListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        pList->setModel(&model);
        model.InsertColumn(0, QStringLiteral("A"), ColumnAlign::kLeft);
        model.InsertColumn(1, QStringLiteral("B"), ColumnAlign::kRight);
        QCOMPARE(model.headerData(1, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>(),
                 Qt::AlignRight | Qt::AlignVCenter);
        auto store = std::make_shared<FileStore>();
        model.Clear(store);
        const Folder* pFolder = store->AddFolder("/list/");
        for (int i = 0; i < 5; ++i) {
            std::vector<const FileItem*> batch;
            for (int j = 0; j < 10; ++j) batch.push_back(store->AddItem(std::to_string(i * 10 + j), pFolder));
            model.AppendRows(batch);
        }
        model.AppendRows({});
        const int nCount = pList->GetItemCount();
        QCOMPARE(nCount, 50);
        std::vector<QString> before;
        for (int i = 0; i < nCount; ++i) before.push_back(model.index(i, 0).data().toString());
        pList->selectionModel()->select(model.index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        std::vector<int> reversed(before.size());
        std::iota(reversed.rbegin(), reversed.rend(), 0);
        std::vector<int> shifted(before.size());
        std::iota(shifted.begin(), shifted.end(), 1);
        std::reverse(before.begin(), before.end());  // the reversed rows, which the other orders then leave
        for (const std::vector<int>& order :
             {reversed, std::vector<int>{0, 1}, std::vector<int>(before.size(), 0), shifted}) {
            model.ApplyOrder(FileListModel::PrepareOrder(model.Refs(), order));
            for (int i = 0; i < nCount; ++i)
                QCOMPARE(model.index(i, 0).data().toString(), before[static_cast<std::size_t>(i)]);
        }
        QCOMPARE(pList->GetSelectedRows(), std::vector<int>{nCount - 3});
        model.Clear();
        QCOMPARE(pList->GetSelectedCount(), 0);
    }

    // With no row selected the copy item is greyed and the clipboard keeps
    // its text. A right click on the header, or beside the list, opens the
    // window's menu with the About item.
    void theListsMenuOnTheRowsTheWindowsElsewhere() {
        OnTree([](CMainDlg* d) {
            QClipboard* pClipboard = QApplication::clipboard();
            pClipboard->setText(QStringLiteral("before"));
            const QPoint ptRow = d->m_listFiles->visualRect(d->m_listFiles->model()->index(0, 0)).center();
            QCOMPARE(ContextMenu(d->m_listFiles->viewport(), ptRow),
                     QStringList{QStringLiteral("[コピー(&C)]")} + kCatalogueItems);
            QTest::keyClick(d->m_listFiles, Qt::Key_C, Qt::ControlModifier);
            QCOMPARE(pClipboard->text(), QStringLiteral("before"));
            const QString strAbout = QStringLiteral("Norvane のﾊﾞｰｼﾞｮﾝ情報(&A)...");
            QCOMPARE(ContextMenu(d->m_listFiles->horizontalHeader()->viewport(), QPoint(5, 5)),
                     kCatalogueItems + QStringList{strAbout});
            QCOMPARE(ContextMenu(d, QPoint(3, 3)), kCatalogueItems + QStringList{strAbout});
        });
    }

    // The sorted column's heading shows the direction of the sort, which
    // follows the clicks' rules; rows back in scan order show no arrow.
    // Grabbed to PNG sorted, with a selection.
    void theSortArrowShowsTheDirection() {
        OnTree([](CMainDlg* d) {
            CListCtrl* pList = d->m_listFiles;
            QVERIFY(pList->horizontalHeader()->isSortIndicatorShown());
            QCOMPARE(pList->GetSortArrowColumn(), -1);
            ClickHeader(d, kColumnSize);
            QCOMPARE(pList->GetSortArrowColumn(), int{kColumnSize});
            QVERIFY(pList->IsSortArrowUp());
            ClickHeader(d, kColumnSize);
            QVERIFY(SortedBy(d, kColumnSize, false));
            QVERIFY(!pList->IsSortArrowUp());
            ClickRow(d, 5);  // a row click changes nothing of the sort
            ClickHeader(d, kColumnSize);
            QVERIFY(SortedBy(d, kColumnSize, true));
            QVERIFY(pList->IsSortArrowUp());
            QVERIFY(ClickAndWait(d, IDC_HIDDEN_FILES));
            QCOMPARE(pList->GetSortArrowColumn(), -1);

            ClickHeader(d, kColumnFileName);
            ClickRow(d, 1);
            ClickRow(d, 3, Qt::ShiftModifier);
            QCOMPARE(pList->GetSortArrowColumn(), int{kColumnFileName});
            d->resize(720, 420);
            QVERIFY(d->grab().save(OutputPath("main-window-sorted.png")));
        });
    }

    // The status line gives the number of files listed after every scan and
    // keeps it through a sort.
    void theStatusLineCountsTheFilesListed() {
        OnTree([](CMainDlg* d) {
            QCOMPARE(d->GetStatusLine()->text(), QStringLiteral("7 ファイル"));
            ClickHeader(d, kColumnSize);
            QCOMPARE(d->GetStatusLine()->text(), QStringLiteral("7 ファイル"));
            QVERIFY(ClickAndWait(d, IDC_HIDDEN_FILES));
            QCOMPARE(d->GetStatusLine()->text(), QStringLiteral("6 ファイル"));
        });
    }

    // Before any folder is chosen, a listing (the hidden box's) finds no
    // folder, lists nothing and says nothing.
    void noFolderYetListsNothingAndSaysNothing() {
        CMainDlg dlg;
        RunMain(dlg, [&](CMainDlg* d) {
            QVERIFY(ClickAndWait(d, IDC_HIDDEN_FILES));
            QCOMPARE(QApplication::activeModalWidget(), d);
            QCOMPARE(d->m_listFiles->GetItemCount(), 0);
            QVERIFY(ClickAndWait(d, IDC_HIDDEN_FILES));
            QCOMPARE(QApplication::activeModalWidget(), d);
        });
    }

    // The folder chooser opens at the typed folder; the folder chosen is
    // listed and goes into the box and the history (a second choice of it
    // too); a cancelled chooser changes nothing.
    void theFolderChosenIsListedAndKept() {
        TempDir tree;
        MakeTree(tree);
        const std::string strSub = tree / "sub";
        std::vector<std::string> starts;
        SetFolderBrowser([&](QWidget*, const std::string& strStart) {
            starts.push_back(strStart);
            return starts.size() == 2 ? std::nullopt : std::optional<std::string>(strSub);  // the second cancelled
        });
        CMainDlg dlg;
        RunMain(dlg, [&](CMainDlg* d) {
            QVERIFY(ClickAndWait(d, IDC_SELECT_FOLDER));
            QCOMPARE(d->m_szSourceFolder, strSub + "/");
            QCOMPARE(d->m_listFiles->GetItemCount(), 2);
            QCOMPARE(d->m_cbFolder->currentText().toStdString(), strSub);
            QVERIFY(ClickAndWait(d, IDC_SELECT_FOLDER));  // cancelled
            QCOMPARE(starts, (std::vector<std::string>{"", strSub}));
            QCOMPARE(d->m_listFiles->GetItemCount(), 2);
            QCOMPARE(History(d), std::vector<std::string>{strSub});
            QVERIFY(ClickAndWait(d, IDC_SELECT_FOLDER));
            QCOMPARE(History(d), (std::vector<std::string>{strSub, strSub}));
        });
    }

    // The history holds the eight folders listed last, newest first,
    // repeats included; picking an entry only fills the box.
    void theHistoryKeepsTheEightNewestFolders() {
        TempDir tree;
        for (int i = 0; i < 9; ++i) tree.MakeFolder("f" + std::to_string(i));
        CMainDlg dlg;
        RunMain(dlg, [&](CMainDlg* d) {
            for (int i : {0, 0, 1, 2, 3, 4, 5, 6, 7}) {
                TypeFolder(d, tree / ("f" + std::to_string(i)));
                QVERIFY(ClickAndWait(d, IDC_UPDATE_LIST));
            }
            QCOMPARE(History(d), (std::vector<std::string>{tree / "f7", tree / "f6", tree / "f5", tree / "f4",
                                                           tree / "f3", tree / "f2", tree / "f1", tree / "f0"}));
            const std::string strBefore = d->m_szSourceFolder;
            Combo(d)->setFocus();
            QTest::keyClick(Combo(d), Qt::Key_Down);
            QVERIFY(d->m_cbFolder->currentText().toStdString().starts_with(tree.Path()));
            QCOMPARE(d->m_szSourceFolder, strBefore);
        });
    }

    // A relative folder is the current folder's subfolder, and is shown and
    // kept as typed.
    void aRelativeFolderIsTheCurrentFoldersOwn() {
        TempDir tree;
        MakeTree(tree);
        CMainDlg dlg;
        RunMain(dlg, [&](CMainDlg* d) {
            const std::string strCwd = QDir::currentPath().toStdString();
            QVERIFY(chdir(tree.Path().c_str()) == 0);
            TypeFolder(d, "sub");
            QVERIFY(ClickAndWait(d, IDC_UPDATE_LIST));
            QVERIFY(chdir(strCwd.c_str()) == 0);
            QCOMPARE(d->m_szSourceFolder, std::string("sub/"));
            QCOMPARE(d->m_listFiles->GetItemCount(), 2);
            QCOMPARE(Item(d, 0)->directory(), std::string_view("sub/"));
            QCOMPARE(History(d).front(), std::string("sub"));
        });
    }

    // A folder that is not there, a file, an empty text: a box, nothing else.
    void missingFoldersChangeNothing() {
        TempDir tree;
        MakeTree(tree);
        CMainDlg dlg;
        dlg.SetFolder(tree.Path());
        RunMain(dlg, [&](CMainDlg* d) {
            const std::string strBefore = d->m_szSourceFolder;
            TypeFolder(d, tree.Path());
            QVERIFY(ClickAndWait(d, IDC_UPDATE_LIST));
            const std::vector<std::string> history = History(d);
            for (const std::string& strBad : {tree / "missing", tree / "A.TXT", std::string()}) {
                TypeFolder(d, strBad);
                QCOMPARE(ExpectWarning([&] { ClickButton(d, IDC_UPDATE_LIST); }),
                         QStringLiteral("フォルダが見つかりません"));
            }
            QCOMPARE(d->m_szSourceFolder, strBefore);
            QCOMPARE(History(d), history);
            QCOMPARE(d->m_listFiles->GetItemCount(), 7);
        });
    }

    // A scan that stops on an error keeps the rows found so far and says so
    // in a box with the folder and the reason; the busy cursor is gone.
    void scanErrorKeepsRowsAndSaysSo() {
        TempDir tree;
        MakeTree(tree);
        tree.MakeFolder("zz-broken");
        CMainDlg dlg;
        RunMain(dlg, [&](CMainDlg* d) {
            QVERIFY(WaitForBackgroundWork(std::chrono::seconds(10)));
            Sys().openAt = [](int dirFd, const char* name, int flags) {
                if (std::string_view(name) != "zz-broken") return RealSystemCalls().openAt(dirFd, name, flags);
                errno = EIO;  // as a broken disk would
                return -1;
            };
            TypeFolder(d, tree.Path());
            const QString strText = ExpectWarning([&] { ClickButton(d, IDC_UPDATE_LIST); });
            QVERIFY2(strText.contains(QStringLiteral("指定されたデバイスから読み取ることができません。")) &&
                         strText.contains(QString::fromStdString(tree.Path())),
                     qPrintable(strText));
            QVERIFY(d->m_listFiles->GetItemCount() >= 5);  // the folder's own files at least
            QCOMPARE(History(d).front(), tree.Path());
            QVERIFY(QApplication::overrideCursor() == nullptr);
        });
    }
};

QTEST_MAIN(MainDlgTest)
#include "MainDlgTest.moc"
