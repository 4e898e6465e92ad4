#include "Database.h"

#include "data/Exceptions.h"

#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlResult>
#include <QStringList>
#include <QThread>

#include <libpq-fe.h>
#include <sqlite3.h>

#include <atomic>
#include <cstdlib>
#include <optional>
#include <unordered_map>

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

// ---- statements on the C libraries

namespace {

DbError nativeError(const QString& what, const QString& text, const QString& code) {
    return DbError(QStringLiteral("Erro no banco de dados (%1): %2").arg(what, text.trimmed()), code);
}

QString shortSql(const QString& sql) {
    return sql.simplified().left(60);
}

// "?" placeholders as PostgreSQL numbers them; quoted literals are left alone.
QByteArray numberedPlaceholders(const QString& sql) {
    const QByteArray in = sql.toUtf8();
    QByteArray out;
    out.reserve(in.size() + 16);
    bool quoted = false;
    int n = 0;
    for (char c : in) {
        if (c == '\'') quoted = !quoted;
        if (c == '?' && !quoted) {
            out += '$';
            out += QByteArray::number(++n);
        } else {
            out += c;
        }
    }
    return out;
}

QByteArray textParam(const QVariant& v, bool& isNull) {
    isNull = v.isNull();
    if (isNull) return {};
    switch (v.typeId()) {
    case QMetaType::Double:
        return QByteArray::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
    case QMetaType::QDate:
        return kvo::data::isoDate(v.toDate()).toLatin1();
    case QMetaType::Bool:
        return v.toBool() ? "1" : "0";
    case QMetaType::QByteArray: // text already in UTF-8
        return v.toByteArray();
    default:
        return v.toString().toUtf8();
    }
}

constexpr Oid kBool = 16, kInt8 = 20, kInt2 = 21, kInt4 = 23, kFloat4 = 700, kFloat8 = 701, kNumeric = 1700,
              kDate = 1082, kTimestamp = 1114;

} // namespace

// The statements prepared on one connection, kept while it stays open: compiling a statement
// costs more than running it for a row or two. A child of the connection's driver, so it goes with
// the connection. On SQLite each statement is held by a QSqlQuery: the driver finalises those
// itself before it closes the connection (sqlite3_close refuses while any is left), and one
// finalised that way hands back a null handle. On PostgreSQL they are named statements of the
// session; a session reopened (a new backend) starts with none.
class PreparedStatements : public QObject {
public:
    // The store of db's connection, or a new one the caller owns when the connection belongs to
    // another thread (its driver cannot take a child there).
    static PreparedStatements* of(QSqlDatabase& db, std::unique_ptr<PreparedStatements>& owned) {
        QSqlDriver* driver = db.driver();
        if (driver->thread() != QThread::currentThread()) {
            owned = std::make_unique<PreparedStatements>();
            return owned.get();
        }
        if (auto* s = driver->findChild<QObject*>(kName, Qt::FindDirectChildrenOnly))
            return static_cast<PreparedStatements*>(s);
        auto* s = new PreparedStatements;
        s->setObjectName(kName);
        s->setParent(driver);
        return s;
    }

    // A statement for one user at a time; nullptr when it is in use already (a call inside a call).
    sqlite3_stmt* acquire(QSqlDatabase& db, const QString& sql) {
        auto it = m_sqlite.find(sql);
        if (it != m_sqlite.end()) {
            if (it->second.busy) return nullptr;
            if (sqlite3_stmt* h = handleOf(it->second.query)) {
                it->second.busy = true;
                return h;
            }
            m_sqlite.erase(it); // finalised when the connection closed
        }
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.prepare(sql)) {
            const QSqlError e = q.lastError();
            throw nativeError(shortSql(sql), e.databaseText(), e.nativeErrorCode());
        }
        sqlite3_stmt* h = handleOf(q);
        if (!h) throw nativeError(shortSql(sql), QStringLiteral("comando não preparado"), {});
        m_sqlite.emplace(sql, Held{std::move(q), true});
        return h;
    }
    void release(const QString& sql) {
        if (auto it = m_sqlite.find(sql); it != m_sqlite.end()) it->second.busy = false;
    }

    // The session's name for the statement, prepared on first use.
    QByteArray name(PGconn* conn, const QString& sql) {
        if (m_backend != PQbackendPID(conn)) {
            m_backend = PQbackendPID(conn);
            m_names.clear();
        }
        auto n = m_names.constFind(sql);
        if (n != m_names.constEnd()) return *n;
        static std::atomic<quint64> counter{0};
        const QByteArray name = "kvo_" + QByteArray::number(++counter);
        PGresult* r = PQprepare(conn, name.constData(), numberedPlaceholders(sql).constData(), 0, nullptr);
        if (PQresultStatus(r) != PGRES_COMMAND_OK) {
            const DbError e = nativeError(
                shortSql(sql), QString::fromUtf8(r ? PQresultErrorMessage(r) : PQerrorMessage(conn)),
                QString::fromLatin1(r ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr));
            PQclear(r);
            throw e;
        }
        PQclear(r);
        return *m_names.insert(sql, name);
    }

private:
    static constexpr const char* kName = "kvo-prepared-statements";
    static sqlite3_stmt* handleOf(const QSqlQuery& q) {
        const QVariant h = q.result() ? q.result()->handle() : QVariant();
        return h.isValid() ? *static_cast<sqlite3_stmt* const*>(h.constData()) : nullptr;
    }
    struct Held {
        QSqlQuery query;
        bool busy = false;
    };
    std::unordered_map<QString, Held> m_sqlite;
    int m_backend = 0;
    QHash<QString, QByteArray> m_names;
};

Statement::~Statement() {
    if (!m_sqlite) {
        PQclear(static_cast<PGresult*>(m_native));
    } else if (m_store) {
        // Back to the connection's store, reset and without the bound copies.
        sqlite3_reset(static_cast<sqlite3_stmt*>(m_native));
        sqlite3_clear_bindings(static_cast<sqlite3_stmt*>(m_native));
        m_store->release(m_sql);
    } else {
        sqlite3_finalize(static_cast<sqlite3_stmt*>(m_native));
    }
}

void Statement::run(const QVariantList& args) {
    if (m_sqlite) {
        auto* st = static_cast<sqlite3_stmt*>(m_native);
        sqlite3_reset(st);
        // Every parameter is bound below, unless the call gives fewer: those must not keep the last run's.
        if (args.size() < sqlite3_bind_parameter_count(st)) sqlite3_clear_bindings(st);
        for (int i = 0; i < args.size(); ++i) {
            const QVariant& v = args.at(i);
            if (v.isNull()) {
                sqlite3_bind_null(st, i + 1);
                continue;
            }
            switch (v.typeId()) {
            case QMetaType::Double:
                sqlite3_bind_double(st, i + 1, v.toDouble());
                break;
            case QMetaType::Int:
            case QMetaType::LongLong:
            case QMetaType::UInt:
            case QMetaType::Bool:
                sqlite3_bind_int64(st, i + 1, v.toLongLong());
                break;
            case QMetaType::QByteArray: { // text already in UTF-8
                const QByteArray& text = *static_cast<const QByteArray*>(v.constData());
                sqlite3_bind_text(st, i + 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
                break;
            }
            default: {
                // UTF-8, the database's own encoding: nothing left to convert when the statement runs.
                // Written into one buffer kept from run to run (the bind takes its own copy).
                m_text.resize(0);
                if (v.typeId() == QMetaType::QDate)
                    kvo::data::appendIsoDate(m_text, v.toDate());
                else
                    m_text += v.toString().toUtf8();
                sqlite3_bind_text(st, i + 1, m_text.constData(), int(m_text.size()), SQLITE_TRANSIENT);
            }
            }
        }
        m_pending = false;
        const int rc = sqlite3_step(st);
        if (rc == SQLITE_ROW) {
            m_pending = true;
        } else if (rc == SQLITE_DONE) {
            m_changes = sqlite3_changes(sqlite3_db_handle(st));
            sqlite3_reset(st);
        } else {
            sqlite3* db = sqlite3_db_handle(st);
            const DbError e = nativeError(shortSql(m_sql), QString::fromUtf8(sqlite3_errmsg(db)),
                                          QString::number(sqlite3_extended_errcode(db)));
            sqlite3_reset(st);
            throw e;
        }
        return;
    }
    std::vector<QByteArray> params(size_t(args.size()));
    std::vector<const char*> values(size_t(args.size()));
    for (int i = 0; i < args.size(); ++i) {
        bool null = false;
        params[size_t(i)] = textParam(args.at(i), null);
        values[size_t(i)] = null ? nullptr : params[size_t(i)].constData();
    }
    PQclear(static_cast<PGresult*>(m_native));
    PGresult* r = PQexecPrepared(static_cast<PGconn*>(m_conn), m_name.constData(), int(args.size()),
                                 values.data(), nullptr, nullptr, 0);
    m_native = r;
    const ExecStatusType st = PQresultStatus(r);
    if (st != PGRES_TUPLES_OK && st != PGRES_COMMAND_OK)
        throw nativeError(
            shortSql(m_sql),
            QString::fromUtf8(r ? PQresultErrorMessage(r) : PQerrorMessage(static_cast<PGconn*>(m_conn))),
            QString::fromLatin1(r ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr));
    m_rows = PQntuples(r);
    m_row = -1;
    m_changes = std::atoi(PQcmdTuples(r));
}

bool Statement::next() {
    if (!m_sqlite) return ++m_row < m_rows;
    if (m_pending) {
        m_pending = false;
        m_row = 0;
        return true;
    }
    if (m_row < 0) return false;
    auto* st = static_cast<sqlite3_stmt*>(m_native);
    const int rc = sqlite3_step(st);
    if (rc == SQLITE_ROW) return true;
    m_row = -1;
    if (rc == SQLITE_DONE) {
        sqlite3_reset(st);
        return false;
    }
    sqlite3* db = sqlite3_db_handle(st);
    const DbError e = nativeError(shortSql(m_sql), QString::fromUtf8(sqlite3_errmsg(db)),
                                  QString::number(sqlite3_extended_errcode(db)));
    sqlite3_reset(st);
    throw e;
}

void Statement::finish() {
    m_ahead = Ahead::None;
    m_pending = false;
    m_row = -1;
    if (m_sqlite) {
        sqlite3_reset(static_cast<sqlite3_stmt*>(m_native));
    } else {
        PQclear(static_cast<PGresult*>(m_native));
        m_native = nullptr;
        m_rows = 0;
    }
}

std::optional<std::string_view> Statement::textOrNull(int c) const {
    if (!m_sqlite) {
        if (PQgetisnull(static_cast<PGresult*>(m_native), m_row, c)) return std::nullopt;
        return bytes(c);
    }
    auto* st = static_cast<sqlite3_stmt*>(m_native);
    if (const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, c)))
        return std::string_view(t, size_t(sqlite3_column_bytes(st, c)));
    if (sqlite3_column_type(st, c) == SQLITE_NULL) return std::nullopt;
    return std::string_view(); // as bytes() reads a value the library could not convert
}

std::optional<double> Statement::numberOrNull(int c) const {
    if (!m_sqlite) {
        if (PQgetisnull(static_cast<PGresult*>(m_native), m_row, c)) return std::nullopt;
        return number(c);
    }
    auto* st = static_cast<sqlite3_stmt*>(m_native);
    const double d = sqlite3_column_double(st, c);
    if (d == 0 && sqlite3_column_type(st, c) == SQLITE_NULL) return std::nullopt;
    return d;
}

bool Statement::isNull(int c) const {
    if (m_sqlite) return sqlite3_column_type(static_cast<sqlite3_stmt*>(m_native), c) == SQLITE_NULL;
    return PQgetisnull(static_cast<PGresult*>(m_native), m_row, c);
}

std::string_view Statement::bytes(int c) const {
    if (m_sqlite) {
        auto* st = static_cast<sqlite3_stmt*>(m_native);
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
        return t ? std::string_view(t, size_t(sqlite3_column_bytes(st, c))) : std::string_view();
    }
    auto* r = static_cast<PGresult*>(m_native);
    return std::string_view(PQgetvalue(r, m_row, c), size_t(PQgetlength(r, m_row, c)));
}

qint64 Statement::integer(int c) const {
    if (m_sqlite) return sqlite3_column_int64(static_cast<sqlite3_stmt*>(m_native), c);
    return std::strtoll(PQgetvalue(static_cast<PGresult*>(m_native), m_row, c), nullptr, 10);
}

std::string_view Statement::wholeText(int c, int maxDigits) const {
    if (m_sqlite) return {};
    const std::string_view t = bytes(c); // empty for null
    const size_t from = !t.empty() && t[0] == '-' ? 1 : 0, digits = t.size() - from;
    if (digits == 0 || digits > size_t(maxDigits) || (t[from] == '0' && (digits > 1 || from))) return {};
    for (size_t k = from; k < t.size(); ++k)
        if (t[k] < '0' || t[k] > '9') return {};
    return t;
}

double Statement::number(int c) const {
    if (m_sqlite) return sqlite3_column_double(static_cast<sqlite3_stmt*>(m_native), c);
    if (isNull(c)) return 0;
    return std::strtod(PQgetvalue(static_cast<PGresult*>(m_native), m_row, c), nullptr);
}

QString Statement::text(int c) const {
    const std::string_view t = bytes(c);
    return QString::fromUtf8(t.data(), qsizetype(t.size()));
}

bool Statement::isText(int c) const {
    if (m_sqlite) return sqlite3_column_type(static_cast<sqlite3_stmt*>(m_native), c) == SQLITE_TEXT;
    auto* r = static_cast<PGresult*>(m_native);
    if (PQgetisnull(r, m_row, c)) return false;
    switch (PQftype(r, c)) {
    case kBool:
    case kInt2:
    case kInt4:
    case kInt8:
    case kFloat4:
    case kFloat8:
    case kNumeric:
    case kDate:
    case kTimestamp:
        return false;
    default:
        return true;
    }
}

QDate Statement::date(int c) const {
    const std::string_view t = bytes(c);
    if (t.size() == 10) {
        // The usual "YYYY-MM-DD", read without a QString.
        int v[3] = {0, 0, 0};
        const int at[3] = {0, 5, 8}, len[3] = {4, 2, 2};
        bool ok = t[4] == '-' && t[7] == '-';
        for (int k = 0; k < 3 && ok; ++k)
            for (int j = 0; j < len[k]; ++j) {
                const char ch = t[size_t(at[k] + j)];
                if (ch < '0' || ch > '9') ok = false;
                v[k] = v[k] * 10 + (ch - '0');
            }
        if (ok) return QDate(v[0], v[1], v[2]);
    }
    return dateFromDb(isNull(c) ? QVariant() : QVariant(text(c)));
}

int Statement::affectedRows() const {
    return m_changes;
}

QVariant Statement::value(int c) const {
    if (m_sqlite) {
        auto* st = static_cast<sqlite3_stmt*>(m_native);
        switch (sqlite3_column_type(st, c)) {
        case SQLITE_NULL:
            return {};
        case SQLITE_INTEGER:
            return qlonglong(sqlite3_column_int64(st, c));
        case SQLITE_FLOAT:
            return sqlite3_column_double(st, c);
        default: {
            const std::string_view t = bytes(c);
            return QString::fromUtf8(t.data(), qsizetype(t.size()));
        }
        }
    }
    auto* r = static_cast<PGresult*>(m_native);
    if (PQgetisnull(r, m_row, c)) return {};
    const std::string_view t = bytes(c);
    switch (PQftype(r, c)) {
    case kBool:
        return t == "t";
    case kInt2:
    case kInt4:
    case kInt8:
        return qlonglong(integer(c));
    case kFloat4:
    case kFloat8:
    case kNumeric:
        return number(c);
    case kDate:
        return kvo::data::parseIsoDate(QString::fromLatin1(t.data(), qsizetype(t.size())));
    case kTimestamp: {
        // The stamp as the server writes it, to the second.
        QString s = QString::fromLatin1(t.data(), qsizetype(std::min<size_t>(t.size(), 19)));
        if (s.size() > 10 && s.at(10) == u' ') s[10] = u'T';
        return s;
    }
    default:
        return QString::fromUtf8(t.data(), qsizetype(t.size()));
    }
}

StatementCache::StatementCache(QSqlDatabase& db) : m_db(db) {
    const QVariant h = db.driver()->handle();
    m_pg = qstrcmp(h.typeName(), "PGconn*") == 0 || qstrcmp(h.typeName(), "pg_conn*") == 0;
    if (!m_pg && qstrcmp(h.typeName(), "sqlite3*") != 0)
        throw DbError(
            QStringLiteral("Driver de banco de dados sem acesso direto (%1).").arg(db.driverName()));
    m_conn = *static_cast<void* const*>(h.constData());
    if (!m_conn) throw DbError(QStringLiteral("Conexão com o banco de dados fechada."));
    m_store = PreparedStatements::of(db, m_ownStore);
}

StatementCache::~StatementCache() {
    // Unsent writes belong to a call that failed; its transaction rolls back without them.
    discardWrites();
    finishAll();
}

void StatementCache::discardWrites() {
    m_writes.clear();
}

Statement& StatementCache::statement(const QString& sql) {
    auto it = m_statements.find(sql);
    if (it != m_statements.end()) return **it;
    std::shared_ptr<Statement> st(new Statement);
    st->m_sql = sql;
    st->m_sqlite = !m_pg;
    if (!m_pg) {
        if (auto* h = m_store->acquire(m_db, sql)) {
            st->m_native = h;
            st->m_store = m_store;
        } else {
            // In use by an enclosing call: a statement of this call's own, finalised with it.
            const QByteArray utf8 = sql.toUtf8();
            auto* db = static_cast<sqlite3*>(m_conn);
            sqlite3_stmt* own = nullptr;
            if (sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &own, nullptr) != SQLITE_OK)
                throw nativeError(shortSql(sql), QString::fromUtf8(sqlite3_errmsg(db)),
                                  QString::number(sqlite3_extended_errcode(db)));
            st->m_native = own;
        }
    } else {
        st->m_conn = m_conn;
        st->m_name = m_store->name(static_cast<PGconn*>(m_conn), sql);
    }
    return **m_statements.insert(sql, st);
}

Statement& StatementCache::exec(const QString& sql, const QVariantList& args) {
    Statement& st = statement(sql);
    if (st.m_ahead != Statement::Ahead::None) {
        const bool same = st.m_aheadParams == encode(args);
        if (same && st.m_ahead == Statement::Ahead::Sent) flush();
        const bool arrived = st.m_ahead == Statement::Ahead::Arrived;
        st.m_ahead = Statement::Ahead::None;
        if (same && arrived) return st;
    }
    st.finish();
    if (m_writes.empty()) {
        st.run(args);
    } else {
        // The read rides in the pipeline behind the pending writes: one round trip for both.
        write(sql, args);
        m_writes.back().read = true;
        flush();
    }
    return st;
}

std::vector<QByteArray> StatementCache::encode(const QVariantList& args) {
    std::vector<QByteArray> params(size_t(args.size()));
    for (int i = 0; i < args.size(); ++i) {
        bool null = false;
        params[size_t(i)] = textParam(args.at(i), null);
        if (null) params[size_t(i)] = QByteArray(); // a null QByteArray is SQL null
    }
    return params;
}

void StatementCache::write(const QString& sql, const QVariantList& args) {
    if (!m_pg) {
        exec(sql, args);
        return;
    }
    m_writes.push_back(PendingWrite{&statement(sql), encode(args)});
}

void StatementCache::ahead(const QString& sql, const QVariantList& args) {
    if (!m_pg) return;
    Statement& st = statement(sql);
    if (st.m_ahead != Statement::Ahead::None) return; // one read ahead per statement
    m_writes.push_back(PendingWrite{&st, encode(args), true});
    st.m_ahead = Statement::Ahead::Sent;
    st.m_aheadParams = m_writes.back().params;
}

void StatementCache::flush() {
    if (m_writes.empty()) return;
    auto* conn = static_cast<PGconn*>(m_conn);
    std::vector<PendingWrite> writes;
    writes.swap(m_writes);
    // Sent in slices, each read back before the next is sent: the server's answers then never
    // fill the socket while this side is still writing.
    constexpr size_t kSlice = 256;
    if (PQenterPipelineMode(conn) != 1)
        throw nativeError(QStringLiteral("pipeline"), QString::fromUtf8(PQerrorMessage(conn)), {});
    std::optional<DbError> failure;
    for (size_t from = 0; from < writes.size() && !failure; from += kSlice) {
        const size_t to = std::min(writes.size(), from + kSlice);
        std::vector<const char*> values;
        for (size_t i = from; i < to; ++i) {
            const PendingWrite& w = writes[i];
            values.assign(w.params.size(), nullptr);
            for (size_t k = 0; k < w.params.size(); ++k)
                if (!w.params[k].isNull()) values[k] = w.params[k].constData();
            if (PQsendQueryPrepared(conn, w.statement->m_name.constData(), int(values.size()), values.data(),
                                    nullptr, nullptr, 0) != 1) {
                failure =
                    nativeError(shortSql(w.statement->m_sql), QString::fromUtf8(PQerrorMessage(conn)), {});
                break;
            }
        }
        if (PQpipelineSync(conn) != 1 && !failure)
            failure = nativeError(QStringLiteral("pipeline"), QString::fromUtf8(PQerrorMessage(conn)), {});
        // Every answer up to the sync: the first error names the statement that failed, the
        // rest of the slice was skipped by the server.
        size_t i = from;
        for (;;) {
            PGresult* r = PQgetResult(conn);
            if (!r) {
                if (PQstatus(conn) == CONNECTION_BAD) {
                    if (!failure)
                        failure = nativeError(QStringLiteral("pipeline"),
                                              QString::fromUtf8(PQerrorMessage(conn)), {});
                    break;
                }
                ++i;
                continue;
            }
            const ExecStatusType st = PQresultStatus(r);
            if (st == PGRES_PIPELINE_SYNC) {
                PQclear(r);
                break;
            }
            if (st == PGRES_FATAL_ERROR && !failure)
                failure =
                    nativeError(shortSql(i < to ? writes[i].statement->m_sql : QStringLiteral("pipeline")),
                                QString::fromUtf8(PQresultErrorMessage(r)),
                                QString::fromLatin1(PQresultErrorField(r, PG_DIAG_SQLSTATE)));
            if (i < to && writes[i].read && (st == PGRES_TUPLES_OK || st == PGRES_COMMAND_OK)) {
                Statement& q = *writes[i].statement;
                PQclear(static_cast<PGresult*>(q.m_native));
                q.m_native = r;
                q.m_rows = PQntuples(r);
                q.m_row = -1;
                q.m_changes = std::atoi(PQcmdTuples(r));
                if (q.m_ahead == Statement::Ahead::Sent) q.m_ahead = Statement::Ahead::Arrived;
                continue;
            }
            PQclear(r);
            if (PQstatus(conn) == CONNECTION_BAD) break;
        }
    }
    PQexitPipelineMode(conn);
    if (failure) throw *failure;
}

void StatementCache::finishAll() {
    flush();
    for (auto& q : m_statements)
        q->finish();
}

Transaction::Transaction(QSqlDatabase& db) : m_db(db) {
    execSql(m_db,
            dialectOf(m_db) == Dialect::SQLite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"));
    m_open = true;
}

Transaction::~Transaction() {
    if (m_open) {
        // Writes not sent yet belong to the failed call; a BEGIN never sent leaves nothing to undo.
        if (m_sc) m_sc->discardWrites();
        QSqlQuery q(m_db);
        q.exec(QStringLiteral("ROLLBACK"));
    }
}

Transaction::Transaction(StatementCache& sc) : m_db(sc.db()), m_sc(&sc) {
    if (sc.dialect() == Dialect::SQLite)
        execSql(m_db, QStringLiteral("BEGIN IMMEDIATE"));
    else
        sc.write(QStringLiteral("BEGIN"), {}); // sent with the call's first statement
    m_open = true;
}

void Transaction::commit() {
    if (m_sc && m_sc->dialect() == Dialect::PostgreSQL) {
        m_sc->write(QStringLiteral("COMMIT"), {}); // sent with the last writes
        m_sc->finishAll();
    } else {
        if (m_sc) m_sc->finishAll();
        execSql(m_db, QStringLiteral("COMMIT"));
    }
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
