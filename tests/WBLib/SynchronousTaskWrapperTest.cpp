#include "SynchronousTaskWrapper.h"

#include "LogCapture.h"
#include "ProcessProbe.h"
#include "ScriptFolder.h"
#include "ToolTimeoutOverride.h"

#include <gtest/gtest.h>

#include <QDir>

#include <csignal>

using namespace std::chrono_literals;

namespace {

// Runs each test inside a temporary folder, the working directory that bare
// tool names are first looked for in.
class SynchronousTaskWrapperTest : public testing::Test {
  protected:
    SynchronousTaskWrapperTest() : previousDirectory_(QDir::currentPath()) {
        QDir::setCurrent(scripts.path());
    }
    ~SynchronousTaskWrapperTest() override { QDir::setCurrent(previousDirectory_); }

    ScriptFolder scripts;
    LogCapture log;

  private:
    QString previousDirectory_;
};

TEST_F(SynchronousTaskWrapperTest, BareNameRunsTheFileInTheWorkingDirectoryFirst) {
    scripts.write(QStringLiteral("printf"), QStringLiteral("echo local \"$@\""));
    EXPECT_EQ(SynchronousTaskWrapper::execute(QStringLiteral("printf"), {QStringLiteral("a b")}),
              QByteArray("local a b\n"));
}

TEST_F(SynchronousTaskWrapperTest, BareNameNotInTheWorkingDirectoryRunsFromUsrBin) {
    EXPECT_EQ(SynchronousTaskWrapper::execute(QStringLiteral("printf"),
                                              {QStringLiteral("%s|"), QStringLiteral("a b"),
                                               QStringLiteral("$HOME"), QStringLiteral("*")}),
              QByteArray("a b|$HOME|*|"));
    // A folder of that name in the working directory does not count.
    ASSERT_TRUE(QDir(scripts.path()).mkdir(QStringLiteral("true")));
    EXPECT_EQ(SynchronousTaskWrapper::execute(QStringLiteral("true"), {}), QByteArray());
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST_F(SynchronousTaskWrapperTest, ToolsThatAreNotFoundGiveNothingAndLogNothing) {
    ASSERT_TRUE(QDir(scripts.path()).mkdir(QStringLiteral("folder")));
    const QString notFound[] = {
        QStringLiteral("flowtally-no-such-tool"), // bare name, in neither place
        QStringLiteral("missing/printf"),         // relative, /usr/bin not searched
        QStringLiteral("folder"),                 // a folder, and none in /usr/bin
        QStringLiteral("/usr/bin"),
        scripts.path(),
        QString(),
    };
    for (const QString &tool : notFound) {
        std::optional<QString> errors = QStringLiteral("stale");
        EXPECT_EQ(SynchronousTaskWrapper::execute(tool, {}, &errors), std::nullopt)
            << tool.toStdString();
        EXPECT_EQ(errors, std::nullopt) << tool.toStdString();
    }
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST_F(SynchronousTaskWrapperTest, ToolThatCannotStartLogsTheFramedBlock) {
    const QString tool = scripts.write(QStringLiteral("plain"), QStringLiteral("echo hi"), false);
    std::optional<QString> errors;
    EXPECT_EQ(SynchronousTaskWrapper::execute(tool, {QStringLiteral("-x")}, &errors), std::nullopt);
    // Nothing was collected from standard error: an empty text, not absent.
    EXPECT_EQ(errors, QString());
    const QStringList lines = log.lines();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(
        lines.first(),
        QStringLiteral("\n*****\nException caught in SynchronousTaskWrapper.cpp before line 160 "
                       "(in -[SynchronousTaskWrapper(privateMethods) executeTaskWithErrors:]):\n"
                       "\t\"ToolLaunchFailure\"  -- \"Permission denied\" UserInfo: "
                       "\"{errno = 13; path = \"%1\";}\"\n*****\n")
            .arg(tool));
}

struct OutputCase {
    const char *name;
    const char *body;
    QByteArray output;
    const char *logged; // the one expected line, or null for none
};

class SynchronousTaskWrapperOutput : public SynchronousTaskWrapperTest,
                                     public testing::WithParamInterface<OutputCase> {};

TEST_P(SynchronousTaskWrapperOutput, ReturnsEveryByteOfStandardOutput) {
    const QString tool = scripts.write(QStringLiteral("tool"), QString::fromUtf8(GetParam().body));
    const std::optional<QByteArray> output =
        SynchronousTaskWrapper::execute(tool, {QStringLiteral("-f"), QStringLiteral("inet")});
    ASSERT_TRUE(output.has_value());
    EXPECT_EQ(*output, GetParam().output);
    if (GetParam().logged)
        EXPECT_EQ(log.lines(), QStringList{QString::fromUtf8(GetParam().logged)});
    else
        EXPECT_TRUE(log.lines().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SynchronousTaskWrapperOutput,
    testing::Values(
        OutputCase{"NothingIsEmptyNotAbsent", "exit 0", QByteArray(), nullptr},
        OutputCase{"BinaryBytesUnchanged", "printf 'a\\000\\377\\n'", QByteArray("a\0\377\n", 4),
                   nullptr},
        OutputCase{"StandardErrorNotCollected", "echo out; echo err >&2", "out\n", nullptr},
        OutputCase{"FailingToolGivesWholeOutput", "echo one; echo two; exit 2", "one\ntwo\n",
                   "Task ended badly. Status: 2, arguments: (\"-f\", \"inet\")"},
        OutputCase{"KilledToolReportsTheSignal", "echo one; kill -KILL $$", "one\n",
                   "Task ended badly. Status: 9, arguments: (\"-f\", \"inet\")"}),
    [](const testing::TestParamInfo<OutputCase> &info) { return info.param.name; });

TEST_F(SynchronousTaskWrapperTest, ReadsMebibytesOnBothStreamsWhileTheToolRuns) {
    const QString tool = scripts.write(QStringLiteral("tool"),
                                       QStringLiteral("head -c 3000000 /dev/zero >&2 &\n"
                                                      "head -c 5000000 /dev/zero | tr '\\0' a\n"
                                                      "wait"));
    std::optional<QString> errors;
    const std::optional<QByteArray> output = SynchronousTaskWrapper::execute(tool, {}, &errors);
    ASSERT_TRUE(output.has_value());
    EXPECT_EQ(*output, QByteArray(5000000, 'a'));
    ASSERT_TRUE(errors.has_value());
    EXPECT_EQ(*errors, QString(3000000, QChar(0)));
}

TEST_F(SynchronousTaskWrapperTest, CollectsStandardErrorAsText) {
    const struct {
        const char *body;
        std::optional<QString> errors;
    } cases[] = {
        {"echo out; printf 'caf\\303\\251\\n' >&2", QStringLiteral(u"café\n")},
        {"echo out", QString()},
        {"echo out; printf '\\377' >&2", std::nullopt},
        // Written by a child of the tool after the tool has ended and standard
        // output has closed: still collected in full.
        {"echo out; (exec >&-; sleep 0.2; echo late >&2) &", QStringLiteral("late\n")},
    };
    for (const auto &testCase : cases) {
        const QString tool =
            scripts.write(QStringLiteral("tool"), QString::fromUtf8(testCase.body));
        std::optional<QString> errors = QStringLiteral("stale");
        EXPECT_EQ(SynchronousTaskWrapper::execute(tool, {}, &errors), QByteArray("out\n"))
            << testCase.body;
        EXPECT_EQ(errors, testCase.errors) << testCase.body;
    }
}

TEST_F(SynchronousTaskWrapperTest, HangingToolIsKilledWithItsGroupAndGivesNothing) {
    ToolTimeoutOverride timeout(300ms);
    const struct {
        const char *name;
        const char *body;
    } cases[] = {
        {"tool waits for its child", "sleep 30 & echo $! > '%1'; echo early; wait"},
        {"child holds standard output after the tool ended",
         "sleep 30 & echo $! > '%1'; echo early"},
    };
    for (const auto &testCase : cases) {
        log.clear();
        const QString pidFile = scripts.filePath(QStringLiteral("pid"));
        QFile::remove(pidFile);
        const QString tool =
            scripts.write(QStringLiteral("tool"), QString::fromUtf8(testCase.body).arg(pidFile));
        std::optional<QString> errors;
        EXPECT_EQ(SynchronousTaskWrapper::execute(tool, {QStringLiteral("x")}, &errors),
                  std::nullopt)
            << testCase.name;
        EXPECT_EQ(errors, QString()) << testCase.name;
        EXPECT_EQ(log.lines(),
                  QStringList{QStringLiteral("Tool did not end within 300 ms and was killed: %1, "
                                             "arguments: (\"x\")")
                                  .arg(tool)})
            << testCase.name;
        const pid_t child = waitForPidFile(pidFile);
        ASSERT_GT(child, 0) << testCase.name;
        EXPECT_TRUE(waitUntilEnded(child)) << testCase.name;
    }
}

} // namespace
