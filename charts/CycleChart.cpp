#include "charts/CycleChart.h"

#include "charts/ChartFrame.h"
#include "WBLib/WBBKMGTFormatter.h"

#include <QLocale>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace flowtally {

namespace {

constexpr unsigned kTitleFractions = 2; // as the window's byte figures
constexpr double kLineWidth = 2;
// Sizes in average character widths and lines of the font.
constexpr int kHintWidth = 80;
constexpr int kHintHeight = 18;

} // namespace

CycleChart::CycleChart(QWidget *parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    // The frame fills the whole widget: nothing under it is painted again
    // when the chart is.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CycleChart::setDays(const BillingCycle &period, const QList<HistoryBucket> &days, double limit,
                         const QDateTime &now, const std::optional<MeteredTotals> &metered) {
    days_ = cycleDays(period, days, limit, now, metered);
    hasPace_ = std::isfinite(limit) && limit > 0;
    limit_ = hasPace_ ? limit : 0;
    quint64 largestDay = 0;
    quint64 total = 0;
    for (const CycleDay &day : days_) {
        largestDay = std::max(largestDay, day.in + day.out);
        total = std::max(total, day.totalThrough);
    }
    dayAxis_ = ByteAxis(double(largestDay));
    totalAxis_ = ByteAxis(std::max(double(total), limit_));
    update();
}

QString CycleChart::title() const {
    if (days_.isEmpty())
        return {};
    const QLocale locale;
    const QString span = QStringLiteral("%1 – %2").arg(
        locale.toString(days_.first().date, QStringLiteral("d MMM")),
        locale.toString(days_.last().date, QStringLiteral("d MMM yyyy")));
    const QString used =
        WBBKMGTFormatter::stringForObjectValue(double(days_.last().totalThrough), kTitleFractions);
    if (!hasPace_)
        return tr("%1: %2 used").arg(span, used);
    return tr("%1: %2 used of %3")
        .arg(span, used, WBBKMGTFormatter::stringForObjectValue(limit_, kTitleFractions));
}

QString CycleChart::dayLabel(const QDate &date, bool withMonth) const {
    return QLocale().toString(date, withMonth ? QStringLiteral("d MMM") : QStringLiteral("d"));
}

QList<BottomLabel> CycleChart::dayLabels(const ChartFrame &frame) const {
    const QFontMetricsF metrics(font());
    const double dayWidth = frame.plot().width() / double(std::max<qsizetype>(days_.size(), 1));
    double widest = 0;
    for (const CycleDay &day : days_)
        widest = std::max(widest, metrics.horizontalAdvance(dayLabel(day.date, true)));
    const int stride = ChartFrame::labelStride(metrics, dayWidth, widest);
    QList<BottomLabel> labels;
    int shownMonth = 0;
    for (qsizetype index = 0; index < days_.size(); index += stride) {
        const QDate date = days_[index].date;
        labels.append({(double(index) + 0.5) / double(days_.size()),
                       dayLabel(date, date.month() != shownMonth)});
        shownMonth = date.month();
    }
    return labels;
}

QSize CycleChart::sizeHint() const {
    return ChartFrame::sizeIn(font(), kHintWidth, kHintHeight);
}

QSize CycleChart::minimumSizeHint() const {
    return ChartFrame::minimumSize(font());
}

void CycleChart::paintEvent(QPaintEvent *) {
    const ChartColours colours = chartColours(palette());
    QList<LegendEntry> legend{{tr("In"), colours.in, LegendEntry::Mark::Box},
                              {tr("Out"), colours.out, LegendEntry::Mark::Box},
                              {tr("Total"), colours.total, LegendEntry::Mark::Line}};
    if (hasPace_)
        legend.append({tr("Limit's pace"), colours.pace, LegendEntry::Mark::DashedLine});
    const bool reset = std::any_of(days_.begin(), days_.end(),
                                   [](const CycleDay &day) { return day.resetAt.has_value(); });
    if (reset)
        legend.append({tr("Reset"), colours.text, LegendEntry::Mark::DottedLine});
    const QString since =
        days_.isEmpty() ? QString() : tr("since %1").arg(dayLabel(days_.first().date, true));
    const QFontMetricsF metrics(font());
    const ChartFrame frame(rect(), metrics, title(), legend, {dayAxis_, tr("per day")},
                           ChartFrame::Axis{totalAxis_, since},
                           days_.isEmpty() ? QString() : dayLabel(days_.first().date, true));

    QPainter painter(this);
    // The frame changes with the cycle's first day, the number of days and
    // the axes; most repaints only grow today's bar and the lines. The title
    // tells the bytes used, which change with nearly every sample: it is
    // drawn on top.
    QStringList says{since, QString::number(days_.size()), QString::number(hasPace_),
                     QString::number(reset), QString::number(frame.legendBesideTitle())};
    says += dayAxis_.labels() + totalAxis_.labels();
    frame_.paint(painter, *this, says, [&](QPainter &framePainter) {
        framePainter.setRenderHint(QPainter::Antialiasing);
        frame.draw(framePainter, colours, dayLabels(frame));
    });
    painter.setRenderHint(QPainter::Antialiasing);
    frame.drawTitle(painter, colours);
    if (days_.isEmpty())
        return;

    const double count = double(days_.size());
    QPainterPath total, pace;
    QList<double> resets;
    total.moveTo(frame.x(0), frame.yRight(double(days_.first().totalAtStart)));
    pace.moveTo(frame.x(0), frame.yRight(0));
    for (qsizetype index = 0; index < days_.size(); ++index) {
        const CycleDay &day = days_[index];
        const double end = frame.x(double(index + 1) / count);
        if (hasPace_)
            pace.lineTo(end, frame.yRight(day.pace));
        if (day.toCome)
            continue;
        frame.drawBar(painter, colours, double(index) / count, double(index + 1) / count, day.in,
                      day.out);
        if (day.resetAt) {
            // What the day carried before the reset, then the fall to zero.
            const double at = frame.x((double(index) + *day.resetAt) / count);
            const quint64 before =
                day.in + day.out > day.totalThrough ? day.in + day.out - day.totalThrough : 0;
            total.lineTo(at, frame.yRight(double(day.totalAtStart + before)));
            total.lineTo(at, frame.yRight(0));
            resets.append(at);
        }
        total.lineTo(end, frame.yRight(double(day.totalThrough)));
    }
    painter.setPen(QPen(colours.text, 1, Qt::DotLine));
    for (const double at : resets)
        painter.drawLine(QPointF(at, frame.plot().top()), QPointF(at, frame.plot().bottom()));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(colours.total, kLineWidth));
    painter.drawPath(total);
    if (hasPace_) {
        painter.setPen(QPen(colours.pace, kLineWidth, Qt::DashLine));
        painter.drawPath(pace);
    }
}

} // namespace flowtally
