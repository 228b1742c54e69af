#pragma once
// A dialog described as data: what a window host needs to build it. Rectangles
// are in dialog units (x: quarters of the average character width, y: eighths
// of the character height), as the templates were laid out.

#include <string>
#include <utility>
#include <vector>

namespace velmora {

enum class ControlKind {
    Icon,         // shows an icon resource (iconResource)
    Text,         // static text, left aligned
    CenteredText, // static text, centred, may hold several lines ("\n")
    BlackFrame,   // a thin rule or rectangle
    GroupBox,     // a frame with a title
    PushButton,
    DefaultPushButton, // activated by Enter
    DropDownList,      // combo box without an edit field
    DropDownCombo,     // combo box with an edit field (textLimit applies)
    ListBox,           // list box with a vertical scroll bar
    CheckBox,          // automatic check box
    RadioButton,       // automatic radio button; all radio buttons of a dialog form one group
};

struct ControlTemplate {
    int id = -1; // -1: a control the program never addresses
    ControlKind kind = ControlKind::Text;
    int x = 0, y = 0, width = 0, height = 0;
    std::string text; // initial text (UTF-8)
    bool visible = true;
    bool tabStop = false;
    bool sorted = false;  // combo and list boxes: keep entries sorted ascending by text
    int textLimit = 0;    // DropDownCombo: maximum characters of the edit field, 0 = none
    int iconResource = 0; // Icon: resource number (128 program icon, 129 tray icon)
};

inline ControlTemplate makeControl(int id, ControlKind kind, int x, int y, int width, int height,
                                   std::string text = {}) {
    ControlTemplate c;
    c.id = id;
    c.kind = kind;
    c.x = x;
    c.y = y;
    c.width = width;
    c.height = height;
    c.text = std::move(text);
    return c;
}

struct DialogTemplate {
    int id = 0;
    std::string caption;
    int width = 0, height = 0; // dialog units
    bool minimizeBox = false;
    std::vector<ControlTemplate> controls; // in tab order

    const ControlTemplate* find(int controlId) const {
        for (const auto& c : controls)
            if (c.id == controlId) return &c;
        return nullptr;
    }
};

} // namespace velmora
