#include "AccountdService.h"

#include "Environment.h"

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

} // namespace flowtally
