#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

namespace flowtally {

// Delivers named notifications to the observers of that name, synchronously,
// on the main thread. An observer is a callback held for a receiver object; it
// goes when the receiver is removed or destroyed.
class NotificationCenter : public QObject {
  public:
    using Observer = std::function<void(const QVariant &object)>;

    explicit NotificationCenter(QObject *parent = nullptr);
    ~NotificationCenter() override;

    // Flowtally's own centre, living as long as the application object.
    static NotificationCenter &defaultCenter();

    void addObserver(QObject *receiver, const QString &name, Observer callback);
    // Removes every observer that the receiver holds.
    void removeObserver(QObject *receiver);

    // Calls each observer of the name with the object, in the order in which
    // they were added.
    void post(const QString &name, const QVariant &object = {});

  private:
    struct Entry;
    std::vector<std::shared_ptr<Entry>> entries_;
};

} // namespace flowtally
