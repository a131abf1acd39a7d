#pragma once

#include "history/HistoryBucket.h"
#include "history/HistoryNetwork.h"

#include <QList>
#include <QString>
#include <QWidget>

class QComboBox;
class QTabWidget;

namespace flowtally {

class HistoryTable;
class HistoryTableModel;
class PeriodChart;

// The traffic history of one network at a time, like `vnstat -d` and
// `vnstat -m` in two sortable tables (Days, Months) of in, out and total,
// from which a person copies rows (see HistoryTable), each with a chart of
// its latest periods beside it. A network with a billing cycle has its
// cycles in place of months. The network is picked
// by its name in a pop-up. A pure view: the app gives it the networks and,
// when asked through networkChosen(), the chosen network's days and months.
class HistoryWindow : public QWidget {
    Q_OBJECT

  public:
    explicit HistoryWindow(QWidget *parent = nullptr);

    // The networks to pick from, in the order given (HistoryStore::networks:
    // the most recently seen first), each shown by its name, by its
    // identifier while it has none, and with its identifier too where two
    // share a name. The chosen network stays chosen while it is among them;
    // otherwise the first is chosen. Emits networkChosen() every time, so
    // that the chosen network's rows are read again.
    void setNetworks(const QList<HistoryNetwork> &networks);

    // The identifier of the network shown; empty without networks.
    QString chosenNetwork() const;

    // Shows the days and months of `network` (HistoryStore::days and months
    // over all time); with a billing cycle's start day (1 to 31), its cycles
    // summed from the days instead of the months. Ignored unless `network` is
    // the chosen one, so that an answer that comes late for another network
    // never shows under this one's name.
    void showHistory(const QString &network, const QList<HistoryBucket> &days,
                     const QList<HistoryBucket> &months, int cycleStartDay = 0);

    // The parts a person works with.
    QComboBox *networkPicker() const { return picker_; }
    HistoryTable *dayTable() const { return dayTable_; }
    HistoryTable *monthTable() const { return monthTable_; }
    PeriodChart *dayChart() const { return dayChart_; }
    PeriodChart *monthChart() const { return monthChart_; }
    QTabWidget *tabs() const { return tabs_; }

    QSize sizeHint() const override;

  signals:
    // The person chose another network, or setNetworks() was called: its
    // rows are cleared until showHistory() brings them.
    void networkChosen(const QString &network);

  private:
    QString networkAt(int index) const;
    // The person picked the network at `index`: shown unless it already is.
    void choose(int index);
    // Shows the network at `index`, asking for its rows.
    void showNetwork(int index);
    void showRows(const QList<HistoryBucket> &days, const QList<HistoryBucket> &months,
                  int cycleStartDay);

    QComboBox *picker_;
    QTabWidget *tabs_;
    HistoryTableModel *days_;
    HistoryTableModel *months_;
    HistoryTable *dayTable_;
    HistoryTable *monthTable_;
    PeriodChart *dayChart_;
    PeriodChart *monthChart_;
    QString chosen_;
};

} // namespace flowtally
