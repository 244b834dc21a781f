// The private-profile reader and writer: lookup rules, buffer cuts, the
// layout of rewritten files and what a failed or hostile write leaves behind.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/CodePage.h"
#include "platform/PrivateProfile.h"
#include "support/TempDir.h"

namespace norvane {
namespace {

namespace fs = std::filesystem;

class PrivateProfileTest : public ::testing::Test {
protected:
    PrivateProfileTest() { SetCodePage(kCodePageUtf8); }
    ~PrivateProfileTest() override { SetCodePage(m_nOldCodePage); }

    void Put(const std::string& bytes) { WriteAll(m_strPath, bytes); }
    std::string Get(std::string_view section, std::string_view key, std::size_t size = 520,
                    std::string_view def = "DEF") {
        std::string value = "untouched";
        std::size_t n = GetPrivateProfileString(section, key, def, &value, size, m_strPath);
        EXPECT_EQ(n, value.size());
        return value;
    }
    // 1 while the settings file is alone: no temporary file left behind.
    auto Files() const { return std::distance(fs::directory_iterator(m_dir.Path()), fs::directory_iterator()); }

    const int m_nOldCodePage = CurrentCodePage();
    TempDir m_dir;
    const std::string m_strPath = m_dir / "Norvane.ini";
};

TEST_F(PrivateProfileTest, LookupRulesForNamesCommentsValuesLineEndsAndDuplicates) {
    EXPECT_EQ(Get("s", "k"), "DEF");  // no file
    std::string value;
    EXPECT_EQ(GetPrivateProfileString("s", "k", "DEF", &value, 520, m_dir.Path()), 3u);  // a folder
    Put("k=outside\r\n[ Title ]\r\n \tValue1 \t= x\r\nempty=\r\n;c=1\r\n  ;d=1\r\nbare\r\n#h=1\r\n"
        "k=1\r\nk=2\r\n[B]\r\nj=0\r\n[title]\r\nk=3\r\nj=4\r\n");
    const char* cases[][3] = {
        {"TITLE", "VALUE1", "x"}, {" title\t", "value1 ", "x"},  // ASCII case, outer blanks
        {"title", "empty", ""},   {"other", "empty", "DEF"},     // KEY= is not a missing key
        {"title", "c", "DEF"},    {"title", ";c", "DEF"},       {"title", ";d", "DEF"},
        {"title", "bare", "DEF"}, {"title", "#h", "1"},                             // only ";" starts a comment
        {"title", "k", "1"},      {"title", "j", "DEF"},        {"B", "k", "DEF"},  // the first of duplicates wins
    };
    for (auto [section, key, expected] : cases) EXPECT_EQ(Get(section, key), expected) << section << "/" << key;

    // Values lose their outer blanks, then one matching pair of quotes.
    const std::pair<std::string, std::string> values[] = {
        {"k= \t a b \t", "a b"},
        {"k=\"a b\"", "a b"},
        {"k= \" a \" ", " a "},
        {"k='x'", "x"},
        {"k=\"x'", "\"x'"},
        {"k=\"", "\""},
        {"k=\"\"", ""},
        {"k=\"'a'\"", "'a'"},
        {"k=a;b#c=d", "a;b#c=d"},
        {"k=\xE3\x80\x80x\xE3\x80\x80", "\xE3\x80\x80x\xE3\x80\x80"},  // full-width space stays
    };
    for (const auto& [line, expected] : values) {
        Put("[s]\r\n" + line + "\r\n");
        EXPECT_EQ(Get("s", "k"), expected) << line;
    }

    // Line ends of every style, after a byte order mark.
    const std::string text = "\xEF\xBB\xBF[A]\nk=1\r\r\n[B]\rk=2";  // LF, CR, CR LF, CR
    Put(text);
    EXPECT_EQ(Get("A", "k"), "1");
    EXPECT_EQ(Get("B", "k"), "2");
    // Fed a byte at a time (a CR LF split between reads) the answer is the same.
    PrivateProfileLookup lookup("B", "k", kCodePageUtf8);
    for (char c : text) lookup.Feed(std::string_view(&c, 1));
    EXPECT_EQ(lookup.Finish(), "2");

    // In 932 a trail byte that looks like "A" is not folded to "a".
    SetCodePage(kCodePageShiftJis);
    Put("[\x83\x41]\r\nk=1\r\n[\x83\x61]\r\nk=2\r\n");
    EXPECT_EQ(Get("\x83\x61", "K"), "2");
    EXPECT_EQ(Get("\x83\x41", "K"), "1");
}

TEST_F(PrivateProfileTest, BufferSizeCutsValuesAndDefaultsAlike) {
    Put("[s]\r\nlong=" + std::string(600, 'x') + "\r\nkana=a\x82\xA0\r\n");
    EXPECT_EQ(Get("s", "long"), std::string(519, 'x'));
    EXPECT_EQ(Get("s", "long", 1), "");
    EXPECT_EQ(Get("s", "long", 0), "");
    SetCodePage(kCodePageShiftJis);
    EXPECT_EQ(Get("s", "kana", 3), "a");  // never half of the double-byte character
    EXPECT_EQ(Get("s", "none", 4, "\x82\xA0\x82\xA0"), "\x82\xA0");
}

TEST_F(PrivateProfileTest, WritesReplaceInPlaceAndAddKeysAndSectionsWhereWindowsDoes) {
    Put("\xEF\xBB\xBF; settings\n[TITLE]\n  Value1 = old\nVALUE2=two\n;end of titles\n\n[MAINWINDOW]\nHISTORY1=/a");
    EXPECT_TRUE(WritePrivateProfileString("title", "VALUE1", "new", m_strPath));
    EXPECT_TRUE(WritePrivateProfileString("TITLE", " BGCOLOR ", " \t#0066cc ", m_strPath));
    EXPECT_TRUE(WritePrivateProfileStrings("NEW", {{"k", "v"}, {"empty", ""}}, m_strPath));  // in the order given
    EXPECT_EQ(
        ReadAll(m_strPath),
        "\xEF\xBB\xBF; settings\r\n[TITLE]\r\nValue1=new\r\nVALUE2=two\r\nBGCOLOR=#0066cc\r\n;end of titles\r\n\r\n"
        "[MAINWINDOW]\r\nHISTORY1=/a\r\n[NEW]\r\nk=v\r\nempty=\r\n");
    EXPECT_EQ(Files(), 1);

    Put("[A]\r\n;no keys yet\r\n");
    EXPECT_TRUE(WritePrivateProfileString("A", "k", "v", m_strPath));
    EXPECT_EQ(ReadAll(m_strPath), "[A]\r\nk=v\r\n;no keys yet\r\n");

    // Through a symbolic link the file it names is replaced; the link stays.
    ASSERT_TRUE(m_dir.MakeFolder("real"));
    fs::rename(m_strPath, m_dir / "real/Norvane.ini");
    fs::create_symlink("real/Norvane.ini", m_strPath);
    ASSERT_TRUE(WritePrivateProfileString("A", "k", "new", m_strPath));
    EXPECT_TRUE(fs::is_symlink(m_strPath));
    EXPECT_EQ(ReadAll(m_dir / "real/Norvane.ini"), "[A]\r\nk=new\r\n;no keys yet\r\n");
}

TEST_F(PrivateProfileTest, RefusedAndFailedWritesLeaveTheOldFileAndNoTemporaryFile) {
    EXPECT_FALSE(WritePrivateProfileString("s", "k", "v", m_dir / "missing/Norvane.ini"));
    EXPECT_FALSE(fs::exists(m_dir / "missing"));
    EXPECT_FALSE(WritePrivateProfileString("s", "k", "v", m_dir.Path()));  // a folder

    // A line break in a value or a name cannot add keys.
    ASSERT_TRUE(WritePrivateProfileString("s", "k", "a\r\nEVIL=1\n[x]", m_strPath));
    EXPECT_EQ(ReadAll(m_strPath), "[s]\r\nk=a\r\n");
    for (auto [section, key] : {std::pair{"s", "a=b"}, {"s", ";c"}, {"s", "[x"}, {"s", " "}, {"a\nb", "k"}, {"", "k"}})
        EXPECT_FALSE(WritePrivateProfileString(section, key, "v", m_strPath)) << section << "/" << key;
    EXPECT_EQ(ReadAll(m_strPath), "[s]\r\nk=a\r\n");

    ::chmod(m_strPath.c_str(), 0444);  // read-only, also for root
    EXPECT_FALSE(WritePrivateProfileString("s", "k", "new", m_strPath));
    ::chmod(m_strPath.c_str(), 0640);

    // The temporary file cannot be written whole (the file size limit stands
    // for a full disk): the old file stays as it was.
    struct rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    const struct rlimit small { 64, old.rlim_max };
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &small);
    bool written = WritePrivateProfileString("s", "k", std::string(1000, 'n'), m_strPath);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(ReadAll(m_strPath), "[s]\r\nk=a\r\n");
    EXPECT_EQ(Files(), 1);

    // A successful write keeps the file's permissions, and its owner and
    // group when root saves another user's file (tests run as root).
    const bool bRoot = ::geteuid() == 0;
    if (bRoot) {
        ASSERT_EQ(::chown(m_strPath.c_str(), 4321, 4322), 0);
    }
    ASSERT_TRUE(WritePrivateProfileString("s", "k", "new", m_strPath));
    EXPECT_EQ(fs::status(m_strPath).permissions(), fs::perms(0640));
    struct stat st {};
    ASSERT_EQ(::stat(m_strPath.c_str(), &st), 0);
    if (bRoot) {
        EXPECT_TRUE(st.st_uid == 4321 && st.st_gid == 4322) << st.st_uid << ":" << st.st_gid;
    }
    // A second hard link still shares the file.
    fs::create_hard_link(m_strPath, m_dir / "other.ini");
    ASSERT_TRUE(WritePrivateProfileString("s", "k", "newer", m_strPath));
    EXPECT_EQ(ReadAll(m_dir / "other.ini"), "[s]\r\nk=newer\r\n");
    EXPECT_EQ(Files(), 2);
}

// A file of 100 MB is read to its end (in linear time: a quadratic reader
// would keep the test past ctest's timeout).
TEST_F(PrivateProfileTest, HundredMegabyteFilesAreReadToTheirEnd) {
    std::string lines, noise;  // 50 MB of short lines, then one 50 MB line of binary bytes
    while (lines.size() < (std::size_t{1} << 20)) lines += "key=value\r\n";
    while (noise.size() < (std::size_t{1} << 20)) noise += std::string("\0\x81=[\xFF;\x7F\xE3", 8);
    std::ofstream out(m_strPath, std::ios::binary);
    out << "[s]\r\n";
    for (int i = 0; i < 100; ++i) out << (i < 50 ? lines : noise);
    out << "\r\nlast=found\r\n";
    out.close();
    EXPECT_EQ(Get("s", "last"), "found");
    EXPECT_EQ(Get("s", "k"), "DEF");

    // Too large to be a settings file: not rewritten, left as it was.
    const auto size = fs::file_size(m_strPath);
    EXPECT_FALSE(WritePrivateProfileString("s", "k", "v", m_strPath));
    EXPECT_EQ(fs::file_size(m_strPath), size);
}

}  // namespace
}  // namespace norvane
