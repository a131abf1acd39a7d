#include "charts/HistoryTable.h"

#include "charts/HistoryTableModel.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QSortFilterProxyModel>

#include <algorithm>

namespace flowtally {

HistoryTable::HistoryTable(HistoryTableModel *model, QWidget *parent)
    : QTableView(parent), model_(model), sorted_(new QSortFilterProxyModel(this)) {
    sorted_->setSourceModel(model);
    sorted_->setSortRole(HistoryTableModel::kSortRole);
    setModel(sorted_);
    setSortingEnabled(true);
    sortByColumn(HistoryTableModel::PeriodColumn, Qt::DescendingOrder);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setAlternatingRowColors(true);
    setWordWrap(false);
    verticalHeader()->hide();
    // Rows as high as their text needs, not as a style's default.
    verticalHeader()->setMinimumSectionSize(fontMetrics().height());
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() * 3 / 2);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    horizontalHeader()->setSectionResizeMode(HistoryTableModel::PeriodColumn,
                                             QHeaderView::ResizeToContents);

    auto *copyAction = new QAction(tr("Copy"), this);
    connect(copyAction, &QAction::triggered, this, &HistoryTable::copy);
    addAction(copyAction);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

QString HistoryTable::selectedText() const {
    QList<int> shownRows;
    for (const QModelIndex &index : selectionModel()->selectedRows())
        shownRows.append(index.row());
    std::sort(shownRows.begin(), shownRows.end());
    QList<int> rows;
    for (const int row : shownRows)
        rows.append(sorted_->mapToSource(sorted_->index(row, 0)).row());
    return model_->tabSeparated(rows);
}

void HistoryTable::copy() {
    if (selectionModel()->hasSelection())
        QGuiApplication::clipboard()->setText(selectedText());
}

bool HistoryTable::event(QEvent *event) {
    if (event->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent *>(event)->matches(QKeySequence::Copy)) {
        event->accept();
        return true;
    }
    return QTableView::event(event);
}

void HistoryTable::keyPressEvent(QKeyEvent *event) {
    if (event->matches(QKeySequence::Copy)) {
        copy();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

} // namespace flowtally
