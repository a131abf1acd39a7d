#pragma once

#include <QObject>

class QWidget;

namespace flowtally {

// Escape closes the window it is pressed in, as its close button would:
// any window of Flowtally's but the main one, whose close ends Flowtally.
// One filter for the whole application, so that a window added later
// closes on Escape too. A pop-up (a combo box's list, a menu) is a window
// of its own: Escape closes it, as it always does.
class EscapeCloses : public QObject {
  public:
    EscapeCloses(QWidget *mainWindow, QObject *parent);
    ~EscapeCloses() override;

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    QWidget *mainWindow_;
};

} // namespace flowtally
