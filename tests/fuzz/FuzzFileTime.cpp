// Converts arbitrary file-system times into file times and date texts.
// Input: seconds and nanoseconds since 1970 (8 bytes each, any values, as a
// file system may report them), a raw 64-bit file time, and a byte choosing
// the time zone.
//
// Checked, besides freedom from undefined behaviour: times clamp at 0 and at
// the largest file time and never wrap; later times never give earlier file
// times; a time in range comes back to its seconds; every file time has a
// date text of the form YYYY/MM/DD HH:MM (a five-digit year at the far end),
// which in UTC is the calendar the C library gives.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <string>

#include "platform/FileTime.h"

namespace {

constexpr std::uint64_t kMaxFileTime = std::numeric_limits<std::uint64_t>::max();
constexpr std::int64_t kTicksPerSecond = 10000000;
constexpr const char* kZones[4] = {"UTC", "JST-9", "CET-1CEST,M3.5.0,M10.5.0/3", "<-1130>11:30"};

void Check(bool condition) {
    if (!condition) std::abort();
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void CheckDateText(const std::string& text) {
    // The year has four digits, or five after 9999.
    const std::size_t year = text.size() == 17 ? 5 : 4;
    Check(text.size() == year + 12);
    for (std::size_t i = 0; i < year; ++i) Check(IsDigit(text[i]));
    const char* rest = text.c_str() + year;
    Check(rest[0] == '/' && IsDigit(rest[1]) && IsDigit(rest[2]) && rest[3] == '/' && IsDigit(rest[4]) &&
          IsDigit(rest[5]) && rest[6] == ' ' && (rest[7] == ' ' || IsDigit(rest[7])) && IsDigit(rest[8]) &&
          rest[9] == ':' && IsDigit(rest[10]) && IsDigit(rest[11]));
    const int month = (rest[1] - '0') * 10 + (rest[2] - '0');
    const int day = (rest[4] - '0') * 10 + (rest[5] - '0');
    const int hour = (rest[7] == ' ' ? 0 : (rest[7] - '0') * 10) + (rest[8] - '0');
    const int minute = (rest[10] - '0') * 10 + (rest[11] - '0');
    Check(month >= 1 && month <= 12 && day >= 1 && day <= 31 && hour <= 23 && minute <= 59);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 25) return 0;
    std::int64_t seconds = 0;
    std::int64_t nanoseconds = 0;
    std::uint64_t raw = 0;
    std::memcpy(&seconds, data, 8);
    std::memcpy(&nanoseconds, data + 8, 8);
    std::memcpy(&raw, data + 16, 8);
    const char* zone = kZones[data[24] & 3];
    static const char* s_pZone = nullptr;
    if (zone != s_pZone) {
        setenv("TZ", zone, 1);
        tzset();
        s_pZone = zone;
    }

    const norvane::FILETIME time = norvane::FileTimeFromUnix(seconds, nanoseconds);
    // Seconds and nanoseconds as one count of 100-ns ticks since 1601, in
    // 128 bits, against which the 64-bit result must be the clamped value.
    const __int128 wideNanoseconds = nanoseconds;
    const __int128 ticks = (static_cast<__int128>(seconds) + norvane::kSecondsFrom1601To1970) * kTicksPerSecond +
                           (wideNanoseconds - (wideNanoseconds % 100 + 100) % 100) / 100;
    if (ticks <= 0) {
        Check(time == 0);
    } else if (time == kMaxFileTime) {
        // Clamped: only from within the last second of the range.
        Check(ticks > static_cast<__int128>(kMaxFileTime - kTicksPerSecond));
    } else {
        Check(static_cast<__int128>(time) == ticks);
    }
    // Later never gives earlier.
    if (seconds < std::numeric_limits<std::int64_t>::max()) {
        Check(norvane::FileTimeFromUnix(seconds + 1, nanoseconds) >= time);
    }
    // Whole seconds in range come back.
    if (nanoseconds == 0 && time != 0 && time != kMaxFileTime) {
        Check(norvane::UnixSecondsFromFileTime(time) == seconds);
    }

    for (const norvane::FILETIME value : {time, raw}) {
        const std::string text = norvane::DateText(value);
        CheckDateText(text);
        if (data[24] % 4 == 0) {
            // UTC: the C library's calendar, where it has one.
            const std::time_t unixSeconds = static_cast<std::time_t>(norvane::UnixSecondsFromFileTime(value));
            std::tm tm{};
            if (gmtime_r(&unixSeconds, &tm) != nullptr) {
                char expected[48];
                std::snprintf(expected, sizeof expected, "%04d/%02d/%02d %2d:%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                              tm.tm_mday, tm.tm_hour, tm.tm_min);
                Check(text == expected);
            }
        }
    }
    return 0;
}
