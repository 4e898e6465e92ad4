#pragma once

#include "FrameworkExport.h"

#include "data/TDataSource.h"

#include <QAbstractTableModel>
#include <QStyledItemDelegate>

class TDBGrid;

namespace kvo::db {

// The grid's view of its record set: rows are read live from the set's current view, so the
// model only announces how many there are and when they changed.
class KVO_FRAMEWORK_EXPORT GridModel : public QAbstractTableModel {
public:
    explicit GridModel(TDBGrid* grid);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Announces a new row count (rows added or removed at the end) and repaints every cell.
    void setRows(int rows);
    void resetColumns(int rows);
    void refresh();

private:
    TDBGrid* m_grid;
    int m_rows = 0;
};

// Paints cells: the selected cell, the column and row lines and the ellipsis button.
class KVO_FRAMEWORK_EXPORT GridDelegate : public QStyledItemDelegate {
public:
    explicit GridDelegate(TDBGrid* grid);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

    static int buttonWidth(const QRect& cell) { return std::min(cell.height(), 18); }

private:
    TDBGrid* m_grid;
};

} // namespace kvo::db
