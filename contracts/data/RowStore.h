#pragma once

// The rows of a record set: one block of cells per row, the arrival order, and which rows live.
// A row id stays valid until the next load or relayout; a deleted row keeps its cells and arrival
// place so that reverting the change log can bring it back. Storage is kept in view order: every
// load and every new order (index or arrival) lays the rows out again in that order, so a walk over
// the view reads memory in sequence and costs the same per row at any size; only rows posted since
// sit out of place until the next reorder.

#include "CellValue.h"
#include "RowList.h"

#include <vector>

namespace kvo::data {

class RowStore {
public:
    std::vector<Column> cols;

    int ncols() const { return int(cols.size()); }
    size_t rowCount() const { return m_alive.size(); } // every row id, deleted ones included
    const Cell* row(quint32 r) const { return m_cells.data() + size_t(r) * m_width; }
    size_t width() const { return m_width; } // cells from one row to the next
    Cell* row(quint32 r) { return m_cells.data() + size_t(r) * m_width; }
    // Every row in arrival order, deleted ones included (they keep their place for a revert).
    const RowList& arrival() const { return m_arrival; }
    bool live(quint32 r) const { return m_alive[r] != 0; }
    // Orders two rows by arrival.
    bool arrivedBefore(quint32 a, quint32 b) const { return m_seq[a] < m_seq[b]; }

    // Room for rows and some more, so that the first rows added after a load do not copy the whole
    // table (the spare pages cost nothing until they are written).
    static size_t withSpare(size_t rows) { return rows + rows / 8 + 64; }
    // Takes decoded rows (row-major, cols.size() cells each), all live, in that arrival order.
    void load(std::vector<Column> columns, std::vector<Cell> cells, size_t rows);
    void clear();

    // A new live row with null cells, placed before row `before` in arrival order, or last when
    // before is Last.
    static constexpr quint32 Last = 0xFFFFFFFFu;
    quint32 add(quint32 before);
    // Marks a row deleted (a delete, or a dropped insert); it keeps its cells and arrival place.
    void drop(quint32 r) { m_alive[r] = 0; }
    // Marks a row live or deleted again (a revert).
    void setLive(quint32 r, bool live) { m_alive[r] = live; }

    // Stores the rows in the given order (every live row once), deleted rows after them, so walking
    // it reads memory in sequence; rewrites the ids in `order` and in the arrival order. Returns each
    // old id's new id, or nothing when the rows already lay so. Holders of row ids must renumber.
    std::vector<quint32> relayout(std::vector<quint32>& order);

private:
    void renumber();
    // Where row r is in the arrival order, by its key.
    int arrivalPos(quint32 r) const;

    std::vector<Cell> m_cells;
    size_t m_width = 0;        // cells per row: cols.size() as of the load (columns change only while empty)
    std::vector<qint64> m_seq; // arrival key per row, gaps left for inserts
    std::vector<bool> m_alive; // a bit per row: a delete at 100k rows then touches a line already cached
    RowList m_arrival;         // every row id, by m_seq
};

} // namespace kvo::data
