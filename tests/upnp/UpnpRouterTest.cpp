// The client against a real IGD: miniupnpd on the router of a LAN of
// network namespaces the test makes, found by SSDP from the LAN host, its
// counters compared with the kernel's own counters of the router's
// Internet side. The client runs on a thread that entered the LAN host's
// namespace, so that nothing it sends leaves the test's namespaces. Needs
// root, iproute2 and miniupnpd.
#include "net/upnp/UpnpClient.h"
#include "tests/support/IgdScene.h"
#include "tests/support/IgdTexts.h"
#include "tests/support/ScriptedIgd.h"

#include <QNetworkProxy>
#include <QThread>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace flowtally {
namespace {

using namespace std::chrono_literals;
constexpr quint64 kMiB = 1024 * 1024;

class UpnpRouter : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!IgdScene::canPlay())
            GTEST_SKIP() << "needs root and miniupnpd";
        scene = std::make_unique<IgdScene>();
        ASSERT_TRUE(scene->error.isEmpty()) << scene->error.toStdString();
        const QString started = scene->startIgd();
        ASSERT_TRUE(started.isEmpty()) << started.toStdString();
    }
    void TearDown() override {
        if (HasFailure() && scene)
            std::fprintf(stderr, "---- miniupnpd\n%s----\n", scene->igdLog().constData());
    }

    // The call on a thread of the LAN host's namespace.
    template <typename Call> Status inLan(Call &&call) {
        Status status = Status::ioError(QStringLiteral("could not enter the LAN's namespace"));
        std::thread([&] {
            if (enterNamespace(scene->lan.lan))
                status = call();
        }).join();
        return status;
    }
    Status discover(UpnpSearchOptions options, QList<UpnpDevice> *devices,
                    QStringList *refusals = nullptr) {
        options.localAddress = scene->lan.host;
        return inLan([&] { return discoverUpnpDevices(options, devices, refusals); });
    }
    UpnpDevice found() {
        QList<UpnpDevice> devices;
        const Status status = discover({.preferredAddress = scene->lan.router}, &devices);
        EXPECT_TRUE(status.ok()) << status.message().toStdString();
        return devices.value(0);
    }
    // A reading when the Internet side is quiet, and the kernel's counters
    // at that moment.
    void readQuiet(UpnpDevice &device, UpnpReading *reading, InterfaceCounters *kernel) {
        for (int attempt = 0; attempt < 10; ++attempt) {
            const InterfaceCounters before = scene->wanCounters();
            const Status status = inLan([&] { return readUpnpCounters(device, reading); });
            ASSERT_TRUE(status.ok()) << status.message().toStdString();
            *kernel = scene->wanCounters();
            if (kernel->sent == before.sent && kernel->received == before.received)
                return;
            QThread::msleep(100);
        }
        FAIL() << "the Internet side never went quiet";
    }

    // A listening TCP socket at the address in the namespace, at a port of
    // the kernel's choice; -1 when there is none.
    static int listenerAt(const QString &ns, const QString &at) {
        const int listener = socketIn(ns, SOCK_STREAM);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        ::inet_pton(AF_INET, qPrintable(at), &address.sin_addr);
        if (::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
            ::listen(listener, 8) == 0)
            return listener;
        ::close(listener);
        return -1;
    }

    std::unique_ptr<IgdScene> scene;
};

// SSDP answers scripted on the router: each M-SEARCH is answered with them,
// from the router's address `from` where one is named, until the thread is
// stopped. No thread when the sockets cannot serve.
std::jthread answerSearches(const Lan &lan, QList<QByteArray> answers,
                            const QString &from = QString()) {
    const int socket = socketIn(lan.peer, SOCK_DGRAM);
    int sender = socket;
    if (!from.isEmpty()) {
        sender = socketIn(lan.peer, SOCK_DGRAM);
        sockaddr_in source{};
        source.sin_family = AF_INET;
        ::inet_pton(AF_INET, qPrintable(from), &source.sin_addr);
        if (::bind(sender, reinterpret_cast<sockaddr *>(&source), sizeof source) != 0) {
            ::close(sender);
            ::close(socket);
            return {};
        }
    }
    const int reuse = 1;
    ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(1900);
    ip_mreq group{};
    ::inet_pton(AF_INET, "239.255.255.250", &group.imr_multiaddr);
    ::inet_pton(AF_INET, qPrintable(lan.router), &group.imr_interface);
    const timeval tick{0, 50 * 1000};
    if (::bind(socket, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::setsockopt(socket, IPPROTO_IP, IP_ADD_MEMBERSHIP, &group, sizeof group) != 0 ||
        ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &tick, sizeof tick) != 0) {
        if (sender != socket)
            ::close(sender);
        ::close(socket);
        return {};
    }
    return std::jthread([socket, sender, answers = std::move(answers)](std::stop_token stop) {
        char buffer[2048];
        while (!stop.stop_requested()) {
            sockaddr_in from{};
            socklen_t size = sizeof from;
            const ssize_t got = ::recvfrom(socket, buffer, sizeof buffer, 0,
                                           reinterpret_cast<sockaddr *>(&from), &size);
            if (got <= 0 || !QByteArray(buffer, got).startsWith("M-SEARCH"))
                continue;
            for (const QByteArray &answer : answers)
                ::sendto(sender, answer.constData(), size_t(answer.size()), 0,
                         reinterpret_cast<sockaddr *>(&from), size);
        }
        if (sender != socket)
            ::close(sender);
        ::close(socket);
    });
}

// Found and described, then read: its counters are the kernel's counters
// of the router's Internet side.
TEST_F(UpnpRouter, IsFoundDescribedAndCountsTheInternetSideToTheByteAcrossRestartsAndPast4GiB) {
    UpnpDevice device = found();
    EXPECT_EQ(device.address, scene->lan.router);
    EXPECT_EQ(device.localAddress, scene->lan.host);
    EXPECT_EQ(device.udn, QStringLiteral("uuid:") + IgdScene::kUuid);
    EXPECT_EQ(device.name, IgdScene::kName);
    EXPECT_EQ(device.model, IgdScene::kModel);
    EXPECT_EQ(device.counters.control,
              QUrl(QStringLiteral("http://%1:5000/ctl/CmnIfCfg").arg(scene->lan.router)));
    EXPECT_EQ(device.connection.control.path(), "/ctl/IPConn");
    EXPECT_EQ(device.linkUpBitsPerSecond, IgdScene::kUpBits);
    EXPECT_EQ(device.linkDownBitsPerSecond, IgdScene::kDownBits);

    QList<UpnpDevice> devices;
    const Status typed = discover({.typedAddress = scene->lan.router}, &devices);
    ASSERT_TRUE(typed.ok()) << typed.message().toStdString();
    ASSERT_EQ(devices.size(), 1);
    EXPECT_EQ(devices.at(0), device);

    // An address that answers nothing gives no device, within the bound.
    const Status silent = discover({.typedAddress = scene->lan.host, .listen = 300ms}, &devices);
    EXPECT_FALSE(silent.ok());
    EXPECT_TRUE(devices.isEmpty());

    // No answer is followed to another host: beside miniupnpd, a responder
    // on the router points to a description on another host (which would
    // describe a gateway), and answers what was not asked. The host
    // elsewhere is on the LAN host, and stands for a proxy there below.
    const auto gateway = [](const ScriptedIgd::Request &) {
        return ScriptedIgd::Answer{ScriptedIgd::reply(200, igd::description("/ctl", ""))};
    };
    const int listener = listenerAt(scene->lan.lan, scene->lan.host);
    ASSERT_GE(listener, 0);
    ScriptedIgd elsewhere(gateway, listener);
    std::jthread ssdp = answerSearches(
        scene->lan, {igd::ssdpAnswer(elsewhere.origin().toUtf8() + "/igddesc.xml"),
                     igd::ssdpAnswer("http://" + scene->lan.router.toUtf8() + ":5000/media.xml",
                                     "urn:schemas-upnp-org:device:MediaServer:1")});
    ASSERT_TRUE(ssdp.joinable());
    QStringList refusals;
    const Status searched = discover({}, &devices, &refusals);
    ASSERT_TRUE(searched.ok()) << searched.message().toStdString();
    ASSERT_EQ(devices.size(), 1);
    EXPECT_EQ(devices.at(0).location.path(), "/rootDesc.xml");
    EXPECT_EQ(elsewhere.requests(), 0);
    ASSERT_EQ(refusals.size(), 1) << refusals.join('\n').toStdString();
    EXPECT_TRUE(refusals.at(0).contains("which answered")) << refusals.at(0).toStdString();

    UpnpReading reading;
    InterfaceCounters kernel;
    const auto expectKernel = [&](const char *when) {
        EXPECT_EQ(reading.sent, kernel.sent) << when;
        EXPECT_EQ(reading.received, kernel.received) << when;
    };

    // Unlike amounts each way show the direction: sent is wan0's tx.
    ASSERT_EQ(scene->push(3 * kMiB, kMiB), QString());
    ASSERT_NO_FATAL_FAILURE(readQuiet(device, &reading, &kernel));
    expectKernel("after a few MiB");
    EXPECT_GT(kernel.received, 3 * kMiB);
    EXPECT_LT(kernel.sent, 2 * kMiB);
    EXPECT_EQ(reading.bits, 32);
    EXPECT_GE(reading.uptime, 0);
    EXPECT_EQ(reading.linkDownBitsPerSecond, IgdScene::kDownBits);
    // miniupnpd has no GetAddonInfos: the standard calls from now on.
    EXPECT_EQ(device.counterCall, UpnpDevice::CounterCall::TotalBytes);

    ASSERT_TRUE(scene->stopIgd());
    // A search of the typed address follows no answer from another, not
    // even one from a local address with the gateway's description there:
    // here the router's Internet side answers in place of its LAN side.
    const int wanListener = listenerAt(scene->lan.peer, scene->wanRouter);
    ASSERT_GE(wanListener, 0);
    ScriptedIgd stray(gateway, wanListener);
    ssdp = answerSearches(scene->lan, {igd::ssdpAnswer(stray.origin().toUtf8() + "/igddesc.xml")},
                          scene->wanRouter);
    ASSERT_TRUE(ssdp.joinable());
    const Status strayed =
        discover({.typedAddress = scene->lan.router, .listen = 300ms}, &devices, &refusals);
    EXPECT_FALSE(strayed.ok());
    EXPECT_EQ(stray.requests(), 0);
    EXPECT_TRUE(refusals.join('\n').contains("not the address asked"))
        << refusals.join('\n').toStdString();
    ssdp = {};

    ASSERT_EQ(scene->push(kMiB, 2 * kMiB), QString());
    ASSERT_EQ(scene->startIgd(), QString());
    ASSERT_NO_FATAL_FAILURE(readQuiet(device, &reading, &kernel));
    expectKernel("after a restart of miniupnpd");

    ASSERT_EQ(scene->push(4608 * kMiB, 0), QString());
    ASSERT_NO_FATAL_FAILURE(readQuiet(device, &reading, &kernel));
    ASSERT_GT(kernel.received, 0xFFFFFFFFu);
    expectKernel("past 4 GiB");
    EXPECT_EQ(reading.bits, 64);

    // The environment's proxy variables reach Qt's sockets only through the
    // application's proxy (with the system's configuration in use): one proxy
    // the application names stands for both. One on the LAN host would
    // answer every request itself.
    const QUrl at(elsewhere.origin());
    QNetworkProxy::setApplicationProxy(
        QNetworkProxy(QNetworkProxy::HttpProxy, at.host(), quint16(at.port())));
    const Status status = inLan([&] { return readUpnpCounters(device, &reading); });
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    EXPECT_TRUE(status.ok()) << status.message().toStdString();
    EXPECT_EQ(elsewhere.requests(), 0);
}

} // namespace
} // namespace flowtally
