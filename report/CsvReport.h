#pragma once

#include "Report.h"

#include <QByteArray>

namespace flowtally {

// The report as comma-separated values for spreadsheets (UTF-8, one header
// line, a line end after every row; fields with a comma, a quote or a line
// end in quotes, quotes doubled). Bytes are whole numbers (projections
// rounded); times are local, "2024-03-14 00:00:00"; a field without a value
// is empty. Names and identifiers are printable (see ReportText.h); one
// that a spreadsheet would take for a formula (it begins with = + - @) gets
// an apostrophe in front.
//
// Without days or months, a row per network:
//   id,name,reset_date,in,out,total,thirty_day_projection,limit,
//   cycle_start,cycle_end,days_left,cycle_in,cycle_out,cycle_total,
//   cycle_projected_total
// With days or months, a row per network and day or month with traffic,
// days first, each oldest first:
//   id,name,period,start,in,out,total
// where period is "day" or "month" and start its first day, "2024-03-01".
QByteArray csvReport(const Report &report);

} // namespace flowtally
