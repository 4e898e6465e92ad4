#pragma once

// Which stored rows the view shows and in which order: the live posted rows sorted by the active
// index (arrival order without one), then the filter applied. Positions are 0-based view rows.

#include "RowFilter.h"
#include "RowList.h"
#include "RowStore.h"

#include <optional>

namespace kvo::data {

class ViewOrder {
public:
    // The view: sorted rows the filter passes, plus a row being inserted at its place.
    RowList rows;

    int size() const { return rows.size(); }
    bool empty() const { return rows.empty(); }
    // The position of a row in the view, -1 when it is not there.
    int find(quint32 row) const { return rows.find(row); }

    const std::vector<int>& indexColumns() const { return m_index; }
    void setIndex(std::vector<int> columns) { m_index = std::move(columns); }
    // Only while no row is being inserted; rebuild or refilter follow.
    void setFilter(std::optional<RowFilter> filter) {
        if (filter && !m_sortedKept) { // the sorted rows were the view itself
            m_sorted = rows;
            m_sortedKept = true;
        }
        m_filter = std::move(filter);
    }
    bool filtering() const { return m_filter.has_value(); }
    bool passes(const RowStore& store, const Cell* cells) const {
        return !m_filter || m_filter->matches(store.cols, cells);
    }

    // Sorts every live row and rebuilds the view from them. With relayout the store then keeps the
    // rows in that order: the answer maps old row ids to new ones (empty when none moved).
    std::vector<quint32> rebuild(RowStore& store, bool relayout);
    // The first view position whose leading index columns hold `key` (one cell per column, in index
    // order, at most as many as the index has); -1 when no row does.
    int seek(const RowStore& store, const Cell* key, size_t keys) const;
    // Rebuilds the view from the sorted rows (a new filter: the order stands).
    void refilter(const RowStore& store) { filterView(store); }
    void clear();

    // A posted row leaves the sorted rows under its stored values (before they change).
    void unsort(const RowStore& store, quint32 row);
    // A posted row joins the sorted rows under its stored values, and the view when the filter
    // passes it: its new view position, or -1 when it is filtered out. It must not be in the view.
    int place(const RowStore& store, quint32 row);

private:
    static int compareCells(const Column& col, Cell x, Cell y);
    int compare(const RowStore& store, quint32 a, quint32 b) const;
    int lowerBound(const RowStore& store, const RowList& v, quint32 row) const;
    void filterView(const RowStore& store);

    std::vector<int> m_index; // data columns of the active index, empty for arrival order
    std::optional<RowFilter> m_filter;
    // Every posted live row in order, kept only while a filter is on: without one it is `rows`, and
    // a delete or a post moves one list instead of two.
    RowList m_sorted;
    bool m_sortedKept = false;
};

} // namespace kvo::data
