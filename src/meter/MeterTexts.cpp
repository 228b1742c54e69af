#include "meter/MeterTexts.h"

#include <array>
#include <cstdio>

#include "store/NumberParse.h"

namespace velmora {

std::string formatElapsed(std::uint32_t elapsedSeconds) {
    const unsigned hours = elapsedSeconds / 3600U;
    const unsigned minutes = (elapsedSeconds % 3600U) / 60U;
    const unsigned seconds = elapsedSeconds % 60U;
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%02u:%02u:%02u", hours, minutes, seconds);
    return text.data();
}

std::string formatUnitLength(int unitLengthMs) {
    return formatTwoDecimals(unitLengthMs / 1000.0) + " Sekunden Bereich";
}

} // namespace velmora
