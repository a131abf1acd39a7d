#include "charts/PeriodChart.h"

#include "charts/ChartFrame.h"

#include <QLocale>
#include <QPainter>

#include <algorithm>

namespace flowtally {

namespace {

constexpr qsizetype kDaysShown = 31;
constexpr qsizetype kMonthsShown = 12;
// Sizes in average character widths and lines of the font.
constexpr int kHintWidth = 60;
constexpr int kHintHeight = 18;

} // namespace

PeriodChart::PeriodChart(Span span, QWidget *parent) : QWidget(parent), span_(span) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PeriodChart::setBuckets(Span span, const QList<HistoryBucket> &buckets) {
    span_ = span;
    const qsizetype shown = span == Span::Days ? kDaysShown : kMonthsShown;
    bars_ = buckets.mid(std::max<qsizetype>(0, buckets.size() - shown));
    quint64 largest = 0;
    for (const HistoryBucket &bar : bars_)
        largest = std::max(largest, bar.in + bar.out);
    axis_ = ByteAxis(double(largest));
    update();
}

QString PeriodChart::title() const {
    if (bars_.isEmpty())
        return {};
    const QLocale locale;
    const QString format =
        span_ == Span::Months ? QStringLiteral("MMMM yyyy") : QStringLiteral("d MMM yyyy");
    const QString first = locale.toString(bars_.first().start.date(), format);
    const QString last = locale.toString(bars_.last().start.date(), format);
    const QString span = bars_.size() == 1 ? first : QStringLiteral("%1 – %2").arg(first, last);
    switch (span_) {
    case Span::Days:
        return tr("Days %1").arg(span);
    case Span::Months:
        return tr("Months %1").arg(span);
    case Span::Cycles:
        return tr("Billing cycles from %1").arg(span);
    }
    return {};
}

QString PeriodChart::label(const HistoryBucket &bucket) const {
    const QDate date = bucket.start.date();
    // A year of two digits would read as a day ("Dec 26").
    return QLocale().toString(date, span_ == Span::Days     ? QStringLiteral("d MMM")
                                    : span_ == Span::Cycles ? QStringLiteral("d MMM yyyy")
                                                            : QStringLiteral("MMM yyyy"));
}

QList<BottomLabel> PeriodChart::labels(const ChartFrame &frame) const {
    const QFontMetricsF metrics(font());
    const double count = double(std::max<qsizetype>(bars_.size(), 1));
    double widest = 0;
    for (const HistoryBucket &bar : bars_)
        widest = std::max(widest, metrics.horizontalAdvance(label(bar)));
    const int stride = ChartFrame::labelStride(metrics, frame.plot().width() / count, widest);
    QList<BottomLabel> labels;
    // The latest bar is always labelled.
    for (qsizetype index = bars_.size() - 1; index >= 0; index -= stride)
        labels.prepend({(double(index) + 0.5) / count, label(bars_[index])});
    return labels;
}

QSize PeriodChart::sizeHint() const {
    return ChartFrame::sizeIn(font(), kHintWidth, kHintHeight);
}

QSize PeriodChart::minimumSizeHint() const {
    return ChartFrame::minimumSize(font());
}

void PeriodChart::paintEvent(QPaintEvent *) {
    const ChartColours colours = chartColours(palette());
    const QList<LegendEntry> legend{{tr("In"), colours.in, LegendEntry::Mark::Box},
                                    {tr("Out"), colours.out, LegendEntry::Mark::Box}};
    const QString widest = bars_.isEmpty() ? QString() : label(bars_.last());
    const ChartFrame frame(rect(), QFontMetricsF(font()), title(), legend,
                           {axis_, span_ == Span::Days     ? tr("per day")
                                   : span_ == Span::Months ? tr("per month")
                                                           : tr("per cycle")},
                           std::nullopt, widest);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    frame.draw(painter, colours, labels(frame));
    frame.drawTitle(painter, colours);
    const double count = double(bars_.size());
    for (qsizetype index = 0; index < bars_.size(); ++index)
        frame.drawBar(painter, colours, double(index) / count, double(index + 1) / count,
                      bars_[index].in, bars_[index].out);
}

} // namespace flowtally
