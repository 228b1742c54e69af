// A year of daily use simulated on the in-memory host (see YearOfUse.h);
// prints how many connections, records and cent errors it came to.
//
//   year_of_use [--days N] [--sessions-per-day X] [--longest SECONDS] [--seed N] [--from TOTAL]
//   defaults: 365 days, 3.5 sessions a day, connections of up to an hour, seed 1, from 0.00
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <QDir>

#include "YearOfUse.h"

int main(int argc, char** argv) {
    velmora::testing::YearOptions options;
    options.sessionsPerDay = 3.5;
    for (int i = 1; i < argc; i += 2) {
        if (i + 1 == argc) {
            std::fprintf(
                stderr,
                "usage: year_of_use [--days N] [--sessions-per-day X] [--longest S] [--seed N] [--from TOTAL]\n");
            return 2;
        }
        if (!std::strcmp(argv[i], "--days"))
            options.days = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--sessions-per-day"))
            options.sessionsPerDay = std::atof(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--longest"))
            options.longestSeconds = static_cast<unsigned>(std::atoi(argv[i + 1]));
        else if (!std::strcmp(argv[i], "--seed"))
            options.seed = static_cast<unsigned>(std::atoi(argv[i + 1]));
        else if (!std::strcmp(argv[i], "--from"))
            options.startingTotal = argv[i + 1];
        else {
            std::fprintf(stderr, "unknown option %s\n", argv[i]);
            return 2;
        }
    }
    if (QDir(QStringLiteral("/dev/shm")).exists()) qputenv("TMPDIR", "/dev/shm");
    const auto began = std::chrono::steady_clock::now();
    const velmora::testing::YearFigures year = velmora::testing::YearOfUse(options).run();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    std::printf("days %d, connections %d, log records %d, cent errors %d, Kosten %s, last record's total %s (%.1f s)\n",
                options.days, year.connections, year.records, year.centErrors, year.storedTotal.c_str(),
                year.lastRecordTotal.c_str(), seconds);
    return year.records == year.connections && year.centErrors == 0 ? 0 : 1;
}
