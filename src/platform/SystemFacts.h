#pragma once
// Facts about the machine that the main window shows.

#include <optional>
#include <string>

namespace velmora {

class SystemFacts {
public:
    virtual ~SystemFacts() = default;
    // Currency symbol of the system's default locale; nullopt when it cannot be read.
    virtual std::optional<std::string> currencySymbol() const = 0;
    // The computer's network name; nullopt when it cannot be read.
    virtual std::optional<std::string> computerName() const = 0;
};

class FixedSystemFacts : public SystemFacts {
public:
    std::optional<std::string> currency = "€";
    std::optional<std::string> name = "arbeitsplatz";
    std::optional<std::string> currencySymbol() const override { return currency; }
    std::optional<std::string> computerName() const override { return name; }
};

} // namespace velmora
