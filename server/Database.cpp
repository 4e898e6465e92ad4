#include "Database.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QStringList>

namespace kvo::server {

DbSpec DbSpec::parse(const QString& text) {
    DbSpec s;
    const int colon = text.indexOf(QLatin1Char(':'));
    const QString kind = colon < 0 ? QString() : text.left(colon).trimmed().toLower();
    const QString rest = colon < 0 ? QString() : text.mid(colon + 1);
    if (kind == QLatin1String("sqlite")) {
        s.dialect = Dialect::SQLite;
        s.path = rest.trimmed();
        if (s.path.isEmpty())
            throw ServerError(
                QStringLiteral("Especificação de banco inválida: informe o arquivo (sqlite:CAMINHO)."));
        return s;
    }
    if (kind == QLatin1String("postgres") || kind == QLatin1String("postgresql")) {
        s.dialect = Dialect::PostgreSQL;
        QStringList extra;
        for (const QString& part : rest.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const int eq = part.indexOf(QLatin1Char('='));
            if (eq <= 0)
                throw ServerError(
                    QStringLiteral("Especificação de banco inválida: \"%1\" não é chave=valor.").arg(part));
            const QString key = part.left(eq).trimmed().toLower();
            const QString value = part.mid(eq + 1).trimmed();
            if (key == QLatin1String("host"))
                s.host = value;
            else if (key == QLatin1String("port")) {
                bool ok = false;
                s.port = value.toInt(&ok);
                if (!ok || s.port <= 0 || s.port > 65535)
                    throw ServerError(
                        QStringLiteral("Especificação de banco inválida: porta \"%1\".").arg(value));
            } else if (key == QLatin1String("dbname") || key == QLatin1String("database"))
                s.dbname = value;
            else if (key == QLatin1String("user"))
                s.user = value;
            else if (key == QLatin1String("password"))
                s.password = value;
            else
                extra << part.trimmed();
        }
        s.options = extra.join(QLatin1Char(';'));
        return s;
    }
    throw ServerError(QStringLiteral("Especificação de banco inválida: use sqlite:CAMINHO ou "
                                     "postgres:host=..;port=..;dbname=..;user=..;password=.."));
}

QString DbSpec::describe() const {
    if (dialect == Dialect::SQLite) return QStringLiteral("SQLite %1").arg(path);
    return QStringLiteral("PostgreSQL %1:%2/%3 (user %4)")
        .arg(host.isEmpty() ? QStringLiteral("localhost") : host)
        .arg(port ? port : 5432)
        .arg(dbname, user);
}

QSqlDatabase openDatabase(const DbSpec& target, const QString& connectionName) {
    const bool sqlite = target.dialect == Dialect::SQLite;
    QSqlDatabase db = QSqlDatabase::addDatabase(sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL"),
                                                connectionName);
    if (!db.isValid())
        throw DbError(QStringLiteral("Driver de banco de dados indisponível (%1).").arg(db.driverName()));
    if (sqlite) {
        db.setDatabaseName(target.path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=15000"));
    } else {
        if (!target.host.isEmpty()) db.setHostName(target.host);
        if (target.port) db.setPort(target.port);
        if (!target.dbname.isEmpty()) db.setDatabaseName(target.dbname);
        if (!target.user.isEmpty()) db.setUserName(target.user);
        if (!target.password.isEmpty()) db.setPassword(target.password);
        if (!target.options.isEmpty()) db.setConnectOptions(target.options);
    }
    if (!db.open()) {
        const QString err = db.lastError().text();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connectionName);
        throw DbError(
            QStringLiteral("Não foi possível abrir o banco de dados %1: %2").arg(target.describe(), err));
    }
    if (sqlite) {
        // WAL lets readers run beside the one writer; NORMAL is still safe against a killed process.
        execSql(db, QStringLiteral("PRAGMA journal_mode=WAL"));
        execSql(db, QStringLiteral("PRAGMA synchronous=NORMAL"));
    } else {
        execSql(db, QStringLiteral("SET client_encoding TO 'UTF8'"));
    }
    return db;
}

Dialect dialectOf(const QSqlDatabase& db) {
    return db.driverName() == QLatin1String("QPSQL") ? Dialect::PostgreSQL : Dialect::SQLite;
}

QVariant dateParam(const QDate& d) {
    if (!d.isValid()) return QVariant(QMetaType(QMetaType::QString));
    int y = 0, m = 0, day = 0;
    d.getDate(&y, &m, &day);
    if (y < 1 || y > 9999) return d.toString(Qt::ISODate);
    // Written by hand: QDate::toString goes through a printf and large logs bind thousands of dates.
    QString s(10, Qt::Uninitialized);
    QChar* c = s.data();
    auto put = [&c](int v, int digits) {
        for (int i = digits - 1; i >= 0; --i, v /= 10)
            c[i] = QChar(u'0' + v % 10);
        c += digits;
    };
    put(y, 4);
    *c++ = u'-';
    put(m, 2);
    *c++ = u'-';
    put(day, 2);
    return s;
}

QDate dateFromDb(const QVariant& v) {
    if (v.isNull()) return {};
    if (v.typeId() == QMetaType::QDate) return v.toDate();
    if (v.typeId() == QMetaType::QDateTime) return v.toDateTime().date();
    const QString s = v.toString();
    if (s.size() >= 10) {
        // "YYYY-MM-DD" as SQLite stores it, without building a substring.
        const QChar* c = s.constData();
        auto digits = [c](int from, int n, int& out) {
            out = 0;
            for (int i = from; i < from + n; ++i) {
                if (c[i] < u'0' || c[i] > u'9') return false;
                out = out * 10 + (c[i].unicode() - u'0');
            }
            return true;
        };
        int y = 0, m = 0, d = 0;
        if (digits(0, 4, y) && c[4] == u'-' && digits(5, 2, m) && c[7] == u'-' && digits(8, 2, d))
            return QDate(y, m, d);
    }
    return QDate::fromString(s.left(10), Qt::ISODate);
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

bool isUniqueViolation(const DbError& e) {
    const QString& c = e.nativeCode();
    // PostgreSQL SQLSTATE 23505; SQLite extended codes 2067 (unique) and 1555 (primary key), or plain 19.
    return c == QLatin1String("23505") || c == QLatin1String("2067") || c == QLatin1String("1555") ||
           c == QLatin1String("19");
}

} // namespace kvo::server
