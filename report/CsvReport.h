#pragma once

#include "report/Report.h"

#include <QByteArray>

namespace flowtally {

// The report as comma-separated values for spreadsheets (UTF-8, one header
// line, a line end after every row; fields with a comma, a quote or a line
// end in quotes, quotes doubled). Bytes are whole numbers (projections
// rounded); times are ISO 8601 in local time with the offset from UTC,
// "2024-03-14T00:00:00+01:00"; a field without a value is empty. Names and identifiers are
// printable (see ReportText.h); one that a spreadsheet would take for a formula (it begins with = +
// - @) gets an apostrophe in front.
//
// Without days or months, a row per network:
//   id,name,reset_date,in,out,total,thirty_day_projection,limit,
//   cycle_start,cycle_end,days_left,cycle_in,cycle_out,cycle_total,
//   cycle_projected_total,free_in,free_out,free_total,billed,limit_share,
//   over_limit,cycle_free_total,cycle_billed,cycle_projected_billed,
//   expected_end,expected_billed,source
// where limit_share is a fraction ("0.048") and over_limit 1 or 0 (both
// empty without a limit), and source the one the counters were last read
// from as the settings file names it ("local", "router", "upnp",
// "local-internet"; empty where the record names none). With days or months, a row per network and
// day of the span, and per month with traffic, days first, each oldest first:
//   id,name,period,start,in,out,total,free
// where period is "day" or "month" and start its first day, "2024-03-01".
// With applications (never with days or months), a row per network and
// application, the most first:
//   id,name,since,application_id,application,in,out,total,share
// where since is the start the bytes are counted from and share the
// application's of the network's bytes since then ("0.085").
QByteArray csvReport(const Report &report);

} // namespace flowtally
