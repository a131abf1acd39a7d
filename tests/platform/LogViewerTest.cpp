#include "LogViewer.h"
#include "LogCapture.h"
#include "WaitUntil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Puts a folder of stand-in programs first on the search path (and nothing
// else on it); each one writes its name and arguments to "launched".
class LogViewerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.isValid());
        savedPath_ = qgetenv("PATH");
        qputenv("PATH", folder_.path().toUtf8());
    }
    void TearDown() override { qputenv("PATH", savedPath_); }

    void install(const QString &program) {
        QFile script(folder_.filePath(program));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        // Written aside and moved in, so that a reader never sees half a line.
        const QString launched = folder_.filePath("launched");
        script.write(QStringLiteral("#!/bin/sh\necho \"${0##*/} $*\" > '%1.new'\n"
                                    "/bin/mv '%1.new' '%1'\n")
                         .arg(launched)
                         .toUtf8());
        script.close();
        script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    }

    // The line that the started program wrote, once it has written it.
    QString launched() {
        QFile file(folder_.filePath("launched"));
        if (!waitUntil([&] { return file.exists(); }) || !file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).trimmed();
    }

    QTemporaryDir folder_;
    QByteArray savedPath_;
};

} // namespace

TEST_F(LogViewerTest, PrefersTheDesktopsLogViewer) {
    install("xterm");
    install("journalctl");
    install("ksystemlog");
    install("gnome-logs");
    EXPECT_TRUE(launchLogViewer());
    EXPECT_EQ(launched(), "gnome-logs");
}

TEST_F(LogViewerTest, ElseATerminalFollowsFlowtallysLines) {
    install("xterm");
    install("konsole");
    install("journalctl");
    EXPECT_TRUE(launchLogViewer());
    EXPECT_EQ(launched(), "konsole -e journalctl -t flowtally -f");
}

TEST_F(LogViewerTest, SaysSoOnceWhenNothingCanShowTheLog) {
    // A terminal alone cannot show the lines without journalctl.
    install("xterm");
    LogCapture log;
    EXPECT_FALSE(launchLogViewer());
    EXPECT_EQ(log.lines().size(), 1);
    EXPECT_FALSE(QFile::exists(folder_.filePath("launched")));
}
