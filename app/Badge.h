#pragma once

#include "app/BadgeText.h"

#include <QIcon>
#include <QString>

#include <memory>

class QMenu;
class QSystemTrayIcon;
class QWidget;

namespace flowtally {

class TrayAvailability;

// The badge: a short text (the thirty-day projection) on Flowtally's tray
// icon, written into the icon's picture, and the used bytes against the
// limit in its tooltip (BadgeText). Where the desktop has no tray, the
// main window's title carries the short text ("Flowtally — 32G"), until a
// tray comes (the panel may start after Flowtally). Clicking the tray
// icon brings the main window to the front; its menu is the one that
// menu() gives, which the controller fills.
class Badge {
  public:
    explicit Badge(QWidget *window);
    ~Badge();
    Badge(const Badge &) = delete;
    Badge &operator=(const Badge &) = delete;

    // Shows a sample's figures of the network whose record is `record`.
    void show(const Meter::Figures &figures, const NetworkRecord &record);

    // The tray icon's menu; there is one without a tray too.
    QMenu *menu() const { return menu_.get(); }

    // The tray's picture for a label: the label in white on Flowtally's blue
    // tile, as large as it fits; Flowtally's icon for no label.
    static QIcon iconWithLabel(const QString &label);

  private:
    void showTray();
    QString toolTip() const;

    QWidget *window_;
    QString title_;
    BadgeText text_;
    std::unique_ptr<QMenu> menu_;
    QSystemTrayIcon *tray_ = nullptr;
    std::unique_ptr<TrayAvailability> trayAvailability_;
};

} // namespace flowtally
