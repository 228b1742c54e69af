#pragma once
// Whether the day of a moment is a public holiday under the "Land" of section
// "Feiertage". The tariff asks once a second while connected; the calendar is
// asked once a day, and again only when the stored "Land" changes.

#include <cstdint>
#include <string>

#include "platform/Clock.h"
#include "store/SettingsProfile.h"

namespace velmora {

class PublicHolidayCache {
public:
    // Reads "Land" from the profile now (one stat() while the file is
    // unchanged); an empty, missing or unknown code holds no holidays.
    bool isPublicHoliday(const SettingsProfile& profile, const LocalTime& moment);
    // How often the calendar has been asked, for tests and benchmarks.
    std::uint64_t calendarLookups() const { return lookups_; }

private:
    bool answers(const std::string& code, const LocalTime& moment) const;

    bool known_ = false;
    std::string code_; // the stored text the answer is for
    int year_ = 0;
    int month_ = 0;
    int day_ = 0;
    bool holiday_ = false;
    std::uint64_t lookups_ = 0;
};

} // namespace velmora
