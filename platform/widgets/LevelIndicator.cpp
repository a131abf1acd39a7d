#include "platform/widgets/LevelIndicator.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace flowtally {

LevelIndicator::LevelIndicator(QWidget *parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void LevelIndicator::setMinValue(double value) {
    min_ = value;
    update();
}

void LevelIndicator::setMaxValue(double value) {
    max_ = value;
    update();
}

void LevelIndicator::setWarningValue(double value) {
    warning_ = value;
    update();
}

void LevelIndicator::setCriticalValue(double value) {
    critical_ = value;
    update();
}

void LevelIndicator::setDoubleValue(double value) {
    const std::pair<Zone, long> before = drawnValue();
    value_ = value;
    // Each sample sets the value; most move the bar by less than a pixel.
    if (drawnValue() != before)
        update();
}

QRectF LevelIndicator::inside() const {
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    return frame.adjusted(1.5, 1.5, -1.5, -1.5);
}

std::pair<LevelIndicator::Zone, long> LevelIndicator::drawnValue() const {
    const QRectF room = inside();
    const double filled = room.width() * filledFraction();
    if (filled <= 0)
        return {zone(), -1};
    // Without antialiasing a pixel is filled when its centre is: the fill
    // ends at the device pixel nearest to its right edge.
    return {zone(), std::lround((room.left() + filled) * devicePixelRatioF())};
}

LevelIndicator::Zone LevelIndicator::zone() const {
    if (warning_ < critical_) {
        if (value_ >= critical_)
            return Zone::Critical;
        if (value_ >= warning_)
            return Zone::Warning;
    } else if (critical_ < warning_) {
        if (value_ <= critical_)
            return Zone::Critical;
        if (value_ <= warning_)
            return Zone::Warning;
    }
    return Zone::Normal;
}

QColor LevelIndicator::colour(Zone zone) {
    switch (zone) {
    case Zone::Warning:
        return QColor(0xf2, 0xc0, 0x1e);
    case Zone::Critical:
        return QColor(0xe0, 0x32, 0x2b);
    case Zone::Normal:
        break;
    }
    return QColor(0x3c, 0xb0, 0x43);
}

double LevelIndicator::filledFraction() const {
    if (std::isnan(value_) || !(min_ < max_))
        return 0;
    // An infinite value lands on an end; an infinite range shows empty.
    const double fraction = (value_ - min_) / (max_ - min_);
    return std::isnan(fraction) ? 0 : std::clamp(fraction, 0.0, 1.0);
}

QSize LevelIndicator::sizeHint() const {
    return {120, 16};
}

void LevelIndicator::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(palette().color(QPalette::Mid));
    painter.setBrush(palette().color(QPalette::Base));
    painter.drawRect(frame);

    const QRectF room = inside();
    const double filled = room.width() * filledFraction();
    if (filled <= 0)
        return;
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour(zone()));
    painter.drawRect(QRectF(room.topLeft(), QSizeF(filled, room.height())));
}

} // namespace flowtally
