#include "ChildProcess.h"

#include "ProcessProbe.h"
#include "ScriptFolder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <cerrno>

using namespace std::chrono_literals;
using Stream = ChildProcess::Stream;

namespace {

// Runs a started process until it has ended and both streams that are read
// have reached their end, collecting what each stream delivered.
struct Collected {
    QByteArray output;
    QByteArray error;
};

Collected runToEnd(ChildProcess &process, bool readError) {
    Collected collected;
    bool outputDone = false;
    bool errorDone = !readError;
    auto reader = [&process](Stream stream, QByteArray &into, bool &done) {
        return [&process, stream, &into, &done](const QByteArray &chunk) {
            into.append(chunk);
            done = chunk.isEmpty();
            if (!done)
                process.readInBackground(stream);
        };
    };
    process.setReadHandler(Stream::Output, reader(Stream::Output, collected.output, outputDone));
    process.readInBackground(Stream::Output);
    if (readError) {
        process.setReadHandler(Stream::Error, reader(Stream::Error, collected.error, errorDone));
        process.readInBackground(Stream::Error);
    }
    while ((process.isRunning() || !outputDone || !errorDone) && !process.timedOut())
        process.runEvents(ChildProcess::kLongestWait);
    return collected;
}

int openDescriptorCount() {
    return static_cast<int>(QDir(QStringLiteral("/proc/self/fd")).count());
}

TEST(ChildProcess, ReportsWhyAToolCannotStart) {
    ScriptFolder scripts;
    const QString plainFile = scripts.write(QStringLiteral("plain"), {}, false);
    ChildProcess notExecutable;
    EXPECT_EQ(notExecutable.start(plainFile, {}, ChildProcess::ErrorStream::Inherited), EACCES);
    EXPECT_FALSE(notExecutable.isRunning());
    ChildProcess missing;
    EXPECT_EQ(missing.start(scripts.filePath(QStringLiteral("missing")), {},
                            ChildProcess::ErrorStream::Piped),
              ENOENT);
}

TEST(ChildProcess, TerminationStatusIsTheExitCodeOrTheSignal) {
    ScriptFolder scripts;
    const struct {
        const char *body;
        int status;
    } cases[] = {{"exit 0", 0}, {"exit 3", 3}, {"kill -TERM $$", SIGTERM}};
    for (const auto &testCase : cases) {
        ChildProcess process;
        ASSERT_EQ(
            process.start(scripts.write(QStringLiteral("tool"), QString::fromUtf8(testCase.body)),
                          {}, ChildProcess::ErrorStream::Inherited),
            0);
        runToEnd(process, false);
        EXPECT_EQ(process.terminationStatus(), testCase.status) << testCase.body;
    }
}

TEST(ChildProcess, SeparatesTheStreamsWhenStandardErrorIsPiped) {
    ScriptFolder scripts;
    const QString tool =
        scripts.write(QStringLiteral("tool"), QStringLiteral("echo out; echo err >&2; echo more"));
    ChildProcess process;
    ASSERT_EQ(process.start(tool, {}, ChildProcess::ErrorStream::Piped), 0);
    const Collected collected = runToEnd(process, true);
    EXPECT_EQ(collected.output, "out\nmore\n");
    EXPECT_EQ(collected.error, "err\n");
}

TEST(ChildProcess, RunsInTheWorkingDirectoryAsItsOwnGroupLeader) {
    ScriptFolder scripts;
    // Field 5 of /proc/PID/stat is the process group.
    const QString tool = scripts.write(QStringLiteral("tool"),
                                       QStringLiteral("pwd; echo $$; cut -d' ' -f5 /proc/$$/stat"));
    ChildProcess process;
    ASSERT_EQ(process.start(tool, {}, ChildProcess::ErrorStream::Inherited), 0);
    const QList<QByteArray> lines = runToEnd(process, false).output.split('\n');
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(QString::fromUtf8(lines[0]), QDir::currentPath());
    EXPECT_EQ(lines[1], lines[2]);
}

TEST(ChildProcess, DestroyingARunningProcessKillsAndReapsIt) {
    ScriptFolder scripts;
    const QString pidFile = scripts.filePath(QStringLiteral("pid"));
    const QString tool = scripts.write(
        QStringLiteral("tool"), QStringLiteral("echo $$ > '%1'; exec sleep 30").arg(pidFile));
    const int descriptorsBefore = openDescriptorCount();
    pid_t child = -1;
    {
        ChildProcess process;
        ASSERT_EQ(process.start(tool, {}, ChildProcess::ErrorStream::Piped), 0);
        child = waitForPidFile(pidFile);
        ASSERT_GT(child, 0);
    }
    // Reaped: not even a zombie is left.
    EXPECT_FALSE(QFile::exists(QStringLiteral("/proc/%1").arg(child)));
    EXPECT_EQ(openDescriptorCount(), descriptorsBefore);
}

TEST(ChildProcess, LeavesNoDescriptorOpenAfterRuns) {
    ScriptFolder scripts;
    const QString tool =
        scripts.write(QStringLiteral("tool"), QStringLiteral("echo out; echo err >&2"));
    const int descriptorsBefore = openDescriptorCount();
    for (int run = 0; run < 3; ++run) {
        ChildProcess process;
        ASSERT_EQ(process.start(tool, {}, ChildProcess::ErrorStream::Piped), 0);
        runToEnd(process, true);
    }
    ChildProcess failed;
    EXPECT_NE(failed.start(scripts.path(), {}, ChildProcess::ErrorStream::Piped), 0);
    EXPECT_EQ(openDescriptorCount(), descriptorsBefore);
}

} // namespace
