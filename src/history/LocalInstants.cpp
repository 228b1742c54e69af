#include "history/LocalInstants.h"

#include <algorithm>
#include <ctime>
#include <limits>

namespace velmora {
namespace {

constexpr std::int64_t kDay = 86400;
constexpr std::int64_t kLargestOffset = std::int64_t{14} * 3600;

long utcOffsetAt(std::int64_t instant) {
    const auto t = static_cast<std::time_t>(instant);
    std::tm fields{};
    if (!localtime_r(&t, &fields)) return 0;
    return fields.tm_gmtoff;
}

} // namespace

LocalInstants::LocalInstants() { ::tzset(); }

// Probes a day and a half either side of the local day: no zone changes its
// offset twice within that span.
const LocalInstants::DayOffsets& LocalInstants::offsetsOf(long long day) {
    auto it = days_.find(day);
    if (it != days_.end()) return it->second;
    const std::int64_t midnight = day * kDay;
    DayOffsets offsets{utcOffsetAt(midnight - kDay - kLargestOffset),
                       utcOffsetAt(midnight + 2 * kDay + kLargestOffset)};
    return days_.emplace(day, offsets).first->second;
}

LocalInstants::Instants LocalInstants::at(const LogDateTime& t) {
    const long long day = daysFromCivil(t.year, t.month, t.day);
    const std::int64_t wall = day * kDay + std::int64_t{t.hour} * 3600 + std::int64_t{t.minute} * 60 + t.second;
    const DayOffsets& offsets = offsetsOf(day);
    if (offsets.before == offsets.after) return {wall - offsets.before, wall - offsets.before};
    const std::int64_t asBefore = wall - offsets.before;
    const std::int64_t asAfter = wall - offsets.after;
    const bool beforeValid = utcOffsetAt(asBefore) == offsets.before;
    const bool afterValid = utcOffsetAt(asAfter) == offsets.after;
    if (beforeValid && afterValid) return {std::min(asBefore, asAfter), std::max(asBefore, asAfter)};
    if (afterValid) return {asAfter, asAfter};
    return {asBefore, asBefore};
}

std::int64_t LocalInstants::secondsBetween(const LogDateTime& start, const LogDateTime& end) {
    const Instants from = at(start);
    const Instants to = at(end);
    std::int64_t best = std::numeric_limits<std::int64_t>::max();
    for (std::int64_t s : {from.earliest, from.latest})
        for (std::int64_t e : {to.earliest, to.latest})
            if (e >= s && e - s < best) best = e - s;
    return best == std::numeric_limits<std::int64_t>::max() ? 0 : best;
}

} // namespace velmora
