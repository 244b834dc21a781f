#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <string>
#include <tuple>
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
        result = ScanFolder(folder, folder, options, store, [this](FileItem* item) { items.push_back(item); },
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
    auto it = std::find_if(scan.items.begin(), scan.items.end(), [&](auto* item) { return item->fileName == name; });
    return it == scan.items.end() ? nullptr : *it;
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
        TearDown();
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

// A folder's own files come before its subfolders, each subfolder's tree
// whole; the switches leave out subfolders and hidden files, but hidden
// folders are still entered.
TEST_F(FolderScanTest, DepthFirstOrderAndTheSwitches) {
    ASSERT_TRUE(Make({"a", ".b", "s/", "s/c", "s/t/", "s/t/d", ".u/", ".u/e"}));
    Scan scan(m_dir.Folder());
    ASSERT_TRUE(scan.result.completed);
    ASSERT_EQ(Names(scan), (std::vector<std::string>{".b", "a", "c", "d", "e"}));
    std::vector<std::string> order = Names(scan, false);
    std::sort(order.begin(), order.begin() + 2);  // the folder's own files, in any order, then each tree whole
    EXPECT_TRUE(order == (std::vector<std::string>{".b", "a", "c", "d", "e"}) ||
                order == (std::vector<std::string>{".b", "a", "e", "c", "d"}));
    EXPECT_EQ(Find(scan, "d")->directory(), m_dir.Folder() + "s/t/");
    EXPECT_TRUE(scan.diagnostics.empty());
    EXPECT_TRUE(Find(scan, ".b")->hidden && !Find(scan, ".b")->systemFile);
    EXPECT_FALSE(Find(scan, "e")->hidden);  // in a hidden folder, but not hidden itself
    for (bool recurse : {true, false}) {
        Scan filtered(m_dir.Folder(), ScanOptions{.recurse = recurse, .includeHidden = !recurse, .progress = {}});
        EXPECT_EQ(Names(filtered),
                  (recurse ? std::vector<std::string>{"a", "c", "d", "e"} : std::vector<std::string>{".b", "a"}));
    }
}

// Folders that cannot be read (no permission, no medium) are reported on both
// passes over their parent and skipped. Any other error stops the whole scan
// with the rows so far: a read fault, a folder that vanished between being
// listed and being entered, or a read error after a folder's first entry.
TEST_F(FolderScanTest, UnreadableFoldersAreSkippedAndOtherErrorsStopTheScan) {
    ASSERT_TRUE(Make({"a", "locked/", "locked/secret", "cdrom/", "ok/", "ok/b", "ok/c", "ok/sub/", "ok/sub/d"}));
    g_openFailures = {{"locked", EACCES}, {"cdrom", ENOMEDIUM}};
    Scan skipped(m_dir.Folder());
    EXPECT_TRUE(skipped.result.completed);
    EXPECT_EQ(Names(skipped), (std::vector<std::string>{"a", "b", "c", "d"}));
    const std::string denied = "アクセスが拒否されました。処理を続けます。\n";
    const std::string notReady = "ディスクの準備ができていません。\n";
    EXPECT_NE(skipped.diagnostics.find(denied + denied), std::string::npos) << skipped.diagnostics;
    EXPECT_NE(skipped.diagnostics.find(notReady + notReady), std::string::npos) << skipped.diagnostics;
    EXPECT_EQ(skipped.diagnostics.size(), 2 * denied.size() + 2 * notReady.size());

    const std::tuple<int, std::uint32_t, std::string> stops[] = {
        {EIO, ERROR_READ_FAULT, "指定されたデバイスから読み取ることができません。\n"},
        {ENOENT, ERROR_PATH_NOT_FOUND, "指定されたパスが見つかりません。\n"},
    };
    for (const auto& [error, code, text] : stops) {
        g_openFailures = {{"locked", error}, {"cdrom", error}, {"ok", error}};  // the first one entered stops it
        Scan scan(m_dir.Folder());
        EXPECT_FALSE(scan.result.completed);
        EXPECT_EQ(scan.result.errorCode, code);
        EXPECT_EQ(scan.result.reason, text);
        EXPECT_EQ(scan.diagnostics, text);
        EXPECT_EQ(Names(scan), (std::vector<std::string>{"a"}));
    }
    g_openFailures = {{"locked", EACCES}, {"cdrom", EACCES}};
    g_flakyName = "ok";
    Scan flaky(m_dir.Folder());
    EXPECT_FALSE(flaky.result.completed);
    EXPECT_EQ(flaky.result.errorCode, ERROR_READ_FAULT);
    EXPECT_LE(flaky.items.size(), 2u);  // "a", and at most the first entry of "ok"
}

TEST_F(FolderScanTest, TargetFolderIsCreatedWhenOnlyItsParentExists) {
    Scan scan(m_dir / "new/");
    EXPECT_TRUE(scan.result.completed);
    EXPECT_TRUE(scan.items.empty());
    EXPECT_EQ(::access((m_dir / "new").c_str(), F_OK), 0);

    // Stops silently where the folder cannot be made (an empty target: the
    // main window's tests).
    Scan failed(m_dir / "no/parent/");
    EXPECT_FALSE(failed.result.completed);
    EXPECT_EQ(failed.result.errorCode, ERROR_PATH_NOT_FOUND);
    EXPECT_TRUE(failed.diagnostics.empty());
    EXPECT_TRUE(failed.items.empty());
}

// FIFOs, devices and symlink loops are listed but never opened (the probe
// would block on the FIFO) nor followed; odd names, huge files and old and
// future times keep their values.
TEST_F(FolderScanTest, SpecialOddHugeOldAndFutureFilesAreListedAsTheyAre) {
    std::string invalid = "bad\xFF\xFEname.t\x80t";
    std::string longName = std::string(251, 'n') + ".txt";
    ASSERT_TRUE(Make({invalid, longName, "huge.bin", "old", "future"}));
    ASSERT_EQ(mkfifo((m_dir / "pipe").c_str(), 0644), 0);
    ASSERT_EQ(mknod((m_dir / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
    ASSERT_EQ(symlink(".", (m_dir / "loop").c_str()), 0);
    ASSERT_EQ(truncate((m_dir / "huge.bin").c_str(), 5LL << 30), 0);  // sparse: costs nothing
    struct timespec old[2] = {{0, UTIME_OMIT}, {-631152000LL, 0}};       // 1950-01-01
    struct timespec future[2] = {{0, UTIME_OMIT}, {4102444800LL, 5000}}; // 2100-01-01
    ASSERT_EQ(utimensat(AT_FDCWD, (m_dir / "old").c_str(), old, 0), 0);
    ASSERT_EQ(utimensat(AT_FDCWD, (m_dir / "future").c_str(), future, 0), 0);

    for (int threads : {0, 4}) {
        Scan scan(m_dir.Folder(), ScanOptions{.probeThreads = threads, .progress = {}});
        EXPECT_TRUE(scan.result.completed);
        // Same code page: names' bytes unchanged.
        ASSERT_EQ(Names(scan),
                  (std::vector<std::string>{invalid, "future", "huge.bin", "loop", longName, "null", "old", "pipe"}));
        for (auto* item : scan.items) EXPECT_EQ(item->versionInfo.dwFileVersionMS, 0u);
        EXPECT_EQ(Find(scan, invalid)->extension(), ".t\x80t");
        EXPECT_EQ(Find(scan, "huge.bin")->fileSize, 5ULL << 30);
        EXPECT_EQ(Find(scan, "old")->fileTime, FileTimeFromUnix(-631152000LL, 0));
        EXPECT_EQ(Find(scan, "future")->fileTime, FileTimeFromUnix(4102444800LL, 5000));
    }

    // Names the code page cannot hold are shown with "?", and the file is
    // still found for its version through its own bytes.
    SetCodePage(kCodePageShiftJis);
    Scan sjis(m_dir.Folder());
    EXPECT_NE(Find(sjis, "bad??name.t?t"), nullptr);
}

TEST_F(FolderScanTest, TreesDeeperThanAPathCanNameAreListed) {
    std::string level(40, 'd');
    int fd = ::open(m_dir.Path().c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < 120 && fd >= 0; ++i) {  // 120 * 41 bytes: beyond PATH_MAX
        int next = mkdirat(fd, level.c_str(), 0755) == 0 ? openat(fd, level.c_str(), O_RDONLY | O_DIRECTORY) : -1;
        ::close(fd);
        fd = next;
    }
    ASSERT_TRUE(fd >= 0 && PeBuilder::WriteFileAt(fd, "deep.txt", {}) && ::close(fd) == 0);
    Scan scan(m_dir.Folder());
    ASSERT_TRUE(scan.result.completed) << scan.diagnostics;
    ASSERT_EQ(Names(scan), std::vector<std::string>{"deep.txt"});
    EXPECT_GT(scan.items[0]->directory().size(), 4096u);
}

// More folders than a batch holds, executables of both kinds and plain files
// of many sizes: the scan finds the same versions with and without probe
// threads, and the pool under any limit of open folders (one included)
// finishes every probe in every folder and closes every descriptor it took.
TEST_F(FolderScanTest, ProbeThreadsReadTheSameVersionsUnderAnyOpenFolderLimit) {
    constexpr int kFolders = 150;
    std::vector<int> fds;
    for (int f = 0; f < kFolders; ++f) {
        const std::string folder = m_dir / ("p" + std::to_string(f));
        ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
        fds.push_back(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        ASSERT_GE(fds.back(), 0);
        PeOptions pe;
        pe.fileVersionMS = static_cast<std::uint32_t>(f + 1) << 16;
        ASSERT_TRUE(PeBuilder::WriteFileAt(fds.back(), "0.dll", PeBuilder(pe).Build()));
        pe.pe32Plus = true;
        ASSERT_TRUE(PeBuilder::WriteFileAt(fds.back(), "1.exe", PeBuilder(pe).Build()));
        ASSERT_TRUE(PeBuilder::WriteFileAt(fds.back(), "2.txt", std::vector<std::uint8_t>(f * 10u, 'z')));
    }
    Scan one(m_dir.Folder(), ScanOptions{.probeThreads = 0, .progress = {}});
    Scan many(m_dir.Folder());
    ASSERT_EQ(one.items.size(), 3u * kFolders);
    ASSERT_EQ(many.items.size(), one.items.size());
    int withVersion = 0;
    for (std::size_t i = 0; i < one.items.size(); ++i) {
        EXPECT_EQ(one.items[i]->fileName, many.items[i]->fileName);
        EXPECT_EQ(one.items[i]->versionInfo.dwFileVersionMS, many.items[i]->versionInfo.dwFileVersionMS);
        EXPECT_EQ(one.items[i]->versionInfo.dwFileVersionLS, many.items[i]->versionInfo.dwFileVersionLS);
        const VS_FIXEDFILEINFO& version = many.items[i]->versionInfo;
        withVersion += version.dwFileVersionMS != 0 && version.dwSignature == kFixedFileInfoSignature;
    }
    EXPECT_EQ(withVersion, 2 * kFolders);

    auto openDescriptors = [] { int n = 0; for (int fd = 0; fd < 4096; ++fd) n += fcntl(fd, F_GETFD) != -1; return n; };
    const int before = openDescriptors();
    const Folder* folder = one.store.AddFolder("/x/");
    for (std::size_t maxOpen : {std::size_t{1}, std::size_t{3}, std::size_t{1024}}) {
        std::vector<FileItem*> items;
        VersionProbePool pool(4, maxOpen);
        for (int f = 0; f < kFolders; ++f) {
            std::vector<VersionProbePool::Job> jobs;
            for (const char* name : {"0.dll", "1.exe", "2.txt"}) {
                items.push_back(one.store.AddItem(name, folder));
                jobs.push_back(VersionProbePool::Job{items.back(), name});
            }
            pool.Submit(fds[static_cast<std::size_t>(f)], jobs);
        }
        pool.Wait();
        EXPECT_EQ(openDescriptors(), before) << maxOpen;
        for (std::size_t i = 0; i < items.size(); ++i) {
            ASSERT_EQ(items[i]->versionInfo.dwFileVersionMS, i % 3 == 2 ? 0u : (i / 3 + 1) << 16) << maxOpen << ' ' << i;
        }
    }
    for (int fd : fds) ::close(fd);
}
