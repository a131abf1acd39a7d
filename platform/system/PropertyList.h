#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <optional>

namespace flowtally {

// Property lists (XML or binary) read through libplist into typed values:
//   string → QString          integer → quint64     real → double
//   boolean → bool            date → QDateTime (UTC) data → QByteArray
//   dict → QVariantMap        array → QVariantList
// libplist knows only unsigned 64-bit integers, so a negative integer in a
// file reads as its two's complement (-1 reads as 2^64 − 1); callers that
// keep signed values convert back themselves.
//
// Unreadable input, or a root of the wrong kind, gives no value.

// Any property list, whatever its root.
std::optional<QVariant> propertyListFromData(const QByteArray &data);

// A property list whose root is a dictionary.
std::optional<QVariantMap> dictionaryFromData(const QByteArray &data);
std::optional<QVariantMap> dictionaryWithContentsOfFile(const QString &path);

// The dictionary as an XML property list. Values may be QString, bool, any
// integer type (signed ones are written as their two's complement, so
// unsigned 64-bit values round-trip exactly), float/double, QDateTime,
// QByteArray, QVariantMap, QVariantList and QStringList, nested freely.
// Dates keep whole seconds only (XML has no finer form; the fraction is
// dropped) and are clamped to what libplist can hold: 2001-01-01 ± 2^31
// seconds (December 1932 to January 2069).
// Gives an empty array when a value has no property-list form (an invalid
// QVariant, an invalid date, any other type); nothing is written then.
QByteArray xmlData(const QVariantMap &dictionary);

} // namespace flowtally
