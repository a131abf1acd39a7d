#pragma once

#include <QString>
#include <QVariant>

namespace flowtally {

// IPv4 address numbers: unsigned 32 bits in host order, the first dotted
// octet in the most significant byte (192.168.1.1 is 0xC0A80101). 0 means
// no address; 0xFFFFFFFF is what unreadable text gives and is never taken
// for an address. Text reads exactly as the C library's inet_addr reads
// it: one to four parts, each decimal, octal (leading 0) or hexadecimal
// (leading 0x), the last part filling the remaining low-order bytes.

// The text's address number; 0xFFFFFFFF for text that is not an address.
quint32 inetNumber(const QString &text);
// The same, boxed: a QVariant holding a quint32.
QVariant inetNSNumber(const QString &text);

// True when the address lies in 192.168.0.0/16, 172.16.0.0/12, 10.0.0.0/8
// or 127.0.0.0/8. Safe on any thread.
bool isValidLocalIP(const QString &text);

// Dotted-decimal text of an address number, as inet_ntoa writes it.
QString addressWithInetNumber(quint32 number);
// The same for a boxed number (its unsigned 32-bit value).
QString addressWithInetNSNumber(const QVariant &number);

} // namespace flowtally
