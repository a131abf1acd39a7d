#pragma once

#include <QWidget>

namespace flowtally {

// Shows a window and brings it to the front, with the keyboard's focus.
inline void bringToFront(QWidget *window) {
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace flowtally
