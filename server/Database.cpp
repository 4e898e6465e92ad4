#include "Database.h"

#include "data/Exceptions.h"

#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QStringList>

namespace kvo::server {

DbSpec DbSpec::parse(const QString& text) {
    try {
        return {kvo::data::parseDbUrl(text)};
    } catch (const EDatabaseError& e) {
        throw ServerError(e.Message());
    }
}

QString DbSpec::describe() const {
    return url.describe();
}

QSqlDatabase openDatabase(const DbSpec& target, const QString& connectionName, OpenMode mode) {
    const kvo::data::DbUrl& url = target.url;
    const bool sqlite = url.kind == kvo::data::DbUrl::Sqlite;
    if (sqlite && mode == OpenMode::Existing && url.path != QLatin1String(":memory:") &&
        !QFileInfo(url.path).isFile())
        throw DbError(QStringLiteral("Banco de dados SQLite inexistente: %1 (para criá-lo, use --init).")
                          .arg(url.path));
    QSqlDatabase db = QSqlDatabase::addDatabase(sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL"),
                                                connectionName);
    if (!db.isValid())
        throw DbError(QStringLiteral("Driver de banco de dados indisponível (%1).").arg(db.driverName()));
    if (sqlite) {
        db.setDatabaseName(url.path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=15000"));
    } else {
        if (!url.host.isEmpty()) db.setHostName(url.host);
        if (url.port) db.setPort(url.port);
        db.setDatabaseName(url.dbname);
        if (!url.user.isEmpty()) db.setUserName(url.user);
        if (!url.password.isEmpty()) db.setPassword(url.password);
        if (!url.options.isEmpty()) db.setConnectOptions(url.connectOptions());
    }
    if (!db.open()) {
        const QString err = db.lastError().text();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connectionName);
        throw DbError(
            QStringLiteral("Não foi possível abrir o banco de dados %1: %2").arg(target.describe(), err));
    }
    if (sqlite) {
        // WAL lets readers run beside the one writer. A saved count is a billing fact, so each commit
        // reaches the disk before the save is acknowledged (NORMAL may lose the last ones on power loss).
        execSql(db, QStringLiteral("PRAGMA journal_mode=WAL"));
        execSql(db, QStringLiteral("PRAGMA synchronous=FULL"));
    } else {
        execSql(db, QStringLiteral("SET client_encoding TO 'UTF8'"));
    }
    return db;
}

Dialect dialectOf(const QSqlDatabase& db) {
    return db.driverName() == QLatin1String("QPSQL") ? Dialect::PostgreSQL : Dialect::SQLite;
}

static DbError errorOf(const QSqlError& e, const QString& what) {
    return DbError(QStringLiteral("Erro no banco de dados (%1): %2").arg(what, e.text()),
                   e.nativeErrorCode());
}

QSqlQuery prepare(QSqlDatabase& db, const QString& sql) {
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(sql)) throw errorOf(q.lastError(), sql.simplified().left(60));
    return q;
}

void execOn(QSqlQuery& q, const QVariantList& args) {
    for (int i = 0; i < args.size(); ++i)
        q.bindValue(i, args.at(i));
    if (!q.exec()) throw errorOf(q.lastError(), q.lastQuery().simplified().left(60));
}

QSqlQuery execSql(QSqlDatabase& db, const QString& sql, const QVariantList& args) {
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (args.isEmpty()) {
        if (!q.exec(sql)) throw errorOf(q.lastError(), sql.simplified().left(60));
        return q;
    }
    if (!q.prepare(sql)) throw errorOf(q.lastError(), sql.simplified().left(60));
    execOn(q, args);
    return q;
}

QSqlQuery& StatementCache::exec(const QString& sql, const QVariantList& args) {
    auto it = m_queries.find(sql);
    if (it == m_queries.end()) it = m_queries.insert(sql, std::make_shared<QSqlQuery>(prepare(m_db, sql)));
    QSqlQuery& q = **it;
    q.finish();
    execOn(q, args);
    return q;
}

void StatementCache::finishAll() {
    for (auto& q : m_queries)
        q->finish();
}

Transaction::Transaction(QSqlDatabase& db) : m_db(db) {
    execSql(m_db,
            dialectOf(m_db) == Dialect::SQLite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"));
    m_open = true;
}

Transaction::~Transaction() {
    if (m_open) {
        QSqlQuery q(m_db);
        q.exec(QStringLiteral("ROLLBACK"));
    }
}

void Transaction::commit() {
    execSql(m_db, QStringLiteral("COMMIT"));
    m_open = false;
}

bool isConcurrencyFailure(const DbError& e) {
    const QString& c = e.nativeCode();
    // PostgreSQL serialization_failure and deadlock_detected.
    return c == QLatin1String("40001") || c == QLatin1String("40P01");
}

bool isUniqueViolation(const DbError& e) {
    const QString& c = e.nativeCode();
    // PostgreSQL SQLSTATE 23505; SQLite extended codes 2067 (unique) and 1555 (primary key), or plain 19.
    return c == QLatin1String("23505") || c == QLatin1String("2067") || c == QLatin1String("1555") ||
           c == QLatin1String("19");
}

} // namespace kvo::server
