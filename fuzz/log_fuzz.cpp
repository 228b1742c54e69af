// The connection log read back, from logs of arbitrary bytes. Whatever the
// bytes: the reader gives the same rows and counts however the log is cut
// into chunks, and reading the file gives what reading the bytes gives; the
// sums add up; and the rows it found, written again as the program writes
// them, read back as exactly those rows, none skipped.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>

#include "history/History.h"
#include "history/LogReader.h"
#include "history/Money.h"

namespace {

using velmora::ConnectionRow;
using velmora::LogReadStats;

struct Read {
    std::vector<ConnectionRow> rows;
    LogReadStats stats;
};

bool sameRows(const std::vector<ConnectionRow>& a, const std::vector<ConnectionRow>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].start != b[i].start || a[i].end != b[i].end || a[i].seconds != b[i].seconds ||
            a[i].costCents != b[i].costCents || a[i].totalCents != b[i].totalCents)
            return false;
    }
    return true;
}

bool same(const Read& a, const Read& b) {
    return sameRows(a.rows, b.rows) && a.stats.records == b.stats.records &&
           a.stats.skippedLines == b.stats.skippedLines && a.stats.tornTail == b.stats.tornTail;
}

// Feeds the bytes in chunks of `step` (0: in one piece).
Read readInChunks(std::string_view bytes, std::size_t step) {
    Read read;
    velmora::LogReader reader([&read](const ConnectionRow& row) { read.rows.push_back(row); });
    if (step == 0) {
        reader.feed(bytes);
    } else {
        for (std::size_t at = 0; at < bytes.size(); at += step) reader.feed(bytes.substr(at, step));
    }
    read.stats = reader.finish();
    return read;
}

// Files go to tmpfs where there is one: a disk per run would slow the fuzzer.
const std::string& logPath() {
    static QTemporaryDir dir(access("/dev/shm", W_OK) == 0 ? QStringLiteral("/dev/shm/velmora-fuzz-XXXXXX")
                                                           : QDir::tempPath() + "/velmora-fuzz-XXXXXX");
    static const std::string path = dir.path().toStdString() + "/zelvar.log";
    return path;
}

void writeFile(const std::string& path, std::string_view bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) std::abort();
    if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || std::fclose(file) != 0) std::abort();
}

void checkHistory(const velmora::HistoryRead& read, const Read& expected) {
    if (!read.ok || !sameRows(read.history.rows(), expected.rows)) std::abort();
    const velmora::Totals totals = read.history.totals();
    std::int64_t cents = 0;
    std::int64_t seconds = 0;
    for (const ConnectionRow& row : expected.rows) {
        if (row.seconds < 0) std::abort();
        cents += row.costCents;
        seconds += row.seconds;
    }
    if (totals.connections != expected.rows.size() || totals.costCents != cents || totals.seconds != seconds)
        std::abort();
    std::size_t inMonths = 0;
    for (const auto& [month, sums] : read.history.byMonth()) inMonths += sums.connections;
    if (inMonths != expected.rows.size()) std::abort();
}

// The rows as the main window writes them, CRLF or LF.
std::string written(const std::vector<ConnectionRow>& rows, const char* eol) {
    std::string log;
    for (const ConnectionRow& row : rows) {
        log += "[Von " + velmora::logText(row.start) + " bis " + velmora::logText(row.end) + "]" + eol;
        log += "Verbindungskosten=" + velmora::moneyText(row.costCents) + eol;
        log += "Gesamtkosten bis dato=" + velmora::moneyText(row.totalCents) + eol;
    }
    return log;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const Read whole = readInChunks(bytes, 0);
    if (whole.stats.records != whole.rows.size()) std::abort();
    for (std::size_t step : {std::size_t{1}, std::size_t{2} + (size == 0 ? 0 : data[0] % 61)}) {
        if (!same(readInChunks(bytes, step), whole)) std::abort();
    }

    writeFile(logPath(), bytes);
    checkHistory(velmora::readHistory(logPath()), whole);

    const Read again = readInChunks(written(whole.rows, size % 2 ? "\r\n" : "\n"), 0);
    if (!sameRows(again.rows, whole.rows) || again.stats.skippedLines != 0 || again.stats.tornTail) std::abort();
    return 0;
}
