#include "RowStore.h"

#include "Database.h"
#include "PacketBuild.h"
#include "PacketJson.h"
#include "Texts.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <string>

namespace kvo::server {

TableDef::TableDef(QString t, QVector<Column> cols) : table(std::move(t)), columns(std::move(cols)) {
    QStringList names, conds;
    for (int i = 0; i < columns.size(); ++i) {
        names << columns.at(i).name;
        if (columns.at(i).key) {
            keys << i;
            conds << columns.at(i).name + QStringLiteral(" = ?");
        }
    }
    selectList = names.join(QStringLiteral(", "));
    for (int i = 0; i < columns.size(); ++i)
        byName << i;
    std::sort(byName.begin(), byName.end(),
              [&](int a, int b) { return columns.at(a).name < columns.at(b).name; });
    for (int i : byName) {
        QByteArray m = jsonMembers.isEmpty() ? QByteArray() : QByteArray(",");
        appendJsonString(m, columns.at(i).name);
        jsonMembers << m + ':';
    }
    keyWhere = conds.join(QStringLiteral(" AND "));
}

int TableDef::indexOf(const QString& name) const {
    for (int i = 0; i < columns.size(); ++i)
        if (columns.at(i).name == name) return i;
    return -1;
}

QVector<int> columnIndexes(const TableDef& def, const TChangeLog& log) {
    QVector<int> idx;
    for (const Column& c : def.columns)
        idx << log.FieldIndex(c.name);
    return idx;
}

// One table column of a change-log row; a malformed date stays as it came so the value check can name it.
static void cellFromLog(const TableDef& def, const QVector<int>& idx, const QVector<QVariant>& values, int i,
                        Row& r) {
    const int j = idx.at(i);
    if (j < 0 || j >= values.size() || values.at(j).isNull()) return;
    const QVariant& v = values.at(j);
    if (def.columns.at(i).type == ftDateTime) {
        const QDate d = logDate(v);
        r[i] = d.isValid() ? QVariant(d) : v;
    } else {
        r[i] = v;
    }
}

Row rowFromLog(const TableDef& def, const QVector<int>& idx, const QVector<QVariant>& values) {
    Row r(def.columns.size());
    for (int i = 0; i < def.columns.size(); ++i)
        cellFromLog(def, idx, values, i, r);
    return r;
}

QVector<int> changedColumns(const TableDef& def, const QVector<int>& idx, const TChange& c) {
    QVector<int> out;
    for (int i = 0; i < def.columns.size(); ++i) {
        const int j = idx.at(i);
        if (j < 0) continue;
        if (!sameValue(def.columns.at(i).type, cellAt(c.oldValues, j), cellAt(c.newValues, j))) out << i;
    }
    return out;
}

bool sameKey(const TableDef& def, const Row& a, const Row& b) {
    for (int k : def.keys)
        if (!sameValue(def.columns.at(k).type, cellAt(a, k), cellAt(b, k))) return false;
    return true;
}

// One key value against another in the lock order: texts by UTF-16 unit (a text before any text
// it is the start of), days by date.
static int keyCompare(TFieldType type, const QVariant& a, const QVariant& b) {
    if (type == ftDateTime) {
        const qint64 x = logDate(a).toJulianDay(), y = logDate(b).toJulianDay();
        return x < y ? -1 : x > y;
    }
    return logText(a).compare(logText(b)); // case-sensitive: by UTF-16 unit
}

// The key columns of a and b compared in table order; at(k) is where column k sits in a row.
template <typename At>
static bool keyLessAt(const TableDef& def, const QVector<QVariant>& a, const QVector<QVariant>& b, At at) {
    for (int k : def.keys)
        if (const int c = keyCompare(def.columns.at(k).type, cellAt(a, at(k)), cellAt(b, at(k))))
            return c < 0;
    return false;
}

bool keyLess(const TableDef& def, const Row& a, const Row& b) {
    return keyLessAt(def, a, b, [](int k) { return k; });
}

bool keyLess(const TableDef& def, const QVector<int>& idx, const QVector<QVariant>& a,
             const QVector<QVariant>& b) {
    return keyLessAt(def, a, b, [&](int k) { return idx.at(k); });
}

QString checkValues(const TableDef& def, const Row& row) {
    for (int i = 0; i < def.columns.size(); ++i) {
        const Column& c = def.columns.at(i);
        const QVariant& v = row.at(i);
        if (c.key) {
            const bool empty = c.type == ftDateTime ? !logDate(v).isValid() : logText(v).trimmed().isEmpty();
            if (empty) return texts::KeyMissing.arg(c.name);
        }
        if (v.isNull()) continue;
        switch (c.type) {
        case ftString:
        case ftFixedChar:
            if (const QString t = logText(v); t.size() > c.size && kvo::data::charCount(t) > c.size)
                return texts::TooLong.arg(c.name).arg(c.size);
            break;
        case ftFloat:
            if (std::isnan(logNum(v))) return QStringLiteral("Valor inválido no campo %1.").arg(c.name);
            break;
        case ftDateTime:
            if (!logDate(v).isValid()) return QStringLiteral("Data inválida no campo %1.").arg(c.name);
            break;
        }
    }
    return {};
}

QVariant dbValue(const Column& c, const QVariant& v) {
    switch (c.type) {
    case ftString:
    case ftFixedChar:
        if (v.isNull()) return QVariant(QMetaType(QMetaType::QString));
        return v.typeId() == QMetaType::QString ? v : QVariant(v.toString());
    case ftFloat:
        return logNum(v);
    case ftDateTime:
        return dateParam(logDate(v));
    }
    return {};
}

static void keyArgs(const TableDef& def, QVariantList& args, const Row& key) {
    for (int k : def.keys)
        args << dbValue(def.columns.at(k), cellAt(key, k));
}

static QString lockSuffix(StatementCache& sc) {
    return sc.dialect() == Dialect::PostgreSQL ? QStringLiteral(" FOR UPDATE") : QString();
}

namespace {

// Texts repeat down the rows of a query (the branch, a service over its diets, the last save's
// stamp): a column's text equal to the row before's is shared instead of decoded again.
class RepeatedTexts {
public:
    explicit RepeatedTexts(qsizetype columns) : m_last(size_t(columns)) {}
    QString text(const Statement& q, int column) {
        Last& l = m_last[size_t(column)];
        const std::string_view b = q.bytes(column);
        if (!l.valid || b != l.bytes) {
            l.bytes.assign(b);
            l.text = QString::fromUtf8(b.data(), qsizetype(b.size()));
            l.valid = true;
        }
        return l.text;
    }

private:
    struct Last {
        bool valid = false;
        std::string bytes;
        QString text;
    };
    std::vector<Last> m_last;
};

// A stored row as rows carry it: dates as QDate (cheap to build and compare), numbers as doubles,
// the rest as text.
Row rowFromQuery(const TableDef& def, Statement& q, RepeatedTexts& texts) {
    Row r(def.columns.size());
    // One look at each cell's type at most: a day's rows are thousands of cells.
    for (int i = 0; i < def.columns.size(); ++i) {
        switch (def.columns.at(i).type) {
        case ftDateTime:
            if (const QDate d = q.date(i); d.isValid()) r[i] = d; // invalid for null too
            break;
        case ftFloat:
            if (const std::optional<double> d = q.numberOrNull(i)) r[i] = *d;
            break;
        default:
            if (q.isText(i)) {
                r[i] = texts.text(q, i);
                break;
            }
            if (q.isNull(i)) break;
            // Through value(): a stamp column comes back in the form the server writes it.
            if (const QVariant v = q.value(i); v.typeId() == QMetaType::QString)
                r[i] = v;
            else
                r[i] = v.toString();
        }
    }
    return r;
}

} // namespace

std::optional<Row> lockRow(StatementCache& sc, const TableDef& def, const Row& key) {
    thread_local QHash<std::pair<const TableDef*, bool>, QString> texts;
    const bool pg = sc.dialect() == Dialect::PostgreSQL;
    auto it = texts.find({&def, pg});
    if (it == texts.end())
        it = texts.insert({&def, pg}, QStringLiteral("SELECT %1 FROM %2 WHERE %3%4")
                                          .arg(def.selectList, def.table, def.keyWhere, lockSuffix(sc)));
    QVariantList args;
    args.reserve(def.keys.size());
    keyArgs(def, args, key);
    Statement& q = sc.exec(*it, args);
    if (!q.next()) return std::nullopt;
    RepeatedTexts repeated(def.columns.size());
    Row r = rowFromQuery(def, q, repeated);
    q.finish();
    return r;
}

static QVector<Row> selectRows(StatementCache& sc, const TableDef& def, const QVector<int>& where,
                               const QVariantList& values, bool lock) {
    QStringList conds, order;
    QVariantList args;
    for (int i = 0; i < where.size(); ++i) {
        const Column& c = def.columns.at(where.at(i));
        conds << c.name + QStringLiteral(" = ?");
        args << dbValue(c, cellAt(values, i));
    }
    // Byte order on PostgreSQL, whatever the database's collation, to match keyLess.
    const bool pg = sc.dialect() == Dialect::PostgreSQL;
    for (int k : def.keys)
        order << def.columns.at(k).name + (pg && def.columns.at(k).type != ftDateTime
                                               ? QStringLiteral(" COLLATE \"C\"")
                                               : QString());
    const QString sql = QStringLiteral("SELECT %1 FROM %2 WHERE %3 ORDER BY %4%5")
                            .arg(def.selectList, def.table, conds.join(QStringLiteral(" AND ")),
                                 order.join(QStringLiteral(", ")), lock ? lockSuffix(sc) : QString());
    Statement& q = sc.exec(sql, args);
    QVector<Row> rows;
    RepeatedTexts repeated(def.columns.size());
    while (q.next())
        rows << rowFromQuery(def, q, repeated);
    q.finish();
    return rows;
}

QVector<Row> lockRows(StatementCache& sc, const TableDef& def, const QVector<int>& where,
                      const QVariantList& values) {
    return selectRows(sc, def, where, values, true);
}

QVector<Row> readRows(StatementCache& sc, const TableDef& def, const QVector<int>& where,
                      const QVariantList& values) {
    return selectRows(sc, def, where, values, false);
}

void insertRow(StatementCache& sc, const TableDef& def, const Row& row) {
    thread_local QHash<const TableDef*, QString> texts;
    auto it = texts.find(&def);
    if (it == texts.end()) {
        QStringList marks;
        for (int i = 0; i < def.columns.size(); ++i)
            marks << QStringLiteral("?");
        it = texts.insert(&def, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                    .arg(def.table, def.selectList, marks.join(QStringLiteral(", "))));
    }
    QVariantList args;
    args.reserve(def.columns.size());
    for (int i = 0; i < def.columns.size(); ++i)
        args << dbValue(def.columns.at(i), cellAt(row, i));
    sc.write(*it, args);
}

quint64 columnMask(const QVector<int>& columns) {
    quint64 mask = 0;
    for (int c : columns)
        mask |= quint64(1) << c;
    return mask;
}

void updateRow(StatementCache& sc, const TableDef& def, const Row& oldKey, const Row& row,
               const QVector<int>& columns) {
    // The statement text depends only on the table and on which columns are written.
    const quint64 mask = columnMask(columns);
    thread_local QHash<std::pair<const TableDef*, quint64>, QString> texts;
    auto it = texts.find({&def, mask});
    if (it == texts.end()) {
        QStringList sets;
        for (int i = 0; i < def.columns.size(); ++i)
            if (mask & (quint64(1) << i)) sets << def.columns.at(i).name + QStringLiteral(" = ?");
        it = texts.insert({&def, mask}, QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                                            .arg(def.table, sets.join(QStringLiteral(", ")), def.keyWhere));
    }
    QVariantList args;
    args.reserve(columns.size() + def.keys.size());
    for (int i = 0; i < def.columns.size(); ++i)
        if (mask & (quint64(1) << i)) args << dbValue(def.columns.at(i), cellAt(row, i));
    keyArgs(def, args, oldKey);
    sc.write(*it, args);
}

void deleteRow(StatementCache& sc, const TableDef& def, const Row& key) {
    thread_local QHash<const TableDef*, QString> texts;
    auto it = texts.find(&def);
    if (it == texts.end())
        it = texts.insert(&def, QStringLiteral("DELETE FROM %1 WHERE %2").arg(def.table, def.keyWhere));
    QVariantList args;
    keyArgs(def, args, key);
    sc.write(*it, args);
}

} // namespace kvo::server
