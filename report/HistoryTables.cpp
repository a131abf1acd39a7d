#include "report/HistoryTables.h"

namespace flowtally {

namespace {

// Every day from `first` to `last`, with the traffic the buckets give it.
QList<HistoryBucket> everyDay(const QList<HistoryBucket> &buckets, const QDate &first,
                              const QDate &last, const QTimeZone &zone) {
    QList<HistoryBucket> days;
    auto bucket = buckets.cbegin();
    for (QDate day = first; day <= last; day = day.addDays(1)) {
        while (bucket != buckets.cend() && bucket->start.date() < day)
            ++bucket;
        if (bucket != buckets.cend() && bucket->start.date() == day)
            days.append(*bucket);
        else
            days.append({day.startOfDay(zone)});
    }
    return days;
}

} // namespace

Status readHistoryTables(HistoryStore &history, Report *report) {
    const QTimeZone zone = report->now.timeZone();
    const QDate today = report->now.date();
    const QDate firstOfMonth(today.year(), today.month(), 1);
    for (NetworkReport &network : report->networks) {
        const QString &service = network.figures.service;
        Status status;
        const QDate firstDay = today.addDays(1 - report->days);
        if (report->days > 0)
            status = history.days(service, firstDay.startOfDay(zone),
                                  today.addDays(1).startOfDay(zone), &network.days);
        if (status.ok() && report->days > 0)
            network.days = everyDay(network.days, firstDay, today, zone);
        if (status.ok() && report->months > 0)
            status =
                history.months(service, firstOfMonth.addMonths(1 - report->months).startOfDay(zone),
                               firstOfMonth.addMonths(1).startOfDay(zone), &network.months);
        if (!status.ok())
            return status;
    }
    return {};
}

} // namespace flowtally
