// Persistence: one record per network service in the user defaults, the
// registration defaults, and the reset of the totals with its undo.
#include "app/AppDelegate.h"

#include "app/WindowController.h"
#include "history/HistoryWriter.h"
#include "platform/system/PropertyList.h"
#include "platform/system/Resources.h"
#include "platform/system/SystemLog.h"
#include "platform/system/UserDefaults.h"
#include "record/DistantPast.h"
#include "record/SettingsKeys.h"

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

// The reset, undone by putting back the record taken just before it (see
// AppDelegate::undoReset). Once undone there is nothing to redo.
class ResetTotalsCommand : public QUndoCommand {
  public:
    ResetTotalsCommand(AppDelegate *controller, QVariantMap before, bool automatic)
        : controller_(controller), before_(std::move(before)), automatic_(automatic) {
        setText(QStringLiteral("\"Reset Totals\""));
    }
    // The automatic reset of a billing cycle that began at `start`.
    bool resetsCycle(const QDateTime &start) const {
        return automatic_ && before_.value(RecordKey::cycleResetFor).toDateTime() == start;
    }
    void redo() override {
        controller_->doResetTotals();
        resetService_ = controller_->primaryService();
        controller_->storeRecordNow();
    }
    void undo() override {
        controller_->undoReset(before_, automatic_, resetService_);
        setObsolete(true);
    }

  private:
    AppDelegate *controller_;
    QVariantMap before_;
    bool automatic_;
    std::optional<QString> resetService_;
};

} // namespace

const QStringList &AppDelegate::persistentDataKeys() {
    static const QStringList keys{
        RecordKey::resetDate,       RecordKey::totalInBytes,  RecordKey::totalOutBytes,
        RecordKey::prevInVal,       RecordKey::prevOutVal,    RecordKey::PrimaryService,
        RecordKey::limitUnitsScale, RecordKey::gbpmLimit,     RecordKey::prevValSource,
        RecordKey::prevUptime,      RecordKey::prevValOrigin, RecordKey::cycleStartDay,
        RecordKey::cycleResetFor,   RecordKey::limitAlerts,   RecordKey::cycleResetBefore};
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
    // A network's plan (its cycle, free hours, what it counts) and alerts are
    // its own: another's never carry over, also to a network without a
    // record.
    meter_.record().freeWindows.clear();
    meter_.record().countedTraffic = CountedTraffic::All;
    meter_.record().alertOnlyOnMetered = false;
    meter_.record().cycleStartDay = 0;
    meter_.record().cycleResetFor = QDateTime();
    meter_.record().cycleResetBefore.clear();
    meter_.record().limitAlerts.clear();
    historyName_.clear();
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
    if (meter_.record().service)
        writeRecord(*meter_.record().service);
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
                         {SettingsKey::LastReading, meter_.lastReading().toMap()}});
    if (historyWriter_) {
        historyWriter_->stage(defaults.generation());
        // Nothing changed (no bytes either): no write comes to take it along.
        if (defaults.isWritten())
            defaults.callWrittenHookSoon();
    }
}

void AppDelegate::storeRecordNow() {
    if (meter_.record().service)
        writeRecord(*meter_.record().service);
    UserDefaults::standardUserDefaults().writeNow();
    windows_->refreshCycleChart(); // a reset or its undo shows at once
}

void AppDelegate::readLastReading() {
    meter_.lastReading() = LastReading::fromMap(
        UserDefaults::standardUserDefaults().objectForKey(SettingsKey::LastReading).toMap());
    meter_.lastReading().beginSession();
}

void AppDelegate::loadPersistentValuesFromDict(const QVariantMap &record) {
    for (const QString &key : meter_.load(record))
        setValue(record.value(key), key);
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
    // The person's reset: an automatic one before it no longer stands alone
    // (its undo brings it back).
    QVariantMap before = dictionaryFromPersistentValues();
    meter_.record().cycleResetBefore.clear();
    windows_->undoStack()->push(new ResetTotalsCommand(this, std::move(before), false));
}

void AppDelegate::resetTotalsForCycle(const QDateTime &start) {
    QVariantMap before = dictionaryFromPersistentValues();
    before.remove(RecordKey::cycleResetBefore);
    meter_.record().cycleResetFor = start;
    windows_->undoStack()->push(
        new ResetTotalsCommand(this, dictionaryFromPersistentValues(), true));
    meter_.record().cycleResetBefore = before;
    storeRecordNow();
}

void AppDelegate::undoReset(const QVariantMap &before, bool automatic,
                            const std::optional<QString> &resetService) {
    // Undone on another network, the reset one's stored record gets back its
    // totals with what it counted since; the record held now stays.
    const QString reset = before.value(RecordKey::PrimaryService).toString();
    const QVariant stored = UserDefaults::standardUserDefaults().objectForKey(reset);
    if (resetService == reset && primaryService() && *primaryService() != reset &&
        stored.typeId() == QMetaType::QVariantMap) {
        Meter other;
        other.load(stored.toMap());
        other.undoReset(before, automatic);
        UserDefaults::standardUserDefaults().setObject(reset, other.record().toMap());
        storeRecordNow();
        return;
    }
    meter_.undoReset(before, automatic);
    storeRecordNow();
}

void AppDelegate::undoCycleResetOfClockAhead() {
    const QDateTime start = meter_.record().cycleResetFor;
    // The mark as it was before the reset: the reset comes again when the
    // cycle really begins.
    const QDateTime earlier =
        meter_.record().cycleResetBefore.value(RecordKey::cycleResetFor).toDateTime();
    QUndoStack *undoManager = windows_->undoStack();
    const auto *top = undoManager->index() > 0 ? dynamic_cast<const ResetTotalsCommand *>(
                                                     undoManager->command(undoManager->index() - 1))
                                               : nullptr;
    if (top && top->resetsCycle(start))
        undoManager->undo();
    else if (!meter_.record().cycleResetBefore.isEmpty())
        undoReset(meter_.record().cycleResetBefore, true);
    meter_.record().cycleResetFor = earlier;
    storeRecordNow();
    systemLog(QStringLiteral("The clock went back before %1, when the billing cycle of %2 began "
                             "by the clock of then: its reset is undone until the cycle begins.")
                  .arg(start.toString(Qt::ISODate),
                       historyName_.isEmpty() ? *meter_.record().service : historyName_));
}

} // namespace flowtally
