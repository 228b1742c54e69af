#pragma once
// The editor of the user-defined tariff: two band lists (weekdays and
// holidays), the weekdays that count as holidays, and the fee per unit. The
// bands being edited are a tariff value that the two lists show; the check
// boxes and the fee field join it when "&OK" writes the tariff whole.

#include <string>
#include <utility>
#include <vector>

#include "store/UserTariff.h"
#include "ui/MonitorEnvironment.h"

namespace velmora {

class CostEditorDialog : public DialogHandler {
public:
    explicit CostEditorDialog(MonitorEnvironment env) : env_(std::move(env)) {}

    void onInitDialog(WindowId self) override { openEditor(self); }
    void onCommand(int commandId) override;

    // The bands of a list as the editor holds them now.
    const std::vector<TariffBand>& bands(BandList list) const;

private:
    void openEditor(WindowId self);
    void loadUserTariff();
    void addBand();
    void deleteBand();
    void enableListsByMode();
    // False, after telling the user why, when the tariff could not be written.
    bool saveUserTariff();

    std::vector<TariffBand>& bandsOf(BandList list);
    BandList currentList() const;
    void appendBand(BandList list, const TariffBand& band, const std::string& line);
    // The field's text as typed, at most 9 characters, with a decimal comma made a point.
    std::string typedNumber(int field) const;
    bool feeReadsAsNumber();

    MonitorEnvironment env_;
    WindowId self_ = 0;
    UserTariff tariff_;
};

} // namespace velmora
