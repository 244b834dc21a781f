// norvane-list: the headless lister. Scans a folder, sorts, and writes the
// catalogue as TEXT, HTML or CSV with the same writer as the window.
#pragma once

#include <optional>
#include <string>

#include "export/ExportSettings.h"

namespace norvane {

struct ListerOptions {
    // Format, columns, names, prefix and suffix, headings, sizes; the titles
    // come from the settings file. The defaults are a new export's: HTML,
    // the first four columns, bare names, folder headings.
    ExportSettings output;
    bool subfolders = true;
    bool system = true;
    bool hidden = true;
    int sortColumn = -1;  // a list column (or a comparison's change column), or -1 for scan order
    bool sortDescending = false;
    std::optional<std::string> settingsPath;
    int codePage = 0;        // 0: the locale's
    int threads = -1;        // workers reading folders; -1: the scan's default
    bool quiet = false;      // no progress and no warnings, errors only
    std::string outputPath;  // empty (or "-"): standard output
    std::string folder;
    std::string savePath;  // a catalogue to write
    std::string openPath;  // a catalogue to read instead of a folder
    std::string comparePath;  // a catalogue to compare the list with
    bool all = false;         // a comparison's unchanged files too
    bool help = false;
    bool version = false;
};

// Parses the command line. False with a message in *error on bad usage.
bool ParseListerOptions(int argc, char** argv, ListerOptions* options, std::string* error);

// The whole program: 0 when the output was written whole, 1 when the scan
// stopped early (or the catalogue read is of such a scan) or the output or
// the catalogue could not be written, 2 for bad usage, a folder that does not
// exist or a catalogue that cannot be read, 128 and the signal's number when
// SIGINT or SIGTERM stopped it (nothing is then written). A comparison ends
// as diff does: 0 when nothing differs, 1 when something does, 2 for any
// trouble (a list of a scan that stopped early included).
int RunLister(int argc, char** argv);

}  // namespace norvane
