#pragma once

#include <QIcon>
#include <QString>

#include <memory>

class QMenu;
class QSystemTrayIcon;
class QWidget;

namespace flowtally {

// The badge: a short text (the thirty-day projection) on Flowtally's tray
// icon, written into the icon's picture. Where the desktop has no tray, the
// main window's title carries it ("Flowtally — 32G"). Clicking the tray
// icon brings the main window to the front; its menu is the one that
// menu() gives, which the controller fills.
class Badge {
  public:
    explicit Badge(QWidget *window);
    ~Badge();
    Badge(const Badge &) = delete;
    Badge &operator=(const Badge &) = delete;

    void setLabel(const QString &label);

    // The tray icon's menu; there is one without a tray too.
    QMenu *menu() const { return menu_.get(); }

    // The tray's picture for a label: the label in white on Flowtally's blue
    // tile, as large as it fits; Flowtally's icon for no label.
    static QIcon iconWithLabel(const QString &label);

  private:
    QWidget *window_;
    QString title_;
    QString label_;
    std::unique_ptr<QMenu> menu_;
    QSystemTrayIcon *tray_ = nullptr;
};

} // namespace flowtally
