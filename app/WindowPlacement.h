#pragma once

#include <QList>
#include <QPair>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QString>

class QWidget;

namespace flowtally {

// Where Flowtally's windows were and how large: each window's geometry is
// kept in the settings under a key of its own, put back when the window is
// added and taken again whenever it closes, so that windows come back where
// the user left them. A window with no place kept opens, the first time it
// shows, beside another, not over it.
class WindowPlacement {
  public:
    // Which window the others open beside: the first one added (the main
    // window, itself placed by the desktop), or the one active when each
    // first shows (the window it was asked from).
    enum class Beside { FirstAdded, ActiveWindow };
    explicit WindowPlacement(Beside beside = Beside::FirstAdded) : beside_(beside) {}

    // Tracks the window under the settings key and restores its geometry, if
    // one is stored. Windows are added before they are first shown.
    void add(QWidget *window, const QString &key);

    // Stores the geometry of a tracked window that is shown; a hidden or an
    // unknown window changes nothing. The caller writes the settings out.
    void remember(QWidget *window) const;

    // Where a window whose frame has the size `frame` goes beside a window
    // whose frame is `beside`, on a screen whose free area is `screen`: its
    // top level with the other's, right of it, else left of it; where
    // neither side has room, at the screen's edge on the side with more.
    // Always on the screen, as far as it fits.
    static QPoint besidePosition(const QRect &beside, const QSize &frame, const QRect &screen);

  private:
    // The window, the first time it shows, opens beside `beside` (none: the
    // window active then), for windows whose place is not kept.
    static void openBeside(QWidget *window, QWidget *beside);

    Beside beside_;
    QList<QPair<QPointer<QWidget>, QString>> windows_;
};

} // namespace flowtally
