// The lister's scan: the rows of a folder in scan order, with a progress
// line on a terminal, and SIGINT and SIGTERM taken as a request to stop.
#pragma once

#include <atomic>
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
// standard error as they come. With progress, standard error shows one line
// (files, folders, files per second, the folder reached) redrawn at most ten
// times a second and erased at the end.
ListerScan RunListerScan(const std::string& rawFolder, const ScanOptions& options, FileStore& store, bool progress,
                         bool diagnostics = true);

// From the first call of RunListerScan (or WatchStopSignals) on, SIGINT and
// SIGTERM stop the scan; the number of the first such signal since the last
// scan (or watch) began, or 0.
int StopSignal();
// Catches SIGINT and SIGTERM from here on, for work other than a scan, and
// forgets any signal before.
void WatchStopSignals();
// True once such a signal came: what work on other threads looks at.
const std::atomic<bool>& StopRequest();

// The one progress line for a terminal width of columns: "12345 files, 678
// folders, 9012 files/s, " and the folder, whose start gives way to "..."
// when it is too long. folder is in the terminal's encoding (a
// double-byte or non-ASCII character counts as two columns).
std::string ProgressLine(const ScanProgress& progress, double seconds, int columns, const std::string& folder);

}  // namespace norvane
