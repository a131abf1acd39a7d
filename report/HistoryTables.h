#pragma once

#include "history/HistoryStore.h"
#include "report/Report.h"
#include "platform/system/Status.h"

namespace flowtally {

// Fills in the tables a report asks for (report.days, report.months) for
// each of its networks from the history: the last N local days, today
// included, every one of them (those without traffic with none), and the
// last N local months with traffic, this one included, in the store's zone.
// Reads only.
Status readHistoryTables(HistoryStore &history, Report *report);

} // namespace flowtally
