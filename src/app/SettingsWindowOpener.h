#pragma once
// The tray menu's "Einstellungen...": the settings window in the meter's own
// process (it is small and plain Qt), made when chosen and gone when closed,
// so it always shows the file as it is; chosen again while open, it comes
// forward.

#include <QPointer>

#include "settingswindow/SettingsWindow.h"
#include "ui/MonitorEnvironment.h"

namespace velmora {

class SettingsWindowOpener : public SettingsEditor {
public:
    SettingsWindowOpener(SettingsProfile& profile, std::string currency)
        : profile_(profile), currency_(std::move(currency)) {}
    ~SettingsWindowOpener() override;
    SettingsWindowOpener(const SettingsWindowOpener&) = delete;
    SettingsWindowOpener& operator=(const SettingsWindowOpener&) = delete;

    void open(std::function<void()> saved) override;
    SettingsWindow* window() const { return window_; }

private:
    SettingsProfile& profile_;
    std::string currency_;
    QPointer<SettingsWindow> window_;
};

} // namespace velmora
