#include "HistoryTables.h"

namespace flowtally {

Status readHistoryTables(HistoryStore &history, Report *report) {
    const QTimeZone zone = report->now.timeZone();
    const QDate today = report->now.date();
    const QDate firstOfMonth(today.year(), today.month(), 1);
    for (NetworkReport &network : report->networks) {
        const QString &service = network.figures.service;
        Status status;
        if (report->days > 0)
            status = history.days(service, today.addDays(1 - report->days).startOfDay(zone),
                                  today.addDays(1).startOfDay(zone), &network.days);
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
