#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>

#include "platform/CodePage.h"

using namespace norvane;

namespace {
constexpr int kSjis = kCodePageShiftJis;
constexpr int kUtf8 = kCodePageUtf8;
}  // namespace

// From the codeset of the first of LC_ALL, LC_CTYPE and LANG that is set and
// not empty.
TEST(CodePage, ChosenFromTheLocalesCodeset) {
    const std::pair<const char*, int> cases[] = {
        {"ja_JP.SJIS", kSjis},
        {"ja_JP.sjis", kSjis},
        {"ja_JP.Shift_JIS@euro", kSjis},
        {"ja_JP.SHIFT-JIS", kSjis},
        {"x.CP932", kSjis},
        {"x.WINDOWS-31J", kSjis},
        {"x.MS_KANJI", kSjis},
        {"ja_JP.UTF-8", kUtf8},
        {"ja_JP.eucJP", kUtf8},
        {"C", kUtf8},
        {"SJIS", kUtf8} /* no codeset part */,
        {"", kUtf8},
    };
    for (auto [locale, expected] : cases) EXPECT_EQ(CodePageFromLocaleName(locale), expected) << locale;

    const char* names[] = {"LC_ALL", "LC_CTYPE", "LANG"};
    std::optional<std::string> saved[3];
    for (int i = 0; i < 3; ++i)
        if (const char* value = getenv(names[i])) saved[i] = value;
    const char* environments[][3] = {// LC_ALL, LC_CTYPE, LANG (null: unset)
                                     {"", "ja_JP.SJIS", "en_US.UTF-8"},
                                     {"C.UTF-8", "ja_JP.SJIS", "en_US.UTF-8"},
                                     {nullptr, nullptr, "ja_JP.CP932"}};
    const int expected[] = {kSjis, kUtf8, kSjis};
    for (int c = 0; c < 3; ++c) {
        for (int i = 0; i < 3; ++i) environments[c][i] ? setenv(names[i], environments[c][i], 1) : unsetenv(names[i]);
        EXPECT_EQ(CodePageFromEnvironment(), expected[c]) << "case " << c;
    }
    for (int i = 0; i < 3; ++i) saved[i] ? setenv(names[i], saved[i]->c_str(), 1) : unsetenv(names[i]);
}

TEST(CodePage, TrailByteThatLooksLikeASeparatorIsNoSeparator) {
    // 0x95 0x5C is a kanji whose trail byte is a backslash.
    std::string folder = "dir\x95\x5C";
    EXPECT_FALSE(EndsWithCharacter(folder, '\\', kSjis));
    EXPECT_TRUE(EndsWithCharacter(folder, '\\', kUtf8));
    AppendSeparatorIfMissing(folder, '\\', kSjis);
    EXPECT_EQ(folder, "dir\x95\x5C\\");
    EXPECT_TRUE(EndsWithCharacter(folder, '\\', kSjis));
    EXPECT_TRUE(EndsWithCharacter("/tmp/a/", '/', kSjis));
    EXPECT_FALSE(EndsWithCharacter("", '/', kSjis));
}

TEST(CodePage, ComparisonsGoByCharacterCodeAndFoldAsciiAndFullWidthCapitalsOnly) {
    auto sign = [](int n) { return (n > 0) - (n < 0); };
    // a, b, code page, then the sign of MbsCmp and of MbsICmp.
    const std::tuple<const char*, const char*, int, int, int> cases[] = {
        // Half-width katakana 0xB1 is one byte: it sorts before 0x82A0 (byte-wise it would not).
        {"\xB1", "\x82\xA0", kSjis, -1, -1},
        {"\x82\xA0", "\xB1", kSjis, 1, 1},
        {"ab", "abc", kUtf8, -1, -1},
        {"same", "same", kSjis, 0, 0},
        {"README.TXT", "readme.txt", kSjis, -1, 0},
        {"README.TXT", "readme.txt", kUtf8, -1, 0},
        // Full-width Ａ (82 60) folds to ａ (82 81), Greek Α (83 9F) to α (83 BF),
        // Cyrillic А (84 40) to а (84 70) and О (84 4F) to о (84 80).
        {"\x82\x60", "\x82\x81", kSjis, -1, 0},
        {"\x83\x9F", "\x83\xBF", kSjis, -1, 0},
        {"\x84\x40", "\x84\x70", kSjis, -1, 0},
        {"\x84\x4F", "\x84\x80", kSjis, -1, 0},
        // A trail byte is never folded: 83 41 (ア) and 83 61 (ヂ) differ; nor are
        // full-width and half-width forms equal. Folding is to small letters:
        // "_" (0x5F) sorts before "a" but after "A".
        {"\x83\x41", "\x83\x61", kSjis, -1, -1},
        {"\x82\x60", "A", kSjis, 1, 1},
        {"_", "A", kSjis, 1, -1},
    };
    for (auto [a, b, codePage, cmp, icmp] : cases) {
        EXPECT_EQ(sign(MbsCmp(a, b, codePage)), cmp) << a << " / " << b << " in " << codePage;
        EXPECT_EQ(sign(MbsICmp(a, b, codePage)), icmp) << a << " / " << b << " in " << codePage;
    }
}

// Cuts in 932 are checked through the settings reader's buffer sizes.
TEST(CodePage, ConversionsMarkWhatTheTargetCannotHoldAndCutsKeepCharactersWhole) {
    EXPECT_EQ(Utf8ToCodePage("\xE3\x81\x82", kSjis), "\x82\xA0");
    EXPECT_EQ(CodePageToUtf8("\x82\xA0\xB1", kSjis), "\xE3\x81\x82\xEF\xBD\xB1");
    // Hangul has no place in 932; an invalid UTF-8 byte is one "?".
    EXPECT_EQ(Utf8ToCodePage("x\xEA\xB0\x80y", kSjis), "x?y");
    EXPECT_EQ(FileSystemToCodePage("a\xFF"
                                   "b",
                                   kUtf8, kSjis),
              "a?b");
    // A lone lead byte at the end of a 932 text.
    EXPECT_EQ(CodePageToUtf8("ok\x82", kSjis), "ok?");
    // The same code page passes bytes unchanged, invalid ones included (a
    // folder kept in the history must name the same folder again).
    EXPECT_EQ(FileSystemToCodePage("a\xFF", kUtf8, kUtf8), "a\xFF");

    EXPECT_EQ(CutToBytes("a\xE3\x81\x82", 3, kUtf8), "a");  // a, あ
    EXPECT_EQ(CutToBytes("a\xE3\x81\x82", 4, kUtf8), "a\xE3\x81\x82");
}

// Names that are no valid text in their own encoding are shown with one "?"
// per invalid sequence, whichever way they are converted; valid names keep
// their bytes (also 932's double-byte characters whose trail looks like
// ASCII).
TEST(CodePage, NamesThatAreNoValidTextShowOneMarkPerInvalidSequence) {
    const std::pair<std::string, std::string> utf8[] = {
        {"\xE6\x97\xA5\xE6\x9C\xAC.txt", "\xE6\x97\xA5\xE6\x9C\xAC.txt"},
        {"a\xFF\xFE"
         "b",
         "a??b"},                           // two bytes that start nothing
        {"a\xE6\x97.txt", "a?.txt"},        // a character cut short
        {"\xC0\xAF\xED\xA0\x80", "?????"},  // overlong, surrogate: every byte
        {"\xF4\x90\x80\x80x", "????x"},     // past U+10FFFF
    };
    for (const auto& [raw, shown] : utf8) {
        EXPECT_EQ(FileNameToCodePage(raw, kUtf8, kUtf8), shown) << raw;
        EXPECT_EQ(FileNameToCodePage(raw, kUtf8, kSjis), Utf8ToCodePage(shown, kSjis)) << raw;
    }
    EXPECT_EQ(FileNameToCodePage("\x95\x5C\x8E\xA6.txt", kSjis, kSjis), "\x95\x5C\x8E\xA6.txt");  // 表示
    EXPECT_EQ(FileNameToCodePage("a\x85\x40\xA0z\x82", kSjis, kSjis), "a??z?");
}

// A terminal gets no control character of a text: C0, DEL and (UTF-8) C1
// and stray bytes become escapes; characters, double-byte ones whose trail
// byte is below 0x80 included, stay as they are.
TEST(CodePage, TerminalTextShowsControlCharactersAsEscapes) {
    EXPECT_EQ(VisibleControls("a\x1b]0;title\x07\x1b[2Jb\x7f", kUtf8), "a\\x1b]0;title\\x07\\x1b[2Jb\\x7f");
    EXPECT_EQ(VisibleControls("\xC2\x9B"
                              "2J\xC2\xA0\xE6\x97\xA5\xFF",
                              kUtf8),
              "\\xc2\\x9b2J\xC2\xA0\xE6\x97\xA5\\xff");
    EXPECT_EQ(VisibleControls("\x95\x5C\x0A\x83\x7E\x9B", kSjis), "\x95\x5C\\x0a\x83\x7E\x9B");
}
