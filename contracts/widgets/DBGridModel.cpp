#include "DBGridModel.h"

#include "TDBGrid.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>

namespace kvo::db {

GridModel::GridModel(TDBGrid* grid) : QAbstractTableModel(grid), m_grid(grid) {}

int GridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int GridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_grid->Columns().Count();
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    switch (role) {
    case Qt::DisplayRole:
        // Painting must not throw into Qt (a calculated field's handler may fail).
        try {
            return m_grid->CellText(viewRow(index.row()), index.column());
        } catch (...) {
            return QString();
        }
    case Qt::TextAlignmentRole:
        if (TColumn* c = m_grid->Columns().Items(index.column()))
            return int((c->Alignment() & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter);
        return {};
    default:
        return {};
    }
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal) {
        TColumn* c = m_grid->Columns().Items(section);
        if (!c) return {};
        if (role == Qt::DisplayRole) return c->Title().Caption();
        if (role == Qt::TextAlignmentRole)
            return int((c->Title().Alignment() & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter);
        return {};
    }
    if (role == Qt::DisplayRole && viewRow(section) == m_grid->Row()) {
        TClientDataSet* ds = m_grid->DataSet();
        const TDataSetState st = ds ? ds->State() : dsInactive;
        return st == dsInsert ? QStringLiteral("*")
               : st == dsEdit ? QStringLiteral("I")
                              : QStringLiteral("▶");
    }
    return role == Qt::DisplayRole ? QVariant(QString()) : QVariant();
}

void GridModel::viewChanged(const TViewChange& change) {
    const int row = change.row;
    switch (change.kind) {
    case TViewChange::Inserted:
        if (row < 0 || row > m_rows) break;
        m_pending = change;
        beginInsertRows(QModelIndex(), row, row);
        ++m_rows;
        m_pending.reset();
        endInsertRows();
        return;
    case TViewChange::Removed:
        if (row < 0 || row >= m_rows) break;
        m_pending = change;
        beginRemoveRows(QModelIndex(), row, row);
        --m_rows;
        m_pending.reset();
        endRemoveRows();
        return;
    case TViewChange::Moved: {
        const int to = change.to;
        if (row < 0 || row >= m_rows || to < 0 || to >= m_rows) break;
        if (to != row) {
            m_pending = change;
            // Qt names the row the moved one goes before, counted before the move.
            const bool moving = beginMoveRows(QModelIndex(), row, row, QModelIndex(), to > row ? to + 1 : to);
            m_pending.reset();
            if (moving) endMoveRows();
        }
        return; // the set reports the row's new values as Changed next
    }
    case TViewChange::Changed:
        if (row < 0 || row >= m_rows) break;
        rowChanged(row);
        return;
    case TViewChange::Reset:
        break;
    }
    resetAll();
}

void GridModel::resetAll() {
    beginResetModel();
    m_rows = m_grid->viewRowCount();
    endResetModel();
}

int GridModel::viewRow(int row) const {
    if (!m_pending) return row;
    const int from = m_pending->row, to = m_pending->to;
    switch (m_pending->kind) {
    case TViewChange::Inserted:
        return row < from ? row : row + 1;
    case TViewChange::Removed:
        return row < from ? row : row == from ? -1 : row - 1;
    case TViewChange::Moved:
        if (row == from) return to;
        if (from < to && row > from && row <= to) return row - 1;
        if (to < from && row >= to && row < from) return row + 1;
        return row;
    default:
        return row;
    }
}

void GridModel::rowChanged(int row) {
    if (columnCount() > 0) emit dataChanged(index(row, 0), index(row, columnCount() - 1), {Qt::DisplayRole});
    // Qt lays the grid and its headers out again, all cells repainted, on any header change: only
    // a row indicator shown is worth it.
    if (m_grid->HasOption(dgIndicator)) emit headerDataChanged(Qt::Vertical, row, row);
}

void GridModel::indicatorShown() {
    if (m_rows > 0) emit headerDataChanged(Qt::Vertical, 0, m_rows - 1);
}

GridHeader::GridHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

QList<QVariant> GridHeader::titles() const {
    QList<QVariant> t{QVariant::fromValue(quintptr(style())),
                      QVariant(font()),
                      isSortIndicatorShown(),
                      defaultSectionSize(),
                      minimumSectionSize(),
                      count()};
    const QAbstractItemModel* m = model();
    for (int i = 0; m && i < count(); ++i) {
        t << isSectionHidden(i);
        if (isSectionHidden(i)) continue;
        t << m->headerData(i, orientation(), Qt::DisplayRole)
          << m->headerData(i, orientation(), Qt::TextAlignmentRole);
    }
    return t;
}

QList<QVariant> GridHeader::picture() const {
    QList<QVariant> p = titles();
    p << offset() << isEnabled() << viewport()->size();
    for (int i = 0; i < count(); ++i)
        p << logicalIndex(i) << sectionPosition(i) << sectionSize(i);
    return p;
}

QSize GridHeader::sizeHint() const {
    QList<QVariant> t = titles();
    if (!m_hint.isValid() || t != m_hintTitles) {
        m_hint = QHeaderView::sizeHint();
        m_hintTitles = std::move(t);
    }
    return m_hint;
}

// Qt lays the sections out again after a model reset and repaints every title: not when they
// would show what is on screen.
void GridHeader::doItemsLayout() {
    initializeSections();
    if (m_painted.isEmpty() || picture() != m_painted) {
        QHeaderView::doItemsLayout();
        return;
    }
    updateGeometries();
}

void GridHeader::paintEvent(QPaintEvent* e) {
    m_painted = picture();
    QHeaderView::paintEvent(e);
}

GridDelegate::GridDelegate(TDBGrid* grid) : QStyledItemDelegate(grid), m_grid(grid) {}

namespace {

enum LookBit {
    Highlight = 1 << 16,
    Button = 1 << 17,
    Disabled = 1 << 18,
    ColLines = 1 << 19,
    RowLines = 1 << 20
};

} // namespace

CellPicture GridDelegate::picture(const QModelIndex& index, const QRect& rect) const {
    const bool currentRow = index.row() == m_grid->Row();
    const bool currentCell = currentRow && index.column() == m_grid->SelectedIndex();
    QWidget* fw = QApplication::focusWidget();
    const bool focused = fw && (fw == m_grid || m_grid->isAncestorOf(fw));
    const bool highlight = (focused || m_grid->HasOption(dgAlwaysShowSelection)) &&
                           (currentCell || (currentRow && m_grid->HasOption(dgRowSelect)));
    CellPicture p;
    p.text = index.data(Qt::DisplayRole).toString();
    p.rect = rect;
    p.look = index.data(Qt::TextAlignmentRole).toInt() & 0xffff;
    if (highlight) p.look |= Highlight;
    if (currentCell && m_grid->showsButton(index.column())) p.look |= Button;
    if (!m_grid->isEnabled()) p.look |= Disabled;
    if (m_grid->HasOption(dgColLines)) p.look |= ColLines;
    if (m_grid->HasOption(dgRowLines)) p.look |= RowLines;
    return p;
}

void GridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const {
    CellPicture p = picture(index, option.rect);
    const QRect r = option.rect;
    const QPalette& pal = option.palette;
    const bool highlight = p.look & Highlight, button = p.look & Button;

    painter->save();
    const QPalette::ColorGroup group = (p.look & Disabled) ? QPalette::Disabled : QPalette::Normal;
    painter->fillRect(r,
                      highlight ? pal.brush(group, QPalette::Highlight) : pal.brush(group, QPalette::Base));

    QRect textRect = r.adjusted(3, 0, -3, 0);
    if (button) textRect.setRight(r.right() - buttonWidth(r) - 2);
    painter->setPen(pal.color(group, highlight ? QPalette::HighlightedText : QPalette::Text));
    const QString text = option.fontMetrics.elidedText(p.text, Qt::ElideRight, textRect.width());
    painter->drawText(textRect, p.look & 0xffff, text);

    if (button) {
        QStyleOptionButton b;
        b.rect = m_grid->buttonRect(index);
        b.text = QStringLiteral("…");
        b.state = QStyle::State_Enabled | QStyle::State_Raised;
        b.palette = pal;
        m_grid->style()->drawControl(QStyle::CE_PushButton, &b, painter, m_grid);
    }

    painter->setPen(pal.color(QPalette::Mid));
    if (p.look & ColLines) painter->drawLine(r.topRight(), r.bottomRight());
    if (p.look & RowLines) painter->drawLine(r.bottomLeft(), r.bottomRight());
    painter->restore();
    m_grid->cellPainted(index, std::move(p));
}

} // namespace kvo::db
