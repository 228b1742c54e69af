#pragma once
// Real widgets for the controls of a dialog template.

#include <QWidget>

#include "platform/DialogTemplate.h"
#include "qthost/DialogUnits.h"

namespace velmora {

// Creates the control as a child of parent, placed by its template rectangle
// and hidden when the template says so. Statics, frames and group boxes never
// take the focus; tab stops take it by Tab and click, the others by click.
QWidget* createControl(const ControlTemplate& tmpl, QWidget* parent, const DialogBaseUnits& units);

// Makes plain lists of every window open as lists rather than menus; the
// host calls it before its first window, so no widget has to be restyled.
void useListPopupStyle();

// True for the kinds that hold a list of entries.
bool isListKind(ControlKind kind);

} // namespace velmora
