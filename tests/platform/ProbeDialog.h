#pragma once
// The small dialog and recording handler that the host tests drive.

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/WindowHost.h"

namespace velmora::hosttest {

// Controls of the small test dialog.
inline constexpr int Button = 10;
inline constexpr int AskButton = 11;
inline constexpr int CheckA = 20;
inline constexpr int CheckB = 21;
inline constexpr int RadioA = 30;
inline constexpr int RadioB = 31;
inline constexpr int Label = 40;
inline constexpr int DropList = 50;
inline constexpr int SortedList = 51;
inline constexpr int Combo = 52;
inline constexpr int HiddenButton = 60;
inline constexpr int ComboLimit = 5;

inline ControlTemplate probeControl(int id, ControlKind kind, int x, int y, int w, int h, std::string text = {}) {
    ControlTemplate c = makeControl(id, kind, x, y, w, h, std::move(text));
    c.tabStop = true;
    return c;
}

inline const DialogTemplate& probeTemplate() {
    static const DialogTemplate t = [] {
        using K = ControlKind;
        DialogTemplate d;
        d.id = 900;
        d.caption = "Prüfstand";
        d.width = 200;
        d.height = 150;
        d.minimizeBox = true;
        d.controls = {
            probeControl(IdOk, K::DefaultPushButton, 4, 130, 50, 14, "&OK"),
            probeControl(Button, K::PushButton, 60, 130, 50, 14, "&Knopf"),
            probeControl(AskButton, K::PushButton, 116, 130, 50, 14, "&Frage"),
            probeControl(CheckA, K::CheckBox, 4, 4, 60, 10, "Montag"),
            probeControl(CheckB, K::CheckBox, 70, 4, 60, 10, "Dienstag"),
            probeControl(-1, K::GroupBox, 2, 16, 140, 30, "Modus"),
            probeControl(RadioA, K::RadioButton, 6, 26, 60, 10, "Feiertags:"),
            probeControl(RadioB, K::RadioButton, 70, 26, 60, 10, "Wochentags:"),
            probeControl(Label, K::Text, 4, 50, 150, 8, "Gebühren:"),
            probeControl(DropList, K::DropDownList, 4, 62, 60, 50),
            probeControl(SortedList, K::ListBox, 70, 62, 60, 40),
            probeControl(Combo, K::DropDownCombo, 136, 62, 50, 50),
            probeControl(HiddenButton, K::PushButton, 136, 110, 50, 14, "&Versteckt"),
        };
        auto control = [&d](int id) {
            return std::find_if(d.controls.begin(), d.controls.end(), [id](const auto& c) { return c.id == id; });
        };
        control(SortedList)->sorted = true;
        control(Combo)->textLimit = ComboLimit;
        control(HiddenButton)->visible = false;
        return d;
    }();
    return t;
}

// A dialog that records what it hears; tests add reactions through the hooks.
class ProbeDialog : public DialogHandler {
public:
    WindowId self = 0;
    std::vector<int> commands;
    std::vector<int> timerTicks;
    std::vector<std::pair<int, int>> trayEvents;
    std::vector<bool> trayAreaNews;
    int destroyed = 0;
    bool veto = false;
    std::function<void(int)> onCommandHook;
    std::function<void(int)> onTimerHook;
    int trayMenuOpenings = 0;
    std::vector<std::pair<int, int>> trayMenuChoices;
    std::function<void(int)> onTrayMenuOpeningHook;

    void onInitDialog(WindowId window) override { self = window; }
    void onCommand(int commandId) override {
        commands.push_back(commandId);
        if (onCommandHook) onCommandHook(commandId);
    }
    void onTimer(int timerId) override {
        timerTicks.push_back(timerId);
        if (onTimerHook) onTimerHook(timerId);
    }
    void onDestroy() override { ++destroyed; }
    int onTrayNotify(int iconId, int mouseMessage) override {
        trayEvents.emplace_back(iconId, mouseMessage);
        return 1;
    }
    bool onWindowPosChanging() override { return veto; }
    void onTrayAreaChanged(bool present) override { trayAreaNews.push_back(present); }
    void onTrayMenuOpening(int iconId) override {
        ++trayMenuOpenings;
        if (onTrayMenuOpeningHook) onTrayMenuOpeningHook(iconId);
    }
    void onTrayMenuChoice(int iconId, int itemId) override { trayMenuChoices.emplace_back(iconId, itemId); }

    long ticks(int timerId) const { return std::count(timerTicks.begin(), timerTicks.end(), timerId); }
};

} // namespace velmora::hosttest
