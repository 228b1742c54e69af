#include "app/MonitorApp.h"

#include "ui/ControlIds.h"
#include "ui/Templates.h"

namespace velmora {

bool MonitorApp::runMainDialog() {
    MonitorDialog dialog(env_);
    mainWindow_ = &dialog;
    env_.host.runModal(mainDialogTemplate(), dialog, 0);
    mainWindow_ = nullptr;
    return false;
}

void MonitorApp::bringMainWindowForward() {
    if (mainWindow_) mainWindow_->onTrayNotify(ids::TrayIconId, MouseLeftDown);
}

} // namespace velmora
