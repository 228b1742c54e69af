#pragma once
// Where the program's files live: one fixed per-user directory,
// $XDG_DATA_HOME/velmora (default ~/.local/share/velmora).

#include <string>
#include <string_view>

namespace velmora {

std::string dataDirectory();
// The executable's base name without directory and extension, then ".INI".
std::string profileFileName(std::string_view executablePath);

// The folder part of a path ("." when it has none) and its last name.
std::string folderOf(std::string_view path);
std::string fileNameOf(std::string_view path);

// Makes the folder and any missing parents, each new one private (0700): the
// files hold what the line cost and when the user was online. A folder that
// exists already keeps its mode, which its owner may have chosen. 0, or errno.
int makePrivateFolder(const std::string& path);

} // namespace velmora
