#pragma once
// A year of daily use of the whole program on the in-memory host and the
// virtual clock: sessions of one to three connections, started and ended as a
// user would, over every kind of day, across band changes, both daylight
// saving nights and all five tariffs (the own one with holidays and a change
// of fee in the summer). Then the log is read back and every record's
// "Gesamtkosten bis dato" checked against the one before plus its
// "Verbindungskosten", and "Kosten" against the last record, to the cent.

#include <algorithm>
#include <climits>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "EngineFixture.h"
#include "store/UserTariff.h"

namespace velmora::testing {

struct YearOptions {
    int startYear = 2026;
    int days = 365;
    double sessionsPerDay = 3.0;    // on average; whole days without use happen
    unsigned longestSeconds = 3600; // a connection lasts 2 s up to this
    unsigned seed = 1;
    std::string startingTotal = "0.00"; // "Kosten" when the year begins
};

struct YearFigures {
    int connections = 0; // connections that were up at a poll
    int records = 0;     // sections of the log
    int centErrors = 0;  // records (and "Kosten") off by a cent or more
    std::string lastRecordTotal;
    std::string storedTotal; // "Kosten" at the end
};

// Money text ("%.2f") in whole cents.
inline std::int64_t centsOf(const std::string& text) {
    const std::size_t point = text.find('.');
    if (point == std::string::npos || point + 3 != text.size()) return INT64_MIN;
    return std::stoll(text.substr(0, point)) * 100 + std::stoll(text.substr(point + 1));
}

class YearOfUse {
public:
    explicit YearOfUse(const YearOptions& options)
        : options_(options), engine_(localEpochMs(options.startYear, 1, 1, 0, 0, 0)), random_(options.seed) {}

    YearFigures run() {
        engine_.profile.writeString("Standard", "Kosten", options_.startingTotal);
        ownTariff("0.23");
        for (const Planned& planned : plannedSessions()) session(planned);
        return check();
    }

private:
    // The own tariff: a cheap night and evening on working days, one long unit on holidays.
    void ownTariff(const std::string& fee) {
        UserTariff tariff;
        tariff.unitFee = fee;
        tariff.holidayWeekdays = {false, false, false, false, false, true, true};
        tariff.weekdayBands = {{0, 8, "120"}, {8, 18, "60"}, {18, 24, "90"}};
        tariff.holidayBands = {{0, 24, "240"}};
        saveUserTariff(engine_.profile, tariff);
    }

    struct Planned {
        std::int64_t startMs = 0;
        unsigned firstSeconds = 0; // the first connection's length; 0: at random
        bool operator<(const Planned& other) const { return startMs < other.startMs; }
    };

    // Sessions in order: random ones on every day, plus some placed across
    // band limits and across the two nights the clocks change.
    std::vector<Planned> plannedSessions() {
        std::vector<Planned> planned;
        const int year = options_.startYear;
        std::poisson_distribution<int> perDay(options_.sessionsPerDay);
        std::uniform_int_distribution<int> secondOfDay(0, 86399);
        for (int day = 0; day < options_.days; ++day) {
            const std::int64_t midnight = localEpochMs(year, 1, 1 + day, 0, 0, 0);
            for (int n = perDay(random_); n > 0; --n) planned.push_back({midnight + secondOfDay(random_) * 1000LL});
            if (day % 7 == 3) planned.push_back({localEpochMs(year, 1, 1 + day, 17, 50, 0), 20 * 60}); // 18:00
            if (day % 7 == 5) planned.push_back({localEpochMs(year, 1, 1 + day, 8, 58, 0), 5 * 60});   // 9:00
        }
        planned.push_back({localEpochMs(year, 3, 29, 1, 45, 0), 45 * 60});   // 2:00 becomes 3:00
        planned.push_back({localEpochMs(year, 10, 25, 1, 55, 0), 2 * 3600}); // 3:00 becomes 2:00
        std::sort(planned.begin(), planned.end());
        return planned;
    }

    // One run of the program: started just before the first connection,
    // ended with Escape after the last one (sometimes while it is up).
    void session(const Planned& planned) {
        Engine& e = engine_;
        if (planned.startMs <= e.clock.epochMs() + 2000) return; // the previous session still runs then
        const std::int64_t startMs = planned.startMs;
        e.clock.advance(static_cast<std::uint64_t>(startMs - e.clock.epochMs()));
        if (!feeChanged_ && e.clock.localTime().month >= 7) {
            ownTariff("0.19"); // the provider's new fee, typed into the Cost-Editor
            feeChanged_ = true;
        }
        std::uniform_int_distribution<int> zone(City, UserDefined);
        std::uniform_int_distribution<int> count(1, 3);
        std::uniform_int_distribution<unsigned> duration(2, options_.longestSeconds);
        std::uniform_int_distribution<unsigned> gap(2, 600);
        const int tariff = zone(random_);
        const int connections = count(random_);
        const bool endWhileUp = random_() % 8 == 0;
        MonitorApp app(e.env);
        e.host.script({[&] {
            const WindowId w = app.mainWindow()->window();
            e.host.choose(w, ids::TariffList, tariff);
            for (int i = 0; i < connections; ++i) {
                e.source.up("Provider");
                e.seconds(i == 0 && planned.firstSeconds ? planned.firstSeconds : duration(random_));
                ++connections_;
                if (endWhileUp && i + 1 == connections) break;
                e.source.down();
                e.seconds(gap(random_));
            }
            e.host.pressEscape(w);
        }});
        app.runMainDialog();
        e.source.down();
    }

    // The log read line by line: a section line, then the cost, then the total.
    YearFigures check() {
        YearFigures figures;
        figures.connections = connections_;
        std::istringstream log(engine_.logText());
        const std::string costKey = "Verbindungskosten=";
        const std::string totalKey = "Gesamtkosten bis dato=";
        std::int64_t previous = centsOf(options_.startingTotal);
        std::int64_t cost = INT64_MIN;
        for (std::string line; std::getline(log, line);) {
            if (line.rfind(costKey, 0) == 0) cost = centsOf(line.substr(costKey.size()));
            if (line.rfind(totalKey, 0) != 0) continue;
            figures.lastRecordTotal = line.substr(totalKey.size());
            const std::int64_t total = centsOf(figures.lastRecordTotal);
            if (cost == INT64_MIN || total != previous + cost) ++figures.centErrors;
            previous = total;
            cost = INT64_MIN;
            ++figures.records;
        }
        figures.storedTotal = engine_.profile.readString("Standard", "Kosten", "");
        if (figures.storedTotal != figures.lastRecordTotal) ++figures.centErrors;
        return figures;
    }

    YearOptions options_;
    Engine engine_;
    std::mt19937 random_;
    int connections_ = 0;
    bool feeChanged_ = false;
};

} // namespace velmora::testing
