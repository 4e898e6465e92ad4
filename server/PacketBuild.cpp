#include "PacketBuild.h"

#include "Database.h"

#include <cmath>

namespace kvo::server {

QVariant packetValue(const TPacketField& f, const QVariant& v) {
    if (v.isNull()) return {};
    switch (f.type) {
    case ftString:
    case ftFixedChar:
        return v.toString();
    case ftFloat:
        return v.toDouble();
    case ftDateTime: {
        const QDate d = dateFromDb(v);
        return d.isValid() ? QVariant(d) : QVariant();
    }
    }
    return {};
}

TDataPacket packetFromQuery(const QVector<TPacketField>& fields, QSqlQuery& q) {
    TDataPacket p;
    p.fields = fields;
    while (q.next()) {
        QVector<QVariant> row;
        row.reserve(fields.size());
        for (int i = 0; i < fields.size(); ++i)
            row << packetValue(fields.at(i), q.value(i));
        p.rows << row;
    }
    return p;
}

// A decoded log holds texts and doubles: those are read in place, without a conversion.
QString logText(const QVariant& v) {
    if (v.typeId() == QMetaType::QString) return *static_cast<const QString*>(v.constData());
    return v.isNull() ? QString() : v.toString();
}

double logNum(const QVariant& v) {
    if (v.typeId() == QMetaType::Double) {
        const double d = *static_cast<const double*>(v.constData());
        return std::isfinite(d) ? d : std::nan("");
    }
    if (v.isNull()) return 0;
    return kvo::data::toNumber(v).value_or(std::nan(""));
}

QDate logDate(const QVariant& v) {
    if (v.typeId() == QMetaType::QDate) return v.toDate(); // what a decoded log holds
    return kvo::data::toDate(v).value_or(QDate());
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
        } else if (ta == QMetaType::QDate && type == ftDateTime) {
            return *static_cast<const QDate*>(a.constData()) == *static_cast<const QDate*>(b.constData());
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
