// Path rules: the executable's folder, extensions, the root test, folder
// existence and creation.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/CodePage.h"

namespace norvane {

// The folder of the running executable, ending with "/" (from
// /proc/self/exe); empty when it cannot be read.
std::string ExecutableFolder();

// Where the extension of a bare file name starts: its last period (a trail
// byte never counts in 932; a lead byte without a valid trail byte after it
// stands alone); name.size() when it has none. ".bashrc" is all extension,
// "trailing." gives ".", "a..b" gives ".b".
std::size_t ExtensionOffset(std::string_view name, int codePage = CurrentCodePage());

// True for the file system root ("/", or only separators).
bool IsRootFolder(std::string_view folder);

// True when the exact text names an existing directory (links followed;
// a relative text resolves against the current directory).
bool FolderExists(std::string_view text);

// Creates one folder: 0 when made, ERROR_ALREADY_EXISTS (183) when something
// of that name exists, ERROR_PATH_NOT_FOUND (3) when the parent is missing
// or the text is empty, ERROR_ACCESS_DENIED (5) and others as the system says.
std::uint32_t CreateFolder(std::string_view text);

}  // namespace norvane
