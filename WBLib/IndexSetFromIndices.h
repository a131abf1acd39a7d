#pragma once

#include "platform/text/IndexSet.h"

#include <QString>
#include <QVariantList>

#include <cstdint>

namespace flowtally {

// Index sets built from lists of numbers. Indices are unsigned: negative
// values have no index and are left out.

// The `count` values of the array.
IndexSet indexSetFromCArray(const int32_t *values, uint32_t count);

// Every maximal run of decimal digits in the text is one index; every other
// character only separates numbers, so "1-3" gives 1 and 3 and "-5" gives 5.
// A run too long for 64 bits gives the largest signed 64-bit value.
IndexSet indexSetFromStringList(const QString &list);

// The integer value of each number or text (a text by its leading integer,
// 0 when it has none).
IndexSet indexSetFromArray(const QVariantList &objects);

} // namespace flowtally
