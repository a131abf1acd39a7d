#include "ChartColours.h"

namespace flowtally {

namespace {

constexpr int kGridAlpha = 48;
constexpr int kOppositeHue = 180;
// Below this saturation a colour reads as grey and its hue means nothing.
constexpr int kGreySaturation = 40;
constexpr int kGreyShift = 150; // percent, for lighter() and darker()

// In eight bits per channel, as an image holds it.
QColor paintable(const QColor &colour) {
    return QColor::fromRgb(colour.rgb());
}

QColor oppositeOf(const QColor &colour, const QColor &background) {
    const QColor hsl = colour.toHsl();
    if (hsl.hslSaturation() < kGreySaturation || hsl.hslHue() < 0) {
        const bool darkBackground = background.lightness() < 128;
        return paintable(darkBackground ? colour.lighter(kGreyShift) : colour.darker(kGreyShift));
    }
    return paintable(
        QColor::fromHsl((hsl.hslHue() + kOppositeHue) % 360, hsl.hslSaturation(), hsl.lightness()));
}

} // namespace

ChartColours chartColours(const QPalette &palette) {
    ChartColours colours;
    colours.background = palette.color(QPalette::Window);
    colours.text = palette.color(QPalette::WindowText);
    colours.grid = colours.text;
    colours.grid.setAlpha(kGridAlpha);
    colours.in = palette.color(QPalette::Highlight);
    colours.out = oppositeOf(colours.in, colours.background);
    colours.total = colours.text;
    colours.pace = colours.text;
    return colours;
}

} // namespace flowtally
