#include "app/HistoryWindowViewer.h"

#include <cstdio>

#include <QFileInfo>

namespace velmora {
namespace {
constexpr int kStartMs = 5000;
constexpr int kCloseMs = 2000;
constexpr const char* kProgramName = "velmora-verlauf";
} // namespace

HistoryWindowViewer::~HistoryWindowViewer() {
    if (!windowRunning()) return;
    process_->closeWriteChannel();
    if (!process_->waitForFinished(kCloseMs)) {
        process_->kill();
        process_->waitForFinished(kCloseMs);
    }
}

bool HistoryWindowViewer::windowRunning() const { return process_ && process_->state() == QProcess::Running; }

void HistoryWindowViewer::open() {
    if (windowRunning()) {
        process_->write(kShowWindowLine);
        return;
    }
    process_ = std::make_unique<QProcess>();
    process_->setProgram(program_.path);
    process_->setArguments(program_.arguments);
    process_->setProcessChannelMode(QProcess::ForwardedChannels); // its messages go where the meter's go
    process_->start();
    if (process_->waitForStarted(kStartMs)) return;
    std::fprintf(stderr, "velmora: der Verlauf kann nicht geöffnet werden: %s: %s\n", qPrintable(program_.path),
                 qPrintable(process_->errorString()));
    process_.reset();
}

QString historyProgramPath(const QString& meterDirectory) {
    QString beside = meterDirectory + "/" + kProgramName;
    if (QFileInfo(beside).isExecutable()) return beside;
    return QFileInfo(meterDirectory + "/" + VELMORA_HISTORY_PROGRAM).absoluteFilePath();
}

} // namespace velmora
