// Opens the main window on the offscreen platform and measures what its user
// waits for on a big tree. Prints one "name value" line each, the median of
// the runs.
//
//   bench_WindowBench ROOT [RUNS]        a rescan until its first rows are
//       painted and until its end, the worst lateness of a 10 ms timer while
//       it runs, a header-click sort by file name and by size and a copy of
//       every row (each until done and painted, with the worst lateness of
//       the timer meanwhile), and a scroll to the end (painted)
//   bench_WindowBench --scan ROOT        one scan at start-up, as the program
//       makes it, then the same figures of that scan and the peak resident
//       size of the process (kilobytes), for a comparison with norvane-list
//   bench_WindowBench --open CATALOGUE   one catalogue opened at start-up, as
//       `norvane FILE.nvcat` opens it: the seconds until its whole list is
//       painted, the worst lateness of the timer meanwhile, and the peak
//       resident size, for a comparison with the scan of its tree
//   bench_WindowBench --compare OLD NEW  the catalogue NEW opened at start-up,
//       then compared with the catalogue OLD as "カタログと比較(&M)..." does:
//       the seconds until the comparison is painted, the worst lateness of
//       the timer meanwhile, then with every file shown a sort by the change
//       column and one by size (each until done and painted, the timer's
//       worst lateness meanwhile), and the peak resident size before and
//       after the sorts
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/ListerApp.h"
#include "app/MainDlg.h"
#include "catalogue/BackgroundScan.h"
#include "catalogue/CellText.h"
#include "platform/CodePage.h"
#include "support/TempDir.h"

using namespace norvane;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// Seconds the action takes until the window has painted what it shows.
double TimePainted(CMainDlg& dlg, const std::function<void()>& fnAction) {
    const auto start = Clock::now();
    fnAction();
    QCoreApplication::processEvents();  // rows are announced from the event loop
    dlg.repaint();
    return Seconds(start);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct ScanTimes {
    double firstRows = 0;    // seconds until the first rows were painted
    double whole = 0;        // seconds until the scan ended
    double worstLateMs = 0;  // the worst lateness of a 10 ms timer meanwhile
    double firstLateMs = 0;  // the lateness of its first firing
};

// Runs the event loop while the window is busy (from start): a 10 ms timer
// measures how late the loop lets it fire, and the first rows are painted
// as soon as they are there. fnAction, when given, runs from the loop a few
// ticks in, as a click would, and counts with what follows; otherwise the
// first interval, which holds the window's first paint (fonts and all), is
// told apart.
ScanTimes Watch(CMainDlg& dlg, Clock::time_point start, const std::function<bool()>& fnBusy,
                const std::function<void()>& fnAction = {}) {
    ScanTimes times;
    QEventLoop loop;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    auto last = Clock::now();
    int nTicks = 0;
    bool bActed = !fnAction;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        const auto now = Clock::now();
        const double late = std::chrono::duration<double, std::milli>(now - last).count() - 10.0;
        if (nTicks == 0 && !fnAction) times.firstLateMs = late;
        else times.worstLateMs = std::max(times.worstLateMs, late);
        ++nTicks;
        last = now;
        if (times.firstRows == 0 && dlg.m_listFiles->GetItemCount() > 0) {
            dlg.repaint();
            times.firstRows = Seconds(start);
        }
        if (!bActed && nTicks == 3) {
            start = Clock::now();
            fnAction();
            bActed = true;
            return;
        }
        if (bActed && !fnBusy()) loop.quit();
    });
    tick.start(10);
    loop.exec();
    dlg.repaint();
    times.whole = Seconds(start);
    if (times.firstRows == 0) times.firstRows = times.whole;
    return times;
}

ScanTimes WatchScan(CMainDlg& dlg, Clock::time_point start) {
    return Watch(dlg, start, [&dlg] { return dlg.IsScanning(); });
}

// Long work an action starts (a sort, a copy), until done and painted.
ScanTimes WatchWork(CMainDlg& dlg, const std::function<void()>& fnAction) {
    return Watch(
        dlg, Clock::now(), [&dlg] { return dlg.IsWorking(); }, fnAction);
}

// Every run's figures.
struct Figures {
    int nRows = 0;
    std::vector<double> firstRows, wholeScans, lateness, firstLateness, nameSorts, sizeSorts, scrolls;
    std::vector<double> copies, sortLateness, copyLateness;
};

// One rescan of the folder, then sorts, a copy of every row and a scroll.
void MeasureRun(CMainDlg& dlg, const std::string& rawFolder, Figures& figures) {
    CListCtrl* pView = dlg.m_listFiles;
    const auto scanStart = Clock::now();
    dlg.SetFolder(rawFolder);
    const ScanTimes times = WatchScan(dlg, scanStart);
    figures.firstRows.push_back(times.firstRows);
    figures.wholeScans.push_back(times.whole);
    figures.lateness.push_back(times.worstLateMs);
    figures.nRows = pView->GetItemCount();
    // A header click is this signal; each run starts from scan order.
    const ScanTimes byName = WatchWork(dlg, [&] { emit pView->ColumnClick(kColumnFileName); });
    const ScanTimes bySize = WatchWork(dlg, [&] { emit pView->ColumnClick(kColumnSize); });
    figures.nameSorts.push_back(byName.whole);
    figures.sizeSorts.push_back(bySize.whole);
    figures.sortLateness.push_back(std::max(byName.worstLateMs, bySize.worstLateMs));
    pView->selectAll();
    const ScanTimes copy = WatchWork(dlg, [&] { pView->Copy(); });
    figures.copies.push_back(copy.whole);
    figures.copyLateness.push_back(copy.worstLateMs);
    pView->clearSelection();
    figures.scrolls.push_back(
        TimePainted(dlg, [&] { pView->verticalScrollBar()->setValue(pView->verticalScrollBar()->maximum()); }));
    pView->scrollToTop();
}

long PeakResidentKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The window with NEW, compared with OLD.
int RunCompare(const std::string& oldPath, const std::string& newPath) {
    CMainDlg dlg;
    dlg.OpenCatalogueAtStart(newPath);
    dlg.resize(1024, 768);
    dlg.show();
    WatchScan(dlg, Clock::now());
    const auto start = Clock::now();
    if (dlg.CataloguePath().empty() || !dlg.CompareWithCatalogue(oldPath)) {
        std::fprintf(stderr, "the catalogue was not shown or could not be compared\n");
        return 1;
    }
    const ScanTimes times = WatchScan(dlg, start);
    dlg.repaint();
    const double shown = Seconds(start);
    const bool bShown = dlg.GetComparison() != nullptr;
    const int nRows = dlg.m_listFiles->GetItemCount();
    if (!bShown) return 1;
    const long nComparedKb = PeakResidentKb();
    // Every file shown, then sorted by the change column and by size: long
    // work off the window's thread, the timer watched meanwhile.
    dlg.GetShowUnchangedAction()->trigger();
    const int nAllRows = dlg.m_listFiles->GetItemCount();
    CListCtrl* pView = dlg.m_listFiles;
    const ScanTimes byChange = WatchWork(dlg, [&] { emit pView->ColumnClick(0); });
    const ScanTimes bySize = WatchWork(dlg, [&] { emit pView->ColumnClick(1 + kColumnSize); });
    dlg.hide();
    std::printf("comparison shown, rows %d\n", nRows);
    std::printf("compare-to-shown      %.3f\n", shown);
    std::printf("worst-timer-lateness  %.1f ms\n", times.worstLateMs);
    std::printf("sorted-rows           %d\n", nAllRows);
    std::printf("sort-by-change        %.3f\n", byChange.whole);
    std::printf("sort-by-size          %.3f\n", bySize.whole);
    std::printf("sort-timer-lateness   %.1f ms\n", std::max(byChange.worstLateMs, bySize.worstLateMs));
    std::printf("peak-resident         %ld KB\n", nComparedKb);
    std::printf("peak-after-sorts      %ld KB\n", PeakResidentKb());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const bool bCompare = argc > 3 && std::strcmp(argv[1], "--compare") == 0;
    const bool bOpen = argc > 1 && std::strcmp(argv[1], "--open") == 0;
    const bool bScanOnly = bOpen || (argc > 1 && std::strcmp(argv[1], "--scan") == 0);
    if (argc < (bScanOnly ? 3 : 2) || (!bCompare && std::strcmp(argv[1], "--compare") == 0)) {
        std::fprintf(stderr,
                     "usage: bench_WindowBench ROOT [RUNS] | bench_WindowBench --scan ROOT | "
                     "bench_WindowBench --open CATALOGUE | bench_WindowBench --compare OLD NEW\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    const int nCodePage = CodePageFromEnvironment();
    SetCodePage(nCodePage);
    SetFileSystemCodePage(nCodePage);
    const std::string rawFolder = argv[bScanOnly ? 2 : 1];
    const int nRuns = !bScanOnly && argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    QApplication app(argc, argv);

    // Settings of its own, so the history of a real run stays untouched.
    TempDir settings;
    CListerApp theApp;
    SetSettingsPath(settings / "Norvane.ini");
    if (bCompare) {
        const int nResult = RunCompare(argv[2], argv[3]);
        WaitForBackgroundWork(std::chrono::seconds(60));
        return nResult;
    }

    Figures f;
    {
        // The window as start-up shows it, without its modal loop.
        const auto start = Clock::now();
        CMainDlg dlg;
        if (bOpen) dlg.OpenCatalogueAtStart(rawFolder);
        else if (bScanOnly) dlg.SetFolder(rawFolder);
        dlg.resize(1024, 768);
        dlg.show();
        if (bScanOnly) {
            const ScanTimes times = WatchScan(dlg, start);
            f.firstRows.push_back(times.firstRows);
            f.wholeScans.push_back(times.whole);
            f.lateness.push_back(times.worstLateMs);
            f.firstLateness.push_back(times.firstLateMs);
            f.nRows = dlg.m_listFiles->GetItemCount();
            if (bOpen && !dlg.CataloguePath().empty()) std::printf("catalogue shown\n");
        } else {
            dlg.SetFolder(rawFolder);  // a first listing warms the caches as the lister's runs do
            WatchScan(dlg, Clock::now());
        }
        for (int nRun = 0; !bScanOnly && nRun < nRuns; ++nRun) MeasureRun(dlg, rawFolder, f);
        dlg.hide();
    }
    const long nPeakKb = PeakResidentKb();
    WaitForBackgroundWork(std::chrono::seconds(60));

    std::printf("rows %d, median of %d runs\n", f.nRows, static_cast<int>(f.wholeScans.size()));
    std::printf("first-rows-painted    %.3f\n", Median(f.firstRows));
    std::printf("scan-to-end           %.3f\n", Median(f.wholeScans));
    std::printf("worst-timer-lateness  %.1f ms\n", Median(f.lateness));
    if (bScanOnly) {
        std::printf("first-timer-lateness  %.1f ms (the first paint)\n", Median(f.firstLateness));
        std::printf("peak-resident         %ld KB\n", nPeakKb);
        return 0;
    }
    std::printf("sort-by-name          %.3f\n", Median(f.nameSorts));
    std::printf("sort-by-size          %.3f\n", Median(f.sizeSorts));
    std::printf("worst-timer-lateness-sorting %.1f ms\n", Median(f.sortLateness));
    std::printf("copy-all-rows         %.3f\n", Median(f.copies));
    std::printf("worst-timer-lateness-copying %.1f ms\n", Median(f.copyLateness));
    std::printf("scroll-to-end         %.3f\n", Median(f.scrolls));
    return 0;
}
