#pragma once

// What changed since the last load or merge: one entry per row, knowing its operation and, for a
// modified or deleted row, the values it had. Reverting puts the rows back as they were.
// Entries sit in one list in the order they were first made, their old values in one flat block,
// and a table by row id finds a row's entry, so logging a change allocates nothing per row.

#include "RowStore.h"

namespace kvo::data {

class ChangeLog {
public:
    // Notes a change of row r; orig is the row's values before it (unused for an insert). Editing
    // an inserted row keeps it an insert; deleting it removes its entry. With logging off the change
    // goes straight into the data, and deleting a logged row still drops its entry.
    void record(quint32 r, TChange::Op op, const Cell* orig, int ncols, bool logging);
    int size() const { return m_count; }
    bool empty() const { return m_count == 0; }
    void clear();
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
        TChange::Op op;
        bool dropped; // an insert deleted again: no change at all
        size_t orig;  // where its old values start in m_orig (Modify, Delete)
    };
    quint32 entryOf(quint32 r) const { return r < m_slot.size() ? m_slot[r] : None; }
    void drop(quint32 at);

    std::vector<Entry> m_entries;
    std::vector<Cell> m_orig;
    std::vector<quint32> m_slot; // row id -> its entry, None when the row is unchanged
    int m_count = 0;             // entries not dropped
};

} // namespace kvo::data
