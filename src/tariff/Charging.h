#pragma once
// The meter's arithmetic: fee per unit, the warning table, the displays' formats.

#include <cstdint>
#include <string>

#include "store/SettingsProfile.h"

namespace velmora {

inline constexpr double kDefaultFee = 0.12;

// Fee of one unit: 0.12 for the built-in zones; for the user-defined tariff
// the leading number of "Gebuehr" (read now), 0.12 when it holds none.
double chargePerUnit(int zone, const SettingsProfile& profile);

// Minutes after which the warning of a list entry sounds; -1 for "kein
// Warnsignal" and for an index outside the list (never warns).
int warningMinutes(int warningIndex);
bool warningDue(int warningIndex, std::uint32_t elapsedSeconds);

// "hh:mm:ss", hours at least two digits.
std::string formatElapsed(std::uint32_t elapsedSeconds);
// "%.2f Sekunden Bereich" of unitLengthMs / 1000.
std::string formatUnitLength(int unitLengthMs);

} // namespace velmora
