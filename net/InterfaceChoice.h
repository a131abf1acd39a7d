#pragma once

#include <QList>
#include <QString>
#include <QVariantMap>

#include <optional>

namespace flowtally {

struct RouterInterface;

// The router interface a person chose to be metered: the one whose text in
// a column of the router's interface table, its description (IF-MIB's
// ifDescr) or its name (ifName), is this text exactly. Found by a walk of
// that column each time, as indexes move when a router restarts. Where
// none was chosen, Flowtally reads the interface described as "vlan1", else
// interface 6.
struct InterfaceChoice {
    // The column: "ifDescr" or "ifName".
    QString object;
    QString text;

    bool operator==(const InterfaceChoice &) const = default;

    // As the settings keep it, and back; a map without a text is no choice.
    QVariantMap toMap() const {
        return {{QStringLiteral("object"), object}, {QStringLiteral("text"), text}};
    }
    static std::optional<InterfaceChoice> fromMap(const QVariantMap &map) {
        const QString object = map.value(QStringLiteral("object")).toString();
        const QString text = map.value(QStringLiteral("text")).toString();
        if (text.isEmpty() ||
            (object != QLatin1String("ifDescr") && object != QLatin1String("ifName")))
            return std::nullopt;
        return InterfaceChoice{object, text};
    }
};

// How a chosen interface is found again: by its description, unless
// another interface of the router (of `all`) has the same one; then by its
// name.
InterfaceChoice choiceOf(const RouterInterface &interface, const QList<RouterInterface> &all);

// Whether the interface is the one the choice finds.
bool isChosen(const RouterInterface &interface, const InterfaceChoice &choice);

} // namespace flowtally
