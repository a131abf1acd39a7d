#include "charts/ByteAxis.h"

#include "platform/text/Numbers.h"
#include "WBLib/WBBKMGTFormatter.h"

#include <algorithm>
#include <cmath>

namespace flowtally {

namespace {

constexpr int kMostIntervals = 5;
constexpr double kRoundSteps[] = {1, 2, 5, 10};
// Slack for steps that land a hair below the value in floating point.
constexpr double kSlack = 1e-9;

} // namespace

ByteAxis::ByteAxis(double largest, const QString &perUnit) {
    const double value = std::isfinite(largest) ? std::max(largest, 0.0) : 0.0;
    scale_ = std::max(WBBKMGTFormatter::scaleForObjectValue(value), WBBKMGTFormatter::kK);
    suffix_ = WBBKMGTFormatter::unitForScale(scale_).value_or(QString()) + perUnit;
    const double units = value / double(scale_);
    if (units <= 0) {
        step_ = 1;
        intervals_ = 1;
        fractionDigits_ = 0;
        return;
    }
    const double rough = units / kMostIntervals;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (const double round : kRoundSteps) {
        step_ = round * power;
        if (step_ >= rough * (1 - kSlack))
            break;
    }
    intervals_ = std::max(1, int(std::ceil(units / step_ - kSlack)));
    fractionDigits_ = std::max(0, -int(std::floor(std::log10(step_) + kSlack)));
}

double ByteAxis::top() const {
    return step_ * intervals_ * double(scale_);
}

QList<double> ByteAxis::ticks() const {
    QList<double> values;
    for (int tick = 0; tick <= intervals_; ++tick)
        values.append(step_ * tick * double(scale_));
    return values;
}

QString ByteAxis::label(double bytes) const {
    if (bytes == 0)
        return QStringLiteral("0");
    return cFixedPoint(bytes / double(scale_), unsigned(fractionDigits_)) + suffix_;
}

double ByteAxis::fraction(double bytes) const {
    return bytes / top();
}

QStringList ByteAxis::labels() const {
    QStringList all;
    for (const double tick : ticks())
        all.append(label(tick));
    return all;
}

} // namespace flowtally
