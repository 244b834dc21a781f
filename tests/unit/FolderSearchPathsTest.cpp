#include <gtest/gtest.h>

#include <sys/stat.h>

#include <map>
#include <set>
#include <utility>

#include "platform/FolderSearch.h"
#include "platform/Paths.h"
#include "platform/SystemCalls.h"
#include "platform/linux/SystemCallTable.h"
#include "support/TempDir.h"

using namespace norvane;

namespace {

std::vector<FindData> ReadAll(FolderSearch& search) {
    std::vector<FindData> entries;
    FindData data;
    while (search.Next(&data)) entries.push_back(data);
    return entries;
}

}  // namespace

// An empty folder yields "." and ".." (as folders) and then 18; the root
// yields no dot entries; other entries carry their attributes, size and time.
TEST(FolderSearch, DotEntriesThenEntriesWithAttributesSizeAndTime) {
    TempDir dir;
    FolderSearch search;
    ASSERT_EQ(search.Open(dir.Path()), 0u);
    std::set<std::string> names;
    for (auto& e : ReadAll(search)) {
        names.insert(e.cFileName);
        EXPECT_TRUE(e.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    }
    EXPECT_EQ(search.LastError(), ERROR_NO_MORE_FILES);
    EXPECT_EQ(names, (std::set<std::string>{".", ".."}));

    ASSERT_EQ(search.Open("/"), 0u);
    for (auto& e : ReadAll(search)) EXPECT_TRUE(e.cFileName != "." && e.cFileName != "..");
    EXPECT_EQ(search.LastError(), ERROR_NO_MORE_FILES);

    ASSERT_TRUE(dir.MakeFile("data.bin", std::string(1000, 'x')) && dir.MakeFolder("sub"));
    struct timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 123456700}};
    ASSERT_EQ(utimensat(AT_FDCWD, (dir / "data.bin").c_str(), times, 0), 0);
    ASSERT_EQ(search.Open(dir.Path()), 0u);
    std::map<std::string, FindData> entries;  // a missing name reads as all zero, and fails
    for (auto& e : ReadAll(search)) entries[e.cFileName] = e;
    const FindData& data = entries["data.bin"];
    EXPECT_EQ(data.dwFileAttributes, 0u);
    EXPECT_EQ(data.fileSize, 1000u);
    EXPECT_EQ(data.ftLastWriteTime, 116444736000000000ULL + 10000000000000000ULL + 1234567ULL);
    EXPECT_TRUE(data.regularFile);
    EXPECT_EQ(entries["sub"].dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_FALSE(entries["sub"].regularFile);
}

TEST(FolderSearch, FailuresAreWindowsCodes) {
    TempDir dir;
    ASSERT_TRUE(dir.MakeFile("file"));
    FolderSearch search;
    for (const std::string& path : {dir / "missing", dir / "file", std::string()}) {
        EXPECT_EQ(search.Open(path), ERROR_PATH_NOT_FOUND) << path;
    }
    FindData data;
    EXPECT_FALSE(search.Next(&data));

    // Through the seam, as tests run as root where permissions deny nothing;
    // the scan's tests check the other codes on the same path.
    Sys().openAt = [](int, const char*, int) {
        errno = EPERM;
        return -1;
    };
    EXPECT_EQ(search.Open(dir.Path()), ERROR_ACCESS_DENIED);
    Sys() = RealSystemCalls();
}

// Folders, files and missing paths for FolderExists: the lister's end-to-end runs.
TEST(Paths, RootsExtensionsAndTheExecutableFolder) {
    EXPECT_FALSE(FolderExists(""));
    const std::pair<const char*, bool> roots[] = {{"/", true}, {"//", true}, {"/tmp/", false}, {"", false}};
    for (auto [text, root] : roots) EXPECT_EQ(IsRootFolder(text), root) << text;

    auto ext = [](std::string_view name, int codePage = kCodePageUtf8) {
        return name.substr(ExtensionOffset(name, codePage));
    };
    EXPECT_EQ(ext("a.tar.gz"), ".gz");
    EXPECT_EQ(ext(".bashrc"), ".bashrc");
    EXPECT_EQ(ext("trailing."), ".");
    EXPECT_EQ(ext("noperiod"), "");
    EXPECT_EQ(ext("\x82\xA0.\x83\x5C", kCodePageShiftJis), ".\x83\x5C");
    // A lead byte whose next byte is no trail byte is a character alone.
    EXPECT_EQ(ext("\x82.txt", kCodePageShiftJis), ".txt");
    EXPECT_EQ(ext("\x81.", kCodePageShiftJis), ".");
    EXPECT_EQ(ext("a.b\x81\x2E", kCodePageShiftJis), ".");

    std::string folder = ExecutableFolder();
    EXPECT_TRUE(!folder.empty() && folder.back() == '/' && FolderExists(folder)) << folder;
}
