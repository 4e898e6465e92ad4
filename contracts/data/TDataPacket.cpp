#include "TDataPacket.h"

#include "Conversions.h"
#include "Exceptions.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QSet>
#include <cmath>

using namespace kvo::data;

const char* FieldTypeName(TFieldType type) {
    switch (type) {
    case ftString:
        return "string";
    case ftFixedChar:
        return "fixedchar";
    case ftFloat:
        return "float";
    case ftDateTime:
        return "datetime";
    }
    return "string";
}

namespace {

[[noreturn]] void fail(const QString& context, const QString& what) {
    throw EPacketError(context.isEmpty() ? what : context + QStringLiteral(": ") + what);
}

QString jsonKind(const QJsonValue& v) {
    switch (v.type()) {
    case QJsonValue::Null:
        return QStringLiteral("nulo");
    case QJsonValue::Bool:
        return QStringLiteral("um valor lógico");
    case QJsonValue::Double:
        return QStringLiteral("um número");
    case QJsonValue::String:
        return QStringLiteral("um texto");
    case QJsonValue::Array:
        return QStringLiteral("uma lista");
    case QJsonValue::Object:
        return QStringLiteral("um objeto");
    default:
        return QStringLiteral("nenhum valor");
    }
}

QVector<TPacketField> decodeFields(const QJsonObject& obj, const QString& ctx) {
    const QJsonValue fv = obj.value(QLatin1String("fields"));
    if (!fv.isArray()) fail(ctx, QStringLiteral("a chave \"fields\" está ausente ou não é uma lista"));
    const QJsonArray arr = fv.toArray();
    QVector<TPacketField> fields;
    fields.reserve(arr.size());
    QSet<QString> seen;
    for (qsizetype i = 0; i < arr.size(); ++i) {
        const QString fctx = QStringLiteral("campo %1").arg(i + 1);
        if (!arr.at(i).isObject()) fail(ctx, fctx + QStringLiteral(" não é um objeto"));
        const QJsonObject f = arr.at(i).toObject();
        TPacketField pf;
        const QJsonValue name = f.value(QLatin1String("name"));
        if (!name.isString() || name.toString().trimmed().isEmpty())
            fail(ctx, fctx + QStringLiteral(" não tem nome"));
        pf.name = name.toString();
        const QString lname = pf.name.toUpper();
        if (seen.contains(lname)) fail(ctx, QStringLiteral("o campo %1 aparece duas vezes").arg(pf.name));
        seen.insert(lname);
        const QJsonValue type = f.value(QLatin1String("type"));
        const QString tn = type.toString();
        bool known = false;
        for (TFieldType t : {ftString, ftFixedChar, ftFloat, ftDateTime}) {
            if (tn == QLatin1String(FieldTypeName(t))) {
                pf.type = t;
                known = true;
                break;
            }
        }
        if (!known && !type.isString()) fail(ctx, QStringLiteral("o campo %1 não tem tipo").arg(pf.name));
        if (!known) fail(ctx, QStringLiteral("o campo %1 tem o tipo desconhecido \"%2\"").arg(pf.name, tn));
        if (pf.type == ftString || pf.type == ftFixedChar) {
            const QJsonValue size = f.value(QLatin1String("size"));
            if (size.isUndefined() || size.isNull())
                fail(ctx, QStringLiteral("o campo de texto %1 não tem tamanho").arg(pf.name));
            const double sz = size.toDouble(-1);
            if (!size.isDouble() || sz != std::floor(sz) || sz < 1 || sz > MaxTextSize)
                fail(ctx, QStringLiteral("o campo de texto %1 tem um tamanho inválido").arg(pf.name));
            pf.size = int(sz);
        }
        fields.push_back(pf);
    }
    return fields;
}

// Where a value sits, for error messages; the text is built only when something is wrong, since
// a large change log decodes tens of thousands of values.
struct RowContext {
    const QString* prefix = nullptr; // packet context, may be empty
    const char* kind = "linha";      // "linha" or "alteração", UTF-8
    qsizetype number = 0;            // 1-based
    const char* suffix = nullptr;    // old / new values of a change, UTF-8
    QString text() const {
        QString t = prefix && !prefix->isEmpty() ? *prefix + QStringLiteral(", ") : QString();
        t += QString::fromUtf8(kind) + QLatin1Char(' ') + QString::number(number);
        if (suffix) t += QString::fromUtf8(suffix);
        return t;
    }
};

QVariant decodeValue(const QJsonValue& v, const TPacketField& f, const RowContext& rc) {
    if (v.isNull()) return {};
    switch (f.type) {
    case ftString:
    case ftFixedChar: {
        if (!v.isString())
            fail(rc.text(),
                 QStringLiteral("o campo %1 espera um texto, mas recebeu %2").arg(f.name, jsonKind(v)));
        QString s = v.toString();
        if (const QString fault = textFault(s); !fault.isEmpty())
            fail(rc.text(), QStringLiteral("no campo %1, %2").arg(f.name, fault));
        // Cheap bound first: UTF-16 units never undercount characters.
        if (s.size() > f.size) {
            const int n = charCount(s);
            if (n > f.size)
                fail(rc.text(), QStringLiteral("o texto de %1 caracteres no campo %2 excede o tamanho %3")
                                    .arg(n)
                                    .arg(f.name)
                                    .arg(f.size));
        }
        return s;
    }
    case ftFloat:
        if (!v.isDouble())
            fail(rc.text(),
                 QStringLiteral("o campo %1 espera um número, mas recebeu %2").arg(f.name, jsonKind(v)));
        return v.toDouble();
    case ftDateTime: {
        if (!v.isString())
            fail(rc.text(),
                 QStringLiteral("o campo %1 espera uma data, mas recebeu %2").arg(f.name, jsonKind(v)));
        const QString text = v.toString();
        const QDate d = parseIsoDate(text);
        if (!d.isValid())
            fail(rc.text(), QStringLiteral("o campo %1 tem a data inválida \"%2\"").arg(f.name, text));
        return d;
    }
    }
    return {};
}

QVector<QVariant> decodeRow(const QJsonValue& rv, const QVector<TPacketField>& fields, const RowContext& rc) {
    if (!rv.isArray()) throw EPacketError(rc.text() + QStringLiteral(" não é uma lista"));
    const QJsonArray row = rv.toArray();
    if (row.size() != fields.size())
        throw EPacketError(
            rc.text() + QStringLiteral(" tem %1 valores para %2 campos").arg(row.size()).arg(fields.size()));
    QVector<QVariant> out;
    out.reserve(row.size());
    qsizetype c = 0;
    for (const QJsonValue& v : row) {
        out.push_back(decodeValue(v, fields.at(c), rc));
        ++c;
    }
    return out;
}

QJsonArray encodeFields(const QVector<TPacketField>& fields) {
    QJsonArray arr;
    for (const TPacketField& f : fields) {
        QJsonObject o;
        o.insert(QLatin1String("name"), f.name);
        o.insert(QLatin1String("type"), QLatin1String(FieldTypeName(f.type)));
        if (f.type == ftString || f.type == ftFixedChar) o.insert(QLatin1String("size"), f.size);
        arr.append(o);
    }
    return arr;
}

QJsonValue encodeValue(const QVariant& v, const TPacketField& f) {
    if (v.isNull() || !v.isValid()) return QJsonValue::Null;
    switch (f.type) {
    case ftString:
    case ftFixedChar:
        return v.toString();
    case ftFloat: {
        bool ok = false;
        const double d = v.toDouble(&ok);
        if (!ok || !std::isfinite(d))
            throw EPacketError(
                QStringLiteral("o campo %1 contém um valor que não é um número finito").arg(f.name));
        return d;
    }
    case ftDateTime: {
        const std::optional<QDate> d = toDate(v);
        if (!d)
            throw EPacketError(QStringLiteral("o campo %1 contém um valor que não é uma data").arg(f.name));
        if (!d->isValid()) return QJsonValue::Null;
        return packetDate(*d);
    }
    }
    return QJsonValue::Null;
}

QJsonArray encodeRow(const QVector<QVariant>& row, const QVector<TPacketField>& fields) {
    if (row.size() != fields.size())
        throw EPacketError(
            QStringLiteral("uma linha tem %1 valores para %2 campos").arg(row.size()).arg(fields.size()));
    QJsonArray arr;
    for (qsizetype c = 0; c < row.size(); ++c)
        arr.append(encodeValue(row.at(c), fields.at(c)));
    return arr;
}

// Qt's own parser texts are English and carry no translation here.
QString jsonErrorText(QJsonParseError::ParseError e) {
    switch (e) {
    case QJsonParseError::UnterminatedObject:
        return QStringLiteral("objeto sem fechamento");
    case QJsonParseError::MissingNameSeparator:
        return QStringLiteral("falta \":\" após um nome");
    case QJsonParseError::UnterminatedArray:
        return QStringLiteral("lista sem fechamento");
    case QJsonParseError::MissingValueSeparator:
        return QStringLiteral("falta \",\" entre valores");
    case QJsonParseError::IllegalValue:
        return QStringLiteral("valor inválido");
    case QJsonParseError::TerminationByNumber:
        return QStringLiteral("fim inesperado após um número");
    case QJsonParseError::IllegalNumber:
        return QStringLiteral("número inválido");
    case QJsonParseError::IllegalEscapeSequence:
        return QStringLiteral("sequência de escape inválida");
    case QJsonParseError::IllegalUTF8String:
        return QStringLiteral("texto com UTF-8 inválido");
    case QJsonParseError::UnterminatedString:
        return QStringLiteral("texto sem aspas de fechamento");
    case QJsonParseError::MissingObject:
        return QStringLiteral("esperava-se um objeto");
    case QJsonParseError::DeepNesting:
        return QStringLiteral("aninhamento profundo demais");
    case QJsonParseError::DocumentTooLarge:
        return QStringLiteral("documento grande demais");
    case QJsonParseError::GarbageAtEnd:
        return QStringLiteral("conteúdo excedente no fim");
    default:
        return QStringLiteral("erro de sintaxe");
    }
}

QJsonValue parseDocument(const QByteArray& json, const char* what) {
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &err);
    if (err.error != QJsonParseError::NoError)
        throw EPacketError(QStringLiteral("JSON inválido no %1 na posição %2: %3")
                               .arg(QString::fromUtf8(what))
                               .arg(err.offset)
                               .arg(jsonErrorText(err.error)));
    if (doc.isObject()) return doc.object();
    return doc.array();
}

int fieldIndexIn(const QVector<TPacketField>& fields, const QString& name) {
    for (qsizetype i = 0; i < fields.size(); ++i)
        if (fields.at(i).name.compare(name, Qt::CaseInsensitive) == 0) return int(i);
    return -1;
}

TDataPacket decodePacket(const QJsonValue& value, const QString& ctx) {
    if (!value.isObject()) fail(ctx, QStringLiteral("um pacote de dados deve ser um objeto JSON"));
    const QJsonObject obj = value.toObject();
    TDataPacket p;
    p.fields = decodeFields(obj, ctx);
    const QJsonValue rv = obj.value(QLatin1String("rows"));
    if (!rv.isArray()) fail(ctx, QStringLiteral("a chave \"rows\" está ausente ou não é uma lista"));
    const QJsonArray rows = rv.toArray();
    p.rows.reserve(rows.size());
    RowContext rc;
    rc.prefix = &ctx;
    for (const QJsonValue& row : rows) {
        ++rc.number;
        p.rows.push_back(decodeRow(row, p.fields, rc));
    }
    return p;
}

} // namespace

int TDataPacket::FieldIndex(const QString& name) const {
    return fieldIndexIn(fields, name);
}

TDataPacket TDataPacket::fromJson(const QJsonValue& value) {
    return decodePacket(value, QString());
}

TDataPacket TDataPacket::fromJson(const QByteArray& json) {
    return decodePacket(parseDocument(json, "pacote de dados"), QString());
}

QJsonValue TDataPacket::toJsonValue() const {
    QJsonObject o;
    o.insert(QLatin1String("fields"), encodeFields(fields));
    QJsonArray arr;
    for (const auto& row : rows)
        arr.append(encodeRow(row, fields));
    o.insert(QLatin1String("rows"), arr);
    return o;
}

QByteArray TDataPacket::toJson() const {
    return QJsonDocument(toJsonValue().toObject()).toJson(QJsonDocument::Compact);
}

TPacketPair TPacketPair::fromJson(const QJsonValue& value) {
    if (!value.isArray() || value.toArray().size() != 2)
        throw EPacketError(
            QStringLiteral("um par de pacotes de dados deve ser uma lista JSON com dois pacotes"));
    const QJsonArray arr = value.toArray();
    TPacketPair pair;
    pair.first = decodePacket(arr.at(0), QStringLiteral("pacote 1 do par"));
    pair.second = decodePacket(arr.at(1), QStringLiteral("pacote 2 do par"));
    return pair;
}

QJsonValue TPacketPair::toJsonValue() const {
    QJsonArray arr;
    arr.append(first.toJsonValue());
    arr.append(second.toJsonValue());
    return arr;
}

int TChangeLog::FieldIndex(const QString& name) const {
    return fieldIndexIn(fields, name);
}

TChangeLog TChangeLog::fromJson(const QJsonValue& value) {
    if (!value.isObject())
        throw EPacketError(QStringLiteral("um registro de alterações deve ser um objeto JSON"));
    const QJsonObject obj = value.toObject();
    TChangeLog log;
    log.fields = decodeFields(obj, QString());
    const QJsonValue cv = obj.value(QLatin1String("changes"));
    if (!cv.isArray())
        throw EPacketError(QStringLiteral("a chave \"changes\" está ausente ou não é uma lista"));
    const QJsonArray changes = cv.toArray();
    log.changes.reserve(changes.size());
    RowContext rc;
    rc.kind = "alteração";
    for (const QJsonValue& cv : changes) {
        ++rc.number;
        rc.suffix = nullptr;
        if (!cv.isObject()) throw EPacketError(rc.text() + QStringLiteral(" não é um objeto"));
        const QJsonObject c = cv.toObject();
        const QJsonValue opv = c.value(QLatin1String("op"));
        const QString op = opv.toString();
        TChange ch;
        if (op == QLatin1String("insert"))
            ch.op = TChange::Insert;
        else if (op == QLatin1String("modify"))
            ch.op = TChange::Modify;
        else if (op == QLatin1String("delete"))
            ch.op = TChange::Delete;
        else
            throw EPacketError(rc.text() + QStringLiteral(" tem a operação desconhecida \"%1\"").arg(op));
        if (ch.op != TChange::Insert) {
            const QJsonValue old = c.value(QLatin1String("old"));
            if (old.isUndefined())
                throw EPacketError(rc.text() + QStringLiteral(" não tem os valores antigos (\"old\")"));
            rc.suffix = " (valores antigos)";
            ch.oldValues = decodeRow(old, log.fields, rc);
        }
        if (ch.op != TChange::Delete) {
            const QJsonValue nv = c.value(QLatin1String("new"));
            if (nv.isUndefined())
                throw EPacketError(rc.text() + QStringLiteral(" não tem os valores novos (\"new\")"));
            rc.suffix = " (valores novos)";
            ch.newValues = decodeRow(nv, log.fields, rc);
        }
        log.changes.push_back(std::move(ch));
    }
    return log;
}

TChangeLog TChangeLog::fromJson(const QByteArray& json) {
    return fromJson(parseDocument(json, "registro de alterações"));
}

QJsonValue TChangeLog::toJsonValue() const {
    QJsonObject o;
    o.insert(QLatin1String("fields"), encodeFields(fields));
    QJsonArray arr;
    for (const TChange& ch : changes) {
        QJsonObject c;
        switch (ch.op) {
        case TChange::Insert:
            c.insert(QLatin1String("op"), QLatin1String("insert"));
            c.insert(QLatin1String("new"), encodeRow(ch.newValues, fields));
            break;
        case TChange::Modify:
            c.insert(QLatin1String("op"), QLatin1String("modify"));
            c.insert(QLatin1String("old"), encodeRow(ch.oldValues, fields));
            c.insert(QLatin1String("new"), encodeRow(ch.newValues, fields));
            break;
        case TChange::Delete:
            c.insert(QLatin1String("op"), QLatin1String("delete"));
            c.insert(QLatin1String("old"), encodeRow(ch.oldValues, fields));
            break;
        }
        arr.append(c);
    }
    o.insert(QLatin1String("changes"), arr);
    return o;
}

QByteArray TChangeLog::toJson() const {
    return QJsonDocument(toJsonValue().toObject()).toJson(QJsonDocument::Compact);
}
