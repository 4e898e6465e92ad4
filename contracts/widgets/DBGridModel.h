#pragma once

#include "FrameworkExport.h"

#include "TDBGrid.h"

#include "data/TDataSource.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QStyledItemDelegate>
#include <optional>

namespace kvo::db {

// The grid's view of its record set: cells are read live from the set's current view; the model
// keeps its own row count and follows the set's exact view changes with the matching signals.
// A notice arrives after the set has changed, so between a begin and its end signal the model
// still answers for the rows as they were before the change.
class KVO_FRAMEWORK_EXPORT GridModel : public QAbstractTableModel {
public:
    explicit GridModel(TDBGrid* grid);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // One change of the set's view; a notice that does not fit the rows shown resets the model.
    void viewChanged(const TViewChange& change);
    // Rows and columns read again (another set, a reload, new columns).
    void resetAll();
    // The row indicator comes into view: its texts are read afresh.
    void indicatorShown();

private:
    // The view row shown in a model row; -1 for a row that is being removed.
    int viewRow(int row) const;
    void rowChanged(int row);

    TDBGrid* m_grid;
    int m_rows = 0;
    std::optional<TViewChange> m_pending; // the change whose begin signal is out, until its end
};

// The grid's column titles: Qt's header, whose size hint (every title measured) and picture
// survive a model reset when the titles are the same, as when the grid's set is reloaded.
class KVO_FRAMEWORK_EXPORT GridHeader : public QHeaderView {
public:
    explicit GridHeader(QWidget* parent);
    QSize sizeHint() const override;
    void doItemsLayout() override;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    // What the titles show: each section's place, size, caption and alignment, in order.
    QList<QVariant> picture() const;
    QList<QVariant> titles() const; // what the size hint is measured from

    mutable QList<QVariant> m_hintTitles;
    mutable QSize m_hint;
    QList<QVariant> m_painted;
};

// Paints cells: the selected cell, the column and row lines and the ellipsis button.
class KVO_FRAMEWORK_EXPORT GridDelegate : public QStyledItemDelegate {
public:
    explicit GridDelegate(TDBGrid* grid);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    // What paint would draw for that cell now.
    CellPicture picture(const QModelIndex& index, const QRect& rect) const;

    static int buttonWidth(const QRect& cell) { return std::min(cell.height(), 18); }

private:
    TDBGrid* m_grid;
};

} // namespace kvo::db
