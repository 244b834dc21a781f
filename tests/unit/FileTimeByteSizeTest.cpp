#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>
#include <utility>

#include "platform/ByteSize.h"
#include "platform/FileTime.h"

using namespace norvane;

namespace {

// Sets TZ for one test and puts the old value back.
struct ScopedTimeZone {
    explicit ScopedTimeZone(const char* zone) {
        if (const char* value = std::getenv("TZ")) old = value;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        old ? setenv("TZ", old->c_str(), 1) : unsetenv("TZ");
        tzset();
    }
    std::optional<std::string> old;
};

FILETIME At(std::int64_t unixSeconds) { return FileTimeFromUnix(unixSeconds, 0); }

}  // namespace

TEST(ByteSize, ThreeSignificantFiguresCutNotRounded) {
    EXPECT_EQ(ByteSizeText(0, kCodePageUtf8), "0 バイト");
    EXPECT_EQ(ByteSizeText(1023, kCodePageShiftJis), "1023 \x83\x6F\x83\x43\x83\x67");
    const std::pair<std::uint64_t, const char*> sizes[] = {{1024, "1.00 KB"},
                                                           {1535, "1.49 KB"},
                                                           {10239, "9.99 KB"},
                                                           {10240, "10.0 KB"},
                                                           {102399, "99.9 KB"},
                                                           {1023999, "999 KB"},
                                                           {1024000, "0.97 MB"},
                                                           {4294967296ULL, "4.00 GB"},
                                                           {1ULL << 40, "1.00 TB"},
                                                           {1ULL << 50, "1.00 PB"},
                                                           {std::numeric_limits<std::uint64_t>::max(), "15.9 EB"}};
    for (auto [size, text] : sizes) EXPECT_EQ(ByteSizeText(size), text) << size;
}

TEST(FileTime, UnixTimesMapOntoThe1601EpochAndClampAtTheEnds) {
    EXPECT_EQ(FileTimeFromUnix(0, 0), 116444736000000000ULL);
    EXPECT_EQ(FileTimeFromUnix(0, 150), 116444736000000001ULL);
    EXPECT_EQ(FileTimeFromUnix(-1, 999999900), 116444735999999999ULL);
    EXPECT_EQ(FileTimeFromUnix(-kSecondsFrom1601To1970, 0), 0U);
    EXPECT_EQ(FileTimeFromUnix(-kSecondsFrom1601To1970 - 1, 0), 0U);
    EXPECT_EQ(FileTimeFromUnix(std::numeric_limits<std::int64_t>::max() / 2, 0),
              std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(UnixSecondsFromFileTime(FileTimeFromUnix(-86400, 5)), -86400);
    // The ends of the 64-bit range (tmpfs keeps any time it is given), with
    // nanoseconds that carry a second past them: clamped, never wrapped.
    constexpr std::int64_t kMaxSeconds = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t kMinSeconds = std::numeric_limits<std::int64_t>::min();
    EXPECT_EQ(FileTimeFromUnix(kMaxSeconds, 0), std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(FileTimeFromUnix(kMaxSeconds, 1999999999), std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(FileTimeFromUnix(kMinSeconds, 0), 0U);
    EXPECT_EQ(FileTimeFromUnix(kMinSeconds, -1999999999), 0U);
    EXPECT_EQ(FileTimeFromUnix(0, kMaxSeconds), FileTimeFromUnix(kMaxSeconds / 1000000000, kMaxSeconds % 1000000000));
}

// Every representable time has a text, in the time zone and with the
// daylight saving of the file's own date; the hour is padded with a space.
TEST(FileTime, DateTextForEveryTimeInTheTimeZoneOfTheFilesOwnDate) {
    ScopedTimeZone utc("UTC");
    EXPECT_EQ(DateText(0), "1601/01/01  0:00");
    EXPECT_EQ(DateText(At(-1)), "1969/12/31 23:59");
    EXPECT_EQ(DateText(At(4102444800)), "2100/01/01  0:00");
    EXPECT_EQ(DateText(At(2147483648)), "2038/01/19  3:14");
    // The largest FILETIME is about 58 thousand years after 1601: no failure.
    std::string last = DateText(std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(last.size(), 17u) << last;
    EXPECT_EQ(last.substr(0, 6), "60056/");
    EXPECT_EQ(DateText(At(std::numeric_limits<std::int64_t>::max())), last);

    ScopedTimeZone tokyo("JST-9");
    EXPECT_EQ(DateText(At(1267780020)), "2010/03/05 18:07");  // 2010-03-05 09:07 UTC
    ScopedTimeZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
    EXPECT_EQ(DateText(At(1262304000)), "2010/01/01  1:00");  // winter: +1
    EXPECT_EQ(DateText(At(1277942400)), "2010/07/01  2:00");  // summer: +2
}
