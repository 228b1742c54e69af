#pragma once
#include <string>
#include <string_view>

namespace velmora {

// German display text of a link's device type; the comparison is exact
// (whole text, case-sensitive), anything unknown is "Unbekannte Verbindungsart".
std::string deviceTypeText(std::string_view deviceType);

} // namespace velmora
