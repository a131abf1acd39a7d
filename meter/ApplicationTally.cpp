#include "meter/ApplicationTally.h"

#include "net/AccountdService.h"

#include <algorithm>

namespace flowtally {

namespace {

// Gives the waiting bytes of one direction, at most `room` in all: each
// application the same share of what it waits with, when not all fit.
void give(QMap<QString, TrafficTotals> &waiting, quint64 TrafficTotals::*direction, quint64 room,
          QMap<QString, TrafficTotals> &given) {
    quint64 left = room;
    long double wanted = 0;
    for (const TrafficTotals &bytes : waiting)
        wanted += static_cast<long double>(bytes.*direction);
    for (auto application = waiting.begin(); application != waiting.end(); ++application) {
        quint64 &waits = application.value().*direction;
        // Rounded down, and never beyond what is left of the room.
        const quint64 share =
            std::min(left, wanted <= static_cast<long double>(room)
                               ? waits
                               : static_cast<quint64>(static_cast<long double>(waits) *
                                                      static_cast<long double>(room) / wanted));
        if (share == 0)
            continue;
        given[application.key()].*direction += share;
        waits -= share;
        left -= share;
    }
}

} // namespace

QMap<QString, TrafficTotals> ApplicationTally::count(const TrafficSample &sample,
                                                     const CounterGrowth &growth,
                                                     const QString &service,
                                                     const QDateTime &periodStart) {
    if (service != service_ || periodStart != periodStart_) {
        service_ = service;
        periodStart_ = periodStart;
        waiting_.clear();
    }
    const CounterSource source = sourceOfSample(sample);
    const bool computer = source == CounterSource::Local || source == CounterSource::LocalInternet;
    const QVariant counters = sample.value(SampleKey::ApplicationCounters);
    if ((computer || sample.contains(SampleKey::ComputerInterface)) &&
        counters.canConvert<AccountdCounters>()) {
        const ApplicationGrowth::Interface on =
            computer ? ApplicationGrowth::Interface{sample.value(SampleKey::KernelIndex).toUInt(),
                                                    sample.value(SampleKey::PrimaryInterface)
                                                        .toString()
                                                        .toStdString()}
                     : ApplicationGrowth::Interface{
                           0, sample.value(SampleKey::ComputerInterface).toString().toStdString()};
        const QMap<QString, ApplicationGrowth::Bytes> moved =
            growth_.count(counters.value<AccountdCounters>(), on, source != CounterSource::Local);
        if (growth.network.isEmpty()) {
            for (auto application = moved.cbegin(); application != moved.cend(); ++application) {
                TrafficTotals &waits = waiting_[application.key()];
                waits.in += application->in;
                waits.out += application->out;
            }
        }
    }
    QMap<QString, TrafficTotals> given;
    if (!growth.network.isEmpty())
        return given;
    give(waiting_, &TrafficTotals::in, growth.in, given);
    give(waiting_, &TrafficTotals::out, growth.out, given);
    waiting_.removeIf(
        [](const auto &application) { return application.value() == TrafficTotals{}; });
    return given;
}

} // namespace flowtally
