#pragma once

#include "platform/system/Status.h"

#include <QString>
#include <QStringList>

namespace flowtally {

// How flowtally-report writes what it found.
enum class ReportFormat {
    Text,       // a readable block per network, or tables of days and months
    Json,       // one JSON document (see JsonReport.h)
    Csv,        // one table with one header line (see CsvReport.h)
    OneLine,    // one short line of one network, for status bars
    Prometheus, // Prometheus' text exposition format (see PrometheusReport.h)
};

// The most days and months a table may ask for: as far back as the history
// keeps daily rows (ten years).
inline constexpr int kMostDays = 3660;
inline constexpr int kMostMonths = 120;

// What the command line asks of flowtally-report.
struct ReportOptions {
    ReportFormat format = ReportFormat::Text;
    int days = 0;    // --days N: the last N days, today included; 0 for no table
    int months = 0;  // --months N: the last N months, this one included; 0 for none
    QString network; // --network ID: a service identifier or a name; empty for every network
    QString output;  // --output FILE: where the report goes; empty for standard output
    bool applications = false; // --apps: each network's bytes per application too
    bool help = false;
    bool version = false;
};

// Reads the arguments that follow the program's name ("--days 7" and
// "--days=7" alike). A usage error gives one sentence that names what is at
// fault, and leaves the options as they were. With --help or --version the
// caller prints that instead of a report.
Status parseReportOptions(const QStringList &arguments, ReportOptions *options);

// What --help prints: the synopsis and every option, one per line.
QString reportHelp();

// What --version prints: the program's name and Flowtally's version.
QString reportVersion();

} // namespace flowtally
