#include "charts/RatesChart.h"

#include "charts/ChartFrame.h"

#include <QLineF>
#include <QPaintEngine>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace flowtally {

namespace {

// How many intervals the labels under the plot may split ten minutes into,
// the most first: every two minutes, every five, only the ends.
constexpr int kTimeLabelIntervals[] = {5, 2, 1};
constexpr double kLineWidth = 2;
constexpr double kDotRadius = 2;
// Device pixels that antialiasing may touch beyond a shape's edge.
constexpr double kSmoothing = 1;
// The fraction bits a point's place across the plot keeps (of a pixel).
constexpr int kPlaceBits = 20;
// Sizes in average character widths and lines of the font.
constexpr int kHintWidth = 80;
constexpr int kHintHeight = 14;

const QString kPerSecond = QStringLiteral("/s");

// How far a dot's ink reaches from its centre, in device pixels; no mark
// reaches farther.
double dotReach(qreal ratio) {
    return (kDotRadius + kLineWidth / 2) * ratio + kSmoothing;
}

// Where the rates lie in the plot's picture, in its device pixels. A column
// of the plot is a fixed stretch of time, counted from the epoch, and the
// plot ends at the column that holds now: from one tick to the next the
// lines move left by whole device pixels, and the plot's picture with them.
struct Placement {
    qreal ratio = 1;
    QRect area; // the picture, in the widget's device pixels
    // Where the frame is the same in every column: between the ends of the
    // grid lines.
    ScrollingPlot::Columns steady;
    double msPerColumn = 0;
    qint64 column = 0;
    double right = 0; // the plot's right end in the picture

    // Nothing for a plot narrower than a pixel.
    static std::optional<Placement> of(const QRectF &plot, const QDateTime &now, qreal ratio,
                                       const QSize &widget) {
        const double columns = plot.width() * ratio;
        if (columns < 1)
            return std::nullopt;
        Placement placement;
        placement.ratio = ratio;
        placement.msPerColumn = double(std::chrono::milliseconds(kRatesSpan).count()) / columns;
        placement.column =
            qint64(std::ceil(double(now.toMSecsSinceEpoch()) / placement.msPerColumn));
        const double reach = dotReach(ratio);
        placement.area = QRectF(plot.topLeft() * ratio, plot.bottomRight() * ratio)
                             .adjusted(-reach, -reach, reach, reach)
                             .toAlignedRect()
                             .intersected(QRect(QPoint(), widget * ratio));
        placement.steady = {int(std::ceil(plot.left() * ratio + reach)),
                            int(std::floor(plot.right() * ratio - reach))};
        // Rounded to a binary fraction, so that every place of a point is
        // exact and moves by exactly one pixel with every column.
        placement.right = std::ldexp(
            std::round(std::ldexp(plot.right() * ratio - placement.area.left(), kPlaceBits)),
            -kPlaceBits);
        return placement;
    }

    QPointF at(const ChartFrame &frame, const QDateTime &when, double rate) const {
        return {right + (double(when.toMSecsSinceEpoch()) / msPerColumn - double(column)),
                frame.yLeft(rate) * ratio - area.top()};
    }
};

// Each line's dots (runs of one point), then its pieces from point to
// point, in time order: the order they are drawn in.
std::vector<PlotMark> rateMarks(const QList<QList<RatePoint>> &segments, const ChartFrame &frame,
                                const Placement &placement) {
    const double pieceReach = kLineWidth / 2 * std::numbers::sqrt2 * placement.ratio + kSmoothing;
    std::vector<PlotMark> marks;
    int series = 0;
    for (const auto direction : {&RatePoint::in, &RatePoint::out}) {
        for (const QList<RatePoint> &segment : segments) {
            if (segment.size() != 1)
                continue;
            const RatePoint &point = segment.first();
            const qint64 ms = point.at.toMSecsSinceEpoch();
            const QPointF at = placement.at(frame, point.at, point.*direction);
            marks.push_back({{series, false, ms, ms, point.*direction, point.*direction},
                             {at, at},
                             dotReach(placement.ratio)});
        }
        for (const QList<RatePoint> &segment : segments) {
            for (qsizetype index = 1; index < segment.size(); ++index) {
                const RatePoint &from = segment[index - 1];
                const RatePoint &to = segment[index];
                marks.push_back({{series, true, from.at.toMSecsSinceEpoch(),
                                  to.at.toMSecsSinceEpoch(), from.*direction, to.*direction},
                                 {placement.at(frame, from.at, from.*direction),
                                  placement.at(frame, to.at, to.*direction)},
                                 pieceReach});
            }
        }
        ++series;
    }
    return marks;
}

// Draws the marks at `which`, each line in its colour. Each piece is drawn
// on its own, with square ends that fill the corners: Qt rasterizes such
// pieces directly, while one path of hundreds of turns (traffic's rates go
// up and down at every sample) is outlined and filled as a whole, some
// thirty times slower.
void drawRateMarks(QPainter &painter, const std::vector<PlotMark> &marks,
                   const std::vector<qsizetype> &which, const std::array<QColor, 2> &colours,
                   qreal ratio) {
    painter.setRenderHint(QPainter::Antialiasing);
    QList<QLineF> pieces;
    int piecesSeries = -1;
    const auto drawPieces = [&] {
        if (!pieces.isEmpty())
            painter.drawLines(pieces);
        pieces.clear();
    };
    for (const qsizetype index : which) {
        const PlotMark &mark = marks[size_t(index)];
        if (!mark.shows.piece || mark.shows.series != piecesSeries) {
            drawPieces();
            const QColor &colour = colours[size_t(mark.shows.series)];
            painter.setPen(QPen(colour, kLineWidth * ratio, Qt::SolidLine, Qt::SquareCap));
            painter.setBrush(colour);
            piecesSeries = mark.shows.piece ? mark.shows.series : -1;
        }
        if (mark.shows.piece)
            pieces.append(mark.at);
        else
            painter.drawEllipse(mark.at.p1(), kDotRadius * ratio, kDotRadius * ratio);
    }
    drawPieces();
}

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
    const qreal ratio = painter.paintEngine()->paintDevice()->devicePixelRatioF();
    const std::optional<Placement> placement = Placement::of(frame.plot(), now_, ratio, size());
    if (!placement)
        return;
    const std::vector<PlotMark> marks = rateMarks(segments_, frame, *placement);
    plot_.paint(painter, frame_.picture(), placement->area, placement->steady, ratio,
                placement->column, marks,
                [&](QPainter &plotPainter, const std::vector<qsizetype> &which) {
                    drawRateMarks(plotPainter, marks, which, {colours.in, colours.out}, ratio);
                });
}

} // namespace flowtally
