// The local source against netstat output of many shapes.
#include "ControllerFixture.h"

#include "LogCapture.h"
#include "ScriptFolder.h"
#include "StatusTexts.h"
#include "ToolPaths.h"

namespace {

const QString kHeader =
    QStringLiteral("Name  Mtu   Network       Address            Ipkts Ierrs     Ibytes    Opkts "
                   "Oerrs     Obytes  Coll");

class LocalSource : public ControllerFixture {
  protected:
    void TearDown() override {
        setToolPath(kNetstatTool, {});
        ControllerFixture::TearDown();
    }

    // Points the tool table at a netstat that prints exactly `output` and
    // remembers its arguments.
    void netstatPrints(const QByteArray &output) {
        QFile saved(scripts.filePath(QStringLiteral("output")));
        ASSERT_TRUE(saved.open(QIODevice::WriteOnly));
        saved.write(output);
        saved.close();
        setToolPath(kNetstatTool,
                    scripts.write(QStringLiteral("netstat"),
                                  QStringLiteral("echo \"$@\" > '%1'\ncat '%2'\n")
                                      .arg(scripts.filePath(QStringLiteral("arguments")),
                                           scripts.filePath(QStringLiteral("output")))));
    }

    QString argumentsSeen() {
        QFile file(scripts.filePath(QStringLiteral("arguments")));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed()
                                              : QString();
    }

    ScriptFolder scripts;
};

TEST_F(LocalSource, ReadsTheLineAfterTheHeader) {
    StatusTexts status;
    netstatPrints((kHeader + QStringLiteral("\neth0\t1500  <Link#2>   02:42:ac:11:00:02   1234 0  "
                                            "5000000000 4321 0 6000000000 0\n"))
                      .toUtf8());
    const std::optional<TrafficSample> sample =
        AppDelegate::localStatsForPrimaryInterface(QStringLiteral("enp3s0"));
    ASSERT_TRUE(sample);
    EXPECT_EQ(argumentsSeen(), QStringLiteral("-f inet -bI enp3s0"));
    EXPECT_EQ(sample->value(SampleKey::PrimaryInterface), QStringLiteral("enp3s0"))
        << "the name asked for, whatever the tool prints";
    EXPECT_EQ(sample->value(SampleKey::MAC), QStringLiteral("02:42:ac:11:00:02"));
    EXPECT_EQ(sample->value(SampleKey::InTraffic).toULongLong(), 5'000'000'000ull);
    EXPECT_EQ(sample->value(SampleKey::OutTraffic).toULongLong(), 6'000'000'000ull);
    EXPECT_EQ(sample->value(SampleKey::PrimaryService), kService);
    EXPECT_TRUE(sample->value(SampleKey::FireDate).toDateTime().isValid());
    EXPECT_FALSE(sample->value(SampleKey::Router).toString().isEmpty());
    EXPECT_EQ(status.shown(), QStringList{QStringLiteral("No Error")});
}

TEST_F(LocalSource, CounterColumnsReadAsSigned64BitNumbers) {
    struct Case {
        const char *in;
        const char *out;
        quint64 expectedIn;
        quint64 expectedOut;
    };
    const Case cases[] = {
        {"123abc", "x9", 123, 0},
        {"-1", "+42", 0xFFFF'FFFF'FFFF'FFFFull, 42},
        {"99999999999999999999", "4294967296", 0x7FFF'FFFF'FFFF'FFFFull, 4294967296ull},
    };
    for (const Case &c : cases) {
        netstatPrints(QStringLiteral("%1\neth0 1500 <Link#2> aa 1 0 %2 1 0 %3\n")
                          .arg(kHeader, QLatin1String(c.in), QLatin1String(c.out))
                          .toUtf8());
        const std::optional<TrafficSample> sample =
            AppDelegate::localStatsForPrimaryInterface(QStringLiteral("eth0"));
        ASSERT_TRUE(sample) << "exactly ten fields are enough";
        EXPECT_EQ(sample->value(SampleKey::InTraffic).toULongLong(), c.expectedIn) << c.in;
        EXPECT_EQ(sample->value(SampleKey::OutTraffic).toULongLong(), c.expectedOut) << c.out;
    }
}

TEST_F(LocalSource, LeadingWhiteSpaceShiftsTheFields) {
    netstatPrints(
        (kHeader + QStringLiteral("\n  eth0 1500 net addr 1 5 777 2 6 888 0\n")).toUtf8());
    const std::optional<TrafficSample> sample =
        AppDelegate::localStatsForPrimaryInterface(QStringLiteral("eth0"));
    ASSERT_TRUE(sample);
    EXPECT_EQ(sample->value(SampleKey::MAC), QStringLiteral("net"));
    EXPECT_EQ(sample->value(SampleKey::InTraffic).toULongLong(), 5u);
    EXPECT_EQ(sample->value(SampleKey::OutTraffic).toULongLong(), 6u);
}

TEST_F(LocalSource, UnreadableOutputGivesNoSampleAndSaysWhy) {
    struct Case {
        QByteArray output;
        QString logLine;
    };
    const QString header = kHeader;
    const Case cases[] = {
        {header.toUtf8(),
         QStringLiteral("Short line-count in localStatsForPrimaryInterface:: \"%1\"").arg(header)},
        {QByteArray(), QStringLiteral("Short line-count in localStatsForPrimaryInterface:: \"\"")},
        {QByteArray("\xff\xfe\n\xff\n"),
         QStringLiteral("Short line-count in localStatsForPrimaryInterface:: \"\"")},
        {(header + QLatin1Char('\n')).toUtf8(),
         QStringLiteral("Result Format Error in localStatsForPrimaryInterface:: \"\"")},
        {(header + QStringLiteral("\nfoo:  no   such   interface\n")).toUtf8(),
         QStringLiteral(
             "Result Format Error in localStatsForPrimaryInterface:: \"foo: no such interface\"")},
    };
    for (const Case &c : cases) {
        StatusTexts status;
        LogCapture log;
        netstatPrints(c.output);
        EXPECT_FALSE(AppDelegate::localStatsForPrimaryInterface(QStringLiteral("eth0")));
        EXPECT_EQ(log.lines(), QStringList{c.logLine});
        EXPECT_EQ(status.shown(), QStringList{QStringLiteral("Netstat Error: see Console Log.")});
    }
}

TEST_F(LocalSource, MissingToolIsAShortLineCount) {
    LogCapture log;
    setToolPath(kNetstatTool, scripts.filePath(QStringLiteral("no-such-tool")));
    EXPECT_FALSE(AppDelegate::localStatsForPrimaryInterface(QStringLiteral("eth0")));
    EXPECT_EQ(log.linesContaining(QStringLiteral("Short line-count")).size(), 1);
}

} // namespace
