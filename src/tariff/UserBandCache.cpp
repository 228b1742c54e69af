#include "tariff/UserBandCache.h"

namespace velmora {

const std::vector<TariffBand>& UserBandCache::bands(const SettingsProfile& stored, BandList list) {
    std::shared_ptr<const void> state = stored.stateToken();
    if (!state || state != state_ || list != list_) {
        bands_ = loadBandList(stored, list);
        ++loads_;
        state_ = std::move(state);
        list_ = list;
    }
    return bands_;
}

} // namespace velmora
