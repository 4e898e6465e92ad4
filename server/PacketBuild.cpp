#include "PacketBuild.h"

#include "Database.h"

#include <cmath>

namespace kvo::server {

QDateTime dayTime(const QDate& d) {
    return QDateTime(d, QTime(0, 0));
}

QVariant DayTimes::get(const QDate& d) {
    if (!d.isValid()) return {};
    auto it = m_cache.find(d.toJulianDay());
    if (it == m_cache.end()) it = m_cache.insert(d.toJulianDay(), dayTime(d));
    return *it;
}

QVariant packetValue(const TPacketField& f, const QVariant& v, DayTimes* days) {
    if (v.isNull()) return {};
    switch (f.type) {
    case ftString:
    case ftFixedChar:
        return v.toString();
    case ftFloat:
        return v.toDouble();
    case ftDateTime: {
        const QDate d = dateFromDb(v);
        if (days) return days->get(d);
        return d.isValid() ? QVariant(dayTime(d)) : QVariant();
    }
    }
    return {};
}

TDataPacket packetFromQuery(const QVector<TPacketField>& fields, QSqlQuery& q) {
    TDataPacket p;
    p.fields = fields;
    DayTimes days;
    while (q.next()) {
        QVector<QVariant> row;
        row.reserve(fields.size());
        for (int i = 0; i < fields.size(); ++i)
            row << packetValue(fields.at(i), q.value(i), &days);
        p.rows << row;
    }
    return p;
}

QString logText(const QVariant& v) {
    return v.isNull() ? QString() : v.toString();
}

double logNum(const QVariant& v) {
    if (v.isNull()) return 0;
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok && std::isfinite(d) ? d : std::nan("");
}

QDate logDate(const QVariant& v) {
    if (v.isNull()) return {};
    if (v.typeId() == QMetaType::QDateTime) return v.toDateTime().date();
    if (v.typeId() == QMetaType::QDate) return v.toDate();
    return QDate::fromString(v.toString().left(10), Qt::ISODate);
}

bool sameValue(TFieldType type, const QVariant& a, const QVariant& b) {
    // Change logs compare thousands of values that came in with the same type; those skip the
    // conversions below.
    const int ta = a.typeId();
    if (ta == b.typeId()) {
        if (ta == QMetaType::Double && type == ftFloat) {
            const double x = *static_cast<const double*>(a.constData()),
                         y = *static_cast<const double*>(b.constData());
            if (x == y && std::isfinite(x)) return true;
        } else if (ta == QMetaType::QString && type != ftFloat && type != ftDateTime) {
            if (*static_cast<const QString*>(a.constData()) == *static_cast<const QString*>(b.constData()))
                return true;
        } else if (ta == QMetaType::QDateTime && type == ftDateTime) {
            return static_cast<const QDateTime*>(a.constData())->date() ==
                   static_cast<const QDateTime*>(b.constData())->date();
        }
    }
    switch (type) {
    case ftFloat: {
        const double x = logNum(a), y = logNum(b);
        if (std::isnan(x) || std::isnan(y)) return false;
        return std::fabs(x - y) <= 1e-9 * std::max(1.0, std::max(std::fabs(x), std::fabs(y)));
    }
    case ftDateTime:
        return logDate(a) == logDate(b);
    case ftString:
    case ftFixedChar:
        // Fixed-width texts come back padded; trailing blanks carry no meaning.
        return logText(a).trimmed() == logText(b).trimmed();
    }
    return false;
}

} // namespace kvo::server
