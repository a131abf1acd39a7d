#include "platform/system/SingleInstance.h"

#include "platform/system/RuntimeFolder.h"
#include "platform/system/SystemLog.h"

#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace flowtally {

namespace {

const QByteArray kComeForward = "come forward\n";
const QString kLockName = QStringLiteral("flowtally.lock");
const QString kSocketName = QStringLiteral("flowtally.socket");

// The socket's address; false when the path does not fit.
bool socketAddress(const QString &path, sockaddr_un *address) {
    const QByteArray bytes = QFile::encodeName(path);
    *address = {};
    address->sun_family = AF_UNIX;
    if (bytes.size() >= qsizetype(sizeof address->sun_path))
        return false;
    std::memcpy(address->sun_path, bytes.constData(), size_t(bytes.size()));
    return true;
}

} // namespace

SingleInstance::SingleInstance(QObject *parent) : QObject(parent) {
    Status status = openRuntimeFolder(&folder_);
    if (status.ok())
        status = folder_.openFile(kLockName, &lockFd_);
    if (!status.ok()) {
        systemLog(
            QStringLiteral("Cannot tell whether Flowtally runs already: %1").arg(status.message()));
        return;
    }
    socketPath_ = folder_.filePath(kSocketName);
    if (::flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
        first_ = errno != EWOULDBLOCK;
        if (first_)
            systemLog(QStringLiteral("Cannot tell whether Flowtally runs already: %1: %2")
                          .arg(folder_.filePath(kLockName),
                               QString::fromLocal8Bit(std::strerror(errno))));
        return;
    }
    listen();
}

SingleInstance::~SingleInstance() {
    delete requests_;
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        // A socket left behind is replaced by the next start, which holds the lock.
        folder_.remove(kSocketName).ignore();
    }
    if (lockFd_ >= 0)
        ::close(lockFd_);
}

void SingleInstance::listen() {
    sockaddr_un address;
    if (!socketAddress(socketPath_, &address))
        return;
    // A socket left by a start that was killed is ours to replace: we hold the
    // lock. Where it cannot be removed, bind fails below and says so.
    folder_.remove(kSocketName).ignore();
    listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listenFd_ < 0 ||
        ::bind(listenFd_, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 ||
        ::listen(listenFd_, 4) != 0) {
        systemLog(QStringLiteral("A second start of Flowtally cannot reach this one: %1: %2")
                      .arg(socketPath_, QString::fromLocal8Bit(std::strerror(errno))));
        if (listenFd_ >= 0)
            ::close(listenFd_);
        listenFd_ = -1;
        return;
    }
    requests_ = new QSocketNotifier(listenFd_, QSocketNotifier::Read);
    connect(requests_, &QSocketNotifier::activated, this, [this] { acceptRequests(); });
}

void SingleInstance::acceptRequests() {
    for (;;) {
        const int connection = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0)
            return;
        // A short request of our own kind; anything else is ignored.
        char buffer[32] = {};
        const timeval wait{1, 0};
        ::setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        const ssize_t got = ::recv(connection, buffer, sizeof buffer, 0);
        ::close(connection);
        if (got == kComeForward.size() && kComeForward == QByteArray(buffer, got))
            emit comeForwardRequested();
    }
}

bool SingleInstance::askFirstToComeForward() const {
    sockaddr_un address;
    if (!socketAddress(socketPath_, &address))
        return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool asked =
        ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0 &&
        ::send(fd, kComeForward.constData(), size_t(kComeForward.size()), MSG_NOSIGNAL) ==
            kComeForward.size();
    ::close(fd);
    return asked;
}

} // namespace flowtally
