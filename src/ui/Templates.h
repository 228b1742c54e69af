#pragma once
// The three dialog templates as data: main window (102), cost editor (131),
// about box (132).

#include "platform/DialogTemplate.h"

namespace velmora {

const DialogTemplate& mainDialogTemplate();
const DialogTemplate& costEditorTemplate();
const DialogTemplate& aboutDialogTemplate();

} // namespace velmora
