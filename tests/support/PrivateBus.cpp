#include "PrivateBus.h"

#include <QStandardPaths>

namespace flowtally {

PrivateBus::PrivateBus(const QString &socketFolder) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    QStringList arguments{QStringLiteral("--session"), QStringLiteral("--nofork"),
                          QStringLiteral("--print-address=1")};
    if (!socketFolder.isEmpty())
        arguments.append(QStringLiteral("--address=unix:dir=") + socketFolder);
    if (program.isEmpty() ||
        !daemon_.start(program, arguments, ChildProcess::ErrorStream::Inherited).ok())
        return;
    // The address is the first line the daemon prints; the run's events end
    // at the tool timeout, when the daemon is killed.
    QByteArray printed;
    bool ended = false;
    daemon_.setReadHandler(ChildProcess::Stream::Output, [&](const QByteArray &chunk) {
        printed += chunk;
        ended = chunk.isEmpty();
        if (!ended && !printed.contains('\n'))
            daemon_.readInBackground(ChildProcess::Stream::Output);
    });
    daemon_.readInBackground(ChildProcess::Stream::Output);
    while (!ended && !printed.contains('\n') && !daemon_.timedOut() && daemon_.isRunning())
        daemon_.runEvents(ChildProcess::kLongestWait);
    daemon_.removeReadHandler(ChildProcess::Stream::Output);
    if (printed.contains('\n'))
        address_ = QString::fromUtf8(printed.left(printed.indexOf('\n')).trimmed());
}

PrivateBus::~PrivateBus() {
    for (const QString &name : names_)
        QDBusConnection::disconnectFromBus(name);
    // The daemon is killed and reaped as daemon_ goes.
}

QDBusConnection PrivateBus::connection(const QString &who) {
    names_.append(address_ + QLatin1Char('#') + who);
    return QDBusConnection::connectToBus(address_, names_.last());
}

} // namespace flowtally
