#pragma once
// The program's icon resources, by number: what a host draws for each is its
// own business (the Qt host carries the images as a Qt resource).

namespace velmora::icons {

inline constexpr int Program = 128;      // the program icon
inline constexpr int TrayResource = 129; // the notification-area icon: a simpler image at the small sizes

} // namespace velmora::icons
