// Kills writers of the log and the profile with SIGKILL at random moments and
// counts what a kill costs: files not whole, records and totals that the
// writer had been told were written but are gone, temporaries left behind.
//
//   kill_writers [--kills N] [--max-delay-us U] [--seed S] [--dir DIR]
//   defaults: 1000 kills, 20000 us, seed 1, a fresh folder under the temp dir
//
// Each round starts a writer that goes on from the last record in the log:
// record n into the log, then "Kosten" = its grand total into the profile, as
// the program does when a connection ends; after each write that reports done
// it tells the parent so over a pipe (its acknowledgement). The parent kills
// it after a random delay, checks both files, then clears up as the program
// does at start (profile_file::removeOrphanTemps) and counts what is still left.

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "StoreFaults.h"
#include "store/ConnectionLog.h"
#include "store/ProfileFile.h"
#include "store/SettingsProfile.h"

namespace {

using velmora::ConnectionLog;
using velmora::LogRecord;
using velmora::SettingsProfile;

struct Options {
    int kills = 1000;
    int maxDelayUs = 20000;
    unsigned seed = 1;
    std::string dir;
};

struct Ack {
    char kind; // 'L' log record, 'P' profile total
    int number;
};

using velmora::bench::recordNumber;

std::string sectionOf(int n) { return velmora::bench::sectionText(recordNumber(n)); }

std::string profileWithTotalOf(int n) { return "[Standard]\nKosten=" + recordNumber(n).grandTotal + "\n"; }

[[noreturn]] void runWriter(const Options& options, int first, int ackFd) {
    ConnectionLog log(options.dir + "/zelvar.log");
    SettingsProfile profile(options.dir + "/velmora.INI");
    for (int n = first;; ++n) {
        if (!log.write(recordNumber(n))) _exit(2);
        Ack ack{'L', n};
        if (write(ackFd, &ack, sizeof ack) != sizeof ack) _exit(3);
        if (!profile.writeString("Standard", "Kosten", recordNumber(n).grandTotal)) _exit(2);
        ack = {'P', n};
        if (write(ackFd, &ack, sizeof ack) != sizeof ack) _exit(3);
    }
}

std::string fileBytes(const std::string& path) { return velmora::profile_file::readAll(path).value_or("<unreadable>"); }

struct Totals {
    int rounds = 0;
    int killedMidWrite = 0; // a temporary was there right after the kill
    int logNotWhole = 0;
    int profileNotWhole = 0;
    long acknowledged = 0;
    int recordsLost = 0;
    int totalsLost = 0;
    int temporariesLeft = 0;
    int writerFailures = 0;
    int highestTotalAcknowledged = -1;
};

class Expected {
public:
    // Number of records when the log is exactly records 0..k-1, else -1.
    int recordsIn(const std::string& log) {
        while (log.size() > text_.size()) grow();
        const auto at = std::lower_bound(ends_.begin(), ends_.end(), log.size());
        if (at == ends_.end() || *at != log.size() || text_.compare(0, log.size(), log) != 0) return -1;
        return static_cast<int>(at - ends_.begin());
    }

private:
    void grow() {
        text_ += sectionOf(static_cast<int>(ends_.size() - 1));
        ends_.push_back(text_.size());
    }
    std::string text_;
    std::vector<std::size_t> ends_{0};
};

constexpr int kNotWhole = -2;

// The number of the record whose total the profile holds (-1: no profile yet),
// when the profile is exactly as that write left it.
int totalIn(const std::string& profile) {
    if (profile.empty()) return -1;
    const std::size_t at = profile.find("Kosten=");
    if (at == std::string::npos) return kNotWhole;
    const int n = static_cast<int>(std::lround(std::atof(profile.c_str() + at + 7) / 0.12)) - 1;
    return n >= 0 && profile == profileWithTotalOf(n) ? n : kNotWhole;
}

// Starts a writer, waits for its first acknowledgement so that the kill lands
// inside its loop however slowly it starts, kills it after `delayUs`.
void oneRound(const Options& options, int delayUs, Expected& expected, int& nextRecord, Totals& totals) {
    int acks[2];
    if (pipe(acks) != 0) std::exit(1);
    const pid_t pid = fork();
    if (pid == 0) {
        close(acks[0]);
        runWriter(options, nextRecord, acks[1]);
    }
    close(acks[1]);
    int lastLog = nextRecord - 1;
    int& lastTotal = totals.highestTotalAcknowledged;
    Ack ack{};
    const bool started = read(acks[0], &ack, sizeof ack) == sizeof ack;
    if (started) {
        ++totals.acknowledged;
        lastLog = ack.number;
        usleep(static_cast<useconds_t>(delayUs));
    }
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    totals.writerFailures += !(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    while (read(acks[0], &ack, sizeof ack) == sizeof ack) {
        ++totals.acknowledged;
        (ack.kind == 'L' ? lastLog : lastTotal) = ack.number;
    }
    close(acks[0]);

    totals.killedMidWrite += velmora::bench::temporariesIn(options.dir) > 0;
    const int records = expected.recordsIn(fileBytes(options.dir + "/zelvar.log"));
    totals.logNotWhole += records < 0;
    totals.recordsLost += records >= 0 && records - 1 < lastLog;
    const int total = totalIn(fileBytes(options.dir + "/velmora.INI"));
    totals.profileNotWhole += total == kNotWhole;
    totals.totalsLost += total != kNotWhole && total < lastTotal;

    velmora::profile_file::removeOrphanTemps(options.dir); // as the program does at start
    totals.temporariesLeft += velmora::bench::temporariesIn(options.dir);
    if (records >= 0) nextRecord = records;
    ++totals.rounds;
}

Options parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--kills")
            options.kills = std::stoi(argv[i + 1]);
        else if (name == "--max-delay-us")
            options.maxDelayUs = std::stoi(argv[i + 1]);
        else if (name == "--seed")
            options.seed = static_cast<unsigned>(std::stoul(argv[i + 1]));
        else if (name == "--dir")
            options.dir = argv[i + 1];
        else {
            std::fprintf(stderr, "unknown option %s\n", argv[i]);
            std::exit(2);
        }
    }
    return options;
}

} // namespace

int main(int argc, char** argv) {
    Options options = parse(argc, argv);
    std::filesystem::path made;
    if (options.dir.empty()) {
        std::string pattern = (std::filesystem::temp_directory_path() / "velmora-kills-XXXXXX").string();
        if (!mkdtemp(pattern.data())) return 1;
        options.dir = made = pattern;
    }
    std::mt19937 random(options.seed);
    std::uniform_int_distribution<int> delayUs(0, options.maxDelayUs);
    Expected expected;
    Totals totals;
    int nextRecord = 0;
    for (int round = 0; round < options.kills; ++round)
        oneRound(options, delayUs(random), expected, nextRecord, totals);

    std::printf("SIGKILLs of writers:                          %d (delay 0..%d us after the first write, seed %u)\n",
                totals.rounds, options.maxDelayUs, options.seed);
    std::printf("kills that landed mid-write (temporary seen): %d\n", totals.killedMidWrite);
    std::printf("writes acknowledged in all:                   %ld (log records written: %d)\n", totals.acknowledged,
                nextRecord);
    std::printf("files not whole after a kill:                 %d log, %d profile (target 0)\n", totals.logNotWhole,
                totals.profileNotWhole);
    std::printf("acknowledged records lost:                    %d log records, %d totals (target 0)\n",
                totals.recordsLost, totals.totalsLost);
    std::printf("orphan temporaries left after the clean-up:   %d (target 0)\n", totals.temporariesLeft);
    std::printf("writers that failed instead of being killed:  %d\n", totals.writerFailures);
    if (!made.empty()) std::filesystem::remove_all(made);
    const bool met = totals.logNotWhole + totals.profileNotWhole + totals.recordsLost + totals.totalsLost +
                         totals.temporariesLeft + totals.writerFailures ==
                     0;
    return met ? 0 : 1;
}
