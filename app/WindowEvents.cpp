#include "app/WindowEvents.h"

#include <QEvent>
#include <QWidget>

namespace flowtally {

WindowEvents::WindowEvents(Handler didBecomeKey, Handler willClose, QObject *parent)
    : QObject(parent), didBecomeKey_(std::move(didBecomeKey)), willClose_(std::move(willClose)) {}

void WindowEvents::watch(QWidget *window) {
    window->installEventFilter(this);
}

bool WindowEvents::eventFilter(QObject *watched, QEvent *event) {
    auto *window = static_cast<QWidget *>(watched);
    switch (event->type()) {
    case QEvent::WindowActivate:
        didBecomeKey_(window);
        break;
    case QEvent::Close:
        // Nothing refuses a close, so the window is about to go.
        willClose_(window);
        break;
    default:
        break;
    }
    return false;
}

} // namespace flowtally
