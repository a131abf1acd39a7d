#pragma once

// A dark and a light desktop's colours for the charts' tests and pictures.
#include <QPalette>

namespace flowtally {

inline QPalette paletteOf(const QColor &window, const QColor &text, const QColor &highlight) {
    QPalette palette;
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Highlight, highlight);
    return palette;
}

inline QPalette darkPalette() {
    return paletteOf(QColor(0x20, 0x22, 0x25), QColor(0xe8, 0xe8, 0xe8), QColor(0x3d, 0xae, 0xe9));
}

inline QPalette lightPalette() {
    return paletteOf(QColor(0xf4, 0xf4, 0xf0), QColor(0x10, 0x10, 0x10), QColor(0x30, 0x8c, 0xc6));
}

} // namespace flowtally
