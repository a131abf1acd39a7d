#include "WBLib/WBBKMGTFormatter.h"

#include "platform/text/CharacterSet.h"
#include "platform/text/Numbers.h"
#include "platform/system/PropertyList.h"
#include "platform/system/Resources.h"
#include "platform/system/SystemLog.h"

#include <array>

namespace flowtally {

namespace {

constexpr std::array kScalesDescending{WBBKMGTFormatter::kT, WBBKMGTFormatter::kG,
                                       WBBKMGTFormatter::kM, WBBKMGTFormatter::kK,
                                       WBBKMGTFormatter::kB};
constexpr quint64 kGotchaAbove = 10 * WBBKMGTFormatter::kT;

const QString kScaleStringsResource = QStringLiteral("ScaleStrings.plist");
const QString kUnitLettersResource = QStringLiteral("OrderedBKMGTChars.txt");

// The unit table and letters, loaded on first use and kept for the life of
// the process.
struct ScaleResources {
    QVariantMap BKMGTDict;
    QString BKMGTString;
    CharacterSet unitSet;

    ScaleResources() {
        if (std::optional<QVariantMap> dictionary =
                dictionaryWithContentsOfFile(resourcePath(kScaleStringsResource)))
            BKMGTDict = *dictionary;
        else
            systemLog(QStringLiteral("Resource %1 could not be read").arg(kScaleStringsResource));
        if (std::optional<QString> letters = resourceText(kUnitLettersResource))
            BKMGTString = *letters;
        else
            systemLog(QStringLiteral("Resource %1 could not be read").arg(kUnitLettersResource));
        // The file's line ends are not unit letters.
        QString units = BKMGTString;
        units.removeIf([](QChar c) {
            return CharacterSet::whitespaceAndNewlineCharacterSet().characterIsMember(c);
        });
        unitSet = CharacterSet::characterSetWithCharactersInString(units);
    }
};

const ScaleResources &scaleResources() {
    static const ScaleResources resources; // thread-safe first use
    return resources;
}

} // namespace

WBBKMGTFormatter::WBBKMGTFormatter() {
    setFormatterBehavior(kBehavior10_4);
}

quint64 WBBKMGTFormatter::scaleForObjectValue(const QVariant &value) {
    const quint64 v = unsignedLongLongValueOf(value);
    if (v > kGotchaAbove)
        systemLog(QStringLiteral("gotcha!"));
    for (quint64 scale : kScalesDescending) {
        if (v > scale / 2)
            return scale;
    }
    return kB;
}

quint64 WBBKMGTFormatter::scaleInString(const QString &text) {
    const ScaleResources &resources = scaleResources();
    for (QChar c : text) {
        const QChar upper = c.toUpper();
        const CharacterSet &units = resources.unitSet;
        if (!units.characterIsMember(c) && !units.characterIsMember(upper) &&
            !units.characterIsMember(c.toLower()))
            continue;
        for (auto it = resources.BKMGTDict.cbegin(); it != resources.BKMGTDict.cend(); ++it) {
            if (it.value().toString() == QString(upper))
                return it.key().toULongLong();
        }
        return kB; // a letter the table does not know reads as bytes
    }
    return kB;
}

std::optional<QString> WBBKMGTFormatter::unitForScale(quint64 scale) {
    const QVariantMap &dictionary = scaleResources().BKMGTDict;
    const auto entry = dictionary.constFind(QString::number(scale));
    if (entry == dictionary.cend())
        return std::nullopt;
    return entry->toString();
}

QString WBBKMGTFormatter::stringForObjectValue(const QVariant &value, unsigned maxFracts) {
    const double d = doubleValueOf(value);
    const quint64 s = scaleForObjectValue(d);
    return cFixedPoint(d / double(s), maxFracts) + unitForScale(s).value_or(QString());
}

std::optional<QString> WBBKMGTFormatter::stringForObjectValue(const QVariant &value) const {
    if (!isNumber(value) && value.typeId() != QMetaType::QString)
        return std::nullopt;
    return stringForObjectValue(value, maximumFractionDigits());
}

bool WBBKMGTFormatter::getObjectValue(QVariant *object, const QString &string,
                                      QString *errorDescription) const {
    const double x = doubleValue(string);
    const quint64 s = scaleInString(string);
    if (object)
        *object = x * double(s);
    if (errorDescription)
        errorDescription->clear();
    return true;
}

} // namespace flowtally
