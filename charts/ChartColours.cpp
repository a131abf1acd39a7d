#include "charts/ChartColours.h"

#include <algorithm>
#include <cmath>

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

double linearChannel(double channel) {
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

// The colour, made lighter on a dark background or darker on a light one
// in steps of HSL lightness, until its contrast against the background is
// kMinimumContrast at least; a colour that has it stays as it is.
QColor readableOn(const QColor &colour, const QColor &background) {
    constexpr int kStep = 6;
    // Below this luminance white stands out more from the background than black.
    const bool dark = relativeLuminance(background) < 0.18;
    QColor readable = paintable(colour).toHsl();
    for (int lightness = readable.lightness();
         contrastRatio(readable, background) < kMinimumContrast && lightness > 0 &&
         lightness < 255;) {
        lightness = std::clamp(lightness + (dark ? kStep : -kStep), 0, 255);
        readable.setHsl(readable.hslHue(), readable.hslSaturation(), lightness);
    }
    return paintable(readable);
}

} // namespace

double relativeLuminance(const QColor &colour) {
    const QColor rgb = colour.toRgb();
    return 0.2126 * linearChannel(rgb.redF()) + 0.7152 * linearChannel(rgb.greenF()) +
           0.0722 * linearChannel(rgb.blueF());
}

double contrastRatio(const QColor &one, const QColor &other) {
    const double a = relativeLuminance(one), b = relativeLuminance(other);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

ChartColours chartColours(const QPalette &palette) {
    ChartColours colours;
    colours.background = palette.color(QPalette::Window);
    colours.text = palette.color(QPalette::WindowText);
    colours.grid = colours.text;
    colours.grid.setAlpha(kGridAlpha);
    const QColor highlight = palette.color(QPalette::Highlight);
    colours.in = readableOn(highlight, colours.background);
    colours.out = readableOn(oppositeOf(highlight, colours.background), colours.background);
    colours.total = colours.text;
    colours.pace = colours.text;
    return colours;
}

} // namespace flowtally
