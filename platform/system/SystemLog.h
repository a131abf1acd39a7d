#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace flowtally {

// Flowtally's event log: one line per event, written where the environment
// in force says (Environment::log), and kept for recentLogLines(). Safe to
// call from any thread.
void systemLog(const QString &line);

// A line of this run's log, and when it was logged (the environment's clock).
struct LogLine {
    QDateTime at;
    QString text;
};

// How many lines recentLogLines() keeps: a long run's log takes no more
// memory than this many lines.
inline constexpr qsizetype kKeptLogLines = 2000;

// The last lines this run logged, at most kKeptLogLines, oldest first.
// Any thread.
QList<LogLine> recentLogLines();

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
