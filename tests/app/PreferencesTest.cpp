// The preference controls as a person uses them: the router counters to
// read, and the held network's counted traffic and free hours, each kept
// where the meter and the sources read it.
#include "tests/support/controller/ControllerFixture.h"

#include "app/FreeWindowsText.h"
#include "net/Sources.h"
#include "platform/system/UserDefaults.h"
#include "record/SettingsKeys.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

namespace flowtally {

namespace {

using Counters = Sources::RouterCounters;

TEST(FreeWindowsText, ReadsTheWindowsOrSaysWhatIsWrong) {
    // clang-format off
    const struct { const char *text; FreeWindows windows; const char *problem; } rows[] = {
        {" ", {}, ""},
        {"02:00-08:00, 23:30 - 6:05,", {{120, 480}, {1410, 365}}, ""},
        {"00:00-23:59", {{0, 1439}}, ""},
        {"02:00", {}, "“02:00” is not a window: write it as 02:00-08:00."},
        {"02:00-08:00-09:00", {}, "“02:00-08:00-09:00” is not a window: write it as 02:00-08:00."},
        {"22:00-24:00", {}, "“24:00” is not a time of day (00:00 to 23:59)."},
        {"2:60-08:00", {}, "“2:60” is not a time of day (00:00 to 23:59)."},
        {"two-eight", {}, "“two” is not a time of day (00:00 to 23:59)."},
        {"08:00-08:00", {}, "“08:00-08:00” starts and ends at the same time: it holds nothing."},
        {"1:00-1:01,2:00-2:01,3:00-3:01,4:00-4:01,5:00-5:01,6:00-6:01,7:00-7:01,8:00-8:01,9:00-9:01", {}, "At most 8 windows."},
    };
    // clang-format on
    for (const auto &row : rows) {
        const std::variant<FreeWindows, QString> read = freeWindowsOfText(row.text);
        if (*row.problem)
            EXPECT_EQ(read, decltype(read)(QString::fromUtf8(row.problem))) << row.text;
        else
            EXPECT_EQ(read, decltype(read)(row.windows)) << row.text;
    }
    EXPECT_EQ(textOfFreeWindows({{120, 480}, {1410, 365}}), "02:00-08:00, 23:30-06:05");
}

class Preferences : public ControllerFixture {
  protected:
    void SetUp() override {
        ControllerFixture::SetUp();
        controller->readDatFile();
        windows().showPreferences();
    }
    // The held network's record as the settings keep it.
    static QVariantMap stored() {
        return UserDefaults::standardUserDefaults().objectForKey(kService).toMap();
    }
    // Types a text over the free hours field and leaves it.
    void enterFreeHours(const QString &text) {
        auto *field = outlet<QLineEdit>("freeHoursField");
        field->setText(text);
        emit field->editingFinished();
    }
};

// The counted traffic and the free hours are the held network's own, kept
// in its record and removed when unchosen; without a network they are not
// for choosing. The router counters chosen are the ones the sources read,
// and show again at a new start.
TEST_F(Preferences, TrafficFreeHoursAndRouterCountersAreKeptWhereTheyAreRead) {
    auto *check = outlet<QCheckBox>("internetOnlyCheck");
    ASSERT_TRUE(check->isEnabled());
    check->click();
    EXPECT_EQ(stored().value(RecordKey::countedTraffic), "internet");
    check->click();
    EXPECT_FALSE(stored().contains(RecordKey::countedTraffic));

    auto *problem = outlet<QLabel>("freeHoursProblem");
    enterFreeHours("2:00-8:00,23:00-01:00");
    const QVariantList kept{QVariantMap{{"start", 120}, {"end", 480}},
                            QVariantMap{{"start", 1380}, {"end", 60}}};
    EXPECT_EQ(stored().value(RecordKey::freeHours), kept);
    EXPECT_EQ(outlet<QLineEdit>("freeHoursField")->text(), "02:00-08:00, 23:00-01:00");
    EXPECT_TRUE(problem->text().isEmpty());
    enterFreeHours("02:00-25:00");
    EXPECT_EQ(problem->text(), "“25:00” is not a time of day (00:00 to 23:59).");
    EXPECT_EQ(stored().value(RecordKey::freeHours), kept) << "nothing kept of a wrong text";
    enterFreeHours("");
    EXPECT_TRUE(problem->text().isEmpty());
    EXPECT_FALSE(stored().contains(RecordKey::freeHours));

    controller->setPrimaryService(std::nullopt);
    windows().showPreferences();
    EXPECT_FALSE(check->isEnabled());
    EXPECT_FALSE(outlet<QLineEdit>("freeHoursField")->isEnabled());

    auto *popUp = outlet<QComboBox>("routerCountersPopUp");
    EXPECT_EQ(Sources::routerCounters(), Counters::Automatic);
    const std::pair<const char *, Counters> rows[] = {
        {"This computer only", Counters::ThisComputer},
        {"UPnP only", Counters::Upnp},
        {"SNMP only", Counters::Snmp},
        {"Automatic (SNMP, then UPnP)", Counters::Automatic},
    };
    for (const auto &[title, counters] : rows) {
        const int item = popUp->findText(title);
        ASSERT_GE(item, 0) << title;
        popUp->setCurrentIndex(item);
        emit popUp->activated(item);
        EXPECT_EQ(Sources::routerCounters(), counters) << title;
        // A new start shows what was chosen.
        controller = std::make_unique<AppDelegate>();
        popUp = outlet<QComboBox>("routerCountersPopUp");
        EXPECT_EQ(popUp->currentText(), title);
    }
}

} // namespace

} // namespace flowtally
