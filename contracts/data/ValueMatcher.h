#pragma once

// One condition on one column's stored cells, shared by the filter's comparisons and by Locate:
// bound once to a column, then tested against cells without converting them back to values.

#include "CellValue.h"

#include <vector>

namespace kvo::data {

class ValueMatcher {
public:
    enum Op { Eq, Ne, Lt, Le, Gt, Ge };

    // A filter comparison "FIELD op literal": a text field against a number, or a date field
    // against anything but a date text, matches no row; NULL matches null cells under = and <>.
    static ValueMatcher comparison(const Column& col, int column, Op op, const QVariant& literal);
    // A locate key: equality, texts optionally case-insensitive and/or by prefix; a null key
    // matches null cells.
    static ValueMatcher key(const Column& col, int column, const QVariant& key, bool caseInsensitive,
                            bool partial);

    int column() const { return m_column; }
    bool matches(const Column& col, Cell c) const;
    // The id a text equality compares with, for scans that read the ids straight from the rows;
    // false when this is no plain text equality. *equal is false for <>.
    bool textIdentity(const Column& col, quint32* id, bool* equal) const;
    // For a case-insensitive or partial text key: whether each pool id matches (index by the cell's
    // id), complete for the pool as it is now; nullptr for any other condition.
    const std::vector<quint8>* textTable(const Column& col) const;
    // For a plain equality key, the one cell it matches, so an index can be searched for it.
    enum KeyCell { NotExact, NoRow, Exact };
    KeyCell keyCell(const Column& col, Cell* out) const;

private:
    enum Mode { Never, Null, TextId, TextOrder, TextTable, Number, Day };
    bool compare(int cmp) const;
    quint32 textId(const Column& col) const;

    Mode m_mode = Never;
    Op m_op = Eq;
    int m_column = -1;
    bool m_caseInsensitive = false, m_partial = false;
    double m_number = 0;
    qint64 m_day = 0;
    QString m_text; // padded for fixed texts
    // Looked up again when the pool grew: a text no row held may be stored since.
    mutable quint32 m_textId = 0;
    mutable size_t m_poolSeen = SIZE_MAX;
    // TextTable: whether each pool id matches, extended as the pool grows.
    mutable std::vector<quint8> m_table;
};

} // namespace kvo::data
