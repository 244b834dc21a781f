#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <set>

#include "platform/FolderSearch.h"
#include "platform/Paths.h"
#include "platform/SystemCalls.h"
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

TEST(FolderSearch, AnEmptyFolderYieldsTheDotEntriesThenEnds) {
    TempDir dir;
    FolderSearch search;
    ASSERT_EQ(search.Open(dir.Path()), 0u);
    std::vector<FindData> entries = ReadAll(search);
    EXPECT_EQ(search.LastError(), ERROR_NO_MORE_FILES);
    std::set<std::string> names;
    for (auto& e : entries) {
        names.insert(e.cFileName);
        EXPECT_TRUE(e.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    }
    EXPECT_EQ(names, (std::set<std::string>{".", ".."}));
}

TEST(FolderSearch, TheRootYieldsNoDotEntries) {
    FolderSearch search;
    ASSERT_EQ(search.Open("/"), 0u);
    for (auto& e : ReadAll(search)) {
        EXPECT_NE(e.cFileName, ".");
        EXPECT_NE(e.cFileName, "..");
    }
    EXPECT_EQ(search.LastError(), ERROR_NO_MORE_FILES);
}

TEST(FolderSearch, EntriesCarryAttributesSizeAndTime) {
    TempDir dir;
    ASSERT_TRUE(dir.MakeFile("data.bin", std::string(1000, 'x')));
    ASSERT_TRUE(dir.MakeFile(".dot"));
    ASSERT_TRUE(dir.MakeFolder("sub"));
    struct timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 123456700}};
    ASSERT_EQ(utimensat(AT_FDCWD, (dir / "data.bin").c_str(), times, 0), 0);
    FolderSearch search;
    ASSERT_EQ(search.Open(dir.Path()), 0u);
    int seen = 0;
    for (auto& e : ReadAll(search)) {
        if (e.cFileName == "data.bin") {
            EXPECT_EQ(e.dwFileAttributes, 0u);
            EXPECT_EQ(e.fileSize, 1000u);
            EXPECT_EQ(e.ftLastWriteTime, 116444736000000000ULL + 10000000000000000ULL + 1234567ULL);
            EXPECT_TRUE(e.regularFile);
            ++seen;
        } else if (e.cFileName == ".dot") {
            EXPECT_EQ(e.dwFileAttributes, FILE_ATTRIBUTE_HIDDEN);
            ++seen;
        } else if (e.cFileName == "sub") {
            EXPECT_EQ(e.dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
            EXPECT_FALSE(e.regularFile);
            ++seen;
        }
    }
    EXPECT_EQ(seen, 3);
}

TEST(FolderSearch, FailuresAreWindowsCodes) {
    TempDir dir;
    FolderSearch search;
    EXPECT_EQ(search.Open(dir / "missing"), ERROR_PATH_NOT_FOUND);
    ASSERT_TRUE(dir.MakeFile("file"));
    EXPECT_EQ(search.Open(dir / "file"), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(search.Open(""), ERROR_PATH_NOT_FOUND);
    FindData data;
    EXPECT_FALSE(search.Next(&data));

    // Through the seam, as tests run as root where permissions deny nothing.
    auto failWith = [](int error) {
        static int s_error;
        s_error = error;
        Sys().openAt = [](int, const char*, int) {
            errno = s_error;
            return -1;
        };
    };
    failWith(EACCES);
    EXPECT_EQ(search.Open(dir.Path()), ERROR_ACCESS_DENIED);
    failWith(ENOMEDIUM);
    EXPECT_EQ(search.Open(dir.Path()), ERROR_NOT_READY);
    failWith(EIO);
    EXPECT_EQ(search.Open(dir.Path()), ERROR_READ_FAULT);
    Sys() = RealSystemCalls();
    EXPECT_EQ(WinErrorFromErrno(EPERM), ERROR_ACCESS_DENIED);
    EXPECT_EQ(WinErrorFromErrno(ENOTDIR), ERROR_PATH_NOT_FOUND);
}

TEST(Paths, CreateFolderAndExistence) {
    TempDir dir;
    EXPECT_EQ(CreateFolder(dir / "new"), ERROR_SUCCESS);
    EXPECT_EQ(CreateFolder(dir / "new"), ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(dir.MakeFile("file"));
    EXPECT_EQ(CreateFolder(dir / "file"), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(CreateFolder(dir / "no/parent"), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(CreateFolder(""), ERROR_PATH_NOT_FOUND);

    EXPECT_TRUE(FolderExists(dir.Path()));
    EXPECT_TRUE(FolderExists(dir.Folder()));
    EXPECT_FALSE(FolderExists(dir / "file"));
    EXPECT_FALSE(FolderExists(dir / "missing"));
    EXPECT_FALSE(FolderExists(""));
    ASSERT_EQ(chdir(dir.Path().c_str()), 0);
    EXPECT_TRUE(FolderExists("new"));  // relative to the current folder
    ASSERT_EQ(chdir("/"), 0);

    EXPECT_TRUE(IsRootFolder("/"));
    EXPECT_TRUE(IsRootFolder("//"));
    EXPECT_FALSE(IsRootFolder("/tmp/"));
    EXPECT_FALSE(IsRootFolder(""));
}

TEST(Paths, ExtensionIsFromTheLastPeriod) {
    auto ext = [](std::string_view name, int codePage = kCodePageUtf8) {
        return name.substr(ExtensionOffset(name, codePage));
    };
    EXPECT_EQ(ext("report.txt"), ".txt");
    EXPECT_EQ(ext("a.tar.gz"), ".gz");
    EXPECT_EQ(ext(".bashrc"), ".bashrc");
    EXPECT_EQ(ext("trailing."), ".");
    EXPECT_EQ(ext("a..b"), ".b");
    EXPECT_EQ(ext("noperiod"), "");
    EXPECT_EQ(ext("\x82\xA0.\x83\x5C", kCodePageShiftJis), ".\x83\x5C");
}

TEST(Paths, ExecutableFolderEndsWithASeparator) {
    std::string folder = ExecutableFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(FolderExists(folder));
}
