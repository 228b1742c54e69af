// The tray's door to the settings window: one window at a time, made afresh
// after it closed so that it shows the file as it is now (offscreen).
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>

#include "app/SettingsWindowOpener.h"
#include "store/StoreTestSupport.h"

namespace velmora::test {
namespace {

class SettingsOpenerTest : public TempDirTest {};

TEST_F(SettingsOpenerTest, OneWindowComesForwardAndAClosedOneIsMadeAfreshFromTheFile) {
    SettingsProfile profile(pathOf("velmora.INI"));
    SettingsWindowOpener opener(profile, "€");
    int saved = 0;
    opener.open([&] { ++saved; });
    QPointer<SettingsWindow> first = opener.window();
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->isVisible());
    opener.open([&] { saved += 100; });
    EXPECT_EQ(opener.window(), first) << "chosen again: the open window";

    first->findChild<QLineEdit*>(QStringLiteral("budget"))->setText("25");
    first->findChild<QPushButton*>(QStringLiteral("ok"))->click();
    EXPECT_EQ(saved, 1) << "the callback of the window's own opening";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(first) << "closed windows go";

    ASSERT_TRUE(profile.writeString("Budget", "Monat", "30.00")); // changed meanwhile
    opener.open([] {});
    ASSERT_TRUE(opener.window());
    EXPECT_EQ(opener.window()->findChild<QLineEdit*>(QStringLiteral("budget"))->text(), "30.00");
}

} // namespace
} // namespace velmora::test

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
