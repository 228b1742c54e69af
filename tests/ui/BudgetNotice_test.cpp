// A share of the budget reached is told on the desktop; where the desktop has
// no notifications, beside the icon; without an icon, on stderr.
#include "EngineFixture.h"

namespace velmora::testing {
namespace {

using namespace velmora::ids;

// 0.30 a month: the second unit of City (0.12 every 90 s) reaches 80 %.
void chooseBudget(Engine& e) {
    ASSERT_TRUE(e.profile.writeStrings("Budget", {{"Monat", "0.30"}}));
    e.source.up("T-Online");
}

const char* const kWarning = "Monatsbudget zu 80 % verbraucht";
const char* const kBody = "Ausgegeben: 0.24 € von 0.30 € (80 %)\nPrognose zum 31.12.2026: 0.88 €, über dem Budget";

TEST(BudgetNotice, IsADesktopNotificationWhereTheDesktopHasThem) {
    Engine e; // 9.12.2026 10:29:59
    chooseBudget(e);
    e.run({[&] {
        e.seconds(1 + 89);
        EXPECT_TRUE(e.notifier.shown.empty());
        e.seconds(1);
        EXPECT_EQ(e.notifier.shown, (std::vector<std::string>{std::string(kWarning) + "\n" + kBody}));
        e.seconds(600);
        EXPECT_EQ(e.notifier.shown.size(), 2u);
        EXPECT_EQ(e.notifier.shown.back().rfind("Monatsbudget überschritten\n", 0), 0u);
        EXPECT_TRUE(e.host.trayMessages().empty());
        e.host.pressEscape(e.main());
    }});
}

TEST(BudgetNotice, GoesBesideTheIconWithoutTheDesktopsNotificationsAndToStderrWithoutAnIcon) {
    Engine beside;
    beside.notifier.available = false;
    chooseBudget(beside);
    beside.run({[&] {
        beside.seconds(1 + 90);
        ASSERT_EQ(beside.host.trayMessages().size(), 1u);
        EXPECT_EQ(beside.host.trayMessages()[0].title, kWarning);
        EXPECT_EQ(beside.host.trayMessages()[0].text, kBody);
        beside.host.pressEscape(beside.main());
    }});

    Engine bare;
    bare.notifier.available = false;
    bare.host.setTrayArea(false);
    chooseBudget(bare);
    ::testing::internal::CaptureStderr();
    bare.run({[&] {
        bare.seconds(1 + 90);
        bare.host.pressEscape(bare.main());
    }});
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "velmora: Monatsbudget zu 80 % verbraucht: Ausgegeben: 0.24 € von 0.30 € (80 %); Prognose zum "
              "31.12.2026: 0.88 €, über dem Budget\n");
}

} // namespace
} // namespace velmora::testing
