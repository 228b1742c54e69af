#pragma once
// The own tariff's bands as last read from the settings file, kept while the
// file's parsed state is the same: a tick then walks them without reading the
// keys of up to 24 bands again, and a changed file is read at the next tick.

#include <cstdint>
#include <memory>
#include <vector>

#include "store/SettingsProfile.h"
#include "store/UserTariff.h"

namespace velmora {

class UserBandCache {
public:
    // The list's bands as `stored` holds them.
    const std::vector<TariffBand>& bands(const SettingsProfile& stored, BandList list);
    // How often the bands have been read from the file, for tests and benchmarks.
    std::uint64_t loads() const { return loads_; }

private:
    std::shared_ptr<const void> state_; // null: nothing kept
    BandList list_ = BandList::Weekday;
    std::vector<TariffBand> bands_;
    std::uint64_t loads_ = 0;
};

} // namespace velmora
