#include "history/NetworkName.h"

namespace flowtally {

namespace {

constexpr qsizetype kLongestName = 64;
// What the router source reads when the router does not tell its name.
const QString kNoRouterName = QStringLiteral("UNAVAILABLE");

QString plainLine(const QString &text) {
    QString line;
    line.reserve(text.size());
    for (const QChar character : text)
        line += character.category() == QChar::Other_Control ||
                        character.category() == QChar::Other_Format || character.isSpace()
                    ? u' '
                    : character;
    line = line.simplified();
    if (line.size() > kLongestName)
        line = line.left(kLongestName - 1).trimmed() + u'…';
    return line;
}

} // namespace

QString networkName(const NetworkNaming &naming) {
    if (const QString connection = plainLine(naming.connection); !connection.isEmpty())
        return connection;
    const QString router = plainLine(naming.routerName);
    if (!router.isEmpty() && router != kNoRouterName) {
        const QString address = plainLine(naming.routerAddress);
        return address.isEmpty() || address == router
                   ? router
                   : QStringLiteral("%1 (%2)").arg(router, address);
    }
    return plainLine(naming.interface);
}

} // namespace flowtally
