// The windows: loading the layouts, the controls' actions, the address field
// and the window events that stop, restart and end the work cycle.
#include "AppDelegate.h"

#include "Badge.h"
#include "BusyIndicator.h"
#include "DelayedPerform.h"
#include "FormattedField.h"
#include "IsValidLocalIP.h"
#include "LevelIndicator.h"
#include "NotificationCenter.h"
#include "NumberFormatter.h"
#include "Resources.h"
#include "SleepMonitor.h"
#include "Timer.h"
#include "UserDefaults.h"
#include "WBBKMGTFormatter.h"
#include "WBIPFormatter.h"
#include "WindowEvents.h"

#include "ui_HelpWindow.h"
#include "ui_MainWindow.h"
#include "ui_PreferencesWindow.h"

#include <QAction>
#include <QMenuBar>
#include <QUndoStack>

namespace {

const QString kHideHelpKey = QStringLiteral("HideHelp");
const QString kAirportIPKey = QStringLiteral("AirportIP");
const QString kDisplayLimitKey = QStringLiteral("DisplayLimitGB");
const QString kCommunityKey = QStringLiteral("communityPassword");

UserDefaults &defaults()
{
    return UserDefaults::standardUserDefaults();
}

} // namespace

AppDelegate::AppDelegate()
{
    initialize();
    loadWindows();
    awakeFromNib();
}

AppDelegate::~AppDelegate()
{
    delete prefsWindow;
    delete helpWindow;
    delete mainWindow;
}

void AppDelegate::loadWindows()
{
    auto *main = new QMainWindow;
    Ui::MainWindow mainUi;
    mainUi.setupUi(main);
    auto *prefs = new QWidget;
    Ui::PreferencesWindow prefsUi;
    prefsUi.setupUi(prefs);
    auto *help = new QWidget;
    Ui::HelpWindow helpUi;
    helpUi.setupUi(help);
    helpUi.helpText->setHtml(resourceText(QStringLiteral("Help.html")).value_or(QString()));

    prefsWindow = prefs;
    mainWindow = main;
    helpWindow = help;
    levelIndicator = mainUi.levelIndicator;
    rateIndicator = mainUi.rateIndicator;
    totalGigs = mainUi.totalGigs;
    inRate = mainUi.inRate;
    outRate = mainUi.outRate;
    airportIP = mainUi.airportIP;
    airportName = mainUi.airportName;
    displayLimitGB = prefsUi.displayLimitGB;
    limitText1 = mainUi.limitText1;
    limitText2 = prefsUi.limitText2;
    gbpmText = mainUi.gbpmText;
    infoText = mainUi.infoText;
    limitUnitsPopUp = prefsUi.limitUnitsPopUp;
    communityPasswordField = prefsUi.communityPassword;
    resetTotalsNowPB = mainUi.resetTotalsNowPB;
    restartPB = prefsUi.restartPB;
    workProgress = mainUi.workProgress;

    undoManager = new QUndoStack(this);
    badge = std::make_unique<Badge>(mainWindow);

    // Figures: byte counts scaled to a unit, rates in K per second.
    for (FormattedField *field : {totalGigs, gbpmText, limitText1, limitText2}) {
        auto formatter = std::make_unique<WBBKMGTFormatter>();
        formatter->setMaximumFractionDigits(2);
        field->setFormatter(std::move(formatter));
        field->setReadOnly(true);
    }
    for (FormattedField *field : {inRate, outRate}) {
        auto formatter = std::make_unique<NumberFormatter>();
        formatter->setMaximumFractionDigits(1);
        field->setFormatter(std::move(formatter));
        field->setReadOnly(true);
    }
    auto limitFormatter = std::make_unique<NumberFormatter>();
    limitFormatter->setMaximumFractionDigits(2);
    displayLimitGB->setFormatter(std::move(limitFormatter));
    displayLimitGB->setDoubleValue(defaults().objectForKey(kDisplayLimitKey).toDouble());
    communityPasswordField->setText(defaults().stringForKey(kCommunityKey).value_or(QString()));

    connect(resetTotalsNowPB, &QPushButton::clicked, this, &AppDelegate::doResetTotalsNow);
    connect(restartPB, &QPushButton::clicked, this, &AppDelegate::doRestart);
    connect(mainUi.consoleLogPB, &QPushButton::clicked, this, &AppDelegate::showConsoleLog);
    connect(airportIP, &FormattedField::committed, this, &AppDelegate::doSetUserDefinedIP);
    connect(limitUnitsPopUp, &QComboBox::activated, this, &AppDelegate::doLimitUnitsPopUp);
    // The limit field and the community field each hold their setting.
    connect(displayLimitGB, &FormattedField::committed, this, [this] {
        defaults().setObject(kDisplayLimitKey, displayLimitGB->doubleValue());
        defaults().synchronize();
    });
    connect(communityPasswordField, &QLineEdit::textEdited, this, [](const QString &text) {
        defaults().setObject(kCommunityKey, text);
    });
    connect(communityPasswordField, &QLineEdit::editingFinished, this,
            [] { defaults().synchronize(); });

    QMenu *fileMenu = main->menuBar()->addMenu(tr("&Flowtally"));
    QAction *preferences = fileMenu->addAction(tr("&Preferences…"));
    preferences->setShortcut(QKeySequence::Preferences);
    connect(preferences, &QAction::triggered, this, [this] {
        prefsWindow->show();
        prefsWindow->raise();
        prefsWindow->activateWindow();
    });
    QAction *helpAction = fileMenu->addAction(tr("&Help"));
    helpAction->setShortcut(QKeySequence::HelpContents);
    connect(helpAction, &QAction::triggered, this, [this] {
        helpWindow->show();
        helpWindow->raise();
    });
    fileMenu->addSeparator();
    QAction *quitAction = fileMenu->addAction(tr("&Quit"));
    quitAction->setShortcut(QKeySequence::Quit);
    connect(quitAction, &QAction::triggered, this, &AppDelegate::quit);
    QMenu *editMenu = main->menuBar()->addMenu(tr("&Edit"));
    QAction *undo = undoManager->createUndoAction(editMenu, tr("Undo"));
    undo->setShortcut(QKeySequence::Undo);
    editMenu->addAction(undo);

    windowEvents = new WindowEvents([this](QWidget *window) { windowDidBecomeKey(window); },
                                    [this](QWidget *window) { windowWillClose(window); }, this);
    for (QWidget *window : {mainWindow, prefsWindow, helpWindow})
        windowEvents->watch(window);
}

void AppDelegate::awakeFromNib()
{
    if (!defaults().boolForKey(kHideHelpKey))
        performAfterDelay(this, 0, [this] { helpWindow->show(); });
    NotificationCenter::defaultCenter().addObserver(
        this, kInfoTextNotificationName,
        [this](const QVariant &text) { handleSetInfoText(text.toString()); });
    airportIP->setFormatter(std::make_unique<WBIPFormatter>());
}

void AppDelegate::showBadge(const QString &text)
{
    badge->setLabel(text);
}

void AppDelegate::setIPField(const QVariant &value)
{
    if (airportIP->isBeingEdited())
        return;
    const QVariant number =
        value.typeId() == QMetaType::QString ? inetNSNumber(value.toString()) : value;
    airportIP->setObjectValue(number);
}

void AppDelegate::doSetUserDefinedIP()
{
    const quint32 address = airportIP->objectValue().toUInt();
    if (address == 0 || address == 0xFFFFFFFFu)
        defaults().removeObject(kAirportIPKey);
    else
        defaults().setObject(kAirportIPKey, addressWithInetNumber(address));
    defaults().synchronize();
    if (QWidget *next = airportIP->nextInFocusChain())
        next->setFocus();
}

void AppDelegate::doLimitUnitsPopUp()
{
    _limitUnitsScale = WBBKMGTFormatter::scaleInString(limitUnitsPopUp->currentText());
}

void AppDelegate::windowDidBecomeKey(QWidget *window)
{
    if (window == prefsWindow)
        stopLogging();
}

void AppDelegate::windowWillClose(QWidget *window)
{
    if (window == mainWindow) {
        terminating = true;
        prefsWindow->close();
        helpWindow->close();
    }
    if (window == prefsWindow && !terminating)
        startLogging();
    if (window == helpWindow)
        defaults().setObject(kHideHelpKey, true);
    defaults().synchronize();
}

void AppDelegate::quit()
{
    mainWindow->close();
}
