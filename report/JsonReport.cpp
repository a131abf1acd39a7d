#include "report/JsonReport.h"

#include "report/ApplicationsReport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <limits>

namespace flowtally {

namespace {

constexpr qint64 kMostBytes = std::numeric_limits<qint64>::max();

QJsonValue bytes(quint64 count) {
    return count > static_cast<quint64>(kMostBytes) ? kMostBytes : static_cast<qint64>(count);
}

// A figure that is not a count (a projection, a limit), rounded to a byte.
QJsonValue bytes(const std::optional<double> &figure) {
    if (!figure)
        return QJsonValue::Null;
    // 2^63 as a double: every double below it fits into 64 signed bits.
    constexpr double kBeyond = 9223372036854775808.0;
    const double rounded = std::round(*figure);
    return rounded >= kBeyond ? kMostBytes : static_cast<qint64>(std::max(rounded, 0.0));
}

QJsonValue isoTime(const QDateTime &moment) {
    return moment.isValid() ? QJsonValue(moment.toString(Qt::ISODate)) : QJsonValue::Null;
}

QJsonObject traffic(const TrafficTotals &traffic) {
    return {{QStringLiteral("in"), bytes(traffic.in)},
            {QStringLiteral("out"), bytes(traffic.out)},
            {QStringLiteral("total"), bytes(totalOf(traffic))}};
}

// The bytes with the part of them counted in free hours and the rest.
void insertTraffic(QJsonObject *object, const TrafficTotals &counted, const TrafficTotals &free) {
    const QJsonObject all = traffic(counted);
    for (auto key = all.begin(); key != all.end(); ++key)
        object->insert(key.key(), key.value());
    object->insert(QStringLiteral("free"), traffic(free));
    object->insert(QStringLiteral("billed"), bytes(totalOf(billedOf(counted, free))));
}

QJsonValue cycle(const std::optional<CycleFigures> &cycle) {
    if (!cycle)
        return QJsonValue::Null;
    QJsonObject object{{QStringLiteral("startDay"), cycle->startDay},
                       {QStringLiteral("start"), isoTime(cycle->cycle.start)},
                       {QStringLiteral("end"), isoTime(cycle->cycle.end)},
                       {QStringLiteral("daysLeft"), cycle->daysLeft},
                       {QStringLiteral("projectedTotal"), bytes(cycle->projectedTotal)},
                       {QStringLiteral("projectedBilled"), bytes(cycle->projectedBilled)}};
    insertTraffic(&object, cycle->counted, cycle->free);
    return object;
}

QJsonArray freeHours(const FreeWindows &windows) {
    QJsonArray array;
    for (const FreeWindow &window : windows)
        array.append(QJsonObject{{QStringLiteral("start"), minuteOfDayText(window.start)},
                                 {QStringLiteral("end"), minuteOfDayText(window.end)}});
    return array;
}

QJsonValue expected(const std::optional<ExpectedTotal> &expected) {
    if (!expected)
        return QJsonValue::Null;
    return QJsonObject{{QStringLiteral("end"), isoTime(expected->end)},
                       {QStringLiteral("billed"), bytes(expected->billed)}};
}

QJsonArray buckets(const QList<HistoryBucket> &buckets, const QString &key,
                   const QString &dateFormat) {
    QJsonArray array;
    for (const HistoryBucket &bucket : buckets) {
        QJsonObject object{{key, bucket.start.toString(dateFormat)}};
        insertTraffic(&object, {bucket.in, bucket.out}, {bucket.freeIn, bucket.freeOut});
        array.append(object);
    }
    return array;
}

QJsonObject network(const Report &report, const NetworkReport &network) {
    const NetworkFigures &figures = network.figures;
    QJsonObject object{
        {QStringLiteral("id"), figures.service},
        {QStringLiteral("name"), network.name},
        {QStringLiteral("source"),
         figures.source.isEmpty() ? QJsonValue::Null : QJsonValue(figures.source)},
        {QStringLiteral("resetDate"), isoTime(figures.resetDate)},
        {QStringLiteral("thirtyDayProjection"), bytes(figures.thirtyDayProjection)},
        {QStringLiteral("limit"), bytes(figures.limit)},
        {QStringLiteral("limitShare"),
         figures.limitShare ? QJsonValue(*figures.limitShare) : QJsonValue::Null},
        {QStringLiteral("overLimit"), figures.overLimit},
        {QStringLiteral("freeHours"), freeHours(figures.freeWindows)},
        {QStringLiteral("cycle"), cycle(figures.cycle)},
        {QStringLiteral("expected"), expected(figures.expected)},
    };
    insertTraffic(&object, figures.totals, figures.free);
    if (report.days > 0)
        object.insert(QStringLiteral("days"),
                      buckets(network.days, QStringLiteral("date"), QStringLiteral("yyyy-MM-dd")));
    if (report.months > 0)
        object.insert(QStringLiteral("months"),
                      buckets(network.months, QStringLiteral("month"), QStringLiteral("yyyy-MM")));
    if (report.applications)
        object.insert(QStringLiteral("applications"), applicationsJson(network));
    return object;
}

} // namespace

QByteArray jsonReport(const Report &report) {
    QJsonArray networks;
    for (const NetworkReport &entry : report.networks)
        networks.append(network(report, entry));
    const QJsonObject document{{QStringLiteral("version"), kJsonReportVersion},
                               {QStringLiteral("now"), isoTime(report.now)},
                               {QStringLiteral("networks"), networks}};
    return QJsonDocument(document).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace flowtally
