#include "app/Badge.h"

#include "app/AppIcon.h"
#include "history/BillingCycle.h"
#include "app/BringToFront.h"
#include "platform/system/Environment.h"
#include "platform/widgets/TrayAvailability.h"

#include <QFont>
#include <QFontMetricsF>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QWidget>

namespace flowtally {

namespace {

constexpr int kIconSize = 64;
constexpr int kInset = 4;        // the tile's margin
constexpr int kLargestFont = 30; // pixels; shorter labels stay this size
constexpr int kSmallestFont = 8;
// How long a desktop that starts with Flowtally may take to show its tray.
constexpr std::chrono::seconds kTrayGrace{10};

QString titleWithLabel(const QString &title, const QString &label) {
    return label.isEmpty() ? title : QStringLiteral("%1 \u2014 %2").arg(title, label);
}

} // namespace

QIcon Badge::iconWithLabel(const QString &label) {
    if (label.isEmpty())
        return appIcon();
    QPixmap picture(kIconSize, kIconSize);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QRect tile = picture.rect().adjusted(kInset, kInset, -kInset, -kInset);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kIconTile);
    painter.drawRoundedRect(tile, 12, 12);

    QFont font = painter.font();
    font.setBold(true);
    const QRect room = tile.adjusted(3, 3, -3, -3);
    for (int pixels = kLargestFont; pixels >= kSmallestFont; --pixels) {
        font.setPixelSize(pixels);
        if (QFontMetricsF(font).horizontalAdvance(label) <= room.width())
            break;
    }
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(room, Qt::AlignCenter, label);
    return QIcon(picture);
}

Badge::Badge(QWidget *window)
    : window_(window), title_(window->windowTitle()), menu_(std::make_unique<QMenu>()),
      trayAvailability_(std::make_unique<TrayAvailability>([this] { showTray(); }, kTrayGrace)) {}

void Badge::showTray() {
    tray_ = new QSystemTrayIcon(iconWithLabel(text_.label));
    tray_->setToolTip(toolTip());
    tray_->setContextMenu(menu_.get());
    // Any click but the one that opens the menu.
    QObject::connect(tray_, &QSystemTrayIcon::activated, window_,
                     [window = window_](QSystemTrayIcon::ActivationReason reason) {
                         if (reason != QSystemTrayIcon::Context)
                             bringToFront(window);
                     });
    tray_->show();
    // The badge moves from the title, which carried it until now.
    window_->setWindowTitle(title_);
}

QString Badge::toolTip() const {
    return text_ == BadgeText{}
               ? title_
               : titleWithLabel(title_, text_.label) + QLatin1Char('\n') + text_.detail;
}

Badge::~Badge() {
    delete tray_;
}

void Badge::show(const Meter::Figures &figures, const NetworkRecord &record) {
    Environment &environment = Environment::current();
    const QDateTime now = environment.now();
    const std::optional<BillingCycle> cycle =
        billingCycleAt(now, record.cycleStartDay, environment.timeZone());
    const BadgeText text =
        badgeText(figures, cycle ? std::optional(daysLeft(*cycle, now)) : std::nullopt);
    if (text == text_)
        return;
    const bool newLabel = text.label != text_.label;
    text_ = text;
    if (!tray_) {
        window_->setWindowTitle(titleWithLabel(title_, text.label));
        return;
    }
    if (newLabel)
        tray_->setIcon(iconWithLabel(text.label));
    tray_->setToolTip(toolTip());
}

} // namespace flowtally
