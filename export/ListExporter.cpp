#include "export/ListExporter.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <utility>

#include "catalogue/CellText.h"
#include "platform/ByteSize.h"
#include "platform/CodePage.h"
#include "platform/FileTime.h"

// Bytes on disk.
//
// Line ends are CR LF: the writer's own line ends are written as "\r\n", and
// a line feed inside the user's own texts (titles, colours, prefix, suffix)
// becomes CR LF as well, as a Windows text-mode stream stores it, so a file
// holds the same bytes on every system. No other byte of those texts changes.
//
// Texts that come from the file system (file name, folder, extension, the
// folder of a heading) could break a row or the document, so they are
// written safely:
//   - TEXT rows, and the folder headings of TEXT and CSV: each TAB, CR or LF
//     becomes "?" (as characters the code page cannot hold already do); a CSV
//     heading whose folder holds '"', ",", CR or LF is quoted as a CSV field
//     is (below), the others stay unquoted;
//   - HTML rows and headings: "&", "<", ">" and '"' become &amp; &lt; &gt;
//     &quot;, and TAB, CR, LF the references &#9; &#13; &#10;;
//   - CSV fields (all quoted, the file name included): '"' is doubled, CR and
//     LF become "?", a TAB stays (harmless between quotes).
// So every row is one physical line with the right number of fields. Titles,
// colours, prefix and suffix are the user's own and stay verbatim (in CSV the
// prefix and suffix get their quotes doubled, being inside a quoted field).
//
// All of this scans byte by byte. That is safe in both code pages: in 932 the
// bytes replaced here (0x09 0x0A 0x0D 0x22 0x26 0x3C 0x3E) are below 0x40 and
// so never the trail byte of a double-byte character, and in UTF-8 no byte
// below 0x80 is ever part of a multibyte sequence.

namespace norvane {

namespace {

// For each byte the index of its replacement text; 0 keeps the byte.
struct ByteEscapes {
    std::array<std::uint8_t, 256> index{};
    std::array<std::string_view, 8> texts{};
};

constexpr ByteEscapes MakeEscapes(std::initializer_list<std::pair<char, std::string_view>> pairs) {
    ByteEscapes escapes;
    std::uint8_t next = 1;
    for (const auto& [byte, text] : pairs) {
        escapes.index[static_cast<unsigned char>(byte)] = next;
        escapes.texts[next] = text;
        next = static_cast<std::uint8_t>(next + 1);
    }
    return escapes;
}

// What makes a CSV line need quotes around its text.
constexpr std::string_view kCsvSpecials = "\",\r\n";

constexpr ByteEscapes kUserText = MakeEscapes({{'\n', "\r\n"}});
constexpr ByteEscapes kCsvUserText = MakeEscapes({{'"', "\"\""}, {'\n', "\r\n"}});
constexpr ByteEscapes kTextField = MakeEscapes({{'\t', "?"}, {'\r', "?"}, {'\n', "?"}});
constexpr ByteEscapes kCsvField = MakeEscapes({{'"', "\"\""}, {'\r', "?"}, {'\n', "?"}});
constexpr ByteEscapes kHtmlField = MakeEscapes(
    {{'&', "&amp;"}, {'<', "&lt;"}, {'>', "&gt;"}, {'"', "&quot;"}, {'\t', "&#9;"}, {'\r', "&#13;"}, {'\n', "&#10;"}});

void AppendEscaped(std::string& out, std::string_view text, const ByteEscapes& escapes) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::uint8_t index = escapes.index[static_cast<unsigned char>(text[i])];
        if (index == 0) continue;
        out.append(text.data() + start, i - start);
        out += escapes.texts[index];
        start = i + 1;
    }
    out.append(text.data() + start, text.size() - start);
}

}  // namespace

// The cells of one row line: TEXT and CSV put the separator before every
// cell but the first written; HTML wraps each cell, the size cell aligned
// right; CSV quotes a cell's text.
class CListExporter::RowCells {
public:
    RowCells(std::string& line, ExportFormat format) : m_line(line), m_format(format) {}

    std::string& Line() { return m_line; }
    bool Html() const { return m_format == ExportFormat::kHtml; }
    void Open(bool bRightAligned) {
        if (Html()) m_line += bRightAligned ? "<TD align=right>" : "<TD>";
        else if (!m_bFirst) m_line += m_format == ExportFormat::kCsv ? ',' : '\t';
        m_bFirst = false;
    }
    void Close() {
        if (Html()) m_line += "</TD>";
    }
    // A cell whose text fnText appends.
    template <typename Text>
    void Quoted(bool bRightAligned, Text fnText) {
        Open(bRightAligned);
        if (m_format == ExportFormat::kCsv) m_line += '"';
        fnText();
        if (m_format == ExportFormat::kCsv) m_line += '"';
        Close();
    }

private:
    std::string& m_line;
    ExportFormat m_format;
    bool m_bFirst = true;
};

CListExporter::CListExporter(const ExportSettings& settings) : m_settings(settings) {}

int CListExporter::WrittenColumnCount() const {
    int nCount = 0;
    for (bool bWritten : m_settings.columns) nCount += bWritten ? 1 : 0;
    return nCount;
}

void CListExporter::WriteHeader(OutputSink& sink) { WriteHeaderLine(sink, nullptr); }

void CListExporter::WriteComparisonHeader(OutputSink& sink) { WriteHeaderLine(sink, &m_settings.titles.changeTitle); }

void CListExporter::WriteHeaderLine(OutputSink& sink, const std::string* pChangeTitle) {
    const Format format = m_settings.format;
    if (format == Format::kText) return;
    const TitleSettings& titles = m_settings.titles;
    std::string& line = m_strLine;
    line.clear();
    if (format == Format::kHtml) line += "<table border=\"1\">\r\n<tbody>\r\n<TR>\r\n";
    const auto appendTitle = [&](const std::string& strTitle) {
        if (format == Format::kHtml) {
            line += "<TD bgColor=";
            AppendEscaped(line, titles.bgColor, kUserText);
            line += "><FONT class=VERDANA color=";
            AppendEscaped(line, titles.fontColor, kUserText);
            line += '>';
            AppendEscaped(line, strTitle, kUserText);
            line += "</FONT></TD>\r\n";
        } else {
            // Every title is followed by a comma, the last one too.
            AppendEscaped(line, strTitle, kUserText);
            line += ',';
        }
    };
    if (pChangeTitle != nullptr) appendTitle(*pChangeTitle);
    for (std::size_t nColumn = 0; nColumn < titles.titles.size(); ++nColumn) {
        if (m_settings.columns[nColumn]) appendTitle(titles.titles[nColumn]);
    }
    line += format == Format::kHtml ? "</TR>\r\n" : "\r\n";
    sink.Write(line);
}

void CListExporter::WriteFooter(OutputSink& sink) {
    if (m_settings.format == Format::kHtml) sink.Write("</tbody>\r\n</table>");
}

void CListExporter::WriteRow(OutputSink& sink, std::string& previousFolder, const FileItem& item) {
    WriteLine(sink, previousFolder, item, nullptr);
}

void CListExporter::WriteComparedRow(OutputSink& sink, std::string& previousFolder, const ComparedRow& row) {
    if (row.item != nullptr) WriteLine(sink, previousFolder, *row.item, &row);
}

void CListExporter::WriteLine(OutputSink& sink, std::string& previousFolder, const FileItem& item,
                              const ComparedRow* pRow) {
    std::string& line = m_strLine;
    line.clear();
    // Equal folder texts are equal byte strings in either code page, so a
    // byte comparison decides a change of folder; the text is made only
    // when it changes, and previousFolder then holds it.
    if (!FolderTextEquals(item.folder, previousFolder)) {
        previousFolder.clear();
        AppendFolderText(previousFolder, item.folder);
        if (m_settings.folderHeadings)
            AppendHeading(line, previousFolder, WrittenColumnCount() + (pRow != nullptr ? 1 : 0));
    }
    AppendRowLine(line, item, previousFolder, pRow);
    sink.Write(line);
}

namespace {

// The rows' lines between header and footer, a piece at a time, each piece
// after a look at the stop: false when stopped, with the sink as it is.
template <typename Row, typename WriteLine>
bool WriteLines(OutputSink& sink, const std::vector<const Row*>& rows, WorkControl* control, WriteLine writeLine) {
    constexpr std::size_t kPiece = 4096;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (sink.Failed()) break;
        if (control != nullptr && i % kPiece == 0 && i > 0) {
            if (control->StopRequested()) return false;
            control->Advance(kPiece);
        }
        if (rows[i] != nullptr) writeLine(*rows[i]);
    }
    return true;
}

}  // namespace

bool CListExporter::WriteRows(OutputSink& sink, const std::vector<const FileItem*>& rows, WorkControl* control) {
    if (control != nullptr) control->SetTotal(rows.size());
    WriteHeader(sink);
    std::string previousFolder;
    if (!WriteLines(sink, rows, control, [&](const FileItem& item) { WriteRow(sink, previousFolder, item); }))
        return false;
    WriteFooter(sink);
    sink.Flush();
    return !sink.Failed();
}

bool CListExporter::WriteComparison(OutputSink& sink, const std::vector<const ComparedRow*>& rows,
                                    WorkControl* control) {
    if (control != nullptr) control->SetTotal(rows.size());
    WriteComparisonHeader(sink);
    std::string previousFolder;
    if (!WriteLines(sink, rows, control, [&](const ComparedRow& row) { WriteComparedRow(sink, previousFolder, row); }))
        return false;
    WriteFooter(sink);
    sink.Flush();
    return !sink.Failed();
}

void CListExporter::AppendHeading(std::string& line, std::string_view folder, int nColumns) const {
    const Format format = m_settings.format;
    if (format == Format::kHtml) {
        line += "<tr><TD colspan=";
        line += std::to_string(nColumns);
        line += '>';
        line += MarkBlackCircle();
        AppendEscaped(line, folder, kHtmlField);
        line += "</TD></tr>\r\n";
    } else if (format == Format::kCsv && folder.find_first_of(kCsvSpecials) != std::string_view::npos) {
        // A folder with a quote, comma or line break would split the heading
        // or swallow the next row: such a heading is one quoted field.
        line += '"';
        line += MarkBlackCircle();
        AppendEscaped(line, folder, kCsvField);
        line += "\"\r\n";
    } else {
        // Otherwise a heading is a line of its own, unquoted, in TEXT and CSV
        // alike.
        line += MarkBlackCircle();
        AppendEscaped(line, folder, kTextField);
        line += "\r\n";
    }
}

void CListExporter::AppendNameText(std::string& line, const FileItem& item, std::string_view folder) const {
    const Format format = m_settings.format;
    const ByteEscapes& userText = format == Format::kCsv ? kCsvUserText : kUserText;
    const ByteEscapes& field = format == Format::kHtml ? kHtmlField : (format == Format::kCsv ? kCsvField : kTextField);
    AppendEscaped(line, m_settings.prefix, userText);
    // The name text is the folder (which ends with "/") and the name, kept
    // whole however long.
    if (!m_settings.nameOnly) AppendEscaped(line, folder, field);
    AppendEscaped(line, item.fileName, field);
    AppendEscaped(line, m_settings.suffix, userText);
}

void CListExporter::AppendRowLine(std::string& line, const FileItem& item, std::string_view folder,
                                  const ComparedRow* pRow) const {
    const Format format = m_settings.format;
    const ByteEscapes& field = format == Format::kHtml ? kHtmlField : (format == Format::kCsv ? kCsvField : kTextField);
    RowCells cells(line, format);
    // Of a compared row: the old record of a changed cell (else null), and
    // what goes between its two values.
    auto oldOf = [pRow](int nColumn) { return pRow != nullptr && pRow->IsChanged(nColumn) ? pRow->old : nullptr; };
    const std::string_view arrow = pRow != nullptr ? ChangeArrow(CurrentCodePage()) : std::string_view();

    if (format == Format::kHtml) line += "<tr>";
    if (pRow != nullptr) cells.Quoted(false, [&] { AppendChangeText(line, *pRow); });
    if (Written(kExportFileName)) {
        cells.Quoted(false, [&] {
            // A moved file's name with its folder: both paths.
            if (const FileItem* pOld = oldOf(kColumnDirectory); pOld != nullptr && !m_settings.nameOnly) {
                AppendNameText(line, *pOld, FolderText(pOld->folder));
                line += arrow;
            }
            AppendNameText(line, item, folder);
        });
    }
    if (Written(kExportDateTime)) {
        cells.Quoted(false, [&] {
            if (const FileItem* pOld = oldOf(kColumnDateTime); pOld != nullptr) {
                // To the second: both texts differ.
                AppendDateSecondsText(line, pOld->fileTime);
                line += arrow;
                AppendDateSecondsText(line, item.fileTime);
            } else {
                AppendDateText(line, item.fileTime);
            }
        });
    }
    if (Written(kExportSize)) {
        cells.Quoted(true, [&] {
            if (const FileItem* pOld = oldOf(kColumnSize); pOld != nullptr) {
                AppendCellText(line, *pOld, kColumnSize, m_settings.formattedSize);
                line += arrow;
            }
            AppendCellText(line, item, kColumnSize, m_settings.formattedSize);
        });
    }
    if (Written(kExportVersion)) AppendVersionCell(cells, item.versionInfo, oldOf(kColumnVersion), arrow);
    if (Written(kExportExtension)) cells.Quoted(false, [&] { AppendEscaped(line, item.extension(), field); });
    if (Written(kExportFolder)) {
        cells.Quoted(false, [&] {
            if (const FileItem* pOld = oldOf(kColumnDirectory); pOld != nullptr) {
                AppendEscaped(line, FolderText(pOld->folder), field);
                line += arrow;
            }
            AppendEscaped(line, folder, field);
        });
    }
    if (format == Format::kHtml) line += "</tr>";
    line += "\r\n";
}

void CListExporter::AppendVersionCell(RowCells& cells, const FileVersion& version, const FileItem* pOld,
                                      std::string_view arrow) const {
    std::string& line = cells.Line();
    // Here a file counts as versioned only when its major part is not 0,
    // so 0.5.0.0 is written as no version (the list shows it).
    auto appendVersion = [&line](const FileVersion& parts) {
        if ((parts.dwFileVersionMS >> 16) != 0) AppendVersionParts(line, parts);
    };
    if (pOld != nullptr) {
        // Both values, either of which may be none.
        cells.Quoted(false, [&] {
            appendVersion(pOld->versionInfo);
            line += arrow;
            appendVersion(version);
        });
    } else if ((version.dwFileVersionMS >> 16) != 0) {
        cells.Quoted(false, [&] { appendVersion(version); });
    } else {
        // No quotes: CSV writes an empty field, and an empty HTML cell would
        // lose its border in old browsers.
        cells.Open(false);
        if (cells.Html()) line += MarkFullWidthSpace();
        cells.Close();
    }
}

}  // namespace norvane
