#pragma once

#include <QColor>
#include <QPalette>

namespace flowtally {

// The colours of Flowtally's charts, taken from the desktop's palette so
// that a light and a dark theme both stay readable: the background and the
// texts are the window's, incoming traffic has the highlight colour and
// outgoing traffic the highlight's opposite hue at the same lightness (a
// grey highlight gives a lighter or darker grey), the lines of totals and
// pace the text colour.
struct ChartColours {
    QColor background;
    QColor text;
    QColor grid;
    QColor in;
    QColor out;
    QColor total;
    QColor pace;
};

ChartColours chartColours(const QPalette &palette);

} // namespace flowtally
