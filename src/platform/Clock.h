#pragma once
// Time as the program sees it: a millisecond tick counter and the local date
// and time. Injectable, so that a virtual clock can drive hours in milliseconds.

#include <cstdint>

namespace velmora {

// Local date and time, field for field as the program records it.
struct LocalTime {
    int year = 1970;
    int month = 1;     // 1..12
    int dayOfWeek = 4; // 0 = Sunday .. 6 = Saturday
    int day = 1;       // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int milliseconds = 0;
    bool operator==(const LocalTime&) const = default;
};

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start; 64 bits, so it does not wrap
    // (a 32-bit counter would after 49.7 days and then show a wrong time online).
    virtual std::uint64_t tickMs() const = 0;
    virtual LocalTime localTime() const = 0;
    // The wall clock as milliseconds since 1970 (UTC): what localTime() shows,
    // without the local hour that the autumn night has twice.
    virtual std::int64_t epochMs() const = 0;
};

// Local time of a moment in the process's time zone (TZ).
LocalTime localTimeOf(std::int64_t epochSeconds, int milliseconds = 0);
// The moment of a local date and time (mktime: out-of-range fields are
// normalised, daylight saving is decided by the conversion).
std::int64_t epochSecondsAt(int year, int month, int day, int hour, int minute, int second);

// When a span was timed on both clocks: its start on the wall clock (seconds
// since 1970) as taken, unless the wall clock was set during it (by hand, by a
// time server) by more than a few seconds against the boot clock; then its
// end less the seconds the boot clock counted, which never jumps.
std::int64_t wallStartOfSpan(std::int64_t startEpochSeconds, std::int64_t endEpochSeconds, std::int64_t bootSeconds);

// A clock that moves only when told to. Its local time is its epoch moment
// converted in the process's time zone.
class VirtualClock : public Clock {
public:
    explicit VirtualClock(std::int64_t epochMs = 0, std::uint64_t tickMs = 0) : epochMs_(epochMs), tickMs_(tickMs) {}
    std::uint64_t tickMs() const override { return tickMs_; }
    LocalTime localTime() const override;
    std::int64_t epochMs() const override { return epochMs_; }
    void advance(std::uint64_t ms) {
        tickMs_ += ms;
        epochMs_ += static_cast<std::int64_t>(ms);
    }
    void setEpochMs(std::int64_t ms) { epochMs_ = ms; }

private:
    std::int64_t epochMs_;
    std::uint64_t tickMs_;
};

} // namespace velmora
