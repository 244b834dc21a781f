#include "catalogue/CellText.h"

#include <charconv>
#include <cstdint>

#include "platform/ByteSize.h"
#include "platform/CodePage.h"
#include "platform/FileTime.h"

namespace norvane {

namespace {

// Cells are made at every paint and for every exported row, so numbers are
// converted in place rather than through a formatted-print call.
void AppendUnsigned(std::string& out, std::uint64_t value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

}  // namespace

void AppendVersionParts(std::string& out, const FileVersion& info) {
    AppendUnsigned(out, info.dwFileVersionMS >> 16);
    out += '.';
    AppendUnsigned(out, info.dwFileVersionMS & 0xFFFFu);
    out += '.';
    AppendUnsigned(out, info.dwFileVersionLS >> 16);
    out += '.';
    AppendUnsigned(out, info.dwFileVersionLS & 0xFFFFu);
}

void AppendListVersionText(std::string& out, const FileVersion& info) {
    // A version that begins 0.0 shows empty, like a file without one.
    if (info.dwFileVersionMS != 0) AppendVersionParts(out, info);
}

void AppendCellText(std::string& out, const FileItem& item, int column, bool formattedSize) {
    switch (column) {
        case kColumnFileName: out += item.fileName; break;
        case kColumnDateTime: AppendDateText(out, item.fileTime); break;
        case kColumnSize:
            if (formattedSize) AppendByteSizeText(out, item.fileSize);
            else AppendUnsigned(out, item.fileSize);
            break;
        case kColumnVersion: AppendListVersionText(out, item.versionInfo); break;
        case kColumnExtension: out += item.extension(); break;
        case kColumnDirectory: AppendFolderText(out, item.folder); break;
        case kColumnSystem:
            if (item.systemFile) out += MarkWhiteCircle();
            break;
        case kColumnHidden:
            if (item.hidden) out += MarkWhiteCircle();
            break;
        default: break;
    }
}

void AppendRowLine(std::string& out, const FileItem& item, const std::vector<int>& columns, bool formattedSize) {
    bool bFirst = true;
    for (int column : columns) {
        if (column < 0 || column >= kColumnCount) continue;
        if (!bFirst) out += '\t';
        bFirst = false;
        const std::size_t start = out.size();
        AppendCellText(out, item, column, formattedSize);
        for (std::size_t i = start; i < out.size(); ++i) {
            if (out[i] == '\t' || out[i] == '\n' || out[i] == '\r') out[i] = ' ';
        }
    }
    out += '\n';
}

std::string CellText(const FileItem& item, int column, bool formattedSize) {
    std::string text;
    AppendCellText(text, item, column, formattedSize);
    return text;
}

}  // namespace norvane
