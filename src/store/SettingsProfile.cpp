#include "store/SettingsProfile.h"

#include <cstdint>
#include <optional>

#include "store/IniText.h"
#include "store/NumberParse.h"
#include "store/ProfileCache.h"
#include "store/ProfileFile.h"

namespace velmora {
namespace {

// What the old fixed 4096-byte buffer held, without its terminating zero.
constexpr std::size_t kMaxValueBytes = 4095;

std::optional<std::string> cookedText(const ini::Index& state, std::string_view section, std::string_view key) {
    std::optional<std::string_view> raw = state.findValue(section, key);
    if (!raw) return std::nullopt;
    return ini::cookedValue(*raw, kMaxValueBytes);
}

} // namespace

SettingsProfile::SettingsProfile(std::string path)
    : path_(std::move(path)), cache_(std::make_shared<ProfileCache>(path_)) {}

std::shared_ptr<const ini::Index> SettingsProfile::state() const { return frozen_ ? frozen_ : cache_->current(); }

SettingsProfile SettingsProfile::snapshot() const {
    SettingsProfile copy = *this;
    if (frozen_) return copy;
    const ProfileCache::Reading now = cache_->read();
    copy.frozen_ = now.index;
    copy.frozenError_ = now.error;
    return copy;
}

int SettingsProfile::readError() const { return frozen_ ? frozenError_ : cache_->read().error; }

std::uint64_t SettingsProfile::parsesOfFile() const { return cache_->parses(); }

int SettingsProfile::readInt(std::string_view section, std::string_view key, int defaultValue) const {
    std::optional<std::string> text = cookedText(*state(), section, key);
    if (!text || text->empty()) return defaultValue;
    return parseLeadingInt(*text);
}

std::string SettingsProfile::readString(std::string_view section, std::string_view key,
                                        std::string_view defaultValue) const {
    std::optional<std::string> text = cookedText(*state(), section, key);
    return text ? std::move(*text) : std::string(defaultValue);
}

std::optional<std::string> SettingsProfile::readText(std::string_view section, std::string_view key) const {
    return cookedText(*state(), section, key);
}

WriteResult SettingsProfile::writeInt(std::string_view section, std::string_view key, int value) {
    return writeString(section, key, std::to_string(value));
}

WriteResult SettingsProfile::writeString(std::string_view section, std::string_view key, std::string_view value) {
    return writeStrings(section, {{std::string(key), std::string(value)}});
}

WriteResult SettingsProfile::writeStrings(std::string_view section,
                                          const std::vector<std::pair<std::string, std::string>>& keyValues) {
    return writeSections({{std::string(section), keyValues}});
}

WriteResult SettingsProfile::writeSections(const std::vector<SectionWrite>& sections) {
    frozen_.reset();
    std::vector<std::pair<std::string, ini::KeyValues>> stored;
    for (const auto& [section, keyValues] : sections) {
        if (!ini::isWritableSectionName(section)) return WriteResult::failed("ungültiger Abschnittsname");
        ini::KeyValues values;
        values.reserve(keyValues.size());
        for (const auto& [key, value] : keyValues) {
            if (!ini::isWritableKeyName(key)) return WriteResult::failed("ungültiger Schlüsselname");
            values.emplace_back(ini::trimmedName(key), ini::storedValue(value));
        }
        stored.emplace_back(ini::trimmedName(section), std::move(values));
    }
    WriteResult result = profile_file::rewrite(path_, [&](std::string_view text) {
        std::string updated(text);
        for (const auto& [section, values] : stored) updated = ini::withKeysWritten(updated, section, values);
        return updated;
    });
    cache_->invalidate(); // the rename gives the file a new inode anyway
    return result;
}

} // namespace velmora
