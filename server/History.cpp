#include "History.h"

#include "PacketBuild.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

namespace kvo::server {

namespace {

QString keyPart(const QVariant& v) {
    if (v.typeId() == QMetaType::QDate || v.typeId() == QMetaType::QDateTime)
        return logDate(v).toString(Qt::ISODate);
    return logText(v);
}

QVariant rowJson(const TableDef& def, const std::optional<Row>& row) {
    if (!row) return QVariant(QMetaType(QMetaType::QString));
    QJsonObject o;
    for (int i = 0; i < def.columns.size(); ++i) {
        const Column& c = def.columns.at(i);
        const QVariant& v = row->at(i);
        if (v.isNull())
            o.insert(c.name, QJsonValue::Null);
        else if (c.type == ftFloat)
            o.insert(c.name, logNum(v));
        else if (c.type == ftDateTime)
            o.insert(c.name, logDate(v).toString(Qt::ISODate));
        else
            o.insert(c.name, logText(v));
    }
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

} // namespace

QString historyKey(const QVariantList& keyValues) {
    QStringList parts;
    for (const QVariant& v : keyValues)
        parts << keyPart(v);
    return parts.join(QLatin1Char('|'));
}

History::History(StatementCache& sc, const CallContext& context, QString method, QString stamp)
    : m_sc(sc), m_context(context), m_method(std::move(method)), m_stamp(std::move(stamp)) {}

void History::record(const TableDef& def, const std::optional<Row>& before, const std::optional<Row>& after,
                     const QString& rowOperator) {
    const Row& any = after ? *after : *before;
    QVariantList key;
    for (int k : def.keys)
        key << any.at(k);
    const QChar op = !before ? u'I' : !after ? u'E' : u'A';
    const QString who = m_context.operatorCode.isEmpty() ? rowOperator : m_context.operatorCode;
    auto text = [](const QString& s) {
        return s.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(s);
    };
    m_sc.exec(
        QStringLiteral("INSERT INTO KVOHISTORICO (DTHISTORICO, NMMETODO, NMTABELA, DSCHAVE, IDOPERACAO,"
                       " CDOPERADOR, DSENDERECO, DSANTES, DSDEPOIS) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
        {m_stamp, m_method, def.table, historyKey(key), QString(op), text(who.left(12)),
         text(m_context.peerAddress.left(64)), rowJson(def, before), rowJson(def, after)});
}

} // namespace kvo::server
