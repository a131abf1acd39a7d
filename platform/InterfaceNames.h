#pragma once

#include <QString>

// Whether an interface is a wired or wireless Ethernet-style one, by its name:
// predictable names ("enp3s0", "wlp2s0"), the classic "eth0", and "wlan0".
// Only behind such an interface is the router asked for the connection's
// counters.
inline bool isWiredOrWirelessInterface(const QString &name) {
    return name.startsWith(QLatin1String("en")) || name.startsWith(QLatin1String("eth")) ||
           name.startsWith(QLatin1String("wl"));
}
