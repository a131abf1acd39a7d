#pragma once

#include <QEvent>
#include <QObject>

namespace flowtally {

// Counts the paint events that reach the objects it filters.
class PaintCounter : public QObject {
  public:
    bool eventFilter(QObject *, QEvent *event) override {
        paints += event->type() == QEvent::Paint;
        return false;
    }
    int paints = 0;
};

} // namespace flowtally
