#pragma once
// The tray menu's "Verlauf...": one history window, made when first asked
// for, brought forward when asked again, gone (with its rows) when closed.

#include <QPointer>

#include "historywindow/HistoryWindow.h"
#include "ui/MonitorDialog.h"

namespace velmora {

class HistoryWindowViewer : public HistoryViewer {
public:
    explicit HistoryWindowViewer(HistoryWindowSetup setup) : setup_(std::move(setup)) {}
    ~HistoryWindowViewer() override { delete window_.data(); }
    HistoryWindowViewer(const HistoryWindowViewer&) = delete;
    HistoryWindowViewer& operator=(const HistoryWindowViewer&) = delete;

    void open() override;

private:
    HistoryWindowSetup setup_;
    QPointer<HistoryWindow> window_;
};

} // namespace velmora
