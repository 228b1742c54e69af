#pragma once
// File access shared by the settings profile and the connection log: whole-file
// reads, and rewrites that are atomic on disk (store/AtomicFile.h) and
// serialised between processes by a sidecar lock file (store/FileLock.h).

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "store/WriteResult.h"

namespace velmora::profile_file {

// The file's bytes; empty when it does not exist, nullopt when it exists but
// cannot be read.
std::optional<std::string> readAll(const std::string& path);
// Reads from the descriptor's position to its end into `bytes`: 0, or the errno.
int readToEnd(int fd, std::string& bytes);

// Under the lock: reads the file, hands its bytes to `edit` and replaces the
// file with the result. Creates the file's folder (private, 0700) when needed.
// Fails, saying why, when the lock could not be had within a few seconds or
// the file could not be read or written whole; the file is then as it was.
WriteResult rewrite(const std::string& path, const std::function<std::string(std::string_view)>& edit);

// Replaces the whole file with `bytes`, under the same lock and with the same
// guarantees as rewrite: for files that are always written whole.
WriteResult replaceWhole(const std::string& path, std::string_view bytes);

// Deletes the file under the same lock and syncs its folder, so that the
// deletion survives a power cut before anything that relies on it is written.
// A file that is not there counts as deleted; a failure says why.
WriteResult remove(const std::string& path);

// Removes the temporary files that killed writers left in `directory` (only
// ours, recognised by name, and only those of a file whose lock is free, so no
// writer of it is alive). Every write does the same for its own file. Returns
// how many were removed.
int removeOrphanTemps(const std::string& directory);

} // namespace velmora::profile_file
