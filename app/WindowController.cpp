// The windows: loading the layouts, the figures' looks, the controls'
// actions as signals, the connection's metered state, the window events,
// where the windows were, and closing them all when the main window closes.
#include "app/WindowController.h"

#include "app/AppIcon.h"
#include "charts/ApplicationsWindow.h"
#include "platform/system/Autostart.h"
#include "app/Badge.h"
#include "app/BringToFront.h"
#include "platform/widgets/BusyIndicator.h"
#include "platform/widgets/CloseButton.h"
#include "charts/CycleChart.h"
#include "app/EscapeCloses.h"
#include "app/FigureFields.h"
#include "platform/widgets/FormattedField.h"
#include "history/HistoryStore.h"
#include "charts/HistoryWindow.h"
#include "platform/widgets/LevelIndicator.h"
#include "charts/RatesChart.h"
#include "platform/system/Resources.h"
#include "record/SettingsKeys.h"
#include "platform/system/UserDefaults.h"
#include "Version.h"
#include "WBLib/WBIPFormatter.h"
#include "app/WindowEvents.h"
#include "app/WindowPlacement.h"
#include "ui_HelpWindow.h"
#include "ui_MainWindow.h"
#include "ui_PreferencesWindow.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QPointer>
#include <QUndoStack>
#include <QVBoxLayout>

namespace flowtally {

WindowController::WindowController(const Meter &meter) : meter_(meter) {
    auto *main = new QMainWindow;
    Ui::MainWindow mainUi;
    mainUi.setupUi(main);
    auto *prefs = new QWidget;
    Ui::PreferencesWindow prefsUi;
    prefsUi.setupUi(prefs);
    auto *help = new QWidget;
    Ui::HelpWindow helpUi;
    helpUi.setupUi(help);
    helpUi.helpText->document()->setDocumentMargin(16);
    // The help text ends with the version: where people look for it.
    helpUi.helpText->setHtml(
        resourceText(QStringLiteral("Help.html")).value_or(QString()) +
        QStringLiteral("<p><small>Flowtally %1</small></p>").arg(QLatin1String(kVersion)));
    // The text runs to the window's edges; its button keeps a margin.
    QWidget *closeHelp = closeButtonFor(help);
    closeHelp->setContentsMargins(12, 8, 12, 12);
    helpUi.helpLayout->addWidget(closeHelp);

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
    displayLimitGB = mainUi.displayLimitGB;
    limitText1 = mainUi.limitText1;
    limitText2 = mainUi.limitText2;
    limitText1Label = mainUi.limitText1Label;
    limitText2Label = mainUi.limitText2Label;
    gbpmText = mainUi.gbpmText;
    infoText = mainUi.infoText;
    limitUnitsPopUp = mainUi.limitUnitsPopUp;
    routerInterfacePopUp = prefsUi.routerInterfacePopUp;
    communityPasswordField = prefsUi.communityPassword;
    resetTotalsNowPB = mainUi.resetTotalsNowPB;
    restartPB = prefsUi.restartPB;
    workProgress = mainUi.workProgress;
    stateText_ = mainUi.stateText;
    sourceText_ = mainUi.sourceText;
    meteredText_ = mainUi.meteredText;
    markMeteredPB_ = mainUi.markMeteredPB;
    expectedLabel_ = mainUi.expectedLabel;
    expectedText_ = mainUi.expectedText;
    expectedEnd_ = mainUi.expectedEnd;
    cycleTextLabel_ = mainUi.cycleTextLabel;
    cycleText_ = mainUi.cycleText;
    cycleStartDayPopUp_ = prefsUi.cycleStartDayPopUp;
    warnAtPercent_ = prefsUi.warnAtPercent;
    startAtLogin_ = prefsUi.startAtLogin;
    routerCountersPopUp_ = prefsUi.routerCountersPopUp;
    internetOnlyCheck_ = prefsUi.internetOnlyCheck;
    freeHoursField_ = prefsUi.freeHoursField;
    freeHoursProblem_ = prefsUi.freeHoursProblem;
    addCharts(main);

    QApplication::setWindowIcon(appIcon());
    placement_ = std::make_unique<WindowPlacement>();
    undoManager_ = new QUndoStack(this);
    badge_ = std::make_unique<Badge>(mainWindow);

    // Byte counts scaled to a unit, rates in K per second.
    for (FormattedField *field : {totalGigs, gbpmText, expectedText_})
        showAsFigure(field, byteFormatter());
    // The limit follows "of", beside the bars; a limit of 0 reads "No limit".
    for (FormattedField *field : {limitText1, limitText2}) {
        const QString noLimit = tr("No limit");
        const bool wider = field->fontMetrics().horizontalAdvance(noLimit) >
                           field->fontMetrics().horizontalAdvance(kWidestBytes);
        showAsFigure(field, byteFormatter(), wider ? noLimit : kWidestBytes);
        field->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
    for (FormattedField *field : {inRate, outRate})
        showAsFigure(field, numberFormatter(kRateFractions), kWidestFigure, kRateUnit);
    showAsValue(airportName);
    showAsValue(sourceText_);
    showAsValue(meteredText_);
    fitWidth(airportIP, kWidestAddress);
    alignLabelColumn({mainUi.inRateLabel, mainUi.outRateLabel, mainUi.totalLabel, mainUi.gbpmLabel,
                      mainUi.expectedLabel, mainUi.cycleTextLabel, mainUi.displayLimitGBLabel,
                      mainUi.airportNameLabel, mainUi.airportIPLabel, mainUi.sourceTextLabel,
                      mainUi.meteredTextLabel});
    // The bars keep a width a share can be read from, beside the charts.
    for (LevelIndicator *bar : {levelIndicator, rateIndicator})
        bar->setMinimumWidth(bar->fontMetrics().horizontalAdvance(kWidestBytes) * 3 / 2);
    // Shown once a cycle is set, and once there is a reset date.
    for (QWidget *shownLater : std::initializer_list<QWidget *>{
             cycleTextLabel_, cycleText_, expectedLabel_, expectedText_, expectedEnd_})
        shownLater->hide();
    // Two lines, the time stamp over the text. A text never makes the window
    // jump: what does not fit is in the line's tooltip.
    infoText->setFixedHeight(2 * infoText->fontMetrics().lineSpacing());
    holdWithoutLayout(infoText);
    stateText_->setFixedHeight(stateText_->fontMetrics().lineSpacing());
    holdWithoutLayout(stateText_);
    showState();
    showMetered(std::nullopt, false);

    connectPreferences();

    connect(resetTotalsNowPB, &QPushButton::clicked, this, &WindowController::resetTotalsAsked);
    connect(restartPB, &QPushButton::clicked, this, &WindowController::restartAsked);
    // As the window's own close: metering resumes.
    connect(prefsUi.closePB, &QPushButton::clicked, prefsWindow, &QWidget::close);
    connect(mainUi.consoleLogPB, &QPushButton::clicked, this, &WindowController::consoleLogAsked);
    connect(markMeteredPB_, &QPushButton::clicked, this, &WindowController::markMeteredAsked);
    connect(airportIP, &FormattedField::committed, this, &WindowController::routerAddressCommitted);
    connect(limitUnitsPopUp, &QComboBox::activated, this, &WindowController::limitUnitChosen);
    // A reset loads the registration defaults' unit and its undo the old one.
    connect(undoManager_, &QUndoStack::indexChanged, this, &WindowController::selectLimitUnit);
    buildMenus(main);

    windowEvents_ = new WindowEvents([this](QWidget *window) { emit windowBecameKey(window); },
                                    [this](QWidget *window) { emit windowClosing(window); }, this);
    track(mainWindow, SettingsKey::MainWindowGeometry);
    track(prefsWindow, SettingsKey::PreferencesWindowGeometry);
    track(helpWindow, SettingsKey::HelpWindowGeometry);
    // Built with the menus, before the windows were watched.
    track(mainWindow->findChild<ApplicationsWindow *>(), SettingsKey::ApplicationsWindowGeometry);
    new EscapeCloses(mainWindow, this);
}

void WindowController::track(QWidget *window, const QString &placeKey) {
    placement_->add(window, placeKey);
    windowEvents_->watch(window);
}

WindowController::~WindowController() {
    delete historyWindow_;
    delete prefsWindow;
    delete helpWindow;
    delete mainWindow;
}

void WindowController::addCharts(QMainWindow *main) {
    // The figures on the left, the charts of the period and of the last
    // minutes on the right.
    auto *charts = new QWidget;
    auto *chartsLayout = new QVBoxLayout(charts);
    chartsLayout->setContentsMargins(0, 0, 0, 0);
    cycleChart_ = new CycleChart;
    ratesChart_ = new RatesChart;
    cycleChart_->setAccessibleName(tr("Traffic of the period"));
    cycleChart_->setAccessibleDescription(
        tr("Each day of the billing cycle, or of the period since the reset, with its traffic "
           "and the running total against the limit"));
    ratesChart_->setAccessibleName(tr("Rates of the last minutes"));
    ratesChart_->setAccessibleDescription(
        tr("The incoming and outgoing rates of the last ten minutes"));
    chartsLayout->addWidget(cycleChart_, 3);
    chartsLayout->addWidget(ratesChart_, 2);
    auto *columns = new QWidget;
    auto *columnsLayout = new QHBoxLayout(columns);
    columnsLayout->addWidget(main->takeCentralWidget());
    columnsLayout->addWidget(charts, 1);
    main->setCentralWidget(columns);
}

void WindowController::awakeFromNib() {
    airportIP->setFormatter(std::make_unique<WBIPFormatter>());
}

bool WindowController::helpShowsAtStart() const {
    // Not at a start with the session: help would come to the front.
    return !UserDefaults::standardUserDefaults().boolForKey(SettingsKey::HideHelp) &&
           !startedAtLogin();
}

void WindowController::showHelp() {
    helpWindow->show();
    helpWindow->raise();
}

void WindowController::windowWillClose(QWidget *window) {
    // Where the window was is kept for the next run.
    placement_->remember(window);
    if (window == helpWindow)
        UserDefaults::standardUserDefaults().setObject(SettingsKey::HideHelp, true);
}

void WindowController::closeOtherWindows() {
    prefsWindow->close();
    helpWindow->close();
    // Closing one may close or delete another.
    QList<QPointer<QWidget>> open;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window != mainWindow && window->isVisible())
            open.append(window);
    }
    for (const QPointer<QWidget> &window : open) {
        if (window)
            window->close();
    }
}

void WindowController::bringMainWindowToFront() {
    bringToFront(mainWindow);
}

void WindowController::showMetered(std::optional<bool> metered, bool offer) {
    meteredText_->setText(!metered ? tr("unknown") : *metered ? tr("yes") : tr("no"));
    markMeteredPB_->setVisible(offer);
}

QMenu *WindowController::trayMenuWidget() const {
    return badge_->menu();
}

} // namespace flowtally
