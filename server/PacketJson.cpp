#include "PacketJson.h"

#include "Database.h"
#include "data/Conversions.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace kvo::server {

namespace {

// The last date written; a day's rows repeat the same one or two.
struct LastDate {
    QDate date;
    QByteArray text;
};

// Writes through a plain pointer into room made ahead: a day is hundreds of thousands of values,
// and every QByteArray append checks sharing and capacity again. The bytes past what was written
// are cut off when it goes.
class RowWriter {
public:
    explicit RowWriter(QByteArray& out) : m_out(out), m_used(out.size()) { reset(); }
    ~RowWriter() { m_out.resize(m_used); }
    RowWriter(const RowWriter&) = delete;
    RowWriter& operator=(const RowWriter&) = delete;

    // Room for n more bytes; wrote() then says where the writing ended.
    char* room(qsizetype n) {
        if (m_end - m_base - m_used < n) {
            m_out.resize(std::max(m_out.size() * 2, m_used + n + 4096));
            reset();
        }
        return m_base + m_used;
    }
    void wrote(const char* end) { m_used = end - m_base; }
    // Room for a value of n bytes, after the comma that separates it from the one before.
    char* value(bool comma, qsizetype n) {
        char* p = room(n + 1);
        if (comma) *p++ = ',';
        return p;
    }
    void put(bool comma, std::string_view bytes) {
        char* p = value(comma, qsizetype(bytes.size()));
        std::memcpy(p, bytes.data(), bytes.size());
        wrote(p + bytes.size());
    }
    // For the rare value written by the QByteArray functions.
    template <typename F> void through(F&& write) {
        m_out.resize(m_used);
        write(m_out);
        m_used = m_out.size();
        reset();
    }

private:
    void reset() {
        m_base = m_out.data();
        m_end = m_base + m_out.size();
    }
    QByteArray& m_out;
    qsizetype m_used;
    char* m_base = nullptr;
    char* m_end = nullptr;
};

// The digits of a whole number, at most 21 bytes.
char* writeWhole(char* to, qint64 n) {
    char buf[24];
    char* e = buf + sizeof buf;
    char* c = e;
    const bool negative = n < 0;
    quint64 u = negative ? 0 - quint64(n) : quint64(n);
    do {
        *--c = char('0' + u % 10);
        u /= 10;
    } while (u);
    if (negative) *--c = '-';
    std::memcpy(to, c, size_t(e - c));
    return to + (e - c);
}

bool writesWhole(double d, double wholeBelow) {
    return std::isfinite(d) && d == std::floor(d) && std::fabs(d) < wholeBelow;
}

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
    if (writesWhole(d, wholeBelow)) {
        // Whole counts are most of a day's values: digits written in place, no temporary.
        char buf[24];
        out.append(buf, writeWhole(buf, qint64(d)) - buf);
    } else if (!std::isfinite(d)) {
        out += "null";
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
    const int columns = int(fields.size());
    RowWriter w(out);
    auto number = [&](char* p, double d) {
        if (writesWhole(d, kWholeBelow)) {
            w.wrote(writeWhole(p, qint64(d)));
        } else {
            w.wrote(p);
            w.through([d](QByteArray& b) { appendNumber(b, d); });
        }
    };
    bool first = true;
    while (q.next()) {
        w.put(!first, "[");
        first = false;
        for (int i = 0; i < columns; ++i) {
            const bool comma = i != 0;
            switch (fields[i].type) {
            case ftString:
            case ftFixedChar: {
                const std::optional<std::string_view> text = q.textOrNull(i);
                if (!text) {
                    w.put(comma, "null");
                    break;
                }
                const std::string_view t = *text;
                // Copied as it is checked: only control characters, quotes and backslashes are
                // escaped, and UTF-8 goes as it is once known to be valid (names have accents).
                char* p = w.value(comma, qsizetype(t.size()) + 2);
                char* const at = p;
                *p++ = '"';
                bool plain = true, ascii = true;
                for (char ch : t) {
                    const auto c = static_cast<unsigned char>(ch);
                    if (c < 0x20 || c == '"' || c == '\\') {
                        plain = false;
                        break;
                    }
                    ascii = ascii && c < 0x80;
                    *p++ = ch;
                }
                if (plain && !ascii) plain = QByteArrayView(t.data(), qsizetype(t.size())).isValidUtf8();
                if (plain) {
                    *p++ = '"';
                    w.wrote(p);
                    break;
                }
                w.wrote(at);
                w.through([t](QByteArray& b) {
                    if (QByteArrayView(t.data(), qsizetype(t.size())).isValidUtf8())
                        appendJsonUtf8(b, t); // what a QString of it would write back
                    else
                        appendJsonString(b, QString::fromUtf8(t.data(), qsizetype(t.size())));
                });
                break;
            }
            case ftFloat: {
                // Counts are whole: their text goes as it came, without a round trip through double.
                // SQLite's integers are read as doubles: the packet writer writes them from one too.
                if (const std::string_view whole = q.wholeText(i, kWholeDigits); !whole.empty()) {
                    w.put(comma, whole);
                    break;
                }
                const std::optional<double> d = q.numberOrNull(i);
                if (!d) {
                    w.put(comma, "null");
                    break;
                }
                number(w.value(comma, 23), *d);
                break;
            }
            case ftDateTime: {
                // Each date column repeats one or two days: the same stored text, the same JSON.
                const std::optional<std::string_view> text = q.textOrNull(i);
                if (!text) {
                    w.put(comma, "null");
                    break;
                }
                StoredDay& day = days[size_t(i)];
                const std::string_view t = *text;
                if (day.json.isEmpty() || t != day.stored) {
                    day.stored.assign(t);
                    day.json.resize(0);
                    appendValue(day.json, fields.at(i), q.date(i), last);
                }
                w.put(comma, std::string_view(day.json.constData(), size_t(day.json.size())));
                break;
            }
            }
        }
        w.put(false, "]");
    }
    q.finish();
    w.put(false, "]}");
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
