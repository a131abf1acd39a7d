#include "TextReport.h"

#include "ReportText.h"

namespace flowtally {

namespace {

constexpr int kLabelWidth = 11;
constexpr int kDateWidth = 10;
constexpr int kBytesWidth = 12;
constexpr unsigned kDigits = 2;

QString line(const QString &label, const QString &value) {
    return QStringLiteral("  %1%2\n").arg(label, -kLabelWidth).arg(value);
}

QString title(const NetworkReport &network) {
    const QString service = printable(network.figures.service);
    const QString name = printable(network.name);
    return (name == service ? service : QStringLiteral("%1 (%2)").arg(name, service)) +
           QLatin1Char('\n');
}

QString projection(const std::optional<double> &bytes) {
    return bytes ? byteText(*bytes, kDigits) : QStringLiteral("\u2014");
}

QString figures(const NetworkFigures &figures) {
    QString text;
    text +=
        line(QStringLiteral("since"), figures.resetDate.isValid() ? minuteText(figures.resetDate)
                                                                  : QStringLiteral("not set yet"));
    text +=
        line(QStringLiteral("received"), byteText(static_cast<double>(figures.totals.in), kDigits));
    text +=
        line(QStringLiteral("sent"), byteText(static_cast<double>(figures.totals.out), kDigits));
    QString total = byteText(static_cast<double>(totalOf(figures.totals)), kDigits);
    if (figures.limit)
        total += QStringLiteral(" of ") + limitText(*figures.limit);
    text += line(QStringLiteral("total"), total);
    text += line(QStringLiteral("projected"),
                 projection(figures.thirtyDayProjection) + QStringLiteral(" in 30 days"));
    if (const std::optional<CycleFigures> &cycle = figures.cycle) {
        const QDate lastDay = cycle->cycle.end.addSecs(-1).date();
        text += line(
            QStringLiteral("cycle"),
            QStringLiteral("%1 to %2, %3 %4 left")
                .arg(cycle->cycle.start.date().toString(Qt::ISODate), lastDay.toString(Qt::ISODate))
                .arg(cycle->daysLeft)
                .arg(cycle->daysLeft == 1 ? QStringLiteral("day") : QStringLiteral("days")));
        if (cycle->counted != figures.totals)
            text += line(QStringLiteral("in cycle"),
                         byteText(static_cast<double>(totalOf(cycle->counted)), kDigits) +
                             QStringLiteral(" (the totals above are from before it)"));
        text += line(QStringLiteral("projected"),
                     projection(cycle->projectedTotal) + QStringLiteral(" by the cycle's end"));
    }
    return text;
}

QString table(const QString &period, const QString &dateFormat, const QString &none,
              const QList<HistoryBucket> &buckets) {
    if (buckets.isEmpty())
        return QStringLiteral("  no traffic in the history for %1\n").arg(none);
    QString text = QStringLiteral("  %1%2%3%4\n")
                       .arg(period, -kDateWidth)
                       .arg(QStringLiteral("received"), kBytesWidth)
                       .arg(QStringLiteral("sent"), kBytesWidth)
                       .arg(QStringLiteral("total"), kBytesWidth);
    for (const HistoryBucket &bucket : buckets)
        text += QStringLiteral("  %1%2%3%4\n")
                    .arg(bucket.start.toString(dateFormat), -kDateWidth)
                    .arg(byteText(static_cast<double>(bucket.in), kDigits), kBytesWidth)
                    .arg(byteText(static_cast<double>(bucket.out), kDigits), kBytesWidth)
                    .arg(byteText(static_cast<double>(totalOf({bucket.in, bucket.out})), kDigits),
                         kBytesWidth);
    return text;
}

QString tables(const Report &report, const NetworkReport &network) {
    QString text;
    if (report.days > 0)
        text += table(QStringLiteral("day"), QStringLiteral("yyyy-MM-dd"),
                      report.days == 1 ? QStringLiteral("today")
                                       : QStringLiteral("the last %1 days").arg(report.days),
                      network.days);
    if (report.days > 0 && report.months > 0)
        text += QLatin1Char('\n');
    if (report.months > 0)
        text += table(QStringLiteral("month"), QStringLiteral("yyyy-MM"),
                      report.months == 1 ? QStringLiteral("this month")
                                         : QStringLiteral("the last %1 months").arg(report.months),
                      network.months);
    return text;
}

} // namespace

QString textReport(const Report &report) {
    QString text;
    for (const NetworkReport &network : report.networks) {
        if (!text.isEmpty())
            text += QLatin1Char('\n');
        text += title(network);
        text += report.days > 0 || report.months > 0 ? tables(report, network)
                                                     : figures(network.figures);
    }
    return text;
}

} // namespace flowtally
