#pragma once
// Section "Standard" of the settings as the meter keeps it: read at the start,
// where values the record keeper still holds back are newer than the file's,
// and saved through the record keeper, which keeps a save that cannot be
// written until it lands.

#include "journal/RecordKeeper.h"
#include "store/SettingsSchema.h"

namespace velmora {

class SettingsStore {
public:
    SettingsStore(const SettingsProfile& profile, RecordKeeper& keeper) : profile_(profile), keeper_(keeper) {}

    StandardSettings load() const {
        return readSection(profile_, settings::kStandard, keeper_.state().pendingSettings);
    }
    void save(const StandardSettings& values) { keeper_.saveSettings(texts(values)); }
    // The keys' texts in the order they are written.
    static SettingsValues texts(const StandardSettings& values) { return keyValuesOf(settings::kStandard, values); }

private:
    const SettingsProfile& profile_;
    RecordKeeper& keeper_;
};

} // namespace velmora
