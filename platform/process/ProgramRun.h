#pragma once

#include "platform/process/FileDescriptor.h"
#include "platform/system/Status.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>
#include <sys/types.h>

namespace flowtally {

// Where a program's standard error goes: to ours, or on a pipe of its own
// to the one who runs it.
enum class ErrorText { Shared, Collected };

// A program to run: started directly (no shell, no search), each argument
// one word for it; in our environment with the given variables
// ("NAME=value", a text without a name is left out) in place of ours of
// their names; standard input and working directory ours. When it runs
// past its time limit (absent: the environment's tool timeout, taken at the
// start) its whole process group is killed.
struct Program {
    QString path{};
    QStringList arguments{};
    QStringList environment{};
    ErrorText errors = ErrorText::Shared;
    std::optional<std::chrono::milliseconds> timeLimit{};
};

// One run of a program, the way Flowtally starts every program it waits
// for: posix_spawn in a process group of its own, standard output (and
// error, when collected) on pipes, no other descriptor of ours inherited;
// runEvents() waits with poll for the pipes and the program's end together.
//
// Not thread-safe: one object serves one run on one thread. Destroying it
// kills the process group if the program still runs, reaps the program and
// closes every descriptor.
class ProgramRun {
  public:
    enum class Stream { Output, Error };
    // Gets each chunk a stream gives, in the order they come; an empty
    // chunk when the stream has ended (its descriptor is closed then).
    using ChunkHandler = std::function<void(Stream stream, const QByteArray &chunk)>;

    // The longest single wait of runEvents() that callers ask for: the
    // program's end and every chunk wake it at once anyway.
    static constexpr std::chrono::milliseconds kLongestWait{10};

    // What the runs of one program cost, over this process's life: the
    // runs reaped and their CPU time, user and system, as the kernel gave it
    // when each was reaped.
    struct ProgramCost {
        quint64 runs = 0;
        std::chrono::microseconds cpu{0};
    };
    // Every program's so far, by its path. Any thread.
    static QHash<QString, ProgramCost> programCosts();

    ProgramRun() = default;
    ~ProgramRun();
    ProgramRun(const ProgramRun &) = delete;
    ProgramRun &operator=(const ProgramRun &) = delete;

    // Starts the program. The error says what failed (pipe creation,
    // spawn, exec) with its error number; nothing runs then.
    [[nodiscard]] Status start(const Program &program);

    // Waits at most `longest` for something to happen (a chunk, a stream's
    // end, the program's end) and hands every chunk to the handler. Once
    // the time limit has run out while the caller still waits: kills the
    // program's process group, reaps the program, closes both streams,
    // logs one line and marks the run as timed out.
    void runEvents(std::chrono::milliseconds longest, const ChunkHandler &handler);

    // Whether the program has not been seen to end; runEvents() sees it.
    bool isRunning();
    // Whether the stream is still read: not ended, closed, or shared.
    bool isOpen(Stream stream) const { return pipe(stream).isOpen(); }
    // What the stream holds now, without waiting.
    QByteArray readAvailable(Stream stream);
    // Stops reading the stream; closing twice is harmless.
    void closeStream(Stream stream) { pipe(stream).close(); }

    bool timedOut() const { return timedOut_; }
    // The exit status, or the number of the signal that ended the program.
    int terminationStatus() const { return status_; }

  private:
    FileDescriptor &pipe(Stream stream) { return stream == Stream::Output ? output_ : error_; }
    const FileDescriptor &pipe(Stream stream) const {
        return stream == Stream::Output ? output_ : error_;
    }
    void reap(int options);
    void timeOut();

    QString path_;
    QStringList arguments_;
    pid_t pid_ = -1;
    FileDescriptor pidfd_;
    bool reaped_ = true;
    bool timedOut_ = false;
    int status_ = 0;
    std::chrono::milliseconds timeLimit_{0};
    std::chrono::steady_clock::time_point deadline_;
    FileDescriptor output_;
    FileDescriptor error_;
};

// How long runProgram waits: until the program has ended and both streams
// have ended too (what a program it started still writes on them
// included), or until the program has ended, taking what the pipes hold
// then.
enum class RunEnd { StreamsEnded, ProgramEnded };

// How a run went.
struct ProgramOutcome {
    // Success, or why the program could not be started (then nothing else
    // is set).
    Status started;
    QByteArray output;
    // Empty when standard error was shared.
    QByteArray errors;
    // The exit status, or the number of the signal that ended the program.
    int status = -1;
    // It ran past its time limit and was killed, with its process group;
    // output and errors then hold what came before.
    bool timedOut = false;
};

// Runs the program to its end on the calling thread, reading both streams
// while it runs, so that it may write more than a pipe holds.
ProgramOutcome runProgram(const Program &program, RunEnd end = RunEnd::StreamsEnded);

// Starts a program that nobody waits for and that outlives Flowtally, such
// as a window of its own: in a session of its own, standard input, output
// and error ours, no other descriptor of ours inherited, no time limit.
// Only whether it started is known; when it ends, a thread of the runner's
// own reaps it, so that it leaves no zombie behind.
[[nodiscard]] Status startDetached(const QString &path, const QStringList &arguments);

} // namespace flowtally
