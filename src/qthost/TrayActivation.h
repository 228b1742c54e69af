#pragma once
// How the notification-area icon's Qt activations map to the mouse messages
// the dialogs hear. Moves, releases and right double clicks have no Qt event.

#include <QSystemTrayIcon>

#include "platform/WindowHost.h"

namespace velmora {

struct TrayActivation {
    QSystemTrayIcon::ActivationReason reason;
    int mouseMessage;
};

inline constexpr TrayActivation trayActivations[] = {
    {QSystemTrayIcon::Trigger, MouseLeftDown},
    {QSystemTrayIcon::Context, MouseRightDown},
    {QSystemTrayIcon::MiddleClick, MouseMiddleDown},
    {QSystemTrayIcon::DoubleClick, MouseLeftDoubleClick},
};

} // namespace velmora
