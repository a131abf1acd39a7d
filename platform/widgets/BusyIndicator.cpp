#include "BusyIndicator.h"

namespace flowtally {

BusyIndicator::BusyIndicator(QWidget *parent) : QProgressBar(parent) {
    // A range of 0 to 0 makes the bar indeterminate.
    setRange(0, 0);
    setTextVisible(false);
    QSizePolicy policy = sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    setSizePolicy(policy);
    hide();
}

void BusyIndicator::startAnimation() {
    show();
}

void BusyIndicator::stopAnimation() {
    hide();
}

} // namespace flowtally
