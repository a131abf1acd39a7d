#include "RatesChart.h"

#include "ChartFrame.h"

#include <QPainter>
#include <QPainterPath>
#include <QStringList>

#include <algorithm>

namespace flowtally {

namespace {

// How many intervals the labels under the plot may split ten minutes into,
// the most first: every two minutes, every five, only the ends.
constexpr int kTimeLabelIntervals[] = {5, 2, 1};
constexpr double kLineWidth = 2;
constexpr double kDotRadius = 2;
// Sizes in average character widths and lines of the font.
constexpr int kHintWidth = 80;
constexpr int kHintHeight = 14;

const QString kPerSecond = QStringLiteral("/s");

} // namespace

RatesChart::RatesChart(QWidget *parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    // The frame fills the whole widget: nothing under it is painted again
    // when the chart is.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void RatesChart::setRates(const QList<RatePoint> &points, const QDateTime &now) {
    now_ = now;
    segments_ = rateSegments(points, now);
    double largest = 0;
    for (const QList<RatePoint> &segment : segments_) {
        for (const RatePoint &point : segment)
            largest = std::max({largest, point.in, point.out});
    }
    rateAxis_ = ByteAxis(largest, kPerSecond);
    update();
}

QString RatesChart::timeLabel(int minutesAgo) const {
    return minutesAgo == 0 ? tr("now") : tr("−%1 min").arg(minutesAgo);
}

QList<BottomLabel> RatesChart::timeLabels(const ChartFrame &frame) const {
    const int minutes = int(std::chrono::duration_cast<std::chrono::minutes>(kRatesSpan).count());
    const QFontMetricsF metrics(font());
    const double room =
        metrics.horizontalAdvance(timeLabel(minutes)) + metrics.averageCharWidth() * 2;
    int intervals = 1;
    for (const int each : kTimeLabelIntervals) {
        intervals = each;
        if (frame.plot().width() / each >= room)
            break;
    }
    QList<BottomLabel> labels;
    for (int label = 0; label <= intervals; ++label)
        labels.append(
            {double(label) / intervals, timeLabel(minutes * (intervals - label) / intervals)});
    return labels;
}

double RatesChart::share(const QDateTime &at) const {
    const qint64 span = std::chrono::milliseconds(kRatesSpan).count();
    return double(span - at.msecsTo(now_)) / double(span);
}

QSize RatesChart::sizeHint() const {
    return ChartFrame::sizeIn(font(), kHintWidth, kHintHeight);
}

QSize RatesChart::minimumSizeHint() const {
    return ChartFrame::minimumSize(font());
}

void RatesChart::paintEvent(QPaintEvent *) {
    const ChartColours colours = chartColours(palette());
    const QList<LegendEntry> legend{{tr("In"), colours.in, LegendEntry::Mark::Line},
                                    {tr("Out"), colours.out, LegendEntry::Mark::Line}};
    const int minutes = int(std::chrono::duration_cast<std::chrono::minutes>(kRatesSpan).count());
    const QString widest = timeLabel(minutes);
    const ChartFrame frame(rect(), QFontMetricsF(font()), tr("Rates, last %1 minutes").arg(minutes),
                           legend, {rateAxis_, tr("per second")}, std::nullopt, widest);
    const QList<BottomLabel> timeLabels = this->timeLabels(frame);

    // The frame changes with the widget's size, looks and rate axis only;
    // at every tick just the lines move.
    QStringList frameKey{QString::number(width()), QString::number(height()),
                         QString::number(devicePixelRatioF()),
                         QString::number(palette().cacheKey()), font().key()};
    for (const double tick : rateAxis_.ticks())
        frameKey << rateAxis_.label(tick);
    if (frameKey != frameKey_) {
        QPixmap drawn(size() * devicePixelRatioF());
        drawn.setDevicePixelRatio(devicePixelRatioF());
        QPainter framePainter(&drawn);
        framePainter.setRenderHint(QPainter::Antialiasing);
        frame.draw(framePainter, colours, timeLabels);
        frameCache_ = drawn;
        frameKey_ = frameKey;
    }

    QPainter painter(this);
    painter.drawPixmap(0, 0, frameCache_);
    painter.setRenderHint(QPainter::Antialiasing);
    if (segments_.isEmpty()) {
        painter.setPen(colours.text);
        painter.drawText(frame.plot(), Qt::AlignCenter,
                         tr("No rates in the last %1 minutes").arg(minutes));
        return;
    }
    const auto pointOf = [&](const RatePoint &point, double rate) {
        return QPointF(frame.x(share(point.at)), frame.yLeft(rate));
    };
    for (const auto &[colour, direction] :
         {std::pair{colours.in, &RatePoint::in}, std::pair{colours.out, &RatePoint::out}}) {
        painter.setPen(QPen(colour, kLineWidth, Qt::SolidLine, Qt::RoundCap, Qt::BevelJoin));
        painter.setBrush(colour);
        for (const QList<RatePoint> &segment : segments_) {
            if (segment.size() == 1) {
                painter.drawEllipse(pointOf(segment.first(), segment.first().*direction),
                                    kDotRadius, kDotRadius);
                continue;
            }
            QPainterPath line(pointOf(segment.first(), segment.first().*direction));
            for (const RatePoint &point : segment)
                line.lineTo(pointOf(point, point.*direction));
            painter.strokePath(line, painter.pen());
        }
    }
}

} // namespace flowtally
