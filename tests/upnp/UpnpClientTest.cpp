// The client against a scripted router on loopback: what real routers do
// that miniupnpd does not, each call made on a plain std::thread as
// Flowtally's worker makes it.
#include "net/upnp/UpnpClient.h"
#include "tests/support/IgdTexts.h"
#include "tests/support/ScriptedRouter.h"

#include <gtest/gtest.h>

#include <optional>
#include <thread>

namespace flowtally {
namespace {

using namespace igd;
using Answer = ScriptedIgd::Answer;
using namespace std::chrono_literals;

// The calls as the worker makes them: on a thread of their own, no event
// loop running there.
template <typename Call> Status onThread(Call &&call) {
    Status status;
    std::thread([&] { status = call(); }).join();
    return status;
}

Status describe(const ScriptedRouter &router, UpnpDevice *device,
                std::chrono::milliseconds bound = 2s) {
    return onThread([&] {
        return describeUpnpDevice(router.location(), QString(), QDeadlineTimer(bound), device);
    });
}

Status read(UpnpDevice &device, UpnpReading *reading, const UpnpReadOptions &options = {}) {
    return onThread([&] { return readUpnpCounters(device, reading, options); });
}

// The router's answer: an HTTP reply of this status and body.
Answer http(int status, const QByteArray &body) {
    return Answer{ScriptedIgd::reply(status, body)};
}

class UpnpClient : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(router.location().host().isEmpty()) << "the scripted router does not serve";
        const Status described = describe(router, &device);
        ASSERT_TRUE(described.ok()) << described.message().toStdString();
    }
    // A reading that must work.
    UpnpReading reading(const UpnpReadOptions &options = {}) {
        UpnpReading read;
        const Status status = flowtally::read(device, &read, options);
        EXPECT_TRUE(status.ok()) << status.message().toStdString();
        return read;
    }
    void count(quint64 sent, quint64 received, quint64 uptime = 3600) {
        router.change([&](auto &state) {
            state.sent = sent;
            state.received = received;
            state.uptime = uptime;
        });
    }

    ScriptedRouter router;
    UpnpDevice device;
};

// The device as described (its name and UDN: UpnpSource's
// GoodReadingIsASampleOfTheCountersTheMeterKnows; its address and link
// speeds: UpnpRouter's test), its readings, and its
// GetAddonInfos kept to once it worked.
TEST_F(UpnpClient, ReadsAFritzBoxsWideCountersInOneRequest) {
    EXPECT_EQ(router.asked("GetStatusInfo"), 2) << "each connection service, the PPP one first";
    EXPECT_EQ(device.counters.control.path(), "/ctl/cmn");
    // The PPP service comes first but is not connected.
    EXPECT_EQ(device.connection.control.path(), "/ctl/ip");
    EXPECT_EQ(reading().requests, 2);
    EXPECT_EQ(device.counterCall, UpnpDevice::CounterCall::AddonInfos);
    // Small values of the 64-bit fields are 64 bits wide all the same.
    count(10, 10);
    EXPECT_EQ(reading().bits, 64);
    EXPECT_EQ(reading({.uptime = false}).requests, 1);
    // The link's speed is asked with the description, and when asked for.
    router.change([](auto &state) { state.downBits = 1000000000; });
    EXPECT_EQ(reading().linkDownBitsPerSecond, 254960000u);
    EXPECT_EQ(reading({.linkSpeed = true}).linkDownBitsPerSecond, 1000000000u);
    EXPECT_EQ(device.linkDownBitsPerSecond, 1000000000u);
    // A 32-bit router's counters, that wrap or stay 0, and an up-time that
    // falls, are told as they are: the accounting judges them.
    router.change([](auto &state) { state.wide = false; });
    for (const quint64 value : {quint64(4294967295u), quint64(0)}) {
        count(value, value / 2, value ? 100 : 5);
        const UpnpReading read = reading();
        EXPECT_EQ(read.sent, value);
        EXPECT_EQ(read.received, value / 2);
        EXPECT_EQ(read.uptime, value ? 100.0 : 5.0);
        EXPECT_EQ(read.bits, 32);
    }
    ASSERT_EQ(device.counterCall, UpnpDevice::CounterCall::AddonInfos);

    // A Fritz!Box whose 64-bit field is broken is a failed reading, not one
    // of its 32-bit fields; a fault once it worked is no reason to change.
    QByteArray broken = addonInfos(5000000000u, 1);
    broken.replace("<NewX_AVM_DE_TotalBytesSent64>5000000000", "<NewX_AVM_DE_TotalBytesSent64>5e9");
    // The kind of failure survives each layer's telling of it.
    const std::pair<Answer, Status::Code> failures[] = {
        {http(200, broken), Status::Code::Corrupt},
        {http(500, soapFault(401, "Invalid Action")), Status::Code::Refused},
        {http(503, "busy"), Status::Code::Refused}};
    for (const auto &[answer, code] : failures) {
        router.change([&answer = answer](auto &state) {
            state.scripted = {{"GetAddonInfos", answer}};
        });
        UpnpReading read;
        EXPECT_EQ(flowtally::read(device, &read).code(), code);
        EXPECT_EQ(device.counterCall, UpnpDevice::CounterCall::AddonInfos);
    }
    EXPECT_EQ(router.asked("GetTotalBytesSent"), 0);
}

// Silent for a minute, or a byte in a while: either way the reading gives
// up at its bound, which the failure tells; and so does a description.
TEST_F(UpnpClient, FailsOnEveryFaultOfTheDeviceWithoutMakingUpACountOrWaitingPastItsBound) {
    const auto sentAnswer = [](const QByteArray &value) {
        return http(200, soapAnswer("GetTotalBytesSent", {{"NewTotalBytesSent", value}}));
    };
    QByteArray huge = soapAnswer("GetTotalBytesSent", {{"NewTotalBytesSent", "1"}});
    huge.insert(huge.indexOf("<s:Envelope"), "<!--" + QByteArray(70000, ' ') + "-->");
    const QByteArray whole = sentAnswer("1").bytes;
    const std::vector<std::tuple<const char *, QByteArray, Answer>> faults = {
        {"HTTP 500 without a fault", "GetTotalBytesSent", http(500, "oops")},
        {"HTTP 200 with a fault", "GetTotalBytesSent", http(200, soapFault(501, "Action Failed"))},
        {"a SOAP fault", "GetTotalBytesReceived", http(500, soapFault(501, "Action Failed"))},
        {"not XML", "GetTotalBytesSent", http(200, "NewTotalBytesSent=5")},
        // Which values count: SoapAnswers' test.
        {"a value not a number", "GetTotalBytesSent", sentAnswer("lots")},
        {"no value", "GetTotalBytesSent", http(200, soapAnswer("GetTotalBytesSent", {}))},
        // Which replies are whole: HttpReply.FramesTheBodyByLengthChunksOrTheEnd.
        {"an answer over 64 KiB", "GetTotalBytesSent", http(200, huge)},
        {"no answer at all", "GetTotalBytesSent", Answer{}},
        {"an up-time not a number", "GetStatusInfo",
         http(200, soapAnswer("GetStatusInfo", {{"NewUptime", "1.5"}}, kIpConnection))},
        {"an up-time refused", "GetStatusInfo", http(500, soapFault(401, "Invalid Action"))},
        {"silent", "GetTotalBytesSent", Answer{whole, 60000}},
        {"slow", "GetTotalBytesSent", Answer{whole, 0, 1, 100}},
    };
    // A device whose GetAddonInfos holds no counters has only the standard
    // calls, which is learnt once: GetAddonInfos is not asked again. (One
    // without GetAddonInfos: UpnpSource's tests; their widths: its
    // GoodReadingIsASampleOfTheCountersTheMeterKnows.)
    count(1000, 2000);
    router.change([](auto &state) {
        state.scripted = {
            {"GetAddonInfos", http(200, soapAnswer("GetAddonInfos", {{"NewByteSendRate", "1"}}))}};
    });
    const UpnpReading first = reading();
    EXPECT_EQ(first.sent, 1000u);
    EXPECT_EQ(first.received, 2000u);
    EXPECT_EQ(first.requests, 4);
    ASSERT_EQ(device.counterCall, UpnpDevice::CounterCall::TotalBytes);
    EXPECT_EQ(reading().requests, 3);
    for (const auto &[what, action, answer] : faults) {
        router.change([&action = action, &answer = answer](auto &state) {
            state.scripted = {{action, answer}};
        });
        const bool late = answer.delayMs > 0 || answer.pauseMs > 0;
        UpnpReading read;
        read.sent = 77;
        const Status status =
            flowtally::read(device, &read, {.bound = late ? 300ms : UpnpReadOptions().bound});
        EXPECT_FALSE(status.ok()) << what;
        EXPECT_EQ(read.sent, 77u) << what << ": the reading was overwritten";
        EXPECT_TRUE(status.message().startsWith("UPnP at 127.0.0.1:"))
            << status.message().toStdString();
        EXPECT_EQ(device.counterCall, UpnpDevice::CounterCall::TotalBytes) << what;
        if (late) {
            EXPECT_EQ(status.code(), Status::Code::IoError) << what;
            EXPECT_TRUE(status.message().contains("in time")) << status.message().toStdString();
        }
    }
    EXPECT_EQ(router.asked("GetAddonInfos"), 1);

    // A description that is slow in coming, missing or leads elsewhere gives
    // no device (which descriptions are refused: Descriptions' tests).
    const Answer slow{ScriptedIgd::reply(200, description("/ctl/cmn", "")), 60000};
    for (const Answer &answer :
         {http(404, ""), http(200, description("http://127.0.0.2:80/ctl/cmn", "")), slow}) {
        router.change([&](auto &state) { state.scripted = {{"GET", answer}}; });
        UpnpDevice described;
        const Status status = describe(router, &described, 300ms);
        EXPECT_FALSE(status.ok());
        if (answer.delayMs > 0) {
            EXPECT_EQ(status.code(), Status::Code::IoError);
            EXPECT_TRUE(status.message().contains("in time")) << status.message().toStdString();
        }
    }
}

} // namespace
} // namespace flowtally
