#include "report/ApplicationsReport.h"

#include "history/ApplicationName.h"
#include "history/ApplicationsRest.h"
#include "net/TrafficSample.h"
#include "report/ReportText.h"

#include "platform/text/PercentText.h"

#include <QJsonArray>

#include <algorithm>
#include <limits>

namespace flowtally {

namespace {

constexpr int kNameWidth = 28;
constexpr int kBytesWidth = 12;
constexpr int kShareWidth = 8;
constexpr unsigned kDigits = 2;
constexpr int kPercentDigits = 1;

// The network's bytes that its applications' are a share of.
quint64 networkBytes(const NetworkFigures &figures) {
    return totalOf(figures.cycle ? figures.cycle->counted : figures.totals);
}

qint64 jsonBytes(quint64 count) {
    return static_cast<qint64>(
        std::min<quint64>(count, static_cast<quint64>(std::numeric_limits<qint64>::max())));
}

} // namespace

double applicationShare(const ApplicationBytes &bytes, const NetworkFigures &figures) {
    const quint64 all = networkBytes(figures);
    return all == 0 ? 0.0 : static_cast<double>(totalOf({bytes.in, bytes.out})) / double(all);
}

Status readApplications(HistoryStore &history, const QStringList &dataFolders, Report *report) {
    for (NetworkReport &network : report->networks) {
        const NetworkFigures &figures = network.figures;
        QDateTime since = figures.resetDate;
        if (figures.cycle && (!since.isValid() || since < figures.cycle->cycle.start))
            since = figures.cycle->cycle.start;
        network.applicationsSince = since;
        if (!since.isValid())
            continue;
        QList<ApplicationBytes> applications;
        const Status status =
            history.applications(figures.service, since, report->now.addDays(1), &applications);
        if (!status.ok())
            return status;
        // With what the applications leave of the network's bytes, the rows
        // add up to them. The settings' totals are the history's, once it
        // follows them: a lag shows as what no application was given.
        const TrafficTotals counted = figures.cycle ? figures.cycle->counted : figures.totals;
        const CounterSource source = counterSourceNamed(figures.source);
        for (const ApplicationBytes &bytes :
             withRest(applications, counted, counted,
                      source == CounterSource::Router || source == CounterSource::Upnp))
            network.applications.append({bytes, applicationName(bytes.application, dataFolders)});
    }
    return {};
}

QString applicationsText(const NetworkReport &network, Characters characters) {
    if (!network.applicationsSince.isValid())
        return QStringLiteral("  no application's traffic: nothing counted yet\n");
    const QString since = minuteText(network.applicationsSince);
    if (network.applications.isEmpty())
        return QStringLiteral("  no application's traffic in the history since %1\n").arg(since);
    const auto row = [](const QString &name, const QString &in, const QString &out,
                        const QString &share) {
        return QStringLiteral("  %1%2%3%4\n")
            .arg(name, -kNameWidth)
            .arg(in, kBytesWidth)
            .arg(out, kBytesWidth)
            .arg(share, kShareWidth);
    };
    QString text = row(QStringLiteral("since ") + since, QStringLiteral("received"),
                       QStringLiteral("sent"), QStringLiteral("share"));
    for (const ApplicationReport &application : network.applications)
        text +=
            row(printable(application.name, characters),
                byteText(static_cast<double>(application.bytes.in), kDigits),
                byteText(static_cast<double>(application.bytes.out), kDigits),
                percentText(applicationShare(application.bytes, network.figures), kPercentDigits));
    return text;
}

QJsonObject applicationsJson(const NetworkReport &network) {
    QJsonArray list;
    for (const ApplicationReport &application : network.applications) {
        const ApplicationBytes &bytes = application.bytes;
        list.append(
            QJsonObject{{QStringLiteral("id"), bytes.application},
                        {QStringLiteral("name"), application.name},
                        {QStringLiteral("in"), jsonBytes(bytes.in)},
                        {QStringLiteral("out"), jsonBytes(bytes.out)},
                        {QStringLiteral("total"), jsonBytes(totalOf({bytes.in, bytes.out}))},
                        {QStringLiteral("share"), applicationShare(bytes, network.figures)}});
    }
    return {
        {QStringLiteral("since"), network.applicationsSince.isValid()
                                      ? QJsonValue(network.applicationsSince.toString(Qt::ISODate))
                                      : QJsonValue::Null},
        {QStringLiteral("applications"), list}};
}

} // namespace flowtally
