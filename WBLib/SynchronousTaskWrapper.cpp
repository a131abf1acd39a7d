#include "WBLib/SynchronousTaskWrapper.h"

#include "platform/process/ArgumentListDescription.h"
#include "platform/system/SystemLog.h"
#include "platform/text/Utf8Decoding.h"

#include <QFile>
#include <QFileInfo>

#include <cstring>
#include <sys/stat.h>

namespace flowtally {

using Stream = ProgramRun::Stream;

namespace {

// Where the launch failure is handled, as the framed block has always named it.
constexpr int kHandlerLine = 160;
// The tool's end is noticed within one slice of the wait.
constexpr std::chrono::milliseconds kWaitSlice{10};
const QString kOperationName =
    QStringLiteral("-[SynchronousTaskWrapper(privateMethods) executeTaskWithErrors:]");

bool entryExists(const QString &path, bool *isDirectory) {
    struct stat entry;
    if (::stat(QFile::encodeName(path).constData(), &entry) != 0)
        return false;
    *isDirectory = S_ISDIR(entry.st_mode);
    return true;
}

} // namespace

std::optional<QByteArray> SynchronousTaskWrapper::execute(const QString &tool,
                                                          const QStringList &withArgs) {
    return execute(tool, withArgs, nullptr);
}

std::optional<QByteArray> SynchronousTaskWrapper::execute(const QString &tool,
                                                          const QStringList &withArgs,
                                                          std::optional<QString> *errors) {
    if (errors)
        errors->reset();
    SynchronousTaskWrapper runner(tool, withArgs);
    if (!runner.taskPath())
        return std::nullopt;
    return runner.executeTaskWithErrors(errors);
}

SynchronousTaskWrapper::SynchronousTaskWrapper(const QString &path, const QStringList &arguments) {
    setTaskPath(validTaskPath(path));
    setArguments(arguments);
    setResultObject(std::make_unique<QByteArray>());
}

std::optional<QString> SynchronousTaskWrapper::validTaskPath(const QString &tool) {
    bool isDirectory = false;
    if (entryExists(tool, &isDirectory) && !isDirectory)
        return tool;
    // A bare name (one path component) may still be one of the system's tools.
    if (tool.isEmpty() || tool.contains(QLatin1Char('/')))
        return std::nullopt;
    const QString candidate = QStringLiteral("/usr/bin/") + tool;
    if (entryExists(candidate, &isDirectory))
        return candidate;
    return std::nullopt;
}

std::optional<QByteArray>
SynchronousTaskWrapper::executeTaskWithErrors(std::optional<QString> *errors) {
    setTask(std::make_unique<ProgramRun>());
    const Status launch =
        task()->start({.path = *taskPath(),
                       .arguments = arguments(),
                       .errors = errors ? ErrorText::Collected : ErrorText::Shared});
    if (!launch.ok()) {
        logLaunchFailure(launch.errorNumber());
        setResultObject(nullptr);
    } else {
        const ProgramRun::ChunkHandler deliver = [this](Stream stream, const QByteArray &chunk) {
            stream == Stream::Output ? getData(chunk) : getErrorData(chunk);
        };
        // Standard error is waited for too when it is collected, so that its
        // last lines are not lost to the moment the tool was seen to end.
        while ((task()->isRunning() || !done() || (errors && !errorsDone())) && !task()->timedOut())
            task()->runEvents(kWaitSlice, deliver);
        task()->closeStream(Stream::Output);
        if (errors)
            task()->closeStream(Stream::Error);
        if (task()->timedOut()) {
            setResultObject(nullptr);
        } else if (task()->terminationStatus() != 0) {
            systemLog(QStringLiteral("Task ended badly. Status: %1, arguments: %2")
                          .arg(task()->terminationStatus())
                          .arg(argumentListDescription(arguments())));
        }
    }

    if (errors)
        *errors = errorObject() ? decodeUtf8(*errorObject()) : QString();
    if (!resultObject())
        return std::nullopt;
    return *resultObject();
}

// A stream's end closes it in the run; only the flag is left to set.
void SynchronousTaskWrapper::getData(const QByteArray &chunk) {
    resultObject()->append(chunk);
    setDone(chunk.isEmpty());
}

void SynchronousTaskWrapper::getErrorData(const QByteArray &chunk) {
    if (!chunk.isEmpty()) {
        if (!errorObject())
            setErrorObject(std::make_unique<QByteArray>());
        errorObject()->append(chunk);
    }
    setErrorsDone(chunk.isEmpty());
}

void SynchronousTaskWrapper::logLaunchFailure(int error) const {
    const QString userInfo = QStringLiteral("{errno = %1; path = %2;}")
                                 .arg(QString::number(error), quotedDescription(*taskPath()));
    systemLog(QStringLiteral("\n*****\nException caught in %1 before line %2 (in %3):\n"
                             "\t\"%4\"  -- \"%5\" UserInfo: \"%6\"\n*****\n")
                  .arg(QFileInfo(QStringLiteral(__FILE__)).fileName(),
                       QString::number(kHandlerLine), kOperationName,
                       QStringLiteral("ToolLaunchFailure"),
                       QString::fromLocal8Bit(std::strerror(error)), userInfo));
}

} // namespace flowtally
