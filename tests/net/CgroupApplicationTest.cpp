// Whose traffic a cgroup's is, by the names the desktops and systemd give
// their units.
#include "CgroupApplication.h"

#include <gtest/gtest.h>

namespace flowtally {

namespace {

TEST(CgroupApplication, TheInnermostUnitThatNamesOneTellsTheApplication) {
    using enum CgroupApplication::Kind;
    const QString apps = "user.slice/user-1000.slice/user@1000.service/app.slice/";
    // clang-format off
    const struct { QString cgroup; CgroupApplication application; } cases[] = {
        {apps + "app-gnome-org.gnome.Nautilus-4242.scope", {Application, "org.gnome.Nautilus"}},
        {apps + "app-firefox-5a3e9b0c.scope", {Application, "firefox"}},
        {apps + "app-flatpak-org.mozilla.firefox-3117.scope", {Application, "org.mozilla.firefox"}},
        {apps + "app-gnome-org.gnome.Evolution\\x2dalarm\\x2dnotify-2210.scope",
         {Application, "org.gnome.Evolution-alarm-notify"}},
        {apps + "app-org.kde.dolphin@0f1e2d3c.service", {Application, "org.kde.dolphin"}},
        {apps + "app-gnome-org.gnome.Calendar@autostart.service", {Application, "org.gnome.Calendar"}},
        {apps + "app-kde-org.kde.konsole.service", {Application, "org.kde.konsole"}},
        // A program started in a terminal: the terminal's.
        {apps + "app-org.gnome.Terminal.slice/vte-spawn-1b2c.scope", {Application, "org.gnome.Terminal"}},
        {apps + "app-gnome-xterm-77.scope/child.scope", {Application, "xterm"}},
        {"system.slice/cups.service", {SystemService, "cups.service"}},
        {"system.slice/system-getty.slice/getty@tty1.service", {SystemService, "getty@tty1.service"}},
        // Neither: the session's own, the user's services, no unit at all.
        {"user.slice/user-1000.slice/session-2.scope", {}},
        {"user.slice/user-1000.slice/user@1000.service/session.slice/pipewire.service", {}},
        {apps + "app-.scope", {}},
        {"system.slice", {}},
        {"", {}},
        {"init.scope", {}},
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(c.cgroup.toStdString());
        EXPECT_EQ(CgroupApplication::of(c.cgroup), c.application)
            << CgroupApplication::of(c.cgroup).key().toStdString();
    }
    EXPECT_EQ(CgroupApplication::of(apps + "app-firefox-1.scope").key(), "app:firefox");
    EXPECT_EQ(CgroupApplication::of("system.slice/cups.service").key(), "service:cups.service");
    EXPECT_EQ(CgroupApplication{}.key(), "other");
}

} // namespace

} // namespace flowtally
