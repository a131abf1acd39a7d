#pragma once

#include <QList>
#include <QPair>
#include <QString>

class QWidget;

namespace flowtally {

// Where Flowtally's windows were and how large: each window's geometry is
// kept in the settings under a key of its own, put back when the window is
// added and taken again whenever it closes, so that windows come back where
// the user left them.
class WindowPlacement {
  public:
    // Tracks the window under the settings key and restores its geometry, if
    // one is stored. Windows are added before they are first shown.
    void add(QWidget *window, const QString &key);

    // Stores the geometry of a tracked window that is shown; a hidden or an
    // unknown window changes nothing. The caller writes the settings out.
    void remember(QWidget *window) const;

  private:
    QList<QPair<QWidget *, QString>> windows_;
};

} // namespace flowtally
