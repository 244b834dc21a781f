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

struct Row {
    std::string name;
    std::string directory;
};

struct Scan {
    ScanResult result;
    std::vector<const FileItem*> items;
    std::vector<Row> rows;
    std::string diagnostics;
    FileStore store;
};

void RunScan(Scan& scan, const std::string& folder, ScanOptions options = {}) {
    scan.result = ScanFolder(
        folder, folder, options, scan.store,
        [&scan](FileItem* item) {
            scan.items.push_back(item);
            scan.rows.push_back(Row{std::string(item->fileName), std::string(item->directory())});
        },
        [&scan](std::string_view text) { scan.diagnostics.append(text); });
}

std::vector<std::string> Names(const Scan& scan) {
    std::vector<std::string> names;
    for (auto& row : scan.rows) names.push_back(row.name);
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
DIR* g_flakyDir = nullptr;
int g_flakyReads = 0;

int FakeOpenAt(int dirFd, const char* name, int flags) {
    std::string base = name;
    if (auto slash = base.find_last_of('/', base.size() - 2); slash != std::string::npos && base.size() > 1) {
        base = base.substr(slash + 1);
    }
    if (!base.empty() && base.back() == '/') base.pop_back();
    if (auto it = g_openFailures.find(base); it != g_openFailures.end()) {
        errno = it->second;
        return -1;
    }
    int fd = RealSystemCalls().openAt(dirFd, name, flags);
    if (base == g_flakyName) g_flakyFd = fd;
    return fd;
}

DIR* FakeFdOpenDir(int fd) {
    DIR* dir = RealSystemCalls().fdOpenDir(fd);
    if (fd == g_flakyFd) g_flakyDir = dir;
    return dir;
}

struct dirent* FakeReadDir(DIR* dir) {
    if (dir == g_flakyDir && dir != nullptr) {
        // Skip the dot entries, hand over one real entry, then fail.
        for (;;) {
            struct dirent* entry = RealSystemCalls().readDir(dir);
            if (entry == nullptr) return nullptr;
            if (std::string(entry->d_name) == "." || std::string(entry->d_name) == "..") continue;
            if (g_flakyReads++ == 0) return entry;
            errno = EIO;
            return nullptr;
        }
    }
    return RealSystemCalls().readDir(dir);
}

class FolderScanTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetCodePage(kCodePageUtf8);
        SetFileSystemCodePage(kCodePageUtf8);
        g_openFailures.clear();
        g_flakyName.clear();
        g_flakyFd = -1;
        g_flakyDir = nullptr;
        g_flakyReads = 0;
        Sys().openAt = FakeOpenAt;
        Sys().fdOpenDir = FakeFdOpenDir;
        Sys().readDir = FakeReadDir;
    }
    void TearDown() override {
        Sys() = RealSystemCalls();
        SetCodePage(kCodePageUtf8);
        SetFileSystemCodePage(kCodePageUtf8);
    }
    TempDir m_dir;
};

}  // namespace

TEST_F(FolderScanTest, FilesOfAFolderComeBeforeItsSubfoldersDepthFirst) {
    ASSERT_TRUE(m_dir.MakeFile("a"));
    ASSERT_TRUE(m_dir.MakeFile("b.tar.gz"));
    ASSERT_TRUE(m_dir.MakeFolder("s"));
    ASSERT_TRUE(m_dir.MakeFile("s/c"));
    ASSERT_TRUE(m_dir.MakeFolder("s/t"));
    ASSERT_TRUE(m_dir.MakeFile("s/t/d"));
    ASSERT_TRUE(m_dir.MakeFolder("u"));
    ASSERT_TRUE(m_dir.MakeFile("u/e"));
    Scan scan;
    RunScan(scan, m_dir.Folder());
    ASSERT_TRUE(scan.result.completed);
    ASSERT_EQ(scan.rows.size(), 5u);
    std::set<std::string> top = {scan.rows[0].name, scan.rows[1].name};
    EXPECT_EQ(top, (std::set<std::string>{"a", "b.tar.gz"}));
    EXPECT_EQ(scan.rows[0].directory, m_dir.Folder());
    // s's tree stays together: c before d, and u's e before or after it whole.
    std::vector<std::string> rest = {scan.rows[2].name, scan.rows[3].name, scan.rows[4].name};
    EXPECT_TRUE(rest == (std::vector<std::string>{"c", "d", "e"}) || rest == (std::vector<std::string>{"e", "c", "d"}));
    const FileItem* d = Find(scan, "d");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->directory(), m_dir.Folder() + "s/t/");
    EXPECT_EQ(Find(scan, "b.tar.gz")->extension(), ".gz");
    EXPECT_EQ(Find(scan, "a")->extension(), "");
    EXPECT_TRUE(scan.diagnostics.empty());
}

TEST_F(FolderScanTest, SwitchesLeaveOutSubfoldersAndHiddenFilesButEnterHiddenFolders) {
    ASSERT_TRUE(m_dir.MakeFile("plain"));
    ASSERT_TRUE(m_dir.MakeFile(".hidden"));
    ASSERT_TRUE(m_dir.MakeFolder(".folder"));
    ASSERT_TRUE(m_dir.MakeFile(".folder/inside"));
    Scan all;
    RunScan(all, m_dir.Folder());
    std::vector<std::string> names = Names(all);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".hidden", "inside", "plain"}));
    EXPECT_TRUE(Find(all, ".hidden")->hidden);
    EXPECT_FALSE(Find(all, ".hidden")->systemFile);
    EXPECT_FALSE(Find(all, "inside")->hidden);

    ScanOptions noHidden;
    noHidden.includeHidden = false;
    Scan visible;
    RunScan(visible, m_dir.Folder(), noHidden);
    names = Names(visible);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"inside", "plain"}));

    ScanOptions flat;
    flat.recurse = false;
    Scan top;
    RunScan(top, m_dir.Folder(), flat);
    EXPECT_EQ(top.rows.size(), 2u);
}

TEST_F(FolderScanTest, UnreadableFoldersAreReportedPerPassAndSkipped) {
    ASSERT_TRUE(m_dir.MakeFile("a"));
    ASSERT_TRUE(m_dir.MakeFolder("locked"));
    ASSERT_TRUE(m_dir.MakeFile("locked/secret"));
    ASSERT_TRUE(m_dir.MakeFolder("cdrom"));
    ASSERT_TRUE(m_dir.MakeFolder("open"));
    ASSERT_TRUE(m_dir.MakeFile("open/b"));
    g_openFailures["locked"] = EACCES;
    g_openFailures["cdrom"] = ENOMEDIUM;
    Scan scan;
    RunScan(scan, m_dir.Folder());
    EXPECT_TRUE(scan.result.completed);
    std::vector<std::string> names = Names(scan);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a", "b"}));
    std::string denied = "アクセスが拒否されました。処理を続けます。\n";
    std::string notReady = "ディスクの準備ができていません。\n";
    EXPECT_NE(scan.diagnostics.find(denied + denied), std::string::npos) << scan.diagnostics;
    EXPECT_NE(scan.diagnostics.find(notReady + notReady), std::string::npos) << scan.diagnostics;
    EXPECT_EQ(scan.diagnostics.size(), 2 * denied.size() + 2 * notReady.size());
}

TEST_F(FolderScanTest, OtherErrorsStopTheWholeScanKeepingTheRowsSoFar) {
    ASSERT_TRUE(m_dir.MakeFile("a"));
    ASSERT_TRUE(m_dir.MakeFolder("broken"));
    ASSERT_TRUE(m_dir.MakeFile("broken/x"));
    g_openFailures["broken"] = EIO;
    Scan scan;
    RunScan(scan, m_dir.Folder());
    EXPECT_FALSE(scan.result.completed);
    EXPECT_EQ(scan.result.errorCode, ERROR_READ_FAULT);
    EXPECT_EQ(scan.result.reason, "指定されたデバイスから読み取ることができません。\n");
    EXPECT_EQ(scan.diagnostics, scan.result.reason);
    EXPECT_EQ(Names(scan), (std::vector<std::string>{"a"}));

    // A folder that vanished between being listed and being entered.
    g_openFailures.clear();
    g_openFailures["broken"] = ENOENT;
    Scan vanished;
    RunScan(vanished, m_dir.Folder());
    EXPECT_FALSE(vanished.result.completed);
    EXPECT_EQ(vanished.result.errorCode, ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(vanished.diagnostics, "指定されたパスが見つかりません。\n");
}

TEST_F(FolderScanTest, AReadErrorPartWayThroughAFolderStopsAfterItsFirstFiles) {
    ASSERT_TRUE(m_dir.MakeFolder("flaky"));
    ASSERT_TRUE(m_dir.MakeFile("flaky/one"));
    ASSERT_TRUE(m_dir.MakeFile("flaky/two"));
    ASSERT_TRUE(m_dir.MakeFolder("flaky/sub"));
    ASSERT_TRUE(m_dir.MakeFile("flaky/sub/three"));
    g_flakyName = "flaky";
    Scan scan;
    RunScan(scan, m_dir.Folder());
    EXPECT_FALSE(scan.result.completed);
    EXPECT_EQ(scan.result.errorCode, ERROR_READ_FAULT);
    EXPECT_LE(scan.rows.size(), 1u);
}

TEST_F(FolderScanTest, TargetFolderIsCreatedWhenOnlyItsParentExists) {
    std::string missing = m_dir / "new/";
    Scan scan;
    RunScan(scan, missing);
    EXPECT_TRUE(scan.result.completed);
    EXPECT_TRUE(scan.rows.empty());
    struct stat st {};
    EXPECT_EQ(::stat(missing.c_str(), &st), 0);

    Scan orphan;
    RunScan(orphan, m_dir / "no/parent/");
    EXPECT_FALSE(orphan.result.completed);
    EXPECT_TRUE(orphan.diagnostics.empty());

    Scan empty;
    RunScan(empty, "");
    EXPECT_FALSE(empty.result.completed);
    EXPECT_EQ(empty.result.errorCode, ERROR_PATH_NOT_FOUND);
    EXPECT_TRUE(empty.diagnostics.empty());
    EXPECT_TRUE(empty.rows.empty());
}

TEST_F(FolderScanTest, SpecialFilesAreListedButNeverOpened) {
    ASSERT_EQ(mkfifo((m_dir / "pipe").c_str(), 0644), 0);
    ASSERT_EQ(mknod((m_dir / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
    ASSERT_EQ(symlink(".", (m_dir / "loop").c_str()), 0);
    ASSERT_EQ(symlink("loop", (m_dir / "loop2").c_str()), 0);
    ASSERT_TRUE(m_dir.MakeFolder("d"));
    ASSERT_EQ(symlink("..", (m_dir / "d/up").c_str()), 0);
    for (int threads : {0, 4}) {
        ScanOptions options;
        options.probeThreads = threads;
        Scan scan;
        RunScan(scan, m_dir.Folder(), options);  // would block on the FIFO, or loop
        EXPECT_TRUE(scan.result.completed);
        std::vector<std::string> names = Names(scan);
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"loop", "loop2", "null", "pipe", "up"}));
        for (auto* item : scan.items) EXPECT_EQ(item->versionInfo.dwFileVersionMS, 0u);
    }
}

TEST_F(FolderScanTest, OddNamesHugeAndOldAndFutureFilesKeepTheirValues) {
    std::string invalid = "bad\xFF\xFEname.t\x80t";
    ASSERT_TRUE(m_dir.MakeFile(invalid));
    std::string longName(251, 'n');
    longName += ".txt";
    ASSERT_TRUE(m_dir.MakeFile(longName));
    int fd = ::open((m_dir / "huge.bin").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 5LL << 30), 0);  // sparse: costs nothing
    ::close(fd);
    ASSERT_TRUE(m_dir.MakeFile("old"));
    ASSERT_TRUE(m_dir.MakeFile("future"));
    struct timespec old[2] = {{0, UTIME_OMIT}, {-631152000LL, 0}};       // 1950-01-01
    struct timespec future[2] = {{0, UTIME_OMIT}, {4102444800LL, 5000}}; // 2100-01-01
    ASSERT_EQ(utimensat(AT_FDCWD, (m_dir / "old").c_str(), old, 0), 0);
    ASSERT_EQ(utimensat(AT_FDCWD, (m_dir / "future").c_str(), future, 0), 0);

    Scan scan;
    RunScan(scan, m_dir.Folder());
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
    Scan sjis;
    RunScan(sjis, m_dir.Folder());
    EXPECT_NE(Find(sjis, "bad??name.t?t"), nullptr);
}

TEST_F(FolderScanTest, TreesDeeperThanAPathCanNameAreListed) {
    std::string level(40, 'd');
    int fd = ::open(m_dir.Path().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    const int kDepth = 120;  // 120 * 41 bytes: beyond PATH_MAX
    for (int i = 0; i < kDepth; ++i) {
        ASSERT_EQ(mkdirat(fd, level.c_str(), 0755), 0);
        int next = openat(fd, level.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        ASSERT_GE(next, 0);
        fd = next;
    }
    int file = openat(fd, "deep.txt", O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(file, 0);
    ::close(file);
    ::close(fd);
    Scan scan;
    RunScan(scan, m_dir.Folder());
    ASSERT_TRUE(scan.result.completed) << scan.diagnostics;
    ASSERT_EQ(scan.rows.size(), 1u);
    EXPECT_EQ(scan.rows[0].name, "deep.txt");
    EXPECT_GT(scan.rows[0].directory.size(), 4096u);
}

TEST_F(FolderScanTest, VersionsAreTheSameWithAndWithoutProbeThreads) {
    // Many folders and files, some of them executables with versions.
    for (int f = 0; f < 30; ++f) {
        std::string folder = "f" + std::to_string(f);
        ASSERT_TRUE(m_dir.MakeFolder(folder));
        for (int i = 0; i < 12; ++i) {
            std::string name = folder + "/file" + std::to_string(i);
            if (i % 3 == 0) {
                PeOptions pe;
                pe.fileVersionMS = static_cast<std::uint32_t>((f + 1) << 16 | i);
                pe.fileVersionLS = 7;
                pe.pe32Plus = i % 2 == 0;
                ASSERT_TRUE(PeBuilder::WriteFile(m_dir / (name + ".exe"), PeBuilder(pe).Build()));
            } else {
                ASSERT_TRUE(m_dir.MakeFile(name, std::string(static_cast<std::size_t>(i * 100), 'z')));
            }
        }
    }
    ScanOptions single;
    single.probeThreads = 0;
    Scan one;
    RunScan(one, m_dir.Folder(), single);
    Scan many;
    RunScan(many, m_dir.Folder());
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
        const std::string folder = "p" + std::to_string(f);
        ASSERT_TRUE(m_dir.MakeFolder(folder));
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(PeBuilder::WriteFile(m_dir / (folder + "/" + std::to_string(i) + ".dll"), image));
        }
        fds.push_back(::open((m_dir / folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        ASSERT_GE(fds.back(), 0);
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
