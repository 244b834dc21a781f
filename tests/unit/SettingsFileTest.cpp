#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/Paths.h"
#include "export/ExportSettings.h"
#include "settings/SettingsFile.h"
#include "support/ScopedEnvironment.h"
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
    EXPECT_EQ(titles,
              (TitleSettings{{"FileName", "Date", "FileSize", longTitle.substr(0, 519), "Expansion", "Directory"},
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

// Portable use beside the program when the file is there or the folder may
// be written; otherwise the configuration folder, made on the first save.
TEST(SettingsFile, LivesBesideTheProgramOrInTheConfigurationFolder) {
    TempDir dir;
    ASSERT_TRUE(dir.MakeFolder("bin") && dir.MakeFolder("home"));
    const std::string bin = dir / "bin/", config = dir / "home/.config/";
    SettingsPlaces places{bin, true, config};
    EXPECT_EQ(SettingsPathIn(places), bin + "Norvane.ini");
    places.programFolderWritable = false;
    EXPECT_EQ(SettingsPathIn(places), config + "norvane/Norvane.ini");
    ASSERT_TRUE(dir.MakeFile("bin/Norvane.ini", ""));
    EXPECT_EQ(SettingsPathIn(places), bin + "Norvane.ini");
    places.programFolder.clear();
    EXPECT_EQ(SettingsPathIn(places), config + "norvane/Norvane.ini");
    places.configHome.clear();
    EXPECT_EQ(SettingsPathIn(places), "");

    // Only the configuration folder is made, and only as far as it goes.
    places.configHome = config;
    EXPECT_TRUE(CreateSettingsFolder(dir / "elsewhere/Norvane.ini", places));
    EXPECT_FALSE(std::filesystem::exists(dir / "elsewhere"));
    ASSERT_TRUE(CreateSettingsFolder(config + "norvane/Norvane.ini", places));
    EXPECT_TRUE(std::filesystem::is_directory(config + "norvane"));
    EXPECT_EQ(std::filesystem::status(config).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);
}

// The process's own places: the environment's configuration home, and
// without the program's folder the last export's folder, else home.
TEST(SettingsFile, ExportsProposeTheLastExportsFolderWhereTheProgramsIsNotWritable) {
    TempDir dir;
    ASSERT_TRUE(dir.MakeFolder("home") && dir.MakeFolder("out"));
    ScopedEnvironment home("HOME", dir / "home");
    ScopedEnvironment xdg("XDG_CONFIG_HOME", "relative/ignored");
    SetExecutableLinkForTests(dir / "no-link");
    SetProgramArgument("");
    EXPECT_EQ(CurrentSettingsPlaces().configHome, dir / "home/.config/");
    EXPECT_EQ(SettingsPath(), dir / "home/.config/norvane/Norvane.ini");
    EXPECT_EQ(ExportProposalFolder(), dir / "home/");

    RememberExportFolder(dir / "out/");
    EXPECT_EQ(ExportProposalFolder(), dir / "out/");
    EXPECT_NE(ReadAll(SettingsPath()).find("[EXPORT]\r\nFOLDER=" + dir / "out/\r\n"), std::string::npos);
    ASSERT_TRUE(SaveFolderHistory({"/a"}, SettingsPath()));  // the history section keeps the export's
    std::filesystem::remove(dir / "out");
    EXPECT_EQ(ExportProposalFolder(), dir / "home/");  // a folder gone since
    SetExecutableLinkForTests({});
}

// A folder of the history comes back whole, however long, also with blanks
// or quotes around it; one that no line could hold is left out rather than
// saved cut.
TEST(SettingsFile, HistoryFoldersComeBackWhole) {
    TempDir dir;
    const std::string path = dir / "Norvane.ini";
    const std::string deep = "/srv/" + std::string(700, 'd') + "/x";  // 707 bytes
    const FolderHistory history = {deep,          "/srv/trailing ", " leading",
                                   "\"quoted\"",  "/srv/a\r\nb",    std::string(kMaxHistoryFolderBytes + 1, 'L'),
                                   "'single' and"};
    ASSERT_TRUE(SaveFolderHistory(history, path));
    FolderHistory loaded;
    EXPECT_EQ(LoadFolderHistory(loaded, path), SettingsFileState::kRead);
    EXPECT_EQ(loaded, (FolderHistory{deep, "/srv/trailing ", " leading", "\"quoted\"", "", "", "'single' and"}));
    // Plain folders are written as they are.
    EXPECT_NE(ReadAll(path).find("HISTORY1=" + deep + "\r\nHISTORY2=\"/srv/trailing \"\r\n"), std::string::npos);
}

// A file larger than a settings file can be is neither read nor rewritten,
// however large (a sparse one of 2 GiB costs nothing to look at).
TEST(SettingsFile, AFileOverOneMebibyteIsIgnored) {
    TempDir dir;
    const std::string path = dir / "Norvane.ini";
    WriteAll(path, "[TITLE]\r\nVALUE1=Huge\r\n[MAINWINDOW]\r\nHISTORY1=/srv\r\n");
    ASSERT_EQ(::truncate(path.c_str(), off_t{2} << 30), 0);
    TitleSettings titles;
    FolderHistory history;
    EXPECT_EQ(LoadTitleSettings(titles, path), SettingsFileState::kTooLarge);
    EXPECT_EQ(LoadFolderHistory(history, path), SettingsFileState::kTooLarge);
    EXPECT_EQ(titles, TitleSettings());
    EXPECT_EQ(history, FolderHistory());
    EXPECT_FALSE(SaveFolderHistory({"/a"}, path));
    EXPECT_EQ(std::filesystem::file_size(path), std::uintmax_t{2} << 30);
    EXPECT_NE(SettingsSaveFailureText(path).find("1 MiB"), std::string::npos);

    // At the limit it is still read; a save that would pass it is refused.
    WriteAll(path, "[TITLE]\r\nVALUE1=Edge\r\n;" + std::string(kMaxSettingsFileBytes - 25, 'c') + "\r\n");
    ASSERT_EQ(std::filesystem::file_size(path), kMaxSettingsFileBytes);
    EXPECT_EQ(LoadTitleSettings(titles, path), SettingsFileState::kRead);
    EXPECT_EQ(titles.titles[0], "Edge");
    EXPECT_FALSE(SaveFolderHistory({"/a"}, path));
    EXPECT_EQ(std::filesystem::file_size(path), kMaxSettingsFileBytes);
}

// Saving goes through a symbolic link only when the link and the file it
// names are the user's own; otherwise both stay as they were, and the
// message says why.
TEST(SettingsFile, SavesGoThroughTheUsersOwnLinksOnly) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give files to another user";
    TempDir dir;
    const std::string target = dir / "passwd", link = dir / "Norvane.ini";
    const std::string text = "root:x:0:0:root:/root:/bin/bash\n";
    WriteAll(target, text);
    ASSERT_EQ(::symlink("passwd", link.c_str()), 0);
    const uid_t other = 4321;
    for (int planted : {0, 1}) {
        // A link of another user's to the user's file, then the user's own
        // link to another user's file.
        ASSERT_EQ(::lchown(link.c_str(), planted == 0 ? other : 0, 0), 0);
        ASSERT_EQ(::chown(target.c_str(), planted == 0 ? 0 : other, 0), 0);
        EXPECT_FALSE(SaveTitleSettings(TitleSettings(), link));
        EXPECT_FALSE(SaveFolderHistory({"/a"}, link));
        EXPECT_EQ(ReadAll(target), text);
        EXPECT_TRUE(std::filesystem::is_symlink(link));
        EXPECT_TRUE(SettingsLinkRefused(link));
        EXPECT_NE(SettingsSaveFailureText(link).find("シンボリック リンク"), std::string::npos);
    }
    // Both the user's: the file it names is saved, the link stays.
    ASSERT_EQ(::chown(target.c_str(), 0, 0), 0);
    EXPECT_FALSE(SettingsLinkRefused(link));
    EXPECT_TRUE(SaveFolderHistory({"/a"}, link));
    EXPECT_NE(ReadAll(target).find("HISTORY1=/a\r\n"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
}
