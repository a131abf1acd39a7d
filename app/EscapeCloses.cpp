#include "app/EscapeCloses.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace flowtally {

EscapeCloses::EscapeCloses(QWidget *mainWindow, QObject *parent)
    : QObject(parent), mainWindow_(mainWindow) {
    qApp->installEventFilter(this);
}

EscapeCloses::~EscapeCloses() {
    qApp->removeEventFilter(this);
}

bool EscapeCloses::eventFilter(QObject *watched, QEvent *event) {
    // Key presses go to widgets. Whether the receiver is one is asked first:
    // the events the worker posts to the main thread's queue object are
    // then never looked into here.
    if (!watched->isWidgetType() || event->type() != QEvent::KeyPress ||
        static_cast<QKeyEvent *>(event)->key() != Qt::Key_Escape ||
        static_cast<QKeyEvent *>(event)->modifiers() != Qt::NoModifier)
        return false;
    QWidget *window = static_cast<QWidget *>(watched)->window();
    if (window == mainWindow_)
        return false;
    window->close();
    return true;
}

} // namespace flowtally
