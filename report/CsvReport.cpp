#include "report/CsvReport.h"

#include "report/ApplicationsReport.h"
#include "report/ReportText.h"

#include <QLocale>
#include <QStringList>

#include <cmath>

namespace flowtally {

namespace {

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

// ISO 8601 with the offset from UTC, as the JSON layout has it.
QString localTime(const QDateTime &moment) {
    return moment.isValid() ? moment.toString(Qt::ISODate) : QString();
}

QString number(const std::optional<double> &value) {
    return value ? QString::number(*value, 'g', QLocale::FloatingPointShortest) : QString();
}

QString row(const QStringList &fields) {
    return fields.join(QLatin1Char(',')) + QLatin1Char('\n');
}

QStringList traffic(const TrafficTotals &totals) {
    return {count(totals.in), count(totals.out), count(totalOf(totals))};
}

QString summary(const Report &report) {
    QString text = row({"id",
                        "name",
                        "reset_date",
                        "in",
                        "out",
                        "total",
                        "thirty_day_projection",
                        "limit",
                        "cycle_start",
                        "cycle_end",
                        "days_left",
                        "cycle_in",
                        "cycle_out",
                        "cycle_total",
                        "cycle_projected_total",
                        "free_in",
                        "free_out",
                        "free_total",
                        "billed",
                        "limit_share",
                        "over_limit",
                        "cycle_free_total",
                        "cycle_billed",
                        "cycle_projected_billed",
                        "expected_end",
                        "expected_billed",
                        "source"});
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
        fields += traffic(figures.free);
        fields +=
            {count(totalOf(billedOf(figures.totals, figures.free))), number(figures.limitShare),
             figures.limit ? QString::number(int(figures.overLimit)) : QString()};
        if (const std::optional<CycleFigures> &cycle = figures.cycle)
            fields +=
                {count(totalOf(cycle->free)), count(totalOf(billedOf(cycle->counted, cycle->free))),
                 figure(cycle->projectedBilled)};
        else
            fields += QStringList(3);
        if (const std::optional<ExpectedTotal> &expected = figures.expected)
            fields += {localTime(expected->end), figure(expected->billed)};
        else
            fields += QStringList(2);
        fields += field(figures.source);
        text += row(fields);
    }
    return text;
}

QString tables(const Report &report) {
    QString text = row({"id", "name", "period", "start", "in", "out", "total", "free"});
    for (const NetworkReport &network : report.networks) {
        const QStringList names{field(network.figures.service), field(network.name)};
        const std::pair<QString, const QList<HistoryBucket> *> periods[] = {
            {QStringLiteral("day"), &network.days}, {QStringLiteral("month"), &network.months}};
        for (const auto &[period, buckets] : periods) {
            for (const HistoryBucket &bucket : *buckets)
                text += row(names + QStringList{period, bucket.start.toString(kDateFormat)} +
                            traffic({bucket.in, bucket.out}) +
                            QStringList{count(totalOf({bucket.freeIn, bucket.freeOut}))});
        }
    }
    return text;
}

QString applications(const Report &report) {
    QString text = row(
        {"id", "name", "since", "application_id", "application", "in", "out", "total", "share"});
    for (const NetworkReport &network : report.networks) {
        const QStringList names{field(network.figures.service), field(network.name),
                                localTime(network.applicationsSince)};
        for (const ApplicationReport &application : network.applications) {
            const ApplicationBytes &bytes = application.bytes;
            text += row(names + QStringList{field(bytes.application), field(application.name)} +
                        traffic({bytes.in, bytes.out}) +
                        QStringList{number(applicationShare(bytes, network.figures))});
        }
    }
    return text;
}

} // namespace

QByteArray csvReport(const Report &report) {
    if (report.applications)
        return applications(report).toUtf8();
    return (report.days > 0 || report.months > 0 ? tables(report) : summary(report)).toUtf8();
}

} // namespace flowtally
