#pragma once

// Building change logs the way a record set would, from packets the server handed out.

#include <QDate>
#include <QHash>
#include <QVariant>

#include "data/TDataPacket.h"

namespace kvo::test {

inline QVariant day(int y, int m, int d) {
    return QDate(y, m, d);
}

class LogBuilder {
public:
    explicit LogBuilder(const QVector<TPacketField>& fields) { m_log.fields = fields; }

    // A whole new row from field values by name; unnamed fields are null.
    LogBuilder& insert(const QHash<QString, QVariant>& values) {
        TChange c;
        c.op = TChange::Insert;
        c.newValues = rowOf(values);
        m_log.changes << c;
        return *this;
    }
    // A change of an existing row as the client saw it.
    LogBuilder& modify(const QVector<QVariant>& old, const QHash<QString, QVariant>& changes) {
        TChange c;
        c.op = TChange::Modify;
        c.oldValues = old;
        c.newValues = old;
        for (auto it = changes.begin(); it != changes.end(); ++it)
            c.newValues[index(it.key())] = it.value();
        m_log.changes << c;
        return *this;
    }
    LogBuilder& remove(const QVector<QVariant>& old) {
        TChange c;
        c.op = TChange::Delete;
        c.oldValues = old;
        m_log.changes << c;
        return *this;
    }
    TChangeLog log() const { return m_log; }

    int index(const QString& name) const {
        for (int i = 0; i < m_log.fields.size(); ++i)
            if (m_log.fields[i].name == name) return i;
        qFatal("unknown field %s", qPrintable(name));
    }

private:
    QVector<QVariant> rowOf(const QHash<QString, QVariant>& values) const {
        QVector<QVariant> row(m_log.fields.size());
        for (auto it = values.begin(); it != values.end(); ++it)
            row[index(it.key())] = it.value();
        return row;
    }
    TChangeLog m_log;
};

// The value of a named field in a packet row.
inline QVariant at(const TDataPacket& p, int row, const QString& field) {
    return p.rows.at(row).at(p.FieldIndex(field));
}

// The index of the first row whose fields hold the given texts, or -1.
inline int findRow(const TDataPacket& p, const QHash<QString, QString>& match) {
    for (int r = 0; r < p.rows.size(); ++r) {
        bool all = true;
        for (auto it = match.begin(); it != match.end() && all; ++it)
            all = at(p, r, it.key()).toString() == it.value();
        if (all) return r;
    }
    return -1;
}

} // namespace kvo::test
