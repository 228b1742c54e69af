#pragma once
// The machine's own facts on Linux: the system locale's currency symbol, the
// host name, and the clock that keeps counting through suspend.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Clock.h"
#include "platform/SystemFacts.h"

namespace velmora {

class LinuxSystemFacts : public SystemFacts {
public:
    // Files naming the system's default locale, read in this order.
    explicit LinuxSystemFacts(std::vector<std::string> localeFiles = {"/etc/default/locale", "/etc/locale.conf"});

    std::optional<std::string> currencySymbol() const override;
    std::optional<std::string> computerName() const override;

    // The system locale's name for monetary values: LC_ALL, else LC_MONETARY,
    // else LANG, from the first file that sets it.
    std::optional<std::string> monetaryLocale() const;

private:
    // What a locale file looked like when the symbol was last worked out.
    struct FileStamp {
        bool exists = false;
        std::uint64_t device = 0, inode = 0, size = 0;
        std::int64_t modifiedNs = 0, changedNs = 0;
        bool operator==(const FileStamp&) const = default;
    };
    std::vector<FileStamp> stampLocaleFiles() const;

    std::vector<std::string> localeFiles_;
    // The symbol is asked for every second; loading a locale each time would
    // cost more than the whole poll. It is worked out again whenever one of
    // the locale files changes.
    mutable std::vector<FileStamp> cachedStamps_;
    mutable std::optional<std::string> cachedSymbol_;
    mutable bool cacheValid_ = false;
};

// The value of key in a shell-style assignment file (KEY=value, quotes and
// "export" allowed, # comments); nullopt when it is not set.
std::optional<std::string> shellAssignment(std::string_view text, std::string_view key);

// The currency symbol of a named locale in UTF-8; nullopt when the locale is
// not installed or has none.
std::optional<std::string> currencySymbolOf(const std::string& localeName);

class SystemClock : public Clock {
public:
    // CLOCK_BOOTTIME: counts suspended time too, so a night in suspend with
    // the line up still shows as time online.
    std::uint64_t tickMs() const override;
    LocalTime localTime() const override;
    std::int64_t epochMs() const override;
};

} // namespace velmora
