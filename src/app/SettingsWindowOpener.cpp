#include "app/SettingsWindowOpener.h"

namespace velmora {

SettingsWindowOpener::~SettingsWindowOpener() { delete window_; }

void SettingsWindowOpener::open(std::function<void()> saved) {
    if (!window_) {
        window_ = new SettingsWindow({profile_, currency_, std::move(saved)});
        window_->setAttribute(Qt::WA_DeleteOnClose);
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
}

} // namespace velmora
