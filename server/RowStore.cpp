#include "RowStore.h"

#include "Database.h"
#include "PacketBuild.h"
#include "Texts.h"

#include <QStringList>
#include <cmath>

namespace kvo::server {

QVector<const Column*> TableDef::keys() const
{
    QVector<const Column*> k;
    for (const Column& c : columns)
        if (c.key)
            k << &c;
    return k;
}

QVector<int> columnIndexes(const TableDef& def, const TChangeLog& log)
{
    QVector<int> idx;
    for (const Column& c : def.columns)
        idx << log.FieldIndex(c.name);
    return idx;
}

// A stored value as rows carry it: dates as QDate (cheap to build and compare), others as read.
static QVariant storedValue(const Column& c, const QVariant& v)
{
    if (v.isNull())
        return {};
    if (c.type == ftDateTime) {
        const QDate d = dateFromDb(v);
        return d.isValid() ? QVariant(d) : QVariant();
    }
    if (c.type == ftFloat)
        return v.toDouble();
    return v.toString();
}

Row rowFromLog(const TableDef& def, const QVector<int>& idx, const QVector<QVariant>& values)
{
    Row r;
    r.reserve(def.columns.size());
    for (int i = 0; i < def.columns.size(); ++i) {
        const int j = idx.at(i);
        QVariant v = j >= 0 && j < values.size() ? values.at(j) : QVariant();
        if (def.columns.at(i).type == ftDateTime && !v.isNull()) {
            const QDate d = logDate(v);
            // A malformed date stays as it came so the value check can name it.
            if (d.isValid())
                v = d;
        }
        r.insert(def.columns.at(i).name, v);
    }
    return r;
}

QVector<const Column*> changedColumns(const TableDef& def, const QVector<int>& idx, const TChange& c)
{
    QVector<const Column*> out;
    for (int i = 0; i < def.columns.size(); ++i) {
        const int j = idx.at(i);
        if (j < 0)
            continue;
        const Column& col = def.columns.at(i);
        if (!sameValue(col.type, c.oldValues.value(j), c.newValues.value(j)))
            out << &col;
    }
    return out;
}

QString checkValues(const TableDef& def, const Row& row)
{
    for (const Column& c : def.columns) {
        const QVariant v = row.value(c.name);
        if (c.key) {
            const bool empty = c.type == ftDateTime ? !logDate(v).isValid() : logText(v).trimmed().isEmpty();
            if (empty)
                return texts::KeyMissing.arg(c.name);
        }
        if (v.isNull())
            continue;
        switch (c.type) {
        case ftString:
        case ftFixedChar:
            if (logText(v).size() > c.size)
                return texts::TooLong.arg(c.name).arg(c.size);
            break;
        case ftFloat:
            if (std::isnan(logNum(v)))
                return QStringLiteral("Valor inválido no campo %1.").arg(c.name);
            break;
        case ftDateTime:
            if (!logDate(v).isValid())
                return QStringLiteral("Data inválida no campo %1.").arg(c.name);
            break;
        }
    }
    return {};
}

QVariant dbValue(const Column& c, const QVariant& v)
{
    switch (c.type) {
    case ftString:
    case ftFixedChar:
        return v.isNull() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(logText(v));
    case ftFloat:
        return logNum(v);
    case ftDateTime:
        return dateParam(logDate(v));
    }
    return {};
}

static QString keyWhere(const TableDef& def, QVariantList& args, const Row& key)
{
    QStringList parts;
    for (const Column* c : def.keys()) {
        parts << c->name + QStringLiteral(" = ?");
        args << dbValue(*c, key.value(c->name));
    }
    return parts.join(QStringLiteral(" AND "));
}

std::optional<Row> lockRow(StatementCache& sc, const TableDef& def, const Row& key)
{
    QStringList names;
    for (const Column& c : def.columns)
        names << c.name;
    QVariantList args;
    QString sql = QStringLiteral("SELECT %1 FROM %2 WHERE %3")
                      .arg(names.join(QStringLiteral(", ")), def.table, keyWhere(def, args, key));
    if (dialectOf(sc.db()) == Dialect::PostgreSQL)
        sql += QStringLiteral(" FOR UPDATE");
    QSqlQuery& q = sc.exec(sql, args);
    if (!q.next())
        return std::nullopt;
    Row r;
    for (int i = 0; i < def.columns.size(); ++i)
        r.insert(def.columns.at(i).name, storedValue(def.columns.at(i), q.value(i)));
    q.finish();
    return r;
}

QVector<Row> lockRows(StatementCache& sc, const TableDef& def, const QVector<const Column*>& where, const QVariantList& values)
{
    QStringList names, conds;
    for (const Column& c : def.columns)
        names << c.name;
    QVariantList args;
    for (int i = 0; i < where.size(); ++i) {
        conds << where[i]->name + QStringLiteral(" = ?");
        args << dbValue(*where[i], values.value(i));
    }
    QString sql = QStringLiteral("SELECT %1 FROM %2 WHERE %3")
                      .arg(names.join(QStringLiteral(", ")), def.table, conds.join(QStringLiteral(" AND ")));
    if (dialectOf(sc.db()) == Dialect::PostgreSQL)
        sql += QStringLiteral(" FOR UPDATE");
    QSqlQuery& q = sc.exec(sql, args);
    QVector<Row> rows;
    while (q.next()) {
        Row r;
        for (int i = 0; i < def.columns.size(); ++i)
            r.insert(def.columns.at(i).name, storedValue(def.columns.at(i), q.value(i)));
        rows << r;
    }
    q.finish();
    return rows;
}

void insertRow(StatementCache& sc, const TableDef& def, const Row& row)
{
    QStringList names, marks;
    QVariantList args;
    for (const Column& c : def.columns) {
        names << c.name;
        marks << QStringLiteral("?");
        args << dbValue(c, row.value(c.name));
    }
    sc.exec(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                    .arg(def.table, names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))),
            args);
}

void updateRow(StatementCache& sc, const TableDef& def, const Row& oldKey, const Row& row, bool keyChanged)
{
    // The statement text depends only on the table and on whether keys are written.
    thread_local QHash<QString, QString> texts;
    const QString id = def.table + (keyChanged ? QStringLiteral("|k") : QStringLiteral("|v"));
    auto it = texts.find(id);
    QVariantList args;
    args.reserve(def.columns.size() + 4);
    for (const Column& c : def.columns)
        if (!c.key || keyChanged)
            args << dbValue(c, row.value(c.name));
    if (it == texts.end()) {
        QStringList sets;
        for (const Column& c : def.columns)
            if (!c.key || keyChanged)
                sets << c.name + QStringLiteral(" = ?");
        QVariantList unused;
        it = texts.insert(id, QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                                  .arg(def.table, sets.join(QStringLiteral(", ")), keyWhere(def, unused, oldKey)));
    }
    for (const Column* c : def.keys())
        args << dbValue(*c, oldKey.value(c->name));
    sc.exec(*it, args);
}

void deleteRow(StatementCache& sc, const TableDef& def, const Row& key)
{
    QVariantList args;
    const QString where = keyWhere(def, args, key);
    sc.exec(QStringLiteral("DELETE FROM %1 WHERE %2").arg(def.table, where), args);
}

} // namespace kvo::server
