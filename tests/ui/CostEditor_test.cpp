// The cost editor: building, editing and storing the user-defined tariff.
#include "EngineFixture.h"

#include <QDir>

#include "store/UserTariff.h"
#include "ui/CostEditorDialog.h"
#include "ui/Templates.h"

namespace velmora::testing {
namespace {

using namespace velmora::ids;

// Runs the editor on its own; the steps get its window.
class Editor : public ::testing::Test {
protected:
    int open(std::vector<std::function<void(WindowId)>> steps) {
        std::vector<std::function<void()>> wrapped;
        for (auto& step : steps) wrapped.push_back([this, step] { step(e.host.topWindow()); });
        e.host.script(std::move(wrapped));
        velmora::CostEditorDialog editor(e.env);
        editor_ = &editor;
        const int result = e.host.runModal(costEditorTemplate(), editor, 0);
        editor_ = nullptr;
        return result;
    }
    // The bands the open editor holds.
    using Bands = std::vector<TariffBand>;
    const Bands& bands(BandList list) const { return editor_->bands(list); }
    std::vector<std::string> items(WindowId w, int list) {
        std::vector<std::string> out;
        for (int i = 0; i < e.host.count(w, list); ++i) out.push_back(e.host.itemText(w, list, i));
        return out;
    }
    using Items = std::vector<std::string>;
    Engine e;
    velmora::CostEditorDialog* editor_ = nullptr;
};

TEST_F(Editor, OpensOnDefaultsAndAddsTheDefaultBand) {
    const int result = open({[&](WindowId w) {
        EXPECT_TRUE(e.host.isChecked(w, WeekdayMode));
        EXPECT_FALSE(e.host.isChecked(w, HolidayMode));
        EXPECT_TRUE(e.host.isEnabled(w, WeekdayList));
        EXPECT_FALSE(e.host.isEnabled(w, HolidayList));
        EXPECT_EQ(e.host.count(w, Von), 25);
        EXPECT_EQ(e.host.text(w, Von, 9), "00:00");
        EXPECT_EQ(e.host.text(w, Bis, 9), "24:00");
        EXPECT_EQ(e.host.text(w, Takt, 9), "240");
        EXPECT_EQ(items(w, Fee), Items{"0.12"});
        EXPECT_EQ(e.host.text(w, FeeLabel, 40), "Einheit in €:");
        for (int day = Monday; day <= Sunday; ++day) EXPECT_EQ(e.host.isChecked(w, day), day >= Monday + 5) << day;
        e.host.click(w, AddBand);
        EXPECT_EQ(items(w, WeekdayList), Items{"Von 00:00 bis 24:00 240 sec"});
        EXPECT_EQ(bands(BandList::Weekday), (Bands{{0, 24, "240"}}));
        EXPECT_EQ(e.host.count(w, HolidayList), 0);
        e.host.click(w, IdOk);
    }});
    EXPECT_EQ(result, IdOk);
    EXPECT_EQ(e.profileText(), "[Cost-Editor]\nMontag=0\nDienstag=0\nMittwoch=0\nDonnerstag=0\nFreitag=0\nSamstag=1\n"
                               "Sonntag=1\nAnzahlWochentag=1\nAnzahlFeiertag=0\nGebuehr=0.12\n"
                               "[W-0]\nAnfang=0\nEnde=24\nTakt=240\n");
}

TEST_F(Editor, TypedTextsAreCutToNineCharactersAndHolidayModeActsOnItsList) {
    open({[&](WindowId w) {
        e.host.choose(w, Von, 8);
        e.host.choose(w, Bis, 18);
        e.host.type(w, Takt, "11.5");
        e.host.click(w, AddBand);
        EXPECT_EQ(items(w, WeekdayList), Items{"Von 08:00 bis 18:00 11.5 sec"});
        e.host.click(w, HolidayMode);
        EXPECT_TRUE(e.host.isEnabled(w, HolidayList));
        EXPECT_FALSE(e.host.isEnabled(w, WeekdayList));
        e.host.click(w, HolidayMode); // already selected: nothing changes
        EXPECT_TRUE(e.host.isEnabled(w, HolidayList));
        e.host.type(w, Takt, "1234567890123");
        e.host.click(w, AddBand);
        EXPECT_EQ(items(w, HolidayList), Items{"Von 08:00 bis 18:00 123456789 sec"});
        EXPECT_EQ(bands(BandList::Holiday), (Bands{{8, 18, "123456789"}}));
        e.host.choose(w, HolidayList, 0);
        e.host.click(w, DeleteBand);
        EXPECT_EQ(e.host.count(w, HolidayList), 0);
        EXPECT_TRUE(bands(BandList::Holiday).empty());
        EXPECT_EQ(e.host.count(w, WeekdayList), 1); // delete acts on the current list only
        e.host.click(w, Monday);
        e.host.type(w, Fee, "0.1500000001");
        e.host.click(w, IdOk);
    }});
    const UserTariff t = loadUserTariff(e.profile);
    EXPECT_EQ(t.unitFee, "0.1500000");
    EXPECT_TRUE(t.holidayWeekdays[0]);
    ASSERT_EQ(t.weekdayBands.size(), 1u);
    EXPECT_EQ(t.weekdayBands[0], (TariffBand{8, 18, "11.5"}));
    EXPECT_TRUE(t.holidayBands.empty());
}

TEST_F(Editor, LoadsTheStoredTariffAndWritesItBackUnchanged) {
    UserTariff stored;
    stored.unitFee = "0.15";
    stored.holidayWeekdays = {false, false, true, false, false, false, true};
    // A hand-edited "Takt" longer than the field is carried whole.
    stored.weekdayBands = {{8, 18, "90"}, {30, 24, "150"}, {18, 24, "22.5000000001"}};
    stored.holidayBands = {{0, 24, "240"}};
    saveUserTariff(e.profile, stored);
    e.profile.writeInt("Cost-Editor", "Sonntag", 2); // not exactly 1: a weekday-list day
    open({[&](WindowId w) {
        EXPECT_EQ(items(w, Fee), (Items{"0.12", "0.15"}));
        EXPECT_EQ(e.host.text(w, Fee, 9), "0.15");
        EXPECT_EQ(items(w, WeekdayList), (Items{"Von 08:00 bis 18:00 90 sec", "Von ??:?? bis 24:00 150 sec",
                                                "Von 18:00 bis 24:00 22.5000000001 sec"}));
        EXPECT_EQ(items(w, HolidayList), Items{"Von 00:00 bis 24:00 240 sec"});
        EXPECT_TRUE(e.host.isChecked(w, Monday + 2));
        EXPECT_FALSE(e.host.isChecked(w, Sunday));
        e.host.click(w, IdOk);
    }});
    UserTariff expected = stored;
    expected.holidayWeekdays[6] = false;
    const UserTariff t = loadUserTariff(e.profile);
    EXPECT_EQ(t.unitFee, "0.15");
    EXPECT_EQ(t.holidayWeekdays, expected.holidayWeekdays);
    EXPECT_EQ(t.weekdayBands, stored.weekdayBands);
    EXPECT_EQ(t.holidayBands, stored.holidayBands);
}

TEST_F(Editor, DeletingTheMiddleBandRenumbersAndCancelWritesNothing) {
    UserTariff stored;
    stored.weekdayBands = {{0, 8, "240"}, {8, 18, "90"}, {18, 24, "150"}};
    saveUserTariff(e.profile, stored);
    open({[&](WindowId w) {
        e.host.click(w, DeleteBand); // nothing selected: nothing happens
        EXPECT_EQ(e.host.count(w, WeekdayList), 3);
        e.host.choose(w, WeekdayList, 1);
        e.host.click(w, DeleteBand);
        EXPECT_EQ(e.host.curSel(w, WeekdayList), -1);
        EXPECT_EQ(bands(BandList::Weekday), (Bands{{0, 8, "240"}, {18, 24, "150"}}));
        e.host.click(w, IdOk);
    }});
    EXPECT_EQ(e.profile.readInt("Cost-Editor", "AnzahlWochentag", 0), 2);
    EXPECT_EQ(e.profile.readString("W-1", "Takt", ""), "150");
    EXPECT_EQ(e.profile.readString("W-2", "Takt", ""), "150"); // stale, ignored by every reader

    const std::string before = e.profileText();
    for (auto leave : {+[](Engine&en, WindowId w) { en.host.click(w, IdCancel); },
                       +[](Engine&en, WindowId w) { en.host.pressEscape(w); },
                       +[](Engine&en, WindowId w) { en.host.pressCloseBox(w); }}) {
        const int result = open({[&](WindowId w) {
            e.host.click(w, AddBand);
            e.host.click(w, Monday + 4);
            leave(e, w);
        }});
        EXPECT_EQ(result, IdCancel);
        EXPECT_EQ(e.profileText(), before);
    }
}

// Mended: "0,15" was stored as typed and read as 0, so every unit cost nothing;
// "11,5" made an 11-second unit. A text without a number was stored silently.
TEST_F(Editor, ADecimalCommaIsStoredAsAPointAndAFieldWithoutANumberIsRefusedByName) {
    int messagesBeforeOk = 0;
    const int result = open({[&](WindowId w) {
        e.host.type(w, Takt, " 11,5 ");
        e.host.click(w, AddBand);
        e.host.type(w, Takt, ",5");
        e.host.click(w, AddBand);
        EXPECT_EQ(items(w, WeekdayList), (Items{"Von 00:00 bis 24:00 11.5 sec", "Von 00:00 bis 24:00 0.5 sec"}));
        EXPECT_EQ(bands(BandList::Weekday), (Bands{{0, 24, "11.5"}, {0, 24, "0.5"}}));
        EXPECT_EQ(e.host.messageBoxCount(), 0);

        e.host.type(w, Takt, "sek");
        e.host.click(w, AddBand);
        EXPECT_EQ(e.host.count(w, WeekdayList), 2);
        EXPECT_EQ(e.host.messageBoxCount(), 1);
        EXPECT_EQ(e.host.lastMessageBoxKind(), MessageBoxKind::Information);
        EXPECT_NE(e.host.lastMessageBoxText().find("„Takt in Sek.“"), std::string::npos);
        EXPECT_EQ(e.host.lastMessageBoxOwner(), w);

        for (const char* noNumber : {"", "   ", "zwölf", "-", ","}) {
            e.host.type(w, Fee, noNumber);
            e.host.click(w, IdOk); // refused: the editor stays open
        }
        messagesBeforeOk = e.host.messageBoxCount();
        EXPECT_NE(e.host.lastMessageBoxText().find("„Einheit in €“"), std::string::npos);
        e.host.type(w, Fee, "0,15");
        e.host.click(w, IdOk);
    }});
    EXPECT_EQ(result, IdOk);
    EXPECT_EQ(messagesBeforeOk, 6);
    const UserTariff t = loadUserTariff(e.profile);
    EXPECT_EQ(t.unitFee, "0.15");
    EXPECT_EQ(t.weekdayBands, (std::vector<TariffBand>{{0, 24, "11.5"}, {0, 24, "0.5"}}));
}

// Others' files are read by the stored-tariff rules: a stored comma still stops
// the number, and the editor writes a loaded band back as it was.
// Once the editor closed as if saved while the profile could not be written,
// and the tariff the user built was gone.
TEST_F(Editor, ATariffThatCannotBeWrittenKeepsTheEditorOpenAndSaysWhy) {
    const QString blocked = QString::fromStdString(e.profile.path());
    ASSERT_TRUE(QDir().mkpath(blocked)); // a folder where the profile should be
    const int result = open({[&](WindowId w) {
        e.host.click(w, AddBand);
        e.host.click(w, IdOk);
        EXPECT_EQ(e.host.topWindow(), w) << "still open";
        EXPECT_EQ(e.host.lastMessageBoxCaption(), "Cost-Editor");
        EXPECT_EQ(e.host.lastMessageBoxText().rfind(
                      "Der Tarif konnte nicht gespeichert werden.\n\n" + e.profile.path() + ": ", 0),
                  0u)
            << e.host.lastMessageBoxText();
        ASSERT_TRUE(QDir(blocked).removeRecursively());
        e.host.click(w, IdOk);
    }});
    EXPECT_EQ(result, IdOk);
    EXPECT_EQ(loadUserTariff(e.profile).weekdayBands, (std::vector<TariffBand>{{0, 24, "240"}}));
}

TEST_F(Editor, StoredTextsWithACommaAreCarriedAsTheyAre) {
    UserTariff stored;
    stored.weekdayBands = {{8, 18, "11,5"}};
    saveUserTariff(e.profile, stored);
    e.profile.writeString("Cost-Editor", "Gebuehr", "0,15");
    open({[&](WindowId w) {
        EXPECT_EQ(items(w, WeekdayList), Items{"Von 08:00 bis 18:00 11,5 sec"});
        EXPECT_EQ(e.host.text(w, Fee, 9), "0,15");
        e.host.click(w, IdOk); // the fee field is the user's input: it is stored as meant
    }});
    EXPECT_EQ(loadBandList(e.profile, BandList::Weekday), (std::vector<TariffBand>{{8, 18, "11,5"}}));
    EXPECT_EQ(readUnitFee(e.profile), "0.15");
    EXPECT_EQ(e.host.messageBoxCount(), 0);
}

TEST_F(Editor, EnterInAnEditFieldSavesWithoutAddingABand) {
    open({[&](WindowId w) {
        e.host.type(w, Takt, "45");
        e.host.pressEnter(w);
    }});
    EXPECT_EQ(e.profile.readInt("Cost-Editor", "AnzahlWochentag", -1), 0);
    EXPECT_EQ(e.profile.readString("Cost-Editor", "Gebuehr", ""), "0.12");
}

TEST_F(Editor, ASavedTariffTakesEffectOnTheRunningMeter) {
    e.profile.writeInt("Standard", "Tarifzone", UserDefined);
    e.source.up("Eigener Tarif");
    e.run({[&] {
               e.seconds(1);
               EXPECT_EQ(e.field(UnitLength), "Keine Verbindung"); // no bands yet
               e.host.click(e.main(), CmdCostEditor);
           },
           [&] {
               const WindowId w = e.host.topWindow();
               e.host.choose(w, Von, 6);
               e.host.choose(w, Bis, 20);
               e.host.type(w, Takt, "30");
               e.host.click(w, AddBand);
               e.host.type(w, Fee, "0.10");
               e.seconds(5); // the editor's changes are not in force until OK
               EXPECT_EQ(e.field(UnitLength), "Keine Verbindung");
               e.host.click(w, IdOk);
           },
           [&] {
               e.seconds(1);
               EXPECT_EQ(e.field(UnitLength), "30.00 Sekunden Bereich");
               EXPECT_EQ(e.field(ConnectionCost), "0.12"); // first arming charges nothing
               e.seconds(30);
               EXPECT_EQ(e.field(ConnectionCost), "0.22");
               e.host.pressEscape(e.main());
           }});
}

} // namespace
} // namespace velmora::testing
