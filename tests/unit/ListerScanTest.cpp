// The lister's scan: its progress line, its exit statuses for a stop signal
// and an unreadable folder, and the code page that applies to texts only.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <vector>

#include "cli/Lister.h"
#include "cli/ListerScan.h"
#include "platform/CodePage.h"
#include "platform/SystemCalls.h"
#include "platform/linux/SystemCallTable.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

using namespace norvane;

namespace {

std::atomic<int> g_reads{0};
std::atomic<int> g_signal{0};

// Every folder read sends the signal after its hundredth entry.
struct dirent* SignallingReadDir(DIR* dir) {
    if (++g_reads == 100 && g_signal != 0) kill(getpid(), g_signal);
    return RealSystemCalls().readDir(dir);
}

int DenyingOpenAt(int dirFd, const char* name, int flags) {
    if (std::string_view(name).ends_with("top")) {
        errno = EACCES;
        return -1;
    }
    return RealSystemCalls().openAt(dirFd, name, flags);
}

int RunList(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    return RunLister(static_cast<int>(argv.size()), argv.data());
}

class ListerScanTest : public ::testing::Test {
protected:
    void TearDown() override {
        Sys() = RealSystemCalls();
        SetCodePage(kCodePageUtf8);
        SetFileSystemCodePage(kCodePageUtf8);
    }
    TempDir m_dir;
};

}  // namespace

// Counts, rate, and the end of a folder that does not fit, cut between
// characters; nothing at all wider than the terminal.
TEST_F(ListerScanTest, ProgressLineFitsTheTerminal) {
    ScanProgress progress{.files = 1500, .folders = 20, .folder = {}};
    EXPECT_EQ(ProgressLine(progress, 0.5, 80, "/data/"), "1500 files, 20 folders, 3000 files/s, /data/");
    // Three characters of three bytes, two columns each.
    const std::string folder = "/a/\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E/very/long/path/to/the/folder/";
    for (int columns : {50, 55, 200}) {
        const std::string line = ProgressLine(progress, 1, columns, folder);
        const bool whole = line.find('\xE6') != std::string::npos;
        EXPECT_LE(static_cast<int>(line.size()) - (whole ? 3 : 0), columns - 1) << line;
        EXPECT_TRUE(line.ends_with("/folder/")) << line;
        EXPECT_EQ(line.find(", ...") != std::string::npos, !whole) << line;
    }
    EXPECT_EQ(ProgressLine(progress, 1, 55, folder), "1500 files, 20 folders, 1500 files/s, ...o/the/folder/");
    EXPECT_EQ(ProgressLine(progress, 1, 20, folder), "1500 files, 20 fold");
    // A folder named with escape sequences cannot clear the screen.
    EXPECT_EQ(ProgressLine(progress, 1, 80, "/a/\x1b[2J\x1b]0;t\x07/"),
              "1500 files, 20 folders, 1500 files/s, /a/\\x1b[2J\\x1b]0;t\\x07/");
}

// SIGINT, SIGTERM or SIGHUP during the scan: the lister ends with 128 and the
// signal's number and writes nothing at its output.
TEST_F(ListerScanTest, StopSignalEndsTheListerWithoutOutput) {
    for (int i = 0; i < 400; ++i) ASSERT_TRUE(m_dir.MakeFile("f" + std::to_string(i)));
    const std::string out = m_dir / "out.txt";
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        g_reads = 0;
        g_signal = signal;
        Sys().readDir = SignallingReadDir;
        EXPECT_EQ(RunList({"norvane-list", "--settings=/dev/null", "--threads=2", "-o", out, m_dir.Path()}),
                  128 + signal);
        EXPECT_NE(::access(out.c_str(), F_OK), 0);
    }
    g_signal = 0;
    EXPECT_EQ(RunList({"norvane-list", "--settings=/dev/null", "--quiet", "-o", out, m_dir.Path()}), 0);
    EXPECT_EQ(ReadAll(out).size() > 400 * 4, true);
}

// A top folder that cannot be read leaves an empty list and exit status 1;
// a folder the code page cannot name is read by its own bytes and nothing
// is created.
TEST_F(ListerScanTest, UnreadableTopFolderAndForeignNames) {
    ASSERT_TRUE(m_dir.MakeFolder("top"));
    Sys().openAt = DenyingOpenAt;
    testing::internal::CaptureStderr();
    EXPECT_EQ(RunList({"norvane-list", "--settings=/dev/null", "-o", m_dir / "out.txt", m_dir / "top"}), 1);
    const std::string err = testing::internal::GetCapturedStderr();
    Sys() = RealSystemCalls();
    // The reason ends the one line that says so: no blank line after it.
    EXPECT_NE(err.find("norvane-list: the scan stopped early: アクセスが拒否されました。\n"), std::string::npos) << err;
    EXPECT_EQ(err.find("\n\n"), std::string::npos) << err;

    ASSERT_TRUE(m_dir.MakeFolder("\xED\x95\x9C\xEA\xB5\xAD") && m_dir.MakeFile("\xED\x95\x9C\xEA\xB5\xAD/file.txt"));
    EXPECT_EQ(RunList({"norvane-list", "--settings=/dev/null", "--code-page=932", "-f", "text", "-c", "name,folder",
                       "-o", m_dir / "sjis.txt", m_dir / "\xED\x95\x9C\xEA\xB5\xAD"}),
              0);
    EXPECT_EQ(ReadAll(m_dir / "sjis.txt"), "\x81\x9C" + m_dir.Folder() +
                                               "?"
                                               "?/\r\nfile.txt\t" +
                                               m_dir.Folder() +
                                               "?"
                                               "?/\r\n");
    EXPECT_NE(::access((m_dir / "??").c_str(), F_OK), 0);
}

// The texts around each name come in the locale's encoding, as the folder
// does, and go out in the output's code page both ways.
TEST_F(ListerScanTest, PrefixAndSuffixAreWrittenInTheOutputsCodePage) {
    ASSERT_TRUE(m_dir.MakeFolder("in") && m_dir.MakeFile("in/a.txt"));
    const std::string out = m_dir / "out.txt";
    const std::vector<std::string> common = {"norvane-list", "--settings=/dev/null", "-f", "text", "-c",
                                             "name",         "--no-headings",        "-o", out,    m_dir / "in"};
    auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin() + 1, common.begin() + 1, common.end());
        return RunList(args);
    };
    ASSERT_EQ(run({"norvane-list", "--code-page=932", "--prefix=\xE5\x89\x8D", "--suffix=\xE5\xBE\x8C"}), 0);
    EXPECT_EQ(ReadAll(out),
              "\x91\x4F"
              "a.txt\x8C\xE3\r\n");
    {
        ScopedEnvironment locale("LC_ALL", "ja_JP.SJIS");
        ASSERT_EQ(run({"norvane-list", "--code-page=65001", "--prefix=\x91\x4F", "--suffix=\x8C\xE3"}), 0);
    }
    EXPECT_EQ(ReadAll(out),
              "\xE5\x89\x8D"
              "a.txt\xE5\xBE\x8C\r\n");
}

// Messages that name a folder show its control characters as escapes: a
// warning about a folder the scan could not read, and a folder that is not
// there.
TEST_F(ListerScanTest, MessagesShowControlCharactersAsEscapes) {
    const std::string odd = "e\x1b]0;title\x07", denied = odd + "/\x1b[2Jtop";
    ASSERT_TRUE(m_dir.MakeFolder(odd) && m_dir.MakeFolder(denied));
    Sys().openAt = DenyingOpenAt;
    testing::internal::CaptureStderr();
    EXPECT_EQ(RunList({"norvane-list", "--settings=/dev/null", "-o", m_dir / "out.txt", m_dir / odd}), 0);
    EXPECT_EQ(RunList({"norvane-list", "--settings=/dev/null", m_dir / denied + "x"}), 2);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.find_first_of("\x1b\x07"), std::string::npos) << err;
    EXPECT_NE(err.find("e\\x1b]0;title\\x07/\\x1b[2Jtop"), std::string::npos) << err;
    EXPECT_NE(err.find("norvane-list: '" + m_dir.Path() + "/e\\x1b]0;title\\x07/\\x1b[2Jtopx' is not a folder"),
              std::string::npos)
        << err;
}
