#include "app/HistoryWindowViewer.h"

#include "qthost/Icons.h"
#include "ui/ControlIds.h"

namespace velmora {

void HistoryWindowViewer::open() {
    if (!window_) {
        window_ = new HistoryWindow(setup_);
        window_->setAttribute(Qt::WA_DeleteOnClose);
        window_->setWindowIcon(iconForResource(ids::ProgramIcon));
    }
    window_->showNormal();
    window_->raise();
    window_->activateWindow();
}

} // namespace velmora
