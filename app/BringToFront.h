#pragma once

#include <QWidget>

namespace flowtally {

// Shows a window and brings it to the front, with the keyboard's focus,
// whether it was minimized, hidden or behind another; a minimized window
// comes back as it was before (maximized, say).
inline void bringToFront(QWidget *window) {
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace flowtally
