// Norvane: lists the files of a folder and writes the list out as text, an
// HTML table or CSV.
#include <QApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "app/ListerApp.h"
#include "app/QtTranslations.h"
#include "app/TerminationSignals.h"
#include "catalogue/BackgroundScan.h"
#include "export/ListExporterRun.h"
#include "platform/CodePage.h"
#include "platform/Paths.h"

int main(int argc, char** argv) {
    norvane::SetProgramArgument(argc > 0 ? argv[0] : "");
    // Every string of the program is in the locale's code page.
    const int nCodePage = norvane::CodePageFromEnvironment();
    norvane::SetCodePage(nCodePage);
    norvane::SetFileSystemCodePage(nCodePage);
    QApplication app(argc, argv);
    norvane::InstallQtTranslations();
    const norvane::TerminationSignals termination;
    {
        norvane::CListerApp theApp;
        theApp.InitInstance(argc, argv);
    }
    // The pool's threads end with the program. A scan stopped at the close
    // may have a worker held up inside a slow file system: after a grace the
    // program ends without the destructors of its static objects, which
    // that worker may still use.
    if (!norvane::EndBackgroundWork(std::chrono::seconds(2))) {
        // An export that was putting its file in place when the window
        // closed ends first.
        norvane::WaitForExportsPuttingFilesInPlace(std::chrono::minutes(2));
        std::fflush(nullptr);
        std::_Exit(0);
    }
    return 0;
}
