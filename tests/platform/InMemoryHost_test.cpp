// What only the in-memory host promises: exact virtual time, and the state it
// exposes for the dialogs' tests.
#include "platform/InMemoryHost.h"

#include <gtest/gtest.h>

#include "platform/ProbeDialog.h"
#include "ui/ControlIds.h"
#include "ui/Templates.h"

namespace velmora::hosttest {
namespace {

class InMemoryHostTest : public ::testing::Test {
protected:
    VirtualClock clock{0, 5000};
    InMemoryHost host{clock};
    ProbeDialog dialog;

    // Runs the probe dialog; body runs as its only step.
    void runWith(const std::function<void(WindowId)>& body) {
        host.script({[&] { body(dialog.self); }, [&] { host.endDialog(dialog.self, IdOk); }});
        host.runModal(probeTemplate(), dialog, 0);
    }
};

TEST_F(InMemoryHostTest, TimersFireExactlyOnTheirDueTimesInDueThenArmingOrder) {
    std::vector<std::pair<std::uint64_t, int>> fired;
    dialog.onTimerHook = [&](int id) { fired.emplace_back(clock.tickMs() - 5000, id); };
    runWith([&](WindowId w) {
        host.setTimer(w, 2, 500);
        host.setTimer(w, 1, 1000);
        host.setTimer(w, 3, 1000);
        host.advance(1500);
        EXPECT_EQ(clock.tickMs(), 6500u);
        host.advance(499);
        host.advance(1);
    });
    using Fire = std::pair<std::uint64_t, int>;
    EXPECT_EQ(fired, (std::vector<Fire>{
                         {500, 2}, {1000, 2}, {1000, 1}, {1000, 3}, {1500, 2}, {2000, 2}, {2000, 1}, {2000, 3}}));
}

TEST_F(InMemoryHostTest, AHandlerThatReArmsOrKillsItsTimerHasTheLastWord) {
    std::vector<std::uint64_t> rearmed, killed;
    dialog.onTimerHook = [&](int id) {
        (id == 1 ? rearmed : killed).push_back(clock.tickMs() - 5000);
        if (id == 1 && rearmed.size() == 1) host.setTimer(dialog.self, 1, 250);
        if (id == 2) host.killTimer(dialog.self, 2);
    };
    runWith([&](WindowId w) {
        host.setTimer(w, 1, 100);
        host.setTimer(w, 2, 100);
        host.advance(700);
        EXPECT_EQ(host.timerPeriod(w, 1), 250u);
        EXPECT_FALSE(host.isTimerArmed(w, 2));
    });
    EXPECT_EQ(rearmed, (std::vector<std::uint64_t>{100, 350, 600}));
    EXPECT_EQ(killed, std::vector<std::uint64_t>{100});
}

TEST_F(InMemoryHostTest, AZeroPeriodTicksEveryMillisecondInsteadOfStallingTime) {
    runWith([&](WindowId w) {
        host.setTimer(w, 1, 0);
        host.advance(5);
    });
    EXPECT_EQ(dialog.ticks(1), 5);
}

TEST_F(InMemoryHostTest, TimerTicksInNestedRunsAndMessageBoxesAreExact) {
    ProbeDialog inner;
    dialog.onCommandHook = [&](int id) {
        if (id == Button) host.runModal(probeTemplate(), inner, dialog.self);
        if (id == AskButton) host.askYesNo(dialog.self, "?", "!");
    };
    host.whileMessageBoxOpen([&] { host.advance(3000); });
    host.script({[&] { host.setTimer(dialog.self, ids::PollTimer, ids::PollPeriodMs); },
                 [&] { host.click(dialog.self, Button); }, [&] { host.advance(2500); },
                 [&] { host.endDialog(inner.self, IdOk); }, [&] { host.click(dialog.self, AskButton); },
                 [&] { host.click(dialog.self, AskButton); }, [&] { host.endDialog(dialog.self, IdOk); }});
    host.runModal(probeTemplate(), dialog, 0);
    EXPECT_EQ(dialog.ticks(ids::PollTimer), 2 + 3 + 3);
    EXPECT_EQ(host.messageBoxCount(), 2);
    EXPECT_EQ(host.lastMessageBoxOwner(), dialog.self);
}

TEST_F(InMemoryHostTest, MessageBoxesAnswerNoByDefaultAndTheHookDoesNotRecurse) {
    int hookRuns = 0;
    std::vector<int> answers;
    host.whileMessageBoxOpen([&] {
        ++hookRuns;
        answers.push_back(host.askYesNo(0, "innen", "x"));
    });
    answers.push_back(host.askYesNo(0, "außen", "x"));
    host.answerMessageBoxes(IdYes);
    answers.push_back(host.askYesNo(0, "außen", "x"));
    EXPECT_EQ(hookRuns, 2);
    EXPECT_EQ(answers, (std::vector<int>{IdNo, IdNo, IdYes, IdYes}));
    EXPECT_EQ(host.messageBoxCount(), 4);
}

TEST_F(InMemoryHostTest, WindowsLiveForTheirRunAndTakeTheirStateWithThem) {
    ProbeDialog inner;
    dialog.onCommandHook = [&](int) { host.runModal(aboutDialogTemplate(), inner, dialog.self); };
    host.script({[&] {
                     EXPECT_EQ(dialog.self, 1);
                     host.setWindowIcon(dialog.self, ids::ProgramIcon);
                     host.click(dialog.self, Button);
                 },
                 [&] {
                     EXPECT_EQ(inner.self, 2);
                     EXPECT_EQ(host.windowOwner(inner.self), dialog.self);
                     EXPECT_EQ(host.windowTemplateId(inner.self), ids::AboutDialog);
                     host.setTimer(inner.self, 1, 10);
                     host.setForeground(inner.self);
                     EXPECT_EQ(host.foregroundWindow(), inner.self);
                     host.endDialog(inner.self, IdOk);
                 },
                 [&] {
                     EXPECT_EQ(host.windows(), std::vector<WindowId>{dialog.self});
                     EXPECT_FALSE(host.isTimerArmed(inner.self, 1));
                     EXPECT_EQ(host.foregroundWindow(), 0);
                     EXPECT_EQ(host.windowIcon(dialog.self), ids::ProgramIcon);
                     EXPECT_EQ(host.windowTemplateId(dialog.self), 900);
                     host.endDialog(dialog.self, IdOk);
                 }});
    host.runModal(probeTemplate(), dialog, 0);
    EXPECT_TRUE(host.windows().empty());
    EXPECT_FALSE(host.scriptRanOut());
}

// As a desktop hands the activation of an owner that takes no input to its dialog.
TEST_F(InMemoryHostTest, BringingAnOwnerForwardActivatesTheModalDialogAboveIt) {
    ProbeDialog inner;
    dialog.onCommandHook = [&](int id) {
        if (id == Button) host.runModal(probeTemplate(), inner, dialog.self);
    };
    host.script({[&] { host.click(dialog.self, Button); },
                 [&] {
                     host.setForeground(dialog.self);
                     EXPECT_EQ(host.foregroundWindow(), inner.self);
                     host.endDialog(inner.self, IdOk);
                 },
                 [&] {
                     host.setForeground(dialog.self);
                     EXPECT_EQ(host.foregroundWindow(), dialog.self);
                     host.endDialog(dialog.self, IdOk);
                 }});
    host.runModal(probeTemplate(), dialog, 0);
    EXPECT_FALSE(host.scriptRanOut());
}

TEST_F(InMemoryHostTest, WindowsBeneathAModalRunTakeNoInputButStillHearTimersAndTheTray) {
    ProbeDialog inner;
    dialog.onCommandHook = [&](int id) {
        if (id == Button) host.runModal(probeTemplate(), inner, dialog.self);
    };
    host.trayNotify(0, TrayOp::Add, 7, 129, "ohne Besitzer");
    EXPECT_FALSE(host.trayIconPresent(7));
    host.script({[&] {
                     host.setTrayArea(false);
                     EXPECT_FALSE(host.trayNotify(dialog.self, TrayOp::Add, 7, 129, "Velmora"));
                     host.setTrayArea(true);
                     host.trayNotify(dialog.self, TrayOp::Add, 7, 129, "Velmora");
                     host.setTimer(dialog.self, 1, 100);
                     host.click(dialog.self, Button);
                 },
                 [&] {
                     host.click(dialog.self, CheckA);
                     host.pressEscape(dialog.self);
                     host.trayMouse(7, MouseLeftDown);
                     host.advance(100);
                     host.systemShow(dialog.self);
                     EXPECT_EQ(host.foregroundWindow(), dialog.self);
                     host.endDialog(inner.self, IdOk);
                 },
                 [&] { host.endDialog(dialog.self, IdOk); }});
    host.runModal(probeTemplate(), dialog, 0);
    EXPECT_EQ(dialog.commands, std::vector<int>{Button});
    EXPECT_EQ(dialog.trayEvents.size(), 1u);
    EXPECT_EQ(dialog.ticks(1), 1);
    host.trayMouse(7, MouseLeftDown);
    EXPECT_EQ(dialog.trayEvents.size(), 1u) << "the owner has gone";
}

TEST_F(InMemoryHostTest, GuardCountsRefusalsAndCentringOnlyWhenItPasses) {
    runWith([&](WindowId w) {
        host.centerOnWorkArea(w);
        dialog.veto = true;
        host.centerOnWorkArea(w);
        host.setForeground(w);
        host.show(w, ShowMode::Minimized);
        EXPECT_EQ(host.showMode(w), ShowMode::Normal);
        EXPECT_EQ(host.centredCount(w), 1);
        EXPECT_EQ(host.vetoedCount(w), 3);
        EXPECT_EQ(host.foregroundWindow(), 0);
    });
}

TEST_F(InMemoryHostTest, SortedInsertBeforeTheSelectionKeepsTheSameEntrySelected) {
    runWith([&](WindowId w) {
        host.addString(w, SortedList, "b");
        host.setCurSel(w, SortedList, 0);
        host.addString(w, SortedList, "a");
        EXPECT_EQ(host.curSel(w, SortedList), 1);
        EXPECT_EQ(host.text(w, SortedList, 5), "b");
        EXPECT_EQ(host.addString(w, Label, "x"), -1);
        EXPECT_EQ(host.textLimit(w, Combo), ComboLimit);
        EXPECT_FALSE(host.isControlVisible(w, HiddenButton));
    });
}

TEST_F(InMemoryHostTest, TheLastEndDialogBeforeTheStepEndsWins) {
    host.script({[&] {
        host.endDialog(dialog.self, 3);
        host.endDialog(dialog.self, 4);
        host.endDialog(999, 5);
        host.setText(dialog.self, Label, "danach");
    }});
    EXPECT_EQ(host.runModal(probeTemplate(), dialog, 0), 4);
    EXPECT_FALSE(host.scriptRanOut());
}

} // namespace
} // namespace velmora::hosttest
