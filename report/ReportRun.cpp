#include "report/ReportRun.h"

#include "history/ApplicationName.h"
#include "report/ApplicationsReport.h"
#include "report/CsvReport.h"
#include "platform/system/Environment.h"
#include "history/HistoryStore.h"
#include "report/HistoryTables.h"
#include "report/JsonReport.h"
#include "report/OneLineReport.h"
#include "report/PrometheusReport.h"
#include "report/ReportFile.h"
#include "report/ReportOptions.h"
#include "report/StoredSettings.h"
#include "report/TextReport.h"
#include "platform/system/UserDefaults.h"
#include "record/WeeklyProjection.h"

#include <QFileInfo>
#include <QHash>

#include <memory>

namespace flowtally {

namespace {

ReportOutcome failure(int exitCode, const QString &message, QStringList messages = {}) {
    messages.append(message);
    return {exitCode, {}, messages};
}

// The history, open for reading, and the names it gives the networks.
struct OpenHistory {
    std::unique_ptr<HistoryStore> store;
    QHash<QString, QString> names; // by service identifier; none for no name
};

// Opens the history and reads the names. A history that is missing gives no
// store and no names, and no failure; one that cannot be read gives neither
// and fails.
Status openHistory(const QTimeZone &zone, OpenHistory *history) {
    const QString path = HistoryStore::standardPath();
    Status status = HistoryStore::open(path, {.readOnly = true, .zone = zone}, &history->store);
    if (!status.ok() && !QFileInfo::exists(path))
        return {};
    QList<HistoryNetwork> networks;
    if (status.ok())
        status = history->store->networks(&networks);
    if (!status.ok()) {
        history->store.reset();
        return status;
    }
    for (const HistoryNetwork &network : networks) {
        if (!network.name.isEmpty())
            history->names.insert(network.network, network.name);
    }
    return {};
}

// The networks of the records, the one metered last first; with a
// network asked for, those whose identifier or name it is.
QList<NetworkReport> networksOf(const StoredSettings &settings, const OpenHistory &history,
                                const QString &asked, const QDateTime &now) {
    QList<NetworkReport> networks;
    for (const NetworkRecord &record : settings.records) {
        const QString service = record.service.value_or(QString());
        NetworkReport network{
            history.names.value(service, service), figuresOf(record, now, now.timeZone()), {}, {}};
        if (!asked.isEmpty() && asked != service &&
            network.name.compare(asked, Qt::CaseInsensitive) != 0)
            continue;
        if (service == settings.lastMetered)
            networks.prepend(network);
        else
            networks.append(network);
    }
    return networks;
}

// The weekly projection of each network, from the history.
Status readExpectedTotals(HistoryStore &history, const QTimeZone &zone, Report *report) {
    for (NetworkReport &network : report->networks) {
        WeekProfile profile;
        const Status status =
            readWeekProfile(history, network.figures.service, report->now, zone, &profile);
        if (!status.ok())
            return status;
        network.figures.expected = expectedTotal(network.figures, profile, report->now);
    }
    return {};
}

QByteArray written(const ReportOptions &options, const Report &report) {
    switch (options.format) {
    case ReportFormat::Json:
        return jsonReport(report);
    case ReportFormat::Csv:
        return csvReport(report);
    case ReportFormat::OneLine:
        return oneLineReport(report.networks.first(), report.characters).toUtf8();
    case ReportFormat::Prometheus:
        return prometheusReport(report);
    case ReportFormat::Text:
        break;
    }
    return textReport(report).toUtf8();
}

// The report goes to standard output, or to the file --output names.
ReportOutcome delivered(const ReportOptions &options, int exitCode, const QByteArray &report,
                        QStringList messages) {
    if (options.output.isEmpty())
        return {exitCode, report, messages};
    const Status status = writeReportFile(options.output, report);
    if (!status.ok())
        return failure(kCannotRead,
                       QStringLiteral("cannot write the report to %1: %2")
                           .arg(options.output, status.message()),
                       messages);
    return {exitCode, {}, messages};
}

// With nothing to report, a status bar shows a line that says so; anything
// else shows the failure alone.
ReportOutcome nothingYet(const ReportOptions &options, const QString &message,
                         QStringList messages = {}) {
    if (options.format != ReportFormat::OneLine)
        return failure(kNothingToReport, message, messages);
    messages.append(message);
    return delivered(options, kReportWritten, nothingToReportLine().toUtf8(), messages);
}

} // namespace

ReportOutcome runReport(const QStringList &arguments, const QTimeZone &localZone,
                        Characters characters) {
    // The C library, too, takes a TZ it does not know for UTC.
    const QTimeZone zone = localZone.isValid() ? localZone : QTimeZone::utc();
    ReportOptions options;
    const Status parsed = parseReportOptions(arguments, &options);
    if (!parsed.ok())
        return failure(kUsageError,
                       parsed.message() + QStringLiteral(" (see flowtally-report --help)"));
    if (options.help)
        return {kReportWritten, reportHelp().toUtf8(), {}};
    if (options.version)
        return {kReportWritten, reportVersion().toUtf8(), {}};

    const QString settingsPath = UserDefaults::standardPath();
    std::optional<StoredSettings> settings;
    const Status read = readStoredSettings(settingsPath, &settings);
    if (!read.ok())
        return failure(kCannotRead, read.message());
    if (!settings)
        return nothingYet(options,
                          QStringLiteral("nothing to report yet: there is no settings file at %1")
                              .arg(settingsPath));
    if (settings->records.isEmpty())
        return nothingYet(options,
                          QStringLiteral("nothing to report yet: the settings file %1 holds no "
                                         "network's totals")
                              .arg(settingsPath));

    const bool readsHistory = options.days > 0 || options.months > 0 || options.applications;
    QStringList warnings;
    OpenHistory history;
    const Status opened = openHistory(zone, &history);
    if (!opened.ok() && readsHistory)
        return failure(kCannotRead, opened.message());
    if (!opened.ok())
        warnings.append(opened.message() +
                        QStringLiteral("; the networks are shown by their identifiers"));
    if (readsHistory && !history.store)
        return failure(kNothingToReport,
                       QStringLiteral("nothing to report yet: there is no traffic history at %1")
                           .arg(HistoryStore::standardPath()));

    Report report{Environment::current().now().toTimeZone(zone),
                  options.days,
                  options.months,
                  options.applications,
                  {},
                  characters};
    report.networks = networksOf(*settings, history, options.network, report.now);
    if (report.networks.isEmpty())
        return nothingYet(options,
                          QStringLiteral("no network in %1 has the identifier or name '%2'")
                              .arg(settingsPath, options.network),
                          warnings);
    if (readsHistory) {
        Status status = readHistoryTables(*history.store, &report);
        if (status.ok() && options.applications)
            status = readApplications(*history.store, applicationDataFolders(), &report);
        if (!status.ok())
            return failure(kCannotRead, status.message());
    }
    if (history.store) {
        const Status status = readExpectedTotals(*history.store, zone, &report);
        if (!status.ok())
            warnings.append(status.message() +
                            QStringLiteral("; the expected totals are left out"));
    }
    return delivered(options, kReportWritten, written(options, report), warnings);
}

} // namespace flowtally
