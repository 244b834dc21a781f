#include <gtest/gtest.h>

#include "platform/CodePage.h"

using namespace norvane;

namespace {
constexpr int kSjis = kCodePageShiftJis;
constexpr int kUtf8 = kCodePageUtf8;
}  // namespace

TEST(CodePage, ChosenFromTheLocaleTextsCodeset) {
    EXPECT_EQ(CodePageFromLocaleName("ja_JP.SJIS"), kSjis);
    EXPECT_EQ(CodePageFromLocaleName("ja_JP.sjis"), kSjis);
    EXPECT_EQ(CodePageFromLocaleName("ja_JP.Shift_JIS@euro"), kSjis);
    EXPECT_EQ(CodePageFromLocaleName("ja_JP.SHIFT-JIS"), kSjis);
    EXPECT_EQ(CodePageFromLocaleName("x.CP932"), kSjis);
    EXPECT_EQ(CodePageFromLocaleName("x.WINDOWS-31J"), kSjis);
    EXPECT_EQ(CodePageFromLocaleName("x.MS_KANJI"), kSjis);
    EXPECT_EQ(CodePageFromLocaleName("ja_JP.UTF-8"), kUtf8);
    EXPECT_EQ(CodePageFromLocaleName("ja_JP.eucJP"), kUtf8);
    EXPECT_EQ(CodePageFromLocaleName("C"), kUtf8);
    EXPECT_EQ(CodePageFromLocaleName("SJIS"), kUtf8);  // no codeset part
    EXPECT_EQ(CodePageFromLocaleName(""), kUtf8);
}

TEST(CodePage, EnvironmentOrderIsLcAllThenLcCtypeThenLang) {
    const char* saved[3] = {getenv("LC_ALL"), getenv("LC_CTYPE"), getenv("LANG")};
    std::string copies[3];
    for (int i = 0; i < 3; ++i) copies[i] = saved[i] ? saved[i] : "";
    setenv("LC_ALL", "", 1);
    setenv("LC_CTYPE", "ja_JP.SJIS", 1);
    setenv("LANG", "en_US.UTF-8", 1);
    EXPECT_EQ(CodePageFromEnvironment(), kSjis);
    setenv("LC_ALL", "C.UTF-8", 1);
    EXPECT_EQ(CodePageFromEnvironment(), kUtf8);
    unsetenv("LC_ALL");
    unsetenv("LC_CTYPE");
    setenv("LANG", "ja_JP.CP932", 1);
    EXPECT_EQ(CodePageFromEnvironment(), kSjis);
    const char* names[3] = {"LC_ALL", "LC_CTYPE", "LANG"};
    for (int i = 0; i < 3; ++i) {
        if (saved[i]) setenv(names[i], copies[i].c_str(), 1);
        else unsetenv(names[i]);
    }
}

TEST(CodePage, TrailByteThatLooksLikeASeparatorIsNoSeparator) {
    // 0x95 0x5C is a kanji whose trail byte is a backslash; 0x83 0x2F does
    // not exist, but a trail byte never ends a text as a character of its own.
    std::string kanji = "dir\x95\x5C";
    EXPECT_FALSE(EndsWithCharacter(kanji, '\\', kSjis));
    EXPECT_TRUE(EndsWithCharacter(kanji, '\\', kUtf8));
    std::string folder = kanji;
    AppendSeparatorIfMissing(folder, '\\', kSjis);
    EXPECT_EQ(folder, kanji + "\\");
    std::string ends = "dir\x95\x5C\\";
    EXPECT_TRUE(EndsWithCharacter(ends, '\\', kSjis));
    std::string slash = "/tmp/a/";
    AppendSeparatorIfMissing(slash, '/', kSjis);
    EXPECT_EQ(slash, "/tmp/a/");
    EXPECT_FALSE(EndsWithCharacter("", '/', kSjis));
}

TEST(CodePage, CaseSensitiveOrderIsByCharacterCode) {
    // Half-width katakana 0xB1 is a single byte: it sorts before 0x82A0.
    EXPECT_LT(MbsCmp("\xB1", "\x82\xA0", kSjis), 0);
    // Byte-wise it would be the other way round for the lead byte 0x82 < 0xB1.
    EXPECT_GT(MbsCmp("\x82\xA0", "\xB1", kSjis), 0);
    EXPECT_LT(MbsCmp("A", "a", kSjis), 0);
    EXPECT_LT(MbsCmp("ab", "abc", kUtf8), 0);
    EXPECT_EQ(MbsCmp("same", "same", kSjis), 0);
}

TEST(CodePage, CaseInsensitiveFoldsAsciiAndFullWidthCapitalsOnly) {
    EXPECT_EQ(MbsICmp("README.TXT", "readme.txt", kSjis), 0);
    EXPECT_EQ(MbsICmp("README.TXT", "readme.txt", kUtf8), 0);
    // Full-width Ａ (82 60) equals ａ (82 81); Greek Α (83 9F) equals α (83 BF);
    // Cyrillic А (84 40) equals а (84 70) and О (84 4F) equals о (84 80).
    EXPECT_EQ(MbsICmp("\x82\x60", "\x82\x81", kSjis), 0);
    EXPECT_EQ(MbsICmp("\x83\x9F", "\x83\xBF", kSjis), 0);
    EXPECT_EQ(MbsICmp("\x84\x40", "\x84\x70", kSjis), 0);
    EXPECT_EQ(MbsICmp("\x84\x4F", "\x84\x80", kSjis), 0);
    // A trail byte is never folded: 83 41 (ア) and 83 61 (ヂ) differ.
    EXPECT_NE(MbsICmp("\x83\x41", "\x83\x61", kSjis), 0);
    // Full-width and half-width forms are not equal.
    EXPECT_NE(MbsICmp("\x82\x60", "A", kSjis), 0);
    // Folding is to small letters: "_" (0x5F) sorts before "a" but after "A"-"Z" unfolded.
    EXPECT_LT(MbsICmp("_", "A", kSjis), 0);
}

TEST(CodePage, CutNeverSplitsACharacter) {
    std::string sjis = "a\x82\xA0\x82\xA2";  // a, two double-byte characters
    EXPECT_EQ(CutToBytes(sjis, 2, kSjis), "a");
    EXPECT_EQ(CutToBytes(sjis, 3, kSjis), "a\x82\xA0");
    EXPECT_EQ(CutToBytes(sjis, 10, kSjis), sjis);
    std::string utf8 = "a\xE3\x81\x82";  // a, あ
    EXPECT_EQ(CutToBytes(utf8, 3, kUtf8), "a");
    EXPECT_EQ(CutToBytes(utf8, 4, kUtf8), utf8);
}

TEST(CodePage, ConversionsMarkWhatTheTargetCannotHold) {
    EXPECT_EQ(Utf8ToCodePage("\xE3\x81\x82", kSjis), "\x82\xA0");
    EXPECT_EQ(CodePageToUtf8("\x82\xA0\xB1", kSjis), "\xE3\x81\x82\xEF\xBD\xB1");
    // Hangul has no place in 932; an invalid UTF-8 byte is one "?".
    EXPECT_EQ(Utf8ToCodePage("x\xEA\xB0\x80y", kSjis), "x?y");
    EXPECT_EQ(FileSystemToCodePage("a\xFF" "b", kUtf8, kSjis), "a?b");
    // A lone lead byte at the end of a 932 text.
    EXPECT_EQ(CodePageToUtf8("ok\x82", kSjis), "ok?");
    // The same code page passes bytes unchanged, invalid ones included.
    EXPECT_EQ(FileSystemToCodePage("a\xFF", kUtf8, kUtf8), "a\xFF");
}

TEST(CodePage, MarksAreEncodedInTheCodePage) {
    EXPECT_EQ(MarkBlackCircle(kSjis), "\x81\x9C");
    EXPECT_EQ(MarkFullWidthSpace(kSjis), "\x81\x40");
    EXPECT_EQ(MarkWhiteCircle(kSjis), "\x81\x9B");
    EXPECT_EQ(MarkBlackCircle(kUtf8), "●");
    EXPECT_EQ(MarkFullWidthSpace(kUtf8), "　");
    EXPECT_EQ(MarkWhiteCircle(kUtf8), "○");
}
