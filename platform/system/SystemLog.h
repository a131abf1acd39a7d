#pragma once

#include <QString>
#include <QStringList>

namespace flowtally {

// Flowtally's event log: one line per event, written where the environment
// in force says (Environment::log). Safe to call from any thread.
void systemLog(const QString &line);

// Holds the lines that the calling thread logs while it lives, instead of
// writing them, for its owner to take; what it still holds when it goes is
// logged then. The innermost of nested holds holds.
class HeldLogLines {
  public:
    HeldLogLines();
    ~HeldLogLines();
    HeldLogLines(const HeldLogLines &) = delete;
    HeldLogLines &operator=(const HeldLogLines &) = delete;

    // The lines held so far; they are held no longer.
    QStringList take();

  private:
    friend void systemLog(const QString &line);
    QStringList lines_;
    HeldLogLines *outer_;
};

// The system's destinations for a log line: standard error ("flowtally: "
// before the line) and the system log under the identifier "flowtally".
void writeToSystemLog(const QString &line);

} // namespace flowtally
