#include "platform/system/UserDefaults.h"

#include "platform/system/Environment.h"
#include "platform/system/PropertyList.h"
#include "platform/system/SystemLog.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace flowtally {

namespace {

// While writing fails, it is tried again this often.
constexpr std::chrono::milliseconds kRetryInterval{1000};

std::mutex standardStoreMutex;
UserDefaults *standardStore = nullptr;

// The registration domain belongs to the process: a store opened afresh
// (for another environment's folder) takes it over from the one before.
QVariantMap standardRegistration;

} // namespace

UserDefaults::UserDefaults(const QString &path, std::chrono::milliseconds writeInterval)
    : path_(path), writeInterval_(writeInterval) {
    load();
    writer_ = std::thread([this] { writeWhenDue(); });
}

UserDefaults::~UserDefaults() {
    // A failed write is logged by the writer; nobody is left to tell.
    synchronize().ignore();
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    writer_.join();
}

QString UserDefaults::standardPath() {
    return Environment::current().configFolder() + QStringLiteral("/flowtally/defaults.plist");
}

UserDefaults &UserDefaults::standardUserDefaults() {
    std::lock_guard lock(standardStoreMutex);
    if (!standardStore) {
        standardStore =
            new UserDefaults(standardPath(), Environment::current().settingsWriteInterval());
        standardStore->registered_ = standardRegistration;
        // Pending changes are written when the application object goes.
        static std::once_flag atQuit;
        if (QCoreApplication::instance())
            std::call_once(atQuit,
                           [] { qAddPostRoutine(&UserDefaults::resetStandardUserDefaults); });
    }
    return *standardStore;
}

void UserDefaults::resetStandardUserDefaults() {
    UserDefaults *store = nullptr;
    {
        std::lock_guard lock(standardStoreMutex);
        std::swap(store, standardStore);
        if (store)
            standardRegistration = store->registered_;
    }
    delete store;
}

void UserDefaults::load() {
    QFile file(path_);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly)) {
        keepUnreadableFileAside(file.errorString());
        return;
    }
    QVariantMap stored;
    const Status read = dictionaryFromData(file.readAll(), &stored);
    if (!read.ok()) {
        keepUnreadableFileAside(read.message());
        return;
    }
    std::lock_guard lock(mutex_);
    values_ = std::move(stored);
}

void UserDefaults::keepUnreadableFileAside(const QString &reason) {
    const QString kept =
        path_ + QStringLiteral(".corrupt-") +
        Environment::current().now().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    // QFile::rename never replaces an existing file, so an older copy that
    // was kept aside stays as it is.
    if (QFile::rename(path_, kept)) {
        systemLog(
            QStringLiteral("The settings file %1 could not be read (%2); it is kept as %3 and "
                           "the settings start from their defaults.")
                .arg(path_, reason, kept));
    } else {
        systemLog(QStringLiteral("The settings file %1 could not be read (%2) nor be kept aside; "
                                 "the settings start from their defaults.")
                      .arg(path_, reason));
    }
}

void UserDefaults::registerDefaults(const QVariantMap &defaults) {
    std::lock_guard lock(mutex_);
    registered_.insert(defaults);
}

QStringList UserDefaults::keys() const {
    std::lock_guard lock(mutex_);
    return values_.keys();
}

QVariant UserDefaults::objectForKey(const QString &key) const {
    std::lock_guard lock(mutex_);
    const auto stored = values_.constFind(key);
    return stored != values_.constEnd() ? *stored : registered_.value(key);
}

std::optional<QString> UserDefaults::stringForKey(const QString &key) const {
    const QVariant value = objectForKey(key);
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

bool UserDefaults::boolForKey(const QString &key) const {
    const QVariant value = objectForKey(key);
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::QString: {
        const QString text = value.toString().trimmed();
        return text.compare(QLatin1String("YES"), Qt::CaseInsensitive) == 0 ||
               text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
               text.toLongLong() != 0;
    }
    default:
        // Numbers; dates, dictionaries and the like read as 0.
        return value.toDouble() != 0;
    }
}

void UserDefaults::setObject(const QString &key, const QVariant &value) {
    if (!value.isValid()) {
        removeObject(key);
        return;
    }
    setObjects({{key, value}});
}

void UserDefaults::setObjects(const QVariantMap &values) {
    // A value that cannot be written would keep every later write from
    // succeeding, so it is refused here.
    QVariantMap storable;
    for (auto value = values.constBegin(); value != values.constEnd(); ++value) {
        if (!hasPropertyListForm(value.value())) {
            systemLog(QStringLiteral("The setting %1 is not stored: a value of type %2 cannot be "
                                     "written to the settings file.")
                          .arg(value.key(), QString::fromLatin1(value.value().typeName())));
            continue;
        }
        storable.insert(value.key(), value.value());
    }
    bool changes = false;
    {
        std::lock_guard lock(mutex_);
        for (auto value = storable.constBegin(); value != storable.constEnd(); ++value) {
            const auto stored = values_.constFind(value.key());
            if (stored != values_.constEnd() && *stored == value.value())
                continue;
            values_.insert(value.key(), value.value());
            changes = true;
        }
    }
    if (changes)
        changed();
}

void UserDefaults::removeObject(const QString &key) {
    {
        std::lock_guard lock(mutex_);
        if (values_.remove(key) == 0)
            return;
    }
    changed();
}

void UserDefaults::changed() {
    {
        std::lock_guard lock(mutex_);
        ++generation_;
    }
    wake_.notify_all();
}

void UserDefaults::writeNow() {
    {
        std::lock_guard lock(mutex_);
        writeNow_ = true;
    }
    wake_.notify_all();
}

quint64 UserDefaults::generation() const {
    std::lock_guard lock(mutex_);
    return generation_;
}

void UserDefaults::setWrittenHook(WrittenHook hook) {
    std::lock_guard lock(mutex_);
    writtenHook_ = std::move(hook);
}

void UserDefaults::callWrittenHookSoon() {
    {
        std::lock_guard lock(mutex_);
        ++hookRequests_;
    }
    wake_.notify_all();
}

bool UserDefaults::isWritten() const {
    std::lock_guard lock(mutex_);
    return writtenGeneration_ == generation_;
}

Status UserDefaults::synchronize() {
    std::unique_lock lock(mutex_);
    const quint64 target = generation_;
    const quint64 attempt = attempts_;
    const quint64 requests = hookRequests_;
    if (writtenGeneration_ >= target && hookRequestsDone_ >= requests)
        return Status::success();
    writeNow_ = true;
    wake_.notify_all();
    // Written (and the hook called as asked), or a write tried since the
    // request failed.
    wake_.wait(lock, [&] {
        return (writtenGeneration_ >= target && hookRequestsDone_ >= requests) ||
               (attempts_ > attempt && !lastOutcome_.ok());
    });
    return writtenGeneration_ >= target ? Status::success() : lastOutcome_;
}

void UserDefaults::writeWhenDue() {
    using Clock = std::chrono::steady_clock;
    std::unique_lock lock(mutex_);
    for (;;) {
        const bool pending = writtenGeneration_ != generation_;
        if (!pending && hookRequestsDone_ < hookRequests_) {
            const WrittenHook hook = writtenHook_;
            const quint64 written = writtenGeneration_;
            const quint64 requests = hookRequests_;
            lock.unlock();
            if (hook)
                hook(written);
            lock.lock();
            // Requests made while it ran get a run of their own.
            hookRequestsDone_ = requests;
            wake_.notify_all();
            continue;
        }
        if (!pending) {
            writeNow_ = false;
            if (stopping_)
                return;
            wake_.wait(lock);
            continue;
        }
        if (!writeNow_ && !stopping_ && Clock::now() < due_) {
            wake_.wait_until(lock, due_);
            continue;
        }
        const QVariantMap snapshot = values_;
        const quint64 generation = generation_;
        const WrittenHook hook = writtenHook_;
        writeNow_ = false;
        lock.unlock();
        const Status status = Environment::current().writeFileAtomically(path_, xmlData(snapshot));
        noteWriteOutcome(status);
        if (status.ok() && hook)
            hook(generation);
        lock.lock();
        ++attempts_;
        lastOutcome_ = status;
        if (status.ok())
            writtenGeneration_ = std::max(writtenGeneration_, generation);
        due_ = Clock::now() + (status.ok() ? writeInterval_ : kRetryInterval);
        wake_.notify_all();
        // A store that goes while writing fails gives up after this try.
        if (stopping_ && !status.ok())
            return;
    }
}

void UserDefaults::noteWriteOutcome(const Status &status) {
    const bool written = status.ok();
    // One line when writing starts failing and one when it works again, not
    // one per attempt.
    if (!written && !failing_)
        systemLog(QStringLiteral("The settings could not be written to %1 (%2); they are kept in "
                                 "memory and written when that works again.")
                      .arg(path_, status.message()));
    else if (written && failing_)
        systemLog(QStringLiteral("The settings are written to %1 again.").arg(path_));
    failing_ = !written;
}

} // namespace flowtally
