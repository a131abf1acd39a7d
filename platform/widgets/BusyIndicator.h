#pragma once

#include <QProgressBar>
#include <QTimer>

namespace flowtally {

// An indeterminate progress bar that is shown, moving, only while some work is
// under way; while stopped it is hidden but keeps its place in the layout.
// Work that ends within kShowDelayMs shows nothing: a bar that would flash for
// a few milliseconds tells nobody anything, and showing and hiding it repaints
// the window around it. Usable as a promoted QProgressBar in Qt Designer.
class BusyIndicator : public QProgressBar {
    Q_OBJECT

  public:
    static constexpr int kShowDelayMs = 300;

    explicit BusyIndicator(QWidget *parent = nullptr);

    void startAnimation();
    void stopAnimation();

  private:
    QTimer showTimer_;
};

} // namespace flowtally
