#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>

namespace flowtally {

// Flowtally's icon, drawn with QPainter (the same picture as
// resources/flowtally.svg, which the desktop uses once installed): a blue
// tile with a white traffic curve and a bar of the limit used.

// The colours of the icon and of the badge drawn on it.
inline const QColor kIconTile(0x2a, 0x6f, 0xdb);
inline const QColor kIconUsedBar(0xff, 0xd3, 0x4d);

// The picture, `size` pixels square.
QPixmap appIconPixmap(int size);

// The icon at the sizes window managers and trays ask for.
QIcon appIcon();

} // namespace flowtally
