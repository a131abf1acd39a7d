// Flowtally on a desktop: an X server with a window manager, a session bus
// and a tray host of the test's own. The tray icon and a second start bring
// the minimized main window back; with the History window open, a quit
// signal still ends Flowtally with its last write done. The real program on
// xcb, in namespaces of the test's own. (The tray menu's entries and what
// they do: Windows' tests; the community file that goes at the quit:
// RouterTest.)
#include "tests/support/CommandRun.h"
#include "tests/support/PlantedFiles.h"
#include "tests/support/PrivateBus.h"
#include "tests/support/ProcessProbe.h"
#include "tests/support/TextPrinting.h"
#include "tests/system/SystemTest.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QMutex>
#include <QMutexLocker>

#include <cstring>

namespace flowtally {

namespace {

// A tray host as a desktop's panel is one: the tray's watcher, whose name
// on the bus tells programs that a tray shows their StatusNotifierItems and
// with which they register them. It serves on a thread of its own, so that
// a program that asks it and waits for the answer (Qt's tray icon does)
// gets it even while the test's own thread sleeps or makes calls of its own.
class FakeTrayHost : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)

  public:
    explicit FakeTrayHost(QDBusConnection connection) : connection_(std::move(connection)) {
        moveToThread(&thread_);
        thread_.start();
        // No signals: their exporter would be a child made on this thread.
        serving_ = connection_.registerObject(kWatcherPath, this,
                                              QDBusConnection::ExportAllSlots |
                                                  QDBusConnection::ExportAllProperties) &&
                   connection_.registerService(kWatcherService);
    }
    ~FakeTrayHost() override {
        connection_.unregisterService(kWatcherService);
        connection_.unregisterObject(kWatcherPath);
        thread_.quit();
        thread_.wait();
    }

    bool isHostRegistered() const { return true; }
    bool isServing() const { return serving_; }
    // The bus name of the next item to register, the first that this call
    // did not give yet, once there is one (20 s at most); empty if none came.
    QString waitForItem() {
        if (!pollUntil([&] { return items().size() > given_; }, 200, 100))
            return QString();
        return items().at(given_++);
    }

  public slots:
    void RegisterStatusNotifierItem(const QString &serviceOrPath) {
        // An item may give its object's path only: its bus name is the caller's.
        const QString service =
            serviceOrPath.startsWith(QLatin1Char('/')) ? message().service() : serviceOrPath;
        const QMutexLocker locked(&mutex_);
        items_.append(service);
    }

  private:
    // The bus names of the items registered so far; any thread.
    QStringList items() const {
        const QMutexLocker locked(&mutex_);
        return items_;
    }

    static inline const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
    static inline const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");

    QDBusConnection connection_;
    QThread thread_;
    bool serving_ = false;
    mutable QMutex mutex_;
    QStringList items_;
    qsizetype given_ = 0;
};

// A desktop of the test's own for the real program: an X server (Xvfb,
// without TCP) and a window manager (openbox) that minimizes and restores
// windows as a person's would, both run inside a network namespace so that
// nothing of theirs listens in the machine's own. A program in that
// namespace or another reaches the server through its socket file. The
// windows are looked at with xdotool, xprop and xwininfo. Ended as it goes.
class VirtualDesktop {
  public:
    static bool isAvailable() {
        for (const char *program : {"Xvfb", "openbox", "xdotool", "xprop", "xwininfo"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty())
                return false;
        }
        return true;
    }

    // Starts both in the namespace; openbox keeps its files in `folder`.
    VirtualDesktop(const QString &ns, const QString &folder) {
        // Xvfb picks a free display and names it on its standard output.
        server_ = std::make_unique<QProcess>();
        server_->setStandardErrorFile(QDir(folder).filePath("xvfb.log"));
        server_->start("ip", {"netns", "exec", ns, "Xvfb", "-displayfd", "1", "-nolisten", "tcp",
                              "-screen", "0", "1280x800x24"});
        QByteArray number;
        while (!number.contains('\n') && server_->waitForReadyRead(kWaitMs))
            number += server_->readAllStandardOutput();
        if (!number.contains('\n')) {
            error = "Xvfb named no display";
            return;
        }
        display_ = ':' + QString::fromLatin1(number.trimmed());
        const QString home = QDir(folder).filePath("openbox");
        QDir().mkpath(home);
        manager_ = startLogged("ip",
                               {"netns", "exec", ns, "env", "DISPLAY=" + display_, "HOME=" + home,
                                "XDG_CONFIG_HOME=" + home, "XDG_CACHE_HOME=" + home,
                                "XDG_DATA_HOME=" + home, "openbox", "--sm-disable"},
                               QDir(folder).filePath("openbox.log"));
        // It manages the screen once it names itself on the root window.
        if (!waitFor([&] {
                return run("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"})
                    .value_or(QString())
                    .contains("window id");
            }))
            error = "openbox did not take the screen";
    }
    ~VirtualDesktop() {
        for (QProcess *process : {manager_.get(), server_.get()})
            if (process)
                endProcess(*process);
    }

    // What failed while starting; empty when the desktop runs.
    QString error;
    QString display() const { return display_; }

    // The window titled so (a regular expression) on the screen, once there
    // is one (10 s at most); 0 when none came. (Programs have windows of that
    // name that never show: Qt's group leader.)
    quint32 window(const QString &title) const {
        quint32 found = 0;
        waitFor([&] {
            found = run("xdotool", {"search", "--onlyvisible", "--name", "^" + title + "$"})
                        .value_or(QString())
                        .section('\n', 0, 0)
                        .toUInt();
            return found != 0;
        });
        return found;
    }
    // Waits (10 s at most) until the window is on the screen, or off it
    // (minimized); whether it came so.
    bool waitUntilShown(quint32 window, bool shown) const {
        return waitFor([&] {
            return run("xwininfo", {"-id", QString::number(window)})
                       .value_or(QString())
                       .contains("Map State: IsViewable") == shown;
        });
    }
    // Brings the window to the front and types the keys (xdotool's names,
    // "ctrl+h") into it, as a person would; whether it went.
    bool press(quint32 window, const QString &keys) const {
        return run("xdotool", {"windowactivate", "--sync", QString::number(window), "key",
                               "--clearmodifiers", keys})
            .has_value();
    }
    // Minimizes the window as its button would; whether it went.
    bool minimize(quint32 window) const {
        if (!run("xdotool", {"windowminimize", QString::number(window)}) ||
            !waitUntilShown(window, false))
            return false;
        // Flowtally learns of it from the X server a moment after the
        // window manager said so.
        QThread::msleep(500);
        return true;
    }

  private:
    static constexpr int kWaitMs = 10000;

    // Asks for 10 s at most.
    static bool waitFor(const std::function<bool()> &condition) {
        return pollUntil(condition, kWaitMs / 100, 100);
    }
    // Runs one of the X tools on the display; its output, or none.
    std::optional<QString> run(const QString &program, const QStringList &arguments) const {
        const CommandResult result =
            runCommand("env", QStringList{"DISPLAY=" + display_, program} + arguments);
        if (!result.finished || result.exitCode != 0)
            return std::nullopt;
        return result.output;
    }
    std::unique_ptr<QProcess> server_, manager_;
    QString display_;
};

class DesktopTest : public SystemTest {
  protected:
    void setUpScene() override {
        if (!VirtualDesktop::isAvailable())
            GTEST_SKIP() << "no Xvfb, openbox or X tools";
        bus = std::make_unique<PrivateBus>(folder.path());
        ASSERT_TRUE(bus->isRunning());
        host = std::make_unique<FakeTrayHost>(bus->connection("tray-host"));
        ASSERT_TRUE(host->isServing());
        desktop = std::make_unique<VirtualDesktop>(lan->lan, folder.path());
        ASSERT_EQ(desktop->error, QString());
    }
    void TearDown() override {
        // Flowtally goes before its desktop.
        SystemTest::TearDown();
        desktop.reset();
    }

    // Flowtally on the desktop, started.
    std::unique_ptr<QProcess> startOnDesktop() {
        return start(lan->lan,
                     flowtallyCommand({"QT_QPA_PLATFORM=xcb", "DISPLAY=" + desktop->display(),
                                       "DBUS_SESSION_BUS_ADDRESS=" + bus->address()}));
    }

    std::unique_ptr<PrivateBus> bus;
    std::unique_ptr<FakeTrayHost> host;
    std::unique_ptr<VirtualDesktop> desktop;
};

// Three runs, each ended by one of the quit signals: a session's end, a
// terminal's Ctrl+C or its closing. A panel that comes up after the first
// start (a session that starts Flowtally late, a panel restarted) still
// gets the tray icon, and the badge leaves the main window's title for it.
// In each run, each way back to a minimized main window: a click on the
// tray icon (the item's Activate), a second start of Flowtally. The second
// start ends at once with status 0 and touches no setting: the first holds
// still meanwhile, so that only the second could change the files. Then,
// with the History window open, the signal ends Flowtally, having written
// its settings at the quit (the main window's place goes into them as it
// closes).
TEST_F(DesktopTest, TheTrayIconOrASecondStartBringsTheWindowBackAndQuitSignalsEndIt) {
    host.reset(); // the first start comes before the panel
    for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(strsignal(number));
        QFile::remove(defaultsPath()); // the place from the run before
        flowtally = startOnDesktop();
        ASSERT_TRUE(isRunning(*flowtally)) << "Flowtally did not start";
        if (!host) {
            // Without a tray the badge's label follows the title ("Flowtally — …").
            ASSERT_NE(desktop->window(QStringLiteral("Flowtally \u2014 .+")), 0u)
                << "no main window with the badge in its title";
            host = std::make_unique<FakeTrayHost>(bus->connection("late-tray-host"));
            ASSERT_TRUE(host->isServing());
        }
        const QString item = host->waitForItem();
        ASSERT_FALSE(item.isEmpty()) << "no tray icon registered with the tray host";
        const quint32 mainWindow = desktop->window("Flowtally");
        ASSERT_NE(mainWindow, 0u) << "no main window, or the badge stayed in its title";

        const std::pair<const char *, std::function<bool()>> ways[] = {
            // As a tray host passes it on.
            {"the tray icon's click",
             [&] {
                 const QDBusMessage call =
                     QDBusMessage::createMethodCall(item, "/StatusNotifierItem",
                                                    "org.kde.StatusNotifierItem", "Activate")
                     << 0 << 0;
                 return bus->connection("test").call(call, QDBus::Block, 10000).type() ==
                        QDBusMessage::ReplyMessage;
             }},
            {"a second start", [&] {
                 const auto settings = snapshot(settingsFolder());
                 EXPECT_TRUE(signalProcess(*flowtally, SIGSTOP));
                 const std::unique_ptr<QProcess> second = startOnDesktop();
                 const bool ended = second->waitForFinished(20000);
                 EXPECT_EQ(snapshot(settingsFolder()), settings)
                     << "the second start changed the settings";
                 EXPECT_TRUE(signalProcess(*flowtally, SIGCONT));
                 return ended && second->exitStatus() == QProcess::NormalExit &&
                        second->exitCode() == 0;
             }}};
        for (const auto &[way, comeBack] : ways) {
            SCOPED_TRACE(way);
            ASSERT_TRUE(desktop->minimize(mainWindow))
                << "the window manager did not minimize the window";
            EXPECT_TRUE(comeBack());
            ASSERT_TRUE(desktop->waitUntilShown(mainWindow, true))
                << "the main window stayed minimized";
        }

        // Under load the keys can reach the window before the window manager
        // has given it the focus it reported: a person would press again.
        quint32 history = 0;
        for (int press = 0; press < 3 && history == 0; ++press) {
            ASSERT_TRUE(desktop->press(mainWindow, "ctrl+h"));
            history = desktop->window("Flowtally History");
        }
        ASSERT_NE(history, 0u) << "Ctrl+H opened no History window";
        ASSERT_TRUE(desktop->waitUntilShown(history, true));
        ASSERT_FALSE(storedSettings().contains("MainWindowGeometry"));

        EXPECT_TRUE(endProcess(*flowtally, number)) << "Flowtally did not end";
        EXPECT_TRUE(flowtally->exitStatus() == QProcess::NormalExit && flowtally->exitCode() == 0);
        EXPECT_TRUE(storedSettings().contains("MainWindowGeometry")) << "no write at the quit";
        flowtally.reset();
    }
}

} // namespace

} // namespace flowtally

#include "DesktopTest.moc"
