#include "platform/FileTime.h"

#include <cstdio>
#include <limits>

namespace norvane {

namespace {

constexpr std::int64_t kTicksPerSecond = 10000000;

// The UTC calendar of a count of seconds since 1970, for times the C library
// will not convert (days-from-civil inverse, valid for every 64-bit input
// that a FILETIME can give).
std::tm UtcCalendar(std::int64_t seconds) {
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    std::int64_t z = days + 719468;
    std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    std::int64_t doe = z - era * 146097;
    std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    std::int64_t y = yoe + era * 400;
    std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    std::int64_t mp = (5 * doy + 2) / 153;
    std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
    std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
    if (m <= 2) ++y;
    std::tm result{};
    result.tm_year = static_cast<int>(y - 1900);
    result.tm_mon = static_cast<int>(m - 1);
    result.tm_mday = static_cast<int>(d);
    result.tm_hour = static_cast<int>(rest / 3600);
    result.tm_min = static_cast<int>(rest / 60 % 60);
    result.tm_sec = static_cast<int>(rest % 60);
    return result;
}

}  // namespace

FILETIME FileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds) {
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    // Every second from here on is past the largest FILETIME; checking first
    // keeps the sums below within 64 bits (a tmpfs file may carry INT64_MAX).
    constexpr std::int64_t kLastSecond =
        static_cast<std::int64_t>((kMax - 9999999) / kTicksPerSecond) - kSecondsFrom1601To1970;
    // Normalise so that 0 <= nanoseconds < 1e9.
    std::int64_t carry = nanoseconds / 1000000000;
    nanoseconds %= 1000000000;
    if (nanoseconds < 0) {
        nanoseconds += 1000000000;
        --carry;
    }
    if (seconds > kLastSecond - carry) return kMax;
    if (seconds < -kSecondsFrom1601To1970 - carry) return 0;
    seconds += carry;
    auto since1601 = static_cast<std::uint64_t>(seconds + kSecondsFrom1601To1970);
    return since1601 * kTicksPerSecond + static_cast<std::uint64_t>(nanoseconds / 100);
}

std::int64_t UnixSecondsFromFileTime(FILETIME time) {
    return static_cast<std::int64_t>(time / kTicksPerSecond) - kSecondsFrom1601To1970;
}

std::tm LocalTimeFromFileTime(FILETIME time) {
    std::int64_t seconds = UnixSecondsFromFileTime(time);
    std::tm result{};
    auto t = static_cast<std::time_t>(seconds);
    if (localtime_r(&t, &result) != nullptr) return result;
    return UtcCalendar(seconds);
}

void AppendDateText(std::string& out, FILETIME time) {
    std::tm tm = LocalTimeFromFileTime(time);
    char text[48];
    int length = std::snprintf(text, sizeof text, "%04d/%02d/%02d %2d:%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                               tm.tm_mday, tm.tm_hour, tm.tm_min);
    out.append(text, static_cast<std::size_t>(length));
}

std::string DateText(FILETIME time) {
    std::string text;
    AppendDateText(text, time);
    return text;
}

}  // namespace norvane
