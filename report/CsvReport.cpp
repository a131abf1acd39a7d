#include "CsvReport.h"

#include "ReportText.h"

#include <QStringList>

#include <cmath>

namespace flowtally {

namespace {

const QString kTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
const QString kDateFormat = QStringLiteral("yyyy-MM-dd");

QString field(const QString &text) {
    QString value = printable(text);
    if (value.startsWith(QLatin1Char('=')) || value.startsWith(QLatin1Char('+')) ||
        value.startsWith(QLatin1Char('-')) || value.startsWith(QLatin1Char('@')))
        value.prepend(QLatin1Char('\''));
    if (value.contains(QLatin1Char(',')) || value.contains(QLatin1Char('"')) ||
        value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r')))
        value = QLatin1Char('"') + value.replace(QLatin1Char('"'), QLatin1String("\"\"")) +
                QLatin1Char('"');
    return value;
}

QString count(quint64 bytes) {
    return QString::number(bytes);
}

QString figure(const std::optional<double> &bytes) {
    return bytes ? QString::number(std::round(*bytes), 'f', 0) : QString();
}

QString localTime(const QDateTime &moment) {
    return moment.isValid() ? moment.toString(kTimeFormat) : QString();
}

QString row(const QStringList &fields) {
    return fields.join(QLatin1Char(',')) + QLatin1Char('\n');
}

QStringList traffic(const TrafficTotals &totals) {
    return {count(totals.in), count(totals.out), count(totalOf(totals))};
}

QString summary(const Report &report) {
    QString text = row({"id", "name", "reset_date", "in", "out", "total", "thirty_day_projection",
                        "limit", "cycle_start", "cycle_end", "days_left", "cycle_in", "cycle_out",
                        "cycle_total", "cycle_projected_total"});
    for (const NetworkReport &network : report.networks) {
        const NetworkFigures &figures = network.figures;
        QStringList fields{field(figures.service), field(network.name),
                           localTime(figures.resetDate)};
        fields += traffic(figures.totals);
        fields += {figure(figures.thirtyDayProjection), figure(figures.limit)};
        if (const std::optional<CycleFigures> &cycle = figures.cycle) {
            fields += {localTime(cycle->cycle.start), localTime(cycle->cycle.end),
                       QString::number(cycle->daysLeft)};
            fields += traffic(cycle->counted);
            fields += figure(cycle->projectedTotal);
        } else {
            fields += QStringList(7);
        }
        text += row(fields);
    }
    return text;
}

QString tables(const Report &report) {
    QString text = row({"id", "name", "period", "start", "in", "out", "total"});
    for (const NetworkReport &network : report.networks) {
        const QStringList names{field(network.figures.service), field(network.name)};
        const std::pair<QString, const QList<HistoryBucket> *> periods[] = {
            {QStringLiteral("day"), &network.days}, {QStringLiteral("month"), &network.months}};
        for (const auto &[period, buckets] : periods) {
            for (const HistoryBucket &bucket : *buckets)
                text += row(names + QStringList{period, bucket.start.toString(kDateFormat)} +
                            traffic({bucket.in, bucket.out}));
        }
    }
    return text;
}

} // namespace

QByteArray csvReport(const Report &report) {
    return (report.days > 0 || report.months > 0 ? tables(report) : summary(report)).toUtf8();
}

} // namespace flowtally
