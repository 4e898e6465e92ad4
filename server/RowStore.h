#pragma once

// Generic row access for applying change logs: a table's columns, reading a row out of a change
// log, and locking, inserting, updating and deleting it by key. A row holds one value per table
// column, in the table's column order; large logs touch thousands of rows, so rows are plain
// vectors and the statement texts are built once per table.

#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <QVector>
#include <optional>

#include "Database.h"
#include "data/TDataPacket.h"

namespace kvo::server {

struct Column {
    QString name;
    TFieldType type;
    int size; // texts
    bool key;
};

class TableDef {
public:
    TableDef(QString table, QVector<Column> columns);

    QString table;
    QVector<Column> columns;
    QVector<int> keys;   // positions of the key columns
    QString selectList;  // "A, B, ..." in column order
    QString keyWhere;    // "K1 = ? AND K2 = ?"
    QVector<int> byName; // column positions in name order
    // For each of byName, what opens its member in a JSON object: ,"NAME": (no comma for the first).
    QVector<QByteArray> jsonMembers;

    int indexOf(const QString& name) const; // -1 when absent
};

using Row = QVector<QVariant>;

// Where each table column sits in a change log (-1 when the log lacks it).
QVector<int> columnIndexes(const TableDef& def, const TChangeLog& log);
// The table's columns of one change-log row; missing columns are null.
Row rowFromLog(const TableDef& def, const QVector<int>& idx, const QVector<QVariant>& values);
// Positions of the columns present in the log whose old and new values differ.
QVector<int> changedColumns(const TableDef& def, const QVector<int>& idx, const TChange& c);
bool sameKey(const TableDef& def, const Row& a, const Row& b);
// The one order in which rows are locked, so that no two transactions wait for each other in a
// cycle: key columns in table order, texts by code unit, days by date.
bool keyLess(const TableDef& def, const Row& a, const Row& b);
// The same for the keys of two change-log rows, read in place.
bool keyLess(const TableDef& def, const QVector<int>& idx, const QVector<QVariant>& a,
             const QVector<QVariant>& b);

// A bit (1 << column) for each of the columns.
quint64 columnMask(const QVector<int>& columns);

// An empty text when the row's values fit the columns, else the message to show.
QString checkValues(const TableDef& def, const Row& row);

// Reads the row with that key, locking it for the transaction where the database can.
std::optional<Row> lockRow(StatementCache& sc, const TableDef& def, const Row& key);
// Every row matching the given column values, in key order (locked likewise, in that order).
QVector<Row> lockRows(StatementCache& sc, const TableDef& def, const QVector<int>& where,
                      const QVariantList& values);
// The same rows read without locking them.
QVector<Row> readRows(StatementCache& sc, const TableDef& def, const QVector<int>& where,
                      const QVariantList& values);
void insertRow(StatementCache& sc, const TableDef& def, const Row& row);
// Writes the given columns of the row found by oldKey.
void updateRow(StatementCache& sc, const TableDef& def, const Row& oldKey, const Row& row,
               const QVector<int>& columns);
void deleteRow(StatementCache& sc, const TableDef& def, const Row& key);

QVariant dbValue(const Column& c, const QVariant& v);

} // namespace kvo::server
