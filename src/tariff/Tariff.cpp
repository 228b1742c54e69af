#include "tariff/Tariff.h"

#include <array>
#include <ctime>
#include <vector>

#include "store/NumberParse.h"
#include "store/UserTariff.h"

namespace velmora {

namespace {

constexpr std::array<TimeBand, 3> kCityWeekend{{{0, 5, 240000}, {5, 21, 150000}, {21, 24, 240000}}};
constexpr std::array<TimeBand, 5> kCityWorkday{
    {{0, 5, 240000}, {5, 9, 150000}, {9, 18, 90000}, {18, 21, 150000}, {21, 24, 240000}}};

constexpr std::array<TimeBand, 3> kRegion50Weekend{{{0, 5, 60000}, {5, 21, 45000}, {21, 24, 60000}}};
constexpr std::array<TimeBand, 7> kRegion50Workday{
    {{0, 2, 60000}, {2, 5, 120000}, {5, 9, 45000}, {9, 12, 26000}, {12, 18, 30000}, {18, 21, 45000}, {21, 24, 60000}}};

constexpr std::array<TimeBand, 3> kRegion200Weekend{{{0, 5, 30000}, {5, 21, 21500}, {21, 24, 30000}}};
constexpr std::array<TimeBand, 7> kRegion200Workday{
    {{0, 2, 30000}, {2, 5, 120000}, {5, 9, 21500}, {9, 12, 12000}, {12, 18, 13500}, {18, 21, 21500}, {21, 24, 30000}}};

constexpr std::array<TimeBand, 3> kFernWeekend{{{0, 5, 25000}, {5, 21, 20000}, {21, 24, 25000}}};
constexpr std::array<TimeBand, 7> kFernWorkday{
    {{0, 2, 25000}, {2, 5, 120000}, {5, 9, 20000}, {9, 12, 11500}, {12, 18, 12500}, {18, 21, 20000}, {21, 24, 25000}}};

struct ZoneTables {
    std::span<const TimeBand> weekend;
    std::span<const TimeBand> workday;
};

// Indexed by TariffZone City..Fern.
const std::array<ZoneTables, 4> kZoneTables{{{kCityWeekend, kCityWorkday},
                                             {kRegion50Weekend, kRegion50Workday},
                                             {kRegion200Weekend, kRegion200Workday},
                                             {kFernWeekend, kFernWorkday}}};

bool isBuiltInZone(int zone) { return zone >= City && zone <= Fern; }

bool isWeekend(int dayOfWeek) { return dayOfWeek == 0 || dayOfWeek == 6; }

CalendarSeconds nowOf(const LocalTime& t) {
    return calendarSeconds(t.year, t.month, t.day, t.hour, t.minute, t.second);
}

// Both limits are exclusive: the second hh:00:00 belongs to no band.
bool bandContains(CalendarSeconds now, const LocalTime& t, int startHour, int endHour) {
    const CalendarSeconds start = calendarSeconds(t.year, t.month, t.day, startHour, 0, 0);
    const CalendarSeconds end = calendarSeconds(t.year, t.month, t.day, endHour, 0, 0);
    return now > start && now < end;
}

void walkBuiltInTable(int zone, CalendarSeconds now, const LocalTime& t, bool publicHoliday,
                      UnitLengthReceiver& receiver) {
    for (const TimeBand& band : builtInBands(zone, isWeekend(t.dayOfWeek) || publicHoliday)) {
        applyTimeBand(now, t, band.startHour, band.endHour, band.unitMs, receiver);
    }
}

// Only the first containing band counts, so overlapping bands cannot make the
// unit clock flip between lengths (and charge) on every tick. A band without a
// usable unit length would arm a zero-period timer, so it is passed over.
void walkUserBands(CalendarSeconds now, const LocalTime& t, const SettingsProfile& stored, bool publicHoliday,
                   UnitLengthReceiver& receiver, UserBandCache& cache) {
    const bool holidayList = publicHoliday || isHolidayListDay(stored, t.dayOfWeek);
    const BandList list = holidayList ? BandList::Holiday : BandList::Weekday;
    for (const TariffBand& band : cache.bands(stored, list)) {
        if (!bandContains(now, t, band.startHour, band.endHour)) {
            continue;
        }
        const int unitMs = unitLengthTextToMs(band.unitLengthText);
        if (unitMs > 0) {
            receiver.switchUnitLength(unitMs);
            return;
        }
    }
}

} // namespace

CalendarSeconds calendarSeconds(int year, int month, int day, int hour, int minute, int second) {
    return epochSecondsAt(year, month, day, hour, minute, second);
}

std::span<const TimeBand> builtInBands(int zone, bool weekend) {
    if (!isBuiltInZone(zone)) {
        return {};
    }
    const ZoneTables& tables = kZoneTables[static_cast<std::size_t>(zone)];
    return weekend ? tables.weekend : tables.workday;
}

void evaluateTariff(int zone, const LocalTime& localTime, const SettingsProfile& profile,
                    UnitLengthReceiver& receiver) {
    PublicHolidayCache fresh;
    evaluateTariff(zone, localTime, profile, receiver, fresh);
}

void evaluateTariff(int zone, const LocalTime& localTime, const SettingsProfile& profile, UnitLengthReceiver& receiver,
                    PublicHolidayCache& holidays, UserBandCache* bands) {
    if (isBuiltInZone(zone)) {
        const bool holiday = holidays.isPublicHoliday(profile, localTime);
        walkBuiltInTable(zone, nowOf(localTime), localTime, holiday, receiver);
    } else if (zone == UserDefined) {
        // One state of the file per evaluation: fresh every tick (a changed file
        // is read again, an unchanged one is not), and consistent even while
        // another copy of the program rewrites the tariff.
        const SettingsProfile stored = profile.snapshot();
        UserBandCache fresh;
        walkUserBands(nowOf(localTime), localTime, stored, holidays.isPublicHoliday(stored, localTime), receiver,
                      bands ? *bands : fresh);
    }
}

int applyTimeBand(CalendarSeconds now, const LocalTime& localTime, int startHour, int endHour, int unitMs,
                  UnitLengthReceiver& receiver) {
    if (!bandContains(now, localTime, startHour, endHour)) {
        return 0;
    }
    return receiver.switchUnitLength(unitMs);
}

} // namespace velmora
