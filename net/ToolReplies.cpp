#include "net/ToolReplies.h"

#include "platform/text/CharacterSet.h"
#include "WBLib/ComponentsSeparatedByCharactersFromSet.h"
#include "WBLib/IndexSetFromIndices.h"
#include "platform/text/Numbers.h"
#include "WBLib/WBNSStringLinesFromString.h"

namespace flowtally {

namespace {

constexpr qsizetype kNetstatFields = 10;
constexpr int kAddressField = 3, kInField = 6, kOutField = 9, kNetworkField = 2;

const QString kMibMark = QStringLiteral("MIB::");

QStringList words(const QString &reply) {
    return reply.split(QLatin1Char(' '));
}

// A counter column read as a signed 64-bit number and kept as its bits.
quint64 counterField(const QString &field) {
    return static_cast<quint64>(longLongValue(field));
}

// "<Link#N>" names the interface's kernel index.
quint32 kernelIndexField(const QString &field) {
    const QString prefix = QStringLiteral("<Link#");
    if (!field.startsWith(prefix) || !field.endsWith(QLatin1Char('>')))
        return 0;
    bool number = false;
    const quint32 index =
        field.mid(prefix.size(), field.size() - prefix.size() - 1).toUInt(&number);
    return number ? index : 0;
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

NetstatReading readNetstatListing(const QString &text) {
    NetstatReading reading;
    const QStringList lines = text.split(QLatin1Char('\n'));
    if (lines.size() < 2) {
        reading.outcome = NetstatReading::Outcome::ShortLineCount;
        reading.quoted = text;
        return reading;
    }
    const QStringList fields = componentsSeparatedByCharactersFromSet(
        lines.at(1), CharacterSet::whitespaceAndNewlineCharacterSet());
    if (fields.size() < kNetstatFields) {
        reading.outcome = NetstatReading::Outcome::ResultFormat;
        reading.quoted = fields.join(QLatin1Char(' '));
        return reading;
    }
    reading.row.address = fields.at(kAddressField);
    reading.row.in = counterField(fields.at(kInField));
    reading.row.out = counterField(fields.at(kOutField));
    reading.row.kernelIndex = kernelIndexField(fields.at(kNetworkField));
    return reading;
}

bool isSnmpAnswer(const QString &reply) {
    return reply.contains(kMibMark);
}

std::optional<QString> nameInReply(const QString &reply) {
    const QStringList replyWords = words(reply);
    if (replyWords.size() <= 3 || replyWords.at(2) != QLatin1String("STRING:"))
        return std::nullopt;
    return replyWords.last();
}

double uptimeInReply(const std::optional<QString> &reply) {
    if (!reply || reply->isEmpty())
        return -1;
    const QStringList opened = reply->split(QLatin1Char('('));
    if (opened.size() < 2)
        return -1;
    const QStringList closed = opened.at(1).split(QLatin1Char(')'));
    if (closed.size() < 2)
        return -1;
    // Time-ticks are hundredths of a second.
    return doubleValue(closed.at(0)) / 100.0;
}

quint32 interfaceIndexInWalk(const std::optional<QString> &walk, const QString &description,
                             quint32 fallback) {
    quint32 index = fallback;
    // Every matching line counts, so the last one decides.
    for (const QString &line : walk ? lines(*walk) : QStringList()) {
        if (!line.contains(description))
            continue;
        const QString name = words(line).constFirst();
        index = static_cast<quint32>(integerValue(name.split(QLatin1Char('.')).constLast()));
    }
    return index;
}

quint32 counterInReply(const std::optional<QString> &reply) {
    if (!reply || reply->isEmpty())
        return 0;
    const QStringList replyWords = words(*reply);
    if (replyWords.size() <= 3)
        return 0;
    return static_cast<quint32>(longLongValue(replyWords.at(3).trimmed()));
}

std::optional<QString> answerInReply(const QString &reply, const QString &object) {
    const QString start = object + QStringLiteral(" = ");
    for (const QString &line : reply.split(QLatin1Char('\n'))) {
        if (line.startsWith(start))
            return line + QLatin1Char('\n');
    }
    return std::nullopt;
}

std::optional<CounterAnswer> counterOfAnswer(const std::optional<QString> &answer) {
    if (!answer)
        return std::nullopt;
    const QStringList answerWords = words(answer->simplified());
    if (answerWords.size() != 4)
        return std::nullopt;
    const QString &type = answerWords.at(2);
    const int bits = type == QLatin1String("Counter32:")   ? 32
                     : type == QLatin1String("Counter64:") ? 64
                                                           : 0;
    bool number = false;
    const quint64 value = answerWords.at(3).toULongLong(&number);
    if (bits == 0 || !number)
        return std::nullopt;
    return CounterAnswer{value, bits};
}

namespace {

// The unsigned number of an answer of the type, its fourth of four words.
std::optional<quint64> numberOfAnswer(const std::optional<QString> &answer, QLatin1String type) {
    if (!answer)
        return std::nullopt;
    const QStringList answerWords = words(answer->simplified());
    bool number = false;
    const quint64 value = answerWords.size() == 4 && answerWords.at(2) == type
                              ? answerWords.at(3).toULongLong(&number)
                              : 0;
    return number ? std::optional(value) : std::nullopt;
}

} // namespace

quint64 interfaceSpeedOfAnswers(const std::optional<QString> &highSpeed,
                                const std::optional<QString> &speed) {
    constexpr quint64 kMillion = 1000000;
    constexpr quint64 kSpeedAboveGauge = 4294967295;
    const QLatin1String gauge("Gauge32:");
    if (const std::optional<quint64> high = numberOfAnswer(highSpeed, gauge); high && *high > 0)
        return *high * kMillion;
    const std::optional<quint64> low = numberOfAnswer(speed, gauge);
    return low && *low != kSpeedAboveGauge ? *low : 0;
}

std::optional<qint64> timeticksOfAnswer(const std::optional<QString> &answer) {
    if (!answer || words(answer->simplified()).value(2) != QLatin1String("Timeticks:"))
        return std::nullopt;
    const qsizetype open = answer->indexOf(QLatin1Char('('));
    const qsizetype close = answer->indexOf(QLatin1Char(')'), open);
    bool number = false;
    const qint64 ticks =
        open < 0 || close < 0 ? 0 : answer->mid(open + 1, close - open - 1).toLongLong(&number);
    return number ? std::optional(ticks) : std::nullopt;
}

namespace {

// The index of a walk's line: the number after the last dot of the object's
// name, the line's first word; none for a line of another shape.
std::optional<quint32> indexOfLine(const QString &line) {
    const qsizetype nameEnd = line.indexOf(QLatin1String(" = "));
    if (nameEnd < 0)
        return std::nullopt;
    const QString name = line.left(nameEnd);
    bool number = false;
    const quint32 index = name.mid(name.lastIndexOf(QLatin1Char('.')) + 1).toUInt(&number);
    return number && name.contains(kMibMark) ? std::optional(index) : std::nullopt;
}

} // namespace

QMap<quint32, QString> textsInWalk(const std::optional<QString> &walk) {
    const QString type = QStringLiteral(" = STRING:");
    QMap<quint32, QString> texts;
    for (const QString &line : walk ? walk->split(QLatin1Char('\n')) : QStringList()) {
        const std::optional<quint32> index = indexOfLine(line);
        const qsizetype typeAt = line.indexOf(type);
        if (!index || typeAt < 0)
            continue;
        QString text = line.mid(typeAt + type.size());
        if (text.endsWith(QLatin1Char('\r')))
            text.chop(1);
        texts.insert(*index, text.startsWith(QLatin1Char(' ')) ? text.mid(1) : text);
    }
    return texts;
}

QMap<quint32, CounterAnswer> countersInWalk(const std::optional<QString> &walk) {
    QMap<quint32, CounterAnswer> counters;
    for (const QString &line : walk ? walk->split(QLatin1Char('\n')) : QStringList()) {
        const std::optional<quint32> index = indexOfLine(line);
        const std::optional<CounterAnswer> counter = counterOfAnswer(line);
        if (index && counter)
            counters.insert(*index, *counter);
    }
    return counters;
}

std::optional<quint32> interfaceIndexNamed(const std::optional<QString> &walk,
                                           const QString &text) {
    std::optional<quint32> found;
    const QMap<quint32, QString> texts = textsInWalk(walk);
    for (auto entry = texts.constBegin(); entry != texts.constEnd(); ++entry) {
        if (entry.value() == text)
            found = entry.key();
    }
    return found;
}

QList<RouterInterface>
routerInterfacesInWalks(const std::optional<QString> &descriptions,
                        const std::optional<QString> &names, const std::optional<QString> &aliases,
                        const std::optional<QString> &wideIn, const std::optional<QString> &wideOut,
                        const std::optional<QString> &in, const std::optional<QString> &out) {
    const QMap<quint32, QString> nameTexts = textsInWalk(names);
    const QMap<quint32, QString> aliasTexts = textsInWalk(aliases);
    const QMap<quint32, CounterAnswer> counters[] = {
        countersInWalk(wideIn), countersInWalk(wideOut), countersInWalk(in), countersInWalk(out)};
    const auto counter = [&](quint32 index, int wide, int narrow) -> std::optional<quint64> {
        for (const int column : {wide, narrow}) {
            if (counters[column].contains(index))
                return counters[column].value(index).value;
        }
        return std::nullopt;
    };
    QList<RouterInterface> interfaces;
    const QMap<quint32, QString> descriptionTexts = textsInWalk(descriptions);
    for (auto entry = descriptionTexts.constBegin(); entry != descriptionTexts.constEnd();
         ++entry) {
        const quint32 index = entry.key();
        interfaces.append({index, entry.value(), nameTexts.value(index), aliasTexts.value(index),
                           counter(index, 0, 2), counter(index, 1, 3)});
    }
    return interfaces;
}

std::optional<QString> addressInArpReply(const QString &reply) {
    static const CharacterSet parentheses =
        CharacterSet::characterSetWithCharactersInString(QStringLiteral("()"));
    const QStringList pieces = componentsSeparatedByCharactersFromSet(reply, parentheses);
    if (pieces.size() != 3)
        return std::nullopt;
    return pieces.at(1);
}

std::optional<QVariantMap> addressRecordInArpReply(const QString &reply) {
    const QStringList replyWords = words(reply);
    if (replyWords.size() <= 6 || !replyWords.constFirst().startsWith(QLatin1Char('?')))
        return std::nullopt;
    // More than six words: every index is in range.
    const QStringList picked =
        *objectsAtIndexes(replyWords, indexSetFromStringList(QStringLiteral("1,3,5,6")));
    const QString trimmed = QStringLiteral("[]() \n");
    const QStringList keys{QStringLiteral("IP"), QStringLiteral("MAC"),
                           QStringLiteral("PrimaryInterface"),
                           QStringLiteral("INTERFACE_DESCRIPTION")};
    QVariantMap record;
    for (qsizetype i = 0; i < keys.size(); ++i)
        record.insert(keys.at(i), trimmedOf(picked.at(i), trimmed));
    return record;
}

std::optional<QString> hardwareAddressInArpReply(const QString &reply) {
    const QStringList replyWords = words(reply);
    if (replyWords.size() < 4)
        return std::nullopt;
    return replyWords.at(3);
}

} // namespace flowtally
