#include "RatesChart.h"

#include "ChartFrame.h"
#include "LineSimplification.h"

#include <QLineF>
#include <QPaintEngine>
#include <QPainter>

#include <algorithm>

namespace flowtally {

namespace {

// How many intervals the labels under the plot may split ten minutes into,
// the most first: every two minutes, every five, only the ends.
constexpr int kTimeLabelIntervals[] = {5, 2, 1};
constexpr double kLineWidth = 2;
constexpr double kDotRadius = 2;
// How far, in device pixels, a point may lie off the piece drawn past it.
constexpr double kSimplification = 0.25;
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

    QPainter painter(this);
    // The frame changes with the rate axis only; at every tick just the
    // lines move.
    frame_.paint(painter, *this, rateAxis_.labels(), [&](QPainter &framePainter) {
        framePainter.setRenderHint(QPainter::Antialiasing);
        frame.draw(framePainter, colours, timeLabels(frame));
        frame.drawTitle(framePainter, colours);
    });
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
    const qreal ratio = painter.paintEngine()->paintDevice()->devicePixelRatioF();
    // Each line is drawn as its pieces from point to point, with square ends
    // that fill the corners: Qt rasterizes such pieces directly, while one
    // path of hundreds of turns (traffic's rates go up and down at every
    // sample) is outlined and filled as a whole, some thirty times slower.
    for (const auto &[colour, direction] :
         {std::pair{colours.in, &RatePoint::in}, std::pair{colours.out, &RatePoint::out}}) {
        painter.setPen(QPen(colour, kLineWidth, Qt::SolidLine, Qt::SquareCap));
        painter.setBrush(colour);
        QList<QLineF> pieces;
        for (const QList<RatePoint> &segment : segments_) {
            if (segment.size() == 1) {
                painter.drawEllipse(pointOf(segment.first(), segment.first().*direction),
                                    kDotRadius, kDotRadius);
                continue;
            }
            QList<QPointF> line;
            for (const RatePoint &point : segment)
                line.append(pointOf(point, point.*direction));
            line = simplifiedLine(line, kSimplification / ratio);
            for (qsizetype point = 1; point < line.size(); ++point)
                pieces.append(QLineF(line[point - 1], line[point]));
        }
        painter.drawLines(pieces);
    }
}

} // namespace flowtally
