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
        return QStringLiteral("null");
    case QJsonValue::Bool:
        return QStringLiteral("a Boolean");
    case QJsonValue::Double:
        return QStringLiteral("a number");
    case QJsonValue::String:
        return QStringLiteral("a text");
    case QJsonValue::Array:
        return QStringLiteral("an array");
    case QJsonValue::Object:
        return QStringLiteral("an object");
    default:
        return QStringLiteral("no value");
    }
}

QVector<TPacketField> decodeFields(const QJsonObject& obj, const QString& ctx) {
    const QJsonValue fv = obj.value(QLatin1String("fields"));
    if (!fv.isArray()) fail(ctx, QStringLiteral("\"fields\" is missing or not an array"));
    const QJsonArray arr = fv.toArray();
    QVector<TPacketField> fields;
    fields.reserve(arr.size());
    QSet<QString> seen;
    for (qsizetype i = 0; i < arr.size(); ++i) {
        const QString fctx = QStringLiteral("field %1").arg(i + 1);
        if (!arr.at(i).isObject()) fail(ctx, fctx + QStringLiteral(" is not an object"));
        const QJsonObject f = arr.at(i).toObject();
        TPacketField pf;
        const QJsonValue name = f.value(QLatin1String("name"));
        if (!name.isString() || name.toString().trimmed().isEmpty())
            fail(ctx, fctx + QStringLiteral(" has no name"));
        pf.name = name.toString();
        const QString lname = pf.name.toUpper();
        if (seen.contains(lname)) fail(ctx, QStringLiteral("field %1 appears twice").arg(pf.name));
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
        if (!known && !type.isString()) fail(ctx, QStringLiteral("field %1 has no type").arg(pf.name));
        if (!known) fail(ctx, QStringLiteral("field %1 has the unknown type \"%2\"").arg(pf.name, tn));
        if (pf.type == ftString || pf.type == ftFixedChar) {
            const QJsonValue size = f.value(QLatin1String("size"));
            if (size.isUndefined() || size.isNull())
                fail(ctx, QStringLiteral("text field %1 has no size").arg(pf.name));
            const double sz = size.toDouble(-1);
            if (!size.isDouble() || sz != std::floor(sz) || sz < 1 || sz > MaxTextSize)
                fail(ctx, QStringLiteral("text field %1 has an invalid size").arg(pf.name));
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
    const char* kind = "row";        // "row" or "change"
    qsizetype number = 0;            // 1-based
    const char* suffix = nullptr;    // " old" / " new" for changes
    QString text() const {
        QString t = prefix && !prefix->isEmpty() ? *prefix + QStringLiteral(", ") : QString();
        t += QLatin1String(kind) + QLatin1Char(' ') + QString::number(number);
        if (suffix) t += QLatin1String(suffix);
        return t;
    }
};

QVariant decodeValue(const QJsonValue& v, const TPacketField& f, const RowContext& rc) {
    if (v.isNull()) return {};
    switch (f.type) {
    case ftString:
    case ftFixedChar: {
        if (!v.isString())
            fail(rc.text(), QStringLiteral("field %1 expects a text, got %2").arg(f.name, jsonKind(v)));
        QString s = v.toString();
        // Cheap bound first: UTF-16 units never undercount characters.
        if (s.size() > f.size) {
            const int n = charCount(s);
            if (n > f.size)
                fail(rc.text(), QStringLiteral("text of %1 characters in field %2 exceeds its size %3")
                                    .arg(n)
                                    .arg(f.name)
                                    .arg(f.size));
        }
        return s;
    }
    case ftFloat:
        if (!v.isDouble())
            fail(rc.text(), QStringLiteral("field %1 expects a number, got %2").arg(f.name, jsonKind(v)));
        return v.toDouble();
    case ftDateTime: {
        if (!v.isString())
            fail(rc.text(), QStringLiteral("field %1 expects a date, got %2").arg(f.name, jsonKind(v)));
        const QString text = v.toString();
        const QDate d = parseIsoDate(text);
        if (!d.isValid())
            fail(rc.text(), QStringLiteral("field %1 has the invalid date \"%2\"").arg(f.name, text));
        return d;
    }
    }
    return {};
}

QVector<QVariant> decodeRow(const QJsonValue& rv, const QVector<TPacketField>& fields, const RowContext& rc) {
    if (!rv.isArray()) throw EPacketError(rc.text() + QStringLiteral(" is not an array"));
    const QJsonArray row = rv.toArray();
    if (row.size() != fields.size())
        throw EPacketError(rc.text() +
                           QStringLiteral(" has %1 values for %2 fields").arg(row.size()).arg(fields.size()));
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
                QStringLiteral("field %1 holds a value that is not a finite number").arg(f.name));
        return d;
    }
    case ftDateTime: {
        const std::optional<QDate> d = toDate(v);
        if (!d) throw EPacketError(QStringLiteral("field %1 holds a value that is not a date").arg(f.name));
        if (!d->isValid()) return QJsonValue::Null;
        return packetDate(*d);
    }
    }
    return QJsonValue::Null;
}

QJsonArray encodeRow(const QVector<QVariant>& row, const QVector<TPacketField>& fields) {
    if (row.size() != fields.size())
        throw EPacketError(
            QStringLiteral("a row has %1 values for %2 fields").arg(row.size()).arg(fields.size()));
    QJsonArray arr;
    for (qsizetype c = 0; c < row.size(); ++c)
        arr.append(encodeValue(row.at(c), fields.at(c)));
    return arr;
}

QJsonValue parseDocument(const QByteArray& json, const char* what) {
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &err);
    if (err.error != QJsonParseError::NoError)
        throw EPacketError(QStringLiteral("Malformed %1 JSON at offset %2: %3")
                               .arg(QLatin1String(what))
                               .arg(err.offset)
                               .arg(err.errorString()));
    if (doc.isObject()) return doc.object();
    return doc.array();
}

int fieldIndexIn(const QVector<TPacketField>& fields, const QString& name) {
    for (qsizetype i = 0; i < fields.size(); ++i)
        if (fields.at(i).name.compare(name, Qt::CaseInsensitive) == 0) return int(i);
    return -1;
}

TDataPacket decodePacket(const QJsonValue& value, const QString& ctx) {
    if (!value.isObject()) fail(ctx, QStringLiteral("a data packet must be a JSON object"));
    const QJsonObject obj = value.toObject();
    TDataPacket p;
    p.fields = decodeFields(obj, ctx);
    const QJsonValue rv = obj.value(QLatin1String("rows"));
    if (!rv.isArray()) fail(ctx, QStringLiteral("\"rows\" is missing or not an array"));
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
    return decodePacket(parseDocument(json, "packet"), QString());
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
        throw EPacketError(QStringLiteral("a packet pair must be a JSON array of two packets"));
    const QJsonArray arr = value.toArray();
    TPacketPair pair;
    pair.first = decodePacket(arr.at(0), QStringLiteral("packet 1 of the pair"));
    pair.second = decodePacket(arr.at(1), QStringLiteral("packet 2 of the pair"));
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
    if (!value.isObject()) throw EPacketError(QStringLiteral("a change log must be a JSON object"));
    const QJsonObject obj = value.toObject();
    TChangeLog log;
    log.fields = decodeFields(obj, QString());
    const QJsonValue cv = obj.value(QLatin1String("changes"));
    if (!cv.isArray()) throw EPacketError(QStringLiteral("\"changes\" is missing or not an array"));
    const QJsonArray changes = cv.toArray();
    log.changes.reserve(changes.size());
    RowContext rc;
    rc.kind = "change";
    for (const QJsonValue& cv : changes) {
        ++rc.number;
        rc.suffix = nullptr;
        if (!cv.isObject()) throw EPacketError(rc.text() + QStringLiteral(" is not an object"));
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
            throw EPacketError(rc.text() + QStringLiteral(" has the unknown op \"%1\"").arg(op));
        if (ch.op != TChange::Insert) {
            const QJsonValue old = c.value(QLatin1String("old"));
            if (old.isUndefined()) throw EPacketError(rc.text() + QStringLiteral(" has no \"old\" values"));
            rc.suffix = " old";
            ch.oldValues = decodeRow(old, log.fields, rc);
        }
        if (ch.op != TChange::Delete) {
            const QJsonValue nv = c.value(QLatin1String("new"));
            if (nv.isUndefined()) throw EPacketError(rc.text() + QStringLiteral(" has no \"new\" values"));
            rc.suffix = " new";
            ch.newValues = decodeRow(nv, log.fields, rc);
        }
        log.changes.push_back(std::move(ch));
    }
    return log;
}

TChangeLog TChangeLog::fromJson(const QByteArray& json) {
    return fromJson(parseDocument(json, "change log"));
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
