// The lister's scan: the rows of a folder in scan order, with a progress
// line on a terminal, and SIGINT, SIGTERM and SIGHUP taken as a request to
// stop.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "catalogue/FolderScan.h"

namespace norvane {

struct ListerScan {
    ScanResult result;
    std::vector<const FileItem*> rows;
};

// Scans rawFolder (the file system's bytes) into store on worker threads,
// taking the rows on the calling thread. With diagnostics, they go to
// standard error as they come, each a warning that names its folder. With
// progress, standard error shows one line (files, folders, files per
// second, the folder reached) redrawn at most ten times a second and erased
// at the end. onRows, when given, is handed the rows as they come, in scan
// order, on the calling thread, while the workers read on.
ListerScan RunListerScan(const std::string& rawFolder, const ScanOptions& options, FileStore& store, bool progress,
                         bool diagnostics = true, const std::function<void(std::span<FileItem* const>)>& onRows = {});

// For as long as it lives (one at a time), SIGINT, SIGTERM and SIGHUP ask
// the lister to stop, on the thread that made it, unless the lister was
// started to ignore them (nohup); the handlers there before are put back at
// the end. Such a signal interrupts whatever call that thread is blocked in
// (a write to a full pipe, the open of a FIFO that no one reads): calls are
// not restarted, and after the first one the thread is interrupted again
// every 100 ms, so that a call entered just after it last looked at
// StopSignal cannot block it for good. On Windows, Ctrl+C (SIGINT),
// Ctrl+Break (SIGBREAK) and the closing of the console (SIGTERM) ask the
// same, and a call the thread is blocked in is cancelled instead.
class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // What the system had before.
    struct Saved;

private:
    std::unique_ptr<Saved> m_pSaved;
};

// The number of the first stop signal since the StopSignals in force was
// made, or 0.
int StopSignal();
// Its name without "SIG" ("INT").
const char* StopSignalName(int signal);
// The width of the terminal on standard error, in columns (80 when it
// cannot be had).
int TerminalColumns();
// True once such a signal came: what work that takes a stop flag looks at
// (reading and writing a catalogue).
const std::atomic<bool>& StopRequest();

// The one progress line for a terminal width of columns: "12345 files, 678
// folders, 9012 files/s, " and the folder, whose start gives way to "..."
// when it is too long. folder is in the terminal's encoding (a
// double-byte or non-ASCII character counts as two columns); its control
// characters are shown as escapes.
std::string ProgressLine(const ScanProgress& progress, double seconds, int columns, const std::string& folder);

}  // namespace norvane
