#include "Conversions.h"

#include "Exceptions.h"

#include <QDateTime>
#include <QLocale>
#include <cmath>

namespace kvo::data {

namespace {

bool readDigits(QStringView t, qsizetype from, int count, int& out) {
    out = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        const QChar c = t.at(i);
        if (c < u'0' || c > u'9') return false;
        out = out * 10 + (c.unicode() - u'0');
    }
    return true;
}

// "YYYY-MM-DD" at the start of t; invalid when t does not start with one.
QDate isoDayPrefix(QStringView t) {
    if (t.size() < 10) return {};
    int y, m, d;
    if (!readDigits(t, 0, 4, y) || t.at(4) != u'-' || !readDigits(t, 5, 2, m) || t.at(7) != u'-' ||
        !readDigits(t, 8, 2, d))
        return {};
    return QDate(y, m, d);
}

// Written by hand: QDate::toString goes through a printf, and large packets and logs format
// thousands of dates. Writes "YYYY-MM-DD" for a year of four digits and returns where it ends.
template <typename Ch> Ch* putIsoDay(Ch* c, int y, int m, int day) {
    auto put = [&c](int v, int digits) {
        for (int i = digits - 1; i >= 0; --i, v /= 10)
            c[i] = Ch(u'0' + v % 10);
        c += digits;
    };
    put(y, 4);
    *c++ = Ch(u'-');
    put(m, 2);
    *c++ = Ch(u'-');
    put(day, 2);
    return c;
}

QString formatIso(const QDate& d, bool withTime) {
    if (!d.isValid()) return {};
    int y = 0, m = 0, day = 0;
    d.getDate(&y, &m, &day);
    if (y < 1 || y > 9999) {
        const QString s = d.toString(Qt::ISODate);
        return withTime ? s + QStringLiteral("T00:00:00") : s;
    }
    QString s(withTime ? 19 : 10, Qt::Uninitialized);
    QChar* c = putIsoDay(s.data(), y, m, day);
    if (withTime) {
        *c++ = u'T';
        for (const char16_t ch : u"00:00:00")
            if (ch) *c++ = ch;
    }
    return s;
}

QString formatNumber(double d, QChar decimal) {
    if (d == 0) d = 0; // no "-0"
    QString s = QString::number(d, 'f', 10);
    if (s.contains(u'.')) {
        while (s.endsWith(u'0'))
            s.chop(1);
        if (s.endsWith(u'.')) s.chop(1);
    }
    if (s == QLatin1String("-0")) s = QStringLiteral("0");
    if (decimal != u'.') s.replace(u'.', decimal);
    return s;
}

[[noreturn]] void urlError(const QString& text) {
    throw EDatabaseError(text);
}

// The libpq keys a suite site may need; host, port, dbname, user and password have fields of
// their own, the rest travel as connect options.
const char* const kPostgresOptions[] = {
    "hostaddr",         "connect_timeout",  "application_name",
    "options",          "client_encoding",  "sslmode",
    "sslcert",          "sslkey",           "sslrootcert",
    "sslcrl",           "sslpassword",      "sslcompression",
    "requiressl",       "gssencmode",       "krbsrvname",
    "service",          "passfile",         "target_session_attrs",
    "keepalives",       "keepalives_idle",  "keepalives_interval",
    "keepalives_count", "tcp_user_timeout", "channel_binding",
    "require_auth",
};

bool knownOption(const QString& key) {
    for (const char* k : kPostgresOptions)
        if (key == QLatin1String(k)) return true;
    return false;
}

} // namespace

// ---- dates

QDate parseIsoDate(QStringView t) {
    if (t.size() != 10 && t.size() != 19) return {};
    const QDate d = isoDayPrefix(t);
    if (t.size() == 19 && t.sliced(10) != u"T00:00:00") return {};
    return d;
}

QString isoDate(const QDate& d) {
    return formatIso(d, false);
}

void appendIsoDate(QByteArray& out, const QDate& d) {
    int y = 0, m = 0, day = 0;
    d.getDate(&y, &m, &day);
    if (!d.isValid() || y < 1 || y > 9999) {
        out += isoDate(d).toLatin1();
        return;
    }
    const qsizetype at = out.size();
    out.resize(at + 10);
    putIsoDay(out.data() + at, y, m, day);
}

QString packetDate(const QDate& d) {
    return formatIso(d, true);
}

QDate parseDisplayDate(QStringView text) {
    const QStringView t = text.trimmed();
    int part[3] = {0, 0, 0};
    int digits[3] = {0, 0, 0};
    int p = 0;
    for (const QChar c : t) {
        if (c == u'/') {
            if (++p > 2) return {};
        } else if (c >= u'0' && c <= u'9') {
            if (++digits[p] > 4) return {};
            part[p] = part[p] * 10 + (c.unicode() - u'0');
        } else {
            return {};
        }
    }
    if (p != 2 || digits[0] < 1 || digits[0] > 2 || digits[1] < 1 || digits[1] > 2 || digits[2] != 4)
        return {};
    return QDate(part[2], part[1], part[0]);
}

QString displayDate(const QDate& d) {
    if (!d.isValid()) return {};
    const QString iso = formatIso(d, false);
    if (iso.size() != 10) return d.toString(QStringLiteral("dd/MM/yyyy"));
    return iso.mid(8, 2) + u'/' + iso.mid(5, 2) + u'/' + iso.left(4);
}

std::optional<QDate> toDate(const QVariant& v) {
    if (v.isNull() || !v.isValid()) return QDate();
    switch (v.metaType().id()) {
    case QMetaType::QDate:
        return v.toDate();
    case QMetaType::QDateTime:
        return v.toDateTime().date();
    case QMetaType::QString: {
        const QString s = v.toString().trimmed();
        QDate d = parseIsoDate(s);
        if (!d.isValid()) d = parseDisplayDate(s);
        if (!d.isValid()) return std::nullopt;
        return d;
    }
    default:
        return std::nullopt;
    }
}

QDate dateFromSql(const QVariant& v) {
    if (v.isNull() || !v.isValid()) return {};
    if (v.typeId() == QMetaType::QDate) return v.toDate();
    if (v.typeId() == QMetaType::QDateTime) return v.toDateTime().date();
    const QString s = v.toString();
    if (s.size() > 10 && s.at(10) != u'T' && s.at(10) != u' ') return {};
    return isoDayPrefix(s);
}

QVariant sqlDate(const QDate& d) {
    if (!d.isValid()) return QVariant(QMetaType(QMetaType::QString));
    return formatIso(d, false);
}

// ---- numbers

QString displayNumber(double d) {
    return formatNumber(d, u',');
}

QString plainNumber(double d) {
    return formatNumber(d, u'.');
}

std::optional<double> parsePlainNumber(QStringView text) {
    bool ok = false;
    const double d = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(d)) return std::nullopt;
    return d;
}

std::optional<double> parseNumber(QStringView text) {
    QString t = text.trimmed().toString();
    if (t.contains(u',') && t.contains(u'.')) t.remove(u'.');
    t.replace(u',', u'.');
    return parsePlainNumber(t);
}

std::optional<double> toNumber(const QVariant& v) {
    switch (v.metaType().id()) {
    case QMetaType::QString:
        return parseNumber(v.toString());
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong: {
        const double d = v.toDouble();
        if (!std::isfinite(d)) return std::nullopt;
        return d;
    }
    default:
        return std::nullopt;
    }
}

// ---- texts

int charCount(QStringView s) {
    int n = 0;
    for (qsizetype i = 0; i < s.size(); ++i, ++n)
        if (s.at(i).isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate()) ++i;
    return n;
}

QString textFault(QStringView s) {
    int chars = 0;
    for (qsizetype i = 0; i < s.size(); ++i, ++chars) {
        const QChar c = s.at(i);
        if (c.unicode() == 0)
            return QStringLiteral("o texto tem um caractere nulo na posição %1").arg(chars + 1);
        if (!c.isSurrogate()) continue;
        if (c.isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        return QStringLiteral("o texto tem um caractere inválido (U+%1) na posição %2")
            .arg(QString::number(c.unicode(), 16).toUpper().rightJustified(4, QLatin1Char('0')))
            .arg(chars + 1);
    }
    return {};
}

QString cutToChars(const QString& s, int size) {
    if (s.size() <= size) return s;
    int chars = 0;
    for (qsizetype i = 0; i < s.size(); ++i, ++chars) {
        if (chars == size) return s.left(i);
        if (s.at(i).isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate()) ++i;
    }
    return s;
}

QString padToChars(const QString& s, int size) {
    const int n = charCount(s);
    if (n >= size) return s;
    return s + QString(size - n, u' ');
}

QString fitText(const QString& s, int size, bool fixed) {
    if (size <= 0) return s;
    const QString cut = cutToChars(s, size);
    return fixed && !cut.isEmpty() ? padToChars(cut, size) : cut;
}

// ---- database connection strings

int parsePort(const QString& text, const QString& what) {
    bool ok = false;
    const int port = text.trimmed().toInt(&ok);
    if (!ok || port <= 0 || port > 65535)
        throw EDatabaseError(QStringLiteral("%1 inválida: '%2'.").arg(what, text));
    return port;
}

DbUrl parseDbUrl(const QString& text) {
    const QString s = text.trimmed();
    const qsizetype colon = s.indexOf(u':');
    const QString scheme = colon < 0 ? QString() : s.left(colon).trimmed().toLower();
    const QString rest = colon < 0 ? QString() : s.mid(colon + 1);
    DbUrl url;
    if (scheme == u"sqlite") {
        url.path = rest.trimmed();
        if (url.path.isEmpty())
            urlError(QStringLiteral("URL do banco de dados sem o arquivo: use sqlite:CAMINHO."));
        return url;
    }
    if (scheme != u"postgres" && scheme != u"postgresql")
        urlError(QStringLiteral("URL do banco de dados inválida: '%1'. Use sqlite:CAMINHO ou "
                                "postgres:host=..;port=..;dbname=..;user=..;password=..")
                     .arg(s));
    url.kind = DbUrl::Postgres;
    for (const QString& part : rest.split(u';', Qt::SkipEmptyParts)) {
        if (part.trimmed().isEmpty()) continue;
        const qsizetype eq = part.indexOf(u'=');
        if (eq <= 0) urlError(QStringLiteral("Parte inválida na URL do banco de dados: '%1'.").arg(part));
        const QString key = part.left(eq).trimmed().toLower();
        const QString value = part.mid(eq + 1).trimmed();
        if (key == u"host")
            url.host = value;
        else if (key == u"port")
            url.port = parsePort(value, QStringLiteral("Porta do banco de dados"));
        else if (key == u"dbname")
            url.dbname = value;
        else if (key == u"user")
            url.user = value;
        else if (key == u"password")
            url.password = value;
        else if (knownOption(key))
            url.options.append({key, value});
        else
            urlError(QStringLiteral("Chave desconhecida na URL do banco de dados: '%1'.").arg(key));
    }
    if (url.dbname.isEmpty()) urlError(QStringLiteral("URL do PostgreSQL sem dbname."));
    return url;
}

QString DbUrl::connectOptions() const {
    QStringList parts;
    for (const auto& [key, value] : options)
        parts << key + u'=' + value;
    return parts.join(u';');
}

QString DbUrl::describe() const {
    if (kind == Sqlite) return QStringLiteral("SQLite %1").arg(path);
    QString d = QStringLiteral("PostgreSQL %1:%2/%3")
                    .arg(host.isEmpty() ? QStringLiteral("localhost") : host)
                    .arg(port ? port : 5432)
                    .arg(dbname);
    if (!user.isEmpty()) d += QStringLiteral(" (usuário %1)").arg(user);
    return d;
}

} // namespace kvo::data
