// The menu bar of the main window: Flowtally (Preferences…, History…,
// Applications…, Quit), Edit (Undo of a totals reset) and Help (Flowtally
// Help); and the tray icon's menu (Show
// Flowtally, Preferences…, History…, Quit).
#include "app/WindowController.h"

#include "app/ApplicationsView.h"
#include "app/Badge.h"
#include "app/BringToFront.h"
#include "net/AccountdService.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QUndoStack>

namespace flowtally {

// The shortcuts are the same on every desktop: Ctrl+, Preferences, Ctrl+H
// History, F1 Help, Ctrl+Q Quit, Ctrl+Z Undo.
void WindowController::buildMenus(QMainWindow *main) {
    QMenu *appMenu = main->menuBar()->addMenu(tr("&Flowtally"));
    QAction *preferences = appMenu->addAction(tr("&Preferences…"));
    preferences->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    connect(preferences, &QAction::triggered, this, [this] { bringToFront(prefsWindow); });
    QAction *history = appMenu->addAction(tr("&History…"));
    history->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    connect(history, &QAction::triggered, this, &WindowController::showHistoryWindow);
    // The service is asked with every sample, a router's too: a sample
    // without its counters says that it did not answer.
    addApplicationsView(
        appMenu, meter_, [this] { return historyForReading(); },
        [this] { return !shownSample_ || shownSample_->contains(SampleKey::ApplicationCounters); });
    appMenu->addSeparator();
    QAction *quitAction = appMenu->addAction(tr("&Quit"));
    quitAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quitAction->setMenuRole(QAction::QuitRole);
    connect(quitAction, &QAction::triggered, this, &WindowController::quitAsked);

    QMenu *editMenu = main->menuBar()->addMenu(tr("&Edit"));
    QAction *undo = undoManager_->createUndoAction(editMenu, tr("Undo"));
    undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    editMenu->addAction(undo);

    // The help that shows once at the first start, again whenever asked.
    QMenu *helpMenu = main->menuBar()->addMenu(tr("&Help"));
    QAction *help = helpMenu->addAction(tr("Flowtally &Help"));
    help->setShortcut(QKeySequence(Qt::Key_F1));
    connect(help, &QAction::triggered, this, [this] { bringToFront(helpWindow); });

    // The tray's menu brings the main window back from wherever it is.
    QMenu *trayMenu = badge_->menu();
    QAction *show = trayMenu->addAction(tr("&Show Flowtally"));
    connect(show, &QAction::triggered, this, [this] { bringToFront(mainWindow); });
    trayMenu->addActions({preferences, history});
    trayMenu->addSeparator();
    trayMenu->addAction(quitAction);
    // The same actions as the window's menu, shortcuts shown as there: a
    // context menu hides them unless told.
    for (QAction *shared : {preferences, history, quitAction})
        shared->setShortcutVisibleInContextMenu(true);
}

} // namespace flowtally
