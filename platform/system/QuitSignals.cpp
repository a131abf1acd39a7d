#include "platform/system/QuitSignals.h"

#include "platform/system/SystemLog.h"

#include <QPointer>
#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace flowtally {

namespace {

constexpr std::array quitSignals{SIGTERM, SIGINT, SIGHUP};

// The handler only writes the signal's number into a pipe, the one thing
// that is safe there; the main loop reads it.
int pipeEnds[2] = {-1, -1};
std::array<struct sigaction, quitSignals.size()> earlierActions;

void noteSignal(int signalNumber) {
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

QuitSignals::QuitSignals(QObject *parent) : QObject(parent), notifier_(nullptr) {
    Q_ASSERT(pipeEnds[0] < 0);
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) {
        systemLog(QStringLiteral("Quit signals are not handled: %1").arg(std::strerror(errno)));
        return;
    }
    notifier_ = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { readSignals(); });

    struct sigaction action = {};
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    // Tool runs on the worker thread should not see EINTR.
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < quitSignals.size(); ++i)
        sigaction(quitSignals[i], &action, &earlierActions[i]);
}

QuitSignals::~QuitSignals() {
    if (!notifier_)
        return;
    for (std::size_t i = 0; i < quitSignals.size(); ++i)
        sigaction(quitSignals[i], &earlierActions[i], nullptr);
    delete notifier_;
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
}

void QuitSignals::readSignals() {
    unsigned char byte = 0;
    // One signal per pass, so that a handler that runs the loop again sees
    // the next signal only after it has returned.
    notifier_->setEnabled(false);
    const QPointer<QuitSignals> alive(this);
    if (::read(pipeEnds[0], &byte, 1) == 1)
        emit quitRequested(byte);
    if (alive)
        notifier_->setEnabled(true);
}

} // namespace flowtally
