#include "platform/text/PercentText.h"

#include <gtest/gtest.h>

#include <QLocale>

namespace flowtally {

namespace {

// A percentage follows the default locale's decimal point and percent sign,
// and keeps out its group separators, as the byte amounts beside it do.
TEST(PercentText, TheLocalesForm) {
    const struct {
        const char *locale;
        double share;
        int fractionDigits;
        const char16_t *text;
    } cases[] = {
        {"C", 0.8, 0, u"80%"},
        {"C", 0.2994, 1, u"29.9%"},
        {"en_US", 81.93, 0, u"8193%"},
        {"de_DE", 0.2994, 1, u"29,9%"},
        {"ar_EG", 0.5, 0, u"\u0665\u0660\u066a\u061c"},
    };
    const QLocale before;
    for (const auto &c : cases) {
        QLocale::setDefault(QLocale(QString::fromLatin1(c.locale)));
        EXPECT_EQ(percentText(c.share, c.fractionDigits), QString::fromUtf16(c.text)) << c.locale;
    }
    QLocale::setDefault(before);
}

} // namespace

} // namespace flowtally
