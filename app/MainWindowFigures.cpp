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
#include "HistoryStore.h"
#include "IsValidLocalIP.h"
#include "KeyViewOrder.h"
#include "LevelIndicator.h"
#include "NetworkFigures.h"
#include "NetworkState.h"
#include "Numbers.h"
#include "RatesChart.h"
#include "StateLine.h"
#include "WBBKMGTFormatter.h"

#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>

namespace flowtally {

namespace {

// How long the week's profile of the line is used before it is read again.
constexpr std::chrono::seconds kWeekProfileLife{3600};

const QString routerToolTipText = QStringLiteral(
    "\"%1\"\nName of the router, if available, or name of your computer if there is no router.");
const QString IPToolTipText =
    QStringLiteral("\"%1\"\nLocal IP Address of the router (\"Airport\") that connects you to the "
                   "Internet, or your computer's IP address.");

} // namespace

void WindowController::showFigures(const TrafficSample &sample, const Meter::Figures &figures) {
    // A limit of 0 is no limit: nothing to measure the bars against.
    const bool limited = meter.record().limitInBytes().has_value();
    for (FormattedField *field : {limitText1, limitText2}) {
        if (limited)
            field->setDoubleValue(figures.limit);
        else
            field->setText(tr("No limit"));
    }
    for (QLabel *of : {limitText1Label, limitText2Label})
        of->setVisible(limited);
    const double critical = rateIndicator->criticalValue();
    gbpmText->setDoubleValue(figures.projection);
    badge->show(figures, meter.record());
    outRate->setDoubleValue(figures.outRate);
    inRate->setDoubleValue(figures.inRate);
    const double total = static_cast<double>(figures.total);
    totalGigs->setDoubleValue(total);
    // The bars hold what the plan counts against the limit: the total
    // without the bytes of free hours, and its projection. Without a limit
    // they stay empty, in no zone's colour.
    const double billed = static_cast<double>(figures.billed);
    const double billedProjection =
        figures.total == 0 ? figures.projection : figures.projection * (billed / total);
    levelIndicator->setDoubleValue(limited ? billed / figures.limit * 100.0 : qQNaN());
    rateIndicator->setDoubleValue(limited ? billedProjection / figures.limit * critical : qQNaN());
    // A router's name arrives with the line end of the tool's reply.
    airportName->setText(sample.value(SampleKey::Router).toString().trimmed());
    sourceText->setText(sample.value(SampleKey::SourceDescription).toString());
    shownSample = sample;
    shownBilled = figures.billed;
    showState();
}

void WindowController::showState() {
    MeteringState state;
    state.sample = shownSample;
    state.defaultRouter = primaryInterfaceRouterIP();
    state.routerCounters = Sources::routerCounters();
    state.paused = paused;
    state.preferencesOpen = prefsWindow->isVisible();
    state.billed = static_cast<double>(shownBilled);
    state.limit = meter.record().limitInBytes();
    const QString line = stateLine(state);
    stateText->setText(line);
    stateText->setToolTip(line);
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
    showExpected(now);
    // Rates in bytes per second, for the last minutes.
    rates.append({at, figures.inRate * 1024.0, figures.outRate * 1024.0});
    while (!rates.isEmpty() && rates.constFirst().at.secsTo(now) > kRatesSpan.count())
        rates.removeFirst();
    ratesChart->setRates(rates, now);
}

void WindowController::showExpected(const QDateTime &now) {
    const NetworkRecord &record = meter.record();
    const QString network = record.service.value_or(QString());
    if (network != weekProfileNetwork || !weekProfileReadAt.isValid() ||
        weekProfileReadAt.secsTo(now) >= kWeekProfileLife.count() || weekProfileReadAt > now) {
        weekProfile = WeekProfile();
        HistoryStore *history = historyForReading();
        // Without a history, or one that cannot be read, nothing is known yet.
        if (history && !readWeekProfile(*history, network, now, Environment::current().timeZone(),
                                        &weekProfile)
                            .ok())
            weekProfile = WeekProfile();
        weekProfileNetwork = network;
        weekProfileReadAt = now;
    }
    const QTimeZone zone = Environment::current().timeZone();
    const std::optional<ExpectedTotal> expected =
        expectedTotal(figuresOf(record, now, zone), weekProfile, now);
    for (QWidget *row : std::initializer_list<QWidget *>{expectedLabel, expectedText, expectedEnd})
        row->setVisible(expected.has_value());
    if (!expected)
        return;
    // Till the end's last day: a cycle ends at midnight of the next.
    const QDate lastDay = expected->end.toTimeZone(zone).addMSecs(-1).date();
    if (expected->billed) {
        expectedText->setDoubleValue(*expected->billed);
        expectedEnd->setText(tr("by %1").arg(QLocale().toString(lastDay, QStringLiteral("d MMM"))));
    } else {
        expectedText->setDoubleValue(qQNaN());
        expectedEnd->setText(tr("not enough data yet"));
    }
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
    // Metering is stopped while the restart is offered.
    paused = enabled;
    showState();
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
