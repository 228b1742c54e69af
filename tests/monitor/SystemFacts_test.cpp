#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <ctime>
#include <fstream>
#include <locale.h>

#include "monitor/FakeSystem.h"
#include "monitor/LinuxSystemFacts.h"

namespace velmora::test {
namespace {

bool localeInstalled(const char* name) {
    locale_t loc = ::newlocale(LC_MONETARY_MASK, name, static_cast<locale_t>(nullptr));
    if (loc == static_cast<locale_t>(nullptr)) return false;
    ::freelocale(loc);
    return true;
}

#define REQUIRE_LOCALE(name)                                                                                           \
    if (!localeInstalled(name))                                                                                        \
    GTEST_SKIP() << "locale " name " is not generated here (Debian: package 'locales', then "                          \
                    "'locale-gen' with it enabled in /etc/locale.gen, or 'localedef')"

TEST(ShellAssignment, ReadsQuotedExportedAndLastValues) {
    const std::string text = "# LANG=xx\n"
                             "LANG=de_DE.UTF-8\n"
                             "  export LC_MONETARY=\"en_US.UTF-8\"  \n"
                             "LC_TIME='fr_FR.UTF-8'\r\n"
                             "LANGUAGE=de:en\n"
                             "LANG=de_AT.UTF-8\n";
    EXPECT_EQ(shellAssignment(text, "LANG"), "de_AT.UTF-8");
    EXPECT_EQ(shellAssignment(text, "LC_MONETARY"), "en_US.UTF-8");
    EXPECT_EQ(shellAssignment(text, "LC_TIME"), "fr_FR.UTF-8");
    EXPECT_FALSE(shellAssignment(text, "LC_ALL"));
    EXPECT_FALSE(shellAssignment("LANGX=1\nLAN=2", "LANG"));
}

class Currency : public testing::Test {
protected:
    TempTree tree;
    LinuxSystemFacts facts{{tree.path("default-locale"), tree.path("locale.conf")}};
};

TEST_F(Currency, ComesFromTheSystemLocaleFile) {
    REQUIRE_LOCALE("de_DE.UTF-8");
    REQUIRE_LOCALE("en_US.UTF-8");
    tree.write("default-locale", "LANG=de_DE.UTF-8\n");
    EXPECT_EQ(facts.currencySymbol(), "€");
    tree.write("default-locale", "LANG=de_DE.UTF-8\nLC_MONETARY=en_US.UTF-8\n");
    EXPECT_EQ(facts.currencySymbol(), "$") << "LC_MONETARY beats LANG";
    tree.remove("default-locale");
    tree.write("locale.conf", "LANG=\"de_DE.UTF-8\"\n");
    EXPECT_EQ(facts.currencySymbol(), "€") << "the second file when the first is missing";
    tree.write("locale.conf", "LANG=\"en_US.UTF-8\"\n");
    EXPECT_EQ(facts.currencySymbol(), "$") << "an edit of the same length is seen at once";
}

TEST_F(Currency, IsConvertedToUtf8FromALegacyCodeset) {
    REQUIRE_LOCALE("de_DE@euro");
    tree.write("default-locale", "LANG=de_DE@euro\n");
    EXPECT_EQ(facts.currencySymbol(), "€");
}

TEST_F(Currency, IsAbsentWhenNothingUsableIsNamed) {
    EXPECT_FALSE(facts.currencySymbol()) << "no files";
    tree.write("default-locale", "LANG=xx_YY.UTF-8\n");
    EXPECT_FALSE(facts.currencySymbol()) << "not installed";
    tree.write("default-locale", "LANG=C.UTF-8\n");
    EXPECT_FALSE(facts.currencySymbol()) << "the C locale has no symbol";
    tree.write("default-locale", std::string("LANG=\x01\xff/../../tmp/x\n") + std::string(100000, '#'));
    EXPECT_FALSE(facts.currencySymbol()) << "garbage";
    tree.write("default-locale", "LANG=\n");
    EXPECT_FALSE(facts.currencySymbol());
}

TEST(ComputerName, IsTheHostName) {
    char expected[256] = {};
    ASSERT_EQ(::gethostname(expected, sizeof expected - 1), 0);
    EXPECT_EQ(LinuxSystemFacts().computerName(), std::string(expected));
}

double uptimeSeconds() {
    std::ifstream in("/proc/uptime");
    double seconds = 0;
    in >> seconds;
    return seconds;
}

TEST(SystemClock, TicksFromBootWithoutGoingBack) {
    SystemClock clock;
    const double uptimeBefore = uptimeSeconds();
    const auto first = clock.tickMs();
    const auto second = clock.tickMs();
    EXPECT_LE(first, second);
    EXPECT_GE(static_cast<double>(first) + 10.0, uptimeBefore * 1000.0);
}

TEST(SystemClock, LocalTimeIsNow) {
    const std::time_t before = std::time(nullptr);
    const LocalTime now = SystemClock().localTime();
    const std::time_t after = std::time(nullptr);
    const LocalTime low = localTimeOf(before);
    const LocalTime high = localTimeOf(after);
    EXPECT_TRUE((now.year == low.year && now.hour == low.hour && now.minute == low.minute) ||
                (now.year == high.year && now.hour == high.hour && now.minute == high.minute));
    EXPECT_GE(now.milliseconds, 0);
    EXPECT_LT(now.milliseconds, 1000);
}

} // namespace
} // namespace velmora::test
