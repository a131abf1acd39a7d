#pragma once

#include <QString>

namespace flowtally {

// The outcome of one of Flowtally's operations that can fail: success, or an
// error of a kind (its code) with a sentence that says what failed and why,
// and the error number where the system gave one. Cheap to copy. An
// operation that gives a value as well returns the Status and hands the
// value through a pointer.
//
// A Status must be looked at: where dropping one is right, the caller says
// so with ignore() and a comment that says why.
class [[nodiscard]] Status {
  public:
    // The kinds of failure, for callers that act on the kind.
    enum class Code {
        Ok,
        // What was asked for is not there: a file, a program, an answer.
        NotFound,
        // Data that is there is damaged, or not of the form it should have.
        Corrupt,
        // Reading, writing or talking failed on the way.
        IoError,
        // Not allowed: by permissions or a lock, by the other side, or
        // because Flowtally will not use what it found (not private, not
        // its own).
        Refused,
        // What the caller asked for is not acceptable as asked.
        InvalidArgument,
        // A kind or version of thing that Flowtally does not handle.
        NotSupported,
    };

    // Success.
    Status() = default;

    static Status success() { return {}; }
    // Errors of each kind, with a sentence that says what failed.
    static Status notFound(QString message) { return {Code::NotFound, std::move(message)}; }
    static Status corrupt(QString message) { return {Code::Corrupt, std::move(message)}; }
    static Status ioError(QString message) { return {Code::IoError, std::move(message)}; }
    static Status refused(QString message) { return {Code::Refused, std::move(message)}; }
    static Status invalidArgument(QString message) {
        return {Code::InvalidArgument, std::move(message)};
    }
    static Status notSupported(QString message) { return {Code::NotSupported, std::move(message)}; }
    // An error of the system: what failed and the system's text for the
    // error number ("cannot open /x: Permission denied"). Its code follows
    // the number: missing entries are not found, denied access is refused,
    // everything else an I/O error.
    static Status systemError(const QString &what, int errorNumber);

    bool ok() const { return code_ == Code::Ok; }
    Code code() const { return code_; }
    // The system's error number; 0 for success and for errors of our own.
    int errorNumber() const { return errorNumber_; }
    // What failed, for a log line or a status text; empty on success.
    const QString &message() const { return message_; }

    // The same failure (code and error number) told with another sentence,
    // as a caller that knows more of what was being done tells it.
    Status rephrased(QString message) const {
        Status told = *this;
        told.message_ = std::move(message);
        return told;
    }

    // Drops the outcome on purpose.
    void ignore() const {}

  private:
    Status(Code code, QString message, int errorNumber = 0)
        : code_(code), message_(std::move(message)), errorNumber_(errorNumber) {}

    Code code_ = Code::Ok;
    QString message_;
    int errorNumber_ = 0;
};

} // namespace flowtally
