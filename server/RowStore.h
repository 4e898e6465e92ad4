#pragma once

// Generic row access for applying change logs: a table's columns, reading a row out of a change
// log, and locking, inserting, updating and deleting it by key.

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
    int size;  // texts
    bool key;
};

struct TableDef {
    QString table;
    QVector<Column> columns;
    QVector<const Column*> keys() const;
};

using Row = QHash<QString, QVariant>;

// Where each table column sits in a change log (-1 when the log lacks it).
QVector<int> columnIndexes(const TableDef& def, const TChangeLog& log);
// The table's columns of one change-log row; missing columns are null.
Row rowFromLog(const TableDef& def, const QVector<int>& idx, const QVector<QVariant>& values);
// Columns present in the log whose old and new values differ.
QVector<const Column*> changedColumns(const TableDef& def, const QVector<int>& idx, const TChange& c);

// An empty text when the row's values fit the columns, else the message to show.
QString checkValues(const TableDef& def, const Row& row);

// Reads the row with that key, locking it for the transaction where the database can.
std::optional<Row> lockRow(StatementCache& sc, const TableDef& def, const Row& key);
// Every row matching the given column values (locked likewise).
QVector<Row> lockRows(StatementCache& sc, const TableDef& def, const QVector<const Column*>& where, const QVariantList& values);
void insertRow(StatementCache& sc, const TableDef& def, const Row& row);
// Rewrites the row found by oldKey; the key columns are written only when they changed.
void updateRow(StatementCache& sc, const TableDef& def, const Row& oldKey, const Row& row, bool keyChanged = true);
void deleteRow(StatementCache& sc, const TableDef& def, const Row& key);

QVariant dbValue(const Column& c, const QVariant& v);

} // namespace kvo::server
