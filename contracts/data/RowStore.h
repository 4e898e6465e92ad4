#pragma once

// The rows of a record set: one block of cells per row, the arrival order, and which rows live.
// A row id stays valid until the next load; a deleted row keeps its cells and arrival place so
// that reverting the change log can bring it back.

#include "CellValue.h"

#include <vector>

namespace kvo::data {

class RowStore {
public:
    std::vector<Column> cols;

    int ncols() const { return int(cols.size()); }
    size_t rowCount() const { return m_alive.size(); } // every row id, deleted ones included
    const Cell* row(quint32 r) const { return m_cells.data() + size_t(r) * cols.size(); }
    Cell* row(quint32 r) { return m_cells.data() + size_t(r) * cols.size(); }
    // Live rows in arrival order.
    const std::vector<quint32>& arrival() const { return m_arrival; }
    // Orders two rows by arrival.
    bool arrivedBefore(quint32 a, quint32 b) const { return m_seq[a] < m_seq[b]; }

    // Takes decoded rows (row-major, cols.size() cells each), all live, in that arrival order.
    void load(std::vector<Column> columns, std::vector<Cell> cells, size_t rows);
    void clear();

    // A new live row with null cells, placed before row `before` in arrival order, or last when
    // before is Last.
    static constexpr quint32 Last = 0xFFFFFFFFu;
    quint32 add(quint32 before);
    // Takes a row out of the arrival order (a delete, or a dropped insert).
    void drop(quint32 r);
    // Marks a row live or dead; restoreArrival then puts the live ones back in place.
    void setLive(quint32 r, bool live) { m_alive[r] = live; }
    // Rebuilds the arrival order from the live rows, after setLive.
    void restoreArrival();

    // Stores the rows in the given order, so walking it reads memory in sequence; rewrites the ids in
    // `order` and in the arrival order. Only while no one else holds row ids.
    void relayout(std::vector<quint32>& order);

private:
    void renumber(quint32 exclude);

    std::vector<Cell> m_cells;
    std::vector<qint64> m_seq; // arrival key per row, gaps left for inserts
    std::vector<quint8> m_alive;
    std::vector<quint32> m_arrival;
};

} // namespace kvo::data
