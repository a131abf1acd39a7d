// Pictures of the three windows with the figures of a known sample, written
// under the build folder (screenshots/NAME.png and NAME@2x.png) for people
// to look at, and a check that no text in them is cut off.
#include "ControllerFixture.h"

#include "BusyIndicator.h"
#include "MainLoop.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QStyle>
#include <QStyleOptionFrame>

namespace {

constexpr quint64 kGiB = quint64(1) << 30;

class WindowsScreenshot : public ControllerFixture {
  protected:
    void SetUp() override {
        ControllerFixture::SetUp();
        // Ten days into the period with 10.8G counted, then two samples
        // 2 s apart: 1.59M/s in, 82K/s out.
        setLimit(250, kGiB);
        controller->loadPersistentValuesFromDict(
            {{QStringLiteral("resetDate"), QDateTime::currentDateTimeUtc().addDays(-10)},
             {QStringLiteral("totalInBytes"), quint64(9.6 * kGiB)},
             {QStringLiteral("totalOutBytes"), quint64(1.2 * kGiB)},
             {QStringLiteral("prevInVal"), quint64(5'000'000)},
             {QStringLiteral("prevOutVal"), quint64(700'000)}});
        controller->processStatsDict(routerSample(5'000'000, 700'000, 0, 100));
        controller->processStatsDict(routerSample(8'340'000, 868'000, 2, 102));
        controller->setIPField(QStringLiteral("192.168.1.1"));
        AppDelegate::doSetInfoText(QStringLiteral("No Error"));
        for (QWidget *window : windows())
            window->show();
        runMainLoopFor(0.2);
    }

    QList<QWidget *> windows() const {
        return {controller->mainWindowWidget(), controller->prefsWindowWidget(),
                controller->helpWindowWidget()};
    }

    static QString screenshotFolder() {
        const QString path =
            QCoreApplication::applicationDirPath() + QStringLiteral("/../screenshots");
        QDir().mkpath(path);
        return QDir(path).absolutePath();
    }

    static void writePicture(QWidget *window, const QString &name, qreal scale) {
        QPixmap picture(window->size() * scale);
        picture.setDevicePixelRatio(scale);
        picture.fill(Qt::transparent);
        window->render(&picture);
        const QString suffix = scale == 1 ? QString() : QStringLiteral("@%1x").arg(scale);
        const QString path = screenshotFolder() + QLatin1Char('/') + name + suffix + ".png";
        EXPECT_TRUE(picture.save(path)) << path.toStdString();
    }
};

TEST_F(WindowsScreenshot, EachWindowAtOneAndTwoTimesScale) {
    // The main window in the middle of a reading, its busy indicator moving.
    outlet<BusyIndicator>("workProgress")->startAnimation();
    const QList<QPair<QWidget *, QString>> named{
        {controller->mainWindowWidget(), QStringLiteral("main")},
        {controller->prefsWindowWidget(), QStringLiteral("preferences")},
        {controller->helpWindowWidget(), QStringLiteral("help")}};
    for (const auto &[window, name] : named) {
        writePicture(window, name, 1);
        writePicture(window, name, 2);
    }
}

// The names of the window's controls whose text does not fit in them.
QStringList cutOffTexts(QWidget *window) {
    QStringList names;
    for (const QLabel *label : window->findChildren<QLabel *>()) {
        // A label of a field shows its shortcut letter underlined, not the "&".
        const QString text =
            label->buddy() ? QString(label->text()).remove(QLatin1Char('&')) : label->text();
        if (label->isVisible() && !label->wordWrap() &&
            label->width() < label->fontMetrics().boundingRect(QRect(), 0, text).width())
            names << label->objectName();
    }
    for (const QAbstractButton *button : window->findChildren<QAbstractButton *>()) {
        if (button->isVisible() && button->width() < button->minimumSizeHint().width())
            names << button->objectName();
    }
    for (const QComboBox *popUp : window->findChildren<QComboBox *>()) {
        if (popUp->isVisible() && popUp->width() < popUp->minimumSizeHint().width())
            names << popUp->objectName();
    }
    for (const QLineEdit *field : window->findChildren<QLineEdit *>()) {
        // The line edit's own margin is 2 pixels a side, inside the frame.
        const int frame =
            field->hasFrame() ? field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) : 0;
        const int room = field->width() - 2 * frame - 4;
        const QString shown =
            field->echoMode() == QLineEdit::Normal ? field->text() : field->displayText();
        if (field->isVisible() && field->fontMetrics().horizontalAdvance(shown) > room)
            names << field->objectName();
    }
    return names;
}

TEST_F(WindowsScreenshot, NoTextIsCutOffEvenWithTheWidestFigures) {
    for (QWidget *window : windows())
        EXPECT_EQ(cutOffTexts(window).join(QStringLiteral(", ")).toStdString(), "")
            << window->objectName().toStdString();

    // Rates of a gigabit line, totals in the thousands of T, a long address
    // and the longest status text.
    for (const char *field : {"inRate", "outRate"})
        outlet<FormattedField>(field)->setDoubleValue(99999.9);
    for (const char *field : {"totalGigs", "gbpmText", "limitText1", "limitText2"})
        outlet<FormattedField>(field)->setDoubleValue(9999.99 * double(quint64(1) << 40));
    outlet<FormattedField>("displayLimitGB")->setDoubleValue(99999.99);
    controller->setIPField(QStringLiteral("192.168.100.200"));
    controller->handleSetInfoText(QStringLiteral("Netstat Error: see Console Log."));
    for (QWidget *window : windows())
        EXPECT_EQ(cutOffTexts(window).join(QStringLiteral(", ")).toStdString(), "")
            << window->objectName().toStdString();
}

} // namespace
