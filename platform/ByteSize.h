// The short size text with a unit: 1024-based units, three significant
// figures, cut rather than rounded ("1.49 KB", "999 KB", "0.97 MB").
#pragma once

#include <cstdint>
#include <string>

#include "platform/CodePage.h"

namespace norvane {

// Under 1024 bytes the number and " バイト" (encoded in the code page).
void AppendByteSizeText(std::string& out, std::uint64_t size, int codePage = CurrentCodePage());
std::string ByteSizeText(std::uint64_t size, int codePage = CurrentCodePage());

}  // namespace norvane
