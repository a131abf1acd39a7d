#include "LevelIndicator.h"

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
    value_ = value;
    update();
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

    const QRectF inside = frame.adjusted(1.5, 1.5, -1.5, -1.5);
    const double filled = inside.width() * filledFraction();
    if (filled <= 0)
        return;
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour(zone()));
    painter.drawRect(QRectF(inside.topLeft(), QSizeF(filled, inside.height())));
}

} // namespace flowtally
