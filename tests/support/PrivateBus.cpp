#include "PrivateBus.h"

namespace flowtally {

PrivateBus::PrivateBus() {
    daemon_.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--session"), QStringLiteral("--nofork"),
                   QStringLiteral("--print-address=1")});
    if (daemon_.waitForReadyRead(10000))
        address_ = QString::fromUtf8(daemon_.readLine().trimmed());
}

PrivateBus::~PrivateBus() {
    for (const QString &name : names_)
        QDBusConnection::disconnectFromBus(name);
    daemon_.kill();
    daemon_.waitForFinished(10000);
}

QDBusConnection PrivateBus::connection(const QString &who) {
    names_.append(address_ + QLatin1Char('#') + who);
    return QDBusConnection::connectToBus(address_, names_.last());
}

} // namespace flowtally
