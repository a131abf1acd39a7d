// The names applications are shown by: their desktop entries', found as the
// desktop finds them, else what their key tells. A network's name as people
// know it: the first thing known of connection, router and interface, shown
// as one line of plain text whatever a router or a connection calls itself.
#include "history/ApplicationName.h"
#include "history/NetworkName.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace flowtally {

namespace {

void plant(const QString &folder, const QString &file, const QByteArray &text) {
    ASSERT_TRUE(QDir().mkpath(folder + "/applications"));
    QFile entry(folder + "/applications/" + file);
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write(text);
}

TEST(ApplicationName, FromTheFirstDesktopEntryElseTheKey) {
    QTemporaryDir folder;
    const QString mine = folder.filePath("mine"), system = folder.filePath("system");
    plant(mine, "org.gnome.Terminal.desktop",
          "[Desktop Action new-window]\nName=New Window\n\n[Desktop Entry]\nName[de]=Terminal "
          "(de)\nType=Application\n Name = Terminal\nName=Second\n");
    plant(mine, "firefox.desktop", "[Desktop Entry]\nType=Application\nName=Firefox (mine)\n");
    plant(system, "firefox.desktop", "[Desktop Entry]\nType=Application\nName=Firefox\n");
    plant(system, "org.gnome.Maps.desktop", "[Desktop Entry]\nType=Application\nName=Maps\n");
    plant(system, "help.desktop", "[Desktop Entry]\nType=Link\nName=Help\nURL=file:///\n");
    plant(mine, "org.gnome.Maps.desktop", "[Desktop Entry]\nType=Application\n");
    const QStringList folders{mine, system};
    // clang-format off
    const struct { const char *key, *name; } cases[] = {
        {"app:org.gnome.Terminal", "Terminal"},    // the entry's group, not an action's
        {"app:firefox", "Firefox (mine)"},         // the user's entry before the system's
        {"app:org.gnome.Maps", "org.gnome.Maps"},  // the first entry has no name: no other is read
        {"app:help", "help"},                      // a link is no application
        {"app:com.example.Gone", "com.example.Gone"},
        {"app:../system/applications/firefox", "../system/applications/firefox"},
        {"service:cups.service", "cups.service"},
        {"other", "Other"}, {"app:", "Other"}, {"service:", "Other"}, {"", "Other"},
    };
    // clang-format on
    for (const auto &c : cases)
        EXPECT_EQ(applicationName(c.key, folders), c.name) << c.key;
}

TEST(NetworkName, TheFirstKnownNameInOneLineOfPlainText) {
    const QString longName = QString(80, u'x');
    // clang-format off
    const struct { NetworkNaming naming; QString name; } cases[] = {
        {{"Home Wi-Fi", "gateway", "192.168.1.1", "wlan0"}, "Home Wi-Fi"},
        {{"", "gateway", "192.168.1.1", "eth0"}, "gateway (192.168.1.1)"},
        {{"  ", "gateway", "", "eth0"}, "gateway"},
        {{"", "UNAVAILABLE", "192.168.1.1", "eth0"}, "eth0"},     // the router kept its name
        {{"", "", "192.168.1.1", "eth0"}, "eth0"},
        {{"", "", "", ""}, ""},
        {{"Caf\u00e9\n\tGuest\x1b[31m", "", "", "eth0"}, "Caf\u00e9 Guest [31m"},
        {{"", "gw\r\nFAKE\u202e", "10.0.0.1", "eth0"}, "gw FAKE (10.0.0.1)"},
        {{longName, "", "", "eth0"}, QString(63, u'x') + u'…'},
    };
    // clang-format on
    for (const auto &c : cases)
        EXPECT_EQ(networkName(c.naming), c.name)
            << c.naming.connection.toStdString() << "|" << c.naming.routerName.toStdString();
}

} // namespace

} // namespace flowtally
