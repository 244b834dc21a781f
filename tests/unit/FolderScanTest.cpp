#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <cerrno>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "catalogue/BackgroundScan.h"
#include "catalogue/FolderScan.h"
#include "catalogue/WorkerPool.h"
#include "platform/CodePage.h"
#include "platform/FileTime.h"
#include "platform/SystemCalls.h"
#include "support/PeBuilder.h"
#include "support/TempDir.h"

using namespace norvane;

namespace {

// One whole scan of a folder, with its rows and diagnostics.
struct Scan {
    explicit Scan(const std::string& folder, const ScanOptions& options = {}) {
        result = ScanFolder(
            folder, options, store, [this](FileItem* item) { items.push_back(item); },
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

// Every value of every row, and the diagnostics, as one text.
std::string Dump(const Scan& scan) {
    std::string text;
    for (const FileItem* item : scan.items) {
        text += item->directory() + "|" + std::string(item->fileName) + "|" + std::to_string(item->fileSize) + "|" +
                std::to_string(item->fileTime) + "|" + std::to_string(item->versionInfo.dwFileVersionMS) + "." +
                std::to_string(item->versionInfo.dwFileVersionLS) + "|" + std::string(item->extension()) + "|" +
                (item->systemFile ? "S" : "-") + (item->hidden ? "H" : "-") + "\n";
    }
    return text + "--\n" + scan.diagnostics + "--\n" + std::to_string(static_cast<int>(scan.result.end)) + " " +
           std::to_string(scan.result.errorCode) + " " + scan.result.reason;
}

std::string BaseName(const char* name) {
    std::string base = name;
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    return base.substr(base.find_last_of('/') + 1);
}

// Failures injected into the system calls by the name they open; the fakes
// run on the scan's workers.
std::map<std::string, int> g_openFailures;
std::map<std::string, int> g_statFailures;  // looking at entries inside this folder fails
std::string g_flakyName;                    // reading this folder fails after its first entry
std::string g_slowName;                     // reading this folder takes a millisecond an entry
std::atomic<int> g_flakyFd{-1};
std::atomic<int> g_slowFd{-1};
std::atomic<int> g_flakyReads{0};
std::atomic<int> g_slowReads{0};

int FakeOpenAt(int dirFd, const char* name, int flags) {
    const std::string base = BaseName(name);
    if (auto it = g_openFailures.find(base); it != g_openFailures.end()) {
        errno = it->second;
        return -1;
    }
    int fd = RealSystemCalls().openAt(dirFd, name, flags);
    if (fd >= 0 && base == g_flakyName) g_flakyFd = fd;
    if (fd >= 0 && base == g_slowName) g_slowFd = fd;
    return fd;
}

struct dirent* FakeReadDir(DIR* dir) {
    struct dirent* entry = RealSystemCalls().readDir(dir);
    if (entry == nullptr) return entry;
    if (dirfd(dir) == g_slowFd) {
        ++g_slowReads;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::string_view name = entry->d_name;
    if (dirfd(dir) != g_flakyFd || name == "." || name == ".." || g_flakyReads++ == 0) return entry;
    errno = EIO;
    return nullptr;
}

int FakeFstatAt(int dirFd, const char* name, struct stat* st, int flags) {
    char link[64];
    char path[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", dirFd);
    ssize_t n = readlink(link, path, sizeof path - 1);
    if (n > 0) {
        path[n] = '\0';
        if (auto it = g_statFailures.find(BaseName(path)); it != g_statFailures.end()) {
            errno = it->second;
            return -1;
        }
    }
    return RealSystemCalls().fstatAt(dirFd, name, st, flags);
}

class FolderScanTest : public ::testing::Test {
protected:
    void SetUp() override {
        TearDown();
        g_openFailures.clear();
        g_statFailures.clear();
        g_flakyName.clear();
        g_slowName.clear();
        g_flakyFd = g_slowFd = -1;
        g_flakyReads = g_slowReads = 0;
        Sys().openAt = FakeOpenAt;
        Sys().readDir = FakeReadDir;
        Sys().fstatAt = FakeFstatAt;
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
// folders are still entered. Every row of a folder shares its record.
TEST_F(FolderScanTest, DepthFirstOrderAndTheSwitches) {
    ASSERT_TRUE(Make({"a", ".b", "s/", "s/c", "s/t/", "s/t/d", "s/t/d2", ".u/", ".u/e"}));
    Scan scan(m_dir.Path());  // the top folder gets its "/"
    ASSERT_TRUE(scan.result.completed());
    ASSERT_EQ(Names(scan), (std::vector<std::string>{".b", "a", "c", "d", "d2", "e"}));
    std::vector<std::string> order = Names(scan, false);
    std::sort(order.begin(), order.begin() + 2);  // the folder's own files, in any order, then each tree whole
    std::sort(order.end() - 3, order.end() - 1);
    std::sort(order.begin() + 3, order.begin() + 5);
    EXPECT_TRUE(order == (std::vector<std::string>{".b", "a", "c", "d", "d2", "e"}) ||
                order == (std::vector<std::string>{".b", "a", "e", "c", "d", "d2"}));
    EXPECT_EQ(Find(scan, "d")->directory(), m_dir.Folder() + "s/t/");
    EXPECT_EQ(Find(scan, "d")->folder, Find(scan, "d2")->folder);
    EXPECT_EQ(Find(scan, "d")->folder->parent, Find(scan, "c")->folder);
    EXPECT_TRUE(scan.diagnostics.empty());
    EXPECT_TRUE(Find(scan, ".b")->hidden && !Find(scan, ".b")->systemFile);
    EXPECT_FALSE(Find(scan, "e")->hidden);  // in a hidden folder, but not hidden itself
    for (bool recurse : {true, false}) {
        Scan filtered(m_dir.Folder(), ScanOptions{.recurse = recurse, .includeHidden = !recurse});
        EXPECT_EQ(Names(filtered),
                  (recurse ? std::vector<std::string>{"a", "c", "d", "d2", "e"} : std::vector<std::string>{".b", "a"}));
    }
}

// Folders that cannot be read (no permission, no medium), or that vanished
// or were replaced since their parent was listed, are reported once each,
// by name, and skipped; one that can be listed but not entered is reported
// once, with none of its rows. Any other error stops the whole scan with the
// rows so far, naming its folder: a read fault on entering a folder, or a
// read error after a folder's first entry.
TEST_F(FolderScanTest, UnreadableFoldersAreSkippedAndOtherErrorsStopTheScan) {
    ASSERT_TRUE(Make({"a", "locked/", "locked/secret", "cdrom/", "gone/", "gone/x", "noexec/", "noexec/f",
                      "noexec/sub/", "noexec/sub/g", "ok/", "ok/b", "ok/c", "ok/sub/", "ok/sub/d"}));
    g_openFailures = {{"locked", EACCES}, {"cdrom", ENOMEDIUM}, {"gone", ENOENT}};
    g_statFailures = {{"noexec", EACCES}};
    for (int threads : {0, 3}) {
        Scan skipped(m_dir.Folder(), ScanOptions{.threads = threads});
        EXPECT_TRUE(skipped.result.completed());
        EXPECT_EQ(Names(skipped), (std::vector<std::string>{"a", "b", "c", "d"}));
        const std::string denied = "アクセスが拒否されました。処理を続けます。\n";
        const std::string notReady = "ディスクの準備ができていません。\n";
        const std::string gone = "指定されたパスが見つかりません。\n";
        const std::string lines[] = {m_dir.Folder() + "locked/: " + denied, m_dir.Folder() + "cdrom/: " + notReady,
                                     m_dir.Folder() + "gone/: " + gone, m_dir.Folder() + "noexec/: " + denied};
        std::size_t size = 0;
        for (const std::string& line : lines) {
            EXPECT_NE(skipped.diagnostics.find(line), std::string::npos) << skipped.diagnostics;
            size += line.size();
        }
        EXPECT_EQ(skipped.diagnostics.size(), size) << skipped.diagnostics;
    }

    g_openFailures = {{"locked", EIO}, {"cdrom", EIO}, {"gone", EIO}, {"noexec", EIO}, {"ok", EIO}};
    Scan stopped(m_dir.Folder(), ScanOptions{.threads = 2});  // the first one entered stops it
    const std::string readFault = "指定されたデバイスから読み取ることができません。\n";
    EXPECT_EQ(stopped.result.end, ScanEnd::kStoppedByError);
    EXPECT_EQ(stopped.result.errorCode, ERROR_READ_FAULT);
    EXPECT_EQ(stopped.result.reason, readFault);
    EXPECT_TRUE(stopped.result.folder.starts_with(m_dir.Folder())) << stopped.result.folder;
    EXPECT_EQ(stopped.diagnostics, stopped.result.folder + ": " + readFault);
    EXPECT_EQ(Names(stopped), (std::vector<std::string>{"a"}));

    g_openFailures = {{"locked", EACCES}, {"cdrom", EACCES}, {"gone", EACCES}, {"noexec", EACCES}};
    g_flakyName = "ok";
    Scan flaky(m_dir.Folder());
    EXPECT_FALSE(flaky.result.completed());
    EXPECT_EQ(flaky.result.errorCode, ERROR_READ_FAULT);
    EXPECT_LE(flaky.items.size(), 2u);  // "a", and at most the first entry of "ok"
}

// The scan never creates a folder. A top folder that is missing is reported;
// one that cannot be read leaves the scan incomplete; no folder at all ends
// it silently.
TEST_F(FolderScanTest, TopFolderThatIsMissingOrUnreadableEndsTheScanIncomplete) {
    Scan missing(m_dir / "new");
    EXPECT_EQ(missing.result.end, ScanEnd::kStoppedByError);
    EXPECT_EQ(missing.diagnostics, m_dir.Folder() + "new/: 指定されたパスが見つかりません。\n");
    EXPECT_NE(::access((m_dir / "new").c_str(), F_OK), 0);
    EXPECT_TRUE(missing.result.folderMissing);
    EXPECT_FALSE(missing.result.notAFolder);

    // A file in the folder's place is told apart, whoever reads the top.
    ASSERT_TRUE(m_dir.MakeFile("file"));
    for (int threads : {0, 2}) {
        Scan file(m_dir / "file", ScanOptions{.threads = threads});
        EXPECT_TRUE(file.result.folderMissing && file.result.notAFolder) << threads << " workers";
    }

    ASSERT_TRUE(Make({"top/", "top/a"}));
    g_openFailures = {{"top", EACCES}};
    Scan denied(m_dir / "top");
    EXPECT_EQ(denied.result.end, ScanEnd::kStoppedByError);
    EXPECT_EQ(denied.result.errorCode, ERROR_ACCESS_DENIED);
    EXPECT_EQ(denied.diagnostics, m_dir.Folder() + "top/: アクセスが拒否されました。処理を続けます。\n");
    EXPECT_EQ(denied.result.folder, m_dir.Folder() + "top/");
    EXPECT_TRUE(denied.items.empty());

    Scan none("");
    EXPECT_EQ(none.result.end, ScanEnd::kStoppedByError);
    EXPECT_TRUE(none.diagnostics.empty());
    EXPECT_TRUE(none.items.empty());
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
    ASSERT_EQ(truncate((m_dir / "huge.bin").c_str(), 5LL << 30), 0);      // sparse: costs nothing
    struct timespec old[2] = {{0, UTIME_OMIT}, {-631152000LL, 0}};        // 1950-01-01
    struct timespec future[2] = {{0, UTIME_OMIT}, {4102444800LL, 5000}};  // 2100-01-01
    ASSERT_EQ(utimensat(AT_FDCWD, (m_dir / "old").c_str(), old, 0), 0);
    ASSERT_EQ(utimensat(AT_FDCWD, (m_dir / "future").c_str(), future, 0), 0);

    for (int threads : {0, 4}) {
        Scan scan(m_dir.Folder(), ScanOptions{.threads = threads});
        EXPECT_TRUE(scan.result.completed());
        // Same code page: valid names' bytes unchanged, invalid sequences
        // shown as "?".
        ASSERT_EQ(Names(scan), (std::vector<std::string>{"bad??name.t?t", "future", "huge.bin", "loop", longName,
                                                         "null", "old", "pipe"}));
        for (auto* item : scan.items) EXPECT_EQ(item->versionInfo.dwFileVersionMS, 0u);
        EXPECT_EQ(Find(scan, "bad??name.t?t")->extension(), ".t?t");
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

// A folder the code page cannot name is read by its own bytes: the records
// show "?" where the name cannot be held, and nothing is created.
TEST_F(FolderScanTest, TopFolderIsReadByItsOwnBytes) {
    ASSERT_TRUE(Make({"\xED\x95\x9C\xEA\xB5\xAD/", "\xED\x95\x9C\xEA\xB5\xAD/file.txt"}));
    SetCodePage(kCodePageShiftJis);
    Scan scan(m_dir / "\xED\x95\x9C\xEA\xB5\xAD");
    ASSERT_TRUE(scan.result.completed()) << scan.diagnostics;
    ASSERT_EQ(Names(scan), std::vector<std::string>{"file.txt"});
    EXPECT_EQ(scan.items[0]->directory(), m_dir.Folder() +
                                              "?"
                                              "?/");
    EXPECT_NE(::access((m_dir / "??").c_str(), F_OK), 0);
}

// Names that are no valid text in the locale's encoding are shown with "?"
// in either code page, while the folders are entered and the files read
// under their real names.
TEST_F(FolderScanTest, InvalidNamesAreShownMarkedAndReadByTheirOwnBytes) {
    const std::string top = "top\xFF", sub = "sub\xE6\x97";
    ASSERT_TRUE(Make({top + "/", top + "/" + sub + "/"}));
    const int fd = ::open((m_dir / (top + "/" + sub)).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    PeOptions pe;
    pe.fileVersionMS = 0x00030002;
    ASSERT_TRUE(PeBuilder::WriteFileAt(fd, "tool\xFE.exe", PeBuilder(pe).Build()));
    ::close(fd);
    for (int codePage : {kCodePageUtf8, kCodePageShiftJis}) {
        SetCodePage(codePage);
        for (int threads : {0, 2}) {
            Scan scan(m_dir / top, ScanOptions{.threads = threads});
            ASSERT_TRUE(scan.result.completed()) << scan.diagnostics;
            ASSERT_EQ(Names(scan), std::vector<std::string>{"tool?.exe"});
            EXPECT_EQ(scan.items[0]->directory(), m_dir.Folder() + "top?/sub?/");
            EXPECT_EQ(scan.items[0]->versionInfo.dwFileVersionMS, 0x00030002u);
        }
    }
}

// Whether this process may make a mount namespace of its own and bind
// folders in it (root, outside a container that forbids it): tried in a
// child, which takes the namespace with it.
bool CanBindMountPrivately() {
    const pid_t pid = fork();
    if (pid == 0) {
        _exit(unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 ? 0 : 1);
    }
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A folder bind-mounted inside itself is reported as a loop, by its name and
// the folder it repeats, and not listed again; the rest of the tree is. A
// folder bound elsewhere in the tree (no loop) is listed as find lists it.
TEST_F(FolderScanTest, AFolderMountedInsideItselfIsReportedAsALoop) {
    if (!CanBindMountPrivately()) GTEST_SKIP() << "no mount namespace of our own";
    ASSERT_TRUE(Make({"a", "sub/", "sub/b", "sub/m/", "other/"}));
    // The child is forked from a process with no other thread (the pool's
    // end), as a thread sanitizer wants it.
    ASSERT_TRUE(EndBackgroundWork(std::chrono::seconds(10)));
    // The mounts live in the child's namespace and go with it.
    EXPECT_EXIT(
        {
            if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                mount(m_dir.Path().c_str(), (m_dir / "sub/m").c_str(), nullptr, MS_BIND, nullptr) != 0 ||
                mount((m_dir / "sub").c_str(), (m_dir / "other").c_str(), nullptr, MS_BIND, nullptr) != 0) {
                _exit(2);
            }
            const std::string loop = m_dir.Folder() + "sub/m/: " + LoopText(m_dir.Folder());
            for (int threads : {0, 3}) {
                Scan scan(m_dir.Folder(), ScanOptions{.threads = threads});
                if (!scan.result.completed() || Names(scan) != std::vector<std::string>{"a", "b", "b"} ||
                    scan.diagnostics != loop) {
                    std::fprintf(stderr, "%s\n", Dump(scan).c_str());
                    _exit(1);
                }
            }
            _exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

// Deeper than a path can name and deeper than a recursion would survive,
// with few descriptors: no crash, every level's file listed in order.
TEST_F(FolderScanTest, DeepTreesAreListedWithFewDescriptors) {
    constexpr int kLevels = 25000;
    // In memory where there is a tmpfs: a disk's file system can take long
    // to make this many folders.
    struct stat shm {};
    TempDir dir(::stat("/dev/shm", &shm) == 0 && S_ISDIR(shm.st_mode) ? "/dev/shm" : "/tmp");
    std::string level = "d";
    int fd = ::open(dir.Path().c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < kLevels && fd >= 0; ++i) {
        if (i % 5000 == 0 && !PeBuilder::WriteFileAt(fd, ("f" + std::to_string(i)).c_str(), {})) break;
        int next = mkdirat(fd, level.c_str(), 0755) == 0 ? openat(fd, level.c_str(), O_RDONLY | O_DIRECTORY) : -1;
        ::close(fd);
        fd = next;
    }
    ASSERT_TRUE(fd >= 0 && PeBuilder::WriteFileAt(fd, "deep.txt", {}) && ::close(fd) == 0);
    // Far fewer descriptors than levels: one held per level would run out.
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    struct rlimit few = saved;
    few.rlim_cur = 128;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &few), 0);
    Scan scan(dir.Folder(), ScanOptions{.threads = 8});
    setrlimit(RLIMIT_NOFILE, &saved);
    ASSERT_TRUE(scan.result.completed()) << scan.diagnostics;
    ASSERT_EQ(Names(scan, false), (std::vector<std::string>{"f0", "f5000", "f10000", "f15000", "f20000", "deep.txt"}));
    EXPECT_EQ(scan.items.back()->directory().size(), dir.Folder().size() + 2 * kLevels);
}

// The same rows, values, order, diagnostics and result whatever the number
// of workers, on a tree of odd shape: deep, wide, empty folders, folders
// that cannot be read, links, names that enumerate in no sorted order,
// versions; handed over in batches of any size, diagnostics after the rows
// they follow.
TEST_F(FolderScanTest, EveryNumberOfWorkersGivesTheSameScan) {
    ASSERT_TRUE(Make({"z", "A", "m.dll", "empty/", "wide/", "deep/", "deep/1/", "deep/1/2/", "deep/1/2/3/",
                      "deep/1/2/3/x", "deny/", "deny/y", "E/", "E/e", "Z9/", ".h/", ".h/.f"}));
    for (int i = 0; i < 300; ++i) ASSERT_TRUE(m_dir.MakeFolder("wide/" + std::to_string(i * 7919 % 300)));
    for (int i = 0; i < 40; ++i)
        ASSERT_TRUE(m_dir.MakeFile("wide/" + std::to_string(i * 13 % 300) + "/n" + std::to_string(i)));
    PeOptions pe;
    pe.fileVersionMS = 0x00020003;
    int fd = ::open(m_dir.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_TRUE(PeBuilder::WriteFileAt(fd, "m.dll", PeBuilder(pe).Build()));
    ::close(fd);
    ASSERT_EQ(symlink("deep", (m_dir / "link").c_str()), 0);
    ASSERT_EQ(symlink("../..", (m_dir / "wide/1/up").c_str()), 0);
    g_openFailures = {{"deny", EACCES}, {"77", ENOMEDIUM}};  // wide/77 holds n29
    Scan reference(m_dir.Folder(), ScanOptions{.threads = 0});
    EXPECT_TRUE(reference.result.completed());
    EXPECT_EQ(reference.items.size(), 47u);
    EXPECT_EQ(Find(reference, "m.dll")->versionInfo.dwFileVersionMS, 0x00020003u);
    for (int threads : {1, 2, 16}) {
        Scan scan(m_dir.Folder(), ScanOptions{.threads = threads});
        EXPECT_EQ(Dump(scan), Dump(reference)) << threads << " workers";
    }

    // As a window takes them: never waiting, only when woken, until a batch
    // comes back empty.
    FileStore store;
    FolderScan scan(m_dir.Folder(), ScanOptions{.threads = 4}, store);
    std::mutex mutex;
    std::condition_variable woken;
    int wakes = 0;
    scan.Start([&] {
        std::lock_guard lock(mutex);
        ++wakes;
        woken.notify_one();
    });
    ScanBatch batch;
    std::vector<const FileItem*> rows;
    std::string diagnostics;
    for (bool more = true; more;) {
        {
            std::unique_lock lock(mutex);
            ASSERT_TRUE(woken.wait_for(lock, std::chrono::seconds(10), [&] { return wakes > 0; })) << "no wake";
            wakes = 0;
        }
        do {
            more = scan.Take(batch, std::chrono::milliseconds(0), 7);
            EXPECT_LE(batch.rows.size(), 7u);
            if (!batch.diagnostics.empty()) {
                ASSERT_LT(rows.size() + batch.rows.size(), reference.items.size());
            }
            rows.insert(rows.end(), batch.rows.begin(), batch.rows.end());
            for (const auto& text : batch.diagnostics) diagnostics += text;
        } while (more && !(batch.rows.empty() && batch.diagnostics.empty()));
    }
    EXPECT_TRUE(scan.Result().completed());
    ASSERT_EQ(rows.size(), reference.items.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        ASSERT_EQ(rows[i]->directory() + std::string(rows[i]->fileName),
                  reference.items[i]->directory() + std::string(reference.items[i]->fileName));
    EXPECT_EQ(diagnostics, reference.diagnostics);
}

// A consumer that never waits (a window), taking one row at a time from 32
// workers reading a thousand small folders, finds the lock held by a worker
// again and again; the worker that held it must wake it each time, or the
// consumer would wait for ever.
TEST_F(FolderScanTest, AConsumerThatNeverWaitsIsWokenAfterEveryBusyTake) {
    for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(m_dir.MakeFolder("f" + std::to_string(i)));
        ASSERT_TRUE(m_dir.MakeFile("f" + std::to_string(i) + "/" + std::to_string(i)));
    }
    Scan reference(m_dir.Folder(), ScanOptions{.threads = 0});
    for (int run = 0; run < 10; ++run) {
        FileStore store;
        FolderScan scan(m_dir.Folder(), ScanOptions{.threads = 32}, store);
        std::mutex mutex;
        std::condition_variable woken;
        bool wake = false;
        scan.Start([&] {
            std::lock_guard lock(mutex);
            wake = true;
            woken.notify_one();
        });
        ScanBatch batch;
        std::size_t rows = 0;
        for (bool more = true; more;) {
            {
                std::unique_lock lock(mutex);
                ASSERT_TRUE(woken.wait_for(lock, std::chrono::seconds(10), [&] { return wake; })) << "no wake";
                wake = false;
            }
            do {
                more = scan.Take(batch, std::chrono::milliseconds(0), 1);
                for (const FileItem* item : batch.rows) {
                    ASSERT_LT(rows, reference.items.size());
                    ASSERT_EQ(item->fileName, reference.items[rows]->fileName);
                    ++rows;
                }
            } while (more && !(batch.rows.empty() && batch.diagnostics.empty()));
        }
        EXPECT_TRUE(scan.Result().completed());
        EXPECT_EQ(rows, reference.items.size());
    }
}

// A stop request in the middle of a large folder ends the scan at once with
// the rows so far, in order, and the workers stop reading.
TEST_F(FolderScanTest, StopInTheMiddleOfALargeFolder) {
    ASSERT_TRUE(Make({"a", "big/"}));
    constexpr int kFiles = 5000;
    for (int i = 0; i < kFiles; ++i) ASSERT_TRUE(m_dir.MakeFile("big/" + std::to_string(i)));
    g_slowName = "big";  // a millisecond an entry: five seconds to read whole
    FileStore store;
    auto scan = std::make_unique<FolderScan>(m_dir.Folder(), ScanOptions{.threads = 2}, store);
    scan->Start();
    ScanBatch batch;
    std::vector<const FileItem*> rows;
    while (rows.size() < 1001 && scan->Take(batch, std::chrono::milliseconds(100))) {
        rows.insert(rows.end(), batch.rows.begin(), batch.rows.end());
    }
    std::thread([&] { scan->RequestStop(); }).join();
    EXPECT_FALSE(scan->Take(batch, std::chrono::seconds(10)));
    rows.insert(rows.end(), batch.rows.begin(), batch.rows.end());
    EXPECT_EQ(scan->Result().end, ScanEnd::kStoppedByRequest);
    scan.reset();  // waits for the workers
    const int reads = g_slowReads;
    EXPECT_LT(reads, kFiles / 2);
    ASSERT_GE(rows.size(), 1001u);
    EXPECT_EQ(rows[0]->fileName, "a");
    for (std::size_t i = 1; i < rows.size(); ++i) EXPECT_EQ(rows[i]->directory(), m_dir.Folder() + "big/");
}

// Executables of both kinds and plain files of many sizes in many folders:
// the same versions with and without workers.
TEST_F(FolderScanTest, WorkersReadTheSameVersions) {
    constexpr int kFolders = 150;
    for (int f = 0; f < kFolders; ++f) {
        const std::string folder = "p" + std::to_string(f);
        ASSERT_TRUE(m_dir.MakeFolder(folder));
        int fd = ::open((m_dir / folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        PeOptions pe;
        pe.fileVersionMS = static_cast<std::uint32_t>(f + 1) << 16;
        ASSERT_TRUE(PeBuilder::WriteFileAt(fd, "0.dll", PeBuilder(pe).Build()));
        pe.pe32Plus = true;
        ASSERT_TRUE(PeBuilder::WriteFileAt(fd, "1.exe", PeBuilder(pe).Build()));
        ASSERT_TRUE(PeBuilder::WriteFileAt(fd, "2.txt", std::vector<std::uint8_t>(f * 10u, 'z')));
        ::close(fd);
    }
    Scan one(m_dir.Folder(), ScanOptions{.threads = 0});
    Scan many(m_dir.Folder());
    ASSERT_EQ(one.items.size(), 3u * kFolders);
    EXPECT_EQ(Dump(many), Dump(one));
    int withVersion = 0;
    for (const FileItem* item : many.items) {
        const unsigned folder = static_cast<unsigned>(std::stoi(item->directory().substr(m_dir.Folder().size() + 1)));
        const bool executable = item->fileName != "2.txt";
        EXPECT_EQ(item->versionInfo.dwFileVersionMS, executable ? (folder + 1) << 16 : 0u) << item->fileName;
        withVersion += executable;
    }
    EXPECT_EQ(withVersion, 2 * kFolders);
}

// Workers read no further ahead of a consumer that takes nothing than their
// bound allows (besides the folders they are in); once it takes, the scan
// runs to its end with the rows of an unbounded scan, in the same order.
TEST_F(FolderScanTest, WorkersWaitForAConsumerThatFallsBehind) {
    constexpr int kFolders = 30;
    constexpr int kFiles = 40;
    for (int f = 0; f < kFolders; ++f) {
        const std::string folder = "d" + std::to_string(f) + "/";
        ASSERT_TRUE(m_dir.MakeFolder(folder));
        for (int i = 0; i < kFiles; ++i) ASSERT_TRUE(m_dir.MakeFile(folder + std::to_string(i)));
    }
    const Scan whole(m_dir.Folder(), ScanOptions{.threads = 4});
    FileStore store;
    FolderScan scan(m_dir.Folder(), ScanOptions{.threads = 4, .readAheadRows = 100}, store);
    scan.Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_LE(scan.Progress().files, 100u + 5u * kFiles);
    ScanBatch batch;
    std::vector<const FileItem*> rows;
    for (bool more = true; more;) {
        more = scan.Take(batch, std::chrono::seconds(10));
        rows.insert(rows.end(), batch.rows.begin(), batch.rows.end());
    }
    EXPECT_EQ(scan.Result().end, ScanEnd::kCompleted);
    ASSERT_EQ(rows.size(), whole.items.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i]->directory() + std::string(rows[i]->fileName),
                  whole.items[i]->directory() + std::string(whole.items[i]->fileName));
    }
}

// A record is found by its number from any of the store's arenas, across
// chunks; a name too long to keep its extension's place still has it.
TEST(FileStoreTest, RecordsAreFoundByTheirNumbers) {
    FileStore store;
    const Folder* folder = store.AddFolder("/top/");
    std::vector<StoreArena*> arenas{store.NewArena(), store.NewArena(), store.NewArena()};
    std::vector<const FileItem*> items;
    for (int i = 0; i < 2500; ++i) {
        for (StoreArena* arena : arenas) items.push_back(arena->AddItem(std::to_string(i) + ".x", folder));
    }
    items.push_back(store.AddItem(std::string(70000, 'n') + ".long", folder));
    for (const FileItem* item : items) ASSERT_EQ(store.Item(item->ref), item);
    EXPECT_EQ(items.back()->extension(), ".long");
    EXPECT_EQ(items.front()->extension(), ".x");
}

// The bound holds back no worker while the consumer waits for a slow
// folder: the rest of the tree is read meanwhile, as on a share where one
// large folder takes long.
TEST_F(FolderScanTest, WorkersReadOnWhileTheConsumerWaitsForASlowFolder) {
    constexpr int kFolders = 20;
    constexpr int kFiles = 20;
    constexpr int kSlowFiles = 600;  // a millisecond each
    for (int f = 0; f < kFolders; ++f) ASSERT_TRUE(m_dir.MakeFolder("d" + std::to_string(f) + "/"));
    // The folder the consumer comes to first is the slow one.
    std::string first;
    DIR* top = opendir(m_dir.Folder().c_str());
    ASSERT_NE(top, nullptr);
    while (const dirent* entry = readdir(top)) {
        if (entry->d_name[0] == 'd') {
            first = entry->d_name;
            break;
        }
    }
    closedir(top);
    for (int f = 0; f < kFolders; ++f) {
        const std::string folder = "d" + std::to_string(f);
        for (int i = 0; i < (folder == first ? kSlowFiles : kFiles); ++i) {
            ASSERT_TRUE(m_dir.MakeFile(folder + "/" + std::to_string(i)));
        }
    }
    g_slowName = first;
    FileStore store;
    FolderScan scan(m_dir.Folder(), ScanOptions{.threads = 4, .readAheadRows = 10}, store);
    scan.Start();
    ScanBatch batch;
    std::size_t nTaken = 0;
    std::uint64_t nReadWhenSlowEnded = 0;
    for (bool more = true; more;) {
        more = scan.Take(batch, std::chrono::seconds(10));
        for (const FileItem* item : batch.rows) {
            if (nTaken++ == kSlowFiles) nReadWhenSlowEnded = scan.Progress().files;
            EXPECT_EQ(item->directory() == m_dir.Folder() + first + "/", nTaken <= kSlowFiles);
        }
    }
    EXPECT_EQ(scan.Result().end, ScanEnd::kCompleted);
    EXPECT_EQ(nTaken, std::size_t{kSlowFiles + (kFolders - 1) * kFiles});
    EXPECT_EQ(nReadWhenSlowEnded, nTaken);
}

// Thousands of stops at random points, from the consumer or from another
// thread, of scans with any number of workers, taken as a window takes them
// (woken, never waiting) or as the lister does (waiting), let go or waited
// for: after a stop Take ends at once, the rows taken are the start of the
// scan's order, and every worker is back in the pool at the end.
TEST_F(FolderScanTest, ThousandsOfStopsAtRandomPoints) {
    for (int f = 0; f < 12; ++f) {
        const std::string folder = "f" + std::to_string(f);
        ASSERT_TRUE(m_dir.MakeFolder(folder) && m_dir.MakeFolder(folder + "/sub"));
        for (int i = 0; i < 12; ++i) ASSERT_TRUE(m_dir.MakeFile(folder + "/" + std::to_string(i)));
        ASSERT_TRUE(m_dir.MakeFile(folder + "/sub/s"));
    }
    const Scan reference(m_dir.Folder(), ScanOptions{.threads = 0});
    ASSERT_EQ(reference.items.size(), 12u * 13u);
    std::uint32_t seed = 12345;
    auto random = [&seed](std::uint32_t n) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % n;
    };
    for (int run = 0; run < 2000; ++run) {
        const bool window = random(2) == 0;
        const bool fromAnotherThread = random(2) == 0;
        const std::uint32_t takesBeforeStop = random(12);
        const std::uint32_t delayUs = random(400);
        ScanOptions options;
        options.threads = 1 + static_cast<int>(random(8));
        options.readAheadRows = 1 + random(64);
        auto shared = std::make_shared<FileStore>();
        FileStore own;
        auto scan = window ? std::make_unique<FolderScan>(m_dir.Folder(), options, shared)
                           : std::make_unique<FolderScan>(m_dir.Folder(), options, own);
        std::mutex mutex;
        std::condition_variable woken;
        bool wake = false;
        if (window) {
            scan->Start([&] {
                std::lock_guard lock(mutex);
                wake = true;
                woken.notify_one();
            });
        } else {
            scan->Start();
        }
        std::thread stopper;
        if (fromAnotherThread) {
            stopper = std::thread([&, delayUs] {
                std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
                scan->RequestStop();
            });
        }
        ScanBatch batch;
        std::vector<const FileItem*> rows;
        bool more = true;
        bool stoppedHere = false;
        for (std::uint32_t takes = 0; more; ++takes) {
            if (!fromAnotherThread && takes == takesBeforeStop) {
                scan->RequestStop();
                stoppedHere = true;
            }
            if (window) {
                std::unique_lock lock(mutex);
                ASSERT_TRUE(woken.wait_for(lock, std::chrono::seconds(10), [&] { return wake; })) << "run " << run;
                wake = false;
            }
            do {
                more = scan->Take(batch, std::chrono::milliseconds(window ? 0 : 1000), 1 + random(20));
                rows.insert(rows.end(), batch.rows.begin(), batch.rows.end());
            } while (more && window && !(batch.rows.empty() && batch.diagnostics.empty()));
        }
        if (stopper.joinable()) stopper.join();
        EXPECT_FALSE(scan->Take(batch, std::chrono::milliseconds(0)));
        const ScanEnd end = scan->Result().end;
        EXPECT_TRUE(stoppedHere ? end == ScanEnd::kStoppedByRequest : end != ScanEnd::kStoppedByError) << run;
        ASSERT_TRUE(end == ScanEnd::kCompleted ? rows.size() == reference.items.size()
                                               : rows.size() <= reference.items.size())
            << run;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            ASSERT_EQ(rows[i]->directory() + std::string(rows[i]->fileName),
                      reference.items[i]->directory() + std::string(reference.items[i]->fileName))
                << "run " << run << " row " << i;
        }
        scan.reset();
    }
    EXPECT_TRUE(WaitForBackgroundWork(std::chrono::seconds(30)));
}

// A stop never waits for a worker: with workers held inside a system call,
// the stop and the end of Take come at once, and scans let go meanwhile
// take no more threads than the pool holds; once the calls return, the
// workers read nothing more, every one is back in the pool and the stores
// let go are freed.
TEST_F(FolderScanTest, AStopNeverWaitsAndScansLetGoGiveTheirWorkersBack) {
    ASSERT_TRUE(Make({"a", "held/", "held/x"}));
    for (int i = 0; i < 40; ++i) ASSERT_TRUE(m_dir.MakeFolder("held/" + std::to_string(i)));
    static std::atomic<bool> hold{true};
    static std::atomic<int> inside{0};
    hold = true;
    inside = 0;
    Sys().openAt = [](int dirFd, const char* name, int flags) {
        if (BaseName(name) != "a" && dirFd != AT_FDCWD) {
            ++inside;
            while (hold.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            --inside;
        }
        return RealSystemCalls().openAt(dirFd, name, flags);
    };
    std::vector<std::weak_ptr<FileStore>> stores;
    for (int i = 0; i < 8; ++i) {
        auto store = std::make_shared<FileStore>();
        stores.push_back(store);
        FolderScan scan(m_dir.Folder(), ScanOptions{}, store);
        scan.Start();
        ScanBatch batch;
        std::vector<FileItem*> rows;
        while (rows.empty() && scan.Take(batch, std::chrono::seconds(10))) rows = batch.rows;
        ASSERT_EQ(rows.size(), 1u);  // "a"; the workers are held in "held"
        while (inside.load() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        scan.RequestStop();
        EXPECT_FALSE(scan.Take(batch, std::chrono::seconds(0)));
        EXPECT_EQ(scan.Result().end, ScanEnd::kStoppedByRequest);
    }  // each let go with its workers inside the call
    EXPECT_LE(WorkerPool::Shared().ThreadCount(), WorkerPool::Shared().Bound() + WorkerPool::kOtherTasks);
    EXPECT_FALSE(WaitForBackgroundWork(std::chrono::milliseconds(20)));
    // Back from the call, a stopped worker reads nothing more.
    static std::atomic<int> reads{0};
    reads = 0;
    Sys().readDir = [](DIR* dir) {
        ++reads;
        return RealSystemCalls().readDir(dir);
    };
    hold = false;
    ASSERT_TRUE(WaitForBackgroundWork(std::chrono::seconds(30)));
    EXPECT_EQ(reads.load(), 0);
    for (const auto& store : stores) EXPECT_TRUE(store.expired());
}
