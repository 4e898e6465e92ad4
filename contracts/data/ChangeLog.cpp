#include "ChangeLog.h"

#include "TField.h"

#include <algorithm>
#include <cstring>

namespace kvo::data {

void ChangeLog::record(quint32 r, TChange::Op op, const Cell* orig, int ncols, bool logging) {
    auto it = m_entries.find(r);
    if (!logging) {
        if (it != m_entries.end() && op == TChange::Delete) m_entries.erase(it);
        return;
    }
    if (it == m_entries.end()) {
        Entry e;
        e.op = op;
        e.order = ++m_order;
        if (op != TChange::Insert) e.orig.assign(orig, orig + ncols);
        m_entries.emplace(r, std::move(e));
        return;
    }
    if (op != TChange::Delete) return; // a modify of an inserted or modified row keeps its entry
    if (it->second.op == TChange::Insert)
        m_entries.erase(it);
    else
        it->second.op = TChange::Delete;
}

void ChangeLog::renumber(const std::vector<quint32>& inv) {
    std::unordered_map<quint32, Entry> moved;
    moved.reserve(m_entries.size());
    for (auto& [r, e] : m_entries)
        moved.emplace(inv[r], std::move(e));
    m_entries = std::move(moved);
}

bool ChangeLog::revert(RowStore& store) {
    bool reordered = false;
    const size_t bytes = store.cols.size() * sizeof(Cell);
    for (auto& [r, e] : m_entries) {
        switch (e.op) {
        case TChange::Insert:
            store.setLive(r, false);
            reordered = true;
            break;
        case TChange::Modify:
            if (bytes) std::memcpy(store.row(r), e.orig.data(), bytes);
            break;
        case TChange::Delete:
            if (bytes) std::memcpy(store.row(r), e.orig.data(), bytes);
            store.setLive(r, true);
            reordered = true;
            break;
        }
    }
    m_entries.clear();
    return reordered;
}

TChangeLog ChangeLog::delta(const RowStore& store) const {
    TChangeLog out;
    for (const Column& c : store.cols)
        out.fields.push_back({c.field->FieldName(), c.type, c.size});
    std::vector<std::pair<quint64, quint32>> order;
    order.reserve(m_entries.size());
    for (const auto& [r, e] : m_entries)
        order.emplace_back(e.order, r);
    std::sort(order.begin(), order.end());
    auto values = [&store](const Cell* rc) {
        QVector<QVariant> v;
        v.reserve(store.ncols());
        for (int c = 0; c < store.ncols(); ++c)
            v.push_back(cellValue(store.cols[c], rc[c]));
        return v;
    };
    for (const auto& [o, r] : order) {
        const Entry& e = m_entries.at(r);
        TChange ch;
        ch.op = e.op;
        if (e.op != TChange::Insert) ch.oldValues = values(e.orig.data());
        if (e.op != TChange::Delete) ch.newValues = values(store.row(r));
        out.changes.push_back(std::move(ch));
    }
    return out;
}

} // namespace kvo::data
