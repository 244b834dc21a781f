// Exports every row of the main window, as its user does, on the offscreen
// platform: the window lists the tree, then "全行を出力" runs through the
// options dialog (TEXT, all six columns, no folder headings), the save dialog
// (a path typed in) and the completion question. Measures the export from
// the click on Save to the completion question, with the worst lateness of a
// 10 ms timer meanwhile (the file is written off the window's thread), and,
// on the same rows, the writer alone as norvane-list drives it. Prints
//   rows N
//   window_export SECONDS   (median of the runs)
//   window_export_lateness MS (median of the runs)
//   writer_alone SECONDS    (median of the runs)
// and leaves the window's file at OUT, to be compared with the lister's.
//
//   bench_ExportBench ROOT OUT [RUNS]
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "app/ListerApp.h"
#include "app/MainDlg.h"
#include "export/ListExporterRun.h"
#include "export/OutputOptionsDlg.h"
#include "export/OutputSink.h"
#include "platform/CodePage.h"
#include "support/ModalDriver.h"
#include "support/TempDir.h"

using namespace norvane;
using namespace norvane::test;
using Clock = std::chrono::steady_clock;

namespace {

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// Notes the moment a message box is shown: the end of a run, without the
// driver's polling delay.
class BoxWatch : public QObject {
public:
    Clock::time_point shown;

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override {
        if (pEvent->type() == QEvent::Show && qobject_cast<QMessageBox*>(pWatched) != nullptr) shown = Clock::now();
        return QObject::eventFilter(pWatched, pEvent);
    }
};

// How late the window's event loop lets a 10 ms timer fire between Begin
// and End (the file is written meanwhile).
class LatenessWatch {
public:
    LatenessWatch() {
        m_tick.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_tick, &QTimer::timeout, [this] {
            const auto now = Clock::now();
            const double late = std::chrono::duration<double, std::milli>(now - m_last).count() - 10.0;
            if (m_bMeasuring) m_worstMs = std::max(m_worstMs, late);
            m_last = now;
        });
        m_tick.start(10);
    }
    void Begin() {
        m_last = Clock::now();
        m_worstMs = 0;
        m_bMeasuring = true;
    }
    double End() {
        m_bMeasuring = false;
        return m_worstMs;
    }

private:
    QTimer m_tick;
    Clock::time_point m_last = Clock::now();
    bool m_bMeasuring = false;
    double m_worstMs = 0;
};

bool ClickSave(QFileDialog* pDialog) {
    auto* pButtons = pDialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    if (pButtons == nullptr) return false;
    for (QAbstractButton* pButton : pButtons->buttons()) {
        if (pButtons->buttonRole(pButton) == QDialogButtonBox::AcceptRole) return ClickWidget(pButton);
    }
    return false;
}

// The runs and what they measured.
class ExportRuns {
public:
    explicit ExportRuns(std::string strOut) : m_strOut(std::move(strOut)) {}

    BoxWatch watch;
    LatenessWatch lateWatch;
    std::vector<double> windowTimes;
    std::vector<double> lateness;
    std::vector<double> writerTimes;
    int nRows = 0;
    bool bOk = true;

    void Check(bool bCondition, const char* pszWhat) {
        if (bCondition) return;
        std::fprintf(stderr, "bench_ExportBench: %s\n", pszWhat);
        bOk = false;
    }

    // One export of every row from the window, timed from Save to the
    // question that ends it.
    void QueueWindowExport(ModalDriver& driver) {
        driver
            .ThenSettled<CMainDlg>([this](CMainDlg* d) {
                nRows = d->m_listFiles->GetItemCount();
                Check(ClickButton(d, IDC_OUTPUT_ALL), "no export button");
            })
            .Then<COutputOptionsDlg>([this](COutputOptionsDlg* o) {
                // The lister's "-f text -c name,date,size,version,ext,folder --no-headings".
                Check(ClickButton(o, IDC_RAD_TEXT) && ClickButton(o, IDC_CHK_EXPANSION) &&
                          ClickButton(o, IDC_CHK_DIRECTORY) && ClickButton(o, IDC_CHK_FOLDERHEADING),
                      "options not set");
                Check(ClickButton(o, IDOK), "no OK");
            })
            .Then<QFileDialog>([this](QFileDialog* f) {
                auto* pEdit = f->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                Check(pEdit != nullptr, "no file name field");
                if (pEdit == nullptr) return;
                pEdit->selectAll();
                pEdit->del();
                TypeText(pEdit, QString::fromStdString(m_strOut));
                if (QWidget* pPopup = QApplication::activePopupWidget()) pPopup->close();
                // Each run writes a new file, so the dialog asks no question
                // before replacing one and the time is the export's alone.
                std::remove(m_strOut.c_str());
                m_start = Clock::now();
                lateWatch.Begin();
                Check(ClickSave(f), "no Save button");
            })
            .Then<QMessageBox>([this](QMessageBox* b) {
                lateness.push_back(lateWatch.End());
                windowTimes.push_back(std::chrono::duration<double>(watch.shown - m_start).count());
                Check(b->windowTitle() == QStringLiteral("出力先"), "no completion question");
                Check(ClickButtonText(b, QStringLiteral("いいえ(&N)")), "no No button");
            });
    }

    // The writer alone on the same rows, to a file, as norvane-list writes;
    // then the window is closed.
    void QueueWriterRuns(ModalDriver& driver, int nRuns) {
        driver.ThenSettled<CMainDlg>([this, nRuns](CMainDlg* d) {
            const std::vector<const FileItem*>& rows = d->GetFileList().Items();
            const std::string strWriterOut = m_strOut + ".writer";
            ExportSettings text;
            text.format = ExportFormat::kText;
            text.columns.fill(true);
            text.folderHeadings = false;
            for (int nRun = 0; nRun < nRuns; ++nRun) {
                CListExporter exporter(text);
                const auto t = Clock::now();
                FileOutputSink sink;
                const bool bWritten = sink.Open(strWriterOut) && exporter.WriteRows(sink, rows) && sink.Commit();
                writerTimes.push_back(Seconds(t));
                Check(bWritten, "the writer failed");
            }
            std::remove(strWriterOut.c_str());
            ClickButton(d, IDCANCEL);
        });
    }

private:
    std::string m_strOut;
    Clock::time_point m_start;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_ExportBench ROOT OUT [RUNS]\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    const int nCodePage = CodePageFromEnvironment();
    SetCodePage(nCodePage);
    SetFileSystemCodePage(nCodePage);
    QApplication app(argc, argv);
    const int nRuns = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;

    TempDir settings;  // the window saves its history when it closes
    CListerApp theApp;
    SetSettingsPath(settings / "Norvane.ini");
    SetFileOpener([](const std::string&) { return true; });

    CMainDlg dlg;
    dlg.SetFolder(argv[1]);
    ExportRuns runs(argv[2]);
    app.installEventFilter(&runs.watch);
    ModalDriver driver(600000);
    for (int nRun = 0; nRun < nRuns; ++nRun) runs.QueueWindowExport(driver);
    runs.QueueWriterRuns(driver, nRuns);
    dlg.exec();
    if (!driver.Finished()) {
        std::fprintf(stderr, "bench_ExportBench: %s\n", qPrintable(driver.Error()));
        return 1;
    }
    if (!runs.bOk) return 1;
    std::printf("rows %d\n", runs.nRows);
    std::printf("window_export %.3f\n", Median(runs.windowTimes));
    std::printf("window_export_lateness %.1f\n", Median(runs.lateness));
    std::printf("writer_alone %.3f\n", Median(runs.writerTimes));
    return 0;
}
