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
#include "platform/CodePage.h"
#include "platform/FileTime.h"

namespace norvane {
namespace {

VS_FIXEDFILEINFO Version(unsigned major, unsigned minor, unsigned build, unsigned revision) {
    VS_FIXEDFILEINFO info;
    info.dwFileVersionMS = (major << 16) | minor;
    info.dwFileVersionLS = (build << 16) | revision;
    return info;
}

class CellTextCompareTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
        m_nSavedCodePage = CurrentCodePage();
        SetCodePage(kCodePageUtf8);
        m_pFolder = m_store.AddFolder("/data/");
    }
    void TearDown() override { SetCodePage(m_nSavedCodePage); }

    FileItem* Add(std::string_view name, const Folder* folder = nullptr) {
        return m_store.AddItem(name, folder ? folder : m_pFolder);
    }

    FileStore m_store;
    const Folder* m_pFolder = nullptr;
    int m_nSavedCodePage = kCodePageUtf8;
};

TEST_F(CellTextCompareTest, EveryColumnShowsItsRecordField) {
    FileItem* item = Add("setup.exe");
    item->fileTime = FileTimeFromUnix(1262303940, 0);  // 2009-12-31 23:59 UTC
    item->fileSize = 4294967296u;
    item->versionInfo = Version(6, 1, 7600, 16385);
    item->hidden = true;
    const std::vector<std::string> texts = {"setup.exe", "2009/12/31 23:59", "4294967296", "6.1.7600.16385",
                                            ".exe",      "/data/",           "",           "\xE2\x97\x8B"};
    for (int column = 0; column < kColumnCount; ++column)
        EXPECT_EQ(CellText(*item, column, false), texts[column]) << column;
    SetCodePage(kCodePageShiftJis);
    EXPECT_EQ(CellText(*item, kColumnHidden, false), "\x81\x9B");

    FileItem* bare = Add("README");
    EXPECT_EQ(CellText(*bare, kColumnExtension, false), "");
    // A version beginning 0.0 looks unversioned in the list; 0.5 does not.
    bare->versionInfo = Version(0, 0, 5, 1);
    EXPECT_EQ(CellText(*bare, kColumnVersion, false), "");
    bare->versionInfo = Version(0, 5, 0, 0);
    EXPECT_EQ(CellText(*bare, kColumnVersion, false), "0.5.0.0");
}

TEST_F(CellTextCompareTest, VersionsSizesAndTimesCompareByValue) {
    // Each item is above the one before it in version (part by part; 0.0.5.1
    // shows empty in the list but still sorts by its build), in size (the
    // differences go beyond 32 bits) and in time (all shown as one minute).
    const VS_FIXEDFILEINFO versions[] = {{},
                                         Version(0, 0, 5, 1),
                                         Version(1, 0, 0, 0),
                                         Version(1, 0, 0, 9),
                                         Version(1, 0, 0, 10),
                                         Version(1, 2, 0, 0),
                                         Version(40000, 0, 0, 0)};
    const std::uint64_t sizes[] = {0, 1, 3000000000u, 5000000000u, 1ull << 40, UINT64_MAX - 1, UINT64_MAX};
    std::vector<const FileItem*> items;
    for (int i = 0; i < 7; ++i) {
        FileItem* item = Add("v");
        item->versionInfo = versions[i];
        item->fileSize = sizes[i];
        item->fileTime = FileTimeFromUnix(1267780020 + 5 * i, 0);  // 2010-03-05 09:07:00 to :30 UTC
        items.push_back(item);
    }
    EXPECT_EQ(CellText(*items[0], kColumnDateTime, false), CellText(*items[6], kColumnDateTime, false));
    for (int column : {kColumnVersion, kColumnSize, kColumnDateTime}) {
        for (std::size_t i = 1; i < items.size(); ++i) {
            EXPECT_LT(CompareAscending(items[i - 1], items[i], column), 0) << "column " << column << " item " << i;
            EXPECT_GT(CompareAscending(items[i], items[i - 1], column), 0) << "column " << column << " item " << i;
        }
    }
}

TEST_F(CellTextCompareTest, TextsIgnoreAsciiCaseMarkedRowsComeLastAndDescendingIsTheSwap) {
    FileItem* plain = Add("a.dat");
    FileItem* marked = Add("b.sys", m_store.AddFolder("/data/sub/"));
    marked->systemFile = true;
    marked->hidden = true;
    marked->fileSize = 10;
    marked->fileTime = 5;
    marked->versionInfo = Version(1, 0, 0, 0);
    FileItem* capital = Add("A.DAT", m_store.AddFolder("/DATA/"));

    for (int column = 0; column < kColumnCount; ++column) {
        SCOPED_TRACE(column);
        EXPECT_LT(CompareAscending(plain, marked, column), 0);
        EXPECT_EQ(CompareDescending(plain, marked, column), CompareAscending(marked, plain, column));
        EXPECT_EQ(CompareDescending(plain, plain, column), 0);
        // Names, extensions and folders compare without regard to ASCII case.
        EXPECT_EQ(CompareAscending(plain, capital, column), 0);
    }
}

}  // namespace
}  // namespace norvane
