// Path rules: the executable's folder, extensions, the root test, folder
// existence.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/CodePage.h"

namespace norvane {

// Remembers the program's argv[0] at start-up, before anything may change
// the current folder: the executable's folder is found from it when
// /proc/self/exe cannot be read (no /proc mounted, a restricted sandbox).
void SetProgramArgument(std::string_view argv0);

// The folder of the running executable, ending with "/": from /proc/self/exe,
// else from the remembered argv[0]; empty when neither names an existing
// file (callers say so rather than fall back to the current folder).
std::string ExecutableFolder();

// The file argv[0] names as the shell found it: relative to currentFolder
// when it holds a "/", else the first executable file of that name in the
// folders of pathVariable; empty when there is none.
std::string ProgramPathFromArgument(std::string_view argv0, std::string_view pathVariable,
                                    std::string_view currentFolder);

// ExecutableFolder with the link to read and the program's path given: the
// folder of the file the link names, else of programPath (links followed);
// empty when neither can be found.
std::string ExecutableFolderFrom(const std::string& selfLink, const std::string& programPath);

// Tests stand in a link of their own for /proc/self/exe (one that does not
// exist makes it unreadable); empty puts /proc/self/exe back.
void SetExecutableLinkForTests(std::string link);

// Where the extension of a bare file name starts: its last period (a trail
// byte never counts in 932; a lead byte without a valid trail byte after it
// stands alone); name.size() when it has none. ".bashrc" is all extension,
// "trailing." gives ".", "a..b" gives ".b".
std::size_t ExtensionOffset(std::string_view name, int codePage = CurrentCodePage());

// True for the file system root ("/", or only separators).
bool IsRootFolder(std::string_view folder);

// True when the exact text names an existing directory (links followed;
// a relative text resolves against the current directory). Both look
// through the system-call table, as the scan does.
bool FolderExists(std::string_view text);
// True when it names something that exists but is no directory (a file).
bool ExistsAsNonFolder(std::string_view text);

}  // namespace norvane
