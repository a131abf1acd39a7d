#include "CycleChart.h"

#include "ChartFrame.h"
#include "WBBKMGTFormatter.h"

#include <QLocale>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace flowtally {

namespace {

constexpr double kBarShare = 0.7; // of a day's width
constexpr int kLabelStrides[] = {1, 2, 3, 5, 7, 10, 14, 31};
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
                         const QDateTime &now) {
    days_ = cycleDays(period, days, limit, now);
    hasPace_ = std::isfinite(limit) && limit > 0;
    limit_ = hasPace_ ? limit : 0;
    quint64 largestDay = 0;
    for (const CycleDay &day : days_)
        largestDay = std::max(largestDay, day.in + day.out);
    const quint64 total = days_.isEmpty() ? 0 : days_.last().totalThrough;
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
    const double room = widest + metrics.averageCharWidth() * 2;
    int stride = kLabelStrides[std::size(kLabelStrides) - 1];
    for (const int each : kLabelStrides) {
        if (each * dayWidth >= room) {
            stride = each;
            break;
        }
    }
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
                     QString::number(frame.legendBesideTitle())};
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
    const double dayWidth = frame.plot().width() / count;
    QPainterPath total, pace;
    total.moveTo(frame.x(0), frame.yRight(0));
    pace.moveTo(frame.x(0), frame.yRight(0));
    for (qsizetype index = 0; index < days_.size(); ++index) {
        const CycleDay &day = days_[index];
        const double end = frame.x(double(index + 1) / count);
        if (hasPace_)
            pace.lineTo(end, frame.yRight(day.pace));
        if (day.toCome)
            continue;
        const double left = frame.x(double(index) / count) + dayWidth * (1 - kBarShare) / 2;
        const double width = dayWidth * kBarShare;
        const double inTop = frame.yLeft(double(day.in));
        const double outTop = frame.yLeft(double(day.in + day.out));
        painter.fillRect(QRectF(QPointF(left, inTop), QPointF(left + width, frame.plot().bottom())),
                         colours.in);
        painter.fillRect(QRectF(QPointF(left, outTop), QPointF(left + width, inTop)), colours.out);
        total.lineTo(end, frame.yRight(double(day.totalThrough)));
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(colours.total, kLineWidth));
    painter.drawPath(total);
    if (hasPace_) {
        painter.setPen(QPen(colours.pace, kLineWidth, Qt::DashLine));
        painter.drawPath(pace);
    }
}

} // namespace flowtally
