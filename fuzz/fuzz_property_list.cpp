// Property lists as Flowtally reads them: the settings store's file and the
// bundled defaults. Whatever the bytes, reading ends with a value or with a
// reason; a value is nested no deeper than the limit, is written back as XML
// and reads back the same.
#include "fuzz/FuzzCheck.h"
#include "platform/system/PropertyList.h"

#include <QDateTime>

#include <cmath>

namespace flowtally {

namespace {

int depthOf(const QVariant &value) {
    int deepest = 0;
    if (value.typeId() == QMetaType::QVariantMap) {
        for (const QVariant &item : value.toMap())
            deepest = std::max(deepest, depthOf(item));
    } else if (value.typeId() == QMetaType::QVariantList) {
        for (const QVariant &item : value.toList())
            deepest = std::max(deepest, depthOf(item));
    } else {
        return 0;
    }
    return deepest + 1;
}

// Equality that takes NaN for NaN, as a real written and read again is.
bool same(const QVariant &a, const QVariant &b) {
    if (a.typeId() != b.typeId())
        return false;
    switch (a.typeId()) {
    case QMetaType::Double:
        return a.toDouble() == b.toDouble() ||
               (std::isnan(a.toDouble()) && std::isnan(b.toDouble()));
    case QMetaType::QVariantMap: {
        const QVariantMap x = a.toMap(), y = b.toMap();
        if (x.keys() != y.keys())
            return false;
        for (auto it = x.cbegin(); it != x.cend(); ++it)
            if (!same(it.value(), y.value(it.key())))
                return false;
        return true;
    }
    case QMetaType::QVariantList: {
        const QVariantList x = a.toList(), y = b.toList();
        if (x.size() != y.size())
            return false;
        for (qsizetype i = 0; i < x.size(); ++i)
            if (!same(x[i], y[i]))
                return false;
        return true;
    }
    default:
        return a == b;
    }
}

} // namespace

} // namespace flowtally

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    using namespace flowtally;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QVariant value;
    const Status read = propertyListFromData(bytes, &value);
    fuzzCheck(read.ok() == read.message().isEmpty(), "a refusal gives its reason");
    if (!read.ok())
        return 0;
    fuzzCheck(depthOf(value) <= kPropertyListDepthLimit, "nested no deeper than the limit");
    QVariantMap dictionary;
    const Status readAsDictionary = dictionaryFromData(bytes, &dictionary);
    fuzzCheck(readAsDictionary.ok() == (value.typeId() == QMetaType::QVariantMap),
              "a dictionary root reads as a dictionary");
    if (!readAsDictionary.ok())
        return 0;
    const QByteArray written = xmlData(dictionary);
    fuzzCheck(!written.isEmpty(), "what was read can be written");
    QVariantMap again;
    fuzzCheck(dictionaryFromData(written, &again).ok(), "what was written reads");
    fuzzCheck(same(QVariant(dictionary), QVariant(again)), "what was written reads back the same");
    return 0;
}
