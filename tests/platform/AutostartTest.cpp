#include "platform/system/Autostart.h"

#include "tests/support/EnvironmentVariables.h"
#include "tests/support/NetworkScene.h"
#include "tests/support/PlantedFiles.h"
#include "tests/support/ScriptFolder.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <optional>

namespace flowtally {

namespace {

// Every test has a configuration folder of its own, and no mark of a start
// at login in its process environment.
class Autostart : public ::testing::Test {
  protected:
    void SetUp() override { EnvironmentVariables::set("FLOWTALLY_AUTOSTART", std::nullopt); }

    QString configFolder() { return environment.configFolder(); }
    QString entryPath() { return configFolder() + "/autostart/flowtally.desktop"; }
    QByteArray entryText() { return readFile(entryPath()); }
    // Puts an entry there; no text: a link to a file that does not exist.
    void placeEntry(const std::optional<QByteArray> &text) {
        ASSERT_TRUE(QDir().mkpath(configFolder() + "/autostart"));
        if (!text) {
            ASSERT_TRUE(QFile::link(configFolder() + "/missing.desktop", entryPath()));
            return;
        }
        ASSERT_TRUE(makeFile(entryPath(), *text, 0644));
    }
    // The value of a key of the entry.
    QString entryValue(const QString &key) {
        for (const QString &line : QString::fromUtf8(entryText()).split('\n'))
            if (line.startsWith(key + '='))
                return line.mid(key.size() + 1);
        return {};
    }

    TestEnvironment environment;
    EnvironmentVariables saved{{"FLOWTALLY_AUTOSTART"}};
};

// On: an entry that the desktop's own validator accepts and that, run as a
// session runs it, starts the `flowtally` found on PATH with the mark that
// startedAtLogin() reads. Off: no entry. Both can be asked twice.
TEST_F(Autostart, OnWritesAValidEntryThatStartsFlowtallyMarkedOffRemovesItAndOnlyItsOwn) {
    EXPECT_FALSE(startsAtLogin());
    ASSERT_TRUE(setStartsAtLogin(true).ok());
    ASSERT_EQ(autostartEntryPath(), entryPath());
    EXPECT_TRUE(startsAtLogin());
    ASSERT_TRUE(setStartsAtLogin(true).ok());

    QProcess validate;
    validate.setProcessChannelMode(QProcess::MergedChannels);
    validate.start("desktop-file-validate", {entryPath()});
    ASSERT_TRUE(validate.waitForFinished(10000)) << "desktop-file-validate did not run";
    EXPECT_EQ(validate.exitCode(), 0);
    EXPECT_EQ(validate.readAll(), QByteArray()) << "not a clean desktop entry";

    ScriptFolder path;
    const QString seen = path.filePath("mark");
    path.write("flowtally", QStringLiteral("printf %s \"$FLOWTALLY_AUTOSTART\" > '%1'").arg(seen));
    QStringList command = entryValue("Exec").split(' ');
    EXPECT_EQ(entryValue("TryExec"), "flowtally");
    QProcess session;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("PATH", path.path() + ':' + environment.value("PATH"));
    session.setProcessEnvironment(environment);
    session.start(command.takeFirst(), command);
    ASSERT_TRUE(session.waitForFinished(10000) && session.exitCode() == 0)
        << "the entry's command failed";
    const QByteArray value = readFile(seen);
    EXPECT_FALSE(startedAtLogin());
    EnvironmentVariables::set("FLOWTALLY_AUTOSTART", value);
    EXPECT_TRUE(startedAtLogin()) << "the entry's mark is " << value.toStdString();

    ASSERT_TRUE(setStartsAtLogin(false).ok());
    EXPECT_FALSE(QFileInfo::exists(entryPath()));
    EXPECT_FALSE(startsAtLogin());
    EXPECT_TRUE(setStartsAtLogin(false).ok());

    // An entry already there: Flowtally's own it replaces or removes;
    // another's it never changes, and only a change that the entry does not
    // already stand for fails.
    const QByteArray menuCopy =
        "[Desktop Entry]\nType=Application\nName=Flowtally\nExec=flowtally\n";
    const QByteArray ours =
        "[Desktop Entry]\nType=Application\nName=Flowtally\nExec=env FLOWTALLY_AUTOSTART=1 "
        "flowtally\nX-Flowtally-Autostart=true\n";
    // clang-format off
    const struct { const char *name; std::optional<QByteArray> text; bool ours, startsAtLogin; } cases[] = {
        {"a copy of the menu entry", menuCopy, false, true},
        {"another's, hidden (blanks around =)", menuCopy + "Hidden = true\n", false, false},
        {"another's, off in GNOME", menuCopy + "X-GNOME-Autostart-enabled=false\n", false, false},
        {"another's, keys in another group",
         menuCopy + "[Desktop Action x]\nHidden=true\nX-Flowtally-Autostart=true\n", false, true},
        {"a link to nothing", std::nullopt, false, false},
        {"ours, off in GNOME", ours + "X-GNOME-Autostart-enabled=false\n", true, false},
    };
    // clang-format on
    for (const auto &entry : cases) {
        for (const bool on : {true, false}) {
            SCOPED_TRACE(std::string(entry.name) + (on ? ", turned on" : ", turned off"));
            QFile::remove(entryPath());
            ASSERT_NO_FATAL_FAILURE(placeEntry(entry.text));
            const QByteArray before = entryText();
            EXPECT_EQ(startsAtLogin(), entry.startsAtLogin);

            const Status status = setStartsAtLogin(on);
            EXPECT_EQ(status.ok(), entry.ours || entry.startsAtLogin == on)
                << status.message().toStdString();
            if (!status.ok()) {
                EXPECT_TRUE(status.message().contains(entryPath())) << "the file is not named";
            }
            if (entry.ours) {
                EXPECT_EQ(startsAtLogin(), on);
                EXPECT_EQ(QFileInfo::exists(entryPath()), on);
            } else {
                EXPECT_EQ(entryText(), before) << "another's entry changed";
                EXPECT_EQ(QFileInfo(entryPath()).isSymLink(), !entry.text.has_value());
            }
        }
    }
}

} // namespace

} // namespace flowtally
