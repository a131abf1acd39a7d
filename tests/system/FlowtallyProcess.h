#pragma once

#include "NetworkNamespace.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <sys/types.h>

// One run of the real program inside a namespace of the test's:
//   ip netns exec NAME flowtally
// offscreen, with its settings under the given XDG_CONFIG_HOME, its
// standard output and error (its log) in a file. It is ended only through
// its own pid, and is killed when the object goes while it still runs.
class FlowtallyProcess {
  public:
    FlowtallyProcess(const NetworkNamespace &network, const QString &configHome,
                     const QString &logPath);
    ~FlowtallyProcess();
    FlowtallyProcess(const FlowtallyProcess &) = delete;
    FlowtallyProcess &operator=(const FlowtallyProcess &) = delete;

    // The program in $FLOWTALLY_BIN_DIR, else beside the test program.
    static QString programPath();

    // Starts it and waits (bounded) until `ip` has become Flowtally.
    bool start(QString *error);
    bool isRunning();
    pid_t pid() const { return pid_; }

    // SIGTERM, then a bounded wait for the end; whether it ended.
    bool terminate();
    // SIGKILL, then a bounded wait for the end; whether it ended.
    bool kill();

    // How it ended: by itself (not by a signal), and with which status.
    bool exitedByItself() const;
    int exitCode() const { return process_.exitCode(); }

    // Its log lines ("flowtally: …" on standard error), prefix removed.
    QStringList logLines() const;
    QStringList logLinesContaining(const QString &text) const;
    // Everything it wrote, for failure messages.
    QString output() const;

  private:
    bool signalAndWait(int signalNumber, int waitMs);

    const NetworkNamespace &network_;
    const QString configHome_;
    const QString logPath_;
    QProcess process_;
    pid_t pid_ = -1;
};
