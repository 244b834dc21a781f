#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "app/SettingsFile.h"
#include "support/TempDir.h"

using namespace norvane;

TEST(SettingsFile, TitlesKeepTheirDefaultsWhenKeysAreMissingOrEmpty) {
    TempDir dir;
    std::string path = dir / "Norvane.ini";
    std::array<std::string, 8> titles = TitleSettings().values;
    LoadTitleSettings(titles, path);  // no file: nothing changes
    EXPECT_EQ(titles, TitleSettings().values);

    std::string longTitle(600, 'T');
    WriteAll(path, "[MAINWINDOW]\r\nHISTORY1=/data\r\nHISTORY2=\r\n[title]\r\nVALUE1=\r\nvalue2 = Date \r\nVALUE4=" +
                       longTitle + "\r\nBGCOLOR=\"#ABCDEF\"\r\n");
    LoadTitleSettings(titles, path);
    EXPECT_EQ(titles[0], "FileName");  // empty value: unchanged
    EXPECT_EQ(titles[1], "Date");
    EXPECT_EQ(titles[2], "FileSize");  // missing: default
    EXPECT_EQ(titles[3], longTitle.substr(0, 519));
    EXPECT_EQ(titles[6], "#ABCDEF");  // taken as text, quotes dropped
    EXPECT_EQ(titles[7], "#ffffff");

    std::array<std::string, 8> history;
    LoadFolderHistory(history, path);
    EXPECT_EQ(history[0], "/data");
    for (std::size_t i = 1; i < 8; ++i) EXPECT_EQ(history[i], "");
}

TEST(SettingsFile, SavesWriteEveryKeyInOrderAndKeepTheOtherSection) {
    TempDir dir;
    std::string path = dir / "Norvane.ini";
    std::array<std::string, 8> history{"/a", "/b", "/c"};
    ASSERT_TRUE(SaveFolderHistory(history, path));
    EXPECT_EQ(ReadAll(path),
              "[MAINWINDOW]\r\nHISTORY1=/a\r\nHISTORY2=/b\r\nHISTORY3=/c\r\nHISTORY4=\r\nHISTORY5=\r\n"
              "HISTORY6=\r\nHISTORY7=\r\nHISTORY8=\r\n");
    ASSERT_TRUE(SaveTitleSettings(TitleSettings().values, path));
    std::string text = ReadAll(path);
    EXPECT_NE(text.find("HISTORY3=/c\r\n"), std::string::npos);
    EXPECT_NE(text.find("[TITLE]\r\nVALUE1=FileName\r\nVALUE2=FileDate&Time\r\nVALUE3=FileSize\r\n"
                        "VALUE4=Version\r\nVALUE5=Expansion\r\nVALUE6=Directory\r\nBGCOLOR=#0066cc\r\n"
                        "FONTCOLOR=#ffffff\r\n"),
              std::string::npos)
        << text;
    // A second save replaces the values in place.
    history[0] = "/z";
    ASSERT_TRUE(SaveFolderHistory(history, path));
    EXPECT_EQ(ReadAll(path).find("HISTORY1=/z\r\n"), text.find("HISTORY1=/a\r\n"));
    EXPECT_FALSE(SaveFolderHistory(history, dir / "missing/Norvane.ini"));
}
