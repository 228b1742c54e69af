#include "history/LogDateTime.h"

#include <array>
#include <cstdio>

namespace velmora {
namespace {

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A cursor over the section name; every take* consumes on success only.
class Cursor {
public:
    explicit Cursor(std::string_view text) : rest_(text) {}
    bool atEnd() const { return rest_.empty(); }

    bool takeBlanks(bool required) {
        std::size_t n = 0;
        while (n < rest_.size() && (rest_[n] == ' ' || rest_[n] == '\t')) ++n;
        rest_.remove_prefix(n);
        return n > 0 || !required;
    }
    bool takeWord(std::string_view word) {
        if (rest_.size() < word.size()) return false;
        for (std::size_t i = 0; i < word.size(); ++i)
            if (asciiLower(rest_[i]) != word[i]) return false;
        rest_.remove_prefix(word.size());
        return true;
    }
    bool takeChar(char c) {
        if (rest_.empty() || rest_.front() != c) return false;
        rest_.remove_prefix(1);
        return true;
    }
    // minDigits..maxDigits decimal digits.
    bool takeNumber(int& value, std::size_t minDigits, std::size_t maxDigits) {
        std::size_t n = 0;
        int v = 0;
        while (n < rest_.size() && n < maxDigits && isDigit(rest_[n])) v = v * 10 + (rest_[n++] - '0');
        if (n < minDigits || (n < rest_.size() && isDigit(rest_[n]))) return false;
        rest_.remove_prefix(n);
        value = v;
        return true;
    }

private:
    std::string_view rest_;
};

bool takeDateTime(Cursor& c, LogDateTime& t) {
    return c.takeNumber(t.day, 1, 2) && c.takeChar('.') && c.takeNumber(t.month, 1, 2) && c.takeChar('.') &&
           c.takeNumber(t.year, 1, 4) && c.takeBlanks(true) && c.takeNumber(t.hour, 1, 2) && c.takeChar(':') &&
           c.takeNumber(t.minute, 2, 2) && c.takeChar(':') && c.takeNumber(t.second, 2, 2);
}

bool exists(const LogDateTime& t) {
    return t.year >= 1 && t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= daysInMonth(t.year, t.month) &&
           t.hour <= 23 && t.minute <= 59 && t.second <= 59;
}

} // namespace

std::optional<LogInterval> parseLogInterval(std::string_view sectionName) {
    Cursor c(sectionName);
    LogInterval interval;
    const bool parsed = c.takeBlanks(false) && c.takeWord("von") && c.takeBlanks(true) &&
                        takeDateTime(c, interval.start) && c.takeBlanks(true) && c.takeWord("bis") &&
                        c.takeBlanks(true) && takeDateTime(c, interval.end) && c.takeBlanks(false) && c.atEnd();
    if (!parsed || !exists(interval.start) || !exists(interval.end)) return std::nullopt;
    return interval;
}

std::string isoLocalText(const LogDateTime& t) {
    std::array<char, 40> text{};
    std::snprintf(text.data(), text.size(), "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return text.data();
}

std::string isoDayText(const LogDateTime& t) { return isoLocalText(t).substr(0, 10); }

std::string logText(const LogDateTime& t) {
    std::array<char, 40> text{};
    std::snprintf(text.data(), text.size(), "%d.%d.%d %02d:%02d:%02d", t.day, t.month, t.year, t.hour, t.minute,
                  t.second);
    return text.data();
}

// The well-known days-from-civil conversion (era of 400 years).
long long daysFromCivil(int year, int month, int day) {
    const long long y = year - (month <= 2 ? 1 : 0);
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yearOfEra = y - era * 400;
    const long long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

int daysInMonth(int year, int month) {
    static constexpr std::array<int, 12> days{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[static_cast<std::size_t>(month - 1)];
}

} // namespace velmora
