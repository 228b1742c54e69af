#include "monitor/DeviceType.h"

#include <array>
#include <utility>

namespace velmora {

std::string deviceTypeText(std::string_view deviceType) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 5> table{{
        {"modem", "Analoge Verbindung (Modem)"},
        {"isdn", "Digital Verbindung (ISDN)"},
        {"null", "Direktverbindung über Nullmodem"},
        {"pad", "PAD Verbindung"},
        {"switch", "SWITCH Verbindung"},
    }};
    for (const auto& [type, text] : table)
        if (deviceType == type) return std::string(text);
    return "Unbekannte Verbindungsart";
}

} // namespace velmora
