// Accounting: a sample's counters become rates, totals since the reset date
// and the thirty-day projection, and the figures go to the window and badge.
#include "AppDelegate.h"

#include "Environment.h"
#include "FigureFormatter.h"
#include "FormattedField.h"
#include "LevelIndicator.h"
#include "SystemLog.h"
#include "Timer.h"
#include "WBBKMGTFormatter.h"

#include <QLineEdit>

namespace flowtally {

void AppDelegate::processStatsDict(const std::optional<TrafficSample> &sample) {
    if (sample) {
        const std::optional<Meter::Figures> figures =
            meter.take(*sample, primaryServiceUUID(), displayLimitGB->doubleValue(),
                       Environment::current().now());
        if (figures) {
            for (const QString &line : figures->growth.refused)
                systemLog(line);
            const QDateTime date = sample->value(SampleKey::FireDate).toDateTime();
            if (!figures->growth.network.isEmpty())
                creditNetwork(figures->growth.network, figures->growth, date);
            showFigures(*sample, *figures);
            recordHistory(*figures, *sample);
            showCycle(figures->inRate, figures->outRate, date);
            checkAlerts();
        }
    }
    if (timer)
        timer->setFireDateFromNow(isApplicationActive() ? kFrontInterval : kBackInterval);
}

void AppDelegate::showFigures(const TrafficSample &sample, const Meter::Figures &figures) {
    limitText1->setDoubleValue(figures.limit);
    limitText2->setDoubleValue(figures.limit);
    const double critical = rateIndicator->criticalValue();
    gbpmText->setDoubleValue(figures.projection);
    // A projection that is not finite shows as ∞ or a dash, not as "infT".
    const std::optional<QString> nonFinite = nonFiniteFigureText(figures.projection);
    showBadge(nonFinite ? *nonFinite
                        : WBBKMGTFormatter::stringForObjectValue(figures.projection, 0));
    outRate->setDoubleValue(figures.outRate);
    inRate->setDoubleValue(figures.inRate);
    const double total = static_cast<double>(figures.total);
    totalGigs->setDoubleValue(total);
    levelIndicator->setDoubleValue(total / figures.limit * 100.0);
    rateIndicator->setDoubleValue(figures.projection / figures.limit * critical);
    // A router's name arrives with the line end of the tool's reply.
    airportName->setText(sample.value(SampleKey::Router).toString().trimmed());
}

} // namespace flowtally
