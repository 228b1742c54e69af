#include "monitor/LinuxSystemFacts.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <ctime>

#include "monitor/SafeText.h"

namespace velmora {
namespace {

constexpr std::size_t kMaxLocaleFileBytes = 16384;
constexpr std::size_t kMaxSymbolBytes = 32;

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

std::string unquoted(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return std::string(value.substr(1, value.size() - 2));
    return std::string(value);
}

// Locale names are short words like de_DE.UTF-8 or de_DE@euro; anything
// else (paths in particular) is not handed to the C library.
bool isLocaleName(std::string_view name) {
    if (name.empty() || name.size() > 64) return false;
    for (char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                        c == '.' || c == '-' || c == '@';
        if (!ok) return false;
    }
    return name.find("..") == std::string_view::npos;
}

std::optional<std::string> toUtf8(const std::string& text, const char* codeset) {
    if (std::strcmp(codeset, "UTF-8") == 0) return text;
    iconv_t cd = ::iconv_open("UTF-8", codeset);
    // NOLINTNEXTLINE(performance-no-int-to-ptr): (iconv_t)-1 is how iconv_open says it failed
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string in = text;
    std::string out(text.size() * 4 + 4, '\0');
    char* src = in.data();
    char* dst = out.data();
    std::size_t srcLeft = in.size();
    std::size_t dstLeft = out.size();
    const std::size_t done = ::iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    ::iconv_close(cd);
    if (done == static_cast<std::size_t>(-1)) return std::nullopt;
    out.resize(out.size() - dstLeft);
    return out;
}

} // namespace

std::optional<std::string> shellAssignment(std::string_view text, std::string_view key) {
    std::optional<std::string> value;
    while (!text.empty()) {
        std::string_view line = firstLine(text);
        text.remove_prefix(std::min(line.size() + 1, text.size()));
        line = trimmed(line);
        if (line.substr(0, 7) == "export ") line = trimmed(line.substr(7));
        if (line.size() > key.size() && line.substr(0, key.size()) == key && line[key.size()] == '=')
            value = unquoted(trimmed(line.substr(key.size() + 1))); // the last assignment wins, as in a shell
    }
    return value;
}

std::optional<std::string> currencySymbolOf(const std::string& localeName) {
    if (!isLocaleName(localeName)) return std::nullopt;
    // LC_CTYPE comes along for the codeset the symbol is written in.
    locale_t loc = ::newlocale(LC_MONETARY_MASK | LC_CTYPE_MASK, localeName.c_str(), static_cast<locale_t>(nullptr));
    if (loc == static_cast<locale_t>(nullptr)) return std::nullopt;
    const std::string raw = ::nl_langinfo_l(CURRENCY_SYMBOL, loc);
    const auto utf8 = toUtf8(raw, ::nl_langinfo_l(CODESET, loc));
    ::freelocale(loc);
    if (!utf8) return std::nullopt;
    auto symbol = cleanText(*utf8, kMaxSymbolBytes);
    if (symbol.empty()) return std::nullopt;
    return symbol;
}

LinuxSystemFacts::LinuxSystemFacts(std::vector<std::string> localeFiles) : localeFiles_(std::move(localeFiles)) {}

std::optional<std::string> LinuxSystemFacts::monetaryLocale() const {
    std::vector<std::string> contents;
    for (const auto& path : localeFiles_)
        if (auto text = readSmallFile(path, kMaxLocaleFileBytes)) contents.push_back(std::move(*text));
    for (const char* key : {"LC_ALL", "LC_MONETARY", "LANG"})
        for (const auto& text : contents)
            if (auto value = shellAssignment(text, key); value && !value->empty()) return value;
    return std::nullopt;
}

std::vector<LinuxSystemFacts::FileStamp> LinuxSystemFacts::stampLocaleFiles() const {
    std::vector<FileStamp> stamps;
    for (const auto& path : localeFiles_) {
        struct stat st {};
        FileStamp stamp;
        if (::stat(path.c_str(), &st) == 0) {
            stamp = {true,
                     static_cast<std::uint64_t>(st.st_dev),
                     static_cast<std::uint64_t>(st.st_ino),
                     static_cast<std::uint64_t>(st.st_size),
                     static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec,
                     static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec};
        }
        stamps.push_back(stamp);
    }
    return stamps;
}

std::optional<std::string> LinuxSystemFacts::currencySymbol() const {
    std::vector<FileStamp> stamps = stampLocaleFiles();
    if (cacheValid_ && stamps == cachedStamps_) return cachedSymbol_;
    const auto name = monetaryLocale();
    cachedSymbol_ = name ? currencySymbolOf(*name) : std::nullopt;
    cachedStamps_ = std::move(stamps);
    cacheValid_ = true;
    return cachedSymbol_;
}

std::optional<std::string> LinuxSystemFacts::computerName() const {
    char buffer[256] = {};
    if (::gethostname(buffer, sizeof buffer - 1) != 0) return std::nullopt;
    auto name = cleanText(buffer, 255);
    if (name.empty()) return std::nullopt;
    return name;
}

std::uint64_t SystemClock::tickMs() const {
    timespec ts{};
    ::clock_gettime(CLOCK_BOOTTIME, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
}

LocalTime SystemClock::localTime() const {
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    return localTimeOf(ts.tv_sec, static_cast<int>(ts.tv_nsec / 1000000));
}

std::int64_t SystemClock::epochMs() const {
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

} // namespace velmora
