#include "tariff/PublicHolidayCache.h"

#include "holidays/PublicHolidays.h"
#include "store/SettingsSchema.h"

namespace velmora {

bool PublicHolidayCache::answers(const std::string& code, const LocalTime& moment) const {
    return known_ && moment.day == day_ && moment.month == month_ && moment.year == year_ && code == code_;
}

bool PublicHolidayCache::isPublicHoliday(const SettingsProfile& profile, const LocalTime& moment) {
    std::string code = readSection(profile, settings::kHolidays).land;
    if (answers(code, moment)) return holiday_;
    holiday_ = velmora::isPublicHoliday({moment.year, moment.month, moment.day}, holidayRegionOf(code));
    code_ = std::move(code);
    year_ = moment.year;
    month_ = moment.month;
    day_ = moment.day;
    known_ = true;
    ++lookups_;
    return holiday_;
}

} // namespace velmora
