#pragma once
// Which unit length applies at a moment: four built-in zones and the
// user-defined tariff as the profile holds it at every evaluation.

#include <cstdint>
#include <span>

#include "platform/Clock.h"
#include "store/SettingsProfile.h"
#include "tariff/PublicHolidayCache.h"
#include "tariff/UserBandCache.h"

namespace velmora {

// Index of the tariff list's selection; any other value selects no tariff.
enum TariffZone : int { NoTariff = -1, City = 0, Region50 = 1, Region200 = 2, Fern = 3, UserDefined = 4 };
inline constexpr int kTariffCount = 5;

struct TimeBand {
    int startHour = 0;
    int endHour = 0;
    int unitMs = 0;
};

// Whole seconds on the local calendar scale (mktime, daylight saving decided
// by the conversion); out-of-range fields are normalised, so hour 24 is the
// next day's midnight.
using CalendarSeconds = std::int64_t;
CalendarSeconds calendarSeconds(int year, int month, int day, int hour, int minute, int second);

// Bands of a built-in zone (City..Fern) for a weekend day or a working day, in
// evaluation order; empty for other zones.
std::span<const TimeBand> builtInBands(int zone, bool weekend);

// Takes the unit length of a band that contains the moment; returns 1 when it
// took it as a new one, 0 otherwise.
class UnitLengthReceiver {
public:
    virtual ~UnitLengthReceiver() = default;
    virtual int switchUnitLength(int unitMs) = 0;
};

// Hands the unit length of the band that contains localTime to the receiver.
// Built-in zones walk every band of their table (at most one matches). The
// user-defined tariff hands over only the first matching band of the day's list
// and skips bands whose unit length is 0. Nothing happens when no band matches.
// A public holiday of the "Land" in the profile (section "Feiertage") is a
// weekend day for the built-in zones and a holiday-list day for the
// user-defined tariff, whatever its weekday flag says; without a "Land" the
// calendar knows none.
void evaluateTariff(int zone, const LocalTime& localTime, const SettingsProfile& profile, UnitLengthReceiver& receiver);
// The same, remembering the day's answer between calls (the meter keeps one),
// and with `bands` the own tariff's bands while the file is unchanged.
void evaluateTariff(int zone, const LocalTime& localTime, const SettingsProfile& profile, UnitLengthReceiver& receiver,
                    PublicHolidayCache& holidays, UserBandCache* bands = nullptr);

// Calls the receiver when now lies strictly between startHour:00:00 and
// endHour:00:00 of localTime's date, and returns its result; 0 otherwise.
int applyTimeBand(CalendarSeconds now, const LocalTime& localTime, int startHour, int endHour, int unitMs,
                  UnitLengthReceiver& receiver);

} // namespace velmora
