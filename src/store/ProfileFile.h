#pragma once
// File access shared by the settings profile and the connection log: whole-file
// reads, and rewrites that are atomic on disk and serialised between processes
// by a sidecar lock file ("<file>.lock").

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <QByteArray>

#include "store/WriteResult.h"

namespace velmora::profile_file {

// The file's bytes; empty when it does not exist, nullopt when it exists but
// cannot be read.
std::optional<QByteArray> readAll(const std::string& path);

// Under the lock: reads the file, hands its bytes to `edit` and replaces the
// file with the result (written to a sibling temporary, flushed, renamed over).
// Creates the file's directory when needed. Fails, saying why, when the lock
// could not be had within a few seconds or the file could not be read or
// written; the file is then as it was.
WriteResult rewrite(const std::string& path, const std::function<std::string(std::string_view)>& edit);

// Deletes the file under the same lock. False when it did not exist or could
// not be deleted.
bool remove(const std::string& path);

} // namespace velmora::profile_file
