// The line that says what Flowtally is doing, in each state it tells.
#include "app/StateLine.h"

#include <gtest/gtest.h>

namespace flowtally {

namespace {

constexpr double kGiB = 1024.0 * 1024 * 1024;
using Counters = Sources::RouterCounters;

TrafficSample computer(const QString &counted = QString()) {
    TrafficSample sample{{SampleKey::PrimaryInterface, "eth0"}, {SampleKey::Router, "myhost"}};
    if (!counted.isEmpty())
        sample.insert(SampleKey::CounterSourceName, counted);
    return sample;
}

TrafficSample snmpRouter(const QString &name, int bits) {
    return {{SampleKey::Router, name},
            {SampleKey::MeteredInterface, "vlan1"},
            {SampleKey::CounterBits, bits}};
}

MeteringState state(std::optional<TrafficSample> sample, std::optional<QString> router = {},
                    Counters counters = Counters::Automatic, bool paused = false, double billed = 0,
                    std::optional<double> limit = {}) {
    return {std::move(sample), std::move(router), counters, paused, paused, billed, limit};
}

TEST(StateLine, TellsEachState) {
    const TrafficSample upnp{{SampleKey::Router, "FRITZ!Box 7590"},
                             {SampleKey::CounterSourceName, "upnp"}};
    const QString router = "192.168.1.1";
    // clang-format off
    const struct { const char *what; MeteringState state; const char *line; } rows[] = {
        {"before the first sample", state(std::nullopt), "Waiting for the first reading"},
        {"no router on the network", state(computer(), std::nullopt), "Metering this computer (eth0)"},
        {"a router outside the local ranges", state(computer(), "8.8.8.8"), "Metering this computer (eth0)"},
        {"this computer chosen", state(computer(), router, Counters::ThisComputer), "Metering this computer (eth0)"},
        {"the Internet's traffic", state(computer("local-internet"), std::nullopt), "Metering this computer's Internet traffic (eth0)"},
        {"a silent router", state(computer(), router), "The router does not answer SNMP; metering this computer"},
        {"a silent router, SNMP chosen", state(computer(), router, Counters::Snmp), "The router does not answer SNMP; metering this computer"},
        {"a silent router, UPnP chosen", state(computer(), router, Counters::Upnp), "The router does not answer UPnP; metering this computer"},
        {"SNMP, 64 bits", state(snmpRouter("gateway\n", 64), router), "Metering the router gateway (vlan1, 64-bit counters)"},
        {"SNMP, 32 bits, no name", state(snmpRouter("UNAVAILABLE", 32), router), "Metering the router (vlan1, 32-bit counters)"},
        {"UPnP", state(upnp, router), "Metering the router FRITZ!Box 7590 over UPnP"},
        {"paused for the preferences", state(computer(), router, Counters::Automatic, true), "Paused while Preferences is open"},
        {"over the limit", state(computer(), router, Counters::Automatic, false, 11.2 * kGiB, 10 * kGiB), "Over the limit by 1.2G"},
        {"at the limit", state(computer(), std::nullopt, Counters::Automatic, false, 10 * kGiB, 10 * kGiB), "Metering this computer (eth0)"},
        {"paused over the limit", state(computer(), router, Counters::Automatic, true, 11.2 * kGiB, 10 * kGiB), "Paused while Preferences is open"},
        {"without a limit", state(computer(), std::nullopt, Counters::Automatic, false, 11.2 * kGiB, std::nullopt), "Metering this computer (eth0)"},
    };
    // clang-format on
    for (const auto &row : rows)
        EXPECT_EQ(stateLine(row.state), row.line) << row.what;
}

} // namespace

} // namespace flowtally
