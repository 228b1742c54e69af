#pragma once
// An INI-form file read and written key by key. Every read sees the file as it
// is now: its parsed state is kept only while the file is unchanged (one stat()
// per read, see store/ProfileCache.h), and every write goes to the file.
//
// Written here rather than taken from a library: the program relies on the
// private-profile conventions (names match without regard to case, the first
// of duplicate sections and keys wins, comments survive a rewrite, a write
// replaces in place or appends to its section, a missing section goes to the
// end of the file), and none of the INI libraries Debian ships keeps all of them.
//
// Writes keep the file's structure whatever they are given: a section or key
// name that is empty, holds a control character, or would read as something
// else ("]" in a section, "=" in a key, a key starting with ";" or "[") is
// refused (the write returns false); control characters in a value become
// blanks; outer blanks and one pair of outer quotes are dropped on reading, as
// everywhere in these files (" 90" reads back as "90"). A writer waits up to five
// seconds for the sidecar lock "<file>.lock" and fails rather than write unlocked.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "store/WriteResult.h"

namespace velmora {

class ProfileCache;
namespace ini {
class Index;
}

class SettingsProfile {
public:
    explicit SettingsProfile(std::string path);
    const std::string& path() const { return path_; }

    // The same profile whose reads all come from the file's state of now: for
    // a reader that needs many keys of one moment (the tariff model, once a
    // second). A write goes to the file and makes the copy live again.
    SettingsProfile snapshot() const;
    // How often the file has been parsed (by this object and its copies), for
    // tests and benchmarks.
    std::uint64_t parsesOfFile() const;

    // Why the file cannot be read now (its errno): its keys then read as
    // missing, though they may well be stored; nothing read from it may be
    // taken for what it holds. 0 when it was read, or is not there at all
    // (then every key is missing and the defaults apply).
    int readError() const;

    // The key's integer: optional blanks, optional sign, leading decimal digits
    // (saturated to the int range); 0 when the text starts otherwise; the default
    // when the file, section or key is missing or the value is empty.
    int readInt(std::string_view section, std::string_view key, int defaultValue) const;
    // The key's text (at most 4095 bytes, never a broken UTF-8 sequence), or
    // the default when the file, section or key is missing.
    std::string readString(std::string_view section, std::string_view key, std::string_view defaultValue) const;
    // The key's text as readString gives it; nullopt when the file, section or key is missing.
    std::optional<std::string> readText(std::string_view section, std::string_view key) const;

    // "%d" of the value, written as by writeString.
    WriteResult writeInt(std::string_view section, std::string_view key, int value);
    // Replaces the key's value in place, or adds the key at the end of its
    // section, adding the section at the end of the file. Crash-safe (the file
    // is replaced whole) and locked against other processes writing the same
    // file. Fails, saying why, when the file could not be written.
    WriteResult writeString(std::string_view section, std::string_view key, std::string_view value);
    // Several keys of one section in one locked rewrite, with the same result as
    // writeString for each in order.
    WriteResult writeStrings(std::string_view section,
                             const std::vector<std::pair<std::string, std::string>>& keyValues);
    // Several sections in one locked rewrite, each as writeStrings would write
    // it, in order: all of them reach the file or none does.
    using SectionWrite = std::pair<std::string, std::vector<std::pair<std::string, std::string>>>;
    WriteResult writeSections(const std::vector<SectionWrite>& sections);

    // The parsed state of the file this copy reads now; a reader that keeps
    // it and gets the same one back later knows every key reads as it did
    // (the file is parsed into a new state whenever it changes). Keeping it
    // also keeps that state alive, so it cannot be mistaken for a later one.
    std::shared_ptr<const void> stateToken() const { return state(); }

private:
    std::shared_ptr<const ini::Index> state() const;

    std::string path_;
    std::shared_ptr<ProfileCache> cache_;      // shared by copies: the same file
    std::shared_ptr<const ini::Index> frozen_; // set only in a snapshot
    int frozenError_ = 0;                      // the snapshot's readError()
};

} // namespace velmora
