#include "RowStore.h"

#include <algorithm>
#include <cstring>

namespace kvo::data {

namespace {
// Wide gaps: a run of inserts before the same row halves one gap each time, and only when a gap is
// used up are all keys spread again (one pass over the arrival order).
constexpr qint64 SeqStep = qint64(1) << 32;
} // namespace

void RowStore::load(std::vector<Column> columns, std::vector<Cell> cells, size_t rows) {
    cols = std::move(columns);
    m_width = cols.size();
    m_cells = std::move(cells);
    if (cols.empty()) m_cells.clear();
    m_seq.reserve(withSpare(rows));
    m_alive.reserve(withSpare(rows));
    m_seq.resize(rows);
    m_alive.assign(rows, true);
    std::vector<quint32> arrival(rows);
    for (size_t r = 0; r < rows; ++r) {
        m_seq[r] = qint64(r + 1) * SeqStep;
        arrival[r] = quint32(r);
    }
    m_arrival.assign(arrival);
}

void RowStore::clear() {
    m_cells.clear();
    m_cells.shrink_to_fit();
    m_seq.clear();
    m_alive.clear();
    m_arrival.clear();
    for (Column& c : cols)
        c.pool.clear();
}

quint32 RowStore::add(quint32 before) {
    const quint32 id = quint32(m_alive.size());
    m_cells.resize(m_cells.size() + cols.size());
    Cell* rc = row(id);
    for (int c = 0; c < ncols(); ++c)
        rc[c] = nullCell(cols[c].type);
    m_seq.push_back(0);
    m_alive.push_back(true);
    if (before == Last) {
        m_seq[id] = (m_arrival.empty() ? 0 : m_seq[m_arrival[m_arrival.size() - 1]]) + SeqStep;
        m_arrival.push_back(id);
        return id;
    }
    const int at = arrivalPos(before);
    m_arrival.insert(at, id);
    const qint64 prev = at > 0 ? m_seq[m_arrival[at - 1]] : 0;
    if (m_seq[before] - prev >= 2)
        m_seq[id] = prev + (m_seq[before] - prev) / 2;
    else
        renumber();
    return id;
}

int RowStore::arrivalPos(quint32 r) const {
    return m_arrival.partitionPoint([this, key = m_seq[r]](quint32 a) { return m_seq[a] < key; });
}

// Spreads the arrival keys apart again, in arrival order (deleted rows and a new one included).
void RowStore::renumber() {
    qint64 s = 0;
    m_arrival.forEach([&](quint32 r) { m_seq[r] = (s += SeqStep); });
}

std::vector<quint32> RowStore::relayout(std::vector<quint32>& order) {
    const size_t n = m_alive.size(), nc = cols.size();
    if (n < 2) return {};
    bool inPlace = true;
    for (size_t i = 0; i < order.size() && inPlace; ++i)
        inPlace = order[i] == i;
    if (inPlace && order.size() == n) return {};
    std::vector<quint32> all = order;
    all.reserve(n);
    for (quint32 r = 0; r < n; ++r)
        if (!m_alive[r]) all.push_back(r);
    if (all.size() != n) return {};
    // The new storage keeps the spare room of a load, or the first row added copies the whole table.
    std::vector<Cell> cells;
    cells.reserve(withSpare(n) * nc);
    cells.resize(m_cells.size());
    std::vector<qint64> seq;
    seq.reserve(withSpare(n));
    seq.resize(n);
    std::vector<bool> alive;
    alive.reserve(withSpare(n));
    alive.resize(n);
    std::vector<quint32> inv(n);
    for (size_t i = 0; i < n; ++i) {
        const quint32 src = all[i];
        if (nc) std::memcpy(cells.data() + i * nc, row(src), nc * sizeof(Cell));
        seq[i] = m_seq[src];
        alive[i] = m_alive[src];
        inv[src] = quint32(i);
    }
    for (quint32& r : order)
        r = inv[r];
    m_arrival.forEachMutable([&inv](quint32& r) { r = inv[r]; });
    m_cells = std::move(cells);
    m_seq = std::move(seq);
    m_alive = std::move(alive);
    return inv;
}

} // namespace kvo::data
