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
        out += logText(v).toUtf8();
}

// A text as the history binds it: UTF-8, and null when empty.
QVariant textArg(const QString& s) {
    return s.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(s.toUtf8());
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

namespace {

// One value as the history's JSON holds it.
void appendHistoryValue(QByteArray& o, const Column& c, const QVariant& v) {
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

// The row written over o; with spans, where each member's value starts and ends in it.
void writeRow(QByteArray& o, const TableDef& def, const Row& row, std::vector<qsizetype>* spans) {
    o.resize(0); // keeps the capacity, unless a pending write still shares the text
    if (spans) spans->resize(size_t(2 * def.byName.size()));
    o += '{';
    for (qsizetype k = 0; k < def.byName.size(); ++k) {
        const int i = def.byName.at(k);
        o += def.jsonMembers.at(k);
        if (spans) (*spans)[size_t(2 * k)] = o.size();
        appendHistoryValue(o, def.columns.at(i), row.at(i));
        if (spans) (*spans)[size_t(2 * k + 1)] = o.size();
    }
    o += '}';
}

} // namespace

void writeHistoryRow(QByteArray& o, const TableDef& def, const Row& row) {
    writeRow(o, def, row, nullptr);
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
                     const QString& rowOperator, quint64 changed) {
    const Row& any = after ? *after : *before;
    writeKey(m_key, def.keys.size(), [&](qsizetype i) -> const QVariant& { return any.at(def.keys.at(i)); });
    if (m_def != &def) {
        m_def = &def;
        m_table = def.table.toUtf8();
    }
    const QByteArray op = !before  ? QByteArrayLiteral("I")
                          : !after ? QByteArrayLiteral("E")
                                   : QByteArrayLiteral("A");
    const QVariant none{QMetaType(QMetaType::QString)};
    if (before) writeRow(m_before, def, *before, after && changed != kAllColumns ? &m_spans : nullptr);
    if (after && before && changed != kAllColumns) {
        // The columns the change left alone hold what the row held before: their text is copied.
        m_after.resize(0);
        m_after += '{';
        for (qsizetype k = 0; k < def.byName.size(); ++k) {
            const int i = def.byName.at(k);
            m_after += def.jsonMembers.at(k);
            if (changed & (quint64(1) << i)) {
                appendHistoryValue(m_after, def.columns.at(i), after->at(i));
            } else {
                const qsizetype from = m_spans[size_t(2 * k)], to = m_spans[size_t(2 * k + 1)];
                m_after.append(m_before.constData() + from, to - from);
            }
        }
        m_after += '}';
    } else if (after) {
        writeRow(m_after, def, *after, nullptr);
    }
    m_sc.write(
        QStringLiteral("INSERT INTO KVOHISTORICO (DTHISTORICO, NMMETODO, NMTABELA, DSCHAVE, IDOPERACAO,"
                       " CDOPERADOR, DSENDERECO, DSANTES, DSDEPOIS) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
        {m_stamp, m_method, m_table, m_key, op,
         m_context.operatorCode.isEmpty() ? textArg(rowOperator.left(12)) : m_operator, m_address,
         before ? QVariant(m_before) : none, after ? QVariant(m_after) : none});
}

} // namespace kvo::server
