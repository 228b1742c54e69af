#pragma once
// A meter on a virtual clock with a scripted link source and its files in a
// private folder, and the window's two timers played as the window would: the
// poll once a second, the unit timer as the meter arms it.

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "meter/Meter.h"
#include "monitor/ScriptedSource.h"

namespace velmora::testing {

inline std::int64_t wallMs(int year, int month, int day, int hour, int minute, int second) {
    return epochSecondsAt(year, month, day, hour, minute, second) * 1000;
}

inline std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class MeterRig {
public:
    // The run starts at this local time (Wednesday 10:29:59 unless told), the
    // first poll one second later.
    explicit MeterRig(std::int64_t startMs = wallMs(2026, 12, 9, 10, 29, 59))
        : clock(startMs, 7'000'000)
        , profile(dir.filePath("velmora.INI").toStdString())
        , log(dir.filePath("zelvar.log").toStdString()) {}

    Meter& start() {
        meter_.emplace(log, profile, [this](const std::string& title, const std::string& text) {
            notices.push_back(title);
            told += title + "|" + text + "\n";
        });
        meter_->begin();
        nextPollMs_ = clock.tickMs() + 1000;
        return *meter_;
    }
    Meter& meter() { return *meter_; }
    const MeterState& state() const { return meter_->state(); }

    // Lets time pass, firing the poll and the unit timer when due (the poll
    // first when both are due together: it was armed first).
    void seconds(unsigned n) { advanceMs(n * 1000ULL); }
    void advanceMs(std::uint64_t ms) {
        const std::uint64_t target = clock.tickMs() + ms;
        for (;;) {
            const bool unitFirst = unitPeriodMs_ && nextUnitMs_ < nextPollMs_;
            const std::uint64_t due = unitFirst ? nextUnitMs_ : nextPollMs_;
            if (due > target) break;
            if (due > clock.tickMs()) clock.advance(due - clock.tickMs());
            unitFirst ? unitTick() : poll();
        }
        if (target > clock.tickMs()) clock.advance(target - clock.tickMs());
    }
    // The process stands still (stopped, swapped out): time passes and no
    // timer fires. Afterwards each overdue timer fires once, in the order they
    // were due (or the unit timer first when told), and then a period from
    // then on, as a window system's timers do.
    void stall(std::uint64_t ms, bool unitTimerFirst = false) {
        clock.advance(ms);
        if (unitTimerFirst && unitPeriodMs_ && nextUnitMs_ <= clock.tickMs()) unitTick();
    }
    // The program is gone without a word, as after a crash or a kill.
    void crash() { meter_.reset(); }
    void end() {
        meter_->endConnection(momentOf(clock));
        meter_->end();
    }

    std::string logText() const { return fileText(log.path()); }
    std::string profileText() const { return fileText(profile.path()); }

    QTemporaryDir dir;
    VirtualClock clock;
    ScriptedSource source;
    SettingsProfile profile;
    ConnectionLog log;
    std::vector<std::string> notices;
    std::string told;               // every notice as "title|text" lines
    std::vector<MeterEvents> polls; // what each poll answered
    int beeps = 0;
    std::vector<int> budgetAlerts; // the shares of the budget the meter said were reached

private:
    void poll() {
        nextPollMs_ = clock.tickMs() + 1000;
        const LinkSighting links = sightLinks(source, meter_->shownHandle());
        const MeterEvents events = meter_->tick(momentOf(clock), links);
        polls.push_back(events);
        take(events);
    }
    void unitTick() {
        nextUnitMs_ = clock.tickMs() + unitPeriodMs_;
        take(meter_->unitElapsed(momentOf(clock)));
    }
    void take(const MeterEvents& events) {
        if (events.beep) ++beeps;
        if (events.budget) budgetAlerts.push_back(events.budget->percent);
        if (!events.unitTimerMs) return;
        unitPeriodMs_ = static_cast<std::uint64_t>(*events.unitTimerMs);
        nextUnitMs_ = clock.tickMs() + unitPeriodMs_;
    }

    std::optional<Meter> meter_;
    std::uint64_t nextPollMs_ = 0;
    std::uint64_t unitPeriodMs_ = 0; // 0: not armed yet
    std::uint64_t nextUnitMs_ = 0;
};

} // namespace velmora::testing
