// The windows: loading the layouts, the figures' formats, the controls'
// actions, the address field, the limit unit and the window events that
// stop, restart and end the work cycle.
#include "AppDelegate.h"

#include "AppIcon.h"
#include "Autostart.h"
#include "Badge.h"
#include "BringToFront.h"
#include "BusyIndicator.h"
#include "CycleChart.h"
#include "DelayedPerform.h"
#include "DesktopNotifier.h"
#include "FigureFormatter.h"
#include "FormattedField.h"
#include "HistoryStore.h"
#include "HistoryWindow.h"
#include "HistoryWriter.h"
#include "InterfaceChoice.h"
#include "IsValidLocalIP.h"
#include "KeyViewOrder.h"
#include "LevelIndicator.h"
#include "NetworkManagerWatch.h"
#include "NotificationCenter.h"
#include "NumberFormatter.h"
#include "Numbers.h"
#include "RatesChart.h"
#include "Resources.h"
#include "SettingsKeys.h"
#include "SleepMonitor.h"
#include "SnmpEnvironment.h"
#include "SystemLog.h"
#include "Threads.h"
#include "Timer.h"
#include "UserDefaults.h"
#include "Version.h"
#include "WBBKMGTFormatter.h"
#include "WBIPFormatter.h"
#include "WindowEvents.h"
#include "WindowPlacement.h"
#include "ui_HelpWindow.h"
#include "ui_MainWindow.h"
#include "ui_PreferencesWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include <QUndoStack>
#include <algorithm>

namespace flowtally {

namespace {

// Fraction digits of the figures: byte counts to a hundredth of their unit
// (10.80G), rates to a tenth of a K per second.
constexpr unsigned kByteFractions = 2;
constexpr unsigned kRateFractions = 1;
constexpr unsigned kLimitFractions = 2;

const QString kRateUnit = QStringLiteral(" K/s");
// The widest texts that the fields are sized for. All figures of the first
// column take the width of the widest, so that their right edges line up.
const QString kWidestFigure = QStringLiteral("88888.8") + kRateUnit;
const QString kWidestBytes = QStringLiteral("8888.88M");
const QString kWidestAddress = QStringLiteral("888.888.888.888");

UserDefaults &defaults() {
    return UserDefaults::standardUserDefaults();
}

// Keeps a widget as large as the holder it was put in.
class FillsHolder : public QObject {
  public:
    FillsHolder(QWidget *held, QObject *parent) : QObject(parent), held_(held) {}

    bool eventFilter(QObject *holder, QEvent *event) override {
        if (event->type() == QEvent::Resize)
            held_->setGeometry(static_cast<QWidget *>(holder)->rect());
        return false;
    }

  private:
    QWidget *held_;
};

// Puts a label whose text changes at every tick (the status line) in a
// holder of its size and place that has no layout: a label's new text asks
// its parent's layout to lay everything out anew (its size hint may have
// changed), which a holder without a layout does not do. The label's size
// never depends on its text here. It fills its background with the window's,
// which lies under it: the window is not painted again under each new text.
void holdWithoutLayout(QLabel *label) {
    QWidget *parent = label->parentWidget();
    auto *holder = new QWidget;
    holder->setSizePolicy(label->sizePolicy());
    holder->setFixedHeight(label->maximumHeight());
    delete parent->layout()->replaceWidget(label, holder);
    label->setParent(holder);
    label->setAutoFillBackground(true);
    label->show();
    holder->installEventFilter(new FillsHolder(label, holder));
}

// Makes a field as wide as the text needs, whatever the font.
void fitWidth(QLineEdit *field, const QString &widest) {
    constexpr int kMargins = 16; // the frame and the line edit's own margins
    field->setFixedWidth(field->fontMetrics().horizontalAdvance(widest) + kMargins);
}

// A read-only value: no frame, no background of its own, no stop on the
// keyboard's way through the window (a click still selects it for copying).
void showAsValue(QLineEdit *field) {
    field->setReadOnly(true);
    field->setFrame(false);
    field->setFocusPolicy(Qt::ClickFocus);
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    field->setPalette(palette);
}

// A figure: a read-only value, right-aligned in a column as wide as the
// widest text, shown through the formatter with its unit; values that are
// not finite show as a dash or ∞.
void showAsFigure(FormattedField *field, std::unique_ptr<Formatter> numbers,
                  const QString &widest = kWidestFigure, const QString &unit = QString()) {
    showAsValue(field);
    field->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    field->setFormatter(std::make_unique<FigureFormatter>(std::move(numbers), unit));
    fitWidth(field, widest);
}

// The labels of the window's first column take the width of the widest, so
// that the values of all its groups start at one line.
void alignLabelColumn(const QList<QLabel *> &labels) {
    int widest = 0;
    for (const QLabel *label : labels)
        widest = std::max(widest, label->sizeHint().width());
    for (QLabel *label : labels)
        label->setMinimumWidth(widest);
}

std::unique_ptr<Formatter> byteFormatter() {
    auto formatter = std::make_unique<WBBKMGTFormatter>();
    formatter->setMaximumFractionDigits(kByteFractions);
    return formatter;
}

// How the router interface pop-up names an interface: its description, its
// name and alias where they differ from it, and what it received and sent
// so far, so that a person can tell the busy one.
QString interfaceLabel(const RouterInterface &interface) {
    QStringList also;
    for (const QString &other : {interface.name, interface.alias}) {
        if (!other.isEmpty() && other != interface.description && !also.contains(other))
            also.append(other);
    }
    QString label = interface.description;
    if (!also.isEmpty())
        label += QStringLiteral(" (%1)").arg(also.join(QStringLiteral(", ")));
    if (interface.in && interface.out)
        label +=
            QStringLiteral(" — in %1, out %2")
                .arg(
                    WBBKMGTFormatter::stringForObjectValue(double(*interface.in), kByteFractions),
                    WBBKMGTFormatter::stringForObjectValue(double(*interface.out), kByteFractions));
    return label;
}

// How a chosen interface is found again: by its description, unless
// another interface of the router has the same one; then by its name.
InterfaceChoice choiceOf(const RouterInterface &interface, const QList<RouterInterface> &all) {
    const auto described = std::count_if(all.cbegin(), all.cend(), [&](const RouterInterface &i) {
        return i.description == interface.description;
    });
    if (described > 1 && !interface.name.isEmpty())
        return {QStringLiteral("ifName"), interface.name};
    return {QStringLiteral("ifDescr"), interface.description};
}

// Whether the interface is the one the choice finds.
bool isChosen(const RouterInterface &interface, const InterfaceChoice &choice) {
    return (choice.object == QLatin1String("ifName") ? interface.name : interface.description) ==
           choice.text;
}

const QString kAutomaticInterface = QStringLiteral("Automatic (vlan1)");

std::unique_ptr<Formatter> numberFormatter(unsigned fractionDigits) {
    auto formatter = std::make_unique<NumberFormatter>();
    formatter->setMaximumFractionDigits(fractionDigits);
    return formatter;
}

} // namespace

AppDelegate::AppDelegate()
    : networkManager(std::make_unique<NetworkManagerWatch>()),
      notifier(std::make_unique<DesktopNotifier>()) {
    // An alert no desktop shows goes to the status line.
    connect(notifier.get(), &DesktopNotifier::notShown, this, &AppDelegate::doSetInfoText);
    initialize();
    loadWindows();
    awakeFromNib();
}

AppDelegate::~AppDelegate() {
    // Timers keep themselves alive and a worker uses the controller to its
    // end: neither may outlive it.
    if (timer) {
        timer->invalidate();
        timerWriteToDisk->invalidate();
    }
    runLoopUntilWorkerDone();
    delete historyWindow;
    delete prefsWindow;
    delete helpWindow;
    delete mainWindow;
}

void AppDelegate::loadWindows() {
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
    gbpmText = mainUi.gbpmText;
    infoText = mainUi.infoText;
    limitUnitsPopUp = mainUi.limitUnitsPopUp;
    routerInterfacePopUp = prefsUi.routerInterfacePopUp;
    communityPasswordField = prefsUi.communityPassword;
    resetTotalsNowPB = mainUi.resetTotalsNowPB;
    restartPB = prefsUi.restartPB;
    workProgress = mainUi.workProgress;
    cycleTextLabel = mainUi.cycleTextLabel;
    cycleText = mainUi.cycleText;
    cycleStartDayPopUp = prefsUi.cycleStartDayPopUp;
    warnAtPercent = prefsUi.warnAtPercent;
    startAtLogin = prefsUi.startAtLogin;
    addCharts(main);

    QApplication::setWindowIcon(appIcon());
    placement = std::make_unique<WindowPlacement>();
    placement->add(mainWindow, SettingsKey::MainWindowGeometry);
    placement->add(prefsWindow, SettingsKey::PreferencesWindowGeometry);
    placement->add(helpWindow, SettingsKey::HelpWindowGeometry);
    undoManager = new QUndoStack(this);
    badge = std::make_unique<Badge>(mainWindow);

    // Byte counts scaled to a unit, rates in K per second.
    for (FormattedField *field : {totalGigs, gbpmText})
        showAsFigure(field, byteFormatter());
    // The limit follows "of", beside the bars.
    for (FormattedField *field : {limitText1, limitText2}) {
        showAsFigure(field, byteFormatter(), kWidestBytes);
        field->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
    for (FormattedField *field : {inRate, outRate})
        showAsFigure(field, numberFormatter(kRateFractions), kWidestFigure, kRateUnit);
    showAsValue(airportName);
    fitWidth(airportIP, kWidestAddress);
    alignLabelColumn({mainUi.inRateLabel, mainUi.outRateLabel, mainUi.totalLabel, mainUi.gbpmLabel,
                      mainUi.cycleTextLabel, mainUi.displayLimitGBLabel, mainUi.airportNameLabel,
                      mainUi.airportIPLabel});
    // The bars keep a width a share can be read from, beside the charts.
    for (LevelIndicator *bar : {levelIndicator, rateIndicator})
        bar->setMinimumWidth(bar->fontMetrics().horizontalAdvance(kWidestBytes) * 3 / 2);
    // Shown once a cycle is set.
    cycleTextLabel->hide();
    cycleText->hide();
    // Two lines, the time stamp over the text. A text never makes the window
    // jump: what does not fit is in the line's tooltip.
    infoText->setFixedHeight(2 * infoText->fontMetrics().lineSpacing());
    holdWithoutLayout(infoText);

    // The limit field and the community field each hold their setting, and
    // a change is written out at once.
    displayLimitGB->setFormatter(numberFormatter(kLimitFractions));
    displayLimitGB->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // As wide as the figures above it.
    fitWidth(displayLimitGB, kWidestFigure);
    displayLimitGB->setDoubleValue(defaults().objectForKey(SettingsKey::DisplayLimitGB).toDouble());
    connect(displayLimitGB, &FormattedField::committed, this, [this] {
        defaults().setObject(SettingsKey::DisplayLimitGB, displayLimitGB->doubleValue());
        defaults().writeNow();
    });
    communityPasswordField->setText(
        defaults().stringForKey(SettingsKey::communityPassword).value_or(QString()));
    connect(communityPasswordField, &QLineEdit::textEdited, this, [](const QString &text) {
        defaults().setObject(SettingsKey::communityPassword, text);
        defaults().writeNow();
    });

    connectUsagePreferences();

    connect(resetTotalsNowPB, &QPushButton::clicked, this, &AppDelegate::doResetTotalsNow);
    connect(restartPB, &QPushButton::clicked, this, &AppDelegate::doRestart);
    connect(mainUi.consoleLogPB, &QPushButton::clicked, this, &AppDelegate::showConsoleLog);
    connect(airportIP, &FormattedField::committed, this, &AppDelegate::doSetUserDefinedIP);
    connect(limitUnitsPopUp, &QComboBox::activated, this, &AppDelegate::doLimitUnitsPopUp);
    routerInterfacePopUp->addItem(kAutomaticInterface);
    connect(routerInterfacePopUp, &QComboBox::activated, this,
            &AppDelegate::doRouterInterfacePopUp);
    // A reset loads the registration defaults' unit and its undo the old one.
    connect(undoManager, &QUndoStack::indexChanged, this, &AppDelegate::selectLimitUnit);
    buildMenus(main);

    windowEvents = new WindowEvents([this](QWidget *window) { windowDidBecomeKey(window); },
                                    [this](QWidget *window) { windowWillClose(window); }, this);
    for (QWidget *window : {mainWindow, prefsWindow, helpWindow})
        windowEvents->watch(window);
}

void AppDelegate::addCharts(QMainWindow *main) {
    // The figures on the left, the charts of the period and of the last
    // minutes on the right.
    auto *charts = new QWidget;
    auto *chartsLayout = new QVBoxLayout(charts);
    chartsLayout->setContentsMargins(0, 0, 0, 0);
    cycleChart = new CycleChart;
    ratesChart = new RatesChart;
    chartsLayout->addWidget(cycleChart, 3);
    chartsLayout->addWidget(ratesChart, 2);
    auto *columns = new QWidget;
    auto *columnsLayout = new QHBoxLayout(columns);
    columnsLayout->addWidget(main->takeCentralWidget());
    columnsLayout->addWidget(charts, 1);
    main->setCentralWidget(columns);
}

void AppDelegate::connectUsagePreferences() {
    // The cycle is the held network's; the pop-up shows it whenever the
    // preferences come to the front.
    cycleStartDayPopUp->addItem(tr("No cycle"));
    for (int day = 1; day <= 31; ++day)
        cycleStartDayPopUp->addItem(tr("Day %1").arg(day));
    connect(cycleStartDayPopUp, &QComboBox::activated, this,
            [this](int day) { setCycleStartDay(day); });
    const QVariant warnAt = defaults().objectForKey(SettingsKey::WarnAtPercent);
    warnAtPercent->setValue(warnAt.isValid() ? warnAt.toInt() : warnAtPercent->value());
    connect(warnAtPercent, &QSpinBox::editingFinished, this, [this] {
        defaults().setObject(SettingsKey::WarnAtPercent, quint64(warnAtPercent->value()));
        defaults().writeNow();
    });
    startAtLogin->setChecked(startsAtLogin());
    connect(startAtLogin, &QCheckBox::toggled, this, [this](bool on) {
        if (const Status status = setStartsAtLogin(on); !status.ok()) {
            doSetInfoText(status.message());
            const QSignalBlocker quiet(startAtLogin);
            startAtLogin->setChecked(startsAtLogin());
        }
    });
}

void AppDelegate::awakeFromNib() {
    // Not at a start with the session: help would come to the front.
    if (!defaults().boolForKey(SettingsKey::HideHelp) && !startedAtLogin()) {
        performAfterDelay(this, 0, [this] {
            helpWindow->show();
            helpWindow->raise();
        });
    }
    NotificationCenter::defaultCenter().addObserver(
        this, kInfoTextNotificationName,
        [this](const QVariant &text) { handleSetInfoText(text.toString()); });
    airportIP->setFormatter(std::make_unique<WBIPFormatter>());
}

void AppDelegate::showBadge(const QString &text) {
    badge->setLabel(text);
}

void AppDelegate::selectLimitUnit() {
    if (const std::optional<QString> unit =
            WBBKMGTFormatter::unitForScale(meter.record().limitUnitsScale)) {
        const int item = limitUnitsPopUp->findText(*unit);
        if (item >= 0)
            limitUnitsPopUp->setCurrentIndex(item);
    }
}

void AppDelegate::setIPField(const QVariant &value) {
    if (airportIP->isBeingEdited())
        return;
    const QVariant number =
        value.typeId() == QMetaType::QString ? inetNSNumber(value.toString()) : value;
    airportIP->setObjectValue(number);
}

void AppDelegate::doSetUserDefinedIP() {
    const quint32 address = unsignedIntValueOf(airportIP->objectValue());
    if (address == 0 || address == 0xFFFFFFFFu)
        defaults().removeObject(SettingsKey::AirportIP);
    else
        defaults().setObject(SettingsKey::AirportIP, addressWithInetNumber(address));
    defaults().writeNow();
    selectKeyViewFollowingView(airportIP);
}

void AppDelegate::doLimitUnitsPopUp() {
    meter.record().limitUnitsScale =
        WBBKMGTFormatter::scaleInString(limitUnitsPopUp->currentText());
}

void AppDelegate::fillRouterInterfacePopUp() {
    if (listingInterfaces)
        return;
    listingInterfaces = true;
    // The worker's answer waits for the main thread, which shows it before
    // the worker ends, so the controller outlives both (runLoopUntilWorkerDone).
    // Metering is stopped meanwhile; should the window close first, a tick
    // may run beside it.
    detachThread([this] {
        awaitSnmpEnvironment();
        const bool router = !terminating && probablyHasRouter();
        const QString address = router ? routerIPAddress().value_or(QString()) : QString();
        const QList<RouterInterface> interfaces =
            address.isEmpty() ? QList<RouterInterface>() : routerInterfaces(address);
        mainThread.perform(
            [this, address, interfaces] { showRouterInterfaces(address, interfaces); }, true);
        listingInterfaces = false;
    });
}

void AppDelegate::showRouterInterfaces(const QString &address,
                                       const QList<RouterInterface> &interfaces) {
    interfaceListAddress = address;
    routerInterfacePopUp->clear();
    routerInterfacePopUp->addItem(kAutomaticInterface);
    const std::optional<InterfaceChoice> chosen = InterfaceChoice::fromMap(
        defaults().objectForKey(SettingsKey::RouterInterface).toMap().value(address).toMap());
    for (const RouterInterface &interface : interfaces) {
        routerInterfacePopUp->addItem(interfaceLabel(interface),
                                      choiceOf(interface, interfaces).toMap());
        if (chosen && isChosen(interface, *chosen))
            routerInterfacePopUp->setCurrentIndex(routerInterfacePopUp->count() - 1);
    }
    // A choice the router does not have any more stays visible as such.
    if (chosen && routerInterfacePopUp->currentIndex() == 0) {
        routerInterfacePopUp->addItem(QStringLiteral("%1 (not on the router)").arg(chosen->text),
                                      chosen->toMap());
        routerInterfacePopUp->setCurrentIndex(routerInterfacePopUp->count() - 1);
    }
    routerInterfacePopUp->setEnabled(!address.isEmpty());
}

void AppDelegate::doRouterInterfacePopUp() {
    if (interfaceListAddress.isEmpty())
        return;
    QVariantMap choices = defaults().objectForKey(SettingsKey::RouterInterface).toMap();
    const std::optional<InterfaceChoice> choice =
        InterfaceChoice::fromMap(routerInterfacePopUp->currentData().toMap());
    if (choice)
        choices.insert(interfaceListAddress, choice->toMap());
    else
        choices.remove(interfaceListAddress);
    defaults().setObject(SettingsKey::RouterInterface, choices);
    if (const Status written = defaults().synchronize(); !written.ok())
        doSetInfoText(written.message());
}

void AppDelegate::windowDidBecomeKey(QWidget *window) {
    if (window == prefsWindow) {
        stopLogging();
        cycleStartDayPopUp->setCurrentIndex(meter.record().cycleStartDay);
        fillRouterInterfacePopUp();
    }
}

void AppDelegate::windowWillClose(QWidget *window) {
    // Where the window was is kept for the next run.
    placement->remember(window);
    if (window == mainWindow) {
        terminating = true;
        closeOtherWindows();
        // Every window has closed: Flowtally ends once this close is through.
        QTimer::singleShot(0, this, [this] { terminate(); });
    }
    if (window == prefsWindow && !terminating)
        startLogging();
    if (window == helpWindow)
        defaults().setObject(SettingsKey::HideHelp, true);
    defaults().writeNow();
}

void AppDelegate::closeOtherWindows() {
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

void AppDelegate::terminate() {
    // Once: a quit that comes while the work cycle stops (a signal) finds
    // the end under way.
    if (ending)
        return;
    ending = true;
    if (applicationShouldTerminateAfterLastWindowClosed() && applicationShouldTerminate())
        QApplication::quit();
}

void AppDelegate::quit() {
    // Closed already, the main window closes again: whatever opened since
    // goes too.
    mainWindow->close();
}

QMenu *AppDelegate::trayMenuWidget() const {
    return badge->menu();
}

void AppDelegate::comeForward() {
    systemLog(QStringLiteral("Another start of Flowtally brought this one to the front."));
    bringToFront(mainWindow);
}

} // namespace flowtally
