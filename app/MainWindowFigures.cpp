// The main window's figures: the fields, bars and badge of an accepted
// sample, the cycle line and the rates of the last minutes, the status line,
// the busy indicator and the router address field.
#include "app/WindowController.h"

#include "app/Badge.h"
#include "history/BillingCycle.h"
#include "platform/widgets/BusyIndicator.h"
#include "platform/system/Environment.h"
#include "app/FigureFormatter.h"
#include "platform/widgets/FormattedField.h"
#include "history/HistoryStore.h"
#include "WBLib/IsValidLocalIP.h"
#include "app/KeyViewOrder.h"
#include "platform/widgets/LevelIndicator.h"
#include "record/NetworkFigures.h"
#include "net/NetworkState.h"
#include "platform/text/DaysLeftText.h"
#include "platform/text/Numbers.h"
#include "charts/RatesChart.h"
#include "app/StateLine.h"
#include "WBLib/WBBKMGTFormatter.h"

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
    const bool limited = meter_.record().limitInBytes().has_value();
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
    badge_->show(figures, meter_.record());
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
    sourceText_->setText(sample.value(SampleKey::SourceDescription).toString());
    shownSample_ = sample;
    shownBilled_ = figures.billed;
    showState();
}

void WindowController::showState() {
    MeteringState state;
    state.sample = shownSample_;
    state.defaultRouter = primaryInterfaceRouterIP();
    state.routerCounters = Sources::routerCounters();
    state.paused = paused_;
    state.preferencesOpen = prefsWindow->isVisible();
    state.billed = static_cast<double>(shownBilled_);
    state.limit = meter_.record().limitInBytes();
    const QString line = stateLine(state);
    stateText_->setText(line);
    stateText_->setToolTip(line);
}

void WindowController::showCycle(const Meter::Figures &figures, const QDateTime &at) {
    Environment &environment = Environment::current();
    const QDateTime now = environment.now();
    const std::optional<BillingCycle> cycle =
        billingCycleAt(now, meter_.record().cycleStartDay, environment.timeZone());
    cycleText_->setVisible(cycle.has_value());
    cycleTextLabel_->setVisible(cycle.has_value());
    if (cycle) {
        const double projected = projectedTotal(double(meter_.totalBytes()), *cycle, now);
        const QDate lastDay = cycle->end.toTimeZone(environment.timeZone()).date().addDays(-1);
        cycleText_->setText(tr("%1 by %2 · %3")
                                .arg(WBBKMGTFormatter::stringForObjectValue(projected, 2),
                                     QLocale().toString(lastDay, QStringLiteral("d MMM")),
                                     daysLeftText(daysLeft(*cycle, now))));
    }
    showExpected(now);
    // Rates in bytes per second, for the last minutes.
    rates_.append({at, figures.inRate * 1024.0, figures.outRate * 1024.0});
    while (!rates_.isEmpty() && rates_.constFirst().at.secsTo(now) > kRatesSpan.count())
        rates_.removeFirst();
    ratesChart_->setRates(rates_, now);
}

void WindowController::showExpected(const QDateTime &now) {
    const NetworkRecord &record = meter_.record();
    const QString network = record.service.value_or(QString());
    if (network != weekProfileNetwork_ || !weekProfileReadAt_.isValid() ||
        weekProfileReadAt_.secsTo(now) >= kWeekProfileLife.count() || weekProfileReadAt_ > now) {
        weekProfile_ = WeekProfile();
        HistoryStore *history = historyForReading();
        // Without a history, or one that cannot be read, nothing is known yet.
        if (history && !readWeekProfile(*history, network, now, Environment::current().timeZone(),
                                        &weekProfile_)
                            .ok())
            weekProfile_ = WeekProfile();
        weekProfileNetwork_ = network;
        weekProfileReadAt_ = now;
    }
    const QTimeZone zone = Environment::current().timeZone();
    const std::optional<ExpectedTotal> expected =
        expectedTotal(figuresOf(record, now, zone), weekProfile_, now);
    for (QWidget *row : std::initializer_list<QWidget *>{expectedLabel_, expectedText_, expectedEnd_})
        row->setVisible(expected.has_value());
    if (!expected)
        return;
    // Till the end's last day: a cycle ends at midnight of the next.
    const QDate lastDay = expected->end.toTimeZone(zone).addMSecs(-1).date();
    if (expected->billed) {
        expectedText_->setDoubleValue(*expected->billed);
        expectedEnd_->setText(tr("by %1").arg(QLocale().toString(lastDay, QStringLiteral("d MMM"))));
    } else {
        expectedText_->setDoubleValue(qQNaN());
        expectedEnd_->setText(tr("not enough data yet"));
    }
}

void WindowController::forgetRates() {
    rates_.clear();
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
    paused_ = enabled;
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
