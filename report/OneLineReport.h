#pragma once

#include "report/Report.h"

#include <QString>

namespace flowtally {

// One network on one short line for a status bar, ending in a line end:
// what came in and went out in the billing cycle (without one, since the
// reset), then the billed bytes against the limit with their share of it,
// the day the cycle ends, and the bytes counted in free hours where the
// network has free hours:
//   "1.2G ↓ 0.3G ↑ · 1.5G of 250G (1%) by the 14th"
//   "251.0G ↓ 9.0G ↑ · 260.0G of 250G (104%, over the limit) by the 14th"
//   "1.2G ↓ 0.3G ↑ · 1.0G of 250G (0%) by the 14th · free hours 0.5G"
// Without a limit: "1.2G ↓ 0.3G ↑ · No limit · until the 14th"; without a
// cycle the day is left out. In ASCII: "1.2G in 0.3G out | 1.5G of 250G
// (1%) by the 14th".
QString oneLineReport(const NetworkReport &network, Characters characters = Characters::Unicode);

// The line in its place when there is nothing to report yet.
QString nothingToReportLine();

} // namespace flowtally
