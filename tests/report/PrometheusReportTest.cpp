// flowtally-report --prometheus: the exact text for the known networks, and
// what the Prometheus project's own Python parser reads of a name that needs
// escaping.
#include "tests/report/ReportFixture.h"

#include "tests/support/CommandRun.h"

#include <QJsonArray>

namespace flowtally {

namespace {

// The samples as the Python client of the Prometheus project reads them:
// [name, {label: value}, value] each.
QJsonArray readByPrometheusClient(const QByteArray &bytes) {
    const CommandResult result = runCommand(
        "/usr/bin/python3", {"-c",
                             "import json, sys\n"
                             "from prometheus_client.parser import text_string_to_metric_families\n"
                             "print(json.dumps([[s.name, s.labels, s.value] for f in "
                             "text_string_to_metric_families(sys.argv[1]) for s in f.samples]))\n",
                             QString::fromUtf8(bytes)});
    if (!result.finished || result.exitCode != 0)
        ADD_FAILURE() << "the Prometheus client (/usr/bin/python3 with prometheus_client, as "
                         "scripts/install-deps installs them) did not read it: "
                      << result.error.toStdString();
    return QJsonDocument::fromJson(result.output.toUtf8()).array();
}

class PrometheusReportTest : public ReportFixture {};

TEST_F(PrometheusReportTest, TheMetricsOfEveryNetworkAndTheirNames) {
    const QByteArray bytes = output({"--prometheus"});
    // A network the history has no name for goes by its identifier.
    const QString unnamed = QStringLiteral(R"(network="%1",name="%1")");
    EXPECT_EQ(
        bytes.toStdString(),
        QStringLiteral(
            R"(# HELP flowtally_received_bytes_total Bytes received on the network since its reset date.
# TYPE flowtally_received_bytes_total counter
flowtally_received_bytes_total{%2,source="router"} 314572800
flowtally_received_bytes_total{%1,source="upnp"} 10737418240
flowtally_received_bytes_total{%3,source="unknown"} 0
# HELP flowtally_sent_bytes_total Bytes sent on the network since its reset date.
# TYPE flowtally_sent_bytes_total counter
flowtally_sent_bytes_total{%2,source="router"} 20971520
flowtally_sent_bytes_total{%1,source="upnp"} 2147483648
flowtally_sent_bytes_total{%3,source="unknown"} 0
# HELP flowtally_free_bytes_total Bytes received and sent in the network's free hours since its reset date.
# TYPE flowtally_free_bytes_total counter
flowtally_free_bytes_total{%2} 0
flowtally_free_bytes_total{%1} 2147483648
flowtally_free_bytes_total{%3} 0
# HELP flowtally_billed_bytes Bytes the plan holds against its limit: those of the billing cycle (without one, since the reset date) not counted in free hours.
# TYPE flowtally_billed_bytes gauge
flowtally_billed_bytes{%2} 0
flowtally_billed_bytes{%1} 10737418240
flowtally_billed_bytes{%3} 0
# HELP flowtally_limit_bytes The network's limit.
# TYPE flowtally_limit_bytes gauge
flowtally_limit_bytes{%1} 8589934592
flowtally_limit_bytes{%3} 1073741824
# HELP flowtally_limit_used_ratio The billed bytes' share of the limit.
# TYPE flowtally_limit_used_ratio gauge
flowtally_limit_used_ratio{%1} 1.25
flowtally_limit_used_ratio{%3} 0
# HELP flowtally_over_limit 1 when the billed bytes are more than the limit, else 0.
# TYPE flowtally_over_limit gauge
flowtally_over_limit{%1} 1
flowtally_over_limit{%3} 0
# HELP flowtally_thirty_day_projection_bytes Bytes received and sent in thirty days at the pace since the reset date.
# TYPE flowtally_thirty_day_projection_bytes gauge
flowtally_thirty_day_projection_bytes{%2} 223179594
flowtally_thirty_day_projection_bytes{%1} 18855953982
# HELP flowtally_cycle_projection_bytes Billed bytes at the billing cycle's end at the pace since the cycle began.
# TYPE flowtally_cycle_projection_bytes gauge
flowtally_cycle_projection_bytes{%2} 0
flowtally_cycle_projection_bytes{%1} 15189518486
# HELP flowtally_expected_bytes Billed bytes expected at the billing cycle's end (without one, thirty days after the reset date) from the way the line was used through the week in the last weeks.
# TYPE flowtally_expected_bytes gauge
flowtally_expected_bytes{%1} 13841727488
# HELP flowtally_cycle_remaining_seconds Seconds until the billing cycle ends.
# TYPE flowtally_cycle_remaining_seconds gauge
flowtally_cycle_remaining_seconds{%2} 2203200
flowtally_cycle_remaining_seconds{%1} 734400
)")
            .arg(QStringLiteral(R"(network="%1",name="Home router")").arg(kHome),
                 unnamed.arg(kOffice), unnamed.arg(kHotspot))
            .toStdString());

    // A router names itself with quotes, a backslash before an n, a line
    // end and more than ASCII: escaped, the Prometheus client reads it back
    // whole.
    const QString name = QStringLiteral("Caf\u00e9 \"5G\" \\new router\nlevel 2");
    ASSERT_TRUE(nameHome(name));

    const QByteArray named = output({"--prometheus", "--network", kHome});
    const QJsonArray samples = readByPrometheusClient(named);
    EXPECT_EQ(samples.size(), 11);
    for (const QJsonValue &sample : samples)
        EXPECT_EQ(sample[1]["name"].toString().toStdString(), name.toStdString())
            << sample[0].toString().toStdString();
}

} // namespace

} // namespace flowtally
