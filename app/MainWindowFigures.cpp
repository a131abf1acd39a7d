// The main window's figures: the fields, bars and badge of an accepted
// sample, the cycle line and the rates of the last minutes, the status line,
// the busy indicator and the router address field.
#include "WindowController.h"

#include "Badge.h"
#include "BillingCycle.h"
#include "BusyIndicator.h"
#include "Environment.h"
#include "FigureFormatter.h"
#include "FormattedField.h"
#include "IsValidLocalIP.h"
#include "KeyViewOrder.h"
#include "LevelIndicator.h"
#include "Numbers.h"
#include "RatesChart.h"
#include "WBBKMGTFormatter.h"

#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>

namespace flowtally {

namespace {

const QString routerToolTipText = QStringLiteral(
    "\"%1\"\nName of the router, if available, or name of your computer if there is no router.");
const QString IPToolTipText =
    QStringLiteral("\"%1\"\nLocal IP Address of the router (\"Airport\") that connects you to the "
                   "Internet, or your computer's IP address.");

} // namespace

void WindowController::showFigures(const TrafficSample &sample, const Meter::Figures &figures) {
    limitText1->setDoubleValue(figures.limit);
    limitText2->setDoubleValue(figures.limit);
    const double critical = rateIndicator->criticalValue();
    gbpmText->setDoubleValue(figures.projection);
    badge->show(figures, meter.record());
    outRate->setDoubleValue(figures.outRate);
    inRate->setDoubleValue(figures.inRate);
    const double total = static_cast<double>(figures.total);
    totalGigs->setDoubleValue(total);
    levelIndicator->setDoubleValue(total / figures.limit * 100.0);
    rateIndicator->setDoubleValue(figures.projection / figures.limit * critical);
    // A router's name arrives with the line end of the tool's reply.
    airportName->setText(sample.value(SampleKey::Router).toString().trimmed());
}

void WindowController::showCycle(const Meter::Figures &figures, const QDateTime &at) {
    Environment &environment = Environment::current();
    const QDateTime now = environment.now();
    const std::optional<BillingCycle> cycle =
        billingCycleAt(now, meter.record().cycleStartDay, environment.timeZone());
    cycleText->setVisible(cycle.has_value());
    cycleTextLabel->setVisible(cycle.has_value());
    if (cycle) {
        const double projected = projectedTotal(double(meter.totalBytes()), *cycle, now);
        const QDate lastDay = cycle->end.toTimeZone(environment.timeZone()).date().addDays(-1);
        cycleText->setText(tr("%1 by %2 · %n day(s) left", nullptr, daysLeft(*cycle, now))
                               .arg(WBBKMGTFormatter::stringForObjectValue(projected, 2),
                                    QLocale().toString(lastDay, QStringLiteral("d MMM"))));
    }
    // Rates in bytes per second, for the last minutes.
    rates.append({at, figures.inRate * 1024.0, figures.outRate * 1024.0});
    while (!rates.isEmpty() && rates.constFirst().at.secsTo(now) > kRatesSpan.count())
        rates.removeFirst();
    ratesChart->setRates(rates, now);
}

void WindowController::forgetRates() {
    rates.clear();
}

void WindowController::showInfoText(const QString &text) {
    const QString stamp =
        Environment::current().now().toLocalTime().time().toString(QStringLiteral("HH:mm:ss.zzz"));
    const QString line = stamp + QLatin1Char('\n') + text;
    infoText->setText(line);
    infoText->setToolTip(line);
    airportIP->setToolTip(IPToolTipText.arg(airportIP->text()));
    airportName->setToolTip(routerToolTipText.arg(airportName->text()));
}

void WindowController::showBusy(bool busy) {
    if (busy)
        workProgress->startAnimation();
    else
        workProgress->stopAnimation();
}

void WindowController::enableRestart(bool enabled) {
    restartPB->setEnabled(enabled);
}

void WindowController::showRouterAddress(const QVariant &value) {
    if (airportIP->isBeingEdited())
        return;
    const QVariant number =
        value.typeId() == QMetaType::QString ? inetNSNumber(value.toString()) : value;
    airportIP->setObjectValue(number);
}

quint32 WindowController::enteredRouterAddress() const {
    return unsignedIntValueOf(airportIP->objectValue());
}

void WindowController::leaveRouterAddressField() {
    selectKeyViewFollowingView(airportIP);
}

} // namespace flowtally
