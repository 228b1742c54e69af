// The settings window: what it shows of the file, what it refuses, what it
// writes, on the keyboard as a user works it (offscreen).
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "settingswindow/SettingsWindow.h"
#include "store/StoreTestSupport.h"

namespace velmora::test {
namespace {

class SettingsTest : public TempDirTest {
protected:
    SettingsTest() : profile(pathOf("velmora.INI")) {}
    std::string fileText() const { return readFileBytes(profile.path()); }
    SettingsProfile profile;
};

TEST_F(SettingsTest, TheFormShowsTheFileWithBadValuesAsTheirDefaults) {
    SettingsForm form(profile, "€");
    EXPECT_EQ(form.stored(), (SettingsChoice{"", 1, 0})) << "nothing stored";
    writeFileBytes(profile.path(), "[Budget]\nMonat=50\nStichtag=15\n[Feiertage]\nLand=by\n");
    EXPECT_EQ(form.stored(), (SettingsChoice{"50.00", 15, 3}));
    writeFileBytes(profile.path(), "[Budget]\nMonat=fünfzig\nStichtag=31\n[Feiertage]\nLand=XX\n");
    EXPECT_EQ(form.stored(), (SettingsChoice{"", 1, 0}));
}

TEST_F(SettingsTest, TheBudgetIsTakenAsTheCostEditorTakesNumbersAndANonNumberIsRefusedByName) {
    SettingsForm form(profile, "€");
    const std::pair<const char*, const char*> taken[] = {
        {"49,90", "49.90"}, {" 50 ", "50.00"}, {"12.345", "12.35"}, {"", ""}, {"0", ""}, {"0,00", ""}, {",5", "0.50"},
    };
    for (const auto& [typed, stored] : taken) {
        EXPECT_EQ(SettingsForm::storedBudget(typed), stored) << typed;
        EXPECT_EQ(form.problemWith({typed, 1, 0}), std::nullopt) << typed;
    }
    const std::optional<std::string> word = form.problemWith({"fünfzig", 1, 0});
    ASSERT_TRUE(word);
    EXPECT_EQ(word->rfind("Im Feld „Monatsbudget in €“ steht keine Zahl.", 0), 0u) << *word;
    EXPECT_NE(form.problemWith({"-5", 1, 0}).value_or("").find("unter 0"), std::string::npos);
    EXPECT_NE(form.problemWith({"50", 29, 0}).value_or("").find("zwischen 1 und 28"), std::string::npos);
    EXPECT_NE(form.problemWith({"50", 0, 0}), std::nullopt);
    EXPECT_NE(form.problemWith({"50", 1, 18}), std::nullopt);
}

TEST_F(SettingsTest, SavingWritesBothSectionsWholeAndLeavesWhatWasToldAndOtherKeys) {
    writeFileBytes(profile.path(), "[Standard]\nKosten=3.60\n[Budget]\nGemeldet=2026-12-15 80\n");
    SettingsForm form(profile, "€");
    ASSERT_TRUE(form.save({"49,90", 15, 2}));
    EXPECT_EQ(fileText(), "[Standard]\nKosten=3.60\n[Budget]\nGemeldet=2026-12-15 80\nMonat=49.90\nStichtag=15\n"
                          "[Feiertage]\nLand=BW\n");
    EXPECT_FALSE(form.save({"viel", 15, 2}));
    EXPECT_NE(fileText().find("Monat=49.90"), std::string::npos) << "a refused value writes nothing";
    ASSERT_TRUE(form.save({"", 1, 0}));
    EXPECT_NE(fileText().find("Monat=\nStichtag=1\n"), std::string::npos);
    EXPECT_NE(fileText().find("Land=\n"), std::string::npos);
}

// ---- the window -------------------------------------------------------------------------------

void press(QWidget* target, int key) {
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &down);
}

class SettingsWindowTest : public SettingsTest {
protected:
    std::unique_ptr<SettingsWindow> open() {
        auto window = std::make_unique<SettingsWindow>(SettingsWindowSetup{
            profile, "€", [this] { ++saved; }, [this](QWidget*, const QString& text) { told << text; }});
        window->show();
        return window;
    }
    template <typename T>
    static T* part(QWidget& window, const char* name) {
        return window.findChild<T*>(QString::fromLatin1(name));
    }
    int saved = 0;
    QStringList told;
};

TEST_F(SettingsWindowTest, OpensOnTheBudgetAndEnterSavesWhatWasTyped) {
    writeFileBytes(profile.path(), "[Budget]\nMonat=30.00\nStichtag=15\n[Feiertage]\nLand=HE\n");
    auto window = open();
    EXPECT_EQ(window->windowTitle(), "Einstellungen");
    auto* budget = part<QLineEdit>(*window, "budget");
    ASSERT_TRUE(budget);
    EXPECT_EQ(window->focusWidget(), budget);
    EXPECT_EQ(budget->text(), "30.00");
    EXPECT_EQ(part<QSpinBox>(*window, "stichtag")->value(), 15);
    auto* holidays = part<QComboBox>(*window, "feiertage");
    EXPECT_EQ(holidays->count(), 18);
    EXPECT_EQ(holidays->itemText(0), "keine");
    EXPECT_EQ(holidays->itemText(1), "nur bundesweite");
    EXPECT_EQ(holidays->currentText(), "Hessen");
    EXPECT_TRUE(part<QPushButton>(*window, "ok")->isDefault());
    EXPECT_EQ(part<QPushButton>(*window, "abbrechen")->text(), "Abbrechen");

    budget->setText("49,90");
    part<QSpinBox>(*window, "stichtag")->setValue(28);
    holidays->setCurrentIndex(1);
    press(budget, Qt::Key_Return);
    EXPECT_EQ(saved, 1);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(told.isEmpty());
    EXPECT_EQ(fileText(), "[Budget]\nMonat=49.90\nStichtag=28\n[Feiertage]\nLand=DE\n");
}

TEST_F(SettingsWindowTest, ANonNumberOrAnUnwritableFileKeepsTheWindowOpenAndSaysWhy) {
    auto window = open();
    auto* budget = part<QLineEdit>(*window, "budget");
    budget->setText("viel");
    press(budget, Qt::Key_Return);
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].startsWith("Im Feld „Monatsbudget in €“ steht keine Zahl.")) << told[0].toStdString();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(saved, 0);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(profile.path())));

    const QString lock = QString::fromStdString(profile.path() + ".lock");
    ASSERT_TRUE(QDir().mkdir(lock)); // no writer can lock the file
    budget->setText("50");
    part<QPushButton>(*window, "ok")->click();
    ASSERT_EQ(told.size(), 2);
    EXPECT_TRUE(told[1].startsWith("Die Einstellungen konnten nicht gespeichert werden.")) << told[1].toStdString();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(budget->text(), "50") << "what was typed stays";
    ASSERT_TRUE(QDir().rmdir(lock));
    part<QPushButton>(*window, "ok")->click();
    EXPECT_EQ(saved, 1);
}

TEST_F(SettingsWindowTest, EscapeAndAbbrechenLeaveTheFileAsItWas) {
    writeFileBytes(profile.path(), "[Budget]\nMonat=30.00\n");
    for (const bool escape : {true, false}) {
        auto window = open();
        part<QLineEdit>(*window, "budget")->setText("99");
        if (escape)
            press(part<QLineEdit>(*window, "budget"), Qt::Key_Escape);
        else
            part<QPushButton>(*window, "abbrechen")->click();
        EXPECT_FALSE(window->isVisible());
        EXPECT_EQ(fileText(), "[Budget]\nMonat=30.00\n");
        EXPECT_EQ(saved, 0);
    }
}

} // namespace
} // namespace velmora::test

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
