#include "ChildProcess.h"

#include "ArgumentListDescription.h"
#include "Environment.h"
#include "SystemLog.h"

#include <QFile>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace flowtally {

namespace {

// Big enough to empty a full pipe in one read.
constexpr size_t kChunkSize = 65536;

std::mutex costsMutex;
QHash<QString, ChildProcess::ProgramCost> costs;

std::chrono::microseconds durationOf(const timeval &time) {
    return std::chrono::seconds(time.tv_sec) + std::chrono::microseconds(time.tv_usec);
}

void closeDescriptor(int &fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// A pipe whose both ends close on exec; our reading end never blocks.
Status makePipe(int (&ends)[2]) {
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return Status::systemError(QStringLiteral("cannot make a pipe"), errno);
    const int flags = ::fcntl(ends[0], F_GETFL);
    if (flags < 0 || ::fcntl(ends[0], F_SETFL, flags | O_NONBLOCK) != 0)
        return Status::systemError(QStringLiteral("cannot set up a pipe"), errno);
    return Status::success();
}

// What a posix_spawn* call answered: it gives the error number instead of
// setting errno.
Status spawnStep(int result, const char *what) {
    return result == 0 ? Status::success() : Status::systemError(QString::fromLatin1(what), result);
}

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

    // The child's standard output (and error, when given) on these writing
    // ends, in a process group of its own, so that a timeout can kill
    // everything the tool started; signals unblocked and SIGPIPE at its
    // default, whatever the calling thread has set up for itself.
    Status prepare(int outputFd, int errorFd) {
        if (!attributesMade_ || !fileActionsMade_)
            return Status::error(QStringLiteral("cannot prepare the start of a program"));
        sigset_t unblocked;
        sigemptyset(&unblocked);
        sigset_t defaulted;
        sigemptyset(&defaulted);
        sigaddset(&defaulted, SIGPIPE);
        const short flags = POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
        for (const Status &step :
             {spawnStep(posix_spawnattr_setflags(&attributes_, flags), "posix_spawnattr_setflags"),
              spawnStep(posix_spawnattr_setpgroup(&attributes_, 0), "posix_spawnattr_setpgroup"),
              spawnStep(posix_spawnattr_setsigmask(&attributes_, &unblocked),
                        "posix_spawnattr_setsigmask"),
              spawnStep(posix_spawnattr_setsigdefault(&attributes_, &defaulted),
                        "posix_spawnattr_setsigdefault"),
              spawnStep(posix_spawn_file_actions_adddup2(&fileActions_, outputFd, STDOUT_FILENO),
                        "posix_spawn_file_actions_adddup2"),
              errorFd < 0 ? Status::success()
                          : spawnStep(posix_spawn_file_actions_adddup2(&fileActions_, errorFd,
                                                                       STDERR_FILENO),
                                      "posix_spawn_file_actions_adddup2")}) {
            if (!step.ok())
                return step;
        }
        return Status::success();
    }

    const posix_spawnattr_t *attributes() const { return &attributes_; }
    const posix_spawn_file_actions_t *fileActions() const { return &fileActions_; }

  private:
    posix_spawnattr_t attributes_;
    posix_spawn_file_actions_t fileActions_;
    bool attributesMade_ = false;
    bool fileActionsMade_ = false;
};

// Our environment with the added variables in place of ours of their names;
// an added text without "=" names no variable and is left out.
QByteArrayList environmentWith(const QStringList &added) {
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

} // namespace

ChildProcess::~ChildProcess() {
    if (!reaped_) {
        killGroup();
        reap(0);
    }
    closeAll();
}

Status ChildProcess::start(const QString &path, const QStringList &arguments,
                           ErrorStream errorStream, const QStringList &environment) {
    path_ = path;
    arguments_ = arguments;

    int outputPipe[2] = {-1, -1};
    int errorPipe[2] = {-1, -1};
    Status status = makePipe(outputPipe);
    if (status.ok() && errorStream == ErrorStream::Piped)
        status = makePipe(errorPipe);
    SpawnSetup setup;
    if (status.ok())
        status = setup.prepare(outputPipe[1], errorPipe[1]);
    if (status.ok()) {
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
        status = spawnStep(posix_spawn(&pid_, argv[0], setup.fileActions(), setup.attributes(),
                                       argv.data(), envp.empty() ? environ : envp.data()),
                           "cannot start the program");
    }
    // The child holds its own copies of the writing ends.
    closeDescriptor(outputPipe[1]);
    closeDescriptor(errorPipe[1]);
    output_.fd = outputPipe[0];
    error_.fd = errorPipe[0];
    if (!status.ok()) {
        closeAll();
        return status;
    }

    reaped_ = false;
    // Without a pidfd (kernels before 5.3) the child's end is polled for.
    pidfd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
    timeout_ = Environment::current().toolTimeout();
    deadline_ = std::chrono::steady_clock::now() + timeout_;
    return Status::success();
}

void ChildProcess::setReadHandler(Stream stream, ReadHandler handler) {
    reader(stream).handler = std::move(handler);
}

void ChildProcess::removeReadHandler(Stream stream) {
    reader(stream).handler = nullptr;
    reader(stream).armed = false;
}

void ChildProcess::readInBackground(Stream stream) {
    reader(stream).armed = true;
}

void ChildProcess::closeStream(Stream stream) {
    closeDescriptor(reader(stream).fd);
    reader(stream).armed = false;
}

QByteArray ChildProcess::readAvailable(Stream stream) {
    QByteArray data;
    const int fd = reader(stream).fd;
    if (fd < 0)
        return data;
    char buffer[kChunkSize];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count > 0)
            data.append(buffer, count);
        else if (count < 0 && errno == EINTR)
            continue;
        else
            return data;
    }
}

void ChildProcess::runEvents(std::chrono::milliseconds longest) {
    using namespace std::chrono;
    const auto now = steady_clock::now();
    if (now >= deadline_ && !timedOut_) {
        systemLog(QStringLiteral("Tool did not end within %1 ms and was killed: %2, arguments: %3")
                      .arg(timeout_.count())
                      .arg(path_, argumentListDescription(arguments_)));
        killGroup();
        if (!reaped_)
            reap(0);
        timedOut_ = true;
        closeAll();
        return;
    }

    std::vector<pollfd> descriptors;
    std::vector<Reader *> readers;
    for (Reader *candidate : {&output_, &error_}) {
        if (candidate->armed && candidate->fd >= 0) {
            descriptors.push_back({candidate->fd, POLLIN, 0});
            readers.push_back(candidate);
        }
    }
    const bool watchChild = !reaped_ && pidfd_ >= 0;
    if (watchChild)
        descriptors.push_back({pidfd_, POLLIN, 0});

    const auto wait = std::min(longest, ceil<milliseconds>(deadline_ - now));
    if (::poll(descriptors.data(), descriptors.size(), static_cast<int>(wait.count())) < 0)
        return; // interrupted by a signal; the caller comes back

    if (!reaped_ && (!watchChild || descriptors.back().revents != 0))
        reap(WNOHANG);

    for (size_t index = 0; index < readers.size(); ++index) {
        if (descriptors[index].revents == 0)
            continue;
        Reader &ready = *readers[index];
        char buffer[kChunkSize];
        const ssize_t count = ::read(ready.fd, buffer, sizeof buffer);
        if (count < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        // A read error ends the stream as its end would.
        const QByteArray chunk = count > 0 ? QByteArray(buffer, count) : QByteArray();
        ready.armed = false;
        // A copy: the handler may remove itself.
        if (const ReadHandler handler = ready.handler)
            handler(chunk);
    }
}

bool ChildProcess::isRunning() {
    if (!reaped_)
        reap(WNOHANG);
    return !reaped_;
}

QHash<QString, ChildProcess::ProgramCost> ChildProcess::programCosts() {
    std::lock_guard lock(costsMutex);
    return costs;
}

void ChildProcess::reap(int options) {
    int status = 0;
    rusage usage{};
    pid_t result;
    do {
        result = ::wait4(pid_, &status, options, &usage);
    } while (result < 0 && errno == EINTR);
    if (result == 0)
        return;
    reaped_ = true;
    if (result > 0) {
        std::lock_guard lock(costsMutex);
        ProgramCost &cost = costs[path_];
        ++cost.runs;
        cost.cpu += durationOf(usage.ru_utime) + durationOf(usage.ru_stime);
    }
    closeDescriptor(pidfd_);
    if (result < 0)
        status_ = -1; // reaped by someone else: the outcome is unknown
    else if (WIFEXITED(status))
        status_ = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        status_ = WTERMSIG(status);
}

void ChildProcess::killGroup() {
    if (pid_ > 0)
        ::kill(-pid_, SIGKILL);
}

void ChildProcess::closeAll() {
    closeStream(Stream::Output);
    closeStream(Stream::Error);
    closeDescriptor(pidfd_);
}

} // namespace flowtally
