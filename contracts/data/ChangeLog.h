#pragma once

// What changed since the last load or merge: one entry per row, knowing its operation and, for a
// modified or deleted row, the values it had. Reverting puts the rows back as they were.
// Entries sit in one list in the order they were first made, a modified row's old values in one
// flat block, and a bit per row id says whether the row has an entry, which a hash table by row id
// then finds. Both stay small for a few changes to a big set: a table with a slot per row would
// cost a cache miss per change at 100k rows. A deleted row keeps its cells in the store, so they
// are its old values and are not copied. The room is reserved with the rows at load: right after a
// load the heap is churned, and every growth then costs up to a millisecond.

#include "RowStore.h"

namespace kvo::data {

class ChangeLog {
public:
    // Room for rows ids below `rows` (and some more) and for changes to a share of them; empties the
    // log.
    void sizeFor(size_t rows);
    // Notes a change of row r; orig is the row's values before a modify (unused otherwise). Editing
    // an inserted row keeps it an insert; deleting it removes its entry. With logging off the change
    // goes straight into the data, and deleting a logged row still drops its entry.
    void record(quint32 r, TChange::Op op, const Cell* orig, int ncols, bool logging);
    int size() const { return m_count; }
    bool empty() const { return m_count == 0; }
    void clear(); // keeps the room
    // The rows were laid out again: inv maps each old row id to its new one.
    void renumber(const std::vector<quint32>& inv);

    // Restores every logged row in the store (values, and life for inserts and deletes) and empties
    // the log. True when rows came or went.
    bool revert(RowStore& store);
    // The log as a packet, in the order the changes were first made.
    TChangeLog delta(const RowStore& store) const;

private:
    static constexpr quint32 None = 0xFFFFFFFFu;
    struct Entry {
        quint32 row;
        quint32 orig; // which row of m_orig holds its old values; None when the store holds them
        TChange::Op op;
        bool dropped; // an insert deleted again: no change at all
    };
    struct Slot {
        quint32 row; // None: empty
        quint32 at;  // its entry, current while the row's bit is set
    };
    static constexpr size_t MinSlots = 64;
    quint32 entryOf(quint32 r) const {
        return r < m_logged.size() && m_logged[r] ? m_slots[slotOf(r)].at : None;
    }
    // The slot holding row r, or the empty one where it goes.
    size_t slotOf(quint32 r) const {
        const size_t mask = m_slots.size() - 1;
        size_t i = size_t((quint64(r) * 0x9E3779B97F4A7C15ull) >> 32) & mask;
        while (m_slots[i].row != r && m_slots[i].row != None)
            i = (i + 1) & mask;
        return i;
    }
    void setEntry(quint32 r, quint32 at);
    void rehash(size_t count); // from the entries not dropped
    void drop(quint32 at);
    const Cell* oldValues(const Entry& e, const RowStore& store) const {
        return e.orig == None ? store.row(e.row) : m_orig.data() + size_t(e.orig) * store.cols.size();
    }

    std::vector<Entry> m_entries;
    std::vector<Cell> m_orig;   // rows of ncols cells
    std::vector<bool> m_logged; // row id -> whether it has an entry
    std::vector<Slot> m_slots;  // a power of two, at most half used
    size_t m_used = 0;          // slots holding a row (a dropped entry's row included)
    int m_count = 0;            // entries not dropped
};

} // namespace kvo::data
