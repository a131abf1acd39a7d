#include "WindowsFixture.h"

#include "MainLoop.h"
#include "PropertyList.h"
#include "ToolPaths.h"
#include "UserDefaults.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>

const QStringList WindowsFixture::kWindowKeys{
    QStringLiteral("AirportIP"),          QStringLiteral("HideHelp"),
    QStringLiteral("DisplayLimitGB"),     QStringLiteral("communityPassword"),
    QStringLiteral("MainWindowGeometry"), QStringLiteral("PreferencesWindowGeometry"),
    QStringLiteral("HelpWindowGeometry")};

void WindowsFixture::SetUp() {
    setToolPath(kNetstatTool, QStringLiteral("/bin/true"));
    setToolPath(kArpTool, QStringLiteral("/bin/true"));
    ControllerFixture::SetUp();
}

void WindowsFixture::TearDown() {
    if (controller && controller->isLogging())
        controller->applicationShouldTerminate();
    ControllerFixture::TearDown();
    setToolPath(kNetstatTool, {});
    setToolPath(kArpTool, {});
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    for (const QString &key : kWindowKeys)
        defaults.removeObject(key);
    defaults.synchronize();
}

void WindowsFixture::type(QWidget *field, const QString &text) {
    field->setFocus(Qt::MouseFocusReason);
    if (auto *line = qobject_cast<QLineEdit *>(field)) {
        line->selectAll();
        pressKey(line, Qt::Key_Backspace);
    }
    for (const QChar character : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(character));
        QApplication::sendEvent(field, &press);
    }
}

void WindowsFixture::pressKey(QWidget *widget, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
}

bool WindowsFixture::activate(QWidget *window) {
    // Asked again while waiting: a window that shows meanwhile (the help
    // window at start) takes the front from it.
    QElapsedTimer waited;
    waited.start();
    while (QApplication::activeWindow() != window && !waited.hasExpired(5000)) {
        window->show();
        window->raise();
        window->activateWindow();
        runMainLoopFor(0.01);
    }
    return QApplication::activeWindow() == window;
}

QVariantMap WindowsFixture::settingsFile() {
    return dictionaryWithContentsOfFile(UserDefaults::standardUserDefaults().path())
        .value_or(QVariantMap());
}
