#pragma once
// Behaviour every window host must show, written once against WindowHost and
// HostDriver. A host's test file instantiates the suite with a factory:
//
//   INSTANTIATE_TEST_SUITE_P(MyHost, HostBehaviour,
//       ::testing::Values(HostFactory{"MyHost", [] { return makeMyDriver(); }}),
//       hostFactoryName);
//
// Time assertions allow for a host that runs in real time: short periods and
// ranges; exact counts belong to a host's own tests.

#include <gtest/gtest.h>

#include <unistd.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "platform/ProbeDialog.h"
#include "platform/WindowHost.h"
#include "ui/ControlIds.h"
#include "ui/Templates.h"

namespace velmora::hosttest {

struct HostFactory {
    std::string name;
    std::function<std::unique_ptr<HostDriver>()> make;
};

inline void PrintTo(const HostFactory& factory, std::ostream* out) { *out << factory.name; }

inline std::string hostFactoryName(const ::testing::TestParamInfo<HostFactory>& info) { return info.param.name; }

using Step = std::function<void()>;

class HostBehaviour : public ::testing::TestWithParam<HostFactory> {
protected:
    void SetUp() override { driver_ = GetParam().make(); }

    HostDriver& user() { return *driver_; }
    WindowHost& host() { return driver_->host(); }

    int run(ProbeDialog& dialog, std::vector<Step> steps, const DialogTemplate& tmpl = probeTemplate(),
            WindowId owner = 0) {
        user().script(std::move(steps));
        return host().runModal(tmpl, dialog, owner);
    }
    Step end(ProbeDialog& dialog, int result = IdOk) {
        return [this, &dialog, result] { host().endDialog(dialog.self, result); };
    }

    std::unique_ptr<HostDriver> driver_;
};

// ---- templates and texts -----------------------------------------------------------

TEST_P(HostBehaviour, RealTemplatesBuildEveryControlWithItsTextAndHiddenListsTakeNoInput) {
    for (const DialogTemplate* tmpl : {&mainDialogTemplate(), &costEditorTemplate(), &aboutDialogTemplate()}) {
        SCOPED_TRACE(tmpl->id);
        ProbeDialog dialog;
        run(dialog,
            {[&] {
                 const WindowId w = dialog.self;
                 EXPECT_EQ(host().caption(w), tmpl->caption);
                 EXPECT_TRUE(host().isVisible(w));
                 for (const ControlTemplate& c : tmpl->controls) {
                     if (c.id == -1) continue;
                     SCOPED_TRACE(c.id);
                     EXPECT_TRUE(host().isEnabled(w, c.id));
                     const bool isList = c.kind == ControlKind::DropDownList || c.kind == ControlKind::ListBox ||
                                         c.kind == ControlKind::DropDownCombo;
                     if (!isList) {
                         EXPECT_EQ(host().text(w, c.id, 200), c.text);
                         continue;
                     }
                     EXPECT_EQ(host().count(w, c.id), 0);
                     EXPECT_EQ(host().addString(w, c.id, "x"), 0);
                     user().choose(w, c.id, 0);
                     EXPECT_EQ(host().curSel(w, c.id), c.visible ? 0 : -1);
                 }
             },
             end(dialog)},
            *tmpl);
        EXPECT_EQ(dialog.destroyed, 1);
    }
}

TEST_P(HostBehaviour, TextsRoundTripAndBoundedReadsNeverSplitACharacter) {
    ProbeDialog dialog;
    run(dialog, {[&] {
                     const WindowId w = dialog.self;
                     host().setText(w, Label, "Gebührenüberwachung:");
                     EXPECT_EQ(host().text(w, Label, 100), "Gebührenüberwachung:");
                     EXPECT_EQ(host().text(w, Label, 4), "Gebü");
                     EXPECT_EQ(host().text(w, Label, 0), "");
                     host().setText(w, Label, "€𝄞x");
                     EXPECT_EQ(host().text(w, Label, 1), "€");
                     EXPECT_EQ(host().text(w, Label, 2), "€𝄞");
                     host().setCaption(w, "0.12 €  /  00:01:05 h");
                     EXPECT_EQ(host().caption(w), "0.12 €  /  00:01:05 h");
                 },
                 end(dialog)});
}

// ---- combo and list boxes ------------------------------------------------------------

TEST_P(HostBehaviour, UnsortedBoxesKeepAppendOrderAndSortedBoxesInsertInPlace) {
    ProbeDialog dialog;
    run(dialog, {[&] {
                     const WindowId w = dialog.self;
                     for (const char* s : {"nach 5 Minuten", "kein Warnsignal", "Telekom 'City'"})
                         host().addString(w, DropList, s);
                     EXPECT_EQ(host().itemText(w, DropList, 0), "nach 5 Minuten");
                     EXPECT_EQ(host().itemText(w, DropList, 2), "Telekom 'City'");

                     EXPECT_EQ(host().addString(w, SortedList, "12:00"), 0);
                     EXPECT_EQ(host().addString(w, SortedList, "24:00"), 1);
                     EXPECT_EQ(host().addString(w, SortedList, "00:00"), 0);
                     EXPECT_EQ(host().addString(w, SortedList, "13:00"), 2);
                     EXPECT_EQ(host().count(w, SortedList), 4);
                     EXPECT_EQ(host().itemText(w, SortedList, 3), "24:00");
                 },
                 end(dialog)});
}

TEST_P(HostBehaviour, SelectionIgnoresOutOfRangeAndDeletionKeepsTheSelectedEntry) {
    ProbeDialog dialog;
    run(dialog, {[&] {
                     const WindowId w = dialog.self;
                     for (const char* s : {"a", "b", "c"}) host().addString(w, DropList, s);
                     EXPECT_EQ(host().curSel(w, DropList), -1);
                     EXPECT_EQ(host().text(w, DropList, 10), "");
                     host().setCurSel(w, DropList, 2);
                     EXPECT_EQ(host().text(w, DropList, 10), "c");
                     host().setCurSel(w, DropList, 3);
                     EXPECT_EQ(host().curSel(w, DropList), 2);
                     EXPECT_EQ(host().itemText(w, DropList, 3), "");
                     EXPECT_EQ(host().itemText(w, DropList, -1), "");

                     host().deleteString(w, DropList, 0);
                     EXPECT_EQ(host().curSel(w, DropList), 1);
                     EXPECT_EQ(host().text(w, DropList, 10), "c");
                     host().deleteString(w, DropList, 5);
                     host().deleteString(w, DropList, -1);
                     EXPECT_EQ(host().count(w, DropList), 2);
                     host().deleteString(w, DropList, 1);
                     EXPECT_EQ(host().curSel(w, DropList), -1);
                     host().setCurSel(w, DropList, 0);
                     host().setCurSel(w, DropList, -1);
                     EXPECT_EQ(host().curSel(w, DropList), -1);
                 },
                 end(dialog)});
}

TEST_P(HostBehaviour, ComboEditFieldFollowsSelectionAndTypingIsCutToItsLimit) {
    ProbeDialog dialog;
    run(dialog, {[&] {
                     const WindowId w = dialog.self;
                     host().addString(w, Combo, "11.5");
                     host().addString(w, Combo, "240");
                     host().setCurSel(w, Combo, 1);
                     EXPECT_EQ(host().text(w, Combo, 9), "240");
                     user().type(w, Combo, "äöüßxyz");
                     EXPECT_EQ(host().text(w, Combo, 9), "äöüßx");
                     EXPECT_EQ(host().curSel(w, Combo), -1);
                     user().choose(w, Combo, 0);
                     EXPECT_EQ(host().curSel(w, Combo), 0);
                     EXPECT_EQ(host().text(w, Combo, 9), "11.5");
                     user().choose(w, Combo, 2);
                     EXPECT_EQ(host().curSel(w, Combo), 0);
                 },
                 end(dialog)});
}

// ---- buttons and input -----------------------------------------------------------------

TEST_P(HostBehaviour, CheckBoxesToggleAndRadioButtonsExcludeEachOtherBeforeTheDialogHears) {
    ProbeDialog dialog;
    std::vector<bool> seen;
    dialog.onCommandHook = [&](int id) { seen.push_back(host().isChecked(dialog.self, id)); };
    run(dialog, {[&] {
                     const WindowId w = dialog.self;
                     user().click(w, CheckA);
                     user().click(w, CheckA);
                     EXPECT_FALSE(host().isChecked(w, CheckA));
                     host().setChecked(w, CheckB, true);
                     EXPECT_TRUE(host().isChecked(w, CheckB));
                     user().click(w, RadioA);
                     user().click(w, RadioB);
                     EXPECT_FALSE(host().isChecked(w, RadioA));
                     user().click(w, RadioB);
                     EXPECT_TRUE(host().isChecked(w, RadioB));
                 },
                 end(dialog)});
    EXPECT_EQ(dialog.commands, (std::vector<int>{CheckA, CheckA, RadioA, RadioB, RadioB}));
    EXPECT_EQ(seen, (std::vector<bool>{true, false, true, true, true}));
}

TEST_P(HostBehaviour, DisabledInvisibleAndHiddenWindowControlsIgnoreInput) {
    ProbeDialog dialog;
    run(dialog, {[&] {
                     const WindowId w = dialog.self;
                     host().addString(w, Combo, "240");
                     for (int id : {Button, CheckA, Combo}) host().enable(w, id, false);
                     EXPECT_FALSE(host().isEnabled(w, Button));
                     user().click(w, Button);
                     user().click(w, CheckA);
                     user().type(w, Combo, "12");
                     user().choose(w, Combo, 0);
                     user().click(w, HiddenButton);
                     EXPECT_FALSE(host().isChecked(w, CheckA));
                     EXPECT_EQ(host().text(w, Combo, 9), "");
                     EXPECT_EQ(host().curSel(w, Combo), -1);

                     host().enable(w, Button, true);
                     host().show(w, ShowMode::Hidden);
                     user().click(w, Button);
                     user().pressEnter(w);
                     host().show(w, ShowMode::Normal);
                     user().click(w, Button);
                 },
                 end(dialog)});
    EXPECT_EQ(dialog.commands, std::vector<int>{Button});
}

TEST_P(HostBehaviour, EnterEscapeAndCloseBoxReachTheDialogWhichDecidesTheEnd) {
    ProbeDialog dialog;
    const int result = run(dialog, {[&] { user().pressEnter(dialog.self); }, [&] { user().pressEscape(dialog.self); },
                                    [&] { user().pressCloseBox(dialog.self); }, end(dialog, 42)});
    EXPECT_EQ(dialog.commands, (std::vector<int>{IdOk, IdCancel, IdCancel}));
    EXPECT_EQ(result, 42);
    EXPECT_EQ(dialog.destroyed, 1);
    EXPECT_FALSE(user().scriptRanOut());
}

TEST_P(HostBehaviour, AnEmptyScriptEndsTheOpenRunWithCancel) {
    ProbeDialog dialog;
    EXPECT_EQ(run(dialog, {}), IdCancel);
    EXPECT_TRUE(user().scriptRanOut());
    EXPECT_EQ(dialog.destroyed, 1);
    EXPECT_EQ(user().topWindow(), 0);
}

TEST_P(HostBehaviour, NestedRunsTakeTheFollowingStepsAndReturnToTheOuterRun) {
    ProbeDialog outer, inner;
    int innerResult = 0;
    outer.onCommandHook = [&](int id) {
        if (id == Button) innerResult = host().runModal(probeTemplate(), inner, outer.self);
    };
    run(outer, {[&] { user().click(outer.self, Button); },
                [&] {
                    EXPECT_EQ(user().topWindow(), inner.self);
                    EXPECT_NE(inner.self, outer.self);
                    user().click(inner.self, CheckA);
                },
                end(inner, 7),
                [&] {
                    EXPECT_EQ(user().topWindow(), outer.self);
                    EXPECT_EQ(inner.destroyed, 1);
                    EXPECT_EQ(outer.destroyed, 0);
                },
                end(outer)});
    EXPECT_EQ(innerResult, 7);
    EXPECT_EQ(inner.commands, std::vector<int>{CheckA});
    EXPECT_EQ(outer.commands, std::vector<int>{Button});
    EXPECT_FALSE(user().scriptRanOut());
}

// ---- timers --------------------------------------------------------------------------------

TEST_P(HostBehaviour, TimersTickRepeatedlyUntilKilled) {
    ProbeDialog dialog;
    run(dialog, {[&] {
                     host().setTimer(dialog.self, 1, 50);
                     user().advance(200);
                     EXPECT_GE(dialog.ticks(1), 2);
                     EXPECT_LE(dialog.ticks(1), 6);
                     host().killTimer(dialog.self, 1);
                     host().killTimer(dialog.self, 99);
                     const auto before = dialog.ticks(1);
                     user().advance(120);
                     EXPECT_EQ(dialog.ticks(1), before);
                 },
                 end(dialog)});
}

TEST_P(HostBehaviour, ReArmingATimerRestartsIt) {
    ProbeDialog dialog;
    run(dialog, {[&] {
                     host().setTimer(dialog.self, 1, 120);
                     user().advance(70);
                     host().setTimer(dialog.self, 1, 120);
                     user().advance(70);
                     EXPECT_EQ(dialog.ticks(1), 0);
                     user().advance(150);
                     EXPECT_GE(dialog.ticks(1), 1);
                 },
                 end(dialog)});
}

// A pipe stands for any descriptor: the first to turn readable wakes the
// timer long before its period, once per watch.
TEST_P(HostBehaviour, AReadableDescriptorWakesItsTimerOncePerWatch) {
    ProbeDialog dialog;
    int quiet[2], news[2];
    ASSERT_EQ(::pipe(quiet), 0);
    ASSERT_EQ(::pipe(news), 0);
    run(dialog, {[&] {
                     host().setTimer(dialog.self, 1, 60000);
                     host().wakeOnReadable(dialog.self, 1, {quiet[0], news[0]});
                     user().advance(30);
                     EXPECT_EQ(dialog.ticks(1), 0);
                     ASSERT_EQ(::write(news[1], "x", 1), 1);
                     user().advance(30);
                     EXPECT_EQ(dialog.ticks(1), 1);
                     user().advance(30); // still readable, but the watch has ended
                     EXPECT_EQ(dialog.ticks(1), 1);
                     host().wakeOnReadable(dialog.self, 1, {news[0]});
                     host().wakeOnReadable(dialog.self, 1, {}); // ended before it could fire
                     user().advance(30);
                     EXPECT_EQ(dialog.ticks(1), 1);
                 },
                 end(dialog)});
    for (int fd : {quiet[0], quiet[1], news[0], news[1]}) ::close(fd);
}

TEST_P(HostBehaviour, TimersOfEveryWindowFireDuringNestedRunsAndMessageBoxes) {
    ProbeDialog outer, inner;
    int answer = 0;
    long ticksInMessageBox = 0;
    outer.onCommandHook = [&](int id) {
        if (id == Button) host().runModal(probeTemplate(), inner, outer.self);
        if (id == AskButton) answer = host().askYesNo(outer.self, "Wirklich löschen?", "Reset");
    };
    user().answerMessageBoxes(IdYes);
    user().whileMessageBoxOpen([&] {
        const auto before = outer.ticks(1);
        user().advance(200);
        ticksInMessageBox = outer.ticks(1) - before;
    });
    run(outer, {[&] { host().setTimer(outer.self, 1, 30); }, [&] { user().click(outer.self, Button); },
                [&] {
                    host().setTimer(inner.self, 2, 30);
                    user().advance(200);
                },
                end(inner),
                [&] {
                    EXPECT_GE(outer.ticks(1), 2);
                    EXPECT_GE(inner.ticks(2), 2);
                    const auto innerTicks = inner.ticks(2);
                    user().click(outer.self, AskButton);
                    EXPECT_EQ(inner.ticks(2), innerTicks) << "a window's timers go with it";
                },
                end(outer)});
    EXPECT_EQ(outer.ticks(2), 0);
    EXPECT_EQ(inner.ticks(1), 0);
    EXPECT_GE(ticksInMessageBox, 2);
    EXPECT_EQ(answer, IdYes);
    EXPECT_EQ(user().messageBoxCount(), 1);
    EXPECT_EQ(user().lastMessageBoxText(), "Wirklich löschen?");
    EXPECT_EQ(user().lastMessageBoxCaption(), "Reset");
    EXPECT_EQ(user().lastMessageBoxKind(), MessageBoxKind::Question);
}

// ---- window state and the guard ---------------------------------------------------------------

TEST_P(HostBehaviour, ShowStatesFollowTheCallsAndTheMinimizeBox) {
    ProbeDialog dialog;
    run(dialog, {[&] {
                     const WindowId w = dialog.self;
                     EXPECT_TRUE(host().isVisible(w));
                     EXPECT_FALSE(host().isMinimized(w));
                     user().pressMinimizeBox(w);
                     EXPECT_TRUE(host().isMinimized(w));
                     host().show(w, ShowMode::Hidden);
                     EXPECT_FALSE(host().isVisible(w));
                     host().show(w, ShowMode::Normal);
                     EXPECT_TRUE(host().isVisible(w));
                     EXPECT_FALSE(host().isMinimized(w));
                 },
                 end(dialog)});
}

TEST_P(HostBehaviour, AVetoingGuardKeepsAHiddenWindowHiddenButNeverBlocksHiding) {
    ProbeDialog dialog;
    run(dialog, {[&] {
                     const WindowId w = dialog.self;
                     dialog.veto = true;
                     host().show(w, ShowMode::Hidden);
                     EXPECT_FALSE(host().isVisible(w));
                     host().show(w, ShowMode::Normal);
                     host().show(w, ShowMode::Minimized);
                     host().setForeground(w);
                     host().centerOnWorkArea(w);
                     user().systemShow(w);
                     EXPECT_FALSE(host().isVisible(w));
                     dialog.veto = false;
                     user().systemShow(w);
                     EXPECT_TRUE(host().isVisible(w));
                 },
                 end(dialog)});
}

// ---- notification area and sound ---------------------------------------------------------------

TEST_P(HostBehaviour, TrayIconReportsMouseToItsOwnerUntilDeleted) {
    ProbeDialog dialog;
    run(dialog, {[&] {
                     const WindowId w = dialog.self;
                     host().trayNotify(w, TrayOp::Add, ids::TrayIconId, ids::TrayIconResource, "Velmora");
                     EXPECT_TRUE(user().trayIconPresent(ids::TrayIconId));
                     EXPECT_EQ(user().trayTooltip(ids::TrayIconId), "Velmora");
                     host().show(w, ShowMode::Hidden);
                     user().trayMouse(ids::TrayIconId, MouseLeftDown);
                     user().trayMouse(ids::TrayIconId + 1, MouseLeftDown);
                     host().trayNotify(w, TrayOp::Delete, ids::TrayIconId, ids::TrayIconResource, "Velmora");
                     EXPECT_FALSE(user().trayIconPresent(ids::TrayIconId));
                     user().trayMouse(ids::TrayIconId, MouseRightUp);
                     host().beep();
                     host().beep();
                 },
                 end(dialog)});
    EXPECT_EQ(dialog.trayEvents, (std::vector<std::pair<int, int>>{{ids::TrayIconId, MouseLeftDown}}));
    EXPECT_EQ(user().beepCount(), 2);
}

TEST_P(HostBehaviour, TrayMessagesNeedTheOwnersIcon) {
    ProbeDialog dialog;
    run(dialog, {[&] {
                     const WindowId w = dialog.self;
                     EXPECT_FALSE(host().trayMessage(w, ids::TrayIconId, "Titel", "ohne Symbol"));
                     host().trayNotify(w, TrayOp::Add, ids::TrayIconId, ids::TrayIconResource, "Velmora");
                     EXPECT_FALSE(host().trayMessage(w + 1, ids::TrayIconId, "Titel", "fremdes Fenster"));
                     EXPECT_TRUE(host().trayMessage(w, ids::TrayIconId, "Gespeichert", "zelvar.log: geschrieben"));
                     host().trayNotify(w, TrayOp::Delete, ids::TrayIconId, ids::TrayIconResource, "Velmora");
                     EXPECT_FALSE(host().trayMessage(w, ids::TrayIconId, "Titel", "Symbol entfernt"));
                 },
                 end(dialog)});
    EXPECT_EQ(user().trayMessages(),
              (std::vector<TrayMessage>{{ids::TrayIconId, "Gespeichert", "zelvar.log: geschrieben"}}));
}

// A panel that starts late, ends, and starts again.
TEST_P(HostBehaviour, NewsOfTheNotificationAreaReachEveryOpenWindowOncePerChange) {
    ProbeDialog outer, inner;
    outer.onCommandHook = [&](int id) {
        if (id == Button) host().runModal(probeTemplate(), inner, outer.self);
    };
    user().setTrayArea(false);
    run(outer,
        {[&] { user().click(outer.self, Button); },
         [&] {
             EXPECT_FALSE(
                 host().trayNotify(outer.self, TrayOp::Add, ids::TrayIconId, ids::TrayIconResource, "Velmora"));
             user().setTrayArea(true);
             user().setTrayArea(true);
             EXPECT_TRUE(host().trayNotify(outer.self, TrayOp::Add, ids::TrayIconId, ids::TrayIconResource, "Velmora"));
             user().setTrayArea(false);
         },
         end(inner), [&] { user().setTrayArea(true); }, end(outer)});
    EXPECT_EQ(outer.trayAreaNews, (std::vector<bool>{true, false, true}));
    EXPECT_EQ(inner.trayAreaNews, (std::vector<bool>{true, false}));
}

TEST_P(HostBehaviour, AnInformationBoxIsShownToTheOwnerAndOnlyRead) {
    ProbeDialog dialog;
    long ticksWhileOpen = 0;
    user().whileMessageBoxOpen([&] {
        const auto before = dialog.ticks(1);
        user().advance(100);
        ticksWhileOpen = dialog.ticks(1) - before;
    });
    run(dialog, {[&] {
                     host().setTimer(dialog.self, 1, 20);
                     host().inform(dialog.self, "Im Feld „Takt in Sek.“ steht keine Zahl.", "Cost-Editor");
                     EXPECT_TRUE(host().isVisible(dialog.self));
                 },
                 end(dialog)});
    EXPECT_EQ(user().messageBoxCount(), 1);
    EXPECT_EQ(user().lastMessageBoxKind(), MessageBoxKind::Information);
    EXPECT_EQ(user().lastMessageBoxText(), "Im Feld „Takt in Sek.“ steht keine Zahl.");
    EXPECT_EQ(user().lastMessageBoxCaption(), "Cost-Editor");
    EXPECT_GE(ticksWhileOpen, 1);
    EXPECT_EQ(dialog.commands, std::vector<int>{});
}

TEST_P(HostBehaviour, TrayMenuIsRefreshedAsItOpensAndReportsEnabledChoicesUntilItsIconGoes) {
    ProbeDialog dialog;
    const int icon = ids::TrayIconId;
    std::vector<TrayMenuItem> items{
        {1, "Anzeigen"}, {2, "Beim Anmelden starten", true}, {3, "Beenden", false, false, false}};
    bool autostart = false;
    dialog.onTrayMenuOpeningHook = [&](int) {
        items[1].checked = autostart; // what the menu shows is read as it opens
        host().setTrayMenu(icon, items);
    };
    run(dialog, {[&] {
                     EXPECT_FALSE(host().setTrayMenu(icon, items)) << "no icon yet";
                     host().trayNotify(dialog.self, TrayOp::Add, icon, ids::TrayIconResource, "Velmora");
                     EXPECT_TRUE(user().openTrayMenu(icon).empty()) << "no menu yet";
                     ASSERT_TRUE(host().setTrayMenu(icon, items));
                     autostart = true;
                     const std::vector<TrayMenuItem> shown = user().openTrayMenu(icon);
                     ASSERT_EQ(shown.size(), 3u);
                     EXPECT_EQ(shown[1], (TrayMenuItem{2, "Beim Anmelden starten", true, true, true}));
                     EXPECT_EQ(shown[2], items[2]);
                     user().chooseTrayMenuItem(icon, 2);
                     EXPECT_FALSE(user().openTrayMenu(icon).empty());
                     user().chooseTrayMenuItem(icon, 3); // disabled
                     user().chooseTrayMenuItem(icon, 9); // not there
                     user().chooseTrayMenuItem(icon, 1);
                     host().trayNotify(dialog.self, TrayOp::Delete, icon, ids::TrayIconResource, "Velmora");
                     EXPECT_TRUE(user().openTrayMenu(icon).empty());
                     user().chooseTrayMenuItem(icon, 1);
                     host().trayNotify(dialog.self, TrayOp::Add, icon, ids::TrayIconResource, "Velmora");
                     EXPECT_TRUE(user().openTrayMenu(icon).empty()) << "a new icon starts without a menu";
                 },
                 end(dialog)});
    EXPECT_EQ(dialog.trayMenuChoices, (std::vector<std::pair<int, int>>{{icon, 2}, {icon, 1}}));
    EXPECT_EQ(dialog.trayMenuOpenings, 6); // every choice opens the menu first
}

TEST_P(HostBehaviour, AModalRunOrQuestionBoxLiesAboveTheWindowsBeneathIt) {
    ProbeDialog outer, inner;
    std::vector<bool> seen;
    outer.onCommandHook = [&](int id) {
        if (id == Button) host().runModal(probeTemplate(), inner, outer.self);
    };
    inner.onCommandHook = [&](int id) {
        if (id == AskButton) host().askYesNo(inner.self, "Sicher?", "Frage");
    };
    user().whileMessageBoxOpen([&] { seen = {host().hasModalAbove(outer.self), host().hasModalAbove(inner.self)}; });
    run(outer, {[&] {
                    EXPECT_FALSE(host().hasModalAbove(outer.self));
                    user().click(outer.self, Button);
                },
                [&] {
                    EXPECT_TRUE(host().hasModalAbove(outer.self));
                    EXPECT_FALSE(host().hasModalAbove(inner.self));
                    user().click(inner.self, AskButton);
                    EXPECT_FALSE(host().hasModalAbove(inner.self)) << "the box has gone";
                },
                end(inner), [&] { EXPECT_FALSE(host().hasModalAbove(outer.self)); }, end(outer)});
    EXPECT_EQ(seen, (std::vector<bool>{true, true}));
}

} // namespace velmora::hosttest
