#include "net/InterfaceChoice.h"

#include "net/ToolReplies.h"

#include <algorithm>

namespace flowtally {

InterfaceChoice choiceOf(const RouterInterface &interface, const QList<RouterInterface> &all) {
    const auto described = std::count_if(all.cbegin(), all.cend(), [&](const RouterInterface &i) {
        return i.description == interface.description;
    });
    if (described > 1 && !interface.name.isEmpty())
        return {QStringLiteral("ifName"), interface.name};
    return {QStringLiteral("ifDescr"), interface.description};
}

bool isChosen(const RouterInterface &interface, const InterfaceChoice &choice) {
    return (choice.object == QLatin1String("ifName") ? interface.name : interface.description) ==
           choice.text;
}

} // namespace flowtally
