#include "PropertyList.h"

#include <QDateTime>
#include <QSize>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <limits>

namespace {

QVariantMap roundTrip(const QVariantMap &dictionary) {
    const QByteArray xml = xmlData(dictionary);
    EXPECT_FALSE(xml.isEmpty());
    std::optional<QVariantMap> read = dictionaryFromData(xml);
    EXPECT_TRUE(read.has_value());
    return read.value_or(QVariantMap());
}

} // namespace

TEST(PropertyList, ScalarsRoundTripWithTheirTypes) {
    const quint64 max = std::numeric_limits<quint64>::max();
    const QVariantMap read = roundTrip({
        {"text", QStringLiteral("caf\u00e9 <&> \"x\"")},
        {"max", QVariant::fromValue(max)},
        {"big", QVariant::fromValue(quint64(1) << 63)},
        {"int", 42},
        {"real", 1.25},
        {"yes", true},
        {"no", false},
        {"data", QByteArray("\x00\x01\xff", 3)},
    });
    EXPECT_EQ(read.value("text").toString(), QStringLiteral("caf\u00e9 <&> \"x\""));
    EXPECT_EQ(read.value("max").typeId(), QMetaType::ULongLong);
    EXPECT_EQ(read.value("max").toULongLong(), max);
    EXPECT_EQ(read.value("big").toULongLong(), quint64(1) << 63);
    EXPECT_EQ(read.value("int").toULongLong(), 42u);
    EXPECT_EQ(read.value("real").typeId(), QMetaType::Double);
    EXPECT_DOUBLE_EQ(read.value("real").toDouble(), 1.25);
    EXPECT_EQ(read.value("yes").typeId(), QMetaType::Bool);
    EXPECT_TRUE(read.value("yes").toBool());
    EXPECT_FALSE(read.value("no").toBool());
    EXPECT_EQ(read.value("data").toByteArray(), QByteArray("\x00\x01\xff", 3));
}

TEST(PropertyList, NegativeIntegersReadAsTheirTwosComplement) {
    const QVariantMap read = roundTrip({{"minusOne", QVariant::fromValue(qint64(-1))}});
    EXPECT_EQ(read.value("minusOne").toULongLong(), std::numeric_limits<quint64>::max());
    EXPECT_EQ(qint64(read.value("minusOne").toULongLong()), -1);
}

TEST(PropertyList, NestedDictionariesAndArrays) {
    const QVariantMap inner{{"totalInBytes", QVariant::fromValue(quint64(123456789012345))},
                            {"list", QVariantList{1, QStringLiteral("two"), QVariantMap()}}};
    const QVariantMap read = roundTrip({{"service", inner}, {"empty", QVariantMap()}});
    const QVariantMap service = read.value("service").toMap();
    EXPECT_EQ(service.value("totalInBytes").toULongLong(), 123456789012345u);
    const QVariantList list = service.value("list").toList();
    ASSERT_EQ(list.size(), 3);
    EXPECT_EQ(list[1].toString(), "two");
    EXPECT_EQ(list[2].typeId(), QMetaType::QVariantMap);
    EXPECT_EQ(read.value("empty").typeId(), QMetaType::QVariantMap);
}

TEST(PropertyList, DatesKeepWholeSecondsInUtc) {
    struct Case {
        QDateTime written;
        QDateTime expected;
    };
    const QDateTime base(QDate(2023, 5, 17), QTime(8, 30, 15), Qt::UTC);
    const QDateTime early(QDate(1990, 1, 2), QTime(3, 4, 5), Qt::UTC);
    const Case cases[] = {
        {base.addMSecs(750), base},
        {early.addMSecs(250), early},
        // Outside what libplist holds: clamped to its range.
        {QDateTime(QDate(1, 1, 1), QTime(0, 0), Qt::UTC),
         QDateTime::fromSecsSinceEpoch(978307200LL - 2147483648LL, Qt::UTC)},
        {QDateTime(QDate(4000, 1, 1), QTime(0, 0), Qt::UTC),
         QDateTime::fromSecsSinceEpoch(978307200LL + 2147483647LL, Qt::UTC)},
    };
    for (const Case &c : cases) {
        const QVariant read = roundTrip({{"date", c.written}}).value("date");
        EXPECT_EQ(read.typeId(), QMetaType::QDateTime);
        EXPECT_EQ(read.toDateTime(), c.expected) << c.written.toString(Qt::ISODate).toStdString();
        EXPECT_EQ(read.toDateTime().timeSpec(), Qt::UTC);
    }
}

TEST(PropertyList, ValuesWithoutAPropertyListFormWriteNothing) {
    EXPECT_TRUE(xmlData({{"bad", QVariant()}}).isEmpty());
    EXPECT_TRUE(
        xmlData({{"nested", QVariantMap{{"bad", QVariant::fromValue(QSize(1, 2))}}}}).isEmpty());
    EXPECT_TRUE(xmlData({{"date", QDateTime()}}).isEmpty());
}

TEST(PropertyList, ReadsBinaryInputWithMicroseconds) {
    plist_t root = plist_new_dict();
    plist_dict_set_item(root, "n", plist_new_uint(std::numeric_limits<uint64_t>::max()));
    plist_dict_set_item(root, "d", plist_new_date(10, 500000));
    char *bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bytes, &length);
    const QByteArray binary(bytes, qsizetype(length));
    plist_to_bin_free(bytes);
    plist_free(root);

    const std::optional<QVariantMap> read = dictionaryFromData(binary);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->value("n").toULongLong(), std::numeric_limits<quint64>::max());
    EXPECT_EQ(read->value("d").toDateTime().toMSecsSinceEpoch(), 978307210500LL);
}

TEST(PropertyList, UnreadableInputOrWrongRootGivesNothing) {
    const QByteArray arrayRoot = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<plist version=\"1.0\"><array><string>a</string></array></plist>";
    const QByteArray inputs[] = {QByteArray(), "not a property list", "bplist00\x01\x02",
                                 arrayRoot};
    for (const QByteArray &input : inputs)
        EXPECT_FALSE(dictionaryFromData(input).has_value()) << input.toStdString();
    ASSERT_TRUE(propertyListFromData(arrayRoot).has_value());
    EXPECT_EQ(propertyListFromData(arrayRoot)->toList().value(0).toString(), "a");
}

TEST(PropertyList, ReadsFiles) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("defaults.plist");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(xmlData({{"HideHelp", true}}));
    file.close();

    const std::optional<QVariantMap> read = dictionaryWithContentsOfFile(path);
    ASSERT_TRUE(read.has_value());
    EXPECT_TRUE(read->value("HideHelp").toBool());
    EXPECT_FALSE(dictionaryWithContentsOfFile(dir.filePath("missing.plist")).has_value());
    EXPECT_FALSE(dictionaryWithContentsOfFile(dir.path()).has_value());
}
