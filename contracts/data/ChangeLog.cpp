#include "ChangeLog.h"

#include "TField.h"

#include <algorithm>
#include <cstring>

namespace kvo::data {

void ChangeLog::sizeFor(size_t rows) {
    const size_t room = RowStore::withSpare(rows);
    m_entries.clear();
    m_entries.reserve(room - rows);
    m_orig.clear();
    m_logged.clear();
    m_logged.reserve(room);
    m_logged.resize(rows, false);
    size_t count = MinSlots;
    while (count < 2 * (room - rows))
        count *= 2;
    m_slots.clear();
    m_slots.reserve(count);
    rehash(MinSlots);
    m_count = 0;
}

void ChangeLog::clear() {
    for (const Entry& e : m_entries)
        if (e.row < m_logged.size()) m_logged[e.row] = false;
    m_entries.clear();
    m_orig.clear();
    rehash(MinSlots);
    m_count = 0;
}

void ChangeLog::rehash(size_t count) {
    m_slots.assign(count, {None, 0});
    m_used = 0;
    for (quint32 at = 0; at < m_entries.size(); ++at) {
        const Entry& e = m_entries[at];
        if (e.dropped) continue;
        m_slots[slotOf(e.row)] = {e.row, at};
        ++m_used;
    }
}

void ChangeLog::setEntry(quint32 r, quint32 at) {
    if (r >= m_logged.size()) m_logged.resize(r + 1, false);
    m_logged[r] = true;
    size_t i = slotOf(r);
    if (m_slots[i].row == None) {
        if (2 * (m_used + 1) > m_slots.size()) {
            rehash(2 * m_slots.size());
            i = slotOf(r);
        }
        ++m_used;
    }
    m_slots[i] = {r, at};
}

void ChangeLog::drop(quint32 at) {
    m_entries[at].dropped = true;
    m_logged[m_entries[at].row] = false;
    --m_count;
}

void ChangeLog::record(quint32 r, TChange::Op op, const Cell* orig, int ncols, bool logging) {
    const quint32 at = entryOf(r);
    if (!logging) {
        if (at != None && op == TChange::Delete) drop(at);
        return;
    }
    if (at == None) {
        setEntry(r, quint32(m_entries.size()));
        quint32 saved = None;
        if (op == TChange::Modify) {
            saved = ncols ? quint32(m_orig.size() / size_t(ncols)) : 0;
            m_orig.insert(m_orig.end(), orig, orig + ncols);
        }
        m_entries.push_back({r, saved, op, false});
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
    m_logged.assign(inv.size(), false);
    for (Entry& e : m_entries) {
        e.row = inv[e.row];
        if (!e.dropped) m_logged[e.row] = true;
    }
    rehash(m_slots.size());
}

bool ChangeLog::revert(RowStore& store) {
    bool reordered = false;
    const size_t bytes = store.cols.size() * sizeof(Cell);
    for (const Entry& e : m_entries) {
        if (e.dropped) continue;
        if (e.orig != None && bytes) std::memcpy(store.row(e.row), oldValues(e, store), bytes);
        if (e.op != TChange::Modify) {
            store.setLive(e.row, e.op == TChange::Delete);
            reordered = true;
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
        if (e.op != TChange::Insert) ch.oldValues = values(oldValues(e, store));
        if (e.op != TChange::Delete) ch.newValues = values(store.row(e.row));
        out.changes.push_back(std::move(ch));
    }
    return out;
}

} // namespace kvo::data
