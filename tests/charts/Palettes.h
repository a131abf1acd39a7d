#pragma once

// A dark and a light desktop's colours for the charts' tests and pictures.
#include <QPalette>

namespace flowtally {

inline QPalette darkPalette() {
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(0x20, 0x22, 0x25));
    palette.setColor(QPalette::WindowText, QColor(0xe8, 0xe8, 0xe8));
    palette.setColor(QPalette::Highlight, QColor(0x3d, 0xae, 0xe9));
    return palette;
}

inline QPalette lightPalette() {
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(0xf4, 0xf4, 0xf0));
    palette.setColor(QPalette::WindowText, QColor(0x10, 0x10, 0x10));
    palette.setColor(QPalette::Highlight, QColor(0x30, 0x8c, 0xc6));
    return palette;
}

} // namespace flowtally
