#include "tariff/Charging.h"

#include <array>
#include <optional>

#include "store/NumberParse.h"
#include "store/UserTariff.h"
#include "tariff/Tariff.h"

namespace velmora {

namespace {

constexpr int kNeverWarns = -1;

// Minutes per entry of the warning list, "kein Warnsignal" first.
constexpr std::array<int, kWarningCount> kWarningMinutes{kNeverWarns, 5, 10, 15, 30, 60, 90, 120, 240};

} // namespace

Money chargePerUnit(int zone, const SettingsProfile& profile) {
    if (zone != UserDefined) {
        return kDefaultFee;
    }
    // A fee text without a leading number would otherwise charge nothing at all.
    const std::optional<double> fee = parseLeadingDouble(readUnitFee(profile));
    return fee ? Money::nearest(*fee) : kDefaultFee;
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

} // namespace velmora
