// Scans a tree once and measures what the records cost: resident memory per
// record, a sort of all records by each column, and writing them out.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "catalogue/SortRows.h"
#include "catalogue/FolderScan.h"
#include "export/ListExporter.h"
#include "export/OutputSink.h"
#include "platform/CodePage.h"

using namespace norvane;
using Clock = std::chrono::steady_clock;

namespace {

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return 0;
}

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_ScanSortBench ROOT\n");
        return 2;
    }
    SetCodePage(CodePageFromEnvironment());
    SetFileSystemCodePage(CodePageFromEnvironment());
    std::string folder = argv[1];

    long before = ResidentKiB();
    FileStore store;
    std::vector<const FileItem*> rows;
    auto start = Clock::now();
    ScanResult result = ScanFolder(
        folder, ScanOptions{}, store, [&rows](FileItem* item) { rows.push_back(item); }, nullptr);
    double scanSeconds = Seconds(start);
    long after = ResidentKiB();
    if (!result.completed() || rows.empty()) {
        std::fprintf(stderr, "scan failed\n");
        return 1;
    }
    double perRecord = 1024.0 * static_cast<double>(after - before) / static_cast<double>(rows.size());
    std::printf("records: %zu  scan: %.3f s  resident: %.1f MB (%.0f bytes a record, FileItem %zu bytes)\n",
                rows.size(), scanSeconds, static_cast<double>(after - before) / 1024.0, perRecord, sizeof(FileItem));
    std::printf("records of 1M files (projected): %.0f MB\n", perRecord * 1e6 / 1048576.0);

    static const char* const kNames[] = {"name", "date", "size", "version", "ext", "folder", "system", "hidden"};
    double worst = 0;
    for (int column = 0; column < 8; ++column) {
        std::vector<double> times;
        for (int run = 0; run < 3; ++run) {
            std::vector<const FileItem*> sorted = rows;
            auto t = Clock::now();
            SortRows(sorted, column, false);
            times.push_back(Seconds(t));
        }
        std::sort(times.begin(), times.end());
        worst = std::max(worst, times[1]);
        std::printf("sort by %-8s median %.3f s\n", kNames[column], times[1]);
    }
    std::printf("slowest sort: %.3f s (%.2f s per million records)\n", worst,
                worst * 1e6 / static_cast<double>(rows.size()));

    for (const char* format : {"text", "html", "csv"}) {
        ExportSettings settings;
        settings.columns.fill(true);
        settings.format = std::strcmp(format, "text") == 0   ? ExportFormat::kText
                          : std::strcmp(format, "html") == 0 ? ExportFormat::kHtml
                                                             : ExportFormat::kCsv;
        CListExporter exporter(settings);
        FileOutputSink sink;
        sink.Open("/dev/null");
        auto t = Clock::now();
        exporter.WriteRows(sink, rows);
        sink.Commit();
        std::printf("write %-4s all columns: %.3f s\n", format, Seconds(t));
    }
    return 0;
}
