#include "OneLineReport.h"

#include "ReportText.h"

namespace flowtally {

namespace {

constexpr unsigned kDigits = 1;

QString bytes(quint64 count) {
    return byteText(static_cast<double>(count), kDigits);
}

} // namespace

QString oneLineReport(const NetworkReport &network) {
    const NetworkFigures &figures = network.figures;
    const TrafficTotals traffic = figures.cycle ? figures.cycle->counted : figures.totals;
    QString text = QStringLiteral("%1 \u2193 %2 \u2191").arg(bytes(traffic.in), bytes(traffic.out));
    const QString separator = QStringLiteral(" \u00B7 ");
    if (figures.limit)
        text += separator +
                QStringLiteral("%1 of %2").arg(bytes(totalOf(traffic)), limitText(*figures.limit));
    if (figures.cycle)
        text += (figures.limit ? QStringLiteral(" by the %1") : separator + "until the %1")
                    .arg(ordinalDay(figures.cycle->cycle.end.date().day()));
    return text + QLatin1Char('\n');
}

} // namespace flowtally
