#pragma once

// The one home of the suite's text rules: dates, numbers, texts and database connection strings.
// Dates are calendar days (QDate): a local-time QDateTime costs a time-zone lookup per value and
// shifts or loses a day where a clock jumped forward at midnight.

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringView>
#include <QVariant>
#include <optional>

namespace kvo::data {

// ---- dates

// Packet and argument form: "YYYY-MM-DD", or "YYYY-MM-DDT00:00:00" as packets carry it. A time
// other than midnight is refused: every date the suite moves is a whole day. Invalid when malformed.
QDate parseIsoDate(QStringView text);
QString isoDate(const QDate& d);                     // "YYYY-MM-DD", empty for an invalid date
void appendIsoDate(QByteArray& out, const QDate& d); // the same, appended as Latin-1
QString packetDate(const QDate& d);                  // "YYYY-MM-DDT00:00:00", empty for an invalid date

// What a person types and sees: d/M/yyyy (one or two digits for day and month, four for the
// year; a two-digit year is refused). Invalid when malformed.
QDate parseDisplayDate(QStringView text);
QString displayDate(const QDate& d); // "dd/MM/yyyy", empty for an invalid date

// A date in whatever form a caller hands it over: QDate, QDateTime (its date as written, never
// moved through a time zone), packet text or display text. Null for null; nullopt when unreadable.
std::optional<QDate> toDate(const QVariant& v);

// A date column as a database driver delivers it: QDate, QDateTime, or ISO text as SQLite keeps
// it (a time part after the day is ignored: the column may be a timestamp). Invalid otherwise.
QDate dateFromSql(const QVariant& v);
// The binding for a date column: ISO text, which SQLite stores and PostgreSQL casts; a null text
// for an invalid date.
QVariant sqlDate(const QDate& d);

// ---- numbers

// Brazilian display form: decimal comma, no thousands separator, no trailing zeros, no "-0".
QString displayNumber(double d);
// The same in the C locale ("12.5").
QString plainNumber(double d);
// What a person types: decimal comma or point; with both, points are thousands separators.
// Blanks around are ignored. nullopt for anything else, including NaN and infinity.
std::optional<double> parseNumber(QStringView text);
// C-locale text only ("12.5", "-3", "1e3"); nullopt otherwise, including NaN and infinity.
std::optional<double> parsePlainNumber(QStringView text);
// A number in whatever form a caller hands it over (numbers, or text as parseNumber reads it);
// nullopt for Booleans, other types and non-finite values.
std::optional<double> toNumber(const QVariant& v);

// ---- texts

// Largest size a text field may declare; keeps a hostile packet from making us pad gigabytes.
constexpr int MaxTextSize = 1 << 20;

// Length in characters (code points), not UTF-16 units; a lone surrogate counts as one.
int charCount(QStringView s);
// Why s cannot be stored as text (a NUL, or a surrogate without its pair, which no database
// encoding can hold), in Portuguese naming the character position; empty when it can.
QString textFault(QStringView s);
// The first `size` characters of s, never splitting a surrogate pair.
QString cutToChars(const QString& s, int size);
// s padded with blanks to `size` characters.
QString padToChars(const QString& s, int size);
// A value as a text field of `size` characters keeps it: cut, and padded when fixed (an empty
// text stays empty, it is the null of a fixed field).
QString fitText(const QString& s, int size, bool fixed);

// ---- database connection strings

// "sqlite:PATH" or "postgres:key=value;key=value" ("postgresql:" too). PostgreSQL keys are the
// libpq ones; dbname is required, an unknown key is refused (a misspelt one would otherwise be
// dropped or passed on unnoticed).
struct DbUrl {
    enum Kind { Sqlite, Postgres };
    Kind kind = Sqlite;
    QString path; // SQLite file
    QString host, dbname, user, password;
    int port = 0;                           // 0: the driver's default
    QList<QPair<QString, QString>> options; // other libpq keys, in the order given
    QString connectOptions() const;         // "key=value;..." as the PostgreSQL driver takes them
    QString describe() const;               // for logs and status lines: never the password
};

// Throws EDatabaseError with a Portuguese message naming what is wrong.
DbUrl parseDbUrl(const QString& text);
// A TCP port 1..65535; throws EDatabaseError "<what> inválida: '<text>'." otherwise.
int parsePort(const QString& text, const QString& what);

} // namespace kvo::data
