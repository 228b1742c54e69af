#include "store/ConnectionLog.h"

#include <array>
#include <cstdio>

#include "store/ProfileFile.h"
#include "store/SettingsProfile.h"

namespace velmora {

std::string logSectionName(const LocalTime& start, const LocalTime& end) {
    std::array<char, 256> name{};
    std::snprintf(name.data(), name.size(), "Von %i.%i.%i %.2i:%.2i:%.2i bis %i.%i.%i %.2i:%.2i:%.2i", start.day,
                  start.month, start.year, start.hour, start.minute, start.second, end.day, end.month, end.year,
                  end.hour, end.minute, end.second);
    return name.data();
}

WriteResult ConnectionLog::write(const LogRecord& record) {
    SettingsProfile file(path_);
    return file.writeStrings(
        logSectionName(record.start, record.end),
        {{std::string(kLogCostKey), record.connectionCost}, {std::string(kLogTotalKey), record.grandTotal}});
}

bool ConnectionLog::remove() { return profile_file::remove(path_); }

} // namespace velmora
