#pragma once

#include <QColor>
#include <QPalette>

namespace flowtally {

// The colours of Flowtally's charts, taken from the desktop's palette so
// that a light and a dark theme both stay readable: the background and the
// texts are the window's, incoming traffic has the highlight colour and
// outgoing traffic the highlight's opposite hue at the same lightness (a
// grey highlight gives a lighter or darker grey), the lines of totals and
// pace the text colour. In and out are made lighter or darker where needed
// to stand out from the background by a contrast ratio of 3:1 at least.
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

// The contrast that In and Out keep against the background.
inline constexpr double kMinimumContrast = 3.0;

// WCAG 2's relative luminance of a colour (0 black, 1 white) and the
// contrast ratio of two colours (1 to 21).
double relativeLuminance(const QColor &colour);
double contrastRatio(const QColor &one, const QColor &other);

} // namespace flowtally
