#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "catalogue/FolderScan.h"
#include "catalogue/VersionProbePool.h"
#include "platform/CodePage.h"
#include "platform/FileTime.h"
#include "platform/SystemCalls.h"
#include "support/PeBuilder.h"
#include "support/TempDir.h"

using namespace norvane;

namespace {

// One scan of a folder, as its own target, with its rows and diagnostics.
struct Scan {
    explicit Scan(const std::string& folder, const ScanOptions& options = {}) {
        result = ScanFolder(
            folder, folder, options, store, [this](FileItem* item) { items.push_back(item); },
            [this](std::string_view text) { diagnostics.append(text); });
    }
    ScanResult result;
    std::vector<const FileItem*> items;
    std::string diagnostics;
    FileStore store;
};

// The names of the rows, sorted unless the scan order is wanted.
std::vector<std::string> Names(const Scan& scan, bool sorted = true) {
    std::vector<std::string> names;
    for (auto* item : scan.items) names.emplace_back(item->fileName);
    if (sorted) std::sort(names.begin(), names.end());
    return names;
}

const FileItem* Find(const Scan& scan, const std::string& name) {
    for (auto* item : scan.items) {
        if (item->fileName == name) return item;
    }
    return nullptr;
}

// Failures injected into the folder system calls by the name they open.
std::map<std::string, int> g_openFailures;
std::string g_flakyName;  // reading this folder fails after its first entry
int g_flakyFd = -1;
int g_flakyReads = 0;

int FakeOpenAt(int dirFd, const char* name, int flags) {
    std::string base = name;
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    base.erase(0, base.find_last_of('/') + 1);
    if (auto it = g_openFailures.find(base); it != g_openFailures.end()) {
        errno = it->second;
        return -1;
    }
    int fd = RealSystemCalls().openAt(dirFd, name, flags);
    if (base == g_flakyName) g_flakyFd = fd;
    return fd;
}

// In the flaky folder: the dot entries and one real entry, then a failure.
struct dirent* FakeReadDir(DIR* dir) {
    struct dirent* entry = RealSystemCalls().readDir(dir);
    if (entry == nullptr || dirfd(dir) != g_flakyFd) return entry;
    std::string_view name = entry->d_name;
    if (name == "." || name == ".." || g_flakyReads++ == 0) return entry;
    errno = EIO;
    return nullptr;
}

class FolderScanTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetCodePage(kCodePageUtf8);
        SetFileSystemCodePage(kCodePageUtf8);
        g_openFailures.clear();
        g_flakyName.clear();
        g_flakyFd = -1;
        g_flakyReads = 0;
        Sys().openAt = FakeOpenAt;
        Sys().readDir = FakeReadDir;
    }
    void TearDown() override {
        Sys() = RealSystemCalls();
        SetCodePage(kCodePageUtf8);
        SetFileSystemCodePage(kCodePageUtf8);
    }
    // Makes each path in the test folder: a folder when it ends with "/".
    bool Make(std::initializer_list<std::string> paths) const {
        for (const std::string& path : paths) {
            if (!(path.back() == '/' ? m_dir.MakeFolder(path) : m_dir.MakeFile(path))) return false;
        }
        return true;
    }
    TempDir m_dir;
};

}  // namespace

TEST_F(FolderScanTest, FilesOfAFolderComeBeforeItsSubfoldersDepthFirst) {
    ASSERT_TRUE(Make({"a", "b", "s/", "s/c", "s/t/", "s/t/d", "u/", "u/e"}));
    Scan scan(m_dir.Folder());
    ASSERT_TRUE(scan.result.completed);
    std::vector<std::string> names = Names(scan, false);
    ASSERT_EQ(names.size(), 5u);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.begin() + 2), (std::set<std::string>{"a", "b"}));
    EXPECT_EQ(scan.items[0]->directory(), m_dir.Folder());
    // s's tree stays together: c before d, and u's e before or after it whole.
    std::vector<std::string> rest(names.begin() + 2, names.end());
    EXPECT_TRUE(rest == (std::vector<std::string>{"c", "d", "e"}) || rest == (std::vector<std::string>{"e", "c", "d"}));
    const FileItem* d = Find(scan, "d");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->directory(), m_dir.Folder() + "s/t/");
    EXPECT_TRUE(scan.diagnostics.empty());
}

TEST_F(FolderScanTest, SwitchesLeaveOutSubfoldersAndHiddenFilesButEnterHiddenFolders) {
    ASSERT_TRUE(Make({"plain", ".hidden", ".folder/", ".folder/inside"}));
    const struct {
        bool recurse, includeHidden;
        std::vector<std::string> names;
    } cases[] = {
        {true, true, {".hidden", "inside", "plain"}},
        {true, false, {"inside", "plain"}},
        {false, true, {".hidden", "plain"}},
    };
    for (const auto& c : cases) {
        Scan scan(m_dir.Folder(), ScanOptions{.recurse = c.recurse, .includeHidden = c.includeHidden, .progress = {}});
        ASSERT_EQ(Names(scan), c.names);  // the rows looked up below are there
        if (c.recurse && c.includeHidden) {
            EXPECT_TRUE(Find(scan, ".hidden")->hidden);
            EXPECT_FALSE(Find(scan, ".hidden")->systemFile);
            EXPECT_FALSE(Find(scan, "inside")->hidden);
        }
    }
}

TEST_F(FolderScanTest, UnreadableFoldersAreReportedPerPassAndSkipped) {
    ASSERT_TRUE(Make({"a", "locked/", "locked/secret", "cdrom/", "open/", "open/b"}));
    g_openFailures["locked"] = EACCES;
    g_openFailures["cdrom"] = ENOMEDIUM;
    Scan scan(m_dir.Folder());
    EXPECT_TRUE(scan.result.completed);
    EXPECT_EQ(Names(scan), (std::vector<std::string>{"a", "b"}));
    std::string denied = "アクセスが拒否されました。処理を続けます。\n";
    std::string notReady = "ディスクの準備ができていません。\n";
    EXPECT_NE(scan.diagnostics.find(denied + denied), std::string::npos) << scan.diagnostics;
    EXPECT_NE(scan.diagnostics.find(notReady + notReady), std::string::npos) << scan.diagnostics;
    EXPECT_EQ(scan.diagnostics.size(), 2 * denied.size() + 2 * notReady.size());
}

// A read fault, and a folder that vanished between being listed and being
// entered.
TEST_F(FolderScanTest, OtherErrorsStopTheWholeScanKeepingTheRowsSoFar) {
    ASSERT_TRUE(Make({"a", "broken/", "broken/x"}));
    const struct {
        int error;
        std::uint32_t code;
        std::string text;
    } cases[] = {
        {EIO, ERROR_READ_FAULT, "指定されたデバイスから読み取ることができません。\n"},
        {ENOENT, ERROR_PATH_NOT_FOUND, "指定されたパスが見つかりません。\n"},
    };
    for (const auto& c : cases) {
        g_openFailures["broken"] = c.error;
        Scan scan(m_dir.Folder());
        EXPECT_FALSE(scan.result.completed);
        EXPECT_EQ(scan.result.errorCode, c.code);
        EXPECT_EQ(scan.result.reason, c.text);
        EXPECT_EQ(scan.diagnostics, c.text);
        EXPECT_EQ(Names(scan), (std::vector<std::string>{"a"}));
    }
}

TEST_F(FolderScanTest, AReadErrorPartWayThroughAFolderStopsAfterItsFirstFiles) {
    ASSERT_TRUE(Make({"flaky/", "flaky/one", "flaky/two", "flaky/sub/", "flaky/sub/three"}));
    g_flakyName = "flaky";
    Scan scan(m_dir.Folder());
    EXPECT_FALSE(scan.result.completed);
    EXPECT_EQ(scan.result.errorCode, ERROR_READ_FAULT);
    EXPECT_LE(scan.items.size(), 1u);
}

TEST_F(FolderScanTest, TargetFolderIsCreatedWhenOnlyItsParentExists) {
    std::string missing = m_dir / "new/";
    Scan scan(missing);
    EXPECT_TRUE(scan.result.completed);
    EXPECT_TRUE(scan.items.empty());
    struct stat st {};
    EXPECT_EQ(::stat(missing.c_str(), &st), 0);

    // Stops silently where the folder cannot be made.
    for (const std::string& folder : {m_dir / "no/parent/", std::string()}) {
        Scan failed(folder);
        EXPECT_FALSE(failed.result.completed);
        EXPECT_EQ(failed.result.errorCode, ERROR_PATH_NOT_FOUND);
        EXPECT_TRUE(failed.diagnostics.empty());
        EXPECT_TRUE(failed.items.empty());
    }
}

TEST_F(FolderScanTest, SpecialFilesAreListedButNeverOpened) {
    ASSERT_EQ(mkfifo((m_dir / "pipe").c_str(), 0644), 0);
    ASSERT_EQ(mknod((m_dir / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
    ASSERT_EQ(symlink(".", (m_dir / "loop").c_str()), 0);
    for (int threads : {0, 4}) {
        // Would block on the FIFO, or loop.
        Scan scan(m_dir.Folder(), ScanOptions{.probeThreads = threads, .progress = {}});
        EXPECT_TRUE(scan.result.completed);
        EXPECT_EQ(Names(scan), (std::vector<std::string>{"loop", "null", "pipe"}));
        for (auto* item : scan.items) EXPECT_EQ(item->versionInfo.dwFileVersionMS, 0u);
    }
}

TEST_F(FolderScanTest, OddNamesHugeAndOldAndFutureFilesKeepTheirValues) {
    std::string invalid = "bad\xFF\xFEname.t\x80t";
    std::string longName = std::string(251, 'n') + ".txt";
    ASSERT_TRUE(Make({invalid, longName, "huge.bin", "old", "future"}));
    ASSERT_EQ(truncate((m_dir / "huge.bin").c_str(), 5LL << 30), 0);  // sparse: costs nothing
    struct timespec old[2] = {{0, UTIME_OMIT}, {-631152000LL, 0}};       // 1950-01-01
    struct timespec future[2] = {{0, UTIME_OMIT}, {4102444800LL, 5000}}; // 2100-01-01
    ASSERT_EQ(utimensat(AT_FDCWD, (m_dir / "old").c_str(), old, 0), 0);
    ASSERT_EQ(utimensat(AT_FDCWD, (m_dir / "future").c_str(), future, 0), 0);

    Scan scan(m_dir.Folder());
    ASSERT_TRUE(scan.result.completed);
    ASSERT_NE(Find(scan, invalid), nullptr);  // same code page: bytes unchanged
    EXPECT_EQ(Find(scan, invalid)->extension(), ".t\x80t");
    ASSERT_NE(Find(scan, longName), nullptr);
    EXPECT_EQ(Find(scan, "huge.bin")->fileSize, 5ULL << 30);
    EXPECT_EQ(Find(scan, "old")->fileTime, FileTimeFromUnix(-631152000LL, 0));
    EXPECT_EQ(Find(scan, "future")->fileTime, FileTimeFromUnix(4102444800LL, 5000));

    // Names the code page cannot hold are shown with "?", and the file is
    // still found for its version through its own bytes.
    SetCodePage(kCodePageShiftJis);
    Scan sjis(m_dir.Folder());
    EXPECT_NE(Find(sjis, "bad??name.t?t"), nullptr);
}

TEST_F(FolderScanTest, TreesDeeperThanAPathCanNameAreListed) {
    std::string level(40, 'd');
    int fd = ::open(m_dir.Path().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (int i = 0; i < 120; ++i) {  // 120 * 41 bytes: beyond PATH_MAX
        ASSERT_EQ(mkdirat(fd, level.c_str(), 0755), 0);
        int next = openat(fd, level.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        ASSERT_GE(next, 0);
        fd = next;
    }
    ASSERT_TRUE(PeBuilder::WriteFileAt(fd, "deep.txt", {}));
    ::close(fd);
    Scan scan(m_dir.Folder());
    ASSERT_TRUE(scan.result.completed) << scan.diagnostics;
    ASSERT_EQ(scan.items.size(), 1u);
    EXPECT_EQ(scan.items[0]->fileName, "deep.txt");
    EXPECT_GT(scan.items[0]->directory().size(), 4096u);
}

TEST_F(FolderScanTest, VersionsAreTheSameWithAndWithoutProbeThreads) {
    // Many folders of files of many sizes, every third an executable with a version.
    for (int f = 0; f < 30; ++f) {
        const std::string folder = "f" + std::to_string(f) + "/";
        ASSERT_TRUE(m_dir.MakeFolder(folder));
        for (int i = 0; i < 12; ++i) {
            PeOptions pe;
            pe.fileVersionMS = static_cast<std::uint32_t>((f + 1) << 16 | i);
            pe.fileVersionLS = 7;
            pe.pe32Plus = i % 2 == 0;
            const std::string name = folder + std::to_string(i);
            ASSERT_TRUE(i % 3 == 0 ? PeBuilder::WriteFile(m_dir / (name + ".exe"), PeBuilder(pe).Build())
                                   : m_dir.MakeFile(name, std::string(static_cast<std::size_t>(i * 100), 'z')));
        }
    }
    Scan one(m_dir.Folder(), ScanOptions{.probeThreads = 0, .progress = {}});
    Scan many(m_dir.Folder());
    ASSERT_EQ(one.items.size(), 360u);
    ASSERT_EQ(many.items.size(), one.items.size());
    int withVersion = 0;
    for (std::size_t i = 0; i < one.items.size(); ++i) {
        EXPECT_EQ(one.items[i]->fileName, many.items[i]->fileName);
        EXPECT_EQ(one.items[i]->versionInfo.dwFileVersionMS, many.items[i]->versionInfo.dwFileVersionMS);
        EXPECT_EQ(one.items[i]->versionInfo.dwFileVersionLS, many.items[i]->versionInfo.dwFileVersionLS);
        if (many.items[i]->versionInfo.dwFileVersionMS != 0) {
            ++withVersion;
            EXPECT_EQ(many.items[i]->versionInfo.dwSignature, kFixedFileInfoSignature);
        }
    }
    EXPECT_EQ(withVersion, 120);
}

// The probe threads get several folders at a time under any limit of open
// folders, one included: every probe finishes, in every folder, and every
// descriptor the pool took is closed again.
TEST_F(FolderScanTest, ProbeBatchesKeepToTheOpenFolderLimit) {
    PeOptions pe;
    pe.fileVersionMS = 0x00050006;
    const std::vector<std::uint8_t> image = PeBuilder(pe).Build();
    constexpr int kFolders = 150;
    std::vector<int> fds;
    for (int f = 0; f < kFolders; ++f) {
        const std::string folder = m_dir / ("p" + std::to_string(f));
        ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
        fds.push_back(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        ASSERT_GE(fds.back(), 0);
        for (const char* name : {"0.dll", "1.dll", "2.dll"}) {
            ASSERT_TRUE(PeBuilder::WriteFileAt(fds.back(), name, image));
        }
    }
    auto openDescriptors = [] {
        int count = 0;
        for (int fd = 0; fd < 4096; ++fd) count += fcntl(fd, F_GETFD) != -1;
        return count;
    };
    const int before = openDescriptors();
    FileStore store;
    const Folder* folder = store.AddFolder("/x/");
    for (std::size_t maxOpen : {std::size_t{1}, std::size_t{3}, std::size_t{1024}}) {
        std::vector<FileItem*> items;
        {
            VersionProbePool pool(4, maxOpen);
            for (int f = 0; f < kFolders; ++f) {
                std::vector<VersionProbePool::Job> jobs;
                for (int i = 0; i < 3; ++i) {
                    items.push_back(store.AddItem("n", folder));
                    jobs.push_back(VersionProbePool::Job{items.back(), std::to_string(i) + ".dll"});
                }
                pool.Submit(fds[static_cast<std::size_t>(f)], jobs);
                EXPECT_TRUE(jobs.empty());
            }
            pool.Wait();
            EXPECT_EQ(openDescriptors(), before) << maxOpen;
        }
        for (const FileItem* item : items) ASSERT_EQ(item->versionInfo.dwFileVersionMS, 0x00050006u) << maxOpen;
    }
    for (int fd : fds) ::close(fd);
}
