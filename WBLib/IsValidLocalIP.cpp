#include "WBLib/IsValidLocalIP.h"

#include "platform/text/Numbers.h"

#include <arpa/inet.h>
#include <netinet/in.h>

namespace flowtally {

namespace {

constexpr quint32 kNotAnAddress = 0xFFFFFFFF;

constexpr quint32 OneNineTwoBlockMask = 0xFFFF0000;
constexpr quint32 oneSevenTwoBlockMask = 0xFFF00000;
constexpr quint32 tenBlockMask = 0xFF000000;
constexpr quint32 oneTwoSevenBlockMask = 0xFF000000;

// The local blocks, read from their texts once per process.
struct LocalBlocks {
    quint32 tenBlock = inetNumber(QStringLiteral("10.0.0.0"));
    quint32 oneSevenTwoBlock = inetNumber(QStringLiteral("172.16.0.0"));
    quint32 OneNineTwoBlock = inetNumber(QStringLiteral("192.168.0.0"));
    quint32 oneTwoSevenBlock = inetNumber(QStringLiteral("127.0.0.0"));
};

const LocalBlocks &localBlocks() {
    static const LocalBlocks blocks; // initialised once, even when threads meet here
    return blocks;
}

} // namespace

quint32 inetNumber(const QString &text) {
    // inet_addr would stop at a NUL and accept what comes before it.
    if (text.contains(QChar(u'\0')))
        return kNotAnAddress;
    return ntohl(inet_addr(text.toUtf8().constData()));
}

QVariant inetNSNumber(const QString &text) {
    return QVariant::fromValue(inetNumber(text));
}

bool isValidLocalIP(const QString &text) {
    const quint32 n = inetNumber(text);
    const LocalBlocks &blocks = localBlocks();
    return (n & OneNineTwoBlockMask) == blocks.OneNineTwoBlock ||
           (n & oneSevenTwoBlockMask) == blocks.oneSevenTwoBlock ||
           (n & tenBlockMask) == blocks.tenBlock ||
           (n & oneTwoSevenBlockMask) == blocks.oneTwoSevenBlock;
}

QString addressWithInetNumber(quint32 number) {
    in_addr address{};
    address.s_addr = htonl(number);
    // inet_ntoa answers in a buffer of its own that the next call reuses:
    // copy the text out at once.
    return QString::fromLatin1(inet_ntoa(address));
}

QString addressWithInetNSNumber(const QVariant &number) {
    return addressWithInetNumber(unsignedIntValueOf(number));
}

} // namespace flowtally
