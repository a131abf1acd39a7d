#include "EscapeCloses.h"

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
    if (event->type() != QEvent::KeyPress ||
        static_cast<QKeyEvent *>(event)->key() != Qt::Key_Escape ||
        static_cast<QKeyEvent *>(event)->modifiers() != Qt::NoModifier || !watched->isWidgetType())
        return false;
    QWidget *window = static_cast<QWidget *>(watched)->window();
    if (window == mainWindow_)
        return false;
    window->close();
    return true;
}

} // namespace flowtally
