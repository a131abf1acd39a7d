#include "net/InternetSource.h"

#include "net/AccountdService.h"
#include "net/StatusTexts.h"
#include "platform/system/SystemLog.h"

namespace flowtally {

SourceOutcome InternetSource::read() {
    SourceOutcome outcome = interface_.read();
    if (!outcome.sample)
        return outcome;
    TrafficSample &sample = *outcome.sample;
    const QString interface = sample.value(SampleKey::PrimaryInterface).toString();
    const AccountdReading reading = askAccountd();
    if (reading.outcome != AccountdReading::Outcome::Counters) {
        bool tell = false;
        {
            std::lock_guard lock(toldMutex_);
            tell = !toldFallback_;
            toldFallback_ = true;
        }
        if (tell)
            systemLog(QStringLiteral("Counting all traffic on %1, not only the Internet's: %2")
                          .arg(interface, QString::fromStdString(reading.error)));
        status_(StatusText::AllTrafficCounted);
        return outcome;
    }
    {
        std::lock_guard lock(toldMutex_);
        toldFallback_ = false;
    }

    // The interface by its kernel index, which a rename keeps; by its name
    // where the listing tells no index.
    const quint32 index = sample.value(SampleKey::KernelIndex).toUInt();
    const std::string name = interface.toStdString();
    quint64 in = 0, out = 0;
    for (const AccountdCounter &total : reading.counters.totals) {
        const bool ofInterface = index != 0 ? total.ifindex == index : total.interface == name;
        if (!ofInterface || total.peer != AccountdPeer::Internet)
            continue;
        (total.direction == AccountdDirection::In ? in : out) += total.bytes;
    }
    sample.insert(SampleKey::InTraffic, in);
    sample.insert(SampleKey::OutTraffic, out);
    sample.insert(SampleKey::BootID, QString::fromStdString(reading.counters.startId));
    sample.insert(SampleKey::CounterSourceName, counterSourceName(CounterSource::LocalInternet));
    sample.insert(SampleKey::ApplicationCounters, QVariant::fromValue(reading.counters));
    return outcome;
}

void InternetSource::retellFaults() {
    std::lock_guard lock(toldMutex_);
    toldFallback_ = false;
}

} // namespace flowtally
