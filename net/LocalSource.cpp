#include "net/LocalSource.h"

#include "WBLib/SynchronousTaskWrapper.h"
#include "net/NetworkState.h"
#include "net/StatusTexts.h"
#include "net/ToolReplies.h"
#include "platform/system/Environment.h"
#include "platform/system/KernelTables.h"
#include "platform/system/SystemLog.h"
#include "platform/system/ToolPaths.h"
#include "platform/text/Utf8Decoding.h"

#include <QFile>
#include <QFileInfo>

#include <ctime>
#include <mutex>

namespace flowtally {

namespace {

const QString kOperationName = QStringLiteral("localStatsForPrimaryInterface:");

// A tool's output quoted in the log is cut after this many characters: a
// tool that prints megabytes does not put them in the log.
constexpr qsizetype kLongestQuote = 200;

QString quotedForLog(const QString &text) {
    if (text.size() <= kLongestQuote)
        return text;
    return text.left(kLongestQuote) +
           QStringLiteral("… (%1 characters more)").arg(text.size() - kLongestQuote);
}

// The text that names this boot of the computer; empty when it cannot be read.
QString currentBootId() {
    // Read as the kernel's tables are, with bare system calls: at every tick.
    return QString::fromLatin1(
               kernelTableText(
                   QFile::encodeName(Environment::current().bootIdPath()).toStdString()))
        .trimmed();
}

// The interface's link speed in bits a second, as the kernel tells it; 0
// where it does not (loopback, a link that is down, most virtual ones). Only
// an interface of a device has a speed that bounds its traffic: tun and tap
// tell a nominal 10 Mbit/s (before Linux 6.2) that a VPN goes far beyond.
quint64 linkSpeedOf(const QString &interface) {
    const QString folder = Environment::current().interfacesFolder() + QLatin1Char('/') + interface;
    if (!QFileInfo::exists(folder + QStringLiteral("/device")))
        return 0;
    const std::string text =
        kernelTableText(QFile::encodeName(folder + QStringLiteral("/speed")).toStdString());
    const auto end = text.find_last_not_of("\n");
    const std::optional<quint64> megabits = tableNumber<quint64>(
        std::string_view(text).substr(0, end == std::string::npos ? 0 : end + 1), 10);
    return megabits ? *megabits * 1000000 : 0;
}

// Seconds since the computer started.
double secondsSinceBoot() {
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

} // namespace

void LocalSource::tellFault(const QStringList &lines) {
    const QString fault = lines.join(QLatin1Char('\n'));
    {
        std::lock_guard lock(toldMutex_);
        if (fault == toldFault_)
            return;
        toldFault_ = fault;
    }
    for (const QString &line : lines)
        systemLog(line);
}

void LocalSource::retellFaults() {
    std::lock_guard lock(toldMutex_);
    toldFault_.clear();
}

std::optional<TrafficSample> LocalSource::primaryInterfaceStats() {
    const std::optional<QString> interface = primaryInterface();
    if (!interface) {
        // Nothing to read: no tool run, no error in the log.
        status_(StatusText::NoNetwork);
        return std::nullopt;
    }
    return localStatsForPrimaryInterface(*interface);
}

std::optional<TrafficSample> LocalSource::localStatsForPrimaryInterface(const QString &name) {
    const QStringList arguments =
        QStringLiteral("-f inet -bI %1").arg(name).split(QLatin1Char(' '));
    // What the run logs (a tool that ended badly or hung) is told with the
    // sample's outcome.
    std::optional<QByteArray> output;
    QStringList runLines;
    {
        HeldLogLines held;
        output = SynchronousTaskWrapper::execute(Environment::current().toolPath(kNetstatTool),
                                                 arguments);
        runLines = held.take();
    }
    const QString text = output ? decodeUtf8(*output).value_or(QString()) : QString();

    const NetstatReading reading = readNetstatListing(text);
    if (reading.outcome != NetstatReading::Outcome::Row) {
        status_(StatusText::NetstatError);
        const QString format = reading.outcome == NetstatReading::Outcome::ShortLineCount
                                   ? QStringLiteral("Short line-count in %1: \"%2\"")
                                   : QStringLiteral("Result Format Error in %1: \"%2\"");
        // One line: what the listing lacked, and why when the run told it.
        QString line = format.arg(kOperationName, quotedForLog(reading.quoted));
        if (!runLines.isEmpty())
            line += QStringLiteral(" (%1)").arg(runLines.join(QStringLiteral("; ")));
        tellFault({line});
        return std::nullopt;
    }
    tellFault(runLines);

    TrafficSample sample;
    sample.insert(SampleKey::PrimaryInterface, name);
    sample.insert(SampleKey::SourceDescription, QStringLiteral("This computer: %1").arg(name));
    sample.insert(SampleKey::MAC, reading.row.address);
    sample.insert(SampleKey::Router, Environment::current().hostName());
    sample.insert(SampleKey::InTraffic, reading.row.in);
    sample.insert(SampleKey::OutTraffic, reading.row.out);
    sample.insert(SampleKey::Uptime, secondsSinceBoot());
    // Which counters these are: the interface made anew, or the computer
    // started again, counts from 0 again.
    sample.insert(SampleKey::KernelIndex, reading.row.kernelIndex);
    sample.insert(SampleKey::BootID, currentBootId());
    if (const quint64 speed = linkSpeedOf(name); speed != 0)
        sample.insert(SampleKey::LinkSpeed, speed);
    sample.insert(SampleKey::FireDate, Environment::current().now());
    // Without a service the sample can never be accepted; it still goes
    // through so the status line tells what happened.
    if (const std::optional<QString> service = primaryServiceUUID())
        sample.insert(SampleKey::PrimaryService, *service);

    status_(StatusText::NoError);
    return sample;
}

} // namespace flowtally
