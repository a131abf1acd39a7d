// The readers of what routers' UPnP sides send: HTTP replies, SSDP answers,
// descriptions and SOAP answers.
#include "net/upnp/UpnpReplies.h"
#include "net/upnp/HttpReply.h"
#include "tests/support/IgdTexts.h"

#include <gtest/gtest.h>

namespace flowtally {
namespace {

using namespace igd;

const QUrl kLocation(QStringLiteral("http://192.168.178.1:49000/igddesc.xml"));
const QByteArray kConnections = service(kIpConnection, "/igdupnp/control/WANIPConn1");

using State = HttpReply::State;
const QByteArray kHead = "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\n";
const QByteArray kChunked = kHead + "Transfer-Encoding: chunked\r\n\r\n";

TEST(HttpReply, FramesTheBodyByLengthChunksOrTheEnd) {
    const QByteArray limit(64 * 1024, 'x');
    // clang-format off
    const struct { const char *what; QByteArray received; bool closed; State state; QByteArray body = {}; int status = 200; } cases[] = {
        {"length", kHead + "Content-Length: 5\r\n\r\nhello", false, State::Complete, "hello"},
        {"length, more after it", kHead + "Content-Length: 2\r\n\r\nhello", false, State::Complete, "he"},
        {"length, part of the body", kHead + "Content-Length: 5\r\n\r\nhel", false, State::Incomplete},
        {"length, closed inside the body", kHead + "Content-Length: 5\r\n\r\nhel", true, State::Failed},
        {"LF line ends", "HTTP/1.0 500 Internal\nContent-Length: 2\n\nno", false, State::Complete, "no", 500},
        {"chunks", kChunked + "5\r\nhello\r\n6;x=1\r\n world\r\n0\r\n\r\n", false, State::Complete, "hello world"},
        {"chunks with a trailer", kHead + "Transfer-Encoding: Chunked\r\n\r\n2\r\nab\r\n0\r\nX-Trailer: 1\r\n\r\n", false,
         State::Complete, "ab"},
        {"chunks, the last one not yet", kChunked + "2\r\nab\r\n", false, State::Incomplete},
        {"chunks, closed after the last", kChunked + "2\r\nab\r\n0\r\n", true, State::Complete, "ab"},
        {"chunks, closed inside", kChunked + "5\r\nab", true, State::Failed},
        {"a chunk longer than it says", kChunked + "1\r\nab\r\n0\r\n\r\n", false, State::Failed},
        {"a chunk size not hex", kChunked + "zz\r\nab\r\n", false, State::Failed},
        {"to the end, still open", kHead + "\r\nhello", false, State::Incomplete},
        {"to the end, closed", kHead + "\r\nhello", true, State::Complete, "hello"},
        {"interim reply first", "HTTP/1.1 100 Continue\r\n\r\n" + kHead + "Content-Length: 1\r\n\r\nx", false,
         State::Complete, "x"},
        {"no content", "HTTP/1.1 204 No Content\r\n\r\n", false, State::Complete, "", 204},
        {"64 KiB by length", kHead + "Content-Length: 65536\r\n\r\n" + limit, false, State::Complete, limit},
        {"64 KiB + 1 by length, before it comes", kHead + "Content-Length: 65537\r\n\r\n", false, State::Failed},
        {"64 KiB + 1 to the end", kHead + "\r\n" + limit + "x", false, State::Failed},
        {"64 KiB + 1 in chunks", kChunked + "10000\r\n" + limit + "\r\n1\r\nx\r\n0\r\n\r\n", false, State::Failed},
        {"two lengths", kHead + "Content-Length: 1\r\nContent-Length: 2\r\n\r\nab", false, State::Failed},
        {"a length not a number", kHead + "Content-Length: -1\r\n\r\n", false, State::Failed},
        {"a length over any limit", kHead + "Content-Length: 99999999999999999999\r\n\r\n", false, State::Failed},
        {"another coding", kHead + "Transfer-Encoding: gzip\r\n\r\n", false, State::Failed},
        {"not HTTP", "SSH-2.0-OpenSSH\r\n\r\n", false, State::Failed},
        {"a status not three digits", "HTTP/1.1 20 OK\r\n\r\n", true, State::Failed},
        {"a status below 100", "HTTP/1.1 050 OK\r\n\r\n", true, State::Failed},
        {"a folded header line", kHead + " folded\r\n\r\n", true, State::Failed},
        {"nothing, closed", "", true, State::Failed},
        {"header lines without end", kHead + QByteArray(9000, 'h'), false, State::Failed},
    };
    // clang-format on
    for (const auto &c : cases) {
        const HttpReply reply = readHttpReply(c.received, c.closed);
        EXPECT_EQ(reply.state, c.state) << c.what << ": " << reply.failure.toStdString();
        if (c.state == State::Complete) {
            EXPECT_EQ(reply.body, c.body) << c.what;
            EXPECT_EQ(reply.status, c.status) << c.what;
        } else if (c.state == State::Failed) {
            EXPECT_FALSE(reply.failure.isEmpty()) << c.what;
        }
    }
    // A reply that comes byte by byte is incomplete until its last byte.
    const QByteArray whole = kChunked + "3\r\nabc\r\n2\r\nde\r\n0\r\n\r\n";
    for (qsizetype size = 0; size < whole.size(); ++size)
        ASSERT_EQ(readHttpReply(whole.left(size), false).state, State::Incomplete) << size;
    EXPECT_EQ(readHttpReply(whole, false).body, "abcde");
}

TEST(SsdpAnswers, GiveTheLocationSearchedFollowedOnlyToTheLocalAddressThatAnswered) {
    SsdpAnswer answer;
    ASSERT_TRUE(readSsdpAnswer(ssdpAnswer("http://10.0.0.1:5000/rootDesc.xml"), &answer).ok());
    EXPECT_EQ(answer.location, QUrl("http://10.0.0.1:5000/rootDesc.xml"));
    EXPECT_EQ(answer.searchTarget, "urn:schemas-upnp-org:device:InternetGatewayDevice:1");
    EXPECT_TRUE(answer.usn.startsWith("uuid:igd::"));
    // Header names in any case, LF line ends.
    ASSERT_TRUE(
        readSsdpAnswer("HTTP/1.1 200 OK\nst: urn:x\nLocation:http://10.0.0.1/d.xml\n\n", &answer)
            .ok());
    EXPECT_EQ(answer.location, QUrl("http://10.0.0.1/d.xml"));

    for (const QByteArray &refused :
         {QByteArray("NOTIFY * HTTP/1.1\r\nLOCATION: http://10.0.0.1/d.xml\r\nST: x\r\n\r\n"),
          QByteArray("HTTP/1.1 404 Not Found\r\nLOCATION: http://10.0.0.1/d.xml\r\nST: x\r\n"),
          ssdpAnswer("/rootDesc.xml"), ssdpAnswer("https://10.0.0.1/d.xml"),
          ssdpAnswer("file:///etc/passwd"), ssdpAnswer(""),
          QByteArray("HTTP/1.1 200 OK\r\nLOCATION: http://10.0.0.1/d.xml\r\n\r\n"),
          QByteArray(64 * 1024 + 1, 'x')})
        EXPECT_FALSE(readSsdpAnswer(refused, &answer).ok()) << refused.left(60).toStdString();

    // Followed only to the local address that answered.
    const QUrl local("http://192.168.1.1:5000/d.xml");
    EXPECT_TRUE(followableLocation(local, "192.168.1.1", "").ok());
    EXPECT_TRUE(followableLocation(QUrl("http://127.0.0.1:80/d.xml"), "127.0.0.1", "").ok());
    // Elsewhere than the address that answered.
    EXPECT_FALSE(followableLocation(local, "192.168.1.2", "").ok());
    EXPECT_FALSE(followableLocation(QUrl("http://router.lan:5000/d.xml"), "192.168.1.1", "").ok());
    EXPECT_FALSE(followableLocation(QUrl("http://x@192.168.1.1/d.xml"), "192.168.1.1", "").ok());
    // A public address, unless it is the one the person typed.
    const QUrl outside("http://8.8.8.8/d.xml");
    EXPECT_FALSE(followableLocation(outside, "8.8.8.8", "").ok());
    EXPECT_FALSE(followableLocation(QUrl("http://169.254.1.1/d.xml"), "169.254.1.1", "").ok());
    EXPECT_TRUE(followableLocation(outside, "8.8.8.8", "8.8.8.8").ok());
    EXPECT_FALSE(followableLocation(outside, "8.8.8.8", "8.8.4.4").ok());
}

TEST(Descriptions, ResolveControlUrlsAtTheAnsweringHostOnlyAndRefuseWhatTheyDoNotKnow) {
    // An empty `resolved`: refused.
    // clang-format off
    const struct { const char *what; QByteArray control, urlBase; QString resolved; } cases[] = {
        {"relative to the description", "ctl/cmn", "", "http://192.168.178.1:49000/ctl/cmn"},
        {"absolute at the same host", "http://192.168.178.1:49000/ctl", "", "http://192.168.178.1:49000/ctl"},
        {"relative to URLBase", "/ctl", "http://192.168.178.1:49000/base/", "http://192.168.178.1:49000/ctl"},
        {"URLBase at another port", "/ctl", "http://192.168.178.1/", ""},
        {"another host", "http://192.168.178.2:49000/ctl", "", ""},
        {"another port", "http://192.168.178.1:8080/ctl", "", ""},
        {"a network-path reference", "//10.0.0.9:49000/ctl", "", ""},
        {"user information", "http://x@192.168.178.1:49000/ctl", "", ""},
        {"https", "https://192.168.178.1:49000/ctl", "", ""},
        {"URLBase at another host", "/ctl", "http://10.0.0.9:49000/", ""},
        {"no control URL", "", "", ""},
    };
    // clang-format on
    for (const auto &c : cases) {
        DeviceDescription read;
        const Status status = readDeviceDescription(description(c.control, kConnections, c.urlBase),
                                                    kLocation, &read);
        if (c.resolved.isEmpty()) {
            EXPECT_FALSE(status.ok())
                << c.what << ": " << read.counters.control.toString().toStdString();
        } else {
            ASSERT_TRUE(status.ok()) << c.what << ": " << status.message().toStdString();
            EXPECT_EQ(read.counters.control, QUrl(c.resolved)) << c.what;
        }
    }

    // Document types, sizes and shapes they do not know are refused.
    DeviceDescription read;
    const QByteArray fine = description("/ctl", kConnections);
    ASSERT_TRUE(readDeviceDescription(fine, kLocation, &read).ok());

    const QByteArray entity = "<?xml version=\"1.0\"?>\n<!DOCTYPE root [<!ENTITY n \"Evil\">]>\n";
    QByteArray withEntity = description("/ctl", kConnections, "", entity);
    withEntity.replace("FRITZ!Box 7590</friendlyName>", "&n;</friendlyName>");
    // Padding in a comment brings the description to 64 KiB and one byte.
    QByteArray large = fine;
    large.insert(large.indexOf("<root"),
                 "<!--" + QByteArray(64 * 1024 - fine.size() - 6, ' ') + "-->");
    ASSERT_EQ(large.size(), 64 * 1024 + 1);
    const QByteArray deep = "<root><device><UDN>uuid:x</UDN>" +
                            QByteArray("<deviceList><device>").repeated(12) + "<serviceList>" +
                            service(kCounters, "/ctl") + "</serviceList>" +
                            QByteArray("</device></deviceList>").repeated(12) + "</device></root>";
    QByteArray noUdn = fine;
    noUdn.replace("<UDN>uuid:75802409", "<X>").replace("D1E1</UDN>", "</X>");
    QByteArray noCounters = fine;
    noCounters.replace(kCounters, "urn:schemas-upnp-org:service:WANCommonInterfaceConfig:x");

    const std::vector<std::pair<const char *, QByteArray>> refused = {
        {"an entity of a DTD", withEntity},
        {"a DTD alone", "<!DOCTYPE root SYSTEM \"http://10.0.0.9/x.dtd\">\n" + fine.mid(22)},
        {"64 KiB + 1", large},
        {"devices nested too deep", deep},
        {"no UDN", noUdn},
        {"no counters service", noCounters},
        {"not closed", fine.left(fine.size() - 10)},
        {"another root", "<html><device/></html>"},
        {"an undeclared entity", QByteArray(fine).replace("AVM", "&avm;")},
        {"an element inside the UDN", QByteArray(fine).replace("D1E1</UDN>", "<b/></UDN>")},
        {"a connection service at another host",
         description("/ctl", service(kIpConnection, "http://10.0.0.9/c"))},
    };
    for (const auto &[what, text] : refused) {
        const Status status = readDeviceDescription(text, kLocation, &read);
        EXPECT_FALSE(status.ok()) << what;
    }
}

TEST(SoapAnswers, GiveTheFaultRefuseWhatIsMalformedAndCountWholeNumbersOnly) {
    // The arguments as read: UpnpClient's readings and UpnpSource's
    // GoodReadingIsASampleOfTheCountersTheMeterKnows.
    const SoapAnswer answer = readSoapAnswer(soapFault(401, "Invalid Action"), "GetAddonInfos");
    EXPECT_EQ(answer.kind, SoapAnswer::Kind::Fault);
    EXPECT_EQ(answer.failure, "SOAP fault 401 Invalid Action");

    const QByteArray sent = soapAnswer("GetTotalBytesSent", {{"NewTotalBytesSent", "1"}});
    const std::vector<std::pair<const char *, QByteArray>> malformed = {
        {"another action's answer", sent},
        {"an argument with an element inside",
         soapAnswer("GetTotalBytesReceived", {{"NewTotalBytesReceived", "<b>1</b>"}})},
        {"an argument twice",
         soapAnswer("GetTotalBytesReceived",
                    {{"NewTotalBytesReceived", "1"}, {"NewTotalBytesReceived", "2"}})},
        {"an entity of a DTD",
         "<!DOCTYPE s:Envelope [<!ENTITY n \"4294967296\">]>" +
             soapAnswer("GetTotalBytesReceived", {{"NewTotalBytesReceived", "&n;"}}).mid(22)},
        {"an empty body", envelope("")},
        {"no body", "<s:Envelope xmlns:s=\"x\"></s:Envelope>"},
        {"not XML", "{\"NewTotalBytesReceived\": 1}"},
        {"over 64 KiB", soapAnswer("GetTotalBytesReceived",
                                   {{"NewTotalBytesReceived", QByteArray(64 * 1024, '1')}})},
    };
    for (const auto &[what, text] : malformed)
        EXPECT_EQ(readSoapAnswer(text, "GetTotalBytesReceived").kind, SoapAnswer::Kind::Malformed)
            << what;

    // Counts are whole unsigned numbers only.
    EXPECT_EQ(unsignedArgument("0"), 0u);
    EXPECT_EQ(unsignedArgument("4294967295"), 4294967295u);
    EXPECT_EQ(unsignedArgument("4581727708"), 4581727708u);
    EXPECT_EQ(unsignedArgument(" 18446744073709551615\n"), 18446744073709551615u);
    EXPECT_EQ(unsignedArgument("000042"), 42u);
    for (const char *refused : {"", " ", "-1", "+1", "1.5", "1e9", "0x10", "12 34", "ten",
                                "18446744073709551616", "99999999999999999999999"})
        EXPECT_FALSE(unsignedArgument(refused).has_value()) << refused;
}

} // namespace
} // namespace flowtally
