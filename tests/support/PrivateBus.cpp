#include "tests/support/PrivateBus.h"

#include <QStandardPaths>

namespace flowtally {

PrivateBus::PrivateBus(const QString &socketFolder) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    QStringList arguments{QStringLiteral("--session"), QStringLiteral("--nofork"),
                          QStringLiteral("--print-address=1")};
    if (!socketFolder.isEmpty())
        arguments.append(QStringLiteral("--address=unix:dir=") + socketFolder);
    if (program.isEmpty() ||
        !daemon_.start({.path = program, .arguments = arguments}).ok())
        return;
    // The address is the first line the daemon prints; the run's events end
    // at the tool timeout, when the daemon is killed.
    QByteArray printed;
    while (!printed.contains('\n') && daemon_.isOpen(ProgramRun::Stream::Output) &&
           !daemon_.timedOut() && daemon_.isRunning())
        daemon_.runEvents(ProgramRun::kLongestWait,
                          [&](ProgramRun::Stream, const QByteArray &chunk) { printed += chunk; });
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
