#pragma once
// Everything this source reads comes from files and services it does not
// control; these helpers bound what is read and clean what is kept.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// Valid UTF-8 without control characters, at most maxBytes long, cut on a
// character boundary. Invalid sequences and controls are dropped.
std::string cleanText(std::string_view raw, std::size_t maxBytes);

// At most maxBytes of a regular file. Never blocks on FIFOs or devices; with
// noFollow a symbolic link in the last path component is refused.
std::optional<std::string> readSmallFile(const std::string& path, std::size_t maxBytes, bool noFollow = false);

// A process id written in decimal (surrounding blanks allowed); nullopt for
// anything else, zero, or values beyond the kernel's limit.
std::optional<int> parsePid(std::string_view text);

// A name the kernel could give a network interface; also safe as a path part.
bool isInterfaceName(std::string_view name);

// The text up to the first newline, without it.
std::string_view firstLine(std::string_view text);

} // namespace velmora
