// The list's cell texts and the row order of a column sort.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "catalogue/CellText.h"
#include "catalogue/Compare.h"
#include "catalogue/FileItem.h"
#include "platform/ByteSize.h"
#include "platform/CodePage.h"

namespace norvane {
namespace {

// The FILETIME of a local time; the tests run with TZ=UTC.
FILETIME LocalFileTime(int year, int month, int day, int hour, int minute, int second = 0)
{
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    const std::int64_t seconds = std::mktime(&tm);
    return static_cast<FILETIME>(seconds + 11644473600LL) * 10000000u;
}

VS_FIXEDFILEINFO Version(unsigned major, unsigned minor, unsigned build, unsigned revision)
{
    VS_FIXEDFILEINFO info;
    info.dwSignature = kFixedFileInfoSignature;
    info.dwFileVersionMS = (major << 16) | minor;
    info.dwFileVersionLS = (build << 16) | revision;
    return info;
}

class CellTextCompareTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("TZ", "UTC", 1);
        tzset();
        m_nSavedCodePage = CurrentCodePage();
        SetCodePage(kCodePageUtf8);
        m_pFolder = m_store.AddFolder("/data/");
    }
    void TearDown() override { SetCodePage(m_nSavedCodePage); }

    FileItem* Add(std::string_view name, const Folder* folder = nullptr)
    {
        return m_store.AddItem(name, folder ? folder : m_pFolder);
    }

    // The names of items sorted ascending by a column.
    static std::vector<std::string> Sorted(std::vector<const FileItem*> items, int column)
    {
        std::stable_sort(items.begin(), items.end(), [&](const FileItem* a, const FileItem* b) {
            return CompareAscending(a, b, column) < 0;
        });
        std::vector<std::string> names;
        for (const FileItem* item : items)
            names.emplace_back(item->fileName);
        return names;
    }

    FileStore m_store;
    const Folder* m_pFolder = nullptr;
    int m_nSavedCodePage = kCodePageUtf8;
};

TEST_F(CellTextCompareTest, EveryColumnShowsItsRecordField)
{
    FileItem* item = Add("setup.exe");
    item->fileTime = LocalFileTime(2009, 12, 31, 23, 59);
    item->fileSize = 4294967296u;
    item->versionInfo = Version(6, 1, 7600, 16385);
    item->hidden = true;
    FileItem* bare = Add("README");
    bare->fileTime = LocalFileTime(2010, 3, 5, 9, 7);

    const std::vector<std::string> texts = {"setup.exe", "2009/12/31 23:59", "4294967296", "6.1.7600.16385",
                                            ".exe",      "/data/",           "",           "\xE2\x97\x8B"};
    for (int column = 0; column < kColumnCount; ++column)
        EXPECT_EQ(CellText(*item, column, false), texts[column]) << column;
    EXPECT_EQ(CellText(*item, kColumnSize, true), ByteSizeText(4294967296u));
    SetCodePage(kCodePageShiftJis);
    EXPECT_EQ(CellText(*item, kColumnHidden, false), "\x81\x9B");

    EXPECT_EQ(CellText(*bare, kColumnDateTime, false), "2010/03/05  9:07");
    EXPECT_EQ(CellText(*bare, kColumnSize, false), "0");
    EXPECT_EQ(CellText(*bare, kColumnExtension, false), "");
    // A version beginning 0.0 looks unversioned in the list; 0.5 does not.
    bare->versionInfo = Version(0, 0, 5, 1);
    EXPECT_EQ(CellText(*bare, kColumnVersion, false), "");
    bare->versionInfo = Version(0, 5, 0, 0);
    EXPECT_EQ(CellText(*bare, kColumnVersion, false), "0.5.0.0");
}

TEST_F(CellTextCompareTest, VersionsSortNumericallyPartByPart)
{
    std::vector<const FileItem*> items;
    auto add = [&](const char* name, VS_FIXEDFILEINFO info) {
        FileItem* item = Add(name);
        item->versionInfo = info;
        items.push_back(item);
    };
    add("v1.2.0.0", Version(1, 2, 0, 0));
    add("v1.0.0.10", Version(1, 0, 0, 10));
    add("none", VS_FIXEDFILEINFO{});
    add("v0.0.5.1", Version(0, 0, 5, 1));
    add("v1.0.0.0", Version(1, 0, 0, 0));
    add("v1.0.0.9", Version(1, 0, 0, 9));
    add("v40000.0.0.0", Version(40000, 0, 0, 0));

    // 0.0.5.1 shows empty in the list but still sorts by its build.
    const std::vector<std::string> expected = {"none",     "v0.0.5.1",  "v1.0.0.0",    "v1.0.0.9",
                                               "v1.0.0.10", "v1.2.0.0", "v40000.0.0.0"};
    EXPECT_EQ(Sorted(items, kColumnVersion), expected);
    EXPECT_EQ(CompareFileVersion(Version(1, 0, 0, 10), Version(1, 0, 0, 9)), 1);
    EXPECT_EQ(CompareFileVersion(Version(2, 3, 4, 5), Version(2, 3, 4, 5)), 0);
}

TEST_F(CellTextCompareTest, SizesAndTimesCompareByValue)
{
    FileItem* threeGb = Add("3GB");
    threeGb->fileSize = 3000000000u;
    FileItem* fiveGb = Add("5GB");
    fiveGb->fileSize = 5000000000u;
    FileItem* empty = Add("empty");
    FileItem* huge = Add("huge");
    huge->fileSize = UINT64_MAX;
    EXPECT_EQ(Sorted({huge, fiveGb, empty, threeGb}, kColumnSize),
              (std::vector<std::string>{"empty", "3GB", "5GB", "huge"}));
    // A difference beyond 32 bits still gives its sign.
    EXPECT_EQ(CompareAscending(huge, empty, kColumnSize), 1);

    // Two files shown with the same minute still order by the exact time.
    threeGb->fileTime = LocalFileTime(2010, 3, 5, 9, 7, 30);
    fiveGb->fileTime = LocalFileTime(2010, 3, 5, 9, 7, 10);
    EXPECT_EQ(CellText(*threeGb, kColumnDateTime, false), CellText(*fiveGb, kColumnDateTime, false));
    EXPECT_EQ(CompareAscending(fiveGb, threeGb, kColumnDateTime), -1);
    EXPECT_EQ(CompareAscending(threeGb, fiveGb, kColumnDateTime), 1);
}

TEST_F(CellTextCompareTest, TextsCompareWithoutRegardToAsciiCase)
{
    const Folder* sub = m_store.AddFolder("/data/sub/");
    const Folder* upper = m_store.AddFolder("/DATA/");
    FileItem* lower = Add("readme.txt");
    FileItem* capital = Add("README.TXT", upper);
    FileItem* other = Add("b.doc", sub);

    EXPECT_EQ(CompareAscending(lower, capital, kColumnFileName), 0);
    EXPECT_EQ(CompareAscending(lower, capital, kColumnExtension), 0);
    EXPECT_EQ(CompareAscending(lower, capital, kColumnDirectory), 0);
    EXPECT_LT(CompareAscending(other, lower, kColumnFileName), 0);
    EXPECT_LT(CompareAscending(other, lower, kColumnExtension), 0);
    // A folder sorts before its own subfolders.
    EXPECT_LT(CompareAscending(lower, other, kColumnDirectory), 0);

    FileItem* bare = Add("Makefile");
    EXPECT_LT(CompareAscending(bare, other, kColumnExtension), 0);
}

TEST_F(CellTextCompareTest, MarkedRowsComeLastAndDescendingIsTheSwap)
{
    FileItem* plain = Add("a.dat");
    FileItem* marked = Add("b.sys", m_store.AddFolder("/data/sub/"));
    marked->systemFile = true;
    marked->hidden = true;
    marked->fileSize = 10;
    marked->fileTime = 5;
    marked->versionInfo = Version(1, 0, 0, 0);

    for (int column = 0; column < kColumnCount; ++column) {
        SCOPED_TRACE(column);
        EXPECT_LT(CompareAscending(plain, marked, column), 0);
        EXPECT_EQ(CompareDescending(plain, marked, column), CompareAscending(marked, plain, column));
        EXPECT_EQ(CompareDescending(plain, plain, column), 0);
    }
}

}  // namespace
}  // namespace norvane
