#pragma once
// Combo boxes and list boxes behind one set of operations, with the selection
// rules of the window layer: adding or deleting other entries keeps the
// selected entry selected, deleting the selected entry leaves none selected,
// and nothing gets selected on its own.

#include <string>

#include <QString>

class QComboBox;
class QWidget;

namespace velmora {

// A user typing into an editable combo box clears its selection, as the
// window layer has it (Qt would keep it).
void clearSelectionOnTyping(QComboBox& combo);

// Marks a list control as sorted: entries go in ascending order of their text.
void markSorted(QWidget& control);

int addEntry(QWidget& control, const std::string& text);
void selectEntry(QWidget& control, int index); // -1 clears the selection
int selectedEntry(const QWidget& control);
std::string entryText(const QWidget& control, int index);
int entryCount(const QWidget& control);
void deleteEntry(QWidget& control, int index);
// What the control shows as its text: the edit field of an editable combo
// box, otherwise the selected entry.
QString shownText(const QWidget& control);

} // namespace velmora
