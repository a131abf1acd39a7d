#pragma once

#include "history/ApplicationBytes.h"
#include "history/TrafficTotals.h"

#include <QList>
#include <QString>

namespace flowtally {

// The keys of the rows that make a network's applications add up to its
// totals (named by applicationName()).
namespace RestKey {
// Behind a router: the bytes of the other devices on the network (and
// those of this computer that none of its applications was given).
inline const QString OtherDevices = QStringLiteral("rest:devices");
// On this computer's interface: frames no program sent (ARP, neighbour
// discovery) and what moved while flowtally-accountd did not count.
inline const QString NotPerApplication = QStringLiteral("rest:computer");
// Counted by the meter, and not written to the history yet: its writer
// follows the settings' writes.
inline const QString NotWritten = QStringLiteral("rest:unwritten");
} // namespace RestKey

// The applications of a network, then what they leave of its bytes: of the
// `written` ones (the history's, for the span of the applications' rows),
// what no application was given (OtherDevices `behindRouter`, else
// NotPerApplication), and of the `counted` ones (the meter's, for the same
// span) those not written yet (NotWritten). No row is below 0 and rows
// without bytes are left out: so the rows add up to `counted` in each
// direction wherever the applications' bytes are not more. Without
// applications (nothing was counted per application) there are no rows.
QList<ApplicationBytes> withRest(const QList<ApplicationBytes> &applications,
                                 const TrafficTotals &counted, const TrafficTotals &written,
                                 bool behindRouter);

} // namespace flowtally
