#include "platform/process/ProgramRun.h"

#include "platform/process/ArgumentListDescription.h"
#include "platform/system/Environment.h"
#include "platform/system/SystemLog.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char **environ;

namespace flowtally {

namespace {

// Big enough to empty a full pipe in one read.
constexpr size_t kChunkSize = 65536;

// What each program cost so far. A detached program's reaper thread may
// count it while the process ends, so this is never destroyed.
struct Costs {
    std::mutex mutex;
    QHash<QString, ProgramRun::ProgramCost> byPath;
};

Costs &costs() {
    static Costs *const all = new Costs;
    return *all;
}

std::chrono::microseconds durationOf(const timeval &time) {
    return std::chrono::seconds(time.tv_sec) + std::chrono::microseconds(time.tv_usec);
}

// What a posix_spawn* call answered: it gives the error number instead of
// setting errno.
Status spawnStep(int result, const char *what) {
    return result == 0 ? Status::success() : Status::systemError(QString::fromLatin1(what), result);
}

// How the program stands to us.
enum class Tie {
    // A process group of its own, inside our session: killed with it at the
    // time limit.
    Waited,
    // A session of its own: it lives on when we go.
    Detached,
};

// posix_spawn's attributes and file actions, released with the scope.
class SpawnSetup {
  public:
    SpawnSetup() {
        attributesMade_ = posix_spawnattr_init(&attributes_) == 0;
        fileActionsMade_ = posix_spawn_file_actions_init(&fileActions_) == 0;
    }
    ~SpawnSetup() {
        if (fileActionsMade_)
            posix_spawn_file_actions_destroy(&fileActions_);
        if (attributesMade_)
            posix_spawnattr_destroy(&attributes_);
    }
    SpawnSetup(const SpawnSetup &) = delete;
    SpawnSetup &operator=(const SpawnSetup &) = delete;

    // The program's standard output and error on these writing ends where
    // given (else ours); every other descriptor of ours closed, whether or
    // not it was opened to close on exec; signals unblocked and SIGPIPE at
    // its default, whatever the calling thread has set up for itself.
    Status prepare(Tie tie, int outputFd, int errorFd) {
        if (!attributesMade_ || !fileActionsMade_)
            return Status::ioError(QStringLiteral("cannot prepare the start of a program"));
        sigset_t unblocked;
        sigemptyset(&unblocked);
        sigset_t defaulted;
        sigemptyset(&defaulted);
        sigaddset(&defaulted, SIGPIPE);
        const short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF |
                            (tie == Tie::Waited ? POSIX_SPAWN_SETPGROUP : POSIX_SPAWN_SETSID);
        Status status =
            spawnStep(posix_spawnattr_setflags(&attributes_, flags), "posix_spawnattr_setflags");
        const auto then = [&status](int result, const char *what) {
            if (status.ok())
                status = spawnStep(result, what);
        };
        if (tie == Tie::Waited)
            then(posix_spawnattr_setpgroup(&attributes_, 0), "posix_spawnattr_setpgroup");
        then(posix_spawnattr_setsigmask(&attributes_, &unblocked), "posix_spawnattr_setsigmask");
        then(posix_spawnattr_setsigdefault(&attributes_, &defaulted),
             "posix_spawnattr_setsigdefault");
        if (outputFd >= 0)
            then(posix_spawn_file_actions_adddup2(&fileActions_, outputFd, STDOUT_FILENO),
                 "posix_spawn_file_actions_adddup2");
        if (errorFd >= 0)
            then(posix_spawn_file_actions_adddup2(&fileActions_, errorFd, STDERR_FILENO),
                 "posix_spawn_file_actions_adddup2");
        then(posix_spawn_file_actions_addclosefrom_np(&fileActions_, STDERR_FILENO + 1),
             "posix_spawn_file_actions_addclosefrom_np");
        return status;
    }

    // Starts the program; its id in pid.
    Status spawn(pid_t *pid, const QString &path, const QStringList &arguments,
                 const QStringList &environment) {
        QByteArrayList words{QFile::encodeName(path)};
        for (const QString &argument : arguments)
            words.append(QFile::encodeName(argument));
        std::vector<char *> argv;
        for (QByteArray &word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        QByteArrayList variables;
        std::vector<char *> envp;
        if (!environment.isEmpty()) {
            variables = environmentWith(environment);
            for (QByteArray &variable : variables)
                envp.push_back(variable.data());
            envp.push_back(nullptr);
        }
        return spawnStep(posix_spawn(pid, argv[0], &fileActions_, &attributes_, argv.data(),
                                     envp.empty() ? environ : envp.data()),
                         "cannot start the program");
    }

  private:
    // Our environment with the added variables in place of ours of their
    // names; an added text without "=" names no variable and is left out.
    static QByteArrayList environmentWith(const QStringList &added) {
        QByteArrayList entries;
        QByteArrayList names;
        for (const QString &variable : added) {
            const QByteArray entry = QFile::encodeName(variable);
            const qsizetype nameEnd = entry.indexOf('=');
            if (nameEnd <= 0)
                continue;
            entries.append(entry);
            names.append(entry.left(nameEnd + 1));
        }
        for (char **entry = environ; *entry; ++entry) {
            const QByteArray ours(*entry);
            const bool replaced =
                std::any_of(names.cbegin(), names.cend(),
                            [&](const QByteArray &name) { return ours.startsWith(name); });
            if (!replaced)
                entries.append(ours);
        }
        return entries;
    }

    posix_spawnattr_t attributes_;
    posix_spawn_file_actions_t fileActions_;
    bool attributesMade_ = false;
    bool fileActionsMade_ = false;
};

// Waits for the program's end as the options say; its wait status in
// status. Counts its cost under path once it is reaped. The answer of
// wait4: the id, 0 while it still runs (WNOHANG), -1 when it is not ours
// to reap.
pid_t reapProgram(pid_t pid, int options, const QString &path, int *status) {
    rusage usage{};
    pid_t result;
    do {
        result = ::wait4(pid, status, options, &usage);
    } while (result < 0 && errno == EINTR);
    if (result > 0) {
        std::lock_guard lock(costs().mutex);
        ProgramRun::ProgramCost &cost = costs().byPath[path];
        ++cost.runs;
        cost.cpu += durationOf(usage.ru_utime) + durationOf(usage.ru_stime);
    }
    return result;
}

} // namespace

ProgramRun::~ProgramRun() {
    if (!reaped_) {
        ::kill(-pid_, SIGKILL);
        reap(0);
    }
}

Status ProgramRun::start(const Program &program) {
    path_ = program.path;
    arguments_ = program.arguments;

    Pipe output, error;
    Status status = Pipe::open(output);
    if (status.ok() && program.errors == ErrorText::Collected)
        status = Pipe::open(error);
    SpawnSetup setup;
    if (status.ok())
        status = setup.prepare(Tie::Waited, output.writing.get(), error.writing.get());
    if (status.ok())
        status = setup.spawn(&pid_, path_, arguments_, program.environment);
    // The program holds its own copies of the writing ends, which go with
    // the pipes here.
    if (!status.ok())
        return status;
    output_ = std::move(output.reading);
    error_ = std::move(error.reading);

    reaped_ = false;
    // Without a pidfd (kernels before 5.3) the program's end is polled for.
    pidfd_ = FileDescriptor(static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0)));
    timeLimit_ = program.timeLimit.value_or(Environment::current().toolTimeout());
    deadline_ = std::chrono::steady_clock::now() + timeLimit_;
    return Status::success();
}

void ProgramRun::runEvents(std::chrono::milliseconds longest, const ChunkHandler &handler) {
    using namespace std::chrono;
    const auto now = steady_clock::now();
    if (now >= deadline_ && !timedOut_) {
        timeOut();
        return;
    }

    pollfd descriptors[3];
    Stream streams[2];
    nfds_t count = 0;
    for (const Stream stream : {Stream::Output, Stream::Error}) {
        if (isOpen(stream)) {
            streams[count] = stream;
            descriptors[count++] = {pipe(stream).get(), POLLIN, 0};
        }
    }
    const nfds_t streamCount = count;
    const bool watchProgram = !reaped_ && pidfd_.isOpen();
    if (watchProgram)
        descriptors[count++] = {pidfd_.get(), POLLIN, 0};

    const auto wait = std::min(longest, ceil<milliseconds>(deadline_ - now));
    if (::poll(descriptors, count, static_cast<int>(wait.count())) < 0)
        return; // interrupted by a signal; the caller comes back

    if (!reaped_ && (!watchProgram || descriptors[streamCount].revents != 0))
        reap(WNOHANG);

    for (nfds_t index = 0; index < streamCount; ++index) {
        if (descriptors[index].revents == 0)
            continue;
        char buffer[kChunkSize];
        const ssize_t read = ::read(descriptors[index].fd, buffer, sizeof buffer);
        if (read < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        // A read error ends the stream as its end would.
        if (read <= 0)
            closeStream(streams[index]);
        handler(streams[index], read > 0 ? QByteArray(buffer, read) : QByteArray());
    }
}

bool ProgramRun::isRunning() {
    // A pidfd tells runEvents() of the end; without one it is asked for.
    if (!reaped_ && !pidfd_.isOpen())
        reap(WNOHANG);
    return !reaped_;
}

QByteArray ProgramRun::readAvailable(Stream stream) {
    QByteArray data;
    if (!isOpen(stream))
        return data;
    char buffer[kChunkSize];
    for (;;) {
        const ssize_t count = ::read(pipe(stream).get(), buffer, sizeof buffer);
        if (count > 0)
            data.append(buffer, count);
        else if (count < 0 && errno == EINTR)
            continue;
        else
            return data;
    }
}

QHash<QString, ProgramRun::ProgramCost> ProgramRun::programCosts() {
    std::lock_guard lock(costs().mutex);
    return costs().byPath;
}

void ProgramRun::reap(int options) {
    int status = 0;
    const pid_t result = reapProgram(pid_, options, path_, &status);
    if (result == 0)
        return;
    reaped_ = true;
    pidfd_.close();
    if (result < 0)
        status_ = -1; // reaped by someone else: the outcome is unknown
    else if (WIFEXITED(status))
        status_ = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        status_ = WTERMSIG(status);
}

void ProgramRun::timeOut() {
    systemLog(QStringLiteral("Tool did not end within %1 ms and was killed: %2, arguments: %3")
                  .arg(timeLimit_.count())
                  .arg(path_, argumentListDescription(arguments_)));
    // The group outlives its first process while a process it started
    // still holds the pipes.
    ::kill(-pid_, SIGKILL);
    if (!reaped_)
        reap(0);
    timedOut_ = true;
    closeStream(Stream::Output);
    closeStream(Stream::Error);
}

ProgramOutcome runProgram(const Program &program, RunEnd end) {
    using Stream = ProgramRun::Stream;
    ProgramOutcome outcome;
    ProgramRun run;
    outcome.started = run.start(program);
    if (!outcome.started.ok())
        return outcome;
    const auto collect = [&outcome](Stream stream, const QByteArray &chunk) {
        (stream == Stream::Output ? outcome.output : outcome.errors).append(chunk);
    };
    const auto waitedFor = [&] {
        return run.isRunning() || (end == RunEnd::StreamsEnded &&
                                   (run.isOpen(Stream::Output) || run.isOpen(Stream::Error)));
    };
    while (waitedFor() && !run.timedOut())
        run.runEvents(ProgramRun::kLongestWait, collect);
    // What the program wrote last may still be in the pipes.
    outcome.output.append(run.readAvailable(Stream::Output));
    outcome.errors.append(run.readAvailable(Stream::Error));
    outcome.status = run.terminationStatus();
    outcome.timedOut = run.timedOut();
    return outcome;
}

Status startDetached(const QString &path, const QStringList &arguments) {
    SpawnSetup setup;
    pid_t pid = -1;
    Status status = setup.prepare(Tie::Detached, -1, -1);
    if (status.ok())
        status = setup.spawn(&pid, path, arguments, {});
    if (!status.ok())
        return status;
    // Waiting is all this thread does; it ends with the program.
    std::thread([pid, path] {
        int ended = 0;
        reapProgram(pid, 0, path, &ended);
    }).detach();
    return Status::success();
}

} // namespace flowtally
