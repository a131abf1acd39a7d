#pragma once

#include <QProgressBar>

namespace flowtally {

// An indeterminate progress bar that is shown, moving, only while some work is
// under way; while stopped it is hidden but keeps its place in the layout.
// Usable as a promoted QProgressBar in Qt Designer.
class BusyIndicator : public QProgressBar {
    Q_OBJECT

  public:
    explicit BusyIndicator(QWidget *parent = nullptr);

    void startAnimation();
    void stopAnimation();
};

} // namespace flowtally
