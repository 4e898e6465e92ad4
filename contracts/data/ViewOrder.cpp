#include "ViewOrder.h"

#include <algorithm>

namespace kvo::data {

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

int ViewOrder::seek(const RowStore& store, const Cell* key, size_t keys) const {
    auto order = [&](quint32 r) {
        const Cell* rc = store.row(r);
        for (size_t k = 0; k < keys; ++k)
            if (const int c = compareCells(store.cols[m_index[k]], rc[m_index[k]], key[k])) return c;
        return 0;
    };
    const int pos = rows.partitionPoint([&](quint32 r) { return order(r) < 0; });
    return pos < rows.size() && order(rows[pos]) == 0 ? pos : -1;
}

int ViewOrder::lowerBound(const RowStore& store, const RowList& v, quint32 row) const {
    if (m_index.empty()) return v.partitionPoint([&](quint32 a) { return store.arrivedBefore(a, row); });
    return v.partitionPoint([&](quint32 a) { return compare(store, a, row) < 0; });
}

void ViewOrder::filterView(const RowStore& store) {
    if (!m_filter) {
        if (m_sortedKept) rows = std::move(m_sorted);
        m_sorted.clear();
        m_sortedKept = false;
        return;
    }
    std::vector<quint32> passed;
    quint32 id = 0;
    bool equal = false;
    const ValueMatcher* single = m_filter->single();
    if (single && single->textIdentity(store.cols[single->column()], &id, &equal)) {
        // The usual "FIELD = 'text'": one id comparison per row.
        const size_t nc = store.cols.size(), c = size_t(single->column());
        const Cell* base = store.row(0);
        m_sorted.forEach([&](quint32 r) {
            if ((base[size_t(r) * nc + c].s == id) == equal) passed.push_back(r);
        });
    } else {
        m_sorted.forEach([&](quint32 r) {
            if (m_filter->matches(store.cols, store.row(r))) passed.push_back(r);
        });
    }
    rows.assign(passed);
}

// The same order as compare(), with each text column's ids ranked once by their texts, so the sort
// compares numbers instead of texts.
std::vector<quint32> ViewOrder::rebuild(RowStore& store, bool relayout) {
    std::vector<quint32> sorted;
    sorted.reserve(size_t(store.arrival().size()));
    store.arrival().forEach([&](quint32 r) {
        if (store.live(r)) sorted.push_back(r);
    });
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
        std::sort(sorted.begin(), sorted.end(), [&](quint32 a, quint32 b) {
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
    if (relayout) moved = store.relayout(sorted);
    m_sorted.assign(sorted);
    m_sortedKept = true;
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
    const int p = lowerBound(store, m_sorted, row);
    if (p < m_sorted.size() && m_sorted[p] == row) {
        m_sorted.erase(p);
        return;
    }
    const int at = m_sorted.find(row); // only if the order was disturbed
    if (at >= 0) m_sorted.erase(at);
}

int ViewOrder::place(const RowStore& store, quint32 row) {
    if (m_sortedKept) m_sorted.insert(lowerBound(store, m_sorted, row), row);
    if (!passes(store, store.row(row))) return -1;
    const int p = lowerBound(store, rows, row);
    rows.insert(p, row);
    return p;
}

} // namespace kvo::data
