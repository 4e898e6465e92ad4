#include "History.h"

#include "PacketBuild.h"

#include "PacketJson.h"

#include <QStringList>

namespace kvo::server {

namespace {

// One key value as the history stores it, in UTF-8.
void appendKeyPart(QByteArray& out, const QVariant& v) {
    if (v.typeId() == QMetaType::QDate || v.typeId() == QMetaType::QDateTime)
        kvo::data::appendIsoDate(out, logDate(v));
    else
        kvo::data::appendUtf8(out, logText(v));
}

// A text as the history binds it: UTF-8, and null when empty.
QVariant textArg(const QString& s) {
    return s.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(s.toUtf8());
}

// The row as the history binds it: null when there is none.
QVariant rowArg(QByteArray& out, const TableDef& def, const std::optional<Row>& row) {
    if (!row) return QVariant(QMetaType(QMetaType::QString));
    writeHistoryRow(out, def, *row);
    return out;
}

// The key values joined by "|", written over out.
template <typename Value> void writeKey(QByteArray& out, qsizetype count, Value value) {
    out.resize(0);
    for (qsizetype i = 0; i < count; ++i) {
        if (i) out += '|';
        appendKeyPart(out, value(i));
    }
}

} // namespace

void writeHistoryRow(QByteArray& o, const TableDef& def, const Row& row) {
    o.resize(0); // keeps the capacity, unless a pending write still shares the text
    o += '{';
    for (qsizetype k = 0; k < def.byName.size(); ++k) {
        const int i = def.byName.at(k);
        const Column& c = def.columns.at(i);
        const QVariant& v = row.at(i);
        o += def.jsonMembers.at(k);
        if (v.isNull()) {
            o += "null";
        } else if (c.type == ftFloat) {
            appendJsonNumber(o, logNum(v), 9007199254740992.0);
        } else if (c.type == ftDateTime) {
            o += '"';
            kvo::data::appendIsoDate(o, logDate(v));
            o += '"';
        } else {
            appendJsonString(o, logText(v));
        }
    }
    o += '}';
}

QString historyKey(const QVariantList& keyValues) {
    QByteArray key;
    writeKey(key, keyValues.size(), [&](qsizetype i) -> const QVariant& { return keyValues.at(i); });
    return QString::fromUtf8(key);
}

History::History(StatementCache& sc, const CallContext& context, QString method, QString stamp)
    : m_sc(sc), m_context(context), m_method(method.toUtf8()), m_stamp(stamp.toUtf8()),
      m_address(textArg(context.peerAddress.left(64))), m_operator(textArg(context.operatorCode.left(12))) {}

void History::record(const TableDef& def, const std::optional<Row>& before, const std::optional<Row>& after,
                     const QString& rowOperator) {
    const Row& any = after ? *after : *before;
    writeKey(m_key, def.keys.size(), [&](qsizetype i) -> const QVariant& { return any.at(def.keys.at(i)); });
    if (m_def != &def) {
        m_def = &def;
        m_table = def.table.toUtf8();
    }
    const QByteArray op = !before  ? QByteArrayLiteral("I")
                          : !after ? QByteArrayLiteral("E")
                                   : QByteArrayLiteral("A");
    m_sc.write(
        QStringLiteral("INSERT INTO KVOHISTORICO (DTHISTORICO, NMMETODO, NMTABELA, DSCHAVE, IDOPERACAO,"
                       " CDOPERADOR, DSENDERECO, DSANTES, DSDEPOIS) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
        {m_stamp, m_method, m_table, m_key, op,
         m_context.operatorCode.isEmpty() ? textArg(rowOperator.left(12)) : m_operator, m_address,
         rowArg(m_before, def, before), rowArg(m_after, def, after)});
}

} // namespace kvo::server
