#include "net/AccountdService.h"

#include "platform/system/Environment.h"

#include <QFile>

namespace flowtally {

namespace {

std::string socketPath() {
    const QString socket = Environment::current().accountdSocket();
    return socket.isEmpty() ? std::string(kAccountdDefaultSocket)
                            : QFile::encodeName(socket).toStdString();
}

} // namespace

AccountdReading askAccountd(std::chrono::milliseconds timeout) {
    return readAccountd(socketPath(), timeout);
}

void addApplicationCounters(TrafficSample &sample) {
    const CounterSource source = sourceOfSample(sample);
    if ((source != CounterSource::Local && source != CounterSource::LocalInternet) ||
        sample.contains(SampleKey::ApplicationCounters))
        return;
    const AccountdReading reading = askAccountd();
    if (reading.outcome == AccountdReading::Outcome::Counters)
        sample.insert(SampleKey::ApplicationCounters, QVariant::fromValue(reading.counters));
}

} // namespace flowtally
