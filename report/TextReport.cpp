#include "report/TextReport.h"

#include "report/ApplicationsReport.h"
#include "report/ReportText.h"

#include "platform/text/DaysLeftText.h"
#include "platform/text/PercentText.h"

namespace flowtally {

namespace {

constexpr int kLabelWidth = 11;
constexpr int kDateWidth = 10;
constexpr int kBytesWidth = 12;
constexpr unsigned kDigits = 2;
constexpr int kPercentDigits = 1;

QString line(const QString &label, const QString &value) {
    return QStringLiteral("  %1%2\n").arg(label, -kLabelWidth).arg(value);
}

QString bytes(quint64 count) {
    return byteText(static_cast<double>(count), kDigits);
}

QString title(const NetworkReport &network, Characters characters) {
    const QString service = printable(network.figures.service, characters);
    const QString name = printable(network.name, characters);
    return (name == service ? service : QStringLiteral("%1 (%2)").arg(name, service)) +
           QLatin1Char('\n');
}

// Whether a network's figures show free hours: it has some, or had.
bool showsFreeHours(const NetworkFigures &figures) {
    return !figures.freeWindows.isEmpty() || totalOf(figures.free) != 0;
}

QString limitLine(const NetworkFigures &figures) {
    if (!figures.limit)
        return line(QStringLiteral("limit"), QStringLiteral("No limit"));
    QString text = limitText(*figures.limit) + QStringLiteral(", ") +
                   percentText(figures.limitShare.value_or(0), kPercentDigits) +
                   QStringLiteral(" used");
    if (figures.overLimit)
        text += QStringLiteral(": over the limit");
    return line(QStringLiteral("limit"), text);
}

QString figures(const NetworkFigures &figures, const ReportMarks &marks) {
    const auto projection = [&](const std::optional<double> &bytes) {
        return bytes ? byteText(*bytes, kDigits) : marks.none;
    };
    QString text = line(QStringLiteral("source"), sourceText(figures.source));
    text +=
        line(QStringLiteral("since"), figures.resetDate.isValid() ? minuteText(figures.resetDate)
                                                                  : QStringLiteral("not set yet"));
    text += line(QStringLiteral("received"), bytes(figures.totals.in));
    text += line(QStringLiteral("sent"), bytes(figures.totals.out));
    text += line(QStringLiteral("total"), bytes(totalOf(figures.totals)));
    if (showsFreeHours(figures)) {
        QString free = bytes(totalOf(figures.free));
        if (!figures.freeWindows.isEmpty())
            free += QStringLiteral(", ") + freeWindowsText(figures.freeWindows);
        text += line(QStringLiteral("free hours"), free);
        text +=
            line(QStringLiteral("billed"), bytes(totalOf(billedOf(figures.totals, figures.free))));
    }
    text += limitLine(figures);
    text += line(QStringLiteral("projected"),
                 projection(figures.thirtyDayProjection) + QStringLiteral(" in 30 days"));
    if (const std::optional<CycleFigures> &cycle = figures.cycle) {
        const QDate lastDay = cycle->cycle.end.addSecs(-1).date();
        text += line(QStringLiteral("cycle"),
                     QStringLiteral("%1 to %2, %3")
                         .arg(cycle->cycle.start.date().toString(Qt::ISODate),
                              lastDay.toString(Qt::ISODate), daysLeftText(cycle->daysLeft)));
        if (cycle->counted != figures.totals)
            text += line(QStringLiteral("in cycle"),
                         bytes(totalOf(cycle->counted)) +
                             QStringLiteral(" (the totals above are from before it)"));
        text += line(QStringLiteral("projected"),
                     projection(cycle->projectedBilled) +
                         (showsFreeHours(figures) ? QStringLiteral(" billed") : QString()) +
                         QStringLiteral(" by the cycle's end"));
    }
    if (const std::optional<ExpectedTotal> &expected = figures.expected)
        text += line(QStringLiteral("expected"),
                     expected->billed ? QStringLiteral("%1 by %2")
                                            .arg(byteText(*expected->billed, kDigits),
                                                 shortDateText(expected->end.date()))
                                      : QStringLiteral("not enough data yet"));
    return text;
}

QString table(const QString &period, const QString &dateFormat, const QString &none,
              const QList<HistoryBucket> &buckets, bool free) {
    if (buckets.isEmpty())
        return QStringLiteral("  no traffic in the history for %1\n").arg(none);
    const auto row = [&](const QString &start, const QString &in, const QString &out,
                         const QString &total, const QString &freeBytes) {
        return QStringLiteral("  %1%2%3%4%5\n")
            .arg(start, -kDateWidth)
            .arg(in, kBytesWidth)
            .arg(out, kBytesWidth)
            .arg(total, kBytesWidth)
            .arg(free ? QStringLiteral("%1").arg(freeBytes, kBytesWidth) : QString());
    };
    QString text = row(period, QStringLiteral("received"), QStringLiteral("sent"),
                       QStringLiteral("total"), QStringLiteral("free"));
    for (const HistoryBucket &bucket : buckets)
        text += row(bucket.start.toString(dateFormat), bytes(bucket.in), bytes(bucket.out),
                    bytes(totalOf({bucket.in, bucket.out})),
                    bytes(totalOf({bucket.freeIn, bucket.freeOut})));
    return text;
}

QString tables(const Report &report, const NetworkReport &network) {
    const bool free = showsFreeHours(network.figures);
    QString text;
    if (report.days > 0)
        text += table(QStringLiteral("day"), QStringLiteral("yyyy-MM-dd"),
                      report.days == 1 ? QStringLiteral("today")
                                       : QStringLiteral("the last %1 days").arg(report.days),
                      network.days, free);
    if (report.days > 0 && report.months > 0)
        text += QLatin1Char('\n');
    if (report.months > 0)
        text += table(QStringLiteral("month"), QStringLiteral("yyyy-MM"),
                      report.months == 1 ? QStringLiteral("this month")
                                         : QStringLiteral("the last %1 months").arg(report.months),
                      network.months, free);
    return text;
}

} // namespace

QString textReport(const Report &report) {
    const ReportMarks marks = ReportMarks::of(report.characters);
    QString text;
    for (const NetworkReport &network : report.networks) {
        if (!text.isEmpty())
            text += QLatin1Char('\n');
        text += title(network, report.characters);
        text += report.days > 0 || report.months > 0 ? tables(report, network)
                                                     : figures(network.figures, marks);
        if (report.applications)
            text += QLatin1Char('\n') + applicationsText(network, report.characters);
    }
    return text;
}

} // namespace flowtally
