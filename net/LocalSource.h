#pragma once

#include "net/TrafficSource.h"

#include <QString>
#include <QStringList>

#include <mutex>
#include <optional>

namespace flowtally {

// The local source: this computer's own primary interface, read with the
// netstat tool's byte-count layout. A fault that lasts is told to the log
// once, not at every tick. Runs a tool: never on the main thread. Safe on
// any thread.
class LocalSource : public TrafficSource {
  public:
    explicit LocalSource(StatusSink status) : status_(std::move(status)) {}

    // The sample of the primary interface; none without one (no tool run).
    std::optional<TrafficSample> primaryInterfaceStats();
    // The sample of the named interface, or none.
    std::optional<TrafficSample> localStatsForPrimaryInterface(const QString &name);
    SourceOutcome read() override { return {primaryInterfaceStats()}; }
    // A fault that lasts is told once more.
    void retellFaults();

  private:
    // Logs the lines that tell a sample's fault (none: the sample had none),
    // unless they are the ones told for the sample before.
    void tellFault(const QStringList &lines);

    StatusSink status_;
    std::mutex toldMutex_;
    QString toldFault_;
};

} // namespace flowtally
