#include "platform/widgets/BusyIndicator.h"

namespace flowtally {

BusyIndicator::BusyIndicator(QWidget *parent) : QProgressBar(parent) {
    // A range of 0 to 0 makes the bar indeterminate.
    setRange(0, 0);
    setTextVisible(false);
    QSizePolicy policy = sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    setSizePolicy(policy);
    hide();
    showTimer_.setSingleShot(true);
    showTimer_.setInterval(kShowDelayMs);
    connect(&showTimer_, &QTimer::timeout, this, &QWidget::show);
}

void BusyIndicator::startAnimation() {
    if (isHidden() && !showTimer_.isActive())
        showTimer_.start();
}

void BusyIndicator::stopAnimation() {
    showTimer_.stop();
    if (!isHidden())
        hide();
}

} // namespace flowtally
