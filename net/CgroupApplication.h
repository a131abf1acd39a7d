#pragma once

#include <QString>

namespace flowtally {

// Whose traffic a cgroup's is, as the desktop and systemd name their units:
// an application started by the desktop (its scope or service
// "app-LAUNCHER-ID-RANDOM.scope", "app-LAUNCHER-ID@RANDOM.service",
// "app-flatpak-ID-PID.scope", or its slice "app-ID.slice"; a program
// started from a terminal is in the terminal's), a system service
// ("system.slice/…/NAME.service"), or other traffic (a session's own
// processes, the user's services, the kernel's).
struct CgroupApplication {
    enum class Kind { Application, SystemService, Other };
    Kind kind = Kind::Other;
    // The application's identifier (its desktop entry's name without
    // ".desktop", such as "org.gnome.Terminal"), or the service's unit
    // ("cups.service"); empty for other traffic.
    QString id;

    bool operator==(const CgroupApplication &) const = default;

    // The application a cgroup's path (relative to the cgroup tree's root)
    // belongs to: the innermost unit of the path that names one.
    static CgroupApplication of(const QString &cgroup);
    // A key that tells applications apart: "app:ID", "service:UNIT" or
    // "other".
    QString key() const;
};

} // namespace flowtally
