#include "ui/Templates.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "platform/Version.h"
#include "platform/WindowHost.h"
#include "ui/ControlIds.h"

namespace velmora {
namespace {

std::vector<const DialogTemplate*> allTemplates() {
    return {&mainDialogTemplate(), &costEditorTemplate(), &aboutDialogTemplate()};
}

// A closed combo box is one line high; its template height is the opened list.
int closedHeight(const ControlTemplate& c) {
    const bool combo = c.kind == ControlKind::DropDownList || c.kind == ControlKind::DropDownCombo;
    return combo ? std::min(c.height, 12) : c.height;
}

bool overlap(const ControlTemplate& a, const ControlTemplate& b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + closedHeight(b) && b.y < a.y + closedHeight(a);
}

TEST(Templates, IdsAreUniqueAndVisibleControlsFitWithoutOverlapping) {
    for (const DialogTemplate* t : allTemplates()) {
        SCOPED_TRACE(t->id);
        std::set<int> seen;
        for (const ControlTemplate& c : t->controls) {
            if (c.id != -1) {
                EXPECT_TRUE(seen.insert(c.id).second) << "duplicate id " << c.id;
            }
            EXPECT_TRUE(c.x >= 0 && c.y >= 0 && c.x + c.width <= t->width && c.y + c.height <= t->height)
                << "control " << c.id << " '" << c.text << "' outside the dialog";
        }
        for (std::size_t i = 0; i < t->controls.size(); ++i)
            for (std::size_t j = i + 1; j < t->controls.size(); ++j) {
                const ControlTemplate& a = t->controls[i];
                const ControlTemplate& b = t->controls[j];
                if (!a.visible || !b.visible || a.kind == ControlKind::GroupBox || b.kind == ControlKind::GroupBox)
                    continue;
                EXPECT_FALSE(overlap(a, b))
                    << "'" << a.text << "' (" << a.id << ") and '" << b.text << "' (" << b.id << ")";
            }
    }
}

TEST(Templates, MainWindowCarriesItsFieldsAndFixedTexts) {
    const DialogTemplate& t = mainDialogTemplate();
    EXPECT_EQ(t.caption, "");
    EXPECT_TRUE(t.minimizeBox);
    EXPECT_EQ(t.width * 1000 + t.height, 433138);
    for (int id :
         {ids::ConnectionName, ids::DeviceType, ids::DeviceName, ids::TimeOnline, ids::ConnectionCost, ids::GrandTotal,
          ids::UnitLength, ids::ComputerName, ids::CostLabel, ids::TotalLabel, ids::TariffList, ids::WarningList})
        EXPECT_NE(t.find(id), nullptr) << id;
    EXPECT_EQ(t.find(ids::IpAddress)->text, "0.0.0.0");
    EXPECT_EQ(t.find(ids::CmdAbout)->text, "&Über...");
    EXPECT_EQ(t.find(IdOk)->kind, ControlKind::DefaultPushButton);
    EXPECT_FALSE(t.find(ids::TariffList)->sorted);
    EXPECT_EQ(t.find(1008)->iconResource, ids::ProgramIcon);
}

TEST(Templates, CostEditorKeepsItsTabOrderAndNineCharacterFieldsWithoutHiddenControls) {
    const DialogTemplate& t = costEditorTemplate();
    EXPECT_EQ(t.caption, "Cost-Editor <Benutzer definerter Tarif>");
    EXPECT_FALSE(t.minimizeBox);
    EXPECT_EQ(t.controls.front().id, IdOk);
    EXPECT_EQ(t.controls[1].text, "&Abbrechen");
    std::set<int> hidden, sorted, limited;
    for (const ControlTemplate& c : t.controls) {
        if (!c.visible) hidden.insert(c.id);
        if (c.sorted) sorted.insert(c.id);
        if (c.textLimit) limited.insert(c.id);
        const bool tabStopExpected =
            c.kind != ControlKind::RadioButton && c.kind != ControlKind::Text && c.kind != ControlKind::GroupBox;
        EXPECT_EQ(c.tabStop, tabStopExpected) << c.id;
    }
    EXPECT_EQ(hidden, std::set<int>{}) << "the bands are kept beside the lists, not in hidden controls";
    EXPECT_EQ(sorted, (std::set<int>{ids::Von, ids::Bis}));
    EXPECT_EQ(limited, (std::set<int>{ids::Takt, ids::Fee}));
    EXPECT_EQ(t.find(ids::Takt)->textLimit, 9);
    EXPECT_EQ(t.find(ids::Monday + 3)->text, "Donnerstag");
    EXPECT_EQ(t.find(ids::Sunday)->text, "Sonntag");
    EXPECT_EQ(t.find(ids::HolidayMode)->kind, ControlKind::RadioButton);
}

TEST(Templates, AboutBoxNamesProductVersionAndContactLines) {
    const DialogTemplate& t = aboutDialogTemplate();
    EXPECT_EQ(t.caption, "Über...");
    std::vector<std::string> texts;
    for (const ControlTemplate& c : t.controls) texts.push_back(c.text);
    EXPECT_EQ(texts[1].rfind(std::string("Velmora\nVersion ") + kVersion + "\n", 0), 0u);
    EXPECT_EQ(texts[3], "Fragen, Updates und Anregungen über den Autor:");
    EXPECT_EQ(texts[4].rfind("per FAX:\t", 0), 0u);
    EXPECT_NE(texts[4].find("\nper gelbe Post:\t"), std::string::npos);
    EXPECT_NE(texts[4].find("\nper EMail:\t"), std::string::npos);
    EXPECT_EQ(t.find(IdOk)->text, "&OK");
}

} // namespace
} // namespace velmora
