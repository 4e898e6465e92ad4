#include "RowStore.h"

#include <algorithm>
#include <cstring>

namespace kvo::data {

namespace {
constexpr qint64 SeqStep = 1 << 16;
}

void RowStore::load(std::vector<Column> columns, std::vector<Cell> cells, size_t rows) {
    cols = std::move(columns);
    m_cells = std::move(cells);
    if (cols.empty()) m_cells.clear();
    m_seq.resize(rows);
    m_alive.assign(rows, 1);
    m_arrival.resize(rows);
    for (size_t r = 0; r < rows; ++r) {
        m_seq[r] = qint64(r + 1) * SeqStep;
        m_arrival[r] = quint32(r);
    }
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
    m_alive.push_back(1);
    if (before == Last) {
        m_seq[id] = (m_arrival.empty() ? 0 : m_seq[m_arrival.back()]) + SeqStep;
        m_arrival.push_back(id);
        return id;
    }
    const size_t at = size_t(std::find(m_arrival.begin(), m_arrival.end(), before) - m_arrival.begin());
    m_arrival.insert(m_arrival.begin() + at, id);
    qint64 prev = at > 0 ? m_seq[m_arrival[at - 1]] : 0;
    if (m_seq[before] - prev < 2) {
        renumber(id);
        prev = at > 0 ? m_seq[m_arrival[at - 1]] : 0;
    }
    m_seq[id] = prev + (m_seq[before] - prev) / 2;
    return id;
}

void RowStore::drop(quint32 r) {
    const auto it = std::find(m_arrival.begin(), m_arrival.end(), r);
    if (it != m_arrival.end()) m_arrival.erase(it);
    m_alive[r] = 0;
}

// Deleted rows return to their arrival place: a row's key changes only on renumbering, which keeps
// the relative order, so sorting the live rows by key restores the arrival order.
void RowStore::restoreArrival() {
    m_arrival.clear();
    for (quint32 r = 0; r < m_alive.size(); ++r)
        if (m_alive[r]) m_arrival.push_back(r);
    std::sort(m_arrival.begin(), m_arrival.end(),
              [this](quint32 a, quint32 b) { return m_seq[a] < m_seq[b]; });
}

// Spreads the arrival keys apart again, keeping the order of every row, deleted ones included.
void RowStore::renumber(quint32 exclude) {
    std::vector<quint32> all;
    all.reserve(m_alive.size());
    for (quint32 r = 0; r < m_alive.size(); ++r)
        if (r != exclude) all.push_back(r);
    std::stable_sort(all.begin(), all.end(), [this](quint32 a, quint32 b) { return m_seq[a] < m_seq[b]; });
    qint64 s = 0;
    for (quint32 r : all)
        m_seq[r] = (s += SeqStep);
}

void RowStore::relayout(std::vector<quint32>& order) {
    const size_t n = m_alive.size(), nc = cols.size();
    if (n < 2 || order.size() != n) return;
    std::vector<Cell> cells(m_cells.size());
    std::vector<qint64> seq(n);
    std::vector<quint32> inv(n);
    for (size_t i = 0; i < order.size(); ++i) {
        const quint32 src = order[i];
        if (nc) std::memcpy(cells.data() + i * nc, row(src), nc * sizeof(Cell));
        seq[i] = m_seq[src];
        inv[src] = quint32(i);
        order[i] = quint32(i);
    }
    for (quint32& r : m_arrival)
        r = inv[r];
    m_cells = std::move(cells);
    m_seq = std::move(seq);
    m_alive.assign(n, 1);
}

} // namespace kvo::data
