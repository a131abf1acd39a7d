#include "tests/support/controller/ControllerFixture.h"

#include "platform/loop/MainLoop.h"
#include "platform/loop/NotificationCenter.h"
#include "platform/system/ToolPaths.h"
#include "tests/support/LoopWaits.h"
#include "tests/support/PlantedFiles.h"

namespace flowtally {

void ControllerFixture::SetUp() {
    useNetwork(kHome);
    for (const QString &tool : {kNetstatTool, kArpTool, kSnmpGetTool, kSnmpWalkTool}) {
        const QString name = tool.section('/', -1);
        environment.setToolPath(tool, tools.write(name + ".sh", QString(R"sh(cd '%1'
{ printf %s '%2'; printf '|%s' "$@"; echo; } >> runs
{ tr '\0' '|' < /proc/$$/cmdline; tr '\0' '|' < /proc/$$/environ; echo; } >> processes
[ -z "$SNMPCONFPATH" ] || cat "$SNMPCONFPATH/snmp.conf" >> configurations
replied=
for argument; do
  reply="./$(printf %s "$argument" | tr ':/' '__')"
  if [ -f "$reply" ]; then cat "$reply"; replied=1; fi
  if [ -f "$reply.err" ]; then cat "$reply.err" >&2; replied=1; fi
done
if [ -z "$replied" ]; then
  if [ -f './%2' ]; then cat './%2'; fi
  if [ -f './%2.err' ]; then cat './%2.err' >&2; fi
fi)sh")
                                                                    .arg(tools.path(), name)));
    }
    // Each test meters from its start: the sources are as at the start of
    // the process.
    AppDelegate::sources().reset();
    controller = std::make_unique<AppDelegate>();
    controller->setPrimaryService(kService);
    runMainLoopFor(0.05); // texts queued before the test began are not its own
    NotificationCenter::defaultCenter().addObserver(
        &observer, AppDelegate::kInfoTextNotificationName,
        [this](const QVariant &text) { shownTexts.append(text.toString()); });
}

void ControllerFixture::TearDown() {
    NotificationCenter::defaultCenter().removeObserver(&observer);
    if (controller && controller->isLogging())
        controller->applicationShouldTerminate();
    controller.reset();
}

void ControllerFixture::reply(const QString &key, const QByteArray &text) {
    ASSERT_TRUE(
        makeFile(tools.filePath(QString(key).replace(':', '_').replace('/', '_')), text, 0644));
}

void ControllerFixture::replyOnError(const QString &key, const QByteArray &text) {
    reply(key + ".err", text);
}

QByteArray ControllerFixture::takeFile(const QString &name) {
    QFile file(tools.filePath(name));
    const QByteArray text = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    file.remove();
    return text;
}

std::string ControllerFixture::runs() {
    return takeFile("runs").toStdString();
}

QStringList ControllerFixture::processes() {
    return QString::fromUtf8(takeFile("processes")).split('\n', Qt::SkipEmptyParts);
}

QString ControllerFixture::configurations() {
    return QString::fromUtf8(takeFile("configurations"));
}

QStringList ControllerFixture::newTexts() {
    runMainLoopFor(0.05); // texts travel through the main loop and show when it is idle
    const QStringList texts = shownTexts.mid(textsTaken);
    textsTaken = shownTexts.size();
    return texts;
}

TrafficSample ControllerFixture::sample(char source, quint64 in, quint64 out, double seconds,
                                        double uptime, const QString &service) const {
    TrafficSample sample{{SampleKey::InTraffic, in},
                         {SampleKey::OutTraffic, out},
                         {SampleKey::Uptime, uptime},
                         {SampleKey::FireDate, base.addMSecs(qint64(seconds * 1000))},
                         {SampleKey::PrimaryService, service},
                         {SampleKey::Router, source == 'R' ? "gateway\n" : "myhost"}};
    if (source == 'L') {
        sample.insert(SampleKey::PrimaryInterface, "eth0");
        sample.insert(SampleKey::MAC, "02:00:00:00:00:01");
    }
    return sample;
}

void ControllerFixture::setNetstatCounters(quint64 in, quint64 out) {
    reply("netstat", QString("Name Mtu Network Address Ipkts Ierrs Ibytes Opkts Oerrs Obytes Coll\n"
                             "eth0 1500 <Link#2> 02:00:00:00:00:01 10 0 %1 20 0 %2 0\n")
                         .arg(in)
                         .arg(out));
}

bool ControllerFixture::startMetering(quint64 in) {
    controller->startLogging();
    return runLoopUntil([&] { return controller->prevInVal() == in; });
}

void ControllerFixture::setLimit(double number, quint64 scale) {
    outlet("displayLimitGB")->setDoubleValue(number);
    controller->loadPersistentValuesFromDict({{"limitUnitsScale", scale}});
}

} // namespace flowtally
