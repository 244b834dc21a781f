// File times: 100-ns ticks since 1601-01-01 UTC, and their local-time text.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "platform/WinTypes.h"

namespace norvane {

inline constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600LL;

// The FILETIME of a time the file system reports (seconds and nanoseconds
// since 1970, negative times included). Times before 1601 give 0; times past
// the largest FILETIME give the largest.
FILETIME FileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds);

// The FILETIME of now.
FILETIME CurrentFileTime();

// Seconds since 1970 of a FILETIME (rounded toward the past).
std::int64_t UnixSecondsFromFileTime(FILETIME time);

// The local broken-down time of a FILETIME (TZ honoured, daylight saving
// decided by the C library). Never fails: where the C library cannot convert,
// the UTC calendar is used.
std::tm LocalTimeFromFileTime(FILETIME time);

// "YYYY-MM-DDTHH:MM:SS.mmmZ": the UTC time to the millisecond, as ISO 8601
// writes it (and as SQLite's date functions read it).
std::string UtcIsoText(FILETIME time);
// The FILETIME of such a text (a shorter fraction, or none, is taken too);
// false for any other text or a time before 1601.
bool ParseUtcIsoText(std::string_view text, FILETIME* time);

// "YYYY/MM/DD HH:MM" in local time, the hour padded with a space
// ("2010/03/05  9:07"); every FILETIME gives a text.
void AppendDateText(std::string& out, FILETIME time);
std::string DateText(FILETIME time);
// The same with the seconds: "YYYY/MM/DD HH:MM:SS".
void AppendDateSecondsText(std::string& out, FILETIME time);

}  // namespace norvane
