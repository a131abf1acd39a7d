#include "platform/system/RuntimeFolder.h"

#include "platform/system/Environment.h"
#include "platform/system/SystemLog.h"

#include <mutex>

namespace flowtally {

namespace {

// The line logged for the choice in force; empty while it is the session's
// folder. Every write of a runtime file asks again, so it is said once.
std::mutex mutex;
QString choiceLogged;

void sayChoice(const QString &line) {
    std::lock_guard lock(mutex);
    if (line == choiceLogged)
        return;
    choiceLogged = line;
    if (!line.isEmpty())
        systemLog(line);
}

} // namespace

Status openRuntimeFolder(PrivateFolder *folder) {
    Environment &environment = Environment::current();
    const QString named = environment.runtimeFolder();
    const Status session = named.isEmpty()
                               ? Status::notFound(QStringLiteral("XDG_RUNTIME_DIR is not set"))
                               : PrivateFolder::open(named, folder);
    if (session.ok()) {
        sayChoice({});
        return session;
    }
    const QString own = environment.ownRuntimeFolder();
    const Status owned = PrivateFolder::open(own, folder);
    if (!owned.ok())
        return owned.rephrased(QStringLiteral("no private folder for runtime files: %1; %2")
                                   .arg(session.message(), owned.message()));
    sayChoice(QStringLiteral("Runtime files go to %1: %2").arg(own, session.message()));
    return owned;
}

} // namespace flowtally
