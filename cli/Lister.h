// norvane-list: the headless lister. Scans a folder, sorts, and writes the
// catalogue as TEXT, HTML or CSV with the same writer as the window.
#pragma once

#include <optional>
#include <string>

namespace norvane {

struct ListerOptions {
    enum class Format { kText, kHtml, kCsv };
    Format format = Format::kHtml;
    // name, date, size, version, ext, folder
    bool columns[6] = {true, true, true, true, false, false};
    bool withPath = false;
    std::string prefix;
    std::string suffix;
    bool headings = true;
    bool formattedSize = false;
    bool subfolders = true;
    bool system = true;
    bool hidden = true;
    int sortColumn = -1;  // a list column, or -1 for scan order
    bool sortDescending = false;
    std::optional<std::string> settingsPath;
    int codePage = 0;  // 0: the locale's
    int probeThreads = -1;  // -1: the scan's default
    std::string outputPath;  // empty: standard output
    std::string folder;
    bool help = false;
    bool version = false;
};

// Parses the command line. False with a message in *error on bad usage.
bool ParseListerOptions(int argc, char** argv, ListerOptions* options, std::string* error);

// The whole program: 0 when the output was written whole, 1 when the scan
// stopped early or the output could not be written, 2 for bad usage or a
// folder that does not exist.
int RunLister(int argc, char** argv);

}  // namespace norvane
