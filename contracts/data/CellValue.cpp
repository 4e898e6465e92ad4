#include "CellValue.h"

#include "DataText.h"
#include "Exceptions.h"
#include "TField.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>

namespace kvo::data {

bool numberOf(const QVariant& v, double* out) {
    if (v.metaType().id() == QMetaType::QString) {
        QString s = v.toString().trimmed();
        if (s.contains(QLatin1Char(',')) && s.contains(QLatin1Char('.'))) s.remove(QLatin1Char('.'));
        s.replace(QLatin1Char(','), QLatin1Char('.'));
        bool ok = false;
        *out = QLocale::c().toDouble(s, &ok);
        return ok && std::isfinite(*out);
    }
    if (v.metaType().id() == QMetaType::Bool) return false;
    bool ok = false;
    *out = v.toDouble(&ok);
    return ok && std::isfinite(*out);
}

namespace {

// "yyyy-MM-dd" with an optional "THH:MM:SS", or "d/M/yyyy" with an optional " H:mm[:ss]"; the time
// is checked and dropped. Read straight into a QDate, never through local time.
QDate dateOfText(const QString& s) {
    const qsizetype t = s.indexOf(QLatin1Char('T')), blank = s.indexOf(QLatin1Char(' '));
    if (s.size() >= 10 && s.at(4) == QLatin1Char('-')) {
        if (s.size() > 10 && (t != 10 || !QTime::fromString(s.mid(11), QStringLiteral("HH:mm:ss")).isValid()))
            return {};
        return QDate::fromString(s.left(10), QStringLiteral("yyyy-MM-dd"));
    }
    if (blank > 0) {
        const QString time = s.mid(blank + 1);
        if (!QTime::fromString(time, QStringLiteral("H:mm:ss")).isValid() &&
            !QTime::fromString(time, QStringLiteral("H:mm")).isValid())
            return {};
        return QDate::fromString(s.left(blank), QStringLiteral("d/M/yyyy"));
    }
    return QDate::fromString(s, QStringLiteral("d/M/yyyy"));
}

} // namespace

bool dayOf(const QVariant& v, qint64* day) {
    QDate date;
    switch (v.metaType().id()) {
    case QMetaType::QDate:
        date = v.toDate();
        break;
    case QMetaType::QDateTime:
        date = v.toDateTime().date();
        break;
    case QMetaType::QString:
        date = dateOfText(v.toString().trimmed());
        if (!date.isValid()) return false;
        break;
    default:
        return false;
    }
    *day = date.isValid() ? date.toJulianDay() : NullDay;
    return true;
}

QString fitText(const QString& s, TFieldType type, int size) {
    QString t = kvo::data::cutToChars(s, size);
    if (type == ftFixedChar && !t.isEmpty()) t = kvo::data::padToChars(t, size);
    return t;
}

Cell writtenCell(Column& col, const QVariant& v) {
    Cell cell = nullCell(col.type);
    if (v.isNull() || !v.isValid()) return cell;
    switch (col.type) {
    case ftString:
    case ftFixedChar:
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
            QStringLiteral("Row %1, field %2: %3").arg(row + 1).arg(col.field->FieldName(), what));
    };
    const int t = v.metaType().id();
    switch (col.type) {
    case ftString:
    case ftFixedChar: {
        if (t != QMetaType::QString) fail(QStringLiteral("a text is expected"));
        QString s = v.toString();
        const int n = s.size() <= col.size ? col.size : kvo::data::charCount(s); // cheap when short
        if (n > col.size)
            fail(QStringLiteral("text of %1 characters exceeds the size %2").arg(n).arg(col.size));
        if (col.type == ftFixedChar && !s.isEmpty() && s.size() < col.size)
            s = kvo::data::padToChars(s, col.size);
        cell.s = col.pool.intern(s);
        break;
    }
    case ftFloat:
        if (t != QMetaType::Double && t != QMetaType::Int && t != QMetaType::LongLong &&
            t != QMetaType::Float && t != QMetaType::UInt && t != QMetaType::ULongLong)
            fail(QStringLiteral("a number is expected"));
        cell.f = v.toDouble();
        if (!std::isfinite(cell.f)) fail(QStringLiteral("not a finite number"));
        break;
    case ftDateTime: {
        const QDate date = t == QMetaType::QDateTime ? v.toDateTime().date()
                           : t == QMetaType::QDate   ? v.toDate()
                                                     : QDate();
        if (!date.isValid()) fail(QStringLiteral("a valid date is expected"));
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
