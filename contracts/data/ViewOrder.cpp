#include "ViewOrder.h"

#include <algorithm>

namespace kvo::data {

int ViewOrder::find(quint32 row) const {
    const auto it = std::find(rows.begin(), rows.end(), row);
    return it == rows.end() ? -1 : int(it - rows.begin());
}

// Nulls before values; texts by their characters.
int ViewOrder::compareCells(const Column& col, Cell x, Cell y) {
    const bool nx = cellNull(col.type, x), ny = cellNull(col.type, y);
    if (nx || ny) return nx == ny ? 0 : nx ? -1 : 1;
    switch (col.type) {
    case ftString:
    case ftFixedChar:
        return x.s == y.s ? 0 : col.pool.text(x.s).compare(col.pool.text(y.s));
    case ftFloat:
        return x.f == y.f ? 0 : x.f < y.f ? -1 : 1;
    case ftDateTime:
        return x.day == y.day ? 0 : x.day < y.day ? -1 : 1;
    }
    return 0;
}

// Index columns first, then arrival, so the order is total and stable.
int ViewOrder::compare(const RowStore& store, quint32 a, quint32 b) const {
    const Cell* ca = store.row(a);
    const Cell* cb = store.row(b);
    for (int c : m_index)
        if (const int r = compareCells(store.cols[c], ca[c], cb[c])) return r;
    if (a == b) return 0;
    return store.arrivedBefore(a, b) ? -1 : 1;
}

int ViewOrder::seek(const RowStore& store, const std::vector<Cell>& key) const {
    auto order = [&](quint32 r) {
        const Cell* rc = store.row(r);
        for (size_t k = 0; k < key.size(); ++k)
            if (const int c = compareCells(store.cols[m_index[k]], rc[m_index[k]], key[k])) return c;
        return 0;
    };
    const auto it = std::partition_point(rows.begin(), rows.end(), [&](quint32 r) { return order(r) < 0; });
    return it != rows.end() && order(*it) == 0 ? int(it - rows.begin()) : -1;
}

size_t ViewOrder::lowerBound(const RowStore& store, const std::vector<quint32>& v, quint32 row) const {
    if (m_index.empty())
        return size_t(std::lower_bound(v.begin(), v.end(), row,
                                       [&store](quint32 a, quint32 b) { return store.arrivedBefore(a, b); }) -
                      v.begin());
    size_t lo = 0, hi = v.size();
    while (lo < hi) {
        const size_t mid = (lo + hi) / 2;
        if (compare(store, v[mid], row) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

void ViewOrder::filterView(const RowStore& store) {
    if (!m_filter) {
        if (m_sortedKept) rows = std::move(m_sorted);
        m_sorted.clear();
        m_sortedKept = false;
        return;
    }
    rows.clear();
    quint32 id = 0;
    bool equal = false;
    const ValueMatcher* single = m_filter->single();
    if (single && single->textIdentity(store.cols[single->column()], &id, &equal)) {
        // The usual "FIELD = 'text'": one id comparison per row.
        const size_t nc = store.cols.size(), c = size_t(single->column());
        const Cell* base = store.row(0);
        for (quint32 r : m_sorted)
            if ((base[size_t(r) * nc + c].s == id) == equal) rows.push_back(r);
        return;
    }
    for (quint32 r : m_sorted)
        if (m_filter->matches(store.cols, store.row(r))) rows.push_back(r);
}

// The same order as compare(), with each text column's ids ranked once by their texts, so the sort
// compares numbers instead of texts.
std::vector<quint32> ViewOrder::rebuild(RowStore& store, bool relayout) {
    m_sorted.clear();
    m_sortedKept = true;
    for (quint32 r : store.arrival())
        if (store.live(r)) m_sorted.push_back(r);
    if (!m_index.empty()) {
        std::vector<std::vector<quint32>> ranks(m_index.size());
        for (size_t k = 0; k < m_index.size(); ++k) {
            const Column& col = store.cols[m_index[k]];
            if (!isText(col.type)) continue;
            std::vector<quint32> ids(col.pool.size());
            for (quint32 id = 0; id < ids.size(); ++id)
                ids[id] = id;
            std::sort(ids.begin() + 1, ids.end(), [&col](quint32 x, quint32 y) {
                return col.pool.text(x).compare(col.pool.text(y)) < 0;
            });
            ranks[k].resize(ids.size()); // the null text (id 0) ranks first
            for (quint32 i = 0; i < ids.size(); ++i)
                ranks[k][ids[i]] = i;
        }
        const size_t nc = store.cols.size();
        const Cell* base = store.row(0);
        std::sort(m_sorted.begin(), m_sorted.end(), [&](quint32 a, quint32 b) {
            const Cell* ca = base + size_t(a) * nc;
            const Cell* cb = base + size_t(b) * nc;
            for (size_t k = 0; k < m_index.size(); ++k) {
                const int c = m_index[k];
                const Cell x = ca[c], y = cb[c];
                const TFieldType type = store.cols[c].type;
                if (isText(type)) {
                    if (x.s != y.s) return ranks[k][x.s] < ranks[k][y.s];
                    continue;
                }
                const bool nx = cellNull(type, x), ny = cellNull(type, y);
                if (nx || ny) {
                    if (nx != ny) return nx;
                    continue;
                }
                if (type == ftFloat && x.f != y.f) return x.f < y.f;
                if (type == ftDateTime && x.day != y.day) return x.day < y.day;
            }
            return store.arrivedBefore(a, b);
        });
    }
    std::vector<quint32> moved;
    if (relayout) moved = store.relayout(m_sorted);
    filterView(store);
    return moved;
}

void ViewOrder::clear() {
    rows.clear();
    m_sorted.clear();
    m_sortedKept = m_filter.has_value();
}

void ViewOrder::unsort(const RowStore& store, quint32 row) {
    if (!m_sortedKept) return; // the caller takes it out of the view
    const size_t p = lowerBound(store, m_sorted, row);
    if (p < m_sorted.size() && m_sorted[p] == row) {
        m_sorted.erase(m_sorted.begin() + qsizetype(p));
        return;
    }
    const auto it = std::find(m_sorted.begin(), m_sorted.end(), row); // only if the order was disturbed
    if (it != m_sorted.end()) m_sorted.erase(it);
}

int ViewOrder::place(const RowStore& store, quint32 row) {
    if (m_sortedKept) m_sorted.insert(m_sorted.begin() + qsizetype(lowerBound(store, m_sorted, row)), row);
    if (!passes(store, store.row(row))) return -1;
    const size_t p = lowerBound(store, rows, row);
    rows.insert(rows.begin() + qsizetype(p), row);
    return int(p);
}

} // namespace kvo::data
