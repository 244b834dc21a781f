// Window tests of the main window's long work off its thread: a sort and a
// copy of many rows show their progress, leave the window's commands greyed
// meanwhile, give what the window would have made itself, and Escape (or a
// new listing) stops them with the list's order and the clipboard as they
// were.
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QtTest>

#include <string>
#include <vector>

#include "app/ListerApp.h"
#include "app/MainDlg.h"
#include "catalogue/BackgroundScan.h"
#include "catalogue/CellText.h"
#include "catalogue/Compare.h"
#include "support/MainWindow.h"
#include "support/ModalDriver.h"
#include "support/PoolGate.h"
#include "support/TempDir.h"

using namespace norvane;
using namespace norvane::test;
using namespace std::chrono_literals;

namespace {

std::vector<std::string> Names(CMainDlg* d) {
    std::vector<std::string> names;
    for (const FileItem* pItem : d->GetFileList().Items()) names.emplace_back(pItem->fileName);
    return names;
}

QString Status(CMainDlg* d) { return d->GetStatusLine()->text(); }

bool WaitForWork(CMainDlg* d) {
    return QTest::qWaitFor([d] { return !d->IsWorking(); }, 10000);
}

}  // namespace

class LongWorkTest : public QObject {
    Q_OBJECT

    CListerApp m_app;
    TempDir m_dir;

    std::string Tree() const { return m_dir / "tree"; }

    void RunWindow(const std::function<void(CMainDlg*)>& fnSteps) {
        CMainDlg dlg;
        dlg.SetFolder(Tree());
        ModalDriver driver(20000);
        driver.ThenSettled<CMainDlg>([&](CMainDlg* d) {
            QVERIFY(QTest::qWaitFor([d] { return !d->IsScanning(); }, 10000));
            d->m_nRowsAtOnce = 0;  // every sort and copy off the window's thread
            fnSteps(d);
            QVERIFY(ClickButton(d, IDCANCEL));
        });
        dlg.exec();
        QVERIFY2(driver.Finished(), qPrintable(driver.Error()));
    }

private slots:
    void initTestCase() {
        SetSettingsPath(m_dir / "Norvane.ini");
        QVERIFY(m_dir.MakeFolder("tree") && m_dir.MakeFolder("tree/sub") && m_dir.MakeFolder("other"));
        for (int i = 0; i < 300; ++i) {
            const std::string strName = (i % 2 ? "tree/" : "tree/sub/") + std::to_string(i * 7919 % 1000) + ".txt";
            QVERIFY(m_dir.MakeFile(strName, std::string(static_cast<std::size_t>(i * 37 % 101), 'x')));
        }
        QVERIFY(m_dir.MakeFile("other/one.txt"));
    }
    void cleanup() { QVERIFY(WaitForBackgroundWork(10s)); }

    // A sort stopped before it ends leaves the scan's order, and its end
    // never comes; one let run gives the order the window gives itself, the
    // arrow, and its commands back; a new listing stops a sort.
    void sortOffTheWindowsThread() {
        RunWindow([&](CMainDlg* d) {
            const std::vector<std::string> scanOrder = Names(d);
            {
                PoolGate gate;
                ClickHeader(d, kColumnSize);
                QVERIFY(d->IsWorking());
                QVERIFY(Status(d).startsWith(QStringLiteral("並べ替え中: 0%")));
                QVERIFY(!IsEnabled(d, IDC_OUTPUT_ALL) && !d->m_listFiles->horizontalHeader()->sectionsClickable());
                QTest::keyClick(d->m_listFiles, Qt::Key_Escape);
                QVERIFY(!d->IsWorking() && d->isVisible());
                QCOMPARE(Status(d), QStringLiteral("並べ替えを中止しました。順序は元のままです"));
                QVERIFY(IsEnabled(d, IDC_OUTPUT_ALL) && d->m_listFiles->horizontalHeader()->sectionsClickable());
            }
            QVERIFY(WaitForBackgroundWork(10s));
            QTest::qWait(20);
            QCOMPARE(Names(d), scanOrder);
            QCOMPARE(d->m_listFiles->GetSortArrowColumn(), -1);

            ClickHeader(d, kColumnSize);
            QVERIFY(WaitForWork(d));
            QVERIFY(SortedBy(d, kColumnSize, true));
            QCOMPARE(d->m_listFiles->GetSortArrowColumn(), int{kColumnSize});
            QCOMPARE(Status(d), QStringLiteral("300 ファイル"));
            std::vector<std::string> bySize = Names(d);
            ClickHeader(d, kColumnSize);
            QVERIFY(WaitForWork(d));
            QVERIFY(SortedBy(d, kColumnSize, false));
            // The same order as the window makes at once.
            d->m_nRowsAtOnce = CMainDlg::kRowsAtOnce;
            ClickHeader(d, kColumnSize);
            QVERIFY(!d->IsWorking());
            QCOMPARE(Names(d), bySize);
            d->m_nRowsAtOnce = 0;

            PoolGate gate;
            ClickHeader(d, kColumnFileName);
            QVERIFY(d->IsWorking());
            d->SetFolder(m_dir / "other");
            QVERIFY(!d->IsWorking());
            QVERIFY(QTest::qWaitFor([d] { return !d->IsScanning(); }, 10000));
            QCOMPARE(Names(d), std::vector<std::string>{"one.txt"});
            gate.Open();
            QVERIFY(WaitForBackgroundWork(10s));
            QTest::qWait(20);
            QCOMPARE(Names(d), std::vector<std::string>{"one.txt"});
            d->SetFolder(Tree());
            QVERIFY(QTest::qWaitFor([d] { return !d->IsScanning(); }, 10000));
        });
    }

    // A copy of many rows stopped before it ends leaves the clipboard as it
    // was; one let run puts there the text the list makes itself.
    void copyOffTheWindowsThread() {
        RunWindow([&](CMainDlg* d) {
            d->m_listFiles->selectAll();
            QApplication::clipboard()->setText(QStringLiteral("before"));
            {
                PoolGate gate;
                QTest::keyClick(d->m_listFiles, Qt::Key_C, Qt::ControlModifier);
                QVERIFY(d->IsWorking());
                QVERIFY(Status(d).startsWith(QStringLiteral("コピー中: 0 / 300 行")));
                QTest::keyClick(d->m_listFiles, Qt::Key_Escape);
                QCOMPARE(Status(d), QStringLiteral("コピーを中止しました"));
            }
            QVERIFY(WaitForBackgroundWork(10s));
            QTest::qWait(20);
            QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("before"));

            QTest::keyClick(d->m_listFiles, Qt::Key_C, Qt::ControlModifier);
            QVERIFY(WaitForWork(d));
            const QString strCopied = QApplication::clipboard()->text();
            QCOMPARE(strCopied, SelectedText(d));
            QCOMPARE(strCopied.count(QLatin1Char('\n')), 300);
            QCOMPARE(Status(d), QStringLiteral("300 ファイル"));
        });
    }
};

QTEST_MAIN(LongWorkTest)
#include "LongWorkTest.moc"
