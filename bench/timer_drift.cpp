// How far the Qt host's unit timer drifts in real time: a dialog on the Qt host
// arms a periodic window timer and notes when each tick arrives on
// CLOCK_MONOTONIC. Tick k is due k * period after arming; the program prints the
// largest deviation of any tick and the drift accumulated by the last one.
//
//   timer_drift [--minutes N] [--period MS]      (defaults: 10 minutes, 12000 ms)
#include <QApplication>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "platform/WindowHost.h"
#include "qthost/QtHost.h"

namespace {

constexpr int kUnitTimer = 200;
constexpr int kPollTimer = 100; // runs beside the unit timer, as in the program
constexpr unsigned kPollPeriodMs = 1000;

struct Options {
    double minutes = 10;
    unsigned periodMs = 12000;
};

double monotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

bool parseOptions(int argc, char* argv[], Options& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const double value = std::atof(argv[i + 1]);
        if (value <= 0) return false;
        if (name == "--minutes")
            options.minutes = value;
        else if (name == "--period")
            options.periodMs = static_cast<unsigned>(value);
        else
            return false;
    }
    return argc % 2 == 1 && options.periodMs > 0;
}

velmora::DialogTemplate driftTemplate() {
    velmora::DialogTemplate tmpl;
    tmpl.id = 1;
    tmpl.caption = "Timer drift";
    tmpl.width = 120;
    tmpl.height = 30;
    velmora::ControlTemplate label;
    label.kind = velmora::ControlKind::Text;
    label.x = 7;
    label.y = 7;
    label.width = 100;
    label.height = 8;
    label.text = "Unit timer running";
    tmpl.controls.push_back(label);
    return tmpl;
}

// Arms the timers when the window exists and ends the run after the last tick.
class DriftDialog : public velmora::DialogHandler {
public:
    DriftDialog(velmora::WindowHost& host, unsigned periodMs, std::size_t ticksWanted)
        : host_(host), periodMs_(periodMs), ticksWanted_(ticksWanted) {}

    void onInitDialog(velmora::WindowId self) override {
        self_ = self;
        host_.setTimer(self, kPollTimer, kPollPeriodMs);
        host_.setTimer(self, kUnitTimer, periodMs_);
        armedAtMs_ = monotonicMs();
    }
    void onCommand(int commandId) override { host_.endDialog(self_, commandId); }
    void onTimer(int timerId) override {
        if (timerId != kUnitTimer) return;
        tickOffsetsMs_.push_back(monotonicMs() - armedAtMs_);
        if (tickOffsetsMs_.size() >= ticksWanted_) host_.endDialog(self_, velmora::IdOk);
    }

    const std::vector<double>& tickOffsetsMs() const { return tickOffsetsMs_; }

private:
    velmora::WindowHost& host_;
    unsigned periodMs_;
    std::size_t ticksWanted_;
    velmora::WindowId self_ = 0;
    double armedAtMs_ = 0;
    std::vector<double> tickOffsetsMs_;
};

void report(const std::vector<double>& offsetsMs, unsigned periodMs) {
    double maxDeviation = 0;
    double signedAtMax = 0;
    for (std::size_t k = 0; k < offsetsMs.size(); ++k) {
        const double deviation = offsetsMs[k] - static_cast<double>(k + 1) * periodMs;
        if (std::abs(deviation) > maxDeviation) {
            maxDeviation = std::abs(deviation);
            signedAtMax = deviation;
        }
    }
    const std::size_t n = offsetsMs.size();
    const double accumulated = n == 0 ? 0 : offsetsMs.back() - static_cast<double>(n) * periodMs;
    std::printf("period_ms=%u ticks=%zu span_s=%.1f\n", periodMs, n, n ? offsetsMs.back() / 1000 : 0.0);
    std::printf("max_deviation_ms=%.3f (signed %+.3f)\n", maxDeviation, signedAtMax);
    std::printf("accumulated_drift_ms=%+.3f\n", accumulated);
}

} // namespace

int main(int argc, char* argv[]) {
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: %s [--minutes N] [--period MS]\n", argv[0]);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);

    const auto ticks = static_cast<std::size_t>(options.minutes * 60000.0 / options.periodMs);
    velmora::QtHost host;
    DriftDialog dialog(host, options.periodMs, std::max<std::size_t>(ticks, 1));
    host.runModal(driftTemplate(), dialog, 0);
    report(dialog.tickOffsetsMs(), options.periodMs);
    return 0;
}
