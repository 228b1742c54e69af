#pragma once
// pppd's database (pppd2.tdb in its run directory): every pppd keeps there the
// environment it hands its scripts, and rewrites it as its link changes.

#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// The environment of the pppd with this process id, as "NAME=value;" pairs;
// nullopt when the database or the entry cannot be read.
std::optional<std::string> pppdScriptEnvironment(const std::string& databasePath, int pid);

// Whether the environment sets the variable name.
bool environmentSets(std::string_view environment, std::string_view name);
// The value the environment gives the variable; nullopt when it sets none.
std::optional<std::string> environmentValue(std::string_view environment, std::string_view name);

} // namespace velmora
