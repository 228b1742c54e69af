#pragma once
// UTF-8 texts of the window layer as Qt strings and back.

#include <cstddef>
#include <string>

#include <QString>

namespace velmora {

inline QString qtText(const std::string& text) { return QString::fromStdString(text); }

// The first maxChars characters (code points) of text, as UTF-8.
std::string utf8Prefix(const QString& text, std::size_t maxChars);

} // namespace velmora
