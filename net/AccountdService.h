#pragma once

#include "accountd/client/AccountdClient.h"
#include "net/TrafficSample.h"

#include <QMetaType>

#include <chrono>

namespace flowtally {

// Flowtally's questions to flowtally-accountd, at the socket the
// environment names (Environment::accountdSocket()).

// The service's counters for this user: its answer, or why there is none.
// Blocks at most `timeout`: never on the main thread.
AccountdReading askAccountd(std::chrono::milliseconds timeout = std::chrono::milliseconds(1000));

namespace SampleKey {
// flowtally-accountd's counters (AccountdCounters) read with a sample of this
// computer's interface, where the service answered.
inline const QString ApplicationCounters = QStringLiteral("ApplicationCounters");
} // namespace SampleKey

// Puts the service's counters into a sample of this computer's interface
// that lacks them, when the service answers; leaves any other sample as it
// is. Asks the service: never on the main thread.
void addApplicationCounters(TrafficSample &sample);

} // namespace flowtally

Q_DECLARE_METATYPE(flowtally::AccountdCounters)
