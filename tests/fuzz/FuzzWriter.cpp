// Writes an export of arbitrary names and folders with arbitrary options.
// Input: byte 0 the format (value mod 3: TEXT, HTML, CSV), code page 932
// (bit 2), folder headings (bit 3), bare names (bit 4), prefix (bit 5),
// suffix (bit 6), formatted sizes (bit 7); byte 1 the written columns (bits
// 0-5) and whether the file sink writes too (bit 6); bytes 2-9 the seed of
// the sizes, times, versions and folders of the rows. The rest, split at
// NULs: prefix, suffix, a title text, a colour text, three folder texts,
// then one file name per row.
//
// Checked: the file sink writes the bytes the writer made; the number of
// line feeds is the writer's own lines plus those the user's texts bring
// (none from a name or a folder); TEXT has one line per row and heading with
// the right number of tabs; CSV parses into one record per row and heading
// with the right fields; no HTML tag or entity comes from a name or folder.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/FileItem.h"
#include "export/ListExporter.h"
#include "export/OutputSink.h"
#include "platform/CodePage.h"
#include "tests/fuzz/FuzzFiles.h"

namespace {

constexpr std::size_t kMaxRows = 64;

void Check(bool condition) {
    if (!condition) std::abort();
}

const std::string& Folder() { return norvane::fuzz::FuzzFolder(); }

std::uint64_t Next(std::uint64_t& state) {  // splitmix64
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

std::size_t Count(std::string_view text, char c) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), c));
}

std::string Replaced(std::string_view text, std::string_view bytes, char by) {
    std::string out(text);
    for (char& c : out) {
        if (bytes.find(c) != std::string_view::npos) c = by;
    }
    return out;
}

std::string LfToCrLf(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

// RFC 4180 with CR LF record ends; false when the text is not well formed.
bool ParseCsv(std::string_view text, std::vector<std::vector<std::string>>* records) {
    std::size_t i = 0;
    while (i < text.size()) {
        std::vector<std::string> fields;
        for (;;) {
            std::string field;
            if (i < text.size() && text[i] == '"') {
                for (++i;; ++i) {
                    if (i >= text.size()) return false;
                    if (text[i] == '"') {
                        if (i + 1 < text.size() && text[i + 1] == '"') {
                            field += '"';
                            ++i;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    field += text[i];
                }
            } else {
                for (; i < text.size() && text[i] != ',' && text[i] != '\r' && text[i] != '\n'; ++i) {
                    if (text[i] == '"') return false;
                    field += text[i];
                }
            }
            fields.push_back(std::move(field));
            if (i < text.size() && text[i] == ',') {
                ++i;
                continue;
            }
            if (text.substr(i, 2) != "\r\n") return false;
            i += 2;
            break;
        }
        records->push_back(std::move(fields));
    }
    return true;
}

// Every "<" opens one of the writer's own tags, every "&" one of its
// references, and each tag has its one ">".
void CheckHtmlMarkup(std::string_view html) {
    static constexpr std::string_view kTags[] = {"<table border=\"1\">",
                                                 "<tbody>",
                                                 "</tbody>",
                                                 "</table>",
                                                 "<TR>",
                                                 "</TR>",
                                                 "<TD bgColor=",
                                                 "<FONT class=VERDANA color=",
                                                 "</FONT>",
                                                 "</TD>",
                                                 "<tr>",
                                                 "</tr>",
                                                 "<TD>",
                                                 "<TD align=right>",
                                                 "<TD colspan="};
    static constexpr std::string_view kReferences[] = {"&amp;", "&lt;", "&gt;", "&quot;", "&#9;", "&#13;", "&#10;"};
    for (std::size_t i = 0; i < html.size(); ++i) {
        const std::string_view at = html.substr(i);
        if (html[i] == '<') {
            Check(
                std::any_of(std::begin(kTags), std::end(kTags), [&](std::string_view t) { return at.starts_with(t); }));
        } else if (html[i] == '&') {
            Check(std::any_of(std::begin(kReferences), std::end(kReferences),
                              [&](std::string_view r) { return at.starts_with(r); }));
        }
    }
    Check(Count(html, '<') == Count(html, '>'));
}

// The settings the input asks for. The user's own texts go out verbatim, so
// in HTML they hold no markup here: every tag must then be the writer's.
norvane::ExportSettings SettingsOf(const std::uint8_t* data, const std::vector<std::string_view>& parts) {
    const int format = data[0] % 3;
    const bool bHtml = format == 1;
    auto userText = [&](std::string_view text) { return bHtml ? Replaced(text, "<>&", '_') : std::string(text); };
    norvane::ExportSettings settings;
    for (std::size_t i = 0; i < 6; ++i) {
        settings.columns[i] = (data[1] >> i & 1) != 0;
        settings.titles.titles[i] = userText(parts[2]) + static_cast<char>('1' + i);
    }
    settings.format = format == 1   ? norvane::ExportFormat::kHtml
                      : format == 2 ? norvane::ExportFormat::kCsv
                                    : norvane::ExportFormat::kText;
    settings.folderHeadings = (data[0] & 8) != 0;
    settings.nameOnly = (data[0] & 16) != 0;
    settings.formattedSize = (data[0] & 128) != 0;
    if ((data[0] & 32) != 0) settings.prefix = userText(parts[0]);
    if ((data[0] & 64) != 0) settings.suffix = userText(parts[1]);
    settings.titles.bgColor = userText(parts[3]);
    settings.titles.fontColor = userText(parts[3]) + "f";
    return settings;
}

// Records named by the parts after the seventh, in three folders.
std::vector<const norvane::FileItem*> RowsOf(const std::vector<std::string_view>& parts, std::uint64_t seed,
                                             int codePage, norvane::FileStore& store) {
    std::vector<const norvane::Folder*> folders;
    for (std::size_t i = 4; i < 7; ++i) {
        std::string text(parts[i]);
        norvane::AppendSeparatorIfMissing(text, '/', codePage);
        folders.push_back(store.AddFolder(std::move(text)));
    }
    std::vector<const norvane::FileItem*> rows;
    for (std::size_t i = 7; i < parts.size(); ++i) {
        norvane::FileItem* item = store.AddItem(parts[i], folders[Next(seed) % folders.size()]);
        item->fileSize = Next(seed) >> (Next(seed) % 64);
        item->fileTime = Next(seed);
        item->versionInfo.dwFileVersionMS = static_cast<std::uint32_t>(Next(seed) & 0x0003FFFF);
        item->versionInfo.dwFileVersionLS = static_cast<std::uint32_t>(Next(seed));
        rows.push_back(item);
    }
    return rows;
}

std::size_t ColumnCount(const norvane::ExportSettings& settings) {
    return static_cast<std::size_t>(std::count(settings.columns.begin(), settings.columns.end(), true));
}

std::size_t HeadingCount(const norvane::ExportSettings& settings, const std::vector<const norvane::FileItem*>& rows) {
    std::size_t headings = 0;
    std::string previous;
    for (const norvane::FileItem* item : rows) {
        if (settings.folderHeadings && item->directory() != previous) ++headings;
        previous = item->directory();
    }
    return headings;
}

// The line feeds: the writer's own lines and those of the user's texts.
void CheckLineCount(const norvane::ExportSettings& settings, const std::vector<const norvane::FileItem*>& rows,
                    const std::string& out) {
    const bool bHtml = settings.format == norvane::ExportFormat::kHtml;
    const bool bNames = settings.columns[norvane::kExportFileName];
    const std::size_t userLines = bNames ? Count(settings.prefix, '\n') + Count(settings.suffix, '\n') : 0;
    std::size_t headerLines = 0;
    for (std::size_t i = 0; i < 6; ++i) {
        if (!settings.columns[i]) continue;
        if (bHtml) headerLines += 1 + Count(settings.titles.bgColor, '\n') + Count(settings.titles.fontColor, '\n');
        if (settings.format != norvane::ExportFormat::kText) headerLines += Count(settings.titles.titles[i], '\n');
    }
    if (bHtml) headerLines += 3 + 1 + 1;  // table, tbody, TR; /TR; /tbody
    if (settings.format == norvane::ExportFormat::kCsv) headerLines += 1;
    Check(Count(out, '\n') == headerLines + HeadingCount(settings, rows) + rows.size() * (1 + userLines));
}

// CSV parses into a heading record where the folder changes and one record
// of the written columns a row, names and folders whole.
void CheckCsv(const norvane::ExportSettings& settings, const std::vector<const norvane::FileItem*>& rows,
              const std::string& out, const std::string& mark) {
    // Titles are written verbatim: only plain ones make a plain header.
    const auto& titles = settings.titles.titles;
    if (std::any_of(titles.begin(), titles.end(),
                    [](const std::string& t) { return t.find_first_of(",\"\r\n") != std::string::npos; }))
        return;
    const std::size_t columnCount = ColumnCount(settings);
    std::vector<std::vector<std::string>> records;
    Check(ParseCsv(out, &records));
    Check(records.size() == 1 + HeadingCount(settings, rows) + rows.size());
    Check(records[0].size() == columnCount + 1);
    std::size_t r = 1;
    std::string previous;
    for (const norvane::FileItem* item : rows) {
        const std::string folder = item->directory();
        if (settings.folderHeadings && folder != previous) {
            const bool bQuoted = folder.find_first_of(",\"\r\n") != std::string_view::npos;
            Check(records[r].size() == 1);
            Check(records[r][0] == mark + Replaced(folder, bQuoted ? "\r\n" : "\t\r\n", '?'));
            ++r;
        }
        previous = folder;
        const std::vector<std::string>& fields = records[r++];
        Check(fields.size() == std::max<std::size_t>(columnCount, 1));
        if (settings.columns[norvane::kExportFileName]) {
            std::string name = LfToCrLf(settings.prefix);
            if (!settings.nameOnly) name += Replaced(folder, "\r\n", '?');
            name += Replaced(item->fileName, "\r\n", '?');
            name += LfToCrLf(settings.suffix);
            Check(fields[0] == name);
        }
        if (settings.columns[norvane::kExportFolder]) Check(fields.back() == Replaced(folder, "\r\n", '?'));
    }
}

// TEXT: one line per heading and row, the row's cells split by tabs, when
// the user's texts bring no tab or line of their own.
void CheckText(const norvane::ExportSettings& settings, const std::vector<const norvane::FileItem*>& rows,
               const std::string& out, const std::string& mark) {
    if (settings.prefix.find_first_of("\t\r\n") != std::string::npos ||
        settings.suffix.find_first_of("\t\r\n") != std::string::npos) {
        return;
    }
    const std::size_t columnCount = ColumnCount(settings);
    std::size_t pos = 0;
    auto nextLine = [&] {
        const std::size_t end = out.find("\r\n", pos);
        Check(end != std::string::npos);
        std::string_view line(out.data() + pos, end - pos);
        pos = end + 2;
        return line;
    };
    std::string previous;
    for (const norvane::FileItem* item : rows) {
        if (settings.folderHeadings && item->directory() != previous) {
            Check(nextLine() == mark + Replaced(item->directory(), "\t\r\n", '?'));
        }
        previous = item->directory();
        const std::string_view line = nextLine();
        Check(Count(line, '\t') == (columnCount == 0 ? 0 : columnCount - 1));
        Check(line.find_first_of("\r\n") == std::string_view::npos);
    }
    Check(pos == out.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 10) return 0;
    const int codePage = (data[0] & 4) != 0 ? norvane::kCodePageShiftJis : norvane::kCodePageUtf8;
    norvane::SetCodePage(codePage);
    std::uint64_t seed = 0;
    std::memcpy(&seed, data + 2, 8);

    std::vector<std::string_view> parts;
    std::string_view rest(reinterpret_cast<const char*>(data + 10), size - 10);
    for (std::size_t nul; parts.size() < 7 + kMaxRows && (nul = rest.find('\0')) != std::string_view::npos;) {
        parts.push_back(rest.substr(0, nul));
        rest.remove_prefix(nul + 1);
    }
    parts.push_back(rest);
    parts.resize(std::max<std::size_t>(parts.size(), 7));

    const norvane::ExportSettings settings = SettingsOf(data, parts);
    norvane::CListExporter exporter(settings);
    norvane::FileStore store;
    const std::vector<const norvane::FileItem*> rows = RowsOf(parts, seed, codePage, store);

    norvane::StringOutputSink sink;
    Check(exporter.WriteRows(sink, rows));
    const std::string& out = sink.Text();
    if ((data[1] & 64) != 0) {
        const std::string path = Folder() + "/export.txt";
        norvane::FileOutputSink file;
        Check(file.Open(path) && exporter.WriteRows(file, rows) && file.Commit());
        Check(norvane::fuzz::ReadFile(path) == out);
    }
    CheckLineCount(settings, rows, out);
    const std::string mark(norvane::MarkBlackCircle(codePage));
    switch (settings.format) {
        case norvane::ExportFormat::kHtml: CheckHtmlMarkup(out); break;
        case norvane::ExportFormat::kCsv: CheckCsv(settings, rows, out, mark); break;
        case norvane::ExportFormat::kText: CheckText(settings, rows, out, mark); break;
    }
    return 0;
}
