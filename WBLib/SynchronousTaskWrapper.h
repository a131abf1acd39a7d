#pragma once

#include "platform/process/ProgramRun.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace flowtally {

// Runs a command-line tool to its end on the calling thread and returns every
// byte it wrote to standard output. One object serves one run; only the class
// operations are public.
class SynchronousTaskWrapper {
  public:
    // The tool is a path, or a bare name looked for in the working directory
    // and then in /usr/bin only. Absent when the tool is not found (nothing is
    // logged), cannot be started (a framed block is logged) or outlives the
    // tool timeout (one line is logged). A tool that ends with a status other
    // than 0 still gives its whole output, and one line is logged.
    static std::optional<QByteArray> execute(const QString &tool, const QStringList &withArgs);
    // As above; when errors is not null, it receives the tool's standard error
    // as text (absent if not UTF-8, or if the tool was not found).
    static std::optional<QByteArray> execute(const QString &tool, const QStringList &withArgs,
                                             std::optional<QString> *errors);

    // Its task kills and reaps a tool that still runs.
    ~SynchronousTaskWrapper() = default;
    SynchronousTaskWrapper(const SynchronousTaskWrapper &) = delete;
    SynchronousTaskWrapper &operator=(const SynchronousTaskWrapper &) = delete;

  private:
    SynchronousTaskWrapper(const QString &path, const QStringList &arguments);

    ProgramRun *task() const { return _task.get(); }
    void setTask(std::unique_ptr<ProgramRun> task) { _task = std::move(task); }
    const QStringList &arguments() const { return _arguments; }
    void setArguments(const QStringList &arguments) { _arguments = arguments; }
    const std::optional<QString> &taskPath() const { return _taskPath; }
    void setTaskPath(const std::optional<QString> &taskPath) { _taskPath = taskPath; }
    QByteArray *resultObject() const { return _resultObject.get(); }
    void setResultObject(std::unique_ptr<QByteArray> result) { _resultObject = std::move(result); }
    QByteArray *errorObject() const { return _errorObject.get(); }
    void setErrorObject(std::unique_ptr<QByteArray> errors) { _errorObject = std::move(errors); }
    bool done() const { return _done; }
    void setDone(bool done) { _done = done; }
    bool errorsDone() const { return _errorsDone; }
    void setErrorsDone(bool errorsDone) { _errorsDone = errorsDone; }

    static std::optional<QString> validTaskPath(const QString &tool);
    std::optional<QByteArray> executeTaskWithErrors(std::optional<QString> *errors);
    void getData(const QByteArray &chunk);
    void getErrorData(const QByteArray &chunk);
    void logLaunchFailure(int error) const;

    std::unique_ptr<ProgramRun> _task;
    QStringList _arguments;
    std::optional<QString> _taskPath;
    std::unique_ptr<QByteArray> _resultObject;
    std::unique_ptr<QByteArray> _errorObject;
    bool _done = false;
    bool _errorsDone = false;
};

} // namespace flowtally
