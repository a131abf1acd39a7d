#pragma once

#include <QDateTime>

namespace flowtally {

// The reset date that means "not set yet". It must survive a round trip
// through the stored settings exactly, whose dates keep whole seconds within
// a limited range, so it is the Unix epoch rather than year 1.
inline QDateTime distantPast() {
    return QDateTime::fromSecsSinceEpoch(0, Qt::UTC);
}

} // namespace flowtally
