// File times: 100-ns ticks since 1601-01-01 UTC, and their local-time text.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "platform/WinTypes.h"

namespace norvane {

inline constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600LL;

// The FILETIME of a time the file system reports (seconds and nanoseconds
// since 1970, negative times included). Times before 1601 give 0; times past
// the largest FILETIME give the largest.
FILETIME FileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds);

// Seconds since 1970 of a FILETIME (rounded toward the past).
std::int64_t UnixSecondsFromFileTime(FILETIME time);

// The local broken-down time of a FILETIME (TZ honoured, daylight saving
// decided by the C library). Never fails: where the C library cannot convert,
// the UTC calendar is used.
std::tm LocalTimeFromFileTime(FILETIME time);

// "YYYY/MM/DD HH:MM" in local time, the hour padded with a space
// ("2010/03/05  9:07"); every FILETIME gives a text.
void AppendDateText(std::string& out, FILETIME time);
std::string DateText(FILETIME time);

}  // namespace norvane
