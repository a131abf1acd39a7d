// The router interface a person chose, on routers that name their
// interfaces as today's do: snmpd in the router's namespace beside
// interfaces named eth0.2, wan and pppoe-wan, with and without IF-MIB's
// 64-bit counters.
#include "AppDelegate.h"
#include "EnvironmentVariables.h"
#include "MainLoop.h"
#include "ScriptFolder.h"
#include "SnmpEnvironment.h"
#include "SystemTest.h"
#include "TestEnvironment.h"
#include "TextPrinting.h"
#include "ToolPaths.h"
#include "UserDefaults.h"

#include <QComboBox>
#include <QLabel>

namespace flowtally {

namespace {

const QString kCommunity = QStringLiteral("ft-iface-7b20");

class RouterInterfaceTest : public SystemTest {
  protected:
    // The LAN's link ends on the router's interface of this name.
    void build(const QString &routerInterface) {
        lanShape.routerInterface = routerInterface;
        SystemTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        if (!canPlayRouter())
            GTEST_SKIP() << "no snmpd or no modules in " << modules.toStdString();
        makeAgent();
    }
    void SetUp() override {}

    QVariantMap choice(const QString &object, const QString &text) const {
        return {{lan->router, QVariantMap{{"object", object}, {"text", text}}}};
    }

    // The real program meters the router's eth0.2, which carries the LAN's
    // traffic, beside an idle vlan1 that Automatic would take: every byte
    // of eth0.2 counted once, with counters of the width given.
    void countChosenInterface(const QStringList &agentConfiguration, int bits) {
        ASSERT_NO_FATAL_FAILURE(build("eth0.2"));
        ASSERT_EQ(lan->addRouterInterfaces({"vlan1", "pppoe-wan"}), QString());
        ASSERT_EQ(agent->start(kCommunity, agentConfiguration), QString());
        ASSERT_NO_FATAL_FAILURE(writeSettings(
            {{"communityPassword", kCommunity}, {"RouterInterface", choice("ifDescr", "eth0.2")}}));
        ASSERT_NO_FATAL_FAILURE(launch());
        const auto start = waitForSample(lan->routerCounters(), {}, "router");
        ASSERT_TRUE(start) << "Flowtally stored no router sample";
        const QString service = start->key;
        ASSERT_NO_FATAL_FAILURE(push(3 * kMiB, 2 * kMiB));
        ASSERT_TRUE(waitForSample(lan->routerCounters(), service, "router"))
            << "the traffic was never sampled on the router";
        ASSERT_NO_FATAL_FAILURE(quit());
        const Record last = records()[service];
        // eth0.2 received what the LAN host sent, and sent what it received.
        expectAtLeast(last.total() - start->total(), {3 * kMiB, 2 * kMiB});
        expectSoonAfter(last.prev(), lan->routerCounters(), kQuerySlack);
        for (const Record &state : seen[service]) {
            EXPECT_EQ(state.source(), "router");
            expectConsistent(state, start->base());
            EXPECT_EQ(state.values.value("prevValOrigin").toMap().value("bits").toInt(), bits);
        }
    }

    const QString modules = mibFolder();
};

TEST_F(RouterInterfaceTest, ChosenInterfaceCountedToTheByteWith64BitCounters) {
    countChosenInterface({}, 64);
}

// A view hides the 64-bit counters: the 32-bit ones count the same bytes.
TEST_F(RouterInterfaceTest, ChosenInterfaceCountedToTheByteWith32BitCounters) {
    countChosenInterface({"view noHC included .1", "view noHC excluded .1.3.6.1.2.1.31.1.1.1.6",
                          "view noHC excluded .1.3.6.1.2.1.31.1.1.1.10",
                          "rocommunity " + kCommunity + " 10.77.0.0/16 -V noHC"},
                         32);
}

// Flowtally's controller in this process, with the tools run in the LAN
// host's namespace: the preferences' pop-up fills from a real walk; the
// interface chosen there is read after a restart of Flowtally and after a
// reboot of the router that numbered its interfaces anew; one that is gone
// says so, and the computer's own interface is metered meanwhile.
TEST_F(RouterInterfaceTest, PopUpChoiceSurvivesRestartAndRebootAndAGoneOneFallsBack) {
    ASSERT_NO_FATAL_FAILURE(build("wan"));
    const QStringList extras{"eth0.2", "pppoe-wan"};
    ASSERT_EQ(lan->addRouterInterfaces(extras), QString());
    ASSERT_EQ(agent->start(kCommunity), QString());

    // The tools name the objects with our modules, as in Flowtally.
    EnvironmentVariables variables{{"MIBS", "MIBDIRS"}};
    setUpSnmpEnvironment(modules);
    TestEnvironment environment;
    environment.setNetwork(FakeNetwork{QStringLiteral("eth0"), lan->router});
    UserDefaults::standardUserDefaults().setObject("communityPassword", kCommunity);
    ScriptFolder tools;
    for (const QString &tool : {kSnmpGetTool, kSnmpWalkTool, kNetstatTool})
        environment.setToolPath(
            tool, tools.write(QFileInfo(tool).fileName(), "exec ip netns exec " + lan->lan + ' ' +
                                                              platformToolPath(tool) + " \"$@\""));
    struct Restore {
        ~Restore() { AppDelegate::clearRouterDecision(); }
    } restore;
    AppDelegate::rearmRouterProbe();
    auto controller = std::make_unique<AppDelegate>();
    const auto tick = [&] {
        controller->setPrimaryService(environment.currentService());
        AppDelegate::clearRouterDecision();
        return controller->tickSample();
    };
    const std::optional<TrafficSample> first = tick();
    ASSERT_TRUE(first && sourceOfSample(*first) == CounterSource::Router);

    controller->windowDidBecomeKey(controller->prefsWindowWidget());
    controller->stopLogging(); // after the list came
    auto *popUp = controller->prefsWindowWidget()->findChild<QComboBox *>("routerInterfacePopUp");
    QStringList items;
    for (int i = 0; i < popUp->count(); ++i)
        items.append(popUp->itemText(i));
    ASSERT_EQ(items.value(0), "Automatic (vlan1)");
    int wan = -1;
    for (const QString &name : QStringList{"wan"} + extras) {
        const auto found = std::find_if(items.cbegin(), items.cend(), [&](const QString &item) {
            return item.startsWith(name + " — in ");
        });
        ASSERT_NE(found, items.cend()) << name << " not in " << items.join(" | ");
        if (name == "wan")
            wan = int(found - items.cbegin());
    }
    popUp->setCurrentIndex(wan);
    emit popUp->activated(wan);
    EXPECT_EQ(UserDefaults::standardUserDefaults().objectForKey("RouterInterface").toMap(),
              choice("ifDescr", "wan"));

    // Flowtally starts again.
    controller = std::make_unique<AppDelegate>();
    const int before = lan->routerIndex("wan");
    std::optional<TrafficSample> sample = tick();
    ASSERT_TRUE(sample);
    EXPECT_EQ(sample->value(SampleKey::InterfaceIndex).toInt(), before);

    // The router reboots with its interfaces made in another order.
    ASSERT_TRUE(agent->stop());
    ASSERT_EQ(lan->deleteRouterInterfaces(extras), QString());
    ASSERT_EQ(lan->remakeLink(), QString());
    ASSERT_EQ(lan->addRouterInterfaces(extras), QString());
    ASSERT_EQ(agent->start(kCommunity), QString());
    const int after = lan->routerIndex("wan");
    ASSERT_NE(after, before);
    sample = tick();
    ASSERT_TRUE(sample);
    EXPECT_EQ(sourceOfSample(*sample), CounterSource::Router);
    EXPECT_EQ(sample->value(SampleKey::InterfaceIndex).toInt(), after);

    // pppoe-wan is chosen, and goes at the router's next reboot.
    UserDefaults::standardUserDefaults().setObject("RouterInterface",
                                                   choice("ifName", "pppoe-wan"));
    sample = tick();
    ASSERT_TRUE(sample);
    EXPECT_EQ(sample->value(SampleKey::InterfaceIndex).toInt(), lan->routerIndex("pppoe-wan"));
    ASSERT_TRUE(agent->stop());
    ASSERT_EQ(lan->deleteRouterInterfaces({"pppoe-wan"}), QString());
    ASSERT_EQ(agent->start(kCommunity), QString());
    sample = tick();
    ASSERT_TRUE(sample);
    EXPECT_EQ(sourceOfSample(*sample), CounterSource::Local);
    EXPECT_EQ(sample->value(SampleKey::PrimaryInterface), "eth0");
    runMainLoopFor(0.1); // the status line hears of it
    EXPECT_EQ(
        controller->mainWindowWidget()->findChild<QLabel *>("infoText")->text().section('\n', 1),
        "The router has no interface \"pppoe-wan\" any more; metering this computer's "
        "interface.");
}

} // namespace

} // namespace flowtally
