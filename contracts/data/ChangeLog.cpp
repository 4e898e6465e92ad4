#include "ChangeLog.h"

#include "TField.h"

#include <algorithm>
#include <cstring>

namespace kvo::data {

void ChangeLog::clear() {
    m_entries.clear();
    m_orig.clear();
    m_slot.clear();
    m_count = 0;
}

void ChangeLog::drop(quint32 at) {
    m_entries[at].dropped = true;
    m_slot[m_entries[at].row] = None;
    --m_count;
}

void ChangeLog::record(quint32 r, TChange::Op op, const Cell* orig, int ncols, bool logging) {
    const quint32 at = entryOf(r);
    if (!logging) {
        if (at != None && op == TChange::Delete) drop(at);
        return;
    }
    if (at == None) {
        if (r >= m_slot.size()) m_slot.resize(std::max<size_t>(r + 1, m_slot.size() * 2), None);
        m_slot[r] = quint32(m_entries.size());
        m_entries.push_back({r, op, false, m_orig.size()});
        if (op != TChange::Insert) m_orig.insert(m_orig.end(), orig, orig + ncols);
        ++m_count;
        return;
    }
    if (op != TChange::Delete) return; // a modify of an inserted or modified row keeps its entry
    if (m_entries[at].op == TChange::Insert)
        drop(at);
    else
        m_entries[at].op = TChange::Delete;
}

void ChangeLog::renumber(const std::vector<quint32>& inv) {
    std::fill(m_slot.begin(), m_slot.end(), None);
    m_slot.resize(inv.size(), None);
    for (quint32 at = 0; at < m_entries.size(); ++at) {
        Entry& e = m_entries[at];
        e.row = inv[e.row];
        if (!e.dropped) m_slot[e.row] = at;
    }
}

bool ChangeLog::revert(RowStore& store) {
    bool reordered = false;
    const size_t bytes = store.cols.size() * sizeof(Cell);
    for (const Entry& e : m_entries) {
        if (e.dropped) continue;
        switch (e.op) {
        case TChange::Insert:
            store.setLive(e.row, false);
            reordered = true;
            break;
        case TChange::Modify:
            if (bytes) std::memcpy(store.row(e.row), m_orig.data() + e.orig, bytes);
            break;
        case TChange::Delete:
            if (bytes) std::memcpy(store.row(e.row), m_orig.data() + e.orig, bytes);
            store.setLive(e.row, true);
            reordered = true;
            break;
        }
    }
    clear();
    return reordered;
}

TChangeLog ChangeLog::delta(const RowStore& store) const {
    TChangeLog out;
    for (const Column& c : store.cols)
        out.fields.push_back({c.field->FieldName(), c.type, c.size});
    auto values = [&store](const Cell* rc) {
        QVector<QVariant> v;
        v.reserve(store.ncols());
        for (int c = 0; c < store.ncols(); ++c)
            v.push_back(cellValue(store.cols[c], rc[c]));
        return v;
    };
    for (const Entry& e : m_entries) {
        if (e.dropped) continue;
        TChange ch;
        ch.op = e.op;
        if (e.op != TChange::Insert) ch.oldValues = values(m_orig.data() + e.orig);
        if (e.op != TChange::Delete) ch.newValues = values(store.row(e.row));
        out.changes.push_back(std::move(ch));
    }
    return out;
}

} // namespace kvo::data
