#pragma once

// How the record set holds one value, and every conversion between a stored cell and a QVariant:
// what a field write accepts, what a read gives, what a packet row holds, and how a filter literal
// or a locate key becomes comparable with stored cells.

#include "TDataPacket.h"
#include "TextPool.h"

#include <QVariant>
#include <cmath>
#include <limits>

class TField;

namespace kvo::data {

// One stored value, 8 bytes. Texts are ids into their column's pool (0 = null), floats are doubles
// (NaN = null: no NaN is ever stored as a value), dates are julian day numbers.
union Cell {
    quint64 bits;
    double f;
    qint64 day;
    quint32 s;
};

constexpr qint64 NullDay = std::numeric_limits<qint64>::min();

inline bool isText(TFieldType type) {
    return type == ftString || type == ftFixedChar;
}

inline Cell nullCell(TFieldType type) {
    Cell c;
    c.bits = 0;
    if (type == ftFloat)
        c.f = std::numeric_limits<double>::quiet_NaN();
    else if (type == ftDateTime)
        c.day = NullDay;
    return c;
}

inline bool cellNull(TFieldType type, Cell c) {
    switch (type) {
    case ftFloat:
        return std::isnan(c.f);
    case ftDateTime:
        return c.day == NullDay;
    default:
        return c.s == 0;
    }
}

// A data field's stored values.
struct Column {
    TField* field = nullptr;
    TFieldType type = ftString;
    int size = 0;
    TextPool pool;
};

// A written number: a number or a number text with a decimal comma or point. False otherwise.
bool numberOf(const QVariant& v, double* out);
// A written date: QDate, QDateTime (its day) or a date text. False when it is none of these;
// *day is NullDay for a null date.
bool dayOf(const QVariant& v, qint64* day);
// A text cut to size characters, padded to size for a fixed text.
QString fitText(const QString& s, TFieldType type, int size);

// A field write into a cell; throws EDatabaseError for a value the column cannot hold.
Cell writtenCell(Column& col, const QVariant& v);
// A packet value into a cell; throws EDatabaseError naming the row and field.
Cell packetCell(Column& col, const QVariant& v, qsizetype row);
// The value of a cell: QString, double, QDate, or a null QVariant.
QVariant cellValue(const Column& col, Cell c);
// A calculated field's value as its type holds it (null QVariant for no value).
QVariant calcValue(TFieldType type, int size, const QVariant& v);

} // namespace kvo::data
