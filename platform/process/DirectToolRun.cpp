#include "DirectToolRun.h"

#include "ChildProcess.h"
#include "Utf8Decoding.h"

namespace flowtally {

std::optional<QString> directToolRun(const QString &path, const QStringList &arguments) {
    using Stream = ChildProcess::Stream;
    ChildProcess process;
    QByteArray output;
    process.setReadHandler(Stream::Output, [&](const QByteArray &chunk) {
        output.append(chunk);
        if (!chunk.isEmpty())
            process.readInBackground(Stream::Output);
    });
    process.readInBackground(Stream::Output);
    if (!process.start(path, arguments, ChildProcess::ErrorStream::Inherited).ok())
        return std::nullopt;

    while (process.isRunning() && !process.timedOut())
        process.runEvents(ChildProcess::kLongestWait);
    if (process.timedOut())
        return std::nullopt;
    // What the tool wrote last is still in the pipe; a child it left behind
    // holding the pipe open is not waited for.
    output.append(process.readAvailable(Stream::Output));
    return decodeUtf8(output);
}

} // namespace flowtally
