// What the figures and the badge show: units, fraction digits, and the
// figures that are not finite (a limit of 0, no time since the reset).
#include "WindowsFixture.h"

#include "AppIcon.h"
#include "Badge.h"
#include "FigureFormatter.h"
#include "LevelIndicator.h"
#include "NumberFormatter.h"
#include "WBBKMGTFormatter.h"

#include <QWidget>

#include <cmath>
#include <limits>

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr quint64 kGiB = quint64(1) << 30;

TEST(FigureFormatter, FiniteValuesThroughTheNumbersFormatterWithTheUnit) {
    auto numbers = std::make_unique<NumberFormatter>();
    numbers->setMaximumFractionDigits(1);
    const FigureFormatter rate(std::move(numbers), QStringLiteral(" K/s"));
    EXPECT_EQ(rate.stringForObjectValue(1.953125), QStringLiteral("2 K/s"));
    EXPECT_EQ(rate.stringForObjectValue(1630.94), QStringLiteral("1630.9 K/s"));
    EXPECT_EQ(rate.stringForObjectValue(QVariant()), std::nullopt) << "no value, no text";

    auto bytes = std::make_unique<WBBKMGTFormatter>();
    bytes->setMaximumFractionDigits(2);
    const FigureFormatter total(std::move(bytes));
    EXPECT_EQ(total.stringForObjectValue(1610612736.0), QStringLiteral("1.50G"));
    QVariant read;
    EXPECT_TRUE(total.getObjectValue(&read, QStringLiteral("1.5G"), nullptr));
    EXPECT_EQ(read.toDouble(), 1610612736.0) << "reading is the wrapped formatter's";
}

TEST(FigureFormatter, ValuesThatAreNotFiniteShowAsInfinityOrADash) {
    const FigureFormatter total(std::make_unique<WBBKMGTFormatter>());
    const FigureFormatter rate(std::make_unique<NumberFormatter>(), QStringLiteral(" K/s"));
    for (const Formatter *formatter :
         {static_cast<const Formatter *>(&total), static_cast<const Formatter *>(&rate)}) {
        EXPECT_EQ(formatter->stringForObjectValue(kInfinity), QStringLiteral("\u221E"));
        EXPECT_EQ(formatter->stringForObjectValue(-kInfinity), QStringLiteral("\u2212\u221E"));
        EXPECT_EQ(formatter->stringForObjectValue(kNaN), QStringLiteral("\u2014"));
    }
    EXPECT_EQ(nonFiniteFigureText(0.0), std::nullopt);
    EXPECT_EQ(nonFiniteFigureText(-1e300), std::nullopt);
}

class Figures : public WindowsFixture {
  protected:
    // Ten days into the period with 10.8G counted, then a sample 2 s after
    // the last one that moved 4000 bytes in and 100 out.
    void processKnownSample() {
        controller->loadPersistentValuesFromDict(
            {{QStringLiteral("resetDate"), QDateTime::currentDateTimeUtc().addDays(-10)},
             {QStringLiteral("totalInBytes"), quint64(9.6 * kGiB)},
             {QStringLiteral("totalOutBytes"), quint64(1.2 * kGiB)},
             {QStringLiteral("prevInVal"), quint64(1000)},
             {QStringLiteral("prevOutVal"), quint64(1000)}});
        controller->processStatsDict(localSample(1000, 1000, 0));
        controller->processStatsDict(localSample(5000, 1100, 2));
    }
    QString shown(const char *field) { return outlet<FormattedField>(field)->text(); }
};

TEST_F(Figures, FieldsShowUnitsAPersonCanReadAtAGlance) {
    setLimit(250, kGiB);
    processKnownSample();
    EXPECT_EQ(shown("inRate"), QStringLiteral("2 K/s"));
    EXPECT_EQ(shown("outRate"), QStringLiteral("0 K/s"));
    EXPECT_EQ(shown("totalGigs"), QStringLiteral("10.80G"));
    EXPECT_EQ(shown("gbpmText"), QStringLiteral("32.40G"));
    EXPECT_EQ(shown("limitText1"), QStringLiteral("250.00G"));
    EXPECT_EQ(shown("limitText2"), QStringLiteral("250.00G"));
    EXPECT_EQ(controller->mainWindowWidget()->windowTitle(), QStringLiteral("Flowtally \u2014 32G"))
        << "no tray here: the title carries the badge";
}

TEST_F(Figures, LimitOfZeroFailsNothingAndShowsNoCLibraryText) {
    setLimit(0, kGiB);
    processKnownSample();
    EXPECT_EQ(shown("limitText1"), QStringLiteral("0.00B"));
    auto *level = outlet<LevelIndicator>("levelIndicator");
    EXPECT_TRUE(std::isinf(level->doubleValue()));
    EXPECT_EQ(level->zone(), LevelIndicator::Zone::Critical) << "over any limit";
    EXPECT_TRUE(std::isinf(outlet<LevelIndicator>("rateIndicator")->doubleValue()));

    // Nothing counted against a limit of 0 is not a number.
    controller->loadPersistentValuesFromDict({{QStringLiteral("totalInBytes"), quint64(0)},
                                              {QStringLiteral("totalOutBytes"), quint64(0)}});
    controller->processStatsDict(localSample(5000, 1100, 4));
    EXPECT_TRUE(std::isnan(level->doubleValue()));
    EXPECT_EQ(level->zone(), LevelIndicator::Zone::Normal);
}

TEST_F(Figures, EveryFigureFieldShowsInfinityOrADashForValuesThatAreNotFinite) {
    // As the controller's show code fills them when there was no time since
    // the reset (a projection of total / 0).
    for (const char *field :
         {"gbpmText", "totalGigs", "limitText1", "limitText2", "inRate", "outRate"}) {
        outlet<FormattedField>(field)->setDoubleValue(kInfinity);
        EXPECT_EQ(shown(field), QStringLiteral("\u221E")) << field;
        outlet<FormattedField>(field)->setDoubleValue(kNaN);
        EXPECT_EQ(shown(field), QStringLiteral("\u2014")) << field;
    }
}

TEST(Badge, TitleCarriesTheLabelWhereThereIsNoTray) {
    QWidget window;
    window.setWindowTitle(QStringLiteral("Flowtally"));
    Badge badge(&window);
    ASSERT_FALSE(badge.inTray());
    badge.setLabel(QStringLiteral("32G"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Flowtally \u2014 32G"));
    badge.setLabel(QStringLiteral("\u221E"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Flowtally \u2014 \u221E"));
    badge.setLabel(QString());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Flowtally"));
}

// The share of the picture's pixels, inside the given columns, that are
// white text; and whether any text lies outside them.
struct TextPixels {
    int inside = 0;
    int outside = 0;
};

TextPixels whitePixels(const QImage &image, int left, int right) {
    TextPixels counted;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor colour = image.pixelColor(x, y);
            if (colour.red() > 200 && colour.green() > 200 && colour.blue() > 200)
                ++(x >= left && x < right ? counted.inside : counted.outside);
        }
    }
    return counted;
}

TEST(Badge, TrayPictureHoldsTheWholeLabel) {
    for (const QString &label : {QStringLiteral("8G"), QStringLiteral("1023M"),
                                 QStringLiteral("\u2014"), QStringLiteral("\u221E")}) {
        const QImage picture = Badge::iconWithLabel(label).pixmap(64).toImage();
        ASSERT_EQ(picture.width(), 64);
        const TextPixels text = whitePixels(picture, 4, 60);
        EXPECT_GT(text.inside, 20) << label.toStdString() << ": the label is drawn";
        EXPECT_EQ(text.outside, 0) << label.toStdString() << ": and stays on the tile";
    }
    EXPECT_FALSE(Badge::iconWithLabel(QString()).isNull()) << "Flowtally's own icon";
}

TEST(AppIcon, DrawnAtEverySizeAsked) {
    const QIcon icon = appIcon();
    for (int size : {16, 32, 48, 256}) {
        const QImage picture = icon.pixmap(size).toImage();
        EXPECT_EQ(picture.size(), QSize(size, size));
        EXPECT_EQ(picture.pixelColor(size / 2, size / 8), QColor(0x2a, 0x6f, 0xdb))
            << "the blue tile at " << size;
        EXPECT_EQ(picture.pixelColor(0, 0).alpha(), 0) << "round corners at " << size;
    }
}

} // namespace
