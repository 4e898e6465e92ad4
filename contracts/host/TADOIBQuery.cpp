#include "host/TADOIBQuery.h"

#include "host/dtmDBGeral.h"

#include "data/Conversions.h"

#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

// The driver's own text is the only diagnosis there is, so it follows a Portuguese sentence.
QString queryFailure(const QSqlQuery& q) {
    return QStringLiteral("Não foi possível consultar o banco de dados. Mensagem do banco: %1")
        .arg(q.lastError().text());
}

struct ParsedSql {
    QString positional; // the text with every ":NAME" replaced by "?"
    QStringList names;  // upper-case, in order of use (a name may repeat)
};

bool isNameStart(QChar c) {
    return c.isLetter() || c == u'_';
}
bool isNameChar(QChar c) {
    return c.isLetterOrNumber() || c == u'_';
}

ParsedSql parse(const QString& sql) {
    ParsedSql out;
    out.positional.reserve(sql.size());
    const qsizetype n = sql.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = sql[i];
        if (c == u'\'' || c == u'"') {
            // Copy a quoted literal or identifier whole; doubled quotes stay inside it.
            const QChar quote = c;
            out.positional += c;
            for (++i; i < n; ++i) {
                out.positional += sql[i];
                if (sql[i] == quote) {
                    if (i + 1 < n && sql[i + 1] == quote) {
                        out.positional += sql[++i];
                        continue;
                    }
                    break;
                }
            }
            continue;
        }
        if (c == u'-' && i + 1 < n && sql[i + 1] == u'-') {
            while (i < n && sql[i] != u'\n')
                out.positional += sql[i++];
            if (i < n) out.positional += sql[i];
            continue;
        }
        if (c == u':') {
            if (i + 1 < n && sql[i + 1] == u':') { // a PostgreSQL cast, not a parameter
                out.positional += QStringLiteral("::");
                ++i;
                continue;
            }
            if (i + 1 < n && isNameStart(sql[i + 1])) {
                qsizetype j = i + 1;
                while (j < n && isNameChar(sql[j]))
                    ++j;
                out.names << sql.mid(i + 1, j - i - 1).toUpper();
                out.positional += u'?';
                i = j - 1;
                continue;
            }
        }
        out.positional += c;
    }
    return out;
}

QString normalName(const QString& name) {
    QString n = name.trimmed();
    if (n.startsWith(u':')) n.remove(0, 1);
    return n.toUpper();
}

TFieldType typeOf(const QSqlField& f) {
    switch (f.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Short:
    case QMetaType::UShort:
        return ftFloat;
    case QMetaType::QDate:
    case QMetaType::QDateTime:
        return ftDateTime;
    default:
        return ftString;
    }
}

QVariant convert(const QVariant& v, const TPacketField& f) {
    if (v.isNull() || !v.isValid()) return {};
    switch (f.type) {
    case ftFloat: {
        const std::optional<double> d = kvo::data::toNumber(v);
        if (!d)
            throw EDatabaseError(
                QStringLiteral("Valor não numérico no campo %1: '%2'.").arg(f.name, v.toString()));
        return *d;
    }
    case ftDateTime: {
        // A day: the time of a timestamp column is dropped.
        const QDate d = kvo::data::dateFromSql(v);
        if (!d.isValid())
            throw EDatabaseError(
                QStringLiteral("Data inválida no campo %1: '%2'.").arg(f.name, v.toString()));
        return d;
    }
    case ftFixedChar:
    case ftString:
        return kvo::data::fitText(v.toString(), f.size, f.type == ftFixedChar);
    }
    return {};
}

} // namespace

TADOIBQuery::TADOIBQuery(QObject* parent) : QObject(parent), m_set(new TClientDataSet(this)) {}

TADOIBQuery::~TADOIBQuery() = default;

QString TADOIBQuery::ActiveSQL() const {
    const QStringList* slot = &SQL;
    dtmDBGeral::TDialect dialect = dtmDBGeral::dlDefault;
    if (m_connectionName.isEmpty()) {
        dialect = dtmDBGeral::Dialect();
    } else {
        const QString driver = QSqlDatabase::database(m_connectionName, false).driverName();
        if (driver == QLatin1String("QOCI"))
            dialect = dtmDBGeral::dlOracle;
        else if (driver == QLatin1String("QODBC"))
            dialect = dtmDBGeral::dlMsSql;
        else if (driver == QLatin1String("QIBASE"))
            dialect = dtmDBGeral::dlInterBase;
    }
    switch (dialect) {
    case dtmDBGeral::dlOracle:
        slot = &SQL_ORACLE;
        break;
    case dtmDBGeral::dlMsSql:
        slot = &SQL_MSSQL;
        break;
    case dtmDBGeral::dlInterBase:
        slot = &SQL_IB;
        break;
    case dtmDBGeral::dlDefault:
        break;
    }
    if (slot->isEmpty()) slot = &SQL;
    return slot->join(u'\n');
}

QStringList TADOIBQuery::ParamNames(const QString& sql) {
    return parse(sql).names;
}

TParam& TADOIBQuery::ParamByName(const QString& name) {
    const QString key = normalName(name);
    auto it = m_params.find(key);
    if (it != m_params.end()) return it->second;
    if (!ParamNames(ActiveSQL()).contains(key))
        throw EDatabaseError(QStringLiteral("Parâmetro '%1' não encontrado na consulta.").arg(name));
    return m_params.emplace(key, TParam(key)).first->second;
}

void TADOIBQuery::Open() {
    if (m_set->Active()) Close();
    const ParsedSql parsed = parse(ActiveSQL());
    if (parsed.positional.trimmed().isEmpty())
        throw EDatabaseError(QStringLiteral("Consulta sem texto SQL."));

    QSqlDatabase db;
    if (m_connectionName.isEmpty()) {
        db = dtmDBGeral::dtbGeral();
    } else {
        db = QSqlDatabase::database(m_connectionName, false);
        if (!db.isOpen())
            throw EDatabaseError(QStringLiteral("Conexão com o banco de dados não está aberta."));
    }

    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(parsed.positional)) throw EDatabaseError(queryFailure(q));
    for (const QString& name : parsed.names) {
        auto it = m_params.find(name);
        // An unassigned parameter is a null text; it matches nothing.
        q.addBindValue(it == m_params.end() || !it->second.Value().isValid()
                           ? QVariant(QMetaType::fromType<QString>())
                           : it->second.Value());
    }
    if (!q.exec()) throw EDatabaseError(queryFailure(q));

    const QSqlRecord rec = q.record();
    TDataPacket packet;
    QVector<int> columns;
    bool sizeUnknown = false;
    for (int i = 0; i < m_set->FieldCount(); ++i) {
        const TField* f = m_set->Fields(i);
        if (f->FieldKind() != fkData) continue;
        const int col = rec.indexOf(f->FieldName());
        if (col < 0)
            throw EDatabaseError(QStringLiteral("A consulta não devolve o campo %1.").arg(f->FieldName()));
        packet.fields.push_back(TPacketField{f->FieldName(), f->DataType(), f->Size()});
        columns.push_back(col);
    }
    if (packet.fields.isEmpty()) {
        for (int col = 0; col < rec.count(); ++col) {
            const QSqlField sf = rec.field(col);
            const TFieldType type = typeOf(sf);
            const int size = type == ftString && sf.length() > 0 ? sf.length() : 0;
            sizeUnknown = sizeUnknown || (type == ftString && size == 0);
            packet.fields.push_back(TPacketField{sf.name().toUpper(), type, size});
            columns.push_back(col);
        }
    }

    while (q.next()) {
        QVector<QVariant> row;
        row.reserve(columns.size());
        for (int i = 0; i < columns.size(); ++i)
            row.push_back(convert(q.value(columns[i]), packet.fields[i]));
        packet.rows.push_back(std::move(row));
    }
    if (q.lastError().isValid()) throw EDatabaseError(queryFailure(q));

    if (sizeUnknown) {
        // Text columns of undeclared length get the longest value as their size.
        for (int i = 0; i < packet.fields.size(); ++i) {
            TPacketField& f = packet.fields[i];
            if (f.type != ftString || f.size > 0) continue;
            int longest = 1;
            for (const auto& row : packet.rows)
                longest = std::max(longest, kvo::data::charCount(row[i].toString()));
            f.size = longest;
        }
    }
    m_set->SetData(packet);
}

void TADOIBQuery::Close() {
    if (m_set->Active()) m_set->Close();
}

bool TADOIBQuery::Active() const {
    return m_set->Active();
}
void TADOIBQuery::First() {
    m_set->First();
}
void TADOIBQuery::Next() {
    m_set->Next();
}
bool TADOIBQuery::Eof() const {
    return m_set->Eof();
}
bool TADOIBQuery::IsEmpty() const {
    return m_set->IsEmpty();
}
int TADOIBQuery::RecordCount() const {
    return m_set->RecordCount();
}
TField* TADOIBQuery::FieldByName(const QString& name) const {
    return m_set->FieldByName(name);
}

namespace kvo {

TADOIBQuery* NewLookupQuery(QObject* owner, const char* name, const QStringList& text,
                            std::initializer_list<LookupColumn> columns) {
    auto* query = new TADOIBQuery(owner);
    query->setObjectName(QString::fromLatin1(name));
    query->SQL = text;
    query->SQL_ORACLE = text;
    query->SQL_MSSQL = text;
    query->SQL_IB = text;
    for (const LookupColumn& column : columns) {
        TField* field = query->Query()->AddField(QString::fromLatin1(column.name), ftString, column.size);
        if (column.label)
            field->SetDisplayLabel(QString::fromUtf8(column.label));
        else
            field->SetVisible(false);
    }
    return query;
}

} // namespace kvo
