// The file sink replaces its target only with a whole file: what a failed,
// abandoned or committed export leaves on disk.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <iterator>
#include <string>

#include "export/OutputSink.h"
#include "support/TempDir.h"

namespace norvane {
namespace {

namespace fs = std::filesystem;

// Everything the folder holds, so that a temporary file left behind shows.
std::size_t EntryCount(const TempDir& dir) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()));
}

struct stat StatOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st;
}

// Writes bytes through a sink with a file size limit standing for a full
// disk: the write fails part-way.
bool WriteWithFullDisk(FileOutputSink& sink, const std::string& bytes) {
    struct rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    const struct rlimit small { 4096, old.rlim_max };
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &small);
    const bool bWritten = sink.Write(bytes);
    const bool bCommitted = sink.Commit();
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    return bWritten && bCommitted;
}

TEST(FileOutputSink, FailedOrAbandonedWritesLeaveTheTargetAsItWas) {
    TempDir dir;
    const std::string path = dir / "list.txt";
    ASSERT_TRUE(dir.MakeFile("list.txt", "old list"));
    ::chmod(path.c_str(), 0640);
    const std::string big(3 * FileOutputSink::kBufferSize, 'x');

    FileOutputSink full;
    ASSERT_TRUE(full.Open(path)) << full.ErrorText();
    EXPECT_FALSE(WriteWithFullDisk(full, big));
    EXPECT_EQ(full.ErrorNumber(), EFBIG);
    EXPECT_EQ(full.ErrorText(), path + ": ファイル サイズが制限を超えているため、保存できません。");
    EXPECT_FALSE(full.TargetChanged());
    EXPECT_EQ(ReadAll(path), "old list");
    EXPECT_EQ(StatOf(path).st_mode & 07777, 0640u);

    // Nothing appears at a new target that fails, is abandoned, or whose
    // sink goes away uncommitted; the old file stays through all of it.
    for (const std::string& target : {dir / "new.txt", path}) {
        FileOutputSink failing;
        ASSERT_TRUE(failing.Open(target));
        EXPECT_FALSE(WriteWithFullDisk(failing, big));
        FileOutputSink abandoned;
        ASSERT_TRUE(abandoned.Open(target));
        EXPECT_TRUE(abandoned.Write("new"));
        abandoned.Abandon();
        FileOutputSink dropped;
        ASSERT_TRUE(dropped.Open(target));
        EXPECT_TRUE(dropped.Write(big));
    }
    EXPECT_FALSE(fs::exists(dir / "new.txt"));
    EXPECT_EQ(ReadAll(path), "old list");
    EXPECT_EQ(EntryCount(dir), 1u);
}

TEST(FileOutputSink, CommitReplacesTheFileKeepingModeOwnerLinksAndDevices) {
    TempDir dir;
    const std::string path = dir / "list.txt";
    ASSERT_TRUE(dir.MakeFile("list.txt", "old list, longer than the new one"));
    ::chmod(path.c_str(), 0600);
    // Tests run as root: a file of another user keeps that user.
    const bool bRoot = ::geteuid() == 0;
    if (bRoot) {
        ASSERT_EQ(::chown(path.c_str(), 4321, 4322), 0);
    }

    FileOutputSink sink;
    ASSERT_TRUE(sink.Open(path)) << sink.ErrorText();
    EXPECT_TRUE(sink.Write("new list"));
    EXPECT_TRUE(sink.Flush());
    EXPECT_EQ(ReadAll(path), "old list, longer than the new one");
    EXPECT_TRUE(sink.Commit()) << sink.ErrorText();
    EXPECT_EQ(ReadAll(path), "new list");
    const struct stat st = StatOf(path);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    if (bRoot) {
        EXPECT_TRUE(st.st_uid == 4321 && st.st_gid == 4322) << st.st_uid << ":" << st.st_gid;
    }

    // A link keeps its place and names the new file; a dangling one gets
    // its file. A file with another hard link stays the one both names share.
    fs::create_symlink("list.txt", dir / "link.txt");
    fs::create_symlink("made.txt", dir / "dangling.txt");
    fs::create_hard_link(path, dir / "hard.txt");
    for (const char* name : {"link.txt", "dangling.txt", "hard.txt"}) {
        FileOutputSink other;
        ASSERT_TRUE(other.Open(dir / name)) << other.ErrorText();
        EXPECT_TRUE(other.Write(name));
        EXPECT_TRUE(other.Commit()) << other.ErrorText();
    }
    EXPECT_TRUE(fs::is_symlink(dir / "link.txt") && fs::is_symlink(dir / "dangling.txt"));
    EXPECT_EQ(ReadAll(dir / "made.txt"), "dangling.txt");
    EXPECT_EQ(ReadAll(path), "hard.txt");
    EXPECT_EQ(StatOf(path).st_ino, StatOf(dir / "hard.txt").st_ino);
    EXPECT_EQ(EntryCount(dir), 5u);

    // A device, or a pipe named by a link of /proc (as /dev/stdout is), is
    // written as it is, never replaced by a file.
    FileOutputSink null;
    ASSERT_TRUE(null.Open("/dev/null")) << null.ErrorText();
    EXPECT_TRUE(null.Write("nothing") && null.Commit());
    EXPECT_TRUE(S_ISCHR(StatOf("/dev/null").st_mode));
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    FileOutputSink piped;
    ASSERT_TRUE(piped.Open("/proc/self/fd/" + std::to_string(pipeFds[1]))) << piped.ErrorText();
    EXPECT_TRUE(piped.Write("through a pipe") && piped.Commit());
    char received[32] = {};
    EXPECT_EQ(::read(pipeFds[0], received, sizeof received - 1), 14);
    EXPECT_STREQ(received, "through a pipe");
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    FileOutputSink missing;
    EXPECT_FALSE(missing.Open(dir / "no/list.txt"));
    EXPECT_EQ(missing.ErrorText(), dir / "no/list.txt: 指定されたパスが見つかりません。");
}

}  // namespace
}  // namespace norvane
