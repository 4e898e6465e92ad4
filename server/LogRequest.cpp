#include "LogRequest.h"

#include "data/Conversions.h"

#include <QDate>
#include <QSet>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>

using namespace kvo::data;

namespace kvo::server {

namespace {

// Thrown at the first thing this reader leaves to the general path.
struct Unusual {};
[[noreturn]] void unusual() {
    throw Unusual{};
}

// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF (what Qt's parser refuses).
bool validUtf8(std::string_view s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const auto* e = p + s.size();
    while (p < e) {
        const unsigned char c = *p++;
        if (c < 0x80) continue;
        int n = 0;
        char32_t cp = 0, min = 0;
        if ((c & 0xE0) == 0xC0) {
            n = 1, cp = c & 0x1F, min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            n = 2, cp = c & 0x0F, min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            n = 3, cp = c & 0x07, min = 0x10000;
        } else {
            return false;
        }
        if (e - p < n) return false;
        for (int i = 0; i < n; ++i, ++p) {
            if ((*p & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (*p & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    }
    return true;
}

struct Number {
    double value = 0;
    bool integral = false; // written without fraction or exponent and within 64 bits
    qint64 integer = 0;
};

class Reader {
public:
    Reader(const char* begin, const char* end) : p(begin), e(end) {}

    char next() {
        while (p < e && (*p == ' ' || *p == '\n' || *p == '\r' || *p == '\t'))
            ++p;
        return p < e ? *p : '\0';
    }
    void expect(char c) {
        if (next() != c) unusual();
        ++p;
    }
    bool consume(char c) {
        if (next() != c) return false;
        ++p;
        return true;
    }
    bool atEnd() { return next() == '\0' && p == e; }

    // An object's members: f reads the value of the member it is handed the name of.
    template <typename F> void object(F&& f) {
        expect('{');
        if (consume('}')) return;
        do {
            const std::string_view k = key();
            expect(':');
            f(k);
        } while (consume(','));
        expect('}');
    }
    template <typename F> void array(F&& f) {
        expect('[');
        if (consume(']')) return;
        do
            f();
        while (consume(','));
        expect(']');
    }

    bool null() {
        if (next() != 'n' || e - p < 4 || std::memcmp(p, "null", 4) != 0) return false;
        p += 4;
        return true;
    }

    QString string() {
        if (next() != '"') unusual();
        const char* s = ++p;
        bool ascii = true;
        while (p < e && *p != '"' && *p != '\\') {
            const auto c = static_cast<unsigned char>(*p);
            if (c < 0x20) unusual();
            if (c >= 0x80) ascii = false;
            ++p;
        }
        if (p >= e) unusual();
        if (*p == '"') {
            const std::string_view t(s, size_t(p - s));
            ++p;
            if (ascii) return QString::fromLatin1(t.data(), qsizetype(t.size()));
            if (!validUtf8(t)) unusual();
            return QString::fromUtf8(t.data(), qsizetype(t.size()));
        }
        std::string buf(s, size_t(p - s));
        while (p < e && *p != '"') {
            const auto c = static_cast<unsigned char>(*p);
            if (c < 0x20) unusual();
            if (c != '\\') {
                buf += char(c);
                ++p;
                continue;
            }
            if (++p >= e) unusual();
            switch (*p++) {
            case '"':
                buf += '"';
                break;
            case '\\':
                buf += '\\';
                break;
            case '/':
                buf += '/';
                break;
            case 'b':
                buf += '\b';
                break;
            case 'f':
                buf += '\f';
                break;
            case 'n':
                buf += '\n';
                break;
            case 'r':
                buf += '\r';
                break;
            case 't':
                buf += '\t';
                break;
            case 'u': {
                if (e - p < 4) unusual();
                unsigned cp = 0;
                for (int i = 0; i < 4; ++i) {
                    const char h = *p++;
                    cp <<= 4;
                    if (h >= '0' && h <= '9')
                        cp |= unsigned(h - '0');
                    else if (h >= 'a' && h <= 'f')
                        cp |= unsigned(h - 'a' + 10);
                    else if (h >= 'A' && h <= 'F')
                        cp |= unsigned(h - 'A' + 10);
                    else
                        unusual();
                }
                if (cp >= 0xD800 && cp <= 0xDFFF) unusual(); // pairs and strays: the general path
                if (cp < 0x80) {
                    buf += char(cp);
                } else if (cp < 0x800) {
                    buf += char(0xC0 | (cp >> 6));
                    buf += char(0x80 | (cp & 0x3F));
                } else {
                    buf += char(0xE0 | (cp >> 12));
                    buf += char(0x80 | ((cp >> 6) & 0x3F));
                    buf += char(0x80 | (cp & 0x3F));
                }
                break;
            }
            default:
                unusual();
            }
        }
        if (p >= e) unusual();
        ++p;
        if (!validUtf8(buf)) unusual();
        return QString::fromUtf8(buf.data(), qsizetype(buf.size()));
    }

    // The last plain text (no escapes) read into one column of a log's rows: the rows after it
    // that repeat it (a day's log repeats its branch, day, service and stamp) share its QString.
    struct LastText {
        std::string_view bytes; // in the body, between the quotes
        QString text;
        bool valid = false;
    };
    QString string(LastText& last) {
        if (next() != '"') unusual();
        if (last.valid) {
            const size_t n = last.bytes.size();
            if (size_t(e - p) >= n + 2 && p[n + 1] == '"' && std::memcmp(p + 1, last.bytes.data(), n) == 0) {
                p += n + 2;
                return last.text;
            }
        }
        const char* s = p + 1;
        QString t = string();
        const std::string_view raw(s, size_t(p - 1 - s));
        if (raw.find('\\') == std::string_view::npos) last = {raw, t, true};
        return t;
    }

    Number number() {
        next();
        const char* s = p;
        if (p < e && *p == '-') ++p;
        if (p >= e || *p < '0' || *p > '9') unusual();
        if (*p == '0')
            ++p;
        else
            while (p < e && *p >= '0' && *p <= '9')
                ++p;
        bool integral = true;
        if (p < e && *p == '.') {
            integral = false;
            if (++p >= e || *p < '0' || *p > '9') unusual();
            while (p < e && *p >= '0' && *p <= '9')
                ++p;
        }
        if (p < e && (*p == 'e' || *p == 'E')) {
            integral = false;
            if (++p < e && (*p == '+' || *p == '-')) ++p;
            if (p >= e || *p < '0' || *p > '9') unusual();
            while (p < e && *p >= '0' && *p <= '9')
                ++p;
        }
        Number n;
        // Whole numbers go through a 64-bit integer, as Qt's parser reads them (so -0 is 0).
        if (integral) {
            const auto r = std::from_chars(s, p, n.integer);
            if (r.ec == std::errc() && r.ptr == p) {
                n.integral = true;
                n.value = double(n.integer);
                return n;
            }
        }
        const auto r = std::from_chars(s, p, n.value);
        if (r.ec != std::errc() || r.ptr != p || !std::isfinite(n.value)) unusual();
        return n;
    }

    // A row value before its field is known (a log's changes may come before its fields).
    QVariant scalar(LastText& last) {
        const char c = next();
        if (c == '"') return string(last);
        if (null()) return {};
        if (c == '-' || (c >= '0' && c <= '9')) return number().value;
        unusual();
    }

private:
    std::string_view key() {
        if (next() != '"') unusual();
        const char* s = ++p;
        while (p < e && *p != '"') {
            const auto c = static_cast<unsigned char>(*p);
            if (c == '\\' || c < 0x20 || c >= 0x80) unusual();
            ++p;
        }
        if (p >= e) unusual();
        return std::string_view(s, size_t(p++ - s));
    }

    const char* p;
    const char* e;
};

void once(bool& seen) {
    if (seen) unusual();
    seen = true;
}

TPacketField readField(Reader& r) {
    TPacketField f;
    bool name = false, type = false, hasSize = false;
    double size = 0;
    r.object([&](std::string_view k) {
        if (k == "name") {
            once(name);
            f.name = r.string();
        } else if (k == "type") {
            once(type);
            const QString t = r.string();
            bool known = false;
            for (TFieldType ft : {ftString, ftFixedChar, ftFloat, ftDateTime})
                if (t == QLatin1String(FieldTypeName(ft))) {
                    f.type = ft;
                    known = true;
                }
            if (!known) unusual();
        } else if (k == "size") {
            once(hasSize);
            size = r.number().value;
        } else {
            unusual();
        }
    });
    if (!name || !type || f.name.trimmed().isEmpty()) unusual();
    if (f.type == ftString || f.type == ftFixedChar) {
        if (!hasSize || size != std::floor(size) || size < 1 || size > MaxTextSize) unusual();
        f.size = int(size);
    }
    return f;
}

// Per column position, the last text of the rows read.
using LastTexts = std::vector<Reader::LastText>;

void readRow(Reader& r, QVector<QVariant>& row, LastTexts& last) {
    r.array([&] {
        if (size_t(row.size()) >= last.size()) last.resize(size_t(row.size()) + 1);
        row.push_back(r.scalar(last[size_t(row.size())]));
    });
}

// Per column, the last text that passed decodeRow, and for a day its date: a text shared with
// it (the same QString, see LastText) passes again without being looked at.
struct Decoded {
    bool valid = false;
    QString text;
    QDate date;
    bool repeats(const QString& s) const {
        return valid && s.constData() == text.constData() && s.size() == text.size();
    }
};

// The row as the log decoder holds it, or Unusual where that decoder would refuse it.
void decodeRow(QVector<QVariant>& row, const QVector<TPacketField>& fields, std::vector<Decoded>& done) {
    if (row.size() != fields.size()) unusual();
    done.resize(size_t(fields.size()));
    for (int i = 0; i < row.size(); ++i) {
        QVariant& v = row[i];
        if (v.isNull()) continue;
        const TPacketField& f = fields.at(i);
        Decoded& last = done[size_t(i)];
        switch (f.type) {
        case ftString:
        case ftFixedChar: {
            if (v.typeId() != QMetaType::QString) unusual();
            const QString& s = *static_cast<const QString*>(v.constData());
            if (last.repeats(s)) break;
            if (!textFault(s).isEmpty()) unusual();
            if (s.size() > f.size && charCount(s) > f.size) unusual();
            last = {true, s, {}};
            break;
        }
        case ftFloat:
            if (v.typeId() != QMetaType::Double) unusual();
            break;
        case ftDateTime: {
            if (v.typeId() != QMetaType::QString) unusual();
            const QString& s = *static_cast<const QString*>(v.constData());
            if (!last.repeats(s)) {
                const QDate d = parseIsoDate(s);
                if (!d.isValid()) unusual();
                last = {true, s, d};
            }
            v = last.date;
            break;
        }
        }
    }
}

void readLog(Reader& r, TChangeLog& log) {
    struct Raw {
        int op = -1;
        bool hasOld = false, hasNew = false;
        QVector<QVariant> oldValues, newValues;
    };
    QVector<Raw> raw;
    bool fields = false, changes = false;
    // Changes come before fields in name order: rows are sized by the rows read before them.
    qsizetype width = 0;
    LastTexts last;
    r.object([&](std::string_view k) {
        if (k == "fields") {
            once(fields);
            r.array([&] { log.fields.push_back(readField(r)); });
        } else if (k == "changes") {
            once(changes);
            r.array([&] {
                Raw c;
                bool op = false;
                const qsizetype expect = std::max(width, log.fields.size());
                c.oldValues.reserve(expect);
                c.newValues.reserve(expect);
                r.object([&](std::string_view m) {
                    if (m == "op") {
                        once(op);
                        const QString o = r.string();
                        if (o == QLatin1String("insert"))
                            c.op = TChange::Insert;
                        else if (o == QLatin1String("modify"))
                            c.op = TChange::Modify;
                        else if (o == QLatin1String("delete"))
                            c.op = TChange::Delete;
                        else
                            unusual();
                    } else if (m == "old") {
                        once(c.hasOld);
                        readRow(r, c.oldValues, last);
                    } else if (m == "new") {
                        once(c.hasNew);
                        readRow(r, c.newValues, last);
                    } else {
                        unusual();
                    }
                });
                width = std::max({width, c.oldValues.size(), c.newValues.size()});
                raw.push_back(std::move(c));
            });
        } else {
            unusual();
        }
    });
    if (!fields || !changes) unusual();
    QSet<QString> names;
    for (const TPacketField& f : log.fields) {
        const QString upper = f.name.toUpper();
        if (names.contains(upper)) unusual();
        names.insert(upper);
    }
    log.changes.reserve(raw.size());
    std::vector<Decoded> done;
    for (Raw& c : raw) {
        if (c.op < 0) unusual();
        TChange ch;
        ch.op = TChange::Op(c.op);
        if (ch.op != TChange::Insert) {
            if (!c.hasOld) unusual();
            decodeRow(c.oldValues, log.fields, done);
            ch.oldValues = std::move(c.oldValues);
        }
        if (ch.op != TChange::Delete) {
            if (!c.hasNew) unusual();
            decodeRow(c.newValues, log.fields, done);
            ch.newValues = std::move(c.newValues);
        }
        log.changes.push_back(std::move(ch));
    }
}

} // namespace

std::optional<LogRequest> readLogRequest(const QByteArray& body) {
    try {
        Reader r(body.constData(), body.constData() + body.size());
        LogRequest out;
        bool id = false, rpc = false, method = false, params = false;
        r.object([&](std::string_view k) {
            if (k == "id") {
                once(id);
                const char c = r.next();
                if (c == '"') {
                    out.id = r.string();
                } else if (r.null()) {
                    out.id = QJsonValue::Null;
                } else {
                    const Number n = r.number();
                    out.id = n.integral ? QJsonValue(n.integer) : QJsonValue(n.value);
                }
            } else if (k == "jsonrpc") {
                once(rpc);
                if (r.string() != QLatin1String("2.0")) unusual();
            } else if (k == "method") {
                once(method);
                out.method = r.string();
            } else if (k == "params") {
                once(params);
                int logs = 0;
                r.array([&] {
                    if (++logs > 1) unusual();
                    readLog(r, out.log);
                });
                if (logs != 1) unusual();
            } else {
                unusual();
            }
        });
        if (!r.atEnd() || !rpc || !method || !params || out.method.isEmpty()) unusual();
        out.notification = !id;
        if (!id) out.id = QJsonValue::Null;
        return out;
    } catch (const Unusual&) {
        return std::nullopt;
    }
}

} // namespace kvo::server
