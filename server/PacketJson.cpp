#include "PacketJson.h"

#include <QDateTime>
#include <cmath>
#include <cstdio>

namespace kvo::server {

namespace {

const char* typeName(TFieldType t)
{
    switch (t) {
    case ftString: return "string";
    case ftFixedChar: return "fixedchar";
    case ftFloat: return "float";
    case ftDateTime: return "datetime";
    }
    return "string";
}

void appendValue(QByteArray& out, const TPacketField& f, const QVariant& v)
{
    if (v.isNull() || !v.isValid()) {
        out += "null";
        return;
    }
    switch (f.type) {
    case ftString:
    case ftFixedChar:
        appendJsonString(out, v.toString());
        return;
    case ftFloat: {
        const double d = v.toDouble();
        if (!std::isfinite(d)) {
            out += "null";
        } else if (d == std::floor(d) && std::fabs(d) < 1e15) {
            out += QByteArray::number(qint64(d));
        } else {
            out += QByteArray::number(d, 'g', QLocale::FloatingPointShortest);
        }
        return;
    }
    case ftDateTime: {
        QDate date;
        QTime time(0, 0);
        if (v.typeId() == QMetaType::QDate) {
            date = v.toDate();
        } else {
            const QDateTime dt = v.toDateTime();
            date = dt.date();
            time = dt.time();
        }
        if (!date.isValid()) {
            out += "null";
            return;
        }
        char buf[40];
        std::snprintf(buf, sizeof buf, "\"%04d-%02d-%02dT%02d:%02d:%02d\"", date.year(), date.month(), date.day(),
                      time.hour(), time.minute(), time.second());
        out += buf;
        return;
    }
    }
}

} // namespace

void appendJsonString(QByteArray& out, const QString& s)
{
    const QByteArray u = s.toUtf8();
    out += '"';
    for (char ch : u) {
        const unsigned char c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += ch;
            }
        }
    }
    out += '"';
}

void appendPacketJson(QByteArray& out, const TDataPacket& p)
{
    out += "{\"fields\":[";
    for (int i = 0; i < p.fields.size(); ++i) {
        const TPacketField& f = p.fields.at(i);
        if (i)
            out += ',';
        out += "{\"name\":";
        appendJsonString(out, f.name);
        out += ",\"type\":\"";
        out += typeName(f.type);
        out += '"';
        if (f.type == ftString || f.type == ftFixedChar) {
            out += ",\"size\":";
            out += QByteArray::number(f.size);
        }
        out += '}';
    }
    out += "],\"rows\":[";
    for (int r = 0; r < p.rows.size(); ++r) {
        if (r)
            out += ',';
        out += '[';
        const QVector<QVariant>& row = p.rows.at(r);
        for (int i = 0; i < p.fields.size(); ++i) {
            if (i)
                out += ',';
            appendValue(out, p.fields.at(i), row.value(i));
        }
        out += ']';
    }
    out += "]}";
}

QByteArray packetJson(const TDataPacket& p)
{
    QByteArray out;
    out.reserve(64 + p.rows.size() * p.fields.size() * 12);
    appendPacketJson(out, p);
    return out;
}

QByteArray pairJson(const TPacketPair& p)
{
    QByteArray out;
    out.reserve(128 + (p.first.rows.size() * p.first.fields.size() + p.second.rows.size() * p.second.fields.size()) * 12);
    out += '[';
    appendPacketJson(out, p.first);
    out += ',';
    appendPacketJson(out, p.second);
    out += ']';
    return out;
}

} // namespace kvo::server
