#pragma once

#include "report/Report.h"

#include <QByteArray>

namespace flowtally {

// The report in Prometheus' text exposition format (version 0.0.4), for
// node_exporter's textfile collector: a "# HELP" and a "# TYPE" line before
// each metric's samples, every metric of the report's networks together,
// labelled with the network's service identifier ("network") and its name
// ("name"), label values escaped (\\, \", \n), no timestamps; UTF-8, a line
// end after every line. The metrics, each where the network has it:
//   flowtally_received_bytes_total, flowtally_sent_bytes_total (counters of
//     the totals since the reset, labelled too with the counters' "source":
//     local, router, or unknown),
//   flowtally_free_bytes_total (a counter of the bytes of free hours),
//   flowtally_billed_bytes, flowtally_limit_bytes, flowtally_limit_used_ratio,
//   flowtally_over_limit (1 or 0), flowtally_thirty_day_projection_bytes,
//   flowtally_cycle_projection_bytes, flowtally_expected_bytes,
//   flowtally_cycle_remaining_seconds (gauges).
QByteArray prometheusReport(const Report &report);

} // namespace flowtally
