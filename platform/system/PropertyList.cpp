#include "platform/system/PropertyList.h"

#include "platform/text/Numbers.h"
#include "platform/system/PropertyListNesting.h"

#include <QDateTime>
#include <QFile>

#include <plist/plist.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <memory>

namespace flowtally {

namespace {

// libplist counts dates in seconds from 2001-01-01 00:00:00 UTC.
constexpr qint64 kMacEpochMSecs = 978307200000;

struct PlistFree {
    void operator()(void *node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistNode = std::unique_ptr<void, PlistFree>;

// Keys, strings and iterators that libplist hands out are the caller's to free.
struct MallocFree {
    void operator()(void *memory) const { std::free(memory); }
};
using CText = std::unique_ptr<char, MallocFree>;

std::optional<QVariant> valueOfNode(plist_t node);

std::optional<QVariant> dictionaryOfNode(plist_t node) {
    QVariantMap dictionary;
    plist_dict_iter iter = nullptr;
    plist_dict_new_iter(node, &iter);
    std::unique_ptr<void, MallocFree> ownedIter(iter);
    for (;;) {
        // The key accessor asserts on a key that holds a NUL byte. Keys
        // read from XML hold none: libplist makes them from C strings.
        char *rawKey = nullptr;
        plist_t item = nullptr;
        plist_dict_next_item(node, iter, &rawKey, &item);
        CText key(rawKey);
        if (!item)
            break;
        std::optional<QVariant> value = valueOfNode(item);
        if (!value)
            return std::nullopt;
        dictionary.insert(QString::fromUtf8(key.get()), *value);
    }
    return QVariant(dictionary);
}

std::optional<QVariant> arrayOfNode(plist_t node) {
    QVariantList array;
    const uint32_t count = plist_array_get_size(node);
    for (uint32_t i = 0; i < count; ++i) {
        std::optional<QVariant> value = valueOfNode(plist_array_get_item(node, i));
        if (!value)
            return std::nullopt;
        array.append(*value);
    }
    return QVariant(array);
}

std::optional<QVariant> valueOfNode(plist_t node) {
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return QVariant(value != 0);
    }
    case PLIST_UINT: {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return QVariant(quint64(value));
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return QVariant(value);
    }
    case PLIST_STRING: {
        uint64_t length = 0;
        const char *text = plist_get_string_ptr(node, &length);
        return QVariant(QString::fromUtf8(text, qsizetype(length)));
    }
    case PLIST_DATA: {
        uint64_t length = 0;
        const char *bytes = plist_get_data_ptr(node, &length);
        return QVariant(QByteArray(bytes, qsizetype(length)));
    }
    case PLIST_DATE: {
        int32_t seconds = 0;
        int32_t microseconds = 0;
        plist_get_date_val(node, &seconds, &microseconds);
        const qint64 msecs = kMacEpochMSecs + qint64(seconds) * 1000 + microseconds / 1000;
        return QVariant(QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC));
    }
    case PLIST_DICT:
        return dictionaryOfNode(node);
    case PLIST_ARRAY:
        return arrayOfNode(node);
    default:
        // Keys, UIDs (keyed archives) and untyped nodes hold no value of ours.
        return std::nullopt;
    }
}

PlistNode nodeOfValue(const QVariant &value);

PlistNode dictionaryNode(const QVariantMap &dictionary) {
    PlistNode node(plist_new_dict());
    for (auto it = dictionary.cbegin(); it != dictionary.cend(); ++it) {
        PlistNode item = nodeOfValue(it.value());
        if (!item)
            return nullptr;
        // The dictionary takes ownership of the item.
        plist_dict_set_item(node.get(), it.key().toUtf8().constData(), item.release());
    }
    return node;
}

PlistNode arrayNode(const QVariantList &array) {
    PlistNode node(plist_new_array());
    for (const QVariant &value : array) {
        PlistNode item = nodeOfValue(value);
        if (!item)
            return nullptr;
        plist_array_append_item(node.get(), item.release());
    }
    return node;
}

PlistNode dateNode(const QDateTime &date) {
    if (!date.isValid())
        return nullptr;
    // XML keeps whole seconds. The fraction is dropped here, rounding down:
    // libplist itself would round dates before 2001 up.
    const qint64 msecs = date.toMSecsSinceEpoch() - kMacEpochMSecs;
    const qint64 seconds = msecs / 1000 - (msecs % 1000 < 0 ? 1 : 0);
    const qint64 held = std::clamp<qint64>(seconds, std::numeric_limits<int32_t>::min(),
                                           std::numeric_limits<int32_t>::max());
    return PlistNode(plist_new_date(int32_t(held), 0));
}

PlistNode nodeOfValue(const QVariant &value) {
    if (isSignedInteger(value))
        return PlistNode(plist_new_uint(uint64_t(value.toLongLong())));
    if (isUnsignedInteger(value))
        return PlistNode(plist_new_uint(value.toULongLong()));
    switch (value.typeId()) {
    case QMetaType::Bool:
        return PlistNode(plist_new_bool(value.toBool()));
    case QMetaType::Float:
    case QMetaType::Double:
        return PlistNode(plist_new_real(value.toDouble()));
    case QMetaType::QString:
        return PlistNode(plist_new_string(value.toString().toUtf8().constData()));
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return PlistNode(plist_new_data(bytes.constData(), uint64_t(bytes.size())));
    }
    case QMetaType::QDateTime:
        return dateNode(value.toDateTime());
    case QMetaType::QVariantMap:
        return dictionaryNode(value.toMap());
    case QMetaType::QVariantList:
    case QMetaType::QStringList:
        return arrayNode(value.toList());
    default:
        return nullptr;
    }
}

} // namespace

Status propertyListFromData(const QByteArray &data, QVariant *value) {
    if (data.isEmpty())
        return Status::corrupt(QStringLiteral("the text is empty"));
    if (quint64(data.size()) > std::numeric_limits<uint32_t>::max())
        return Status::notSupported(QStringLiteral("larger than 4 GiB"));
    if (plist_is_binary(data.constData(), uint32_t(data.size())))
        return Status::notSupported(
            QStringLiteral("a binary property list, which Flowtally does not read"));
    if (data.contains('\0'))
        return Status::corrupt(QStringLiteral("the text holds a NUL byte"));
    if (nestsDeeperThan(std::string_view(data.constData(), size_t(data.size())),
                        kPropertyListDepthLimit))
        return Status::refused(
            QStringLiteral("nested deeper than %1 levels").arg(kPropertyListDepthLimit));
    plist_t raw = nullptr;
    plist_from_xml(data.constData(), uint32_t(data.size()), &raw);
    PlistNode root(raw);
    if (!root)
        return Status::corrupt(QStringLiteral("not an XML property list"));
    std::optional<QVariant> converted = valueOfNode(root.get());
    if (!converted)
        return Status::notSupported(QStringLiteral("a value of a kind Flowtally does not keep"));
    *value = std::move(*converted);
    return Status::success();
}

Status dictionaryFromData(const QByteArray &data, QVariantMap *dictionary) {
    QVariant root;
    const Status read = propertyListFromData(data, &root);
    if (!read.ok())
        return read;
    if (root.typeId() != QMetaType::QVariantMap)
        return Status::corrupt(QStringLiteral("the root is not a dictionary"));
    *dictionary = root.toMap();
    return Status::success();
}

std::optional<QVariantMap> dictionaryWithContentsOfFile(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QVariantMap dictionary;
    if (!dictionaryFromData(file.readAll(), &dictionary).ok())
        return std::nullopt;
    return dictionary;
}

bool hasPropertyListForm(const QVariant &value) {
    return nodeOfValue(value) != nullptr;
}

QByteArray xmlData(const QVariantMap &dictionary) {
    PlistNode root = dictionaryNode(dictionary);
    if (!root)
        return {};
    char *raw = nullptr;
    uint32_t length = 0;
    plist_to_xml(root.get(), &raw, &length);
    QByteArray xml(raw, qsizetype(length));
    plist_to_xml_free(raw);
    return xml;
}

} // namespace flowtally
