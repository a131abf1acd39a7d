#include "tests/support/controller/DrivenCycle.h"

#include "platform/system/ToolPaths.h"
#include "tests/support/PlantedFiles.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <chrono>
#include <thread>

namespace flowtally {

namespace {

constexpr qint64 kTickMs = 1500;  // between the samples of two ticks
constexpr qint64 kWriteMs = 2000; // between two firings of the write timer
constexpr int kTickBoundMs = 10000;
constexpr auto kPoll = std::chrono::microseconds(50);

} // namespace

DrivenCycle::DrivenCycle(TestEnvironment &environment, ScriptFolder &tools)
    : environment_(environment), countersPath_(tools.filePath(QStringLiteral("counters"))),
      clock_(QDateTime::currentMSecsSinceEpoch()) {
    setCounters(1, 1);
    // `read` and `printf` are built into the shell: one process a run.
    environment.setToolPath(
        kNetstatTool,
        tools.write(QStringLiteral("lean-netstat"),
                    QStringLiteral("read in out < '%1'\n"
                                   "printf 'Name Mtu Network Address Ipkts Ierrs Ibytes Opkts "
                                   "Oerrs Obytes Coll\\neth0 1500 <Link#2> 02:00:00:00:00:01 10 0 "
                                   "%s 20 0 %s 0\\n' \"$in\" \"$out\"")
                        .arg(countersPath_)));
    environment.setToolPath(kArpTool, tools.write(QStringLiteral("lean-arp"),
                                                  QStringLiteral("echo 'host (127.0.0.78) -- no "
                                                                 "entry'")));
    environment.setToolPath(kSnmpGetTool, QStringLiteral("/bin/true"));
    environment.setToolPath(kSnmpWalkTool, QStringLiteral("/bin/true"));
    environment.setClock([this] { return QDateTime::fromMSecsSinceEpoch(clock_, Qt::UTC); });
}

DrivenCycle::~DrivenCycle() {
    environment_.setClock({});
}

void DrivenCycle::setCounters(quint64 in, quint64 out) {
    // Written whole before the tick that reads it starts.
    makeFile(countersPath_, QByteArray::number(in) + ' ' + QByteArray::number(out) + '\n', 0644);
}

bool DrivenCycle::tick(AppDelegate &controller) {
    clock_ += kTickMs;
    const QDateTime date = QDateTime::fromMSecsSinceEpoch(clock_, Qt::UTC);
    controller.doWork();
    bool taken = false;
    for (const QDeadlineTimer deadline(kTickBoundMs); !deadline.hasExpired();) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (!controller.isWorking() && controller.lastFireDate() == date) {
            taken = true;
            break;
        }
        std::this_thread::sleep_for(kPoll);
    }
    ++ticks_;
    if (ticks_ * kTickMs / kWriteMs != (ticks_ - 1) * kTickMs / kWriteMs)
        controller.doWriteToDisk();
    return taken;
}

} // namespace flowtally
