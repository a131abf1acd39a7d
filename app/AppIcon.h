#pragma once

#include <QIcon>
#include <QPixmap>

namespace flowtally {

// Flowtally's icon, drawn with QPainter (the same picture as
// resources/flowtally.svg, which the desktop uses once installed): a blue
// tile with a white traffic curve and a bar of the limit used.

// The picture, `size` pixels square.
QPixmap appIconPixmap(int size);

// The icon at the sizes window managers and trays ask for.
QIcon appIcon();

} // namespace flowtally
