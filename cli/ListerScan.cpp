#include "cli/ListerScan.h"

#include <chrono>
#include <cstdio>
#include <iterator>
#include <string_view>

#include "platform/CodePage.h"

namespace norvane {

namespace {

// Columns of each character of text, in the file system's encoding.
std::vector<std::pair<std::size_t, int>> Characters(const std::string& text) {
    std::vector<std::pair<std::size_t, int>> chars;  // start, columns
    const int codePage = FileSystemCodePage();
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t length = 1;
        int columns = 1;
        auto c = static_cast<unsigned char>(text[pos]);
        if (codePage == kCodePageShiftJis) {
            length = CharLength(text, pos, codePage);
            columns = static_cast<int>(length);
        } else if (c >= 0xC0) {
            length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
            columns = length >= 3 ? 2 : 1;
        }
        length = std::min(length, text.size() - pos);
        chars.emplace_back(pos, columns);
        pos += length;
    }
    return chars;
}

void Erase(bool& shown) {
    if (shown) std::fputs("\r\033[K", stderr);
    shown = false;
}

}  // namespace

std::string ProgressLine(const ScanProgress& progress, double seconds, int columns, const std::string& rawFolder) {
    const std::string folder = VisibleControls(rawFolder, FileSystemCodePage());
    const auto rate = static_cast<unsigned long long>(seconds > 0 ? static_cast<double>(progress.files) / seconds : 0);
    std::string line = std::to_string(progress.files) + " files, " + std::to_string(progress.folders) + " folders, " +
                       std::to_string(rate) + " files/s";
    // One column short of the width: a full line would wrap on some terminals.
    const int room = columns - 1 - static_cast<int>(line.size()) - 2;
    if (room < 4) return line.substr(0, static_cast<std::size_t>(std::max(columns - 1, 0)));
    auto chars = Characters(folder);
    int width = 0;
    for (const auto& character : chars) width += character.second;
    std::size_t from = 0;
    std::string cut;
    if (width > room) {
        // Keep the end of the path, the part that says where the scan is.
        cut = "...";
        std::size_t i = 0;
        while (i < chars.size() && width > room - 3) width -= chars[i++].second;
        from = i < chars.size() ? chars[i].first : folder.size();
    }
    return line + ", " + cut + folder.substr(from);
}

ListerScan RunListerScan(const std::string& rawFolder, const ScanOptions& options, FileStore& store, bool progress,
                         bool diagnostics, const std::function<void(std::span<FileItem* const>)>& onRows) {
    ListerScan scan;
    FolderScan folderScan(rawFolder, options, store);
    folderScan.Start();
    const auto start = std::chrono::steady_clock::now();
    auto nextDraw = start + std::chrono::milliseconds(100);
    bool shown = false;
    bool stopRequested = false;
    ScanBatch batch;
    for (bool more = true; more;) {
        more = folderScan.Take(batch, std::chrono::milliseconds(50));
        scan.rows.insert(scan.rows.end(), batch.rows.begin(), batch.rows.end());
        if (onRows && !batch.rows.empty()) onRows(batch.rows);
        if (diagnostics && !batch.diagnostics.empty()) {
            Erase(shown);
            for (const std::string& text : batch.diagnostics) {
                std::string_view line = text;
                if (line.ends_with('\n')) line.remove_suffix(1);
                const std::string strText = CodePageToFileSystem(line, FileSystemCodePage());
                std::fprintf(stderr, "norvane-list: %s\n", VisibleControls(strText, FileSystemCodePage()).c_str());
            }
        }
        if (StopSignal() != 0 && !stopRequested) {
            folderScan.RequestStop();
            stopRequested = true;
        }
        const auto now = std::chrono::steady_clock::now();
        if (progress && more && now >= nextDraw) {
            ScanProgress counts = folderScan.Progress();
            const double seconds = std::chrono::duration<double>(now - start).count();
            std::string line = ProgressLine(counts, seconds, TerminalColumns(),
                                            CodePageToFileSystem(counts.folder, FileSystemCodePage()));
            std::fprintf(stderr, "\r%s\033[K", line.c_str());
            shown = true;
            nextDraw = now + std::chrono::milliseconds(100);
        }
    }
    Erase(shown);
    std::fflush(stderr);
    scan.result = folderScan.Result();
    return scan;
}

}  // namespace norvane
