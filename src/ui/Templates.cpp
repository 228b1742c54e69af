#include "ui/Templates.h"

#include "platform/Version.h"
#include "ui/ControlIds.h"

#include <string>
#include <utility>

namespace velmora {
namespace {

using K = ControlKind;

// Everything downstream of the "Takt" and fee fields (the stored tariff, the
// unit column, the fee parsing) is sized for at most 9 characters.
constexpr int EditFieldLimit = 9;

ControlTemplate control(int id, ControlKind kind, int x, int y, int w, int h, std::string text = {}) {
    ControlTemplate c = makeControl(id, kind, x, y, w, h, std::move(text));
    c.tabStop = kind == K::PushButton || kind == K::DefaultPushButton || kind == K::DropDownList ||
                kind == K::DropDownCombo || kind == K::ListBox || kind == K::CheckBox;
    return c;
}

ControlTemplate label(int x, int y, int w, int h, std::string text) {
    return control(-1, K::Text, x, y, w, h, std::move(text));
}

ControlTemplate programIcon(int id, int x, int y) {
    ControlTemplate c = control(id, K::Icon, x, y, 18, 20);
    c.iconResource = ids::ProgramIcon;
    return c;
}

ControlTemplate sortedDropDownList(int id, int x, int y, int w, int h) {
    ControlTemplate c = control(id, K::DropDownList, x, y, w, h);
    c.sorted = true;
    return c;
}

ControlTemplate limitedCombo(int id, int x, int y, int w, int h) {
    ControlTemplate c = control(id, K::DropDownCombo, x, y, w, h);
    c.textLimit = EditFieldLimit;
    return c;
}

DialogTemplate buildMainDialog() {
    DialogTemplate t;
    t.id = ids::MainDialog;
    t.caption = ""; // the poll tick sets it every second
    t.width = 433;
    t.height = 138;
    t.minimizeBox = true;
    t.controls = {
        programIcon(1009, 11, 4),
        programIcon(1007, 33, 4),
        programIcon(1008, 55, 4),
        control(-1, K::CenteredText, 80, 9, 346, 8, std::string("Velmora  Version ") + kVersion),
        control(-1, K::BlackFrame, 4, 29, 426, 1),
        label(4, 39, 17, 8, "Tarif:"),
        control(ids::TariffList, K::DropDownList, 21, 37, 78, 100),
        label(105, 39, 32, 8, "Warnung:"),
        control(ids::WarningList, K::DropDownList, 137, 37, 78, 100),
        control(ids::CmdCostEditor, K::PushButton, 220, 37, 50, 14, "&Cost-Editor"),
        control(ids::CmdReset, K::PushButton, 273, 37, 50, 14, "&Reset..."),
        control(ids::CmdAbout, K::PushButton, 326, 37, 50, 14, "&Über..."),
        control(1, K::DefaultPushButton, 379, 37, 50, 14, "&OK"),
        control(-1, K::GroupBox, 4, 55, 211, 80, "RAS Status"),
        control(ids::ComputerName, K::Text, 10, 70, 73, 8),
        control(ids::ConnectionName, K::Text, 97, 70, 108, 8),
        label(10, 85, 73, 8, "Device Art:"),
        control(ids::DeviceType, K::Text, 97, 85, 108, 8),
        label(10, 100, 73, 8, "Device Beschreibung:"),
        control(ids::DeviceName, K::Text, 97, 100, 108, 8),
        label(10, 115, 73, 8, "Vergebene IP Adresse:"),
        control(ids::IpAddress, K::Text, 97, 115, 108, 8, "0.0.0.0"),
        control(-1, K::GroupBox, 218, 55, 211, 80, "Gebührenüberwachung:"),
        label(224, 70, 77, 8, "Verbunden seit [ h.m.s ]:  "),
        control(ids::TimeOnline, K::Text, 311, 70, 108, 8),
        control(ids::CostLabel, K::Text, 224, 85, 82, 8),
        control(ids::ConnectionCost, K::Text, 311, 85, 108, 8),
        control(ids::TotalLabel, K::Text, 224, 100, 82, 8),
        control(ids::GrandTotal, K::Text, 311, 100, 108, 8),
        label(224, 115, 82, 8, "Aktuelle Tarifzeit:"),
        control(ids::UnitLength, K::Text, 311, 115, 108, 8),
    };
    return t;
}

DialogTemplate buildCostEditor() {
    DialogTemplate t;
    t.id = ids::CostEditorDialog;
    t.caption = "Cost-Editor <Benutzer definerter Tarif>";
    t.width = 228;
    t.height = 186;
    t.controls = {
        control(1, K::DefaultPushButton, 62, 166, 50, 14, "&OK"),
        control(2, K::PushButton, 115, 166, 50, 14, "&Abbrechen"),
        control(ids::HolidayMode, K::RadioButton, 116, 90, 103, 10, "Feiertags:"),
        control(ids::WeekdayMode, K::RadioButton, 4, 90, 103, 10, "Wochentags:"),
        control(ids::WeekdayList, K::ListBox, 4, 101, 107, 60),
        label(5, 7, 17, 9, "Von:"),
        label(5, 25, 14, 9, "Bis:"),
        label(69, 7, 53, 9, "Takt in Sek.:"),
        control(ids::FeeLabel, K::Text, 70, 25, 52, 9),
        control(ids::AddBand, K::PushButton, 174, 4, 49, 14, "&Hinzufügen"),
        sortedDropDownList(ids::Von, 27, 4, 38, 50),
        sortedDropDownList(ids::Bis, 27, 22, 38, 50),
        limitedCombo(ids::Takt, 123, 4, 38, 50),
        limitedCombo(ids::Fee, 123, 22, 38, 50),
        control(ids::DeleteBand, K::PushButton, 174, 20, 49, 14, "&Löschen"),
        control(ids::HolidayList, K::ListBox, 116, 100, 107, 60),
        control(ids::Monday, K::CheckBox, 9, 48, 40, 10, "Montag"),
        control(ids::Monday + 1, K::CheckBox, 58, 48, 44, 10, "Dienstag"),
        control(ids::Monday + 2, K::CheckBox, 111, 48, 45, 10, "Mittwoch"),
        control(ids::Monday + 3, K::CheckBox, 165, 48, 53, 10, "Donnerstag"),
        control(ids::Monday + 4, K::CheckBox, 9, 66, 37, 10, "Freitag"),
        control(ids::Monday + 5, K::CheckBox, 58, 66, 43, 10, "Samstag"),
        control(ids::Sunday, K::CheckBox, 111, 66, 43, 10, "Sonntag"),
        control(-1, K::GroupBox, 4, 38, 221, 45, "Feiertage:"),
    };
    return t;
}

DialogTemplate buildAboutDialog() {
    DialogTemplate t;
    t.id = ids::AboutDialog;
    t.caption = "Über...";
    t.width = 220;
    t.height = 154;
    t.controls = {
        programIcon(-1, 8, 17),
        control(-1, K::CenteredText, 33, 4, 154, 59,
                std::string("Velmora\nVersion ") + kVersion + "\n\nGebührenzähler für Wählverbindungen"),
        control(-1, K::BlackFrame, 1, 64, 219, 1),
        label(30, 69, 159, 8, "Fragen, Updates und Anregungen über den Autor:"),
        label(4, 82, 211, 52,
              "per FAX:\t+49 000 0000000\n"
              "per gelbe Post:\tVelmora, Postfach 0000, 00000 Musterstadt\n"
              "per EMail:\tvelmora@example.org"),
        control(1, K::DefaultPushButton, 84, 135, 50, 14, "&OK"),
    };
    return t;
}

} // namespace

const DialogTemplate& mainDialogTemplate() {
    static const DialogTemplate t = buildMainDialog();
    return t;
}

const DialogTemplate& costEditorTemplate() {
    static const DialogTemplate t = buildCostEditor();
    return t;
}

const DialogTemplate& aboutDialogTemplate() {
    static const DialogTemplate t = buildAboutDialog();
    return t;
}

} // namespace velmora
