// Address-resolution lookups: an IPv4 address's hardware address, interface
// and interface type, from the neighbour table through the arp tool.
#include "AppDelegate.h"

#include "Environment.h"

#include "DirectToolRun.h"
#include "IndexSetFromIndices.h"
#include "IsValidLocalIP.h"
#include "ToolPaths.h"

namespace flowtally {

namespace {

std::optional<QStringList> arpReplyWords(const QString &address) {
    const std::optional<QString> reply =
        directToolRun(Environment::current().toolPath(kArpTool), {address});
    if (!reply)
        return std::nullopt;
    return reply->split(QLatin1Char(' '));
}

QString trimmedOf(const QString &word, const QString &characters) {
    qsizetype start = 0;
    qsizetype end = word.size();
    while (start < end && characters.contains(word.at(start)))
        ++start;
    while (end > start && characters.contains(word.at(end - 1)))
        --end;
    return word.mid(start, end - start);
}

} // namespace

std::optional<QVariantMap> AppDelegate::IPInfo(const std::optional<QString> &address) {
    if (!address || address->isEmpty() || !isValidLocalIP(*address))
        return std::nullopt;
    const std::optional<QStringList> replyWords = arpReplyWords(*address);
    if (!replyWords || replyWords->size() <= 6 ||
        !replyWords->constFirst().startsWith(QLatin1Char('?')))
        return std::nullopt;

    // More than six words: every index is in range.
    const QStringList picked =
        *objectsAtIndexes(*replyWords, indexSetFromStringList(QStringLiteral("1,3,5,6")));
    const QString trimmed = QStringLiteral("[]() \n");
    const QStringList keys{QStringLiteral("IP"), QStringLiteral("MAC"),
                           QStringLiteral("PrimaryInterface"),
                           QStringLiteral("INTERFACE_DESCRIPTION")};
    QVariantMap record;
    for (qsizetype i = 0; i < keys.size(); ++i)
        record.insert(keys.at(i), trimmedOf(picked.at(i), trimmed));
    return record;
}

std::optional<QString>
AppDelegate::enetAddressFromIPAddress(const std::optional<QString> &address) {
    if (!address || address->isEmpty())
        return std::nullopt;
    const std::optional<QStringList> replyWords = arpReplyWords(*address);
    if (!replyWords || replyWords->size() < 4)
        return std::nullopt;
    return replyWords->at(3);
}

} // namespace flowtally
