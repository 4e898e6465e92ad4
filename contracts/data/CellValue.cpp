#include "CellValue.h"

#include "Conversions.h"
#include "Exceptions.h"
#include "TField.h"

#include <QDate>
#include <QDateTime>

namespace kvo::data {

// Values a caller writes go through the conversions unit, so the record set reads numbers and
// dates exactly as the rest of the system does.
bool numberOf(const QVariant& v, double* out) {
    if (v.metaType().id() == QMetaType::Double) { // the usual case, without the general conversion
        const double d = *static_cast<const double*>(v.constData());
        if (!std::isfinite(d)) return false;
        *out = d;
        return true;
    }
    const std::optional<double> n = toNumber(v);
    if (n) *out = *n;
    return n.has_value();
}

bool dayOf(const QVariant& v, qint64* day) {
    QDate d;
    if (v.metaType().id() == QMetaType::QDate) { // the usual case, as numberOf
        d = *static_cast<const QDate*>(v.constData());
    } else if (const std::optional<QDate> date = toDate(v)) {
        d = *date;
    } else {
        return false;
    }
    *day = d.isValid() ? d.toJulianDay() : NullDay;
    return true;
}

QString fitText(const QString& s, TFieldType type, int size) {
    return fitText(s, size, type == ftFixedChar);
}

Cell writtenCell(Column& col, const QVariant& v) {
    Cell cell = nullCell(col.type);
    if (v.isNull() || !v.isValid()) return cell;
    switch (col.type) {
    case ftString:
    case ftFixedChar:
        if (v.metaType().id() == QMetaType::QString) { // a text that fits goes in without copies
            const QString& s = *static_cast<const QString*>(v.constData());
            if (s.size() <= col.size && (col.type == ftString || s.isEmpty())) { // a fixed one may pad
                cell.s = col.pool.intern(s);
                break;
            }
        }
        cell.s = col.pool.intern(fitText(v.toString(), col.type, col.size));
        break;
    case ftFloat:
        if (!numberOf(v, &cell.f))
            throw EDatabaseError(QStringLiteral("'%1' não é um valor numérico válido.").arg(v.toString()));
        break;
    case ftDateTime:
        if (!dayOf(v, &cell.day))
            throw EDatabaseError(QStringLiteral("'%1' não é uma data válida.").arg(v.toString()));
        break;
    }
    return cell;
}

Cell packetCell(Column& col, const QVariant& v, qsizetype row) {
    Cell cell = nullCell(col.type);
    if (v.isNull() || !v.isValid()) return cell;
    auto fail = [&](const QString& what) {
        throw EDatabaseError(
            QStringLiteral("Linha %1, campo %2: %3").arg(row + 1).arg(col.field->FieldName(), what));
    };
    const int t = v.metaType().id();
    switch (col.type) {
    case ftString:
    case ftFixedChar: {
        if (t != QMetaType::QString) fail(QStringLiteral("esperava-se um texto"));
        QString s = v.toString();
        const int n = s.size() <= col.size ? col.size : kvo::data::charCount(s); // cheap when short
        if (n > col.size)
            fail(QStringLiteral("o texto de %1 caracteres excede o tamanho %2").arg(n).arg(col.size));
        if (col.type == ftFixedChar && !s.isEmpty() && s.size() < col.size)
            s = kvo::data::padToChars(s, col.size);
        cell.s = col.pool.intern(s);
        break;
    }
    case ftFloat:
        if (t != QMetaType::Double && t != QMetaType::Int && t != QMetaType::LongLong &&
            t != QMetaType::Float && t != QMetaType::UInt && t != QMetaType::ULongLong)
            fail(QStringLiteral("esperava-se um número"));
        cell.f = v.toDouble();
        if (!std::isfinite(cell.f)) fail(QStringLiteral("o valor não é um número finito"));
        break;
    case ftDateTime: {
        const QDate date = t == QMetaType::QDateTime ? v.toDateTime().date()
                           : t == QMetaType::QDate   ? v.toDate()
                                                     : QDate();
        if (!date.isValid()) fail(QStringLiteral("esperava-se uma data válida"));
        cell.day = date.toJulianDay();
        break;
    }
    }
    return cell;
}

QVariant cellValue(const Column& col, Cell c) {
    if (cellNull(col.type, c)) return {};
    switch (col.type) {
    case ftString:
    case ftFixedChar:
        return col.pool.text(c.s);
    case ftFloat:
        return c.f;
    case ftDateTime:
        return QDate::fromJulianDay(c.day);
    }
    return {};
}

QVariant calcValue(TFieldType type, int size, const QVariant& v) {
    if (v.isNull() || !v.isValid()) return {};
    if (isText(type)) {
        const QString s = fitText(v.toString(), type, size > 0 ? size : kvo::data::MaxTextSize);
        return s.isEmpty() ? QVariant() : QVariant(s);
    }
    Column tmp;
    tmp.type = type;
    return cellValue(tmp, writtenCell(tmp, v));
}

} // namespace kvo::data
