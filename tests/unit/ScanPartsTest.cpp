// The descriptor cache and the error policy of the scan, each on its own.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <deque>
#include <string>
#include <vector>

#include "catalogue/DescriptorCache.h"
#include "catalogue/ScanErrorPolicy.h"
#include "platform/CodePage.h"
#include "support/TempDir.h"

using namespace norvane;

namespace {

// The folder a descriptor names, as the kernel has it.
std::string PathOf(int fd) {
    char link[64];
    char path[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

int OpenDescriptors() {
    int n = 0;
    for (int fd = 0; fd < 4096; ++fd) n += fcntl(fd, F_GETFD) != -1 ? 1 : 0;
    return n;
}

}  // namespace

// A chain of folders is reached from the nearest descriptor still held, by
// name, never with more descriptors than the cache keeps; a folder whose
// subfolders are all open gives its descriptor up; a link where a folder
// was is not followed; the cache closes what it holds when it goes.
TEST(DescriptorCacheTest, FoldersAreReachedFromTheNearestOpenOne) {
    TempDir dir;
    constexpr std::size_t kDepth = 40;
    // chain[i] is dir/d0/.../d(i-1); chain[0] the top.
    std::vector<std::string> paths{dir.Path()};
    std::vector<std::string> names{""};
    for (std::size_t i = 1; i <= kDepth; ++i) {
        names.push_back("d" + std::to_string(i - 1));
        paths.push_back(paths.back() + "/" + names.back());
        ASSERT_EQ(::mkdir(paths.back().c_str(), 0755), 0);
    }
    auto makeChain = [&](std::deque<CachedFolder>& chain) {
        chain.resize(kDepth + 1);
        chain[0].rawName = paths[0];
        for (std::size_t i = 1; i <= kDepth; ++i) {
            chain[i].parent = &chain[i - 1];
            chain[i].rawName = names[i];
        }
    };
    const int before = OpenDescriptors();
    std::uint32_t error = ERROR_SUCCESS;
    {
        DescriptorCache cache(4);
        std::deque<CachedFolder> chain;
        makeChain(chain);
        for (std::size_t i = kDepth; i >= 1 && i <= kDepth; i -= 7) {
            const int fd = cache.Acquire(&chain[i], &error);
            ASSERT_GE(fd, 0) << error;
            EXPECT_EQ(PathOf(fd), paths[i]);
            EXPECT_LE(cache.OpenCount(), 4u + 1u);  // the one in use besides the cached ones
            cache.Release(&chain[i], false);
        }
        EXPECT_LE(cache.OpenCount(), 4u);
    }
    EXPECT_EQ(OpenDescriptors(), before);
    {
        // The top keeps its own; a folder whose one child was opened gives
        // its own up.
        DescriptorCache cache(4);
        std::deque<CachedFolder> chain;
        makeChain(chain);
        const int top = ::open(paths[0].c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        cache.Keep(&chain[0], top, 1);
        const int d0 = ::openat(top, "d0", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        cache.Keep(&chain[1], d0, 1);
        EXPECT_EQ(cache.OpenCount(), 2u);
        ASSERT_EQ(cache.Acquire(&chain[1], &error), d0);
        cache.Release(&chain[1], true);
        EXPECT_EQ(cache.OpenCount(), 1u);
        const int d1 = cache.Acquire(&chain[2], &error);  // through the top again
        ASSERT_GE(d1, 0);
        EXPECT_EQ(PathOf(d1), paths[2]);
        cache.Release(&chain[2], false);
    }
    EXPECT_EQ(OpenDescriptors(), before);
    {
        ASSERT_EQ(::rename(paths[2].c_str(), (dir / "moved").c_str()), 0);
        ASSERT_EQ(::symlink((dir / "moved").c_str(), paths[2].c_str()), 0);
        DescriptorCache cache(4);
        std::deque<CachedFolder> chain;
        makeChain(chain);
        EXPECT_EQ(cache.Acquire(&chain[3], &error), -1);
        EXPECT_EQ(error, ERROR_PATH_NOT_FOUND);  // a link is no folder: as if gone
    }
    EXPECT_EQ(OpenDescriptors(), before);
}

// The policy's decisions for a top folder and a subfolder: what is
// reported (once, after the folder's name), what is skipped, and what stops
// the scan with which reason and folder.
TEST(ScanErrorPolicyTest, WhatIsReportedSkippedOrStops) {
    SetCodePage(kCodePageUtf8);
    FileStore store;
    const Folder* top = store.AddFolder("/top/");
    const Folder* sub = store.AddFolder(top, "sub");
    const std::string denied = "アクセスが拒否されました。処理を続けます。\n";
    const std::string gone = "指定されたパスが見つかりません。\n";
    const std::string readFault = "指定されたデバイスから読み取ることができません。\n";
    struct Case {
        bool top;
        std::uint32_t openError;
        Verdict verdict;
        std::string report;  // after "folder: "
        std::uint32_t errorCode;
        bool folderMissing;
    };
    const Case cases[] = {
        {false, ERROR_SUCCESS, Verdict::kEnumerate, "", 0, false},
        {false, ERROR_ACCESS_DENIED, Verdict::kSkip, denied, 0, false},
        {true, ERROR_ACCESS_DENIED, Verdict::kStop, denied, ERROR_ACCESS_DENIED, false},
        {false, ERROR_PATH_NOT_FOUND, Verdict::kSkip, gone, 0, false},
        {true, ERROR_PATH_NOT_FOUND, Verdict::kStop, gone, ERROR_PATH_NOT_FOUND, true},
        {false, ERROR_READ_FAULT, Verdict::kStop, readFault, ERROR_READ_FAULT, false},
    };
    const ScanErrorPolicy policy(true);
    for (const Case& c : cases) {
        FolderOutcome outcome;
        outcome.top = c.top;
        outcome.openError = c.openError;
        ScanResult result;
        std::vector<std::string> report;
        const std::string name = c.top ? "/top/" : "/top/sub/";
        EXPECT_EQ(policy.JudgeOpen(c.top ? top : sub, outcome, result, report), c.verdict)
            << c.top << " " << c.openError;
        EXPECT_EQ(report,
                  c.report.empty() ? std::vector<std::string>{} : std::vector<std::string>{name + ": " + c.report})
            << c.top << " " << c.openError;
        EXPECT_EQ(result.errorCode, c.errorCode);
        EXPECT_EQ(result.folder, c.errorCode != 0 ? name : std::string());
        EXPECT_EQ(result.folderMissing, c.folderMissing);
    }

    // Without a folder named, a scan ends without a word.
    FolderOutcome none;
    none.top = true;
    none.openError = ERROR_PATH_NOT_FOUND;
    ScanResult result;
    std::vector<std::string> report;
    EXPECT_EQ(ScanErrorPolicy(false).JudgeOpen(store.AddFolder(""), none, result, report), Verdict::kStop);
    EXPECT_TRUE(report.empty() && result.reason.empty() && !result.folderMissing);

    // A folder that is one above it is skipped, naming both.
    FolderOutcome loop;
    loop.loopOf = top;
    EXPECT_EQ(policy.JudgeOpen(sub, loop, result, report), Verdict::kSkip);
    EXPECT_EQ(report, std::vector<std::string>{"/top/sub/: " + LoopText("/top/")});

    // Read to its end: a folder listed but not entered is reported; an error
    // after the first entries stops the scan.
    FolderOutcome listed;
    listed.denied = true;
    report.clear();
    EXPECT_EQ(policy.JudgeEnd(sub, listed, result, report), Verdict::kSkip);
    EXPECT_EQ(report, std::vector<std::string>{"/top/sub/: " + denied});
    FolderOutcome fault;
    fault.endError = ERROR_READ_FAULT;
    report.clear();
    EXPECT_EQ(policy.JudgeEnd(sub, fault, result, report), Verdict::kStop);
    EXPECT_EQ(result.reason, readFault);
    EXPECT_EQ(result.folder, "/top/sub/");
}
