#pragma once

#include <QString>

class QSystemTrayIcon;
class QWidget;

// The badge: a short text (the thirty-day projection) on Flowtally's tray
// icon. Where the desktop has no tray, the main window's title carries it.
class Badge {
  public:
    explicit Badge(QWidget *window);
    ~Badge();
    Badge(const Badge &) = delete;
    Badge &operator=(const Badge &) = delete;

    void setLabel(const QString &label);
    QString label() const { return label_; }

  private:
    QWidget *window_;
    QString title_;
    QString label_;
    QSystemTrayIcon *tray_ = nullptr;
};
