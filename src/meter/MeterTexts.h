#pragma once
// The texts the meter's state is shown as.

#include <cstdint>
#include <string>

namespace velmora {

inline constexpr const char* kNoConnection = "Keine Verbindung";
inline constexpr const char* kNoAddress = "0.0.0.0";
// The grand total while the settings file that holds it cannot be read: no
// number, so that nobody takes it for a known one.
inline constexpr const char* kUnknownTotal = "unbekannt";

// "hh:mm:ss", hours at least two digits.
std::string formatElapsed(std::uint32_t elapsedSeconds);
// "%.2f Sekunden Bereich" of unitLengthMs / 1000.
std::string formatUnitLength(int unitLengthMs);

// Every field of the main window that shows the meter.
struct MeterTexts {
    std::string entryName;
    std::string deviceType;
    std::string deviceName;
    std::string address;
    std::string timeOnline;
    std::string cost;
    std::string total;
    std::string unitLength;
    bool operator==(const MeterTexts&) const = default;
};

} // namespace velmora
