#include "DirectToolRun.h"

#include "ChildProcess.h"
#include "Utf8Decoding.h"

namespace flowtally {

std::optional<QString> directToolRun(const QString &path, const QStringList &arguments) {
    return directToolRun(path, arguments, {}, nullptr);
}

std::optional<QString> directToolRun(const QString &path, const QStringList &arguments,
                                     const QStringList &environment, QString *errors) {
    using Stream = ChildProcess::Stream;
    ChildProcess process;
    QByteArray output, errorOutput;
    // Each stream is read as long as it gives chunks; an empty one ends it.
    const auto collect = [&process](Stream stream, QByteArray &into) {
        process.setReadHandler(stream, [&process, &into, stream](const QByteArray &chunk) {
            into.append(chunk);
            if (!chunk.isEmpty())
                process.readInBackground(stream);
        });
        process.readInBackground(stream);
    };
    collect(Stream::Output, output);
    if (errors) {
        errors->clear();
        collect(Stream::Error, errorOutput);
    }
    if (!process
             .start(path, arguments,
                    errors ? ChildProcess::ErrorStream::Piped
                           : ChildProcess::ErrorStream::Inherited,
                    environment)
             .ok())
        return std::nullopt;

    while (process.isRunning() && !process.timedOut())
        process.runEvents(ChildProcess::kLongestWait);
    if (process.timedOut())
        return std::nullopt;
    // What the tool wrote last is still in the pipes; a child it left behind
    // holding them open is not waited for.
    output.append(process.readAvailable(Stream::Output));
    if (errors)
        *errors = QString::fromUtf8(errorOutput + process.readAvailable(Stream::Error));
    return decodeUtf8(output);
}

} // namespace flowtally
