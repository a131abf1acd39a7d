// Accounting: a sample's counters become rates, totals since the reset date
// and the thirty-day projection, and the figures go to the window and badge.
#include "AppDelegate.h"

#include "DistantPast.h"
#include "Environment.h"
#include "FigureFormatter.h"
#include "FormattedField.h"
#include "LastReading.h"
#include "LevelIndicator.h"
#include "SystemLog.h"
#include "Timer.h"
#include "WBBKMGTFormatter.h"

#include <QLineEdit>

namespace flowtally {

namespace {

constexpr double kMinimumGap = 1.5;       // seconds between accepted samples
constexpr double kThirtyDays = 2592000.0; // seconds

double seconds(const QDateTime &from, const QDateTime &to) {
    return static_cast<double>(from.msecsTo(to)) / 1000.0;
}

} // namespace

CounterGrowth AppDelegate::countReading(const CounterReading &reading, const QDateTime &at) {
    CounterGrowth growth = lastReading.count(
        *_PrimaryService, reading, {_prevValOrigin, _prevInVal, _prevOutVal, _prevUptime}, at);
    for (const QString &line : growth.refused)
        systemLog(line);
    // The record's previous counters are the last reading.
    const LastReading::Entry &last = *lastReading.entry();
    _prevInVal = last.inValue().value_or(0);
    _prevOutVal = last.outValue().value_or(0);
    _prevValOrigin = reading.origin;
    _prevUptime = reading.uptime;
    // Bytes of the network that read the counters last go to its record.
    if (!growth.network.isEmpty()) {
        creditNetwork(growth.network, growth, at);
        growth = {};
    }
    return growth;
}

void AppDelegate::processStatsDict(const std::optional<TrafficSample> &sample) {
    if (sample) {
        const QVariant service = sample->value(SampleKey::PrimaryService);
        const std::optional<QString> current = primaryServiceUUID();
        const bool ofThisService = service.typeId() == QMetaType::QString && current &&
                                   service.toString() == *current && _PrimaryService &&
                                   service.toString() == *_PrimaryService;
        if (ofThisService) {
            const QDateTime date = sample->value(SampleKey::FireDate).toDateTime();
            if (!_lastFireDate.isValid())
                _lastFireDate = date;
            const double gap = seconds(_lastFireDate, date);
            const bool hasCounters =
                sample->contains(SampleKey::InTraffic) && sample->contains(SampleKey::OutTraffic);
            if (gap >= kMinimumGap && hasCounters) {
                const CounterGrowth growth = countReading(*readingOfSample(*sample), date);
                _totalInBytes += growth.in;
                _totalOutBytes += growth.out;
                const double inRateValue = static_cast<double>(growth.in) / gap / 1024.0;
                const double outRateValue = static_cast<double>(growth.out) / gap / 1024.0;
                _totalBytesValue = _totalInBytes + _totalOutBytes;
                const QDateTime now = Environment::current().now();
                if (_resetDate == distantPast() || !_resetDate.isValid())
                    _resetDate = now;
                // A clock that came back before the period began: the period
                // begins no later than now, and its bytes are never dated
                // ahead of the clock.
                else if (_resetDate > now)
                    _resetDate = now;
                const double sinceReset = seconds(_resetDate, Environment::current().now());
                _gbpmLimit = displayLimitGB->doubleValue() * static_cast<double>(_limitUnitsScale);
                // A clock set back before the reset date leaves no time to
                // project from: no projection rather than a negative one.
                _gbpm = sinceReset < 0
                            ? qQNaN()
                            : static_cast<double>(_totalBytesValue) / (sinceReset / kThirtyDays);
                showFigures(*sample, inRateValue, outRateValue);
                recordHistory(growth, *sample);
                showCycle(inRateValue, outRateValue, date);
                checkAlerts();
            }
            _lastFireDate = date;
        }
    }
    if (timer)
        timer->setFireDateFromNow(isApplicationActive() ? kFrontInterval : kBackInterval);
}

void AppDelegate::showFigures(const TrafficSample &sample, double inRateValue,
                              double outRateValue) {
    limitText1->setDoubleValue(_gbpmLimit);
    limitText2->setDoubleValue(_gbpmLimit);
    const double critical = rateIndicator->criticalValue();
    gbpmText->setDoubleValue(_gbpm);
    // A projection that is not finite shows as ∞ or a dash, not as "infT".
    const std::optional<QString> nonFinite = nonFiniteFigureText(_gbpm);
    showBadge(nonFinite ? *nonFinite : WBBKMGTFormatter::stringForObjectValue(_gbpm, 0));
    outRate->setDoubleValue(outRateValue);
    inRate->setDoubleValue(inRateValue);
    totalGigs->setDoubleValue(static_cast<double>(_totalBytesValue));
    levelIndicator->setDoubleValue(static_cast<double>(_totalBytesValue) / _gbpmLimit * 100.0);
    rateIndicator->setDoubleValue(_gbpm / _gbpmLimit * critical);
    // A router's name arrives with the line end of the tool's reply.
    airportName->setText(sample.value(SampleKey::Router).toString().trimmed());
}

} // namespace flowtally
