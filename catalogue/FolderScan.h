// The folder scan: every file of a folder, and with recursion of all its
// subfolders, as records in a FileStore, in scan order (a folder's own files
// in enumeration order, then each subfolder's tree in enumeration order).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "catalogue/FileItem.h"

namespace norvane {

struct ScanOptions {
    bool recurse = true;
    bool includeSystem = true;
    bool includeHidden = true;
    // Threads that read version resources while the folders are enumerated;
    // 0 reads them on the scanning thread. Rows, order and diagnostics are
    // the same either way.
    int probeThreads = 16;
    // Called now and then from the scanning thread with the files so far.
    std::function<void(std::size_t)> progress;
};

struct ScanResult {
    // True when the scan ran to its end (also when folders were skipped
    // because they could not be read).
    bool completed = true;
    // Why it stopped: the Windows error code, and the text reported for it
    // (empty when it stopped silently at the target-folder step).
    std::uint32_t errorCode = 0;
    std::string reason;
};

// Receives the diagnostics the scan writes (texts in the code page).
using ScanDiagnostics = std::function<void(std::string_view)>;
// Receives every accepted file, in scan order, once its record is complete.
using ScanSink = std::function<void(FileItem*)>;

// Lists folder (a text in the code page, ending with "/") into store. The
// target folder is created first unless it is the root; when that fails for
// any reason but "already exists", the scan stops without a message.
ScanResult ScanFolder(std::string_view folder, std::string_view targetFolder, const ScanOptions& options,
                      FileStore& store, const ScanSink& sink, const ScanDiagnostics& diagnostics);

// The two texts the scan writes itself.
std::string_view NotReadyText();      // "ディスクの準備ができていません。\n"
std::string_view AccessDeniedText();  // "アクセスが拒否されました。処理を続けます。\n"

}  // namespace norvane
