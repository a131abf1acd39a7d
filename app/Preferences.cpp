// The preference controls: the limit and its unit, the community, the
// billing cycle, the share that warns, start at login, the router interface
// to meter and the router counters to read; the held network's counted
// traffic and free hours. A control that holds a setting writes it out at
// once; the held network's choices go to the controller.
#include "app/WindowController.h"

#include "platform/system/Autostart.h"
#include "app/FigureFields.h"
#include "platform/widgets/FormattedField.h"
#include "app/FreeWindowsText.h"
#include "net/InterfaceChoice.h"
#include "record/SettingsKeys.h"
#include "platform/system/UserDefaults.h"
#include "WBLib/WBBKMGTFormatter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSpinBox>

namespace flowtally {

namespace {

const QString kAutomaticInterface = QStringLiteral("Automatic (vlan1, else interface 6)");

// The router counters' choices, as the pop-up names them and as the
// setting keeps them.
const std::pair<const char *, QString> kRouterCounters[] = {
    {QT_TRANSLATE_NOOP("WindowController", "Automatic (SNMP, then UPnP)"),
     QStringLiteral("automatic")},
    {QT_TRANSLATE_NOOP("WindowController", "SNMP only"), QStringLiteral("snmp")},
    {QT_TRANSLATE_NOOP("WindowController", "UPnP only"), QStringLiteral("upnp")},
    {QT_TRANSLATE_NOOP("WindowController", "This computer only"), QStringLiteral("local")},
};

UserDefaults &defaults() {
    return UserDefaults::standardUserDefaults();
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

} // namespace

void WindowController::connectPreferences() {
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

    // The cycle is the held network's; the pop-up shows it whenever the
    // preferences come to the front.
    cycleStartDayPopUp_->addItem(tr("No cycle"));
    for (int day = 1; day <= 31; ++day)
        cycleStartDayPopUp_->addItem(tr("Day %1").arg(day));
    connect(cycleStartDayPopUp_, &QComboBox::activated, this,
            &WindowController::cycleStartDayChosen);
    const QVariant warnAt = defaults().objectForKey(SettingsKey::WarnAtPercent);
    warnAtPercent_->setValue(warnAt.isValid() ? warnAt.toInt() : warnAtPercent_->value());
    connect(warnAtPercent_, &QSpinBox::editingFinished, this, [this] {
        defaults().setObject(SettingsKey::WarnAtPercent, quint64(warnAtPercent_->value()));
        defaults().writeNow();
    });
    startAtLogin_->setChecked(startsAtLogin());
    connect(startAtLogin_, &QCheckBox::toggled, this, [this](bool on) {
        if (const Status status = setStartsAtLogin(on); !status.ok()) {
            emit statusText(status.message());
            const QSignalBlocker quiet(startAtLogin_);
            startAtLogin_->setChecked(startsAtLogin());
        }
    });

    routerInterfacePopUp->addItem(kAutomaticInterface);
    connect(routerInterfacePopUp, &QComboBox::activated, this,
            &WindowController::doRouterInterfacePopUp);

    // The sources read the setting at every tick.
    for (const auto &[title, value] : kRouterCounters)
        routerCountersPopUp_->addItem(tr(title), value);
    routerCountersPopUp_->setCurrentIndex(
        std::max(0, routerCountersPopUp_->findData(
                        defaults().stringForKey(SettingsKey::RouterCounters).value_or(QString()))));
    connect(routerCountersPopUp_, &QComboBox::activated, this, [this] {
        defaults().setObject(SettingsKey::RouterCounters, routerCountersPopUp_->currentData());
        if (const Status written = defaults().synchronize(); !written.ok())
            emit statusText(written.message());
    });

    connect(internetOnlyCheck_, &QCheckBox::clicked, this, [this](bool on) {
        emit countedTrafficChosen(on ? CountedTraffic::Internet : CountedTraffic::All);
    });
    connect(freeHoursField_, &QLineEdit::editingFinished, this, &WindowController::freeHoursEntered);
}

void WindowController::freeHoursEntered() {
    const std::variant<FreeWindows, QString> read = freeWindowsOfText(freeHoursField_->text());
    if (const QString *problem = std::get_if<QString>(&read)) {
        freeHoursProblem_->setText(*problem);
        return;
    }
    freeHoursProblem_->clear();
    const FreeWindows &windows = std::get<FreeWindows>(read);
    if (windows != meter_.record().freeWindows)
        emit freeWindowsChosen(windows);
    freeHoursField_->setText(textOfFreeWindows(meter_.record().freeWindows));
}

double WindowController::limitNumber() const {
    return displayLimitGB->doubleValue();
}

QString WindowController::limitUnitTitle() const {
    return limitUnitsPopUp->currentText();
}

void WindowController::selectLimitUnit() {
    if (const std::optional<QString> unit =
            WBBKMGTFormatter::unitForScale(meter_.record().limitUnitsScale)) {
        const int item = limitUnitsPopUp->findText(*unit);
        if (item >= 0)
            limitUnitsPopUp->setCurrentIndex(item);
    }
}

void WindowController::showPreferences() {
    cycleStartDayPopUp_->setCurrentIndex(meter_.record().cycleStartDay);
    internetOnlyCheck_->setChecked(meter_.record().countedTraffic == CountedTraffic::Internet);
    freeHoursField_->setText(textOfFreeWindows(meter_.record().freeWindows));
    freeHoursProblem_->clear();
    // Choices of a network: none to make without one.
    for (QWidget *control : std::initializer_list<QWidget *>{internetOnlyCheck_, freeHoursField_})
        control->setEnabled(meter_.record().service.has_value());
}

void WindowController::showRouterInterfaces(const QString &address,
                                            const QList<RouterInterface> &interfaces) {
    interfaceListAddress_ = address;
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

void WindowController::doRouterInterfacePopUp() {
    if (interfaceListAddress_.isEmpty())
        return;
    QVariantMap choices = defaults().objectForKey(SettingsKey::RouterInterface).toMap();
    const std::optional<InterfaceChoice> choice =
        InterfaceChoice::fromMap(routerInterfacePopUp->currentData().toMap());
    if (choice)
        choices.insert(interfaceListAddress_, choice->toMap());
    else
        choices.remove(interfaceListAddress_);
    defaults().setObject(SettingsKey::RouterInterface, choices);
    if (const Status written = defaults().synchronize(); !written.ok())
        emit statusText(written.message());
}

} // namespace flowtally
