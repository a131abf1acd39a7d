#pragma once

class QWidget;

namespace flowtally {

// A row with one Close button, where the desktop puts it, that closes
// `window`: for the windows that only show something, so that a person who
// does not know Escape finds the way out too.
QWidget *closeButtonFor(QWidget *window);

} // namespace flowtally
