#include "report/PrometheusReport.h"

#include <QLocale>

#include <cmath>
#include <functional>
#include <optional>

namespace flowtally {

namespace {

struct Metric {
    const char *name;
    const char *type;
    const char *help;
    // The network's value; none where it has none.
    std::function<std::optional<QString>(const NetworkReport &, const QDateTime &now)> value;
    bool bySource = false;
};

QString count(quint64 bytes) {
    return QString::number(bytes);
}

std::optional<QString> rounded(const std::optional<double> &bytes) {
    if (!bytes)
        return std::nullopt;
    return QString::number(std::round(*bytes), 'f', 0);
}

QString labelValue(const QString &text) {
    QString escaped;
    for (const QChar c : text) {
        if (c == QLatin1Char('\\'))
            escaped += QLatin1String("\\\\");
        else if (c == QLatin1Char('"'))
            escaped += QLatin1String("\\\"");
        else if (c == QLatin1Char('\n'))
            escaped += QLatin1String("\\n");
        else
            escaped += c;
    }
    return escaped;
}

QString labels(const NetworkReport &network, bool bySource) {
    QString text = QStringLiteral("network=\"%1\",name=\"%2\"")
                       .arg(labelValue(network.figures.service), labelValue(network.name));
    if (bySource) {
        const QString source = network.figures.source;
        text += QStringLiteral(",source=\"%1\"")
                    .arg(source.isEmpty() ? QStringLiteral("unknown") : labelValue(source));
    }
    return text;
}

const Metric kMetrics[] = {
    {"flowtally_received_bytes_total", "counter",
     "Bytes received on the network since its reset date.",
     [](const NetworkReport &n, const QDateTime &) { return count(n.figures.totals.in); }, true},
    {"flowtally_sent_bytes_total", "counter", "Bytes sent on the network since its reset date.",
     [](const NetworkReport &n, const QDateTime &) { return count(n.figures.totals.out); }, true},
    {"flowtally_free_bytes_total", "counter",
     "Bytes received and sent in the network's free hours since its reset date.",
     [](const NetworkReport &n, const QDateTime &) { return count(totalOf(n.figures.free)); }},
    {"flowtally_billed_bytes", "gauge",
     "Bytes the plan holds against its limit: those of the billing cycle (without one, since "
     "the reset date) not counted in free hours.",
     [](const NetworkReport &n, const QDateTime &) { return count(n.figures.billed); }},
    {"flowtally_limit_bytes", "gauge", "The network's limit.",
     [](const NetworkReport &n, const QDateTime &) { return rounded(n.figures.limit); }},
    {"flowtally_limit_used_ratio", "gauge", "The billed bytes' share of the limit.",
     [](const NetworkReport &n, const QDateTime &) -> std::optional<QString> {
         if (!n.figures.limitShare)
             return std::nullopt;
         return QString::number(*n.figures.limitShare, 'g', QLocale::FloatingPointShortest);
     }},
    {"flowtally_over_limit", "gauge", "1 when the billed bytes are more than the limit, else 0.",
     [](const NetworkReport &n, const QDateTime &) -> std::optional<QString> {
         if (!n.figures.limit)
             return std::nullopt;
         return QString::number(int(n.figures.overLimit));
     }},
    {"flowtally_thirty_day_projection_bytes", "gauge",
     "Bytes received and sent in thirty days at the pace since the reset date.",
     [](const NetworkReport &n, const QDateTime &) {
         return rounded(n.figures.thirtyDayProjection);
     }},
    {"flowtally_cycle_projection_bytes", "gauge",
     "Billed bytes at the billing cycle's end at the pace since the cycle began.",
     [](const NetworkReport &n, const QDateTime &) -> std::optional<QString> {
         return n.figures.cycle ? rounded(n.figures.cycle->projectedBilled) : std::nullopt;
     }},
    {"flowtally_expected_bytes", "gauge",
     "Billed bytes expected at the billing cycle's end (without one, thirty days after the reset "
     "date) from the way the line was used through the week in the last weeks.",
     [](const NetworkReport &n, const QDateTime &) -> std::optional<QString> {
         return n.figures.expected ? rounded(n.figures.expected->billed) : std::nullopt;
     }},
    {"flowtally_cycle_remaining_seconds", "gauge", "Seconds until the billing cycle ends.",
     [](const NetworkReport &n, const QDateTime &now) -> std::optional<QString> {
         if (!n.figures.cycle)
             return std::nullopt;
         return QString::number(std::max<qint64>(0, now.secsTo(n.figures.cycle->cycle.end)));
     }},
};

} // namespace

QByteArray prometheusReport(const Report &report) {
    QString text;
    for (const Metric &metric : kMetrics) {
        QString samples;
        for (const NetworkReport &network : report.networks) {
            if (const std::optional<QString> value = metric.value(network, report.now))
                samples +=
                    QStringLiteral("%1{%2} %3\n")
                        .arg(QLatin1String(metric.name), labels(network, metric.bySource), *value);
        }
        if (samples.isEmpty())
            continue;
        text += QStringLiteral("# HELP %1 %2\n# TYPE %1 %3\n")
                    .arg(QLatin1String(metric.name), QLatin1String(metric.help),
                         QLatin1String(metric.type));
        text += samples;
    }
    return text.toUtf8();
}

} // namespace flowtally
