#pragma once

#include "history/HistoryStore.h"
#include "report/Report.h"
#include "platform/system/Status.h"

#include <QJsonObject>
#include <QStringList>

namespace flowtally {

// The bytes of each application per network, for --apps: read from the
// history, since the start of what the network's totals count (the period,
// within the cycle), each named from the desktop entries in `dataFolders`
// (ApplicationName.h), then what they leave of the network's bytes
// (withRest(): the other devices' behind a router), so that the rows add up
// to the network's. Reads only.
Status readApplications(HistoryStore &history, const QStringList &dataFolders, Report *report);

// An application's bytes as a share of the network's since the same start
// (of the cycle's, or without a cycle of the totals'), 0 to 1; 0 where the
// network counted none.
double applicationShare(const ApplicationBytes &bytes, const NetworkFigures &figures);

// A network's applications as text: one line each with its bytes received
// and sent and its share of the network's bytes.
QString applicationsText(const NetworkReport &network, Characters characters);

// A network's applications for the JSON report: "since" and the list
// "applications" of objects with "id", "name", "in", "out", "total" and
// "share" (of the network's bytes since then, 0 to 1).
QJsonObject applicationsJson(const NetworkReport &network);

} // namespace flowtally
