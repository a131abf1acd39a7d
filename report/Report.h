#pragma once

#include "history/ApplicationBytes.h"
#include "history/HistoryBucket.h"
#include "record/NetworkFigures.h"
#include "report/ReportText.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace flowtally {

// One application's bytes in a report, with the name it is shown by.
struct ApplicationReport {
    ApplicationBytes bytes;
    QString name;
};

// One network in a report: its figures, the name to show and, when asked
// for, its traffic per day and per month.
struct NetworkReport {
    // The name the window shows (the router's name or the interface) when
    // the history knows one, else the service identifier.
    QString name;
    NetworkFigures figures;
    // Oldest first: every day of the span asked for, and the months with
    // traffic.
    QList<HistoryBucket> days;
    QList<HistoryBucket> months;
    // When asked for: each application's bytes since `applicationsSince`
    // (the start of the totals' period, or of the cycle when the totals are
    // older), the most first.
    QDateTime applicationsSince = {};
    QList<ApplicationReport> applications = {};
};

// What flowtally-report found, ready to be written in any format.
struct Report {
    QDateTime now; // in the report's zone
    // The tables asked for: how many days and months, 0 for none.
    int days = 0;
    int months = 0;
    // Whether each network's applications are asked for.
    bool applications = false;
    // The network metered last first, then by service identifier.
    QList<NetworkReport> networks;
    // What the formats for people may write.
    Characters characters = Characters::Unicode;
};

} // namespace flowtally
