#pragma once
// Where the program's files live: one fixed per-user directory,
// $XDG_DATA_HOME/velmora (default ~/.local/share/velmora).

#include <string>
#include <string_view>

namespace velmora {

std::string dataDirectory();
// The executable's base name without directory and extension, then ".INI".
std::string profileFileName(std::string_view executablePath);

} // namespace velmora
