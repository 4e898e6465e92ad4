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

#include "ServerErrors.h"
#include "data/Conversions.h"

namespace kvo::server {

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

// Prepared statements reused within one method call: a large change log runs the same few
// statements thousands of times. The reference returned stays valid until the cache dies; read
// its rows before running the same text again.
class StatementCache {
public:
    explicit StatementCache(QSqlDatabase& db) : m_db(db) {}
    ~StatementCache() { finishAll(); }
    QSqlQuery& exec(const QString& sql, const QVariantList& args = {});
    void finishAll();
    QSqlDatabase& db() { return m_db; }

private:
    QSqlDatabase& m_db;
    QHash<QString, std::shared_ptr<QSqlQuery>> m_queries;
};

// Whole-log transactions. SQLite takes the write lock at once so two writers never deadlock
// on lock upgrade; PostgreSQL relies on row locks taken with SELECT ... FOR UPDATE.
class Transaction {
public:
    explicit Transaction(QSqlDatabase& db);
    ~Transaction(); // rolls back unless committed
    void commit();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

private:
    QSqlDatabase& m_db;
    bool m_open = false;
};

// True when the last failure was a unique-key violation.
bool isUniqueViolation(const DbError& e);
// True when the database gave up a transaction to resolve a conflict with another one (a
// deadlock or a serialization failure): the caller's data was read before someone else's change.
bool isConcurrencyFailure(const DbError& e);

} // namespace kvo::server
