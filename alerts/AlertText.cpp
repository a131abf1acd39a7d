#include "alerts/AlertText.h"

#include "alerts/AlertRules.h"

#include "WBLib/WBBKMGTFormatter.h"
#include "platform/text/DaysLeftText.h"
#include "platform/text/PercentText.h"

#include <cmath>

namespace flowtally {

namespace {

// Bytes with two fraction digits, so that amounts close to each other read
// apart ("0.52G of 1.00G", where one digit gave "0.5G of 1G").
QString bytesText(double bytes) {
    return WBBKMGTFormatter::stringForObjectValue(bytes, 2);
}

// "3 March", with the year when it is not the year of `now`.
QString dayText(const QDate &day, const QDate &today) {
    return day.toString(day.year() == today.year() ? QStringLiteral("d MMMM")
                                                   : QStringLiteral("d MMMM yyyy"));
}

QString headline(AlertKind kind, const AlertFigures &figures) {
    switch (kind) {
    case AlertKind::Warning:
        return QStringLiteral("%1 of your limit used")
            .arg(percentText(std::floor(figures.used * 100.0 / figures.limit) / 100.0, 0));
    case AlertKind::LimitReached:
        return QStringLiteral("limit reached");
    case AlertKind::PaceOverLimit:
        break;
    }
    return QStringLiteral("on course to pass your limit");
}

QString body(AlertKind kind, const AlertFigures &figures) {
    QString text = figures.network.isEmpty() ? QString() : figures.network + QStringLiteral(": ");
    text += QStringLiteral("%1 of %2 used").arg(bytesText(figures.used), bytesText(figures.limit));
    if (const std::optional<BillingCycle> &cycle = figures.cycle) {
        text +=
            QStringLiteral(", %1 in this cycle").arg(daysLeftText(daysLeft(*cycle, figures.now)));
    } else {
        text +=
            QStringLiteral(" since ") + dayText(figures.periodStart.toTimeZone(figures.zone).date(),
                                                figures.now.toTimeZone(figures.zone).date());
    }
    if (kind == AlertKind::PaceOverLimit) {
        const QString projection = bytesText(figures.projection);
        if (figures.cycle) {
            const QDate lastDay = figures.cycle->end.date().addDays(-1);
            text += QStringLiteral("; at this pace you will use %1 by %2")
                        .arg(projection, lastDay.toString(QStringLiteral("d MMMM")));
        } else {
            text += QStringLiteral("; at this pace you use %1 every 30 days").arg(projection);
        }
    }
    return text + QLatin1Char('.');
}

} // namespace

QString AlertText::summary() const {
    QString line = headline;
    if (!line.isEmpty())
        line[0] = line[0].toUpper();
    return line;
}

QString AlertText::statusLine() const {
    return summary() + QStringLiteral(" \u2014 ") + body;
}

AlertText alertText(AlertKind kind, const AlertFigures &figures) {
    return {
        headline(kind, figures), body(kind, figures),
        kind == AlertKind::LimitReached ? AlertText::Urgency::Critical : AlertText::Urgency::Normal,
        offersToMarkMetered(figures) ? QStringLiteral("Mark this connection metered") : QString()};
}

} // namespace flowtally
