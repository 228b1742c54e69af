#include "tariff/Charging.h"

#include <array>
#include <cstdio>

#include "store/NumberParse.h"
#include "store/UserTariff.h"
#include "tariff/Tariff.h"

namespace velmora {

namespace {

constexpr int kNeverWarns = -1;

// Minutes per entry of the warning list, "kein Warnsignal" first.
constexpr std::array<int, 9> kWarningMinutes{kNeverWarns, 5, 10, 15, 30, 60, 90, 120, 240};

} // namespace

double chargePerUnit(int zone, const SettingsProfile& profile) {
    if (zone != UserDefined) {
        return kDefaultFee;
    }
    // A fee text without a leading number would otherwise charge nothing at all.
    return parseLeadingDouble(readUnitFee(profile)).value_or(kDefaultFee);
}

int warningMinutes(int warningIndex) {
    if (warningIndex < 0 || warningIndex >= static_cast<int>(kWarningMinutes.size())) {
        return kNeverWarns;
    }
    return kWarningMinutes[static_cast<std::size_t>(warningIndex)];
}

bool warningDue(int warningIndex, std::uint32_t elapsedSeconds) {
    const int minutes = warningMinutes(warningIndex);
    if (minutes == kNeverWarns) {
        return false;
    }
    return elapsedSeconds >= static_cast<std::uint32_t>(minutes) * 60U;
}

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
