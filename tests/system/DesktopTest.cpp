// Flowtally on a desktop: an X server with a window manager, a session bus
// and a tray host of the test's own. The tray icon and a second start bring
// the minimized main window back; the icon's menu opens the History window,
// and a quit signal then still ends Flowtally with its last write done and
// the SNMP community file removed. The real program on xcb, in namespaces
// of the test's own, metering a router.
#include "tests/support/FakeTrayHost.h"
#include "tests/support/PrivateBus.h"
#include "tests/system/SystemTest.h"
#include "tests/support/TextPrinting.h"
#include "tests/support/VirtualDesktop.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>

#include <cstring>

namespace flowtally {

namespace {

const QString kCommunity = QStringLiteral("ft-desktop-91c4");
const QString kItemPath = QStringLiteral("/StatusNotifierItem");
const QString kItemInterface = QStringLiteral("org.kde.StatusNotifierItem");
const QString kMenuInterface = QStringLiteral("com.canonical.dbusmenu");

struct MenuEntry {
    int id = 0;
    QString label; // without the mnemonic's mark
};

// The entries of a menu's top level as com.canonical.dbusmenu lays it out:
// (id, properties, children), each child a variant of the same; separators
// left out.
QList<MenuEntry> topEntries(const QDBusArgument &layout) {
    QList<MenuEntry> entries;
    int id = 0;
    QVariantMap properties;
    layout.beginStructure();
    layout >> id >> properties;
    layout.beginArray();
    while (!layout.atEnd()) {
        QDBusVariant child;
        layout >> child;
        const QDBusArgument item = qvariant_cast<QDBusArgument>(child.variant());
        item.beginStructure();
        item >> id >> properties;
        item.endStructure();
        if (properties.value(QStringLiteral("type")).toString() != QLatin1String("separator"))
            entries.append({id, properties.value(QStringLiteral("label")).toString().remove('_')});
    }
    layout.endArray();
    layout.endStructure();
    return entries;
}

class DesktopTest : public SystemTest {
  protected:
    void SetUp() override {
        SystemTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        if (!canPlayRouter() || !VirtualDesktop::isAvailable())
            GTEST_SKIP() << "no snmpd, SNMP modules, Xvfb, openbox or X tools";
        makeAgent();
        ASSERT_EQ(agent->start(kCommunity), QString()) << "snmpd never served";
        ASSERT_TRUE(QDir().mkpath(folder.filePath("bus")));
        bus = std::make_unique<PrivateBus>(folder.filePath("bus"));
        ASSERT_TRUE(bus->isRunning());
        host = std::make_unique<FakeTrayHost>(bus->connection("tray-host"));
        ASSERT_TRUE(host->isServing());
        caller = bus->connection("test");
        desktop = std::make_unique<VirtualDesktop>(lan->lan, folder.path());
        ASSERT_EQ(desktop->error, QString());
    }
    void TearDown() override {
        // Flowtally goes before its desktop.
        flowtally.reset();
        desktop.reset();
        SystemTest::TearDown();
    }

    // The settings Flowtally starts with: the router's community only.
    void startFresh() { writeSettings({{"communityPassword", kCommunity}}); }
    QStringList desktopEnvironment() const {
        return programEnvironment() + QStringList{"QT_QPA_PLATFORM=xcb",
                                                  "DISPLAY=" + desktop->display(),
                                                  "DBUS_SESSION_BUS_ADDRESS=" + bus->address()};
    }
    // Flowtally on the desktop, once its tray icon and main window are there.
    void launchOnDesktop() {
        flowtally =
            start(lan->lan, QStringList{"env"} + desktopEnvironment() + QStringList{programPath()});
        ASSERT_TRUE(running(*flowtally)) << "Flowtally did not start";
        item = host->waitForItem();
        ASSERT_FALSE(item.isEmpty()) << "no tray icon registered with the tray host";
        mainWindow = desktop->window("Flowtally");
        ASSERT_NE(mainWindow, 0u) << "no main window";
        ASSERT_TRUE(waitForState(mainWindow, "Normal")) << "the main window did not show";
    }

    QDBusMessage callItem(const QString &interface, const QString &path, const QString &method,
                          const QVariantList &arguments) {
        QDBusMessage call = QDBusMessage::createMethodCall(item, path, interface, method);
        call.setArguments(arguments);
        return caller.call(call, QDBus::Block, 10000);
    }
    // The tray icon's menu, as a tray host reads it.
    QList<MenuEntry> menu() {
        const QDBusMessage path =
            callItem("org.freedesktop.DBus.Properties", kItemPath, "Get", {kItemInterface, "Menu"});
        if (path.type() != QDBusMessage::ReplyMessage)
            return {};
        menuPath = qvariant_cast<QDBusVariant>(path.arguments().value(0))
                       .variant()
                       .value<QDBusObjectPath>()
                       .path();
        const QDBusMessage layout =
            callItem(kMenuInterface, menuPath, "GetLayout", {0, -1, QStringList{"label", "type"}});
        if (layout.type() != QDBusMessage::ReplyMessage || layout.arguments().size() < 2)
            return {};
        return topEntries(qvariant_cast<QDBusArgument>(layout.arguments().at(1)));
    }
    // Clicks the menu's entry of this label, as a tray host passes a click on.
    bool click(const QString &label) {
        for (const MenuEntry &entry : menu()) {
            if (entry.label == label)
                return callItem(kMenuInterface, menuPath, "Event",
                                {entry.id, "clicked", QVariant::fromValue(QDBusVariant(0)), 0u})
                           .type() == QDBusMessage::ReplyMessage;
        }
        return false;
    }

    // Waits (10 s at most) until the window manager says the window is in
    // this state ("Normal" or "Iconic"), on the screen only when "Normal".
    bool waitForState(quint32 window, const QString &state) const {
        for (int slice = 0; slice < 100; ++slice) {
            if (desktop->state(window) == state &&
                desktop->isViewable(window) == (state == QLatin1String("Normal")))
                return true;
            QThread::msleep(100);
        }
        return false;
    }
    bool minimizeMainWindow() const {
        if (!desktop->minimize(mainWindow) || !waitForState(mainWindow, "Iconic"))
            return false;
        // Flowtally learns of it from the X server a moment after the
        // window manager said so.
        QThread::msleep(500);
        return true;
    }

    QString communityFile() const { return folder.filePath("runtime/snmp/snmp.conf"); }

    std::unique_ptr<PrivateBus> bus;
    std::unique_ptr<FakeTrayHost> host;
    QDBusConnection caller{QString()};
    std::unique_ptr<VirtualDesktop> desktop;
    QString item, menuPath;
    quint32 mainWindow = 0;
};

// Each way back to a minimized main window: a click on the tray icon (the
// item's Activate), the menu's first entry, a second start of Flowtally.
TEST_F(DesktopTest, TrayIconItsMenuAndASecondStartBringTheMinimizedWindowBack) {
    ASSERT_NO_FATAL_FAILURE(startFresh());
    ASSERT_NO_FATAL_FAILURE(launchOnDesktop());
    QStringList labels;
    for (const MenuEntry &entry : menu())
        labels.append(entry.label);
    EXPECT_EQ(labels, (QStringList{"Show Flowtally", "Preferences…", "History…", "Quit"}));

    const std::pair<const char *, std::function<bool()>> ways[] = {
        {"the tray icon's click",
         [&] {
             return callItem(kItemInterface, kItemPath, "Activate", {0, 0}).type() ==
                    QDBusMessage::ReplyMessage;
         }},
        {"Show Flowtally", [&] { return click("Show Flowtally"); }},
        {"a second start", [&] {
             const std::unique_ptr<QProcess> second = start(
                 lan->lan, QStringList{"env"} + desktopEnvironment() + QStringList{programPath()});
             return second->waitForFinished(20000) && second->exitCode() == 0;
         }}};
    for (const auto &[way, comeBack] : ways) {
        SCOPED_TRACE(way);
        ASSERT_TRUE(minimizeMainWindow()) << "the window manager did not minimize the window";
        EXPECT_TRUE(comeBack());
        EXPECT_TRUE(waitForState(mainWindow, "Normal")) << "the main window stayed minimized";
    }
    ASSERT_NO_FATAL_FAILURE(quit());
}

// A panel that comes up after Flowtally (a session that starts it late, a
// panel restarted) still gets the tray icon, and the badge leaves the main
// window's title for it.
TEST_F(DesktopTest, APanelStartedAfterFlowtallyStillGetsTheTrayIcon) {
    host.reset();
    ASSERT_NO_FATAL_FAILURE(startFresh());
    flowtally =
        start(lan->lan, QStringList{"env"} + desktopEnvironment() + QStringList{programPath()});
    ASSERT_TRUE(running(*flowtally)) << "Flowtally did not start";
    ASSERT_NE(desktop->window("Flowtally.*"), 0u) << "no main window";

    host = std::make_unique<FakeTrayHost>(bus->connection("late-tray-host"));
    ASSERT_TRUE(host->isServing());
    EXPECT_FALSE(host->waitForItem().isEmpty()) << "no tray icon once the panel came";
    EXPECT_NE(desktop->window("Flowtally"), 0u) << "the badge stayed in the title";
    ASSERT_NO_FATAL_FAILURE(quit());
}

// A session's end, a terminal's Ctrl+C or its closing, with the History
// window open: Flowtally ends, having written its settings at the quit
// (the main window's place goes into them as it closes) and removed the
// file that gives the SNMP tools the community.
TEST_F(DesktopTest, QuitSignalsEndFlowtallyWithTheHistoryWindowOpen) {
    for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(strsignal(number));
        ASSERT_NO_FATAL_FAILURE(startFresh());
        ASSERT_NO_FATAL_FAILURE(launchOnDesktop());
        ASSERT_TRUE(waitForSample({}, {}, "router")) << "Flowtally stored no router sample";
        ASSERT_TRUE(QFileInfo::exists(communityFile()));
        ASSERT_TRUE(click("History…"));
        const quint32 history = desktop->window("Flowtally History");
        ASSERT_NE(history, 0u) << "the menu opened no History window";
        ASSERT_TRUE(waitForState(history, "Normal"));
        ASSERT_FALSE(storedSettings().contains("MainWindowGeometry"));

        EXPECT_TRUE(end(*flowtally, number)) << "Flowtally did not end";
        EXPECT_TRUE(flowtally->exitStatus() == QProcess::NormalExit && flowtally->exitCode() == 0);
        EXPECT_TRUE(storedSettings().contains("MainWindowGeometry")) << "no write at the quit";
        EXPECT_EQ(records().size(), 1u);
        EXPECT_FALSE(QFileInfo::exists(communityFile())) << "the community file outlived Flowtally";
        flowtally.reset();
    }
}

} // namespace

} // namespace flowtally
