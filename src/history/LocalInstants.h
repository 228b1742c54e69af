#pragma once
// Local wall-clock times to real instants in the process's time zone, so that
// a connection across a change of daylight saving time lasts what it really
// lasted. mktime with tm_isdst = -1 is not used: for a time that occurs twice
// (the autumn night's repeated hour) it picks one of the two by what earlier
// calls converted, and it takes a lock per call, which a log of 100,000
// records would feel. Here each day's offsets are worked out once, from
// localtime_r, and a repeated time yields both of its instants.

#include <cstdint>
#include <unordered_map>

#include "history/LogDateTime.h"

namespace velmora {

class LocalInstants {
public:
    // Takes the zone as TZ names it now (localtime_r alone need not look).
    LocalInstants();

    // The instants (seconds since the epoch) at which the local clock showed t:
    // earliest == latest, except for a time the clock showed twice. A time the
    // clock skipped (the spring night's gap) is taken as read on the clock
    // that was valid before the change.
    struct Instants {
        std::int64_t earliest = 0;
        std::int64_t latest = 0;
    };
    Instants at(const LogDateTime& t);

    // Seconds from start to end: of the possible instants, the shortest
    // span that is not negative; 0 when the end lies before the start.
    std::int64_t secondsBetween(const LogDateTime& start, const LogDateTime& end);

private:
    struct DayOffsets {
        long before = 0; // UTC offset before any change that may touch this day
        long after = 0;  // and after it
    };
    const DayOffsets& offsetsOf(long long day);

    std::unordered_map<long long, DayOffsets> days_;
};

} // namespace velmora
