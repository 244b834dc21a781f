// A termination signal (the desktop session ending) closes the windows open
// over the main window, then the main window as its close box does: the
// folder history is saved and the program's modal loop ends.
#include <csignal>

#include <QMessageBox>
#include <QtTest>

#include "app/AboutDlg.h"
#include "app/ListerApp.h"
#include "app/MainDlg.h"
#include "app/TerminationSignals.h"
#include "settings/SettingsFile.h"
#include "support/ModalDriver.h"
#include "support/TempDir.h"

using namespace norvane;
using namespace norvane::test;

class TerminationSignalsTest : public QObject {
    Q_OBJECT

private slots:
    void signalClosesTheOpenWindowsAndSavesTheHistory() {
        TempDir dir;
        SetSettingsPath(dir / "Norvane.ini");
        const TerminationSignals termination;
        ModalDriver driver(10000);
        driver
            .Then<CMainDlg>([](CMainDlg* d) {
                d->m_cbFolder->AddString("/srv/kept");
                QTest::keyClick(d, Qt::Key_F1);
            })
            .Then<CAboutDlg>([](CAboutDlg*) { std::raise(SIGTERM); });
        CListerApp app;
        char arg0[] = "norvane";
        char* argv[] = {arg0};
        QVERIFY(!app.InitInstance(1, argv));
        QVERIFY2(driver.Finished(), qPrintable(driver.Error()));
        QVERIFY(ReadAll(dir / "Norvane.ini").find("HISTORY1=/srv/kept\r\n") != std::string::npos);
        SetSettingsPath({});
    }
};

QTEST_MAIN(TerminationSignalsTest)
#include "TerminationSignalsTest.moc"
