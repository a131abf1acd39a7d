#include "Badge.h"

#include <QFont>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QWidget>

namespace {

constexpr int kIconSize = 64;

// The tray picture: the label in white on a rounded blue tile.
QIcon badgeIcon(const QString &label)
{
    QPixmap picture(kIconSize, kIconSize);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(0x2a, 0x6f, 0xdb));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(picture.rect(), 12, 12);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(label.size() > 3 ? 20 : 28);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(picture.rect(), Qt::AlignCenter, label);
    return QIcon(picture);
}

} // namespace

Badge::Badge(QWidget *window) : window_(window), title_(window->windowTitle())
{
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        tray_ = new QSystemTrayIcon(badgeIcon(QString()));
        tray_->setToolTip(title_);
        tray_->show();
    }
}

Badge::~Badge() { delete tray_; }

void Badge::setLabel(const QString &label)
{
    if (label == label_)
        return;
    label_ = label;
    if (tray_) {
        tray_->setIcon(badgeIcon(label));
        tray_->setToolTip(QStringLiteral("%1 — %2").arg(title_, label));
    } else {
        window_->setWindowTitle(label.isEmpty() ? title_
                                                : QStringLiteral("%1 — %2").arg(title_, label));
    }
}
