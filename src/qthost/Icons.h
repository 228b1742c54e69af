#pragma once
// The program's icon resources, compiled into the binary as a Qt resource.

#include <QIcon>

namespace velmora {

// 128: the program icon; 129: the notification-area icon (a simpler image at
// the small sizes). Any other number gives a null icon.
QIcon iconForResource(int iconResource);

} // namespace velmora
