#include "History.h"

#include "PacketBuild.h"

#include "PacketJson.h"

#include <QStringList>

namespace kvo::server {

namespace {

// One key value as the history stores it, in UTF-8.
void appendKeyPart(QByteArray& out, const QVariant& v) {
    if (v.typeId() == QMetaType::QDate || v.typeId() == QMetaType::QDateTime)
        out += kvo::data::isoDate(logDate(v)).toLatin1();
    else
        out += logText(v).toUtf8();
}

// The row as a JSON object in UTF-8, bound as it is; members in name order as the history has
// always stored them.
QVariant rowJson(const TableDef& def, const std::optional<Row>& row) {
    if (!row) return QVariant(QMetaType(QMetaType::QString));
    QByteArray o;
    o.reserve(32 * def.columns.size());
    o += '{';
    for (int i : def.byName) {
        const Column& c = def.columns.at(i);
        const QVariant& v = row->at(i);
        if (o.size() > 1) o += ',';
        appendJsonString(o, c.name);
        o += ':';
        if (v.isNull()) {
            o += "null";
        } else if (c.type == ftFloat) {
            appendJsonNumber(o, logNum(v), 9007199254740992.0);
        } else if (c.type == ftDateTime) {
            appendJsonString(o, kvo::data::isoDate(logDate(v)));
        } else {
            appendJsonString(o, logText(v));
        }
    }
    o += '}';
    return o;
}

} // namespace

QString historyKey(const QVariantList& keyValues) {
    QByteArray key;
    for (qsizetype i = 0; i < keyValues.size(); ++i) {
        if (i) key += '|';
        appendKeyPart(key, keyValues.at(i));
    }
    return QString::fromUtf8(key);
}

History::History(StatementCache& sc, const CallContext& context, QString method, QString stamp)
    : m_sc(sc), m_context(context), m_method(std::move(method)), m_stamp(std::move(stamp)) {}

void History::record(const TableDef& def, const std::optional<Row>& before, const std::optional<Row>& after,
                     const QString& rowOperator) {
    const Row& any = after ? *after : *before;
    QByteArray key;
    for (qsizetype i = 0; i < def.keys.size(); ++i) {
        if (i) key += '|';
        appendKeyPart(key, any.at(def.keys.at(i)));
    }
    const QChar op = !before ? u'I' : !after ? u'E' : u'A';
    const QString who = m_context.operatorCode.isEmpty() ? rowOperator : m_context.operatorCode;
    auto text = [](const QString& s) {
        return s.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(s);
    };
    m_sc.write(
        QStringLiteral("INSERT INTO KVOHISTORICO (DTHISTORICO, NMMETODO, NMTABELA, DSCHAVE, IDOPERACAO,"
                       " CDOPERADOR, DSENDERECO, DSANTES, DSDEPOIS) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
        {m_stamp, m_method, def.table, key, QString(op), text(who.left(12)),
         text(m_context.peerAddress.left(64)), rowJson(def, before), rowJson(def, after)});
}

} // namespace kvo::server
