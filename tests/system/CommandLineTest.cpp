// Flowtally's command line: --help and --version answer and end before
// anything else starts (no window system, no settings, no lock of the one
// instance), and anything else Flowtally does not take is a usage error of
// one line. The real program, in a namespace of the test's own all the
// same.
#include "SystemTest.h"

#include <QDirIterator>

namespace flowtally {

namespace {

// What a run of Flowtally gave: whether it ended by itself, its exit status,
// its standard output and error.
struct Answer {
    bool ended = false;
    int status = -1;
    QString output, error;
};

class CommandLineTest : public SystemTest {
  protected:
    // Runs Flowtally with the arguments (20 s at most), after the test's
    // environment and the given variables.
    Answer run(const QStringList &arguments, const QStringList &variables = {}) const {
        QProcess process;
        process.start("ip", QStringList{"netns", "exec", lan->lan, "env"} + programEnvironment() +
                                variables + QStringList{programPath()} + arguments);
        const bool ended = process.waitForFinished(20000);
        return {ended && process.exitStatus() == QProcess::NormalExit, process.exitCode(),
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }
    // The files of Flowtally's that the runs so far left: settings, history,
    // the instance lock.
    QStringList filesLeft() const {
        QStringList left;
        for (const char *place : {"config", "data", "runtime"}) {
            QDirIterator files(folder.filePath(QString::fromLatin1(place)),
                               QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
            while (files.hasNext())
                left.append(files.next());
        }
        return left;
    }
};

TEST_F(CommandLineTest, HelpAndVersionAnswerBeforeAnythingStarts) {
    const Answer help = run({"--help"});
    EXPECT_TRUE(help.ended);
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.output.startsWith("Usage: flowtally [--help | --version]\n"))
        << help.output.toStdString();
    EXPECT_TRUE(help.output.contains("  --version")) << help.output.toStdString();
    EXPECT_EQ(help.error, QString());
    const Answer shortHelp = run({"-h"});
    EXPECT_EQ(shortHelp.output, help.output);
    EXPECT_EQ(shortHelp.status, 0);

    // No display to reach: nothing of the window system starts.
    const Answer version = run({"--version"}, {"QT_QPA_PLATFORM=xcb", "DISPLAY=:99"});
    EXPECT_TRUE(version.ended);
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(
        QRegularExpression(R"(^flowtally \d+\.\d+\.\d+\n$)").match(version.output).hasMatch())
        << version.output.toStdString();
    EXPECT_EQ(version.error, QString());
    // Qt's own options may come before.
    EXPECT_EQ(run({"-platform", "offscreen", "--version"}).output, version.output);
    EXPECT_EQ(filesLeft(), QStringList());
}

TEST_F(CommandLineTest, AnythingElseIsAUsageErrorOfOneLine) {
    for (const auto &[argument, said] : {std::pair{"--bogus", "unknown option '--bogus'"},
                                         {"-x", "unknown option '-x'"},
                                         {"--help=me", "unknown option '--help=me'"},
                                         {"stray", "unexpected argument 'stray'"}}) {
        const Answer wrong = run({argument});
        EXPECT_TRUE(wrong.ended) << argument;
        EXPECT_EQ(wrong.status, 2) << argument;
        EXPECT_EQ(wrong.output, QString()) << argument;
        EXPECT_EQ(wrong.error, QString("flowtally: %1 (see flowtally --help)\n").arg(said));
    }
    EXPECT_EQ(filesLeft(), QStringList());
}

} // namespace

} // namespace flowtally
