#include "platform/FileTime.h"

#include <chrono>
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

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

// Reads exactly count digits at text[pos].
bool ReadDigits(std::string_view text, std::size_t pos, std::size_t count, unsigned* value) {
    if (pos + count > text.size()) return false;
    *value = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        *value = *value * 10 + static_cast<unsigned>(text[i] - '0');
    }
    return true;
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

FILETIME CurrentFileTime() {
    const auto since1970 = std::chrono::system_clock::now().time_since_epoch();
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(since1970).count();
    return FileTimeFromUnix(nanoseconds / 1000000000, nanoseconds % 1000000000);
}

std::int64_t UnixSecondsFromFileTime(FILETIME time) {
    return static_cast<std::int64_t>(time / kTicksPerSecond) - kSecondsFrom1601To1970;
}

std::string UtcIsoText(FILETIME time) {
    const std::tm tm = UtcCalendar(UnixSecondsFromFileTime(time));
    char text[64];
    const int length = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03uZ", tm.tm_year + 1900,
                                     tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                                     static_cast<unsigned>(time % kTicksPerSecond / 10000));
    return std::string(text, static_cast<std::size_t>(length));
}

bool ParseUtcIsoText(std::string_view text, FILETIME* time) {
    unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!ReadDigits(text, 0, 4, &year) || text.substr(4, 1) != "-" || !ReadDigits(text, 5, 2, &month) ||
        text.substr(7, 1) != "-" || !ReadDigits(text, 8, 2, &day) || text.substr(10, 1) != "T" ||
        !ReadDigits(text, 11, 2, &hour) || text.substr(13, 1) != ":" || !ReadDigits(text, 14, 2, &minute) ||
        text.substr(16, 1) != ":" || !ReadDigits(text, 17, 2, &second)) {
        return false;
    }
    std::size_t pos = 19;
    std::uint64_t ticks = 0;
    if (text.substr(pos, 1) == ".") {
        std::uint64_t scale = kTicksPerSecond;
        for (++pos; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
            scale /= 10;  // digits past the tick's are dropped
            ticks += static_cast<std::uint64_t>(text[pos] - '0') * scale;
        }
        if (text[pos - 1] == '.') return false;
    }
    if (text.substr(pos) != "Z" || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 ||
        second > 60) {
        return false;
    }
    const std::int64_t seconds = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
    if (seconds < -kSecondsFrom1601To1970) return false;
    *time = static_cast<std::uint64_t>(seconds + kSecondsFrom1601To1970) * kTicksPerSecond + ticks;
    return true;
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

void AppendDateSecondsText(std::string& out, FILETIME time) {
    std::tm tm = LocalTimeFromFileTime(time);
    char text[56];
    int length = std::snprintf(text, sizeof text, "%04d/%02d/%02d %2d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                               tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    out.append(text, static_cast<std::size_t>(length));
}

std::string DateText(FILETIME time) {
    std::string text;
    AppendDateText(text, time);
    return text;
}

}  // namespace norvane
