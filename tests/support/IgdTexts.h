#pragma once

// What routers' UPnP sides say, as the tests of the client give it: SSDP
// answers, descriptions, SOAP answers and faults in the shapes miniupnpd
// and AVM's Fritz!Box use.
#include <QByteArray>
#include <QList>
#include <QPair>

namespace flowtally::igd {

inline const QByteArray kCounters = "urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1";
inline const QByteArray kIpConnection = "urn:schemas-upnp-org:service:WANIPConnection:1";
inline const QByteArray kPppConnection = "urn:schemas-upnp-org:service:WANPPPConnection:1";

inline QByteArray
ssdpAnswer(const QByteArray &location,
           const QByteArray &target = "urn:schemas-upnp-org:device:InternetGatewayDevice:1") {
    return "HTTP/1.1 200 OK\r\nCACHE-CONTROL: max-age=120\r\nST: " + target +
           "\r\nUSN: uuid:igd::" + target +
           "\r\nEXT:\r\nSERVER: Linux UPnP/1.1 Test/1\r\n"
           "LOCATION: " +
           location + "\r\n\r\n";
}

inline QByteArray service(const QByteArray &type, const QByteArray &control) {
    return "<service><serviceType>" + type +
           "</serviceType><serviceId>urn:upnp-org:serviceId:x"
           "</serviceId><SCPDURL>/x.xml</SCPDURL><controlURL>" +
           control + "</controlURL><eventSubURL>/evt</eventSubURL></service>";
}

// A gateway as routers describe it: the root device, a WANDevice with the
// counters' service and, inside it, a WANConnectionDevice with the
// connection services; URLBase where one is given.
inline QByteArray description(const QByteArray &countersControl,
                              const QByteArray &connectionServices,
                              const QByteArray &urlBase = QByteArray(),
                              const QByteArray &prolog = "<?xml version=\"1.0\"?>\n") {
    return prolog +
           "<root xmlns=\"urn:schemas-upnp-org:device-1-0\"><specVersion><major>1</major>"
           "<minor>0</minor></specVersion>" +
           (urlBase.isEmpty() ? QByteArray() : "<URLBase>" + urlBase + "</URLBase>") +
           "<device><deviceType>urn:schemas-upnp-org:device:InternetGatewayDevice:1</deviceType>"
           "<friendlyName>FRITZ!Box 7590</friendlyName><manufacturer>AVM</manufacturer>"
           "<modelName>FRITZ!Box 7590</modelName><UDN>uuid:75802409-bccb-40e7-8e6c-"
           "3431C4F8D1E1</UDN><serviceList>" +
           service("urn:schemas-upnp-org:service:Layer3Forwarding:1", "/igdupnp/control/L3F") +
           "</serviceList><deviceList><device><deviceType>urn:schemas-upnp-org:device:WANDevice:1"
           "</deviceType><friendlyName>WANDevice - FRITZ!Box 7590</friendlyName><UDN>uuid:"
           "76802409-bccb-40e7-8e6b</UDN><serviceList>" +
           service(kCounters, countersControl) +
           "</serviceList><deviceList><device><deviceType>urn:schemas-upnp-org:device:"
           "WANConnectionDevice:1</deviceType><UDN>uuid:76802409-bccb-40e7-8e6c</UDN>"
           "<serviceList>" +
           connectionServices +
           "</serviceList></device></deviceList></device></deviceList>"
           "</device></root>\n";
}

inline QByteArray envelope(const QByteArray &body) {
    return "<?xml version=\"1.0\"?>\n<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/"
           "envelope/\" s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"><s:Body>" +
           body + "</s:Body></s:Envelope>\n";
}

using Arguments = QList<QPair<QByteArray, QByteArray>>;

inline QByteArray soapAnswer(const QByteArray &action, const Arguments &arguments,
                             const QByteArray &serviceType = kCounters) {
    QByteArray inside;
    for (const auto &[name, value] : arguments)
        inside += '<' + name + '>' + value + "</" + name + '>';
    return envelope("<u:" + action + "Response xmlns:u=\"" + serviceType + "\">" + inside +
                    "</u:" + action + "Response>");
}

inline QByteArray soapFault(int code, const QByteArray &description) {
    return envelope("<s:Fault><faultcode>s:Client</faultcode><faultstring>UPnPError"
                    "</faultstring><detail><UPnPError xmlns=\"urn:schemas-upnp-org:control-1-0\">"
                    "<errorCode>" +
                    QByteArray::number(code) + "</errorCode><errorDescription>" + description +
                    "</errorDescription></UPnPError></detail></s:Fault>");
}

// AVM's answer to GetAddonInfos: both counters in 32 bits (they wrap) and
// in 64, among the rest of what it tells.
inline QByteArray addonInfos(quint64 sent, quint64 received, bool wide = true) {
    Arguments arguments{{"NewByteSendRate", "1201"},
                        {"NewByteReceiveRate", "33012"},
                        {"NewPacketSendRate", "12"},
                        {"NewPacketReceiveRate", "30"},
                        {"NewTotalBytesSent", QByteArray::number(sent & 0xFFFFFFFFu)},
                        {"NewTotalBytesReceived", QByteArray::number(received & 0xFFFFFFFFu)},
                        {"NewAutoDisconnectTime", "0"},
                        {"NewIdleDisconnectTime", "1"},
                        {"NewDNSServer1", "192.0.2.53"}};
    if (wide)
        arguments += {{"NewX_AVM_DE_TotalBytesSent64", QByteArray::number(sent)},
                      {"NewX_AVM_DE_TotalBytesReceived64", QByteArray::number(received)},
                      {"NewX_AVM_DE_WANAccessType", "DSL"}};
    return soapAnswer("GetAddonInfos", arguments);
}

inline QByteArray statusInfo(quint64 uptime, const QByteArray &status = "Connected",
                             const QByteArray &serviceType = kIpConnection) {
    return soapAnswer("GetStatusInfo",
                      {{"NewConnectionStatus", status},
                       {"NewLastConnectionError", "ERROR_NONE"},
                       {"NewUptime", QByteArray::number(uptime)}},
                      serviceType);
}

} // namespace flowtally::igd
