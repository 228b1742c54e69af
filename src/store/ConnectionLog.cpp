#include "store/ConnectionLog.h"

#include <array>
#include <cstdio>
#include <vector>

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
    std::vector<std::pair<std::string, std::string>> keys{{"Verbindungskosten", record.connectionCost},
                                                          {"Gesamtkosten bis dato", record.grandTotal}};
    if (record.bytesReceived) keys.emplace_back("Empfangen", std::to_string(*record.bytesReceived));
    if (record.bytesSent) keys.emplace_back("Gesendet", std::to_string(*record.bytesSent));
    SettingsProfile file(path_);
    return file.writeStrings(logSectionName(record.start, record.end), keys);
}

bool ConnectionLog::remove() { return profile_file::remove(path_); }

} // namespace velmora
