#pragma once

// What changed since the last load or merge: one entry per row, knowing its operation and, for a
// modified or deleted row, the values it had. Reverting puts the rows back as they were.

#include "RowStore.h"

#include <unordered_map>

namespace kvo::data {

class ChangeLog {
public:
    // Notes a change of row r; orig is the row's values before it (unused for an insert). Editing
    // an inserted row keeps it an insert; deleting it removes its entry. With logging off the change
    // goes straight into the data, and deleting a logged row still drops its entry.
    void record(quint32 r, TChange::Op op, const Cell* orig, int ncols, bool logging);
    int size() const { return int(m_entries.size()); }
    bool empty() const { return m_entries.empty(); }
    void clear() { m_entries.clear(); }
    // The rows were laid out again: inv maps each old row id to its new one.
    void renumber(const std::vector<quint32>& inv);

    // Restores every logged row in the store (values, and life for inserts and deletes) and empties
    // the log. True when rows came or went.
    bool revert(RowStore& store);
    // The log as a packet, in the order the changes were first made.
    TChangeLog delta(const RowStore& store) const;

private:
    struct Entry {
        TChange::Op op = TChange::Insert;
        std::vector<Cell> orig; // Modify, Delete
        quint64 order = 0;
    };
    std::unordered_map<quint32, Entry> m_entries;
    quint64 m_order = 0;
};

} // namespace kvo::data
