#pragma once

#include "Report.h"

#include <QString>

namespace flowtally {

// One network on one short line for a status bar, ending in a line end:
// what came in and went out in the billing cycle (without one, since the
// reset), then the total against the limit and the day the cycle ends:
//   "1.2G ↓ 0.3G ↑ · 1.5G of 250G by the 14th"
// Without a limit: "1.2G ↓ 0.3G ↑ · until the 14th"; without a cycle:
// "1.2G ↓ 0.3G ↑ · 1.5G of 250G"; with neither: "1.2G ↓ 0.3G ↑".
QString oneLineReport(const NetworkReport &network);

} // namespace flowtally
