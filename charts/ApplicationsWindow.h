#pragma once

#include "history/ApplicationBytes.h"

#include <QDateTime>
#include <QList>
#include <QWidget>

class QLabel;
class QTableWidget;

namespace flowtally {

// The Applications window: what each application moved on a network since
// a moment (the start of its totals), one row each with its name, the bytes
// received and sent and its share of the network's bytes. A click on a
// column's header sorts by that column's numbers; the most bytes come first.
class ApplicationsWindow : public QWidget {
    Q_OBJECT

  public:
    struct Row {
        QString name;
        ApplicationBytes bytes;
    };
    enum Column { NameColumn, ReceivedColumn, SentColumn, ShareColumn };

    explicit ApplicationsWindow(QWidget *parent = nullptr);

    // Shows the applications of a network whose bytes since `since` were
    // `networkBytes`; an invalid `since` means nothing was counted yet.
    void showApplications(const QDateTime &since, const QList<Row> &rows, quint64 networkBytes);

    // Without flowtally-accountd nothing is counted per application: the
    // window says so, and how to enable it, in place of the table.
    void showServiceAnswers(bool answers);

    QTableWidget *table() const { return table_; }
    QString caption() const;
    // What the window says in place of the table; empty while it shows it.
    QString serviceNote() const;

  private:
    QLabel *caption_;
    QLabel *serviceNote_;
    QTableWidget *table_;
};

} // namespace flowtally
