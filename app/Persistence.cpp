// Persistence: one record per network service in the user defaults, the
// registration defaults, and the reset of the totals with its undo.
#include "AppDelegate.h"

#include "DistantPast.h"
#include "HistoryWriter.h"
#include "PropertyList.h"
#include "Resources.h"
#include "SettingsKeys.h"
#include "SystemLog.h"
#include "UserDefaults.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUndoCommand>
#include <QUndoStack>

namespace flowtally {

namespace {

const QString kDefaultsResource = QStringLiteral("Flowtally Defaults.plist");

// A value as the log shows it. The community string is a password and never
// reaches the log.
QString describe(const QVariant &value, const QString &key) {
    if (key == SettingsKey::communityPassword)
        return QStringLiteral("********");
    switch (value.typeId()) {
    case QMetaType::QVariantMap:
        return QString::fromUtf8(QJsonDocument(QJsonObject::fromVariantMap(value.toMap()))
                                     .toJson(QJsonDocument::Compact));
    case QMetaType::QVariantList:
        return QString::fromUtf8(QJsonDocument(QJsonArray::fromVariantList(value.toList()))
                                     .toJson(QJsonDocument::Compact));
    case QMetaType::QDateTime:
        return value.toDateTime().toString(Qt::ISODate);
    default:
        return value.toString();
    }
}

// The reset, undone by putting back the record taken just before it, with
// what was counted since the reset added to its totals: the period goes on
// as if it had never been reset. The counters stay where they are now, so
// nothing is counted twice. Once undone there is nothing to redo.
class ResetTotalsCommand : public QUndoCommand {
  public:
    ResetTotalsCommand(AppDelegate *controller, QVariantMap before)
        : controller_(controller), before_(std::move(before)) {
        setText(QStringLiteral("\"Reset Totals\""));
    }
    void redo() override {
        controller_->doResetTotals();
        controller_->storeRecordNow();
    }
    void undo() override {
        QVariantMap restored = before_;
        const QVariantMap now = controller_->dictionaryFromPersistentValues();
        if (now.value(RecordKey::PrimaryService) == before_.value(RecordKey::PrimaryService)) {
            for (const QString &total : {RecordKey::totalInBytes, RecordKey::totalOutBytes})
                restored.insert(total, before_.value(total).toULongLong() +
                                           now.value(total).toULongLong());
            for (const QString &counters :
                 {RecordKey::prevInVal, RecordKey::prevOutVal, RecordKey::prevValSource,
                  RecordKey::prevValOrigin, RecordKey::prevUptime, RecordKey::cycleResetFor}) {
                if (now.contains(counters))
                    restored.insert(counters, now.value(counters));
            }
        }
        controller_->loadPersistentValuesFromDict(restored);
        controller_->storeRecordNow();
        setObsolete(true);
    }

  private:
    AppDelegate *controller_;
    QVariantMap before_;
};

} // namespace

const QStringList &AppDelegate::persistentDataKeys() {
    static const QStringList keys{
        RecordKey::resetDate,       RecordKey::totalInBytes,  RecordKey::totalOutBytes,
        RecordKey::prevInVal,       RecordKey::prevOutVal,    RecordKey::PrimaryService,
        RecordKey::limitUnitsScale, RecordKey::gbpmLimit,     RecordKey::prevValSource,
        RecordKey::prevUptime,      RecordKey::prevValOrigin, RecordKey::cycleStartDay,
        RecordKey::cycleResetFor,   RecordKey::limitAlerts};
    return keys;
}

std::optional<QVariantMap> AppDelegate::registrationDefaults() {
    std::optional<QVariantMap> defaults =
        dictionaryWithContentsOfFile(resourcePath(kDefaultsResource));
    if (!defaults) {
        systemLog(
            QStringLiteral("The resource \"%1\" is missing or unreadable").arg(kDefaultsResource));
        return std::nullopt;
    }
    defaults->insert(RecordKey::resetDate, distantPast());
    if (const std::optional<QString> service = primaryServiceUUID())
        defaults->insert(RecordKey::PrimaryService, *service);
    return defaults;
}

void AppDelegate::initialize() {
    static const bool registered = [] {
        if (const std::optional<QVariantMap> defaults = registrationDefaults())
            UserDefaults::standardUserDefaults().registerDefaults(*defaults);
        return true;
    }();
    Q_UNUSED(registered);
}

void AppDelegate::readDatFile() {
    // A network's cycle and alerts are its own: another's never carry over,
    // also to a network without a record.
    _cycleStartDay = 0;
    _cycleResetFor = QDateTime();
    _limitAlerts.clear();
    historyName.clear();
    const std::optional<QString> service = primaryServiceUUID();
    const QVariant stored =
        service ? UserDefaults::standardUserDefaults().objectForKey(*service) : QVariant();
    if (stored.typeId() == QMetaType::QVariantMap)
        loadPersistentValuesFromDict(stored.toMap());
    else if (const std::optional<QVariantMap> defaults = registrationDefaults())
        loadPersistentValuesFromDict(*defaults);
}

void AppDelegate::doWriteToDisk() {
    if (working)
        return;
    if (_PrimaryService)
        writeRecord(*_PrimaryService);
}

void AppDelegate::writeRecord(const QString &service) {
    // Without a service there is no key to store under: the values stay in
    // memory until a network comes.
    if (service.isEmpty())
        return;
    // The record and the last reading go into the file together; what the
    // history gained meanwhile follows once the file holds them.
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    defaults.setObjects({{service, dictionaryFromPersistentValues()},
                         {SettingsKey::LastReading, lastReading.toMap()}});
    if (historyWriter) {
        historyWriter->stage(defaults.generation());
        // Nothing changed (no bytes either): no write comes to take it along.
        if (defaults.isWritten())
            defaults.callWrittenHookSoon();
    }
}

void AppDelegate::storeRecordNow() {
    if (_PrimaryService)
        writeRecord(*_PrimaryService);
    UserDefaults::standardUserDefaults().writeNow();
}

void AppDelegate::readLastReading() {
    lastReading = LastReading::fromMap(
        UserDefaults::standardUserDefaults().objectForKey(SettingsKey::LastReading).toMap());
    lastReading.beginSession();
}

QVariantMap AppDelegate::dictionaryFromPersistentValues() const {
    QVariantMap record;
    record.insert(RecordKey::resetDate, _resetDate);
    record.insert(RecordKey::totalInBytes, _totalInBytes);
    record.insert(RecordKey::totalOutBytes, _totalOutBytes);
    record.insert(RecordKey::prevInVal, _prevInVal);
    record.insert(RecordKey::prevOutVal, _prevOutVal);
    if (_PrimaryService)
        record.insert(RecordKey::PrimaryService, *_PrimaryService);
    record.insert(RecordKey::limitUnitsScale, _limitUnitsScale);
    record.insert(RecordKey::gbpmLimit, _gbpmLimit);
    if (_prevValOrigin.isKnown())
        record.insert(RecordKey::prevValSource, counterSourceName(_prevValOrigin.source));
    if (!_prevValOrigin.device.isEmpty())
        record.insert(RecordKey::prevValOrigin, _prevValOrigin.toMap());
    record.insert(RecordKey::prevUptime, _prevUptime);
    if (_cycleStartDay != 0)
        record.insert(RecordKey::cycleStartDay, quint64(_cycleStartDay));
    if (_cycleResetFor.isValid())
        record.insert(RecordKey::cycleResetFor, _cycleResetFor);
    if (!_limitAlerts.isEmpty())
        record.insert(RecordKey::limitAlerts, _limitAlerts);
    return record;
}

void AppDelegate::loadPersistentValuesFromDict(const QVariantMap &record) {
    // A record of an older version names only the source of its counters.
    if (record.contains(RecordKey::prevValSource) && !record.contains(RecordKey::prevValOrigin))
        _prevValOrigin = CounterOrigin{};
    for (auto entry = record.constBegin(); entry != record.constEnd(); ++entry) {
        const QString &key = entry.key();
        const QVariant &value = entry.value();
        if (key == RecordKey::resetDate)
            setResetDate(value.toDateTime());
        else if (key == RecordKey::totalInBytes)
            _totalInBytes = value.toULongLong();
        else if (key == RecordKey::totalOutBytes)
            _totalOutBytes = value.toULongLong();
        else if (key == RecordKey::prevInVal)
            _prevInVal = value.toULongLong();
        else if (key == RecordKey::prevOutVal)
            _prevOutVal = value.toULongLong();
        else if (key == RecordKey::PrimaryService)
            setPrimaryService(value.toString());
        else if (key == RecordKey::limitUnitsScale)
            _limitUnitsScale = value.toULongLong();
        else if (key == RecordKey::gbpmLimit)
            _gbpmLimit = value.toDouble();
        else if (key == RecordKey::prevValSource) {
            if (_prevValOrigin.device.isEmpty())
                _prevValOrigin.source = counterSourceNamed(value.toString());
        } else if (key == RecordKey::prevValOrigin)
            _prevValOrigin = CounterOrigin::fromMap(value.toMap());
        else if (key == RecordKey::cycleStartDay)
            _cycleStartDay = int(qBound<quint64>(0, value.toULongLong(), 31));
        else if (key == RecordKey::cycleResetFor)
            _cycleResetFor = value.toDateTime();
        else if (key == RecordKey::limitAlerts)
            _limitAlerts = value.toMap();
        else if (key == RecordKey::prevUptime)
            _prevUptime = value.toDouble();
        else
            setValue(value, key);
    }
}

void AppDelegate::setValue(const QVariant &value, const QString &forUndefinedKey) {
    systemLog(QStringLiteral("value: %1 for undefined key: %2")
                  .arg(describe(value, forUndefinedKey), forUndefinedKey));
}

void AppDelegate::doResetTotals() {
    if (std::optional<QVariantMap> defaults = registrationDefaults()) {
        defaults->remove(SettingsKey::DisplayLimitGB);
        loadPersistentValuesFromDict(*defaults);
    }
    setResetDate(distantPast());
}

void AppDelegate::doResetTotalsNow() {
    undoManager->push(new ResetTotalsCommand(this, dictionaryFromPersistentValues()));
}

} // namespace flowtally
