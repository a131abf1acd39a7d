#include "report/OneLineReport.h"

#include "report/ReportText.h"

#include "platform/text/PercentText.h"

namespace flowtally {

namespace {

constexpr unsigned kDigits = 1;

QString bytes(quint64 count) {
    return byteText(static_cast<double>(count), kDigits);
}

} // namespace

QString oneLineReport(const NetworkReport &network, Characters characters) {
    const ReportMarks marks = ReportMarks::of(characters);
    const NetworkFigures &figures = network.figures;
    const TrafficTotals traffic = figures.cycle ? figures.cycle->counted : figures.totals;
    const TrafficTotals free = figures.cycle ? figures.cycle->free : figures.free;
    QString text = QStringLiteral("%1 %2 %3 %4")
                       .arg(bytes(traffic.in), marks.received, bytes(traffic.out), marks.sent);
    if (figures.limit) {
        QString share = percentText(figures.limitShare.value_or(0), 0);
        if (figures.overLimit)
            share += QStringLiteral(", over the limit");
        text += marks.separator + QStringLiteral("%1 of %2 (%3)")
                                      .arg(bytes(figures.billed), limitText(*figures.limit), share);
    } else {
        text += marks.separator + QStringLiteral("No limit");
    }
    if (figures.cycle)
        text += (figures.limit ? QStringLiteral(" by the %1") : marks.separator + "until the %1")
                    .arg(ordinalDay(figures.cycle->cycle.end.date().day()));
    if (!figures.freeWindows.isEmpty() || totalOf(free) != 0)
        text += marks.separator + QStringLiteral("free hours ") + bytes(totalOf(free));
    return text + QLatin1Char('\n');
}

QString nothingToReportLine() {
    return QStringLiteral("Flowtally: nothing counted yet\n");
}

} // namespace flowtally
