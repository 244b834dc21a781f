// What the system-independent parts of platform/ ask of the system's own
// part (linux/ or windows/). Not for use outside platform/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace norvane {

// text converted between 932 and UTF-8 (from != to): a character the target
// cannot hold, or input that is not valid in the source, becomes "?".
std::string ConvertText(std::string_view text, int fromCodePage, int toCodePage);

// True when bytes (one character's, as CharLength cuts them) are a character
// of code page 932.
bool IsShiftJisCharacter(std::string_view bytes);

// The UTF-8 character at text[pos]: its length, and whether it is one. An
// invalid sequence is as long as its longest start that could still have
// become a character (at least one byte), so that it counts once.
std::size_t Utf8SequenceAt(std::string_view text, std::size_t pos, bool* valid);

// The local calendar time of seconds since 1970 (UTC); false where the
// system cannot give it.
bool LocalCalendar(std::int64_t unixSeconds, std::tm* result);

}  // namespace norvane
