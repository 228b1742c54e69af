#include "platform/Clock.h"

#include <cstdlib>
#include <ctime>

namespace velmora {
namespace {

// More than a time server's usual slewing or a leap second moves the wall
// clock during a connection, less than anyone sets a clock by.
constexpr std::int64_t kWallClockJumpSeconds = 5;

} // namespace

LocalTime localTimeOf(std::int64_t epochSeconds, int milliseconds) {
    std::time_t t = static_cast<std::time_t>(epochSeconds);
    std::tm tm{};
    localtime_r(&t, &tm);
    LocalTime lt;
    lt.year = tm.tm_year + 1900;
    lt.month = tm.tm_mon + 1;
    lt.dayOfWeek = tm.tm_wday;
    lt.day = tm.tm_mday;
    lt.hour = tm.tm_hour;
    lt.minute = tm.tm_min;
    lt.second = tm.tm_sec;
    lt.milliseconds = milliseconds;
    return lt;
}

std::int64_t epochSecondsAt(int year, int month, int day, int hour, int minute, int second) {
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    fields.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&fields));
}

std::int64_t wallStartOfSpan(std::int64_t startEpochSeconds, std::int64_t endEpochSeconds, std::int64_t bootSeconds) {
    const std::int64_t drift = (endEpochSeconds - startEpochSeconds) - bootSeconds;
    return std::llabs(drift) > kWallClockJumpSeconds ? endEpochSeconds - bootSeconds : startEpochSeconds;
}

LocalTime VirtualClock::localTime() const {
    std::int64_t s = epochMs_ / 1000;
    std::int64_t ms = epochMs_ % 1000;
    if (ms < 0) {
        ms += 1000;
        --s;
    }
    return localTimeOf(s, static_cast<int>(ms));
}

} // namespace velmora
