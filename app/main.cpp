#include "app/AppDelegate.h"

#include "platform/system/Autostart.h"
#include "app/CommandLine.h"
#include "platform/system/QuitSignals.h"
#include "platform/system/SingleInstance.h"
#include "net/SnmpCommunityFile.h"
#include "net/SnmpEnvironment.h"
#include "platform/system/SystemLog.h"
#include "platform/system/UserDefaults.h"

#include <QApplication>
#include <QWidget>

#include <cstdio>

using namespace flowtally;

namespace {

// Writes the answer and gives its exit status; help that could not be
// written is a failure.
int give(const CommandLineAnswer &answer) {
    std::fwrite(answer.output.constData(), 1, size_t(answer.output.size()), stdout);
    std::fwrite(answer.error.constData(), 1, size_t(answer.error.size()), stderr);
    return std::fflush(stdout) == 0 ? answer.exitStatus : 1;
}

} // namespace

int main(int argc, char **argv) {
    // Help and the version are answered before anything starts, display
    // or not.
    QStringList given;
    for (int i = 1; i < argc; ++i)
        given.append(QString::fromLocal8Bit(argv[i]));
    if (const std::optional<CommandLineAnswer> asked = answerAskingArguments(given))
        return give(*asked);
    QApplication application(argc, argv);
    if (const std::optional<CommandLineAnswer> wrong =
            answerLeftArguments(QApplication::arguments().mid(1)))
        return give(*wrong);
    // A second start only brings the first to the front, before it reads or
    // writes anything.
    SingleInstance instance;
    if (!instance.isFirst()) {
        instance.askFirstToComeForward();
        return 0;
    }
    // The SNMP tools' modules are settled meanwhile; the first tool run waits.
    beginSnmpEnvironment(bundledMibFolder());
    QApplication::setApplicationName(QStringLiteral("Flowtally"));
    QApplication::setDesktopFileName(QStringLiteral("flowtally"));
    // Quitting goes through the controller, which closes every window and
    // stops the work cycle first (AppDelegate::terminate).
    QApplication::setQuitOnLastWindowClosed(false);

    AppDelegate controller;
    QObject::connect(&instance, &SingleInstance::comeForwardRequested, &controller,
                     &AppDelegate::comeForward);
    QuitSignals quitSignals;
    QObject::connect(&quitSignals, &QuitSignals::quitRequested, &controller, &AppDelegate::quit);
    QObject::connect(&application, &QGuiApplication::applicationStateChanged, &controller,
                     [&controller](Qt::ApplicationState state) {
                         if (state == Qt::ApplicationActive)
                             controller.applicationDidBecomeActive();
                     });

    // Started with the session: in the background, the badge showing.
    if (startedAtLogin())
        controller.mainWindowWidget()->showMinimized();
    else
        controller.mainWindowWidget()->show();
    controller.applicationDidFinishLaunching();
    const int status = QApplication::exec();
    // A failed write has been logged by the store; at quit nothing more can
    // be done about it.
    UserDefaults::standardUserDefaults().synchronize().ignore();
    awaitSnmpEnvironment();
    // The community stays in the settings only; the next start writes the
    // tools' file again.
    if (const Status removed = removeSnmpCommunityFile(); !removed.ok())
        systemLog(removed.message());
    return status;
}
