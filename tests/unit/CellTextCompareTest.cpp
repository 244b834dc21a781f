// The list's cell texts and the row order of a column sort.
#include <gtest/gtest.h>

#include <cstddef>
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
#include "platform/FileTime.h"

namespace norvane {
namespace {

VS_FIXEDFILEINFO Version(unsigned major, unsigned minor, unsigned build, unsigned revision)
{
    VS_FIXEDFILEINFO info;
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

    // Each item compares below the next by the column, and the next above it.
    static void ExpectAscending(const std::vector<const FileItem*>& items, int column)
    {
        for (std::size_t i = 1; i < items.size(); ++i) {
            EXPECT_LT(CompareAscending(items[i - 1], items[i], column), 0) << "item " << i;
            EXPECT_GT(CompareAscending(items[i], items[i - 1], column), 0) << "item " << i;
        }
    }

    FileStore m_store;
    const Folder* m_pFolder = nullptr;
    int m_nSavedCodePage = kCodePageUtf8;
};

TEST_F(CellTextCompareTest, EveryColumnShowsItsRecordField)
{
    FileItem* item = Add("setup.exe");
    item->fileTime = FileTimeFromUnix(1262303940, 0);  // 2009-12-31 23:59 UTC
    item->fileSize = 4294967296u;
    item->versionInfo = Version(6, 1, 7600, 16385);
    item->hidden = true;
    FileItem* bare = Add("README");
    bare->fileTime = FileTimeFromUnix(1267780020, 0);  // 2010-03-05 09:07 UTC

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

TEST_F(CellTextCompareTest, VersionsSizesAndTimesCompareByValue)
{
    // Versions part by part; 0.0.5.1 shows empty in the list but still sorts
    // by its build.
    std::vector<const FileItem*> items;
    for (const VS_FIXEDFILEINFO& info : {VS_FIXEDFILEINFO{}, Version(0, 0, 5, 1), Version(1, 0, 0, 0),
                                         Version(1, 0, 0, 9), Version(1, 0, 0, 10), Version(1, 2, 0, 0),
                                         Version(40000, 0, 0, 0)}) {
        FileItem* item = Add("v");
        item->versionInfo = info;
        items.push_back(item);
    }
    ExpectAscending(items, kColumnVersion);
    EXPECT_EQ(CompareFileVersion(Version(1, 0, 0, 10), Version(1, 0, 0, 9)), 1);
    EXPECT_EQ(CompareFileVersion(Version(2, 3, 4, 5), Version(2, 3, 4, 5)), 0);

    // Sizes whose difference goes beyond 32 bits.
    items.clear();
    for (std::uint64_t size : {std::uint64_t{0}, std::uint64_t{3000000000u}, std::uint64_t{5000000000u}, UINT64_MAX}) {
        FileItem* item = Add("s");
        item->fileSize = size;
        items.push_back(item);
    }
    ExpectAscending(items, kColumnSize);

    // Two files shown with the same minute still order by the exact time.
    FileItem* early = Add("early");
    early->fileTime = FileTimeFromUnix(1267780030, 0);  // 2010-03-05 09:07:10 UTC
    FileItem* late = Add("late");
    late->fileTime = FileTimeFromUnix(1267780050, 0);  // 09:07:30
    EXPECT_EQ(CellText(*late, kColumnDateTime, false), CellText(*early, kColumnDateTime, false));
    EXPECT_EQ(CompareAscending(early, late, kColumnDateTime), -1);
    EXPECT_EQ(CompareAscending(late, early, kColumnDateTime), 1);
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
