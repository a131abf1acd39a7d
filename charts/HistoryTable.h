#pragma once

#include <QTableView>

class QSortFilterProxyModel;

namespace flowtally {

class HistoryTableModel;

// A table of the History window. A click on a column's header sorts by that
// column's numbers (HistoryTableModel::kSortRole), newest period first at
// the start. Rows are selected whole; Ctrl+C, or Copy in the context menu,
// puts the selected rows in the order shown on the clipboard as the model's
// tab-separated text with its header line. Ctrl+C stays the table's even
// when the application has a Copy shortcut of its own.
class HistoryTable : public QTableView {
    Q_OBJECT

  public:
    // Shows `model`, which the caller keeps alive as long as the table.
    explicit HistoryTable(HistoryTableModel *model, QWidget *parent = nullptr);

    // What Copy puts on the clipboard; Copy leaves the clipboard alone when
    // no row is selected.
    QString selectedText() const;
    void copy();

  protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

  private:
    HistoryTableModel *model_;
    QSortFilterProxyModel *sorted_;
};

} // namespace flowtally
