// Opens the main window on the offscreen platform and measures what its user
// waits for on a big tree: a rescan until the first screen is painted, a
// header-click sort by file name and by size (painted), and a scroll to the
// end (painted). Prints one "name seconds" line each, the median of the runs.
//
//   bench_WindowBench ROOT [RUNS]
#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app/ListerApp.h"
#include "app/MainDlg.h"
#include "catalogue/CellText.h"
#include "platform/CodePage.h"
#include "support/TempDir.h"

using namespace norvane;
using Clock = std::chrono::steady_clock;

namespace {

// The window as start-up shows it, without its modal loop.
class BenchDlg : public CMainDlg {
public:
    using CMainDlg::OnInitDialog;
};

// Seconds the action takes until the window has painted what it shows.
double TimePainted(BenchDlg& dlg, const std::function<void()>& fnAction) {
    const auto start = Clock::now();
    fnAction();
    QCoreApplication::processEvents();  // rows are announced from the event loop
    dlg.repaint();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_WindowBench ROOT [RUNS]\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    const int nCodePage = CodePageFromEnvironment();
    SetCodePage(nCodePage);
    SetFileSystemCodePage(nCodePage);
    const int nRuns = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    QApplication app(argc, argv);

    // Settings of its own, so the history of a real run stays untouched.
    TempDir settings;
    CListerApp theApp;
    SetSettingsPath(settings / "Norvane.ini");

    const std::string strFolder = FileSystemToCodePage(argv[1], FileSystemCodePage());
    int nRows = 0;
    std::vector<double> rescans, nameSorts, sizeSorts, scrolls;
    {
        BenchDlg dlg;
        AfxSetMainWnd(&dlg);
        dlg.CreateControls();
        dlg.OnInitDialog();
        dlg.resize(1024, 768);
        dlg.show();
        CListCtrl* pView = dlg.m_listFiles;
        dlg.SetFolder(strFolder);  // a first listing warms the caches as the lister's runs do
        for (int nRun = 0; nRun < nRuns; ++nRun) {
            rescans.push_back(TimePainted(dlg, [&] { dlg.SetFolder(strFolder); }));
            nRows = pView->GetItemCount();
            // A header click is this signal; each run starts from scan order.
            nameSorts.push_back(TimePainted(dlg, [&] { emit pView->ColumnClick(kColumnFileName); }));
            sizeSorts.push_back(TimePainted(dlg, [&] { emit pView->ColumnClick(kColumnSize); }));
            scrolls.push_back(
                TimePainted(dlg, [&] { pView->verticalScrollBar()->setValue(pView->verticalScrollBar()->maximum()); }));
            pView->scrollToTop();
        }
        dlg.hide();
        AfxSetMainWnd(nullptr);
    }

    std::printf("rows %d, median of %d runs\n", nRows, nRuns);
    std::printf("rescan-to-first-paint %.3f\n", Median(rescans));
    std::printf("sort-by-name          %.3f\n", Median(nameSorts));
    std::printf("sort-by-size          %.3f\n", Median(sizeSorts));
    std::printf("scroll-to-end         %.3f\n", Median(scrolls));
    return 0;
}
