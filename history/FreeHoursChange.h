#pragma once

#include "history/TrafficTotals.h"

namespace flowtally {

// What reading a network's traffic anew with other free hours changed
// (HistoryStore::reapplyFreeHours). Bytes are re-read per local hour: an
// hour that lies wholly in the new windows is free, one that lies wholly
// outside them is billed. An hour that a window begins or ends within cannot
// be told apart, nor can a day whose hourly rows are gone (older than 90
// days) unless the windows leave the whole of it free or billed: those keep
// the split they were counted with, and are told here.
struct FreeHoursChange {
    // Bytes that were billed and are free now, and bytes that were free and
    // are billed now. A record's free totals of the same stretch change by
    // madeFree - madeBilled.
    TrafficTotals madeFree;
    TrafficTotals madeBilled;
    // The bytes that keep their split, and in how many hours (a window begins
    // or ends within them) and days (their hours are gone) they lie.
    TrafficTotals kept;
    int keptHours = 0;
    int keptDays = 0;

    bool operator==(const FreeHoursChange &) const = default;
};

} // namespace flowtally
