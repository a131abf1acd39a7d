#pragma once

#include <QString>

namespace flowtally {

// The outcome of one of the platform's operations that can fail: success, or
// an error that says what failed and why, with the error number where the
// system gave one. Cheap to copy. An operation that gives a value as well
// returns the Status and hands the value through a pointer.
class Status {
  public:
    // Success.
    Status() = default;

    static Status success() { return {}; }
    // An error with a sentence that says what failed.
    static Status error(QString message) { return Status(std::move(message), 0); }
    // An error of the system: what failed and the system's text for the
    // error number ("cannot open /x: Permission denied").
    static Status systemError(const QString &what, int errorNumber);

    bool ok() const { return !failed_; }
    // The system's error number; 0 for success and for errors of our own.
    int errorNumber() const { return errorNumber_; }
    // What failed, for a log line or a status text; empty on success.
    const QString &message() const { return message_; }

  private:
    Status(QString message, int errorNumber)
        : failed_(true), message_(std::move(message)), errorNumber_(errorNumber) {}

    bool failed_ = false;
    QString message_;
    int errorNumber_ = 0;
};

} // namespace flowtally
