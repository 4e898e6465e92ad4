#include "PacketJson.h"

#include "Database.h"
#include "data/Conversions.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace kvo::server {

namespace {

// The last date written; a day's rows repeat the same one or two.
struct LastDate {
    QDate date;
    QByteArray text;
};

// Packets write whole numbers of up to 15 digits as plain digits.
constexpr int kWholeDigits = 15;
constexpr double kWholeBelow = 1e15;

void appendNumber(QByteArray& out, double d) {
    appendJsonNumber(out, d, kWholeBelow);
}

void appendValue(QByteArray& out, const TPacketField& f, const QVariant& v, LastDate& last) {
    if (v.isNull() || !v.isValid()) {
        out += "null";
        return;
    }
    switch (f.type) {
    case ftString:
    case ftFixedChar:
        appendJsonString(out, v.toString());
        return;
    case ftFloat:
        appendNumber(out, v.toDouble());
        return;
    case ftDateTime: {
        const QDate date = kvo::data::toDate(v).value_or(QDate());
        if (!date.isValid()) {
            out += "null";
            return;
        }
        if (date != last.date) {
            last.text = '"' + kvo::data::packetDate(date).toLatin1() + '"';
            last.date = date;
        }
        out += last.text;
        return;
    }
    }
}

} // namespace

void appendJsonNumber(QByteArray& out, double d, double wholeBelow) {
    if (!std::isfinite(d)) {
        out += "null";
    } else if (d == std::floor(d) && std::fabs(d) < wholeBelow) {
        // Whole counts are most of a day's values: digits written in place, no temporary.
        char buf[24];
        char* e = buf + sizeof buf;
        char* c = e;
        qint64 n = qint64(d);
        const bool negative = n < 0;
        if (negative) n = -n;
        do {
            *--c = char('0' + n % 10);
            n /= 10;
        } while (n);
        if (negative) *--c = '-';
        out.append(c, e - c);
    } else {
        out += QByteArray::number(d, 'g', QLocale::FloatingPointShortest);
    }
}

void appendJsonString(QByteArray& out, const QString& s) {
    // Codes and most names are plain ASCII: written straight from the UTF-16 units.
    bool plain = true;
    for (QChar ch : s) {
        const char16_t c = ch.unicode();
        if (c < 0x20 || c >= 0x80 || c == u'"' || c == u'\\') {
            plain = false;
            break;
        }
    }
    if (plain) {
        const qsizetype at = out.size();
        out.resize(at + s.size() + 2);
        char* d = out.data() + at;
        *d++ = '"';
        for (QChar ch : s)
            *d++ = char(ch.unicode());
        *d = '"';
        return;
    }
    const QByteArray u = s.toUtf8();
    appendJsonUtf8(out, std::string_view(u.constData(), size_t(u.size())));
}

void appendJsonUtf8(QByteArray& out, std::string_view u) {
    out += '"';
    for (char ch : u) {
        const unsigned char c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
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

static void appendFieldsJson(QByteArray& out, const QVector<TPacketField>& fields) {
    out += "{\"fields\":[";
    for (int i = 0; i < fields.size(); ++i) {
        const TPacketField& f = fields.at(i);
        if (i) out += ',';
        out += "{\"name\":";
        appendJsonString(out, f.name);
        out += ",\"type\":\"";
        out += FieldTypeName(f.type);
        out += '"';
        if (f.type == ftString || f.type == ftFixedChar) {
            out += ",\"size\":";
            out += QByteArray::number(f.size);
        }
        out += '}';
    }
    out += "],\"rows\":[";
}

void appendPacketJson(QByteArray& out, const TDataPacket& p) {
    appendFieldsJson(out, p.fields);
    LastDate last;
    for (int r = 0; r < p.rows.size(); ++r) {
        if (r) out += ',';
        out += '[';
        const QVector<QVariant>& row = p.rows.at(r);
        for (int i = 0; i < p.fields.size(); ++i) {
            if (i) out += ',';
            appendValue(out, p.fields.at(i), row.value(i), last);
        }
        out += ']';
    }
    out += "]}";
}

void appendPacketJson(QByteArray& out, const QVector<TPacketField>& fields, Statement& q) {
    appendFieldsJson(out, fields);
    LastDate last;
    struct StoredDay {
        std::string stored;
        QByteArray json;
    };
    std::vector<StoredDay> days(size_t(fields.size()));
    bool first = true;
    while (q.next()) {
        out += first ? "[" : ",[";
        first = false;
        for (int i = 0; i < fields.size(); ++i) {
            if (i) out += ',';
            if (q.isNull(i)) {
                out += "null";
                continue;
            }
            switch (fields.at(i).type) {
            case ftString:
            case ftFixedChar: {
                const std::string_view t = q.bytes(i);
                bool plain = true;
                for (char ch : t) {
                    const auto c = static_cast<unsigned char>(ch);
                    if (c < 0x20 || c >= 0x80 || c == '"' || c == '\\') {
                        plain = false;
                        break;
                    }
                }
                if (plain) {
                    out += '"';
                    out.append(t.data(), qsizetype(t.size()));
                    out += '"';
                } else if (QByteArrayView(t.data(), qsizetype(t.size())).isValidUtf8()) {
                    appendJsonUtf8(out, t); // what a QString of it would write back
                } else {
                    appendJsonString(out, QString::fromUtf8(t.data(), qsizetype(t.size())));
                }
                break;
            }
            case ftFloat:
                // Counts are whole: their text goes as it came, without a round trip through double.
                if (q.isInteger(i)) {
                    appendNumber(out, double(q.integer(i)));
                } else if (const std::string_view w = q.wholeText(i, kWholeDigits); !w.empty()) {
                    out.append(w.data(), qsizetype(w.size()));
                } else {
                    appendNumber(out, q.number(i));
                }
                break;
            case ftDateTime: {
                // Each date column repeats one or two days: the same stored text, the same JSON.
                StoredDay& day = days[size_t(i)];
                const std::string_view t = q.bytes(i);
                if (day.json.isEmpty() || t != day.stored) {
                    day.stored.assign(t);
                    day.json.resize(0);
                    appendValue(day.json, fields.at(i), q.date(i), last);
                }
                out += day.json;
                break;
            }
            }
        }
        out += ']';
    }
    q.finish();
    out += "]}";
}

QByteArray packetJson(const TDataPacket& p) {
    QByteArray out;
    out.reserve(64 + p.rows.size() * p.fields.size() * 12);
    appendPacketJson(out, p);
    return out;
}

QByteArray pairJson(const TPacketPair& p) {
    QByteArray out;
    out.reserve(
        128 +
        (p.first.rows.size() * p.first.fields.size() + p.second.rows.size() * p.second.fields.size()) * 12);
    out += '[';
    appendPacketJson(out, p.first);
    out += ',';
    appendPacketJson(out, p.second);
    out += ']';
    return out;
}

} // namespace kvo::server
