#pragma once

#include "platform/system/Status.h"

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <optional>

namespace flowtally {

// XML property lists read through libplist into typed values:
//   string → QString          integer → quint64     real → double
//   boolean → bool            date → QDateTime (UTC) data → QByteArray
//   dict → QVariantMap        array → QVariantList
// libplist knows only unsigned 64-bit integers, so a negative integer in a
// file reads as its two's complement (-1 reads as 2^64 − 1); callers that
// keep signed values convert back themselves.
//
// Refused, with the reason in the Status and no value handed out:
// - binary lists. Flowtally writes and ships XML only, and libplist's binary
//   reader builds a separate copy for every reference to an object, so a
//   binary list of a few hundred bytes can stand for billions of values;
// - text holding a NUL byte, which XML allows nowhere and which libplist
//   would pass on in a string that its own accessors then assert on;
// - arrays and dictionaries nested deeper than kPropertyListDepthLimit:
//   libplist frees its trees recursively, and the conversion descends them
//   recursively too, so a deep enough file would overflow the stack;
// - text libplist cannot read, and a value of a kind Flowtally does not keep.

inline constexpr int kPropertyListDepthLimit = 100;

// Any property list, whatever its root.
Status propertyListFromData(const QByteArray &data, QVariant *value);

// A property list whose root is a dictionary.
Status dictionaryFromData(const QByteArray &data, QVariantMap *dictionary);
// The same for a file's contents; no value when it cannot be opened or read.
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

// Whether xmlData() can write the value, without writing it.
bool hasPropertyListForm(const QVariant &value);

} // namespace flowtally
