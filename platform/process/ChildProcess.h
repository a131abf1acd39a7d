#pragma once

#include "Status.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <sys/types.h>

namespace flowtally {

// One run of a command-line tool as a child process: started directly (no
// shell), in a process group of its own, standard output on a pipe, standard
// error on a second pipe or shared with ours, standard input and working
// directory ours, environment ours with the variables the caller adds.
//
// Reading is event-style: a stream's handler is registered, one background
// read is armed at a time with readInBackground(), and runEvents() delivers
// each completed read as one chunk to the handler; an empty chunk means the
// stream has ended. The handler arms the next read itself.
//
// Not thread-safe; one object serves one run on one thread. Destroying the
// object kills a child that still runs, reaps it and closes every descriptor.
class ChildProcess {
  public:
    enum class Stream { Output, Error };
    enum class ErrorStream { Inherited, Piped };
    using ReadHandler = std::function<void(const QByteArray &chunk)>;

    // The longest single wait of runEvents() that callers ask for: the
    // child's end and every chunk wake it at once anyway.
    static constexpr std::chrono::milliseconds kLongestWait{10};

    // What the children of one program cost, over this process's life: the
    // runs reaped and their CPU time, user and system, as the kernel gave it
    // when each was reaped.
    struct ProgramCost {
        quint64 runs = 0;
        std::chrono::microseconds cpu{0};
    };
    // Every program's so far, by its path. Any thread.
    static QHash<QString, ProgramCost> programCosts();

    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    // Starts the program at path (no search) with the arguments, in our
    // environment with the given variables ("NAME=value") added, each in
    // place of ours of that name. The error says what failed (pipe
    // creation, spawn, exec) with its error number.
    Status start(const QString &path, const QStringList &arguments, ErrorStream errorStream,
                 const QStringList &environment = {});

    void setReadHandler(Stream stream, ReadHandler handler);
    void removeReadHandler(Stream stream);
    // Arms one read of the stream; its chunk goes to the stream's handler.
    void readInBackground(Stream stream);
    // Closes our reading end of the stream; closing twice is harmless.
    void closeStream(Stream stream);
    // Reads what the stream holds now, without waiting.
    QByteArray readAvailable(Stream stream);

    // Waits at most `longest` for something to happen (a chunk, the child's
    // end) and handles it. Once the environment's tool timeout (taken at the
    // start) has run out while the caller
    // still waits, kills the child's process group, reaps it, logs one line
    // and marks the run as timed out.
    void runEvents(std::chrono::milliseconds longest);

    bool isRunning();
    bool timedOut() const { return timedOut_; }
    // The exit status, or the number of the signal that ended the child.
    int terminationStatus() const { return status_; }

  private:
    struct Reader {
        int fd = -1;
        bool armed = false;
        ReadHandler handler;
    };

    Reader &reader(Stream stream) { return stream == Stream::Output ? output_ : error_; }
    void reap(int options);
    void killGroup();
    void closeAll();

    QString path_;
    QStringList arguments_;
    pid_t pid_ = -1;
    int pidfd_ = -1;
    bool reaped_ = true;
    bool timedOut_ = false;
    int status_ = 0;
    std::chrono::milliseconds timeout_{0};
    std::chrono::steady_clock::time_point deadline_;
    Reader output_;
    Reader error_;
};

} // namespace flowtally
