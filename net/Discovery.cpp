#include "net/Discovery.h"

#include "platform/system/DynamicStore.h"
#include "platform/system/Environment.h"
#include "WBLib/IsValidLocalIP.h"
#include "net/NetworkState.h"
#include "record/SettingsKeys.h"
#include "platform/system/SystemLog.h"
#include "platform/system/ToolPaths.h"
#include "platform/system/UserDefaults.h"

namespace flowtally {

namespace {

// This computer's own address, shown in the address field while there is
// no router, stands for a minute at most.
constexpr qint64 kOwnAddressSeconds = 60;

} // namespace

std::optional<QString> Discovery::ownAddressNow() {
    Environment &environment = Environment::current();
    // What the answer depends on: the network the store showed, the host
    // name and the tool.
    const QVariantMap network = primaryInterfacePlist().value_or(QVariantMap());
    QStringList askedFor{environment.hostName(), environment.toolPath(kArpTool)};
    for (auto entry = network.cbegin(); entry != network.cend(); ++entry)
        askedFor << entry.key() << entry.value().toString();
    const OwnAddress asking{askedFor.join(QChar(0)), environment.now(), {}};
    {
        std::lock_guard lock(ownAddressMutex_);
        if (ownAddress_ && ownAddress_->askedFor == asking.askedFor &&
            ownAddress_->at <= asking.at && ownAddress_->at.secsTo(asking.at) < kOwnAddressSeconds)
            return ownAddress_->address;
    }
    const std::optional<QString> address = primaryInterfaceIP();
    std::lock_guard lock(ownAddressMutex_);
    if (address)
        ownAddress_ = OwnAddress{asking.askedFor, asking.at, *address};
    else
        ownAddress_.reset();
    return address;
}

std::optional<QString> Discovery::routerIPAddress() {
    std::optional<QString> candidate =
        UserDefaults::standardUserDefaults().stringForKey(SettingsKey::AirportIP);
    if (!candidate)
        candidate = probablyHasRouter() ? primaryInterfaceRouterIP() : ownAddressNow();
    if (!candidate)
        return std::nullopt;
    if (!isValidLocalIP(*candidate) && !toldNotLocal_.exchange(true))
        systemLog(QStringLiteral("%1 is not a valid local IP address!").arg(*candidate));
    return candidate;
}

bool Discovery::probablyHasRouter() {
    if (checked_.exchange(true))
        return decision_;

    const std::optional<QString> interface = primaryInterface();
    const std::optional<QString> router = primaryInterfaceRouterIP();
    // A router outside the local ranges is never probed: the probe carries
    // the community. Any other probe goes out whatever the other tests say,
    // in the probe's rhythm: a router that does not answer is asked less
    // and less often, and at once again when anything the answer depends
    // on changed.
    const bool local = router && isValidLocalIP(*router);
    eligible_ = local && interface && isWiredOrWirelessInterface(*interface);
    if (local) {
        const std::optional<QString> typed =
            UserDefaults::standardUserDefaults().stringForKey(SettingsKey::AirportIP);
        const QString conditions =
            QStringList{primaryServiceUUID().value_or(QString()), *router,
                        typed.value_or(QString()), communityPassword().value_or(QString())}
                .join(QChar(0));
        const QDateTime now = Environment::current().now();
        if (rhythm_.isDue(conditions, now)) {
            std::unique_lock lock(trustMutex_);
            // Trusted: the router answered the last probe under the same
            // conditions, the tick's sample asks the same router, and the
            // probe owed by an earlier tick was settled.
            if (!owed_ && answered_ && trusted_ == conditions && (!typed || *typed == *router)) {
                owed_ = true;
                owedRouter_ = *router;
                owedConditions_ = conditions;
                owedAt_ = now;
            } else {
                owed_ = false;
                lock.unlock();
                probed(*router, conditions, probe_(*router), now);
            }
        }
    }
    decision_ = eligible_ && answered_;
    return decision_;
}

void Discovery::probed(const QString &router, const QString &conditions, const Answer &answer,
                       const QDateTime &now) {
    answered_ = answer.answers;
    {
        std::lock_guard lock(trustMutex_);
        trusted_ = answer.answers ? conditions : QString();
    }
    // The journal hears of a change, not of every probe.
    if (rhythm_.probed(answer.answers, now))
        systemLog(QStringLiteral("The router %1 %2")
                      .arg(router, answer.answers ? QStringLiteral("answers SNMP.")
                                   : answer.why.isEmpty()
                                       ? QStringLiteral("does not answer SNMP.")
                                       : QStringLiteral("does not answer SNMP: ") + answer.why));
}

bool Discovery::settleOwedProbe(const std::optional<Answer> &answer) {
    std::unique_lock lock(trustMutex_);
    if (!owed_)
        return decision_;
    owed_ = false;
    const QString router = owedRouter_, conditions = owedConditions_;
    const QDateTime at = owedAt_;
    lock.unlock();
    probed(router, conditions, answer ? *answer : probe_(router), at);
    decision_ = eligible_ && answered_;
    return decision_;
}

void Discovery::rearmRouterProbe() {
    rhythm_.rearm();
    {
        std::lock_guard lock(trustMutex_);
        trusted_.clear();
    }
    std::lock_guard lock(ownAddressMutex_);
    ownAddress_.reset();
}

void Discovery::reset() {
    rearmRouterProbe();
    checked_ = false;
    owed_ = false;
    decision_ = false;
    answered_ = false;
    toldNotLocal_ = false;
}

} // namespace flowtally
