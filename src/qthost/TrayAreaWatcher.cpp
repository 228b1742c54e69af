#include "qthost/TrayAreaWatcher.h"

#include <QGuiApplication>

#include "qthost/StatusNotifierWatch.h"
#include "qthost/XEmbedTrayWatch.h"

namespace velmora {

TrayAreaWatcher::TrayAreaWatcher(std::function<void(bool present)> changed) : changed_(std::move(changed)) {
    statusNotifier_ = std::make_unique<StatusNotifierWatch>([this] { recheck(); });
    // An XEmbed tray can take Qt's icon only where Qt itself talks to X.
    if (QGuiApplication::platformName() == QStringLiteral("xcb"))
        xembed_ = std::make_unique<XEmbedTrayWatch>(qgetenv("DISPLAY").constData(), [this] { recheck(); });
    present_ = present();
}

TrayAreaWatcher::~TrayAreaWatcher() = default;

bool TrayAreaWatcher::present() const {
    return (statusNotifier_ && statusNotifier_->present()) || (xembed_ && xembed_->present());
}

void TrayAreaWatcher::recheck() {
    const bool now = present();
    if (now == present_) return;
    present_ = now;
    if (changed_) changed_(now);
}

} // namespace velmora
