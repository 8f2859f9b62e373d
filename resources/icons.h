// The record icon strip and the application icon, embedded in the program.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace kivo {

// Pictures in the strip, side by side, each kIconSize pixels square.
inline constexpr int kIconCount = 33;
// Pictures a record can be given: all but the last, which is blank.
inline constexpr int kChoosableIcons = 32;
inline constexpr int kIconSize = 16;

// Registers the embedded resources. They live in a static library, so nothing registers them
// on its own; the functions below call this themselves, and calling it again does nothing.
void initResources();

// The whole strip, kIconCount * kIconSize by kIconSize pixels; transparency is its mask.
QPixmap iconStrip();

// Picture `index` of the strip; an index outside the strip gives the blank picture.
QIcon iconPicture(int index);

// Two balloons, red and green, at 16, 32 and 48 pixels.
QIcon applicationIcon();

} // namespace kivo
