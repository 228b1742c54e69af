#pragma once
// The meter's arithmetic: the fee per unit and the warning table.

#include <cstdint>

#include "money/Money.h"
#include "store/SettingsProfile.h"

namespace velmora {

inline constexpr Money kDefaultFee = Money::fromMicros(120'000); // 0.12

// Fee of one unit: 0.12 for the built-in zones; for the user-defined tariff
// the leading number of "Gebuehr" (read now), 0.12 when it holds none.
Money chargePerUnit(int zone, const SettingsProfile& profile);

// Entries of the warning list, "kein Warnsignal" first.
inline constexpr int kWarningCount = 9;

// Minutes after which the warning of a list entry sounds; -1 for "kein
// Warnsignal" and for an index outside the list (never warns).
int warningMinutes(int warningIndex);
bool warningDue(int warningIndex, std::uint32_t elapsedSeconds);

} // namespace velmora
