#include "AppDelegate.h"

#include "Autostart.h"
#include "QuitSignals.h"
#include "SingleInstance.h"
#include "SnmpCommunityFile.h"
#include "SnmpEnvironment.h"
#include "SystemLog.h"
#include "UserDefaults.h"

#include <QApplication>
#include <QWidget>

using namespace flowtally;

int main(int argc, char **argv) {
    QApplication application(argc, argv);
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
    // Quitting goes through the controller, which stops the work cycle first.
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
    QObject::connect(&application, &QGuiApplication::lastWindowClosed, &controller, [&controller] {
        if (controller.applicationShouldTerminateAfterLastWindowClosed() &&
            controller.applicationShouldTerminate())
            QApplication::quit();
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
