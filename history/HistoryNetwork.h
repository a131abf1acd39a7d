#pragma once

#include <QDateTime>
#include <QString>

namespace flowtally {

// A network the traffic history knows, for a report: its service identifier,
// the name to show for it (the router's name or the interface; empty until
// Flowtally gives one) and when bytes were last counted on it (invalid when
// never).
struct HistoryNetwork {
    QString network;
    QString name;
    QDateTime lastSeen;

    bool operator==(const HistoryNetwork &) const = default;
};

} // namespace flowtally
