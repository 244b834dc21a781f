// Finding the program's own folder, where its settings and exports go, when
// /proc/self/exe cannot be read.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "export/ExportSettings.h"
#include "settings/SettingsFile.h"
#include "platform/Paths.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

namespace norvane {
namespace {

namespace fs = std::filesystem;

TEST(ExecutableFolder, FallsBackToArgv0AndNeverToTheCurrentFolder) {
    TempDir dir;
    ASSERT_TRUE(dir.MakeFolder("bin") && dir.MakeFolder("real") && dir.MakeFile("real/tool", "#!"));
    ::chmod((dir / "real/tool").c_str(), 0755);
    fs::create_symlink("../real/tool", dir / "bin/tool");
    ASSERT_TRUE(dir.MakeFile("bin/plain"));  // not executable: no PATH match

    // argv[0] as the shell found it: a path (relative to the current folder)
    // or a name searched in PATH, whose empty entry is the current folder.
    EXPECT_EQ(ProgramPathFromArgument("bin/tool", "", dir.Path()), dir / "bin/tool");
    EXPECT_EQ(ProgramPathFromArgument("/abs/tool", "", ""), "/abs/tool");
    EXPECT_EQ(ProgramPathFromArgument("tool", "/nowhere:" + (dir / "bin"), "/"), dir / "bin/tool");
    EXPECT_EQ(ProgramPathFromArgument("tool", "/nowhere::", dir / "bin"), dir / "bin/tool");
    EXPECT_EQ(ProgramPathFromArgument("plain", dir / "bin", "/"), "");
    EXPECT_EQ(ProgramPathFromArgument("", dir / "bin", "/"), "");

    // The link first; without it the file argv[0] names, links followed.
    const std::string strOwn = ExecutableFolder();
    EXPECT_EQ(ExecutableFolderFrom("/proc/self/exe", dir / "bin/tool"), strOwn);
    EXPECT_EQ(ExecutableFolderFrom(dir / "no-link", dir / "bin/tool"), dir / "real/");
    EXPECT_EQ(ExecutableFolderFrom(dir / "no-link", dir / "bin"), "");
    EXPECT_EQ(ExecutableFolderFrom(dir / "no-link", ""), "");

    // Neither found, and no home for the configuration folder: no settings
    // path at all rather than a bare name, which would have put the file in
    // the current folder.
    const ScopedEnvironment noHome("HOME", std::nullopt), noConfig("XDG_CONFIG_HOME", std::nullopt);
    SetExecutableLinkForTests(dir / "no-link");
    SetProgramArgument("no-such-program-anywhere");
    EXPECT_EQ(ExecutableFolder(), "");
    EXPECT_EQ(SettingsPath(), "");
    EXPECT_FALSE(SaveTitleSettings(TitleSettings(), SettingsPath()));
    SetProgramArgument(dir / "bin/tool");
    EXPECT_EQ(SettingsPath(), dir / "real/Norvane.ini");
    SetExecutableLinkForTests({});
    SetProgramArgument("");
    EXPECT_EQ(ExecutableFolder(), strOwn);
}

}  // namespace
}  // namespace norvane
