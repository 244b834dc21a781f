#include <gtest/gtest.h>

#include <array>
#include <string>

#include "settings/SettingsFile.h"
#include "support/TempDir.h"

using namespace norvane;

// Loads keep the defaults for missing and empty keys; saves write every key
// in order and keep the other section.
TEST(SettingsFile, LoadsKeepTheDefaultsAndSavesWriteEveryKeyInOrder) {
    TempDir dir;
    const std::string path = dir / "Norvane.ini", saved = dir / "Saved.ini";
    TitleSettings titles;
    LoadTitleSettings(titles, path);  // no file: nothing changes
    EXPECT_EQ(titles, TitleSettings());

    std::string longTitle(600, 'T');
    WriteAll(path, "[MAINWINDOW]\r\nHISTORY1=/data\r\nHISTORY2=\r\n[title]\r\nVALUE1=\r\nvalue2 = Date \r\nVALUE4=" +
                       longTitle + "\r\nBGCOLOR=\"#ABCDEF\"\r\n");
    LoadTitleSettings(titles, path);  // the colour is taken as text, without its quotes
    EXPECT_EQ(titles, (TitleSettings{{"FileName", "Date", "FileSize", longTitle.substr(0, 519), "Expansion", "Directory"},
                                     "#ABCDEF",
                                     "#ffffff"}));
    FolderHistory history;
    LoadFolderHistory(history, path);
    EXPECT_EQ(history, (FolderHistory{"/data"}));

    history = {"/a", "/b", "/c"};
    ASSERT_TRUE(SaveFolderHistory(history, saved));
    EXPECT_EQ(ReadAll(saved),
              "[MAINWINDOW]\r\nHISTORY1=/a\r\nHISTORY2=/b\r\nHISTORY3=/c\r\nHISTORY4=\r\nHISTORY5=\r\n"
              "HISTORY6=\r\nHISTORY7=\r\nHISTORY8=\r\n");
    ASSERT_TRUE(SaveTitleSettings(TitleSettings(), saved));
    std::string text = ReadAll(saved);
    EXPECT_NE(text.find("HISTORY3=/c\r\n"), std::string::npos);
    EXPECT_NE(text.find("[TITLE]\r\nVALUE1=FileName\r\nVALUE2=FileDate&Time\r\nVALUE3=FileSize\r\n"
                        "VALUE4=Version\r\nVALUE5=Expansion\r\nVALUE6=Directory\r\nBGCOLOR=#0066cc\r\n"
                        "FONTCOLOR=#ffffff\r\n"),
              std::string::npos)
        << text;
    EXPECT_FALSE(SaveFolderHistory(history, dir / "missing/Norvane.ini"));
}
