#pragma once

#include "platform/system/PrivateFolder.h"

#include <QObject>

class QSocketNotifier;

namespace flowtally {

// One Flowtally per user. The first start holds a lock in the runtime folder
// (RuntimeFolder.h; a plain file 0600 of this user's, opened through no link)
// and listens on a socket beside it; a later start finds the lock taken,
// asks the first through the socket to bring its window to the front, and
// ends without touching anything else. Two would meter the same bytes and
// overwrite each other's records. The lock goes with the process, also when
// it is killed. Main thread only.
class SingleInstance : public QObject {
    Q_OBJECT

  public:
    // Tries to become the first.
    explicit SingleInstance(QObject *parent = nullptr);
    ~SingleInstance() override;
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    // Whether this is the first start (or no lock could be taken at all:
    // then Flowtally runs rather than not at all, and says so in the log).
    bool isFirst() const { return first_; }

    // For a later start: asks the first to come to the front. Whether the
    // first was reached.
    bool askFirstToComeForward() const;

  signals:
    // On the first: a later start asked it to come to the front.
    void comeForwardRequested();

  private:
    void listen();
    void acceptRequests();

    PrivateFolder folder_;
    QString socketPath_;
    int lockFd_ = -1;
    int listenFd_ = -1;
    bool first_ = true;
    QSocketNotifier *requests_ = nullptr;
};

} // namespace flowtally
