#pragma once

#include "Report.h"

#include <QByteArray>

namespace flowtally {

// The layout's number, the document's "version". It grows when a key
// changes its meaning or goes; added keys keep it.
inline constexpr int kJsonReportVersion = 1;

// The report as one JSON document on one line (UTF-8, ending in a line
// end), in the layout that flowtally-report(1) describes:
//   {"version": 1, "now": TIME, "networks": [NETWORK, ...]}
// NETWORK: {"id", "name", "resetDate": TIME or null, "in", "out", "total",
//   "thirtyDayProjection": BYTES or null, "limit": BYTES or null,
//   "cycle": null or {"startDay", "start", "end", "daysLeft", "in", "out",
//   "total", "projectedTotal": BYTES or null},
//   and with --days "days": [{"date": "2024-03-14", "in", "out", "total"}],
//   with --months "months": [{"month": "2024-03", "in", "out", "total"}]}.
// Bytes are whole numbers (projections rounded, all held at 2^63 - 1);
// times are ISO 8601 in local time with the offset from UTC.
QByteArray jsonReport(const Report &report);

} // namespace flowtally
