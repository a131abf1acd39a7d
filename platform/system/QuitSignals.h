#pragma once

#include <QObject>

class QSocketNotifier;

namespace flowtally {

// Turns SIGTERM, SIGINT and SIGHUP into quitRequested() on the main thread,
// so that they quit through the same path as closing the main window. Each
// signal that arrives is delivered once; one that arrives while an earlier
// one is being handled is delivered after it. At most one object may exist at
// a time; destroying it restores the signals' earlier handling.
class QuitSignals : public QObject {
    Q_OBJECT

  public:
    explicit QuitSignals(QObject *parent = nullptr);
    ~QuitSignals() override;

  signals:
    void quitRequested(int signalNumber);

  private:
    void readSignals();

    QSocketNotifier *notifier_;
};

} // namespace flowtally
