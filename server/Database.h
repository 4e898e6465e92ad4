#pragma once

// Opening the suite database from a connection string and the small SQL helpers the server uses.
// Connection strings follow kvo::data::parseDbUrl, the same grammar the host reads.

#include <QDate>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "ServerErrors.h"
#include "data/Conversions.h"

namespace kvo::server {

class PreparedStatements;

enum class Dialect { SQLite, PostgreSQL };

struct DbSpec {
    kvo::data::DbUrl url;

    // Throws ServerError with a clear message for an unknown or malformed connection string.
    static DbSpec parse(const QString& text);
    QString describe() const; // for logs: never the password
};

// Opens a connection registered under connectionName; throws DbError when it cannot. A server
// serving a database opens it as Existing: a misspelt SQLite path is refused instead of leaving
// an empty file behind.
enum class OpenMode { Create, Existing };
QSqlDatabase openDatabase(const DbSpec& target, const QString& connectionName,
                          OpenMode mode = OpenMode::Create);

Dialect dialectOf(const QSqlDatabase& db);

// Dates are stored as ISO text on SQLite and as DATE on PostgreSQL; both accept this binding.
inline QVariant dateParam(const QDate& d) {
    return kvo::data::sqlDate(d);
}
inline QDate dateFromDb(const QVariant& v) {
    return kvo::data::dateFromSql(v);
}

// Prepared statement helpers; any failure throws DbError with the driver's text.
QSqlQuery prepare(QSqlDatabase& db, const QString& sql);
QSqlQuery execSql(QSqlDatabase& db, const QString& sql, const QVariantList& args = {});
void execOn(QSqlQuery& q, const QVariantList& args = {});

// A statement run through the database's own C library on the connection Qt opened: a day's
// rows are tens of thousands of values, and Qt SQL builds a QVariant for each. Values are read
// in place; a text's bytes stay valid until the next row.
class Statement {
public:
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement();

    bool next();
    void finish();
    // A row writer's reads, each with as few calls into the library as it can (a day is hundreds
    // of thousands of values). The text bytes() gives, or nothing for null.
    std::optional<std::string_view> textOrNull(int column) const;
    // The number number() gives, or nothing for null; on SQLite only a zero needs a look at the type.
    std::optional<double> numberOrNull(int column) const;
    bool isNull(int column) const;
    // The value as Qt SQL delivers it: text, integer, double, or null.
    QVariant value(int column) const;
    std::string_view bytes(int column) const; // UTF-8 text of any value; empty for null
    double number(int column) const;          // 0 for null
    QString text(int column) const;
    // True when value() hands over exactly text(): the value is stored as text and not converted.
    bool isText(int column) const;
    QDate date(int column) const; // a stored day; invalid for null or anything else
    qint64 integer(int column) const;
    // A whole number of at most maxDigits digits as PostgreSQL hands it over, when that text is
    // already the shortest form ("-12", never "-0" or "007"); empty otherwise, and always on SQLite.
    std::string_view wholeText(int column, int maxDigits) const;
    int affectedRows() const;

private:
    friend class StatementCache;
    Statement() = default;
    void run(const QVariantList& args);

    void* m_native = nullptr;              // sqlite3_stmt*, or the PGresult* of the last run
    PreparedStatements* m_store = nullptr; // SQLite: the store m_native is borrowed from
    void* m_conn = nullptr;                // PGconn* on PostgreSQL
    QByteArray m_name;                     // prepared statement name on PostgreSQL
    QString m_sql;
    int m_row = -1, m_rows = 0;
    bool m_pending = false; // SQLite: a row was stepped to but not handed out yet
    QByteArray m_text;      // SQLite: a text parameter's UTF-8, kept from run to run
    bool m_sqlite = true;
    int m_changes = 0;
    // A read sent ahead: its arguments, and whether its rows have arrived yet.
    enum class Ahead { None, Sent, Arrived } m_ahead = Ahead::None;
    std::vector<QByteArray> m_aheadParams;
};

// The statements of one method call, prepared once each. On PostgreSQL the writes of a call are
// sent together in one pipeline (a change log of thousands of rows would otherwise wait for a
// round trip per row); they reach the server before any later read of the call and before commit.
// The reference returned by exec stays valid until the cache dies; read its rows before running
// the same text again.
class StatementCache {
public:
    explicit StatementCache(QSqlDatabase& db);
    ~StatementCache();
    Statement& exec(const QString& sql, const QVariantList& args = {});
    // A write whose outcome is only needed at the next read or flush; errors surface there.
    void write(const QString& sql, const QVariantList& args);
    // A read sent ahead of its use: on PostgreSQL it travels with the next round trip, and the
    // first exec of the same text with the same arguments takes its rows instead of asking
    // again. Only for reads of what the call itself does not write. Nothing on SQLite.
    void ahead(const QString& sql, const QVariantList& args);
    // Sends the pending writes and waits for their outcome; throws DbError for the first that failed.
    void flush();
    void finishAll(); // flushes, then lets go of every statement's rows
    void discardWrites();
    QSqlDatabase& db() { return m_db; }
    Dialect dialect() const { return m_pg ? Dialect::PostgreSQL : Dialect::SQLite; }

private:
    Statement& statement(const QString& sql);
    struct PendingWrite {
        Statement* statement;
        std::vector<QByteArray> params;
        bool read = false; // its rows are kept on the statement
    };
    static std::vector<QByteArray> encode(const QVariantList& args);

    QSqlDatabase& m_db;
    void* m_conn = nullptr; // sqlite3* or PGconn*
    bool m_pg = false;
    PreparedStatements* m_store = nullptr; // the connection's prepared statements
    std::unique_ptr<PreparedStatements> m_ownStore;
    QHash<QString, std::shared_ptr<Statement>> m_statements;
    std::vector<PendingWrite> m_writes;
};

// Whole-log transactions. SQLite takes the write lock at once so two writers never deadlock
// on lock upgrade; PostgreSQL relies on row locks taken with SELECT ... FOR UPDATE.
class Transaction {
public:
    explicit Transaction(QSqlDatabase& db);
    // On PostgreSQL BEGIN and COMMIT travel in the cache's pipeline with the call's own statements.
    explicit Transaction(StatementCache& sc);
    ~Transaction(); // rolls back unless committed
    void commit();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

private:
    QSqlDatabase& m_db;
    StatementCache* m_sc = nullptr;
    bool m_open = false;
};

// True when the last failure was a unique-key violation.
bool isUniqueViolation(const DbError& e);
// True when the database gave up a transaction to resolve a conflict with another one (a
// deadlock or a serialization failure): the caller's data was read before someone else's change.
bool isConcurrencyFailure(const DbError& e);

} // namespace kvo::server
