// The bytes of the three export formats, and how a failed write surfaces.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/FileItem.h"
#include "export/ListExporter.h"
#include "export/OutputSink.h"
#include "platform/CodePage.h"
#include "platform/FileTime.h"
#include "support/TempDir.h"

namespace norvane {
namespace {

using Fmt = ExportFormat;

const char* const kTitles[] = {"FileName", "FileDate&Time", "FileSize", "Version", "Expansion", "Directory"};
const std::string kCsvHeader = "FileName,FileDate&Time,FileSize,Version,Expansion,Directory,\r\n";

// The HTML head of six columns with the default titles and colours.
std::string HtmlHeader() {
    std::string html = "<table border=\"1\">\r\n<tbody>\r\n<TR>\r\n";
    for (const char* title : kTitles)
        html += std::string("<TD bgColor=#0066cc><FONT class=VERDANA color=#ffffff>") + title + "</FONT></TD>\r\n";
    return html + "</TR>\r\n";
}

class ListExporterTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
        m_nSavedCodePage = CurrentCodePage();
        SetCodePage(kCodePageUtf8);
        m_pTools = m_store.AddFolder("/tmp/Tools/");
    }
    void TearDown() override { SetCodePage(m_nSavedCodePage); }

    // The two files of the worked example.
    void AddToolFiles() {
        FileItem* tool = Add("tool.exe");
        tool->fileSize = 4096;
        tool->fileTime = FileTimeFromUnix(1258725900, 0);  // 2009-11-20 14:05 UTC
        tool->versionInfo.dwFileVersionMS = (1u << 16) | 2u;
        tool->versionInfo.dwFileVersionLS = (0u << 16) | 15u;
        FileItem* readme = Add("readme.txt");
        readme->fileSize = 1234;
        readme->fileTime = FileTimeFromUnix(1267780020, 0);  // 2010-03-05 09:07 UTC
        readme->versionInfo.dwFileVersionMS = 5;             // 0.5.0.0, which the list shows, is written as no version
    }

    FileItem* Add(std::string_view name, const Folder* folder = nullptr) {
        FileItem* item = m_store.AddItem(name, folder ? folder : m_pTools);
        m_rows.push_back(item);
        return item;
    }

    // The default titles and colours, headings on; columns says which of the
    // six are written, in order ("011000": time and size); fnChange changes
    // the rest.
    static CListExporter Exporter(Fmt format, std::string_view columns = "111111",
                                  const std::function<void(ExportSettings&)>& fnChange = {}) {
        ExportSettings settings;
        settings.format = format;
        for (std::size_t i = 0; i < settings.columns.size(); ++i) settings.columns[i] = columns[i] == '1';
        if (fnChange) fnChange(settings);
        return CListExporter(settings);
    }

    std::string Write(CListExporter exporter) {
        StringOutputSink sink;
        EXPECT_TRUE(exporter.WriteRows(sink, m_rows));
        return sink.Text();
    }

    FileStore m_store;
    const Folder* m_pTools = nullptr;
    std::vector<const FileItem*> m_rows;
    int m_nSavedCodePage = kCodePageUtf8;
};

TEST_F(ListExporterTest, WorkedExampleInAllThreeFormatsByteForByte) {
    // An empty list: the header and footer only.
    EXPECT_EQ(Write(Exporter(Fmt::kText)), "");
    EXPECT_EQ(Write(Exporter(Fmt::kCsv)), kCsvHeader);
    EXPECT_EQ(Write(Exporter(Fmt::kHtml)), HtmlHeader() + "</tbody>\r\n</table>");

    AddToolFiles();
    const struct {
        int codePage;
        std::string black, space;  // "●", "　"
    } codePages[] = {{kCodePageShiftJis, "\x81\x9C", "\x81\x40"}, {kCodePageUtf8, "\xE2\x97\x8F", "\xE3\x80\x80"}};
    for (const auto& [codePage, black, space] : codePages) {
        SCOPED_TRACE(codePage);
        SetCodePage(codePage);
        EXPECT_EQ(Write(Exporter(Fmt::kText)), black +
                                                   "/tmp/Tools/\r\n"
                                                   "tool.exe\t2009/11/20 14:05\t4096\t1.2.0.15\t.exe\t/tmp/Tools/\r\n"
                                                   "readme.txt\t2010/03/05  9:07\t1234\t\t.txt\t/tmp/Tools/\r\n");

        EXPECT_EQ(Write(Exporter(Fmt::kCsv)),
                  kCsvHeader + black +
                      "/tmp/Tools/\r\n"
                      "\"tool.exe\",\"2009/11/20 14:05\",\"4096\",\"1.2.0.15\",\".exe\",\"/tmp/Tools/\"\r\n"
                      "\"readme.txt\",\"2010/03/05  9:07\",\"1234\",,\".txt\",\"/tmp/Tools/\"\r\n");

        std::string html = HtmlHeader() + "<tr><TD colspan=6>" + black + "/tmp/Tools/</TD></tr>\r\n";
        html +=
            "<tr><TD>tool.exe</TD><TD>2009/11/20 14:05</TD><TD align=right>4096</TD><TD>1.2.0.15</TD>"
            "<TD>.exe</TD><TD>/tmp/Tools/</TD></tr>\r\n";
        html += "<tr><TD>readme.txt</TD><TD>2010/03/05  9:07</TD><TD align=right>1234</TD><TD>" + space +
                "</TD><TD>.txt</TD><TD>/tmp/Tools/</TD></tr>\r\n";
        html += "</tbody>\r\n</table>";
        EXPECT_EQ(Write(Exporter(Fmt::kHtml)), html);
    }
}

// One settings value drives the writer: an empty prefix writes none, the
// name mode, the suffix and the titles come along. A new export's defaults
// are the lister's: HTML with the first four columns and folder headings.
TEST_F(ListExporterTest, OneSettingsValueDrivesTheWriter) {
    AddToolFiles();
    m_rows.resize(1);
    EXPECT_EQ(Write(Exporter(Fmt::kCsv, "100000",
                             [](ExportSettings& settings) {
                                 settings.nameOnly = false;
                                 settings.folderHeadings = false;
                                 settings.suffix = "]";
                                 settings.titles.titles[0] = "Name";
                             })),
              "Name,\r\n\"/tmp/Tools/tool.exe]\"\r\n");
    ExportSettings defaults;
    defaults.columns = {true, true, true, true, true, true};
    EXPECT_EQ(Write(CListExporter(defaults)), Write(Exporter(Fmt::kHtml)));
}

TEST_F(ListExporterTest, SomeColumnsOnlyStartWithTheFirstWrittenCell) {
    AddToolFiles();
    EXPECT_EQ(Write(Exporter(Fmt::kCsv, "011000")),
              "FileDate&Time,FileSize,\r\n\xE2\x97\x8F/tmp/Tools/\r\n"
              "\"2009/11/20 14:05\",\"4096\"\r\n\"2010/03/05  9:07\",\"1234\"\r\n");
    CListExporter html = Exporter(Fmt::kHtml, "011000", [](ExportSettings& settings) {
        settings.titles.bgColor = "red";
        settings.titles.fontColor.clear();
    });
    EXPECT_EQ(Write(html),
              "<table border=\"1\">\r\n<tbody>\r\n<TR>\r\n"
              "<TD bgColor=red><FONT class=VERDANA color=>FileDate&Time</FONT></TD>\r\n"
              "<TD bgColor=red><FONT class=VERDANA color=>FileSize</FONT></TD>\r\n</TR>\r\n"
              "<tr><TD colspan=2>\xE2\x97\x8F/tmp/Tools/</TD></tr>\r\n"
              "<tr><TD>2009/11/20 14:05</TD><TD align=right>4096</TD></tr>\r\n"
              "<tr><TD>2010/03/05  9:07</TD><TD align=right>1234</TD></tr>\r\n</tbody>\r\n</table>");
}

TEST_F(ListExporterTest, HeadingAtEveryChangeOfFolder) {
    const Folder* other = m_store.AddFolder("/tmp/Other/");
    Add("a1");
    Add("b1", other);
    Add("b2", other);
    Add("a2");
    EXPECT_EQ(Write(Exporter(Fmt::kText, "100000")),
              "\xE2\x97\x8F/tmp/Tools/\r\na1\r\n\xE2\x97\x8F/tmp/Other/\r\nb1\r\nb2\r\n"
              "\xE2\x97\x8F/tmp/Tools/\r\na2\r\n");
}

// A folder named a,"b once made the CSV reader take the heading's quote as
// the start of a field running into the next row.
TEST_F(ListExporterTest, CsvHeadingWithQuoteOrCommaIsOneQuotedField) {
    const Folder* quoted = m_store.AddFolder("/tmp/a,\"b/");
    const Folder* comma = m_store.AddFolder("/tmp/c,d/");
    const Folder* blank = m_store.AddFolder("/tmp/e f\t;'/");
    Add("x.txt", quoted);
    Add("y.txt", quoted);
    Add("z", comma);
    Add("w", blank);
    EXPECT_EQ(Write(Exporter(Fmt::kCsv, "101000")),
              "FileName,FileSize,\r\n"
              "\"\xE2\x97\x8F/tmp/a,\"\"b/\"\r\n\"x.txt\",\"0\"\r\n\"y.txt\",\"0\"\r\n"
              "\"\xE2\x97\x8F/tmp/c,d/\"\r\n\"z\",\"0\"\r\n"
              "\xE2\x97\x8F/tmp/e f?;'/\r\n\"w\",\"0\"\r\n");
    // TEXT headings keep the folder as it is, quote and comma included.
    EXPECT_EQ(Write(Exporter(Fmt::kText, "100000")).substr(0, 15), "\xE2\x97\x8F/tmp/a,\"b/\r\n");
}

TEST_F(ListExporterTest, UserTextsVerbatimWithQuotesDoubledInCsvOnly) {
    Add("50%&co.txt");
    auto nameOnly = [](Fmt format) {
        return Exporter(format, "100000", [](ExportSettings& settings) {
            settings.folderHeadings = settings.nameOnly = false;
            settings.prefix = "<a href=\"";
            settings.suffix = "\">\nx";
            settings.titles.titles[0] = "Na\"me";
        });
    };
    EXPECT_EQ(Write(nameOnly(Fmt::kText)), "<a href=\"/tmp/Tools/50%&co.txt\">\r\nx\r\n");
    EXPECT_EQ(Write(nameOnly(Fmt::kCsv)), "Na\"me,\r\n\"<a href=\"\"/tmp/Tools/50%&co.txt\"\">\r\nx\"\r\n");
    EXPECT_NE(Write(nameOnly(Fmt::kHtml)).find("<tr><TD><a href=\"/tmp/Tools/50%&amp;co.txt\">\r\nx</TD></tr>\r\n"),
              std::string::npos);
}

TEST_F(ListExporterTest, HostileNamesStayInTheirCellAndLine) {
    const Folder* folder = m_store.AddFolder("/tmp/<b>\n\"q\"\t/");
    Add("<script>&\"x\"\t\r\n.y\"z", folder)->fileTime = FileTimeFromUnix(1267780020, 0);  // 2010-03-05 09:07 UTC

    EXPECT_EQ(Write(Exporter(Fmt::kHtml)),
              HtmlHeader() +
                  "<tr><TD colspan=6>\xE2\x97\x8F/tmp/&lt;b&gt;&#10;&quot;q&quot;&#9;/</TD></tr>\r\n"
                  "<tr><TD>&lt;script&gt;&amp;&quot;x&quot;&#9;&#13;&#10;.y&quot;z</TD><TD>2010/03/05  9:07</TD>"
                  "<TD align=right>0</TD><TD>\xE3\x80\x80</TD><TD>.y&quot;z</TD>"
                  "<TD>/tmp/&lt;b&gt;&#10;&quot;q&quot;&#9;/</TD></tr>\r\n</tbody>\r\n</table>");
    EXPECT_EQ(Write(Exporter(Fmt::kText)),
              "\xE2\x97\x8F/tmp/<b>?\"q\"?/\r\n"
              "<script>&\"x\"???.y\"z\t2010/03/05  9:07\t0\t\t.y\"z\t/tmp/<b>?\"q\"?/\r\n");
    EXPECT_EQ(
        Write(Exporter(Fmt::kCsv)),
        kCsvHeader +
            "\"\xE2\x97\x8F/tmp/<b>?\"\"q\"\"\t/\"\r\n"
            "\"<script>&\"\"x\"\"\t??.y\"\"z\",\"2010/03/05  9:07\",\"0\",,\".y\"\"z\",\"/tmp/<b>?\"\"q\"\"\t/\"\r\n");
}

TEST_F(ListExporterTest, SinksKeepEveryByteOrTellOfTheirFailure) {
    // Enough rows to pass the file sink's buffer several times.
    for (int i = 0; i < 20000; ++i) Add("file" + std::to_string(i) + ".dat")->fileSize = static_cast<std::uint64_t>(i);
    const std::string expected = Write(Exporter(Fmt::kHtml));
    ASSERT_GT(expected.size(), 3 * FileOutputSink::kBufferSize);
    TempDir dir;
    FileOutputSink file;
    ASSERT_TRUE(file.Open(dir / "list.html")) << file.ErrorText();
    EXPECT_TRUE(Exporter(Fmt::kHtml).WriteRows(file, m_rows));
    EXPECT_TRUE(file.Commit()) << file.ErrorText();
    EXPECT_EQ(ReadAll(dir / "list.html"), expected);

    // A sink that fails part way: the writer reports it, the sink takes no more.
    StringOutputSink full;
    full.SetFailAfter(100);
    EXPECT_FALSE(Exporter(Fmt::kCsv).WriteRows(full, m_rows));
    EXPECT_FALSE(full.ErrorText().empty());
    EXPECT_FALSE(full.Write("more"));
}

}  // namespace
}  // namespace norvane
