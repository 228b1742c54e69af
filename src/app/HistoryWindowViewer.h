#pragma once
// The tray menu's "Verlauf...": the history window runs as a program of its
// own (velmora-verlauf), started when first asked for. The meter itself never
// loads Qt Charts and what it pulls in (OpenGL among it): most runs never open
// the history, so the meter starts faster and stays smaller, also after the
// window was open, for its memory goes with its process; and a fault in the
// chart cannot stop the metering. A plugin loaded on demand would have kept
// Charts in the meter's memory for the rest of its run once opened.
//
// The two talk over the window program's standard input: a line "zeigen"
// brings the open window forward; the end of the input (the meter ended, or
// crashed) closes it, so the window never outlives the meter that opened it.

#include <memory>

#include <QProcess>
#include <QStringList>

#include "ui/MonitorDialog.h"

namespace velmora {

class HistoryWindowViewer : public HistoryViewer {
public:
    struct Program {
        QString path;
        QStringList arguments;
    };
    explicit HistoryWindowViewer(Program program) : program_(std::move(program)) {}
    // Closes an open window (its input ends) and waits a moment for it to go.
    ~HistoryWindowViewer() override;
    HistoryWindowViewer(const HistoryWindowViewer&) = delete;
    HistoryWindowViewer& operator=(const HistoryWindowViewer&) = delete;

    // Starts the window program, or brings its window forward while it runs.
    // A program that cannot be started is named on stderr, once per attempt.
    void open() override;
    bool windowRunning() const;

private:
    Program program_;
    std::unique_ptr<QProcess> process_;
};

// The window program's line that brings the window forward.
inline constexpr const char* kShowWindowLine = "zeigen\n";

// The window program's path: beside the meter (the build tree), else where
// the installation puts it relative to the meter (../libexec/velmora/).
QString historyProgramPath(const QString& meterDirectory);

} // namespace velmora
