#include "TestNetwork.h"

#include <QCoreApplication>
#include <QStandardPaths>

#include <unistd.h>

namespace {

const QString kIp = QStringLiteral("ip");

} // namespace

TestNetwork::TestNetwork()
    : host_(QStringLiteral("ft-tools-%1-host").arg(QCoreApplication::applicationPid())),
      router_(QStringLiteral("ft-tools-%1-router").arg(QCoreApplication::applicationPid())) {
    if (geteuid() != 0) {
        unavailableReason_ = QStringLiteral("network namespaces need root");
        return;
    }
    if (QStandardPaths::findExecutable(kIp).isEmpty()) {
        unavailableReason_ = QStringLiteral("the ip tool is missing");
        return;
    }
    const QStringList steps[] = {
        {"netns", "add", host_},
        {"netns", "add", router_},
        {"-n", host_, "link", "add", "ft0", "address", "02:00:5e:77:00:02", "mtu", "1400", "type",
         "veth", "peer", "name", "ft1", "netns", router_, "address", "02:00:5e:77:00:01"},
        {"-n", host_, "address", "add", "10.77.0.2/24", "dev", "ft0"},
        {"-n", router_, "address", "add", "10.77.0.1/24", "dev", "ft1"},
        {"-n", host_, "link", "set", "ft0", "up"},
        {"-n", router_, "link", "set", "ft1", "up"},
        {"-n", host_, "route", "add", "default", "via", "10.77.0.1", "dev", "ft0"},
        {"-n", host_, "neigh", "replace", "10.77.0.1", "lladdr", "02:00:5e:77:00:01", "dev", "ft0",
         "nud", "permanent"},
    };
    for (const QStringList &arguments : steps) {
        if (!step(arguments))
            return;
    }
}

TestNetwork::~TestNetwork() {
    // Deleting a namespace also deletes the veth pair.
    runCommand(kIp, {"netns", "delete", host_});
    runCommand(kIp, {"netns", "delete", router_});
}

bool TestNetwork::step(const QStringList &ipArguments) {
    const CommandResult result = runCommand(kIp, ipArguments);
    if (result.finished && result.exitCode == 0)
        return true;
    unavailableReason_ =
        QStringLiteral("ip %1 failed: %2").arg(ipArguments.join(' '), result.error);
    return false;
}

CommandResult TestNetwork::run(const QString &program, const QStringList &arguments) const {
    return runCommand(kIp, QStringList{"netns", "exec", host_, program} + arguments);
}
