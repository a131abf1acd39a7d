#pragma once

#include "report/Report.h"

#include <QByteArray>

namespace flowtally {

// The layout's number, the document's "version". It grows when a key
// changes its meaning or goes; added keys keep it.
inline constexpr int kJsonReportVersion = 1;

// The report as one JSON document on one line (UTF-8, ending in a line
// end), in the layout that flowtally-report(1) describes:
//   {"version": 1, "now": TIME, "networks": [NETWORK, ...]}
// NETWORK: {"id", "name", "source": the source the counters were last read
//   from, as the settings file names it ("local", "local-internet",
//   "router", "upnp"), or null, "resetDate": TIME or null, TRAFFIC,
//   "thirtyDayProjection": BYTES or null, "limit": BYTES or null,
//   "limitShare": NUMBER or null, "overLimit": BOOLEAN,
//   "freeHours": [{"start": "02:00", "end": "08:00"}],
//   "cycle": null or {"startDay", "start", "end", "daysLeft", TRAFFIC,
//   "projectedTotal": BYTES or null, "projectedBilled": BYTES or null},
//   "expected": null or {"end": TIME, "billed": BYTES or null},
//   and with --days "days": [{"date": "2024-03-14", TRAFFIC}],
//   with --months "months": [{"month": "2024-03", TRAFFIC}]}.
// TRAFFIC: "in", "out", "total", "free": {"in", "out", "total"}, "billed":
//   the bytes, the part of them counted in free hours, and the rest.
// Bytes are whole numbers (projections rounded, all held at 2^63 - 1);
// times are ISO 8601 in local time with the offset from UTC.
QByteArray jsonReport(const Report &report);

} // namespace flowtally
