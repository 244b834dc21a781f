// The bytes of the three export formats, and how a failed write surfaces.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include "catalogue/FileItem.h"
#include "export/ListExporter.h"
#include "export/OutputSink.h"
#include "platform/ByteSize.h"
#include "platform/CodePage.h"

namespace norvane {
namespace {

enum class Fmt { kText, kHtml, kCsv };

FILETIME LocalFileTime(int year, int month, int day, int hour, int minute)
{
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_isdst = -1;
    const std::int64_t seconds = std::mktime(&tm);
    return static_cast<FILETIME>(seconds + 11644473600LL) * 10000000u;
}

struct Marks {
    std::string black;  // "●"
    std::string space;  // "　"
};

const std::string kCsvHeader = "FileName,FileDate&Time,FileSize,Version,Expansion,Directory,\r\n";

// The HTML head of six columns with the default titles and colours.
std::string HtmlHeader()
{
    std::string html = "<table border=\"1\">\r\n<tbody>\r\n<TR>\r\n";
    for (const char* title : {"FileName", "FileDate&Time", "FileSize", "Version", "Expansion", "Directory"})
        html += std::string("<TD bgColor=#0066cc><FONT class=VERDANA color=#ffffff>") + title + "</FONT></TD>\r\n";
    return html + "</TR>\r\n";
}

Marks MarksOf(int codePage)
{
    if (codePage == kCodePageShiftJis)
        return {"\x81\x9C", "\x81\x40"};
    return {"\xE2\x97\x8F", "\xE3\x80\x80"};
}

class ListExporterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("TZ", "UTC", 1);
        tzset();
        m_nSavedCodePage = CurrentCodePage();
        SetCodePage(kCodePageUtf8);
        m_pTools = m_store.AddFolder("/tmp/Tools/");
    }
    void TearDown() override { SetCodePage(m_nSavedCodePage); }

    // The two files of the worked example.
    void AddToolFiles()
    {
        FileItem* tool = Add("tool.exe");
        tool->fileSize = 4096;
        tool->fileTime = LocalFileTime(2009, 11, 20, 14, 5);
        tool->versionInfo.dwFileVersionMS = (1u << 16) | 2u;
        tool->versionInfo.dwFileVersionLS = (0u << 16) | 15u;
        FileItem* readme = Add("readme.txt");
        readme->fileSize = 1234;
        readme->fileTime = LocalFileTime(2010, 3, 5, 9, 7);
    }

    FileItem* Add(std::string_view name, const Folder* folder = nullptr)
    {
        FileItem* item = m_store.AddItem(name, folder ? folder : m_pTools);
        m_rows.push_back(item);
        return item;
    }

    // Every column, the default titles and colours, headings on.
    static CListExporter Exporter(Fmt format)
    {
        CListExporter exporter;
        exporter.m_bFileDateTime = exporter.m_bFileSize = exporter.m_bVersion = true;
        exporter.m_bExpansion = exporter.m_bDirectory = true;
        exporter.m_bFolderHeading = true;
        exporter.m_bText = format == Fmt::kText;
        exporter.m_bHtml = format == Fmt::kHtml;
        exporter.m_bCsv = format == Fmt::kCsv;
        exporter.m_strTitle1 = "FileName";
        exporter.m_strTitle2 = "FileDate&Time";
        exporter.m_strTitle3 = "FileSize";
        exporter.m_strTitle4 = "Version";
        exporter.m_strTitle5 = "Expansion";
        exporter.m_strTitle6 = "Directory";
        exporter.m_strBgColor = "#0066cc";
        exporter.m_strFontColor = "#ffffff";
        return exporter;
    }

    std::string Write(CListExporter& exporter)
    {
        StringOutputSink sink;
        EXPECT_TRUE(exporter.WriteRows(sink, m_rows));
        return sink.Text();
    }

    std::string Write(Fmt format) {
        CListExporter exporter = Exporter(format);
        return Write(exporter);
    }

    FileStore m_store;
    const Folder* m_pTools = nullptr;
    std::vector<const FileItem*> m_rows;
    int m_nSavedCodePage = kCodePageUtf8;
};

class WorkedExampleTest : public ListExporterTest, public ::testing::WithParamInterface<int> {};

TEST_P(WorkedExampleTest, AllThreeFormatsByteForByte)
{
    SetCodePage(GetParam());
    const Marks marks = MarksOf(GetParam());
    AddToolFiles();

    EXPECT_EQ(Write(Fmt::kText),
              marks.black + "/tmp/Tools/\r\n"
              "tool.exe\t2009/11/20 14:05\t4096\t1.2.0.15\t.exe\t/tmp/Tools/\r\n"
              "readme.txt\t2010/03/05  9:07\t1234\t\t.txt\t/tmp/Tools/\r\n");

    EXPECT_EQ(Write(Fmt::kCsv),
              kCsvHeader + marks.black +
                  "/tmp/Tools/\r\n"
                  "\"tool.exe\",\"2009/11/20 14:05\",\"4096\",\"1.2.0.15\",\".exe\",\"/tmp/Tools/\"\r\n"
                  "\"readme.txt\",\"2010/03/05  9:07\",\"1234\",,\".txt\",\"/tmp/Tools/\"\r\n");

    std::string html = HtmlHeader() + "<tr><TD colspan=6>" + marks.black + "/tmp/Tools/</TD></tr>\r\n";
    html += "<tr><TD>tool.exe</TD><TD>2009/11/20 14:05</TD><TD align=right>4096</TD><TD>1.2.0.15</TD>"
            "<TD>.exe</TD><TD>/tmp/Tools/</TD></tr>\r\n";
    html += "<tr><TD>readme.txt</TD><TD>2010/03/05  9:07</TD><TD align=right>1234</TD><TD>" + marks.space +
            "</TD><TD>.txt</TD><TD>/tmp/Tools/</TD></tr>\r\n";
    html += "</tbody>\r\n</table>";
    EXPECT_EQ(Write(Fmt::kHtml), html);
}

INSTANTIATE_TEST_SUITE_P(CodePages, WorkedExampleTest, ::testing::Values(kCodePageShiftJis, kCodePageUtf8));

TEST_F(ListExporterTest, EmptyListGivesHeaderAndFooterOnly)
{
    EXPECT_EQ(Write(Fmt::kText), "");
    EXPECT_EQ(Write(Fmt::kCsv), kCsvHeader);
    EXPECT_EQ(Write(Fmt::kHtml), HtmlHeader() + "</tbody>\r\n</table>");
}

TEST_F(ListExporterTest, SomeColumnsOnlyStartWithTheFirstWrittenCell)
{
    AddToolFiles();
    auto twoColumns = [](Fmt format) {
        CListExporter exporter = Exporter(format);
        exporter.m_bFileName = exporter.m_bVersion = exporter.m_bExpansion = exporter.m_bDirectory = false;
        return exporter;
    };
    CListExporter text = twoColumns(Fmt::kText);
    EXPECT_EQ(Write(text), "\xE2\x97\x8F/tmp/Tools/\r\n2009/11/20 14:05\t4096\r\n2010/03/05  9:07\t1234\r\n");
    CListExporter csv = twoColumns(Fmt::kCsv);
    EXPECT_EQ(Write(csv), "FileDate&Time,FileSize,\r\n\xE2\x97\x8F/tmp/Tools/\r\n"
                          "\"2009/11/20 14:05\",\"4096\"\r\n\"2010/03/05  9:07\",\"1234\"\r\n");
    CListExporter html = twoColumns(Fmt::kHtml);
    html.m_strBgColor = "red";
    html.m_strFontColor.clear();
    EXPECT_EQ(Write(html), "<table border=\"1\">\r\n<tbody>\r\n<TR>\r\n"
                           "<TD bgColor=red><FONT class=VERDANA color=>FileDate&Time</FONT></TD>\r\n"
                           "<TD bgColor=red><FONT class=VERDANA color=>FileSize</FONT></TD>\r\n</TR>\r\n"
                           "<tr><TD colspan=2>\xE2\x97\x8F/tmp/Tools/</TD></tr>\r\n"
                           "<tr><TD>2009/11/20 14:05</TD><TD align=right>4096</TD></tr>\r\n"
                           "<tr><TD>2010/03/05  9:07</TD><TD align=right>1234</TD></tr>\r\n</tbody>\r\n</table>");
}

TEST_F(ListExporterTest, MajorVersionZeroAndHugeSizes)
{
    FileItem* item = Add("lib.so");
    item->fileSize = 3ull << 30;
    item->versionInfo.dwFileVersionMS = 5;  // 0.5.0.0
    auto versionAndSize = [](Fmt format) {
        CListExporter exporter = Exporter(format);
        exporter.m_bFileName = exporter.m_bFileDateTime = exporter.m_bExpansion = false;
        exporter.m_bDirectory = exporter.m_bFolderHeading = false;
        return exporter;
    };
    CListExporter text = versionAndSize(Fmt::kText);
    EXPECT_EQ(Write(text), "3221225472\t\r\n");
    CListExporter csv = versionAndSize(Fmt::kCsv);
    EXPECT_EQ(Write(csv), "FileSize,Version,\r\n\"3221225472\",\r\n");
    CListExporter html = versionAndSize(Fmt::kHtml);
    EXPECT_NE(Write(html).find("<tr><TD align=right>3221225472</TD><TD>\xE3\x80\x80</TD></tr>\r\n"),
              std::string::npos);

    // The formatted size is the list's text.
    text.m_bFormattedSize = true;
    EXPECT_EQ(Write(text), ByteSizeText(3ull << 30) + "\t\r\n");
}

TEST_F(ListExporterTest, HeadingAtEveryChangeOfFolder)
{
    const Folder* other = m_store.AddFolder("/tmp/Other/");
    Add("a1");
    Add("b1", other);
    Add("b2", other);
    Add("a2");
    CListExporter exporter = Exporter(Fmt::kText);
    exporter.m_bFileDateTime = exporter.m_bFileSize = exporter.m_bVersion = false;
    exporter.m_bExpansion = exporter.m_bDirectory = false;
    EXPECT_EQ(Write(exporter), "\xE2\x97\x8F/tmp/Tools/\r\na1\r\n\xE2\x97\x8F/tmp/Other/\r\nb1\r\nb2\r\n"
                               "\xE2\x97\x8F/tmp/Tools/\r\na2\r\n");

    // Without headings the folder is still followed, so turning them on for
    // the next row starts no spurious heading.
    exporter.m_bFolderHeading = false;
    StringOutputSink sink;
    std::string previousFolder;
    exporter.WriteRow(sink, previousFolder, *m_rows[0]);
    EXPECT_EQ(previousFolder, "/tmp/Tools/");
    exporter.m_bFolderHeading = true;
    exporter.WriteRow(sink, previousFolder, *m_rows[3]);
    EXPECT_EQ(sink.Text(), "a1\r\na2\r\n");
}

TEST_F(ListExporterTest, UserTextsVerbatimWithQuotesDoubledInCsvOnly)
{
    Add("50%&co.txt");
    auto nameOnly = [](Fmt format) {
        CListExporter exporter = Exporter(format);
        exporter.m_bFileDateTime = exporter.m_bFileSize = exporter.m_bVersion = false;
        exporter.m_bExpansion = exporter.m_bDirectory = exporter.m_bFolderHeading = false;
        exporter.m_bNameOnly = false;
        exporter.m_bPrefix = exporter.m_bSuffix = true;
        exporter.m_strPrefix = "<a href=\"";
        exporter.m_strSuffix = "\">\nx";
        exporter.m_strTitle1 = "Na\"me";
        return exporter;
    };
    CListExporter text = nameOnly(Fmt::kText);
    EXPECT_EQ(Write(text), "<a href=\"/tmp/Tools/50%&co.txt\">\r\nx\r\n");
    CListExporter csv = nameOnly(Fmt::kCsv);
    EXPECT_EQ(Write(csv), "Na\"me,\r\n\"<a href=\"\"/tmp/Tools/50%&co.txt\"\">\r\nx\"\r\n");
    CListExporter html = nameOnly(Fmt::kHtml);
    EXPECT_NE(Write(html).find("<tr><TD><a href=\"/tmp/Tools/50%&amp;co.txt\">\r\nx</TD></tr>\r\n"),
              std::string::npos);

    // A flag without text, or a text without its flag, writes nothing.
    text.m_strPrefix.clear();
    text.m_bSuffix = false;
    EXPECT_EQ(Write(text), "/tmp/Tools/50%&co.txt\r\n");
}

TEST_F(ListExporterTest, HostileNamesStayInTheirCellAndLine)
{
    const Folder* folder = m_store.AddFolder("/tmp/<b>\n\"q\"\t/");
    Add("<script>&\"x\"\t\r\n.y\"z", folder)->fileTime = LocalFileTime(2010, 3, 5, 9, 7);

    EXPECT_EQ(Write(Fmt::kHtml),
              HtmlHeader() + "<tr><TD colspan=6>\xE2\x97\x8F/tmp/&lt;b&gt;&#10;&quot;q&quot;&#9;/</TD></tr>\r\n"
              "<tr><TD>&lt;script&gt;&amp;&quot;x&quot;&#9;&#13;&#10;.y&quot;z</TD><TD>2010/03/05  9:07</TD>"
              "<TD align=right>0</TD><TD>\xE3\x80\x80</TD><TD>.y&quot;z</TD>"
              "<TD>/tmp/&lt;b&gt;&#10;&quot;q&quot;&#9;/</TD></tr>\r\n</tbody>\r\n</table>");
    EXPECT_EQ(Write(Fmt::kText),
              "\xE2\x97\x8F/tmp/<b>?\"q\"?/\r\n"
              "<script>&\"x\"???.y\"z\t2010/03/05  9:07\t0\t\t.y\"z\t/tmp/<b>?\"q\"?/\r\n");
    EXPECT_EQ(Write(Fmt::kCsv),
              kCsvHeader + "\xE2\x97\x8F/tmp/<b>?\"q\"?/\r\n"
              "\"<script>&\"\"x\"\"\t??.y\"\"z\",\"2010/03/05  9:07\",\"0\",,\".y\"\"z\",\"/tmp/<b>?\"\"q\"\"\t/\"\r\n");
}

TEST_F(ListExporterTest, FailedWritesReachTheCaller)
{
    AddToolFiles();
    CListExporter exporter = Exporter(Fmt::kCsv);
    StringOutputSink full;
    full.SetFailAfter(100);
    EXPECT_FALSE(exporter.WriteRows(full, m_rows));
    EXPECT_TRUE(full.Failed());
    EXPECT_EQ(full.Text().size(), 100u);
    EXPECT_FALSE(full.ErrorText().empty());
    EXPECT_FALSE(full.Write("more"));

    FileOutputSink missing;
    EXPECT_FALSE(missing.Open("/nonexistent-norvane-folder/Carvel.csv"));
    EXPECT_EQ(missing.ErrorText(), "/nonexistent-norvane-folder/Carvel.csv: No such file or directory");
    EXPECT_FALSE(exporter.WriteRows(missing, m_rows));

    // A device that is always full fails when the buffer is handed on.
    if (access("/dev/full", W_OK) == 0) {
        FileOutputSink device;
        ASSERT_TRUE(device.Open("/dev/full"));
        EXPECT_FALSE(exporter.WriteRows(device, m_rows));
        EXPECT_EQ(device.ErrorText(), "/dev/full: No space left on device");
        EXPECT_FALSE(device.Close());
    }
}

TEST_F(ListExporterTest, FileHoldsTheSameBytesAsTheWriterMade)
{
    // Enough rows to pass the sink's buffer several times.
    for (int i = 0; i < 20000; ++i)
        Add("file" + std::to_string(i) + ".dat")->fileSize = static_cast<std::uint64_t>(i);
    const std::string expected = Write(Fmt::kHtml);
    ASSERT_GT(expected.size(), 3 * FileOutputSink::kBufferSize);

    const std::string path = ::testing::TempDir() + "norvane-export-" + std::to_string(getpid()) + ".html";
    FileOutputSink file;
    ASSERT_TRUE(file.Open(path)) << file.ErrorText();
    CListExporter exporter = Exporter(Fmt::kHtml);
    EXPECT_TRUE(exporter.WriteRows(file, m_rows));
    EXPECT_TRUE(file.Close()) << file.ErrorText();
    std::ifstream in(path, std::ios::binary);
    const std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(written, expected);
    std::remove(path.c_str());
}

}  // namespace
}  // namespace norvane
