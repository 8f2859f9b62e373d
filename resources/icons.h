// The record icon strip and the application icon, embedded in the program.
#pragma once

#include <QIcon>
#include <QList>
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

// The whole strip, kIconCount * kIconSize by kIconSize pixels; transparency is its mask. On a
// dark theme every picture has a light edge, so that its dark outline stays visible.
QPixmap iconStrip();
// The same pictures drawn for twice the pixel density: twice as wide and high.
QPixmap iconStripTwice();

// Picture `index` of the strip, at the normal and at twice the pixel density; an index outside
// the strip gives the blank picture.
QIcon iconPicture(int index);
// Every picture of the strip, drawn for a screen's pixel density (each of kIconSize logical
// pixels).
QList<QPixmap> iconPictures(qreal devicePixelRatio);

// Two balloons, red and green, at 16, 32, 48, 64 and 96 pixels.
QIcon applicationIcon();

} // namespace kivo
