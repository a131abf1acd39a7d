#pragma once

// What the charts' tests share: byte sizes, a table's column as shown, the
// desktops' palettes, pictures compared with a chart made anew, and the
// history tests' times, zones and networks.
#include "tests/charts/Palettes.h"
#include "tests/charts/RedrawnLikeNew.h"
#include "tests/history/HistoryFixture.h"
#include "tests/support/TextPrinting.h"

#include <QAbstractItemView>
#include <QStringList>

namespace flowtally {

inline constexpr quint64 kK = 1024;
inline constexpr quint64 kM = kK * 1024;
inline constexpr quint64 kG = kM * 1024;

// A column of a table as shown, top to bottom.
inline QStringList shownColumn(const QAbstractItemView &table, int column) {
    QStringList texts;
    for (int row = 0; row < table.model()->rowCount(); ++row)
        texts.append(table.model()->index(row, column).data().toString());
    return texts;
}

} // namespace flowtally
