// Application-server benchmark: GetCardadia and SetCardadia over loopback on days of 240, 2,400
// and 24,000 diet rows, on SQLite and PostgreSQL, each beside its raw reference built here: the
// same statements through the SQLite and libpq C libraries on a connection of their own, plus one
// loopback HTTP round trip with an empty body. Target: server <= 2 x (raw SQL + round trip).
// PostgreSQL runs on a throwaway cluster started with scripts/pg-test-cluster (skipped when that
// fails). Arguments other than --quick are ignored (scripts/bench passes its own).
// KVO_BENCH_SERVER_ONLY="WORD|WORD..." runs only the lines whose database and name hold one of
// the words, e.g. "PostgreSQL SetCardadia (1 change)|PostgreSQL GetCardadia".
#include <httplib.h>
#include <libpq-fe.h>
#include <sqlite3.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUuid>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "server/AppServer.h"
#include "server/Database.h"
#include "server/JsonRpc.h"
#include "server/RdmMedEfetDiet.h"
#include "server/Schema.h"

using namespace kvo::server;

namespace {

constexpr int kDiets = 40;
const char* kToken = "bench-token";

// One day per size: 6, 60 and 600 services of 40 diets each.
struct DaySize {
    int rows;
    QDate day;
};
const DaySize kSizes[] = {{240, QDate(2026, 3, 16)}, {2400, QDate(2026, 3, 17)}, {24000, QDate(2026, 3, 18)}};

double median(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

template <typename F> double wallMs(F&& f) {
    QElapsedTimer t;
    t.start();
    f();
    return double(t.nsecsElapsed()) / 1e6;
}

// The CPU time of this thread: steadier than wall time on a shared machine, and blind to the
// disk's flushes, which server and reference wait for alike.
template <typename F> double cpuMs(F&& f) {
    timespec a{}, b{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &a);
    f();
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &b);
    return double(b.tv_sec - a.tv_sec) * 1e3 + double(b.tv_nsec - a.tv_nsec) / 1e6;
}

template <typename F> double timeMs(bool cpu, F&& f) {
    return cpu ? cpuMs(f) : wallMs(f);
}

// The median of runs, in wall time or in this thread's CPU time.
template <typename F> double medianOf(int runs, F&& f, bool cpu = false) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i)
        ms.push_back(timeMs(cpu, f));
    return median(ms);
}

QString svc(int s) {
    return QStringLiteral("S%1").arg(s, 4, 10, QLatin1Char('0'));
}
QString diet(int k) {
    return QStringLiteral("L%1").arg(k, 3, 10, QLatin1Char('0'));
}

void seed(QSqlDatabase& db) {
    Transaction tx(db);
    execSql(db, "INSERT INTO PARAMGERAL (IDCONSMINEFE) VALUES ('N')");
    execSql(db, "INSERT INTO FILIAL VALUES ('0001', 'Filial de carga', 'N', ?)",
            {dateParam(QDate(2026, 3, 18))});
    execSql(db, "INSERT INTO PARAMPLANEJA VALUES ('0001', 'S', 30, 'S', 'S')");
    QSqlQuery d = prepare(db, "INSERT INTO DIETPADR VALUES (?, 'Dieta de carga', 'S')");
    for (int k = 0; k < kDiets; ++k)
        execOn(d, {diet(k)});
    QSqlQuery s = prepare(db, "INSERT INTO SERVICO VALUES ('0001', ?, 'Serviço de carga', 'D')");
    QSqlQuery l = prepare(db, "INSERT INTO DIETSERV VALUES ('0001', ?, ?)");
    QSqlQuery r = prepare(
        db, "INSERT INTO CARDADIA (CDFILIAL, DTCARDAPIO, CDSERVFILI, CDDIETPAD, NRCARDAPIO, DTMESCARD,"
            " QTCOMEFETCAR, QTCLIEFETCAR, QTFUNEFETCAR, QTDOAEFETCAR, QTCOMESTICAR, QTCLIESTICAR,"
            " QTFUNESTICAR, QTDOAESTICAR, QTCOMEFETRI, QTCOMEFETSL, CDOPERADOR)"
            " VALUES ('0001', ?, ?, ?, 'M260318', ?, 6, 3, 2, 1, 6, 3, 2, 1, 6, 6, 'BENCH')");
    const int services = kSizes[2].rows / kDiets;
    for (int i = 0; i < services; ++i) {
        execOn(s, {svc(i)});
        for (int k = 0; k < kDiets; ++k)
            execOn(l, {svc(i), diet(k)});
    }
    for (const DaySize& z : kSizes)
        for (int i = 0; i < z.rows / kDiets; ++i)
            for (int k = 0; k < kDiets; ++k)
                execOn(r, {dateParam(z.day), svc(i), diet(k), dateParam(QDate(2026, 3, 1))});
    d.finish();
    s.finish();
    l.finish();
    r.finish();
    tx.commit();
}

const char* kReadSql =
    "SELECT C.CDSERVFILI, S.NMSERVICO, C.CDDIETPAD, D.DSDIETPAD, C.QTCOMEFETCAR, C.QTCLIEFETCAR,"
    " C.QTFUNEFETCAR, C.QTDOAEFETCAR, C.QTCOMESTICAR, C.QTCLIESTICAR, C.QTFUNESTICAR,"
    " C.QTDOAESTICAR, C.QTCOMEFETRI, C.QTCOMEFETSL, C.DTCARDAPIO, C.CDFILIAL, C.CDOPERADOR,"
    " C.NRCARDAPIO, C.DTMESCARD FROM CARDADIA C"
    " LEFT JOIN SERVICO S ON S.CDFILIAL = C.CDFILIAL AND S.CDSERVFILI = C.CDSERVFILI"
    " LEFT JOIN DIETPADR D ON D.CDDIETPAD = C.CDDIETPAD"
    " WHERE C.CDFILIAL = ?1 AND C.DTCARDAPIO = ?2 ORDER BY C.CDSERVFILI, C.CDDIETPAD";
const char* kPlanSql = "SELECT IDBLQEFEDIAFECH, NRDIAANTDTPROC, IDPERLEFESRETPLA, IDPEREFEPOSDTPR"
                       " FROM PARAMPLANEJA WHERE CDFILIAL = ?1";
const char* kUpdateSql = "UPDATE CARDADIA SET QTCOMEFETCAR = ?1, QTCLIEFETCAR = ?2, DTULTATU = ?3"
                         " WHERE CDFILIAL = ?4 AND DTCARDAPIO = ?5 AND CDSERVFILI = ?6 AND CDDIETPAD = ?7";

// What the server also runs for a save of modified diet rows, text for text: the stored rows the
// change log's original values are checked against (locked on PostgreSQL), one at a time for a
// few changes or the whole day for many; the branch with its planning parameters and the
// operator's access; the services and their standard diets, one service for a few changes or
// the whole branch for many; and a history row per change.
const char* kRowColumns = "SELECT CDFILIAL, DTCARDAPIO, CDSERVFILI, CDDIETPAD, NRCARDAPIO, DTMESCARD,"
                          " QTCOMEFETCAR, QTCLIEFETCAR, QTFUNEFETCAR, QTDOAEFETCAR, QTCOMESTICAR,"
                          " QTCLIESTICAR, QTFUNESTICAR, QTDOAESTICAR, QTCOMEFETRI, QTCOMEFETSL, CDOPERADOR,"
                          " DTULTATU FROM CARDADIA WHERE CDFILIAL = ?1 AND DTCARDAPIO = ?2";
std::string lockRowSql(bool pg) {
    return std::string(kRowColumns) + " AND CDSERVFILI = ?3 AND CDDIETPAD = ?4" + (pg ? " FOR UPDATE" : "");
}
std::string lockDaySql(bool pg) {
    return std::string(kRowColumns) +
           (pg ? " ORDER BY CDFILIAL COLLATE \"C\", DTCARDAPIO, CDSERVFILI COLLATE \"C\","
                 " CDDIETPAD COLLATE \"C\" FOR UPDATE"
               : " ORDER BY CDFILIAL, DTCARDAPIO, CDSERVFILI, CDDIETPAD");
}
const char* kBranchSql = "SELECT F.IDCNTRRESC, F.DTPROC, P.IDPEREFEPOSDTPR, P.IDBLQEFEDIAFECH,"
                         " P.NRDIAANTDTPROC, EXISTS (SELECT 1 FROM OPERFILI O WHERE O.CDOPERADOR = ?1"
                         " AND O.CDFILIAL = F.CDFILIAL) FROM FILIAL F"
                         " LEFT JOIN PARAMPLANEJA P ON P.CDFILIAL = F.CDFILIAL WHERE F.CDFILIAL = ?2";
const char* kServiceSql = "SELECT S.IDTIPOSERV, DS.CDDIETPAD FROM SERVICO S"
                          " LEFT JOIN DIETSERV DS ON DS.CDFILIAL = S.CDFILIAL"
                          " AND DS.CDSERVFILI = S.CDSERVFILI AND EXISTS (SELECT 1 FROM DIETPADR DP"
                          " WHERE DP.CDDIETPAD = DS.CDDIETPAD AND DP.IDTIPODIET = 'S')"
                          " WHERE S.CDFILIAL = ?1 AND S.CDSERVFILI = ?2";
const char* kServicesSql = "SELECT CDSERVFILI, IDTIPOSERV FROM SERVICO WHERE CDFILIAL = ?1";
const char* kDietLinksSql = "SELECT DS.CDSERVFILI, DS.CDDIETPAD FROM DIETSERV DS"
                            " JOIN DIETPADR DP ON DP.CDDIETPAD = DS.CDDIETPAD"
                            " WHERE DS.CDFILIAL = ?1 AND DP.IDTIPODIET = 'S'";
const char* kHistorySql =
    "INSERT INTO KVOHISTORICO (DTHISTORICO, NMMETODO, NMTABELA, DSCHAVE, IDOPERACAO,"
    " CDOPERADOR, DSENDERECO, DSANTES, DSDEPOIS) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)";
constexpr int kFewChanges = 16;  // below this the server reads the day row by row
constexpr int kFewServices = 64; // below this it reads the services one by one
const char* kStamp = "2026-03-18T10:00:00";

// The texts one change binds: the row's key, the history key and the row before and after as the
// history stores it (members in name order).
struct ChangeTexts {
    std::string service, diet, key, before, after;
};
ChangeTexts changeTexts(const std::string& day, int i, double value) {
    ChangeTexts t{svc(i / kDiets).toStdString(), diet(i % kDiets).toStdString(), {}, {}, {}};
    t.key = "0001|" + day + "|" + t.service + "|" + t.diet;
    auto row = [&](double cli, const char* stamp) {
        char b[640];
        std::snprintf(
            b, sizeof b,
            "{\"CDDIETPAD\":\"%s\",\"CDFILIAL\":\"0001\",\"CDOPERADOR\":\"BENCH\",\"CDSERVFILI\":\"%s\","
            "\"DTCARDAPIO\":\"%s\",\"DTMESCARD\":\"2026-03-01\",\"DTULTATU\":\"%s\","
            "\"NRCARDAPIO\":\"M260318\",\"QTCLIEFETCAR\":%g,\"QTCLIESTICAR\":3,\"QTCOMEFETCAR\":%g,"
            "\"QTCOMEFETRI\":6,\"QTCOMEFETSL\":6,\"QTCOMESTICAR\":6,\"QTDOAEFETCAR\":1,"
            "\"QTDOAESTICAR\":1,\"QTFUNEFETCAR\":2,\"QTFUNESTICAR\":2}",
            t.diet.c_str(), t.service.c_str(), day.c_str(), stamp, cli, cli + 3);
        return std::string(b);
    };
    t.before = row(value, kStamp);
    t.after = row(value + 1, kStamp);
    return t;
}

// The raw reference: the server's statements with nothing around them.
class Raw {
public:
    virtual ~Raw() = default;
    virtual void read(const QDate& day) = 0; // every value fetched
    // The first `rows` rows of the day move from `value` to `value + 1` clients, in one
    // transaction: every statement the server runs for that change log.
    virtual void save(const QDate& day, int rows, double value) = 0;
    // The same rows' UPDATEs alone, in one transaction.
    virtual void update(const QDate& day, int rows, double value) = 0;
};

class RawSqlite : public Raw {
public:
    enum { Read, Plan, Update, LockRow, LockDay, Branch, Service, Services, DietLinks, History };
    explicit RawSqlite(const QString& path) {
        sqlite3_open_v2(path.toUtf8().constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_busy_timeout(m_db, 15000);
        sqlite3_exec(m_db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
        for (const std::string& sql :
             {std::string(kReadSql), std::string(kPlanSql), std::string(kUpdateSql), lockRowSql(false),
              lockDaySql(false), std::string(kBranchSql), std::string(kServiceSql), std::string(kServicesSql),
              std::string(kDietLinksSql), std::string(kHistorySql)}) {
            sqlite3_stmt* st = nullptr;
            if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) fail();
            m_st.push_back(st);
        }
    }
    ~RawSqlite() override {
        for (sqlite3_stmt* st : m_st)
            sqlite3_finalize(st);
        sqlite3_close(m_db);
    }
    void read(const QDate& day) override {
        const std::string d = day.toString(Qt::ISODate).toStdString();
        sqlite3_stmt* q = m_st[Read];
        text(q, 1, "0001");
        text(q, 2, d);
        fetch(q);
        text(m_st[Plan], 1, "0001");
        fetch(m_st[Plan]);
    }
    void save(const QDate& day, int rows, double value) override {
        const std::string d = day.toString(Qt::ISODate).toStdString();
        const bool few = rows < kFewChanges, fewServices = (rows + kDiets - 1) / kDiets < kFewServices;
        sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        if (!few) {
            text(m_st[LockDay], 1, "0001");
            text(m_st[LockDay], 2, d);
            fetch(m_st[LockDay]);
        }
        text(m_st[Branch], 1, "");
        text(m_st[Branch], 2, "0001");
        fetch(m_st[Branch]);
        if (!fewServices) {
            text(m_st[Services], 1, "0001");
            fetch(m_st[Services]);
            text(m_st[DietLinks], 1, "0001");
            fetch(m_st[DietLinks]);
        }
        std::vector<ChangeTexts> changes;
        changes.reserve(size_t(rows));
        for (int i = 0; i < rows; ++i) {
            changes.push_back(changeTexts(d, i, value));
            const ChangeTexts& t = changes.back();
            if (few) {
                sqlite3_stmt* q = m_st[LockRow];
                text(q, 1, "0001");
                text(q, 2, d);
                text(q, 3, t.service);
                text(q, 4, t.diet);
                fetch(q);
            }
            if (fewServices && i % kDiets == 0) {
                text(m_st[Service], 1, "0001");
                text(m_st[Service], 2, t.service);
                fetch(m_st[Service]);
            }
        }
        for (const ChangeTexts& t : changes) {
            sqlite3_stmt* u = m_st[Update];
            sqlite3_bind_double(u, 1, value + 4);
            sqlite3_bind_double(u, 2, value + 1);
            text(u, 3, kStamp);
            text(u, 4, "0001");
            text(u, 5, d);
            text(u, 6, t.service);
            text(u, 7, t.diet);
            step(u);
            sqlite3_stmt* h = m_st[History];
            text(h, 1, kStamp);
            text(h, 2, "SetCardadia");
            text(h, 3, "CARDADIA");
            text(h, 4, t.key);
            text(h, 5, "A");
            text(h, 6, "BENCH");
            text(h, 7, "127.0.0.1");
            text(h, 8, t.before);
            text(h, 9, t.after);
            step(h);
        }
        if (sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) fail();
    }
    void update(const QDate& day, int rows, double value) override {
        const std::string d = day.toString(Qt::ISODate).toStdString();
        sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        sqlite3_stmt* u = m_st[Update];
        for (int i = 0; i < rows; ++i) {
            const std::string s = svc(i / kDiets).toStdString(), k = diet(i % kDiets).toStdString();
            sqlite3_bind_double(u, 1, value + 4);
            sqlite3_bind_double(u, 2, value + 1);
            text(u, 3, kStamp);
            text(u, 4, "0001");
            text(u, 5, d);
            text(u, 6, s);
            text(u, 7, k);
            step(u);
        }
        if (sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) fail();
    }

private:
    static void text(sqlite3_stmt* q, int at, const std::string& v) {
        sqlite3_bind_text(q, at, v.c_str(), int(v.size()), SQLITE_TRANSIENT);
    }
    void step(sqlite3_stmt* q) {
        if (sqlite3_step(q) != SQLITE_DONE) fail();
        sqlite3_reset(q);
    }
    void fetch(sqlite3_stmt* q) {
        const int columns = sqlite3_column_count(q);
        int n = 0;
        while (sqlite3_step(q) == SQLITE_ROW)
            for (int c = 0; c < columns; ++c)
                n += sqlite3_column_type(q, c) == SQLITE_FLOAT ? sqlite3_column_double(q, c) > 0
                                                               : sqlite3_column_bytes(q, c) > 0;
        sqlite3_reset(q);
        if (n == 0) fail();
    }
    [[noreturn]] void fail() {
        std::fprintf(stderr, "raw SQLite: %s\n", sqlite3_errmsg(m_db));
        std::exit(1);
    }
    sqlite3* m_db = nullptr;
    std::vector<sqlite3_stmt*> m_st;
};

class RawPostgres : public Raw {
public:
    explicit RawPostgres(const std::string& conninfo) : m_conn(PQconnectdb(conninfo.c_str())) {
        if (PQstatus(m_conn) != CONNECTION_OK) fail(nullptr);
        prepare("r", kReadSql);
        prepare("p", kPlanSql);
        prepare("u", kUpdateSql);
        prepare("lr", lockRowSql(true));
        prepare("ld", lockDaySql(true));
        prepare("b", kBranchSql);
        prepare("s", kServiceSql);
        prepare("ss", kServicesSql);
        prepare("dl", kDietLinksSql);
        prepare("h", kHistorySql);
    }
    ~RawPostgres() override { PQfinish(m_conn); }
    void read(const QDate& day) override {
        const std::string d = day.toString(Qt::ISODate).toStdString();
        const char* args[] = {"0001", d.c_str()};
        fetch(PQexecPrepared(m_conn, "r", 2, args, nullptr, nullptr, 0));
        fetch(PQexecPrepared(m_conn, "p", 1, args, nullptr, nullptr, 0));
    }
    void save(const QDate& day, int rows, double value) override {
        const std::string d = day.toString(Qt::ISODate).toStdString();
        const std::string a = QByteArray::number(value + 4).toStdString(),
                          b = QByteArray::number(value + 1).toStdString();
        const bool few = rows < kFewChanges, fewServices = (rows + kDiets - 1) / kDiets < kFewServices;
        const char* branch[] = {"", "0001"};
        const char* day2[] = {"0001", d.c_str()};
        check(PQexec(m_conn, "BEGIN"), PGRES_COMMAND_OK);
        if (!few) fetch(PQexecPrepared(m_conn, "ld", 2, day2, nullptr, nullptr, 0));
        fetch(PQexecPrepared(m_conn, "b", 2, branch, nullptr, nullptr, 0));
        if (!fewServices) {
            fetch(PQexecPrepared(m_conn, "ss", 1, day2, nullptr, nullptr, 0));
            fetch(PQexecPrepared(m_conn, "dl", 1, day2, nullptr, nullptr, 0));
        }
        std::vector<ChangeTexts> changes;
        changes.reserve(size_t(rows));
        for (int i = 0; i < rows; ++i) {
            changes.push_back(changeTexts(d, i, value));
            const ChangeTexts& t = changes.back();
            if (few) {
                const char* key[] = {"0001", d.c_str(), t.service.c_str(), t.diet.c_str()};
                fetch(PQexecPrepared(m_conn, "lr", 4, key, nullptr, nullptr, 0));
            }
            if (fewServices && i % kDiets == 0) {
                const char* service[] = {"0001", t.service.c_str()};
                fetch(PQexecPrepared(m_conn, "s", 2, service, nullptr, nullptr, 0));
            }
        }
        for (const ChangeTexts& t : changes) {
            const char* args[] = {a.c_str(), b.c_str(),         kStamp,        "0001",
                                  d.c_str(), t.service.c_str(), t.diet.c_str()};
            check(PQexecPrepared(m_conn, "u", 7, args, nullptr, nullptr, 0), PGRES_COMMAND_OK);
            const char* h[] = {kStamp,  "SetCardadia", "CARDADIA",       t.key.c_str(),  "A",
                               "BENCH", "127.0.0.1",   t.before.c_str(), t.after.c_str()};
            check(PQexecPrepared(m_conn, "h", 9, h, nullptr, nullptr, 0), PGRES_COMMAND_OK);
        }
        check(PQexec(m_conn, "COMMIT"), PGRES_COMMAND_OK);
    }
    void update(const QDate& day, int rows, double value) override {
        const std::string d = day.toString(Qt::ISODate).toStdString();
        const std::string a = QByteArray::number(value + 4).toStdString(),
                          b = QByteArray::number(value + 1).toStdString();
        check(PQexec(m_conn, "BEGIN"), PGRES_COMMAND_OK);
        for (int i = 0; i < rows; ++i) {
            const std::string s = svc(i / kDiets).toStdString(), k = diet(i % kDiets).toStdString();
            const char* args[] = {a.c_str(), b.c_str(), kStamp, "0001", d.c_str(), s.c_str(), k.c_str()};
            check(PQexecPrepared(m_conn, "u", 7, args, nullptr, nullptr, 0), PGRES_COMMAND_OK);
        }
        check(PQexec(m_conn, "COMMIT"), PGRES_COMMAND_OK);
    }

private:
    void prepare(const char* name, const std::string& sql) {
        std::string text(sql);
        for (size_t at; (at = text.find('?')) != std::string::npos;)
            text[at] = '$';
        check(PQprepare(m_conn, name, text.c_str(), 0, nullptr), PGRES_COMMAND_OK);
    }
    void fetch(PGresult* r) {
        if (PQresultStatus(r) != PGRES_TUPLES_OK) fail(r);
        int n = 0;
        for (int row = 0; row < PQntuples(r); ++row)
            for (int c = 0; c < PQnfields(r); ++c)
                n += PQgetlength(r, row, c) > 0 && PQgetvalue(r, row, c)[0] != 0;
        PQclear(r);
        if (n == 0) fail(nullptr);
    }
    void check(PGresult* r, ExecStatusType want) {
        if (PQresultStatus(r) != want) fail(r);
        PQclear(r);
    }
    [[noreturn]] void fail(PGresult* r) {
        std::fprintf(stderr, "raw PostgreSQL: %s\n", r ? PQresultErrorMessage(r) : PQerrorMessage(m_conn));
        std::exit(1);
    }
    PGconn* m_conn;
};

// One loopback HTTP round trip with an empty body, to a server that answers nothing.
double emptyRoundTrip(int runs) {
    httplib::Server srv;
    srv.Post("/", [](const httplib::Request&, httplib::Response& res) { res.status = 200; });
    const int port = srv.bind_to_any_port("127.0.0.1");
    std::thread th([&] { srv.listen_after_bind(); });
    httplib::Client cli("127.0.0.1", port);
    cli.set_keep_alive(true);
    cli.set_tcp_nodelay(true);
    for (int i = 0; i < 5; ++i)
        cli.Post("/", "", 0, "application/json");
    const double ms = medianOf(runs, [&] {
        if (!cli.Post("/", "", 0, "application/json")) std::exit(1);
    });
    srv.stop();
    th.join();
    return ms;
}

// A change log that moves the client count of the day's first n rows from `from` to `to`.
QByteArray modifyLog(const TDataPacket& day, int n, double from, double to) {
    TChangeLog log;
    log.fields = day.fields;
    const int cli = day.FieldIndex("QTCLIEFETCAR"), tot = day.FieldIndex("QTCOMEFETCAR");
    for (int i = 0; i < n; ++i) {
        TChange c;
        c.op = TChange::Modify;
        c.oldValues = day.rows.at(i);
        c.oldValues[cli] = from;
        c.oldValues[tot] = from + 3;
        c.newValues = c.oldValues;
        c.newValues[cli] = to;
        c.newValues[tot] = to + 3;
        log.changes << c;
    }
    return QJsonDocument(QJsonObject{{"jsonrpc", "2.0"},
                                     {"method", "SetCardadia"},
                                     {"params", QJsonArray{log.toJsonValue()}},
                                     {"id", 1}})
        .toJson(QJsonDocument::Compact);
}

// The medians of the raw reference's saves and the server's, run in blocks of a few, turn about.
// Every save adds a history row per changed row, in an index by row key, so a later save of the
// same rows dirties more pages: a series run after the other would write into a larger history.
// Each save takes the client count from value to value + 1 (the raw one without looking).
// With cpu, the thread's CPU time instead of wall time.
template <typename RawSave, typename ServerSave>
std::pair<double, double> savesInTurns(int runs, bool cpu, double& value, const TDataPacket& day, int changes,
                                       RawSave&& rawSave, ServerSave&& serverSave) {
    constexpr int kBlock = 5; // the first save after a switch finds its page cache reset
    std::vector<double> rawMs, serverMs;
    while (int(serverMs.size()) < runs) {
        const int n = std::min(kBlock, runs - int(serverMs.size()));
        for (int i = 0; i < n; ++i) {
            const double from = value++;
            rawMs.push_back(timeMs(cpu, [&] { rawSave(from); }));
        }
        std::vector<QByteArray> bodies;
        for (int i = 0; i < n; ++i)
            bodies.push_back(modifyLog(day, changes, value + i, value + i + 1));
        value += n;
        for (const QByteArray& b : bodies)
            serverMs.push_back(timeMs(cpu, [&] { serverSave(b); }));
    }
    return {median(rawMs), median(serverMs)};
}

QByteArray request(const char* method, const QJsonArray& params) {
    return QJsonDocument(QJsonObject{{"jsonrpc", "2.0"}, {"method", method}, {"params", params}, {"id", 1}})
        .toJson(QJsonDocument::Compact);
}

void post(httplib::Client& cli, const QByteArray& body, const char* expect = nullptr) {
    auto res = cli.Post("/Kvo01000.rdmMedEfetDiet",
                        httplib::Headers{{"Authorization", std::string("Bearer ") + kToken}},
                        body.constData(), size_t(body.size()), "application/json");
    if (!res || res->status != 200 || res->body.find("\"error\"") != std::string::npos ||
        (expect && res->body.find(expect) == std::string::npos)) {
        std::fprintf(stderr, "request failed: %s\n", res ? res->body.substr(0, 300).c_str() : "no answer");
        std::exit(1);
    }
}

int misses = 0;

// Whether the line `what` of database `label` runs (KVO_BENCH_SERVER_ONLY).
bool wanted(const QString& label, const QString& what) {
    static const QStringList words =
        qEnvironmentVariable("KVO_BENCH_SERVER_ONLY").split(QLatin1Char('|'), Qt::SkipEmptyParts);
    if (words.isEmpty()) return true;
    const QString name = label + QLatin1Char(' ') + what;
    return std::any_of(words.begin(), words.end(), [&](const QString& w) { return name.contains(w); });
}

QString readName(const DaySize& z) {
    return QStringLiteral("GetCardadia (%1 rows)").arg(z.rows);
}
QString saveName(int changes) {
    return QStringLiteral("SetCardadia (%1 change%2)").arg(changes).arg(changes > 1 ? "s" : "");
}
const char* kClientsName = "GetCardadia (2400 rows) with 4 clients";
constexpr int kSaveSizes[] = {1, 240, 2400, 24000};

void line(const QString& what, double server, double raw, double rtt) {
    const double reference = raw + rtt, ratio = server / reference;
    if (ratio > 2) ++misses;
    std::printf(
        "  %-28s server %9.2f ms   raw SQL %8.2f ms + rtt %5.2f ms   ratio %5.2f  target <= 2.00  %s\n",
        qPrintable(what), server, raw, rtt, ratio, ratio <= 2 ? "PASS" : "MISS");
}

// Whether any line of database `label` runs.
bool wantedDatabase(const QString& label) {
    bool any = wanted(label, kClientsName);
    for (const DaySize& z : kSizes)
        any = any || wanted(label, readName(z));
    for (int n : kSaveSizes)
        any = any || wanted(label, saveName(n));
    return any;
}

void run(const QString& label, const QString& target, const std::function<std::unique_ptr<Raw>()>& makeRaw,
         double rtt, bool quick) {
    if (!wantedDatabase(label)) return;
    QSqlDatabase db = openDatabase(DbSpec::parse(target), "bench-" + label);
    Schema::migrate(db);
    seed(db);
    execSql(db, "ANALYZE");
    const std::unique_ptr<Raw> rawRef = makeRaw(); // prepared on the seeded tables, as the server's are
    Raw& raw = *rawRef;
    raw.read(kSizes[0].day);

    ServerOptions o;
    o.database = target;
    o.token = kToken;
    o.workers = 4;
    o.logRequests = false;
    AppServer server(o);
    const int port = server.start();
    httplib::Client cli("127.0.0.1", port);
    cli.set_keep_alive(true);
    cli.set_tcp_nodelay(true);
    cli.set_read_timeout(120, 0);

    std::printf("%s (loopback round trip with an empty body: %.3f ms)\n", qPrintable(label), rtt);
    RdmMedEfetDiet direct(db);
    for (const DaySize& z : kSizes) {
        if (!wanted(label, readName(z))) continue;
        const int runs = quick ? 5 : z.rows >= 24000 ? 10 : 40;
        const double rawMs = medianOf(runs, [&] { raw.read(z.day); });
        const QByteArray body = request("GetCardadia", {"0001", z.day.toString(Qt::ISODate)});
        post(cli, body); // every worker's first call opens its connection
        const double serverMs = medianOf(runs, [&] { post(cli, body); });
        line(readName(z), serverMs, rawMs, rtt);
        if (qEnvironmentVariableIsSet("KVO_BENCH_CPU")) {
            // The call without HTTP, on the benchmark's own connection, beside the raw read.
            const double s = medianOf(
                runs, [&] { handleRpc(body, db); }, true);
            const double r = medianOf(
                runs, [&] { raw.read(z.day); }, true);
            std::printf("  %-28s CPU in process %8.2f ms   raw %8.2f ms   ratio %5.2f\n", "", s, r, s / r);
        }
    }

    // Four clients reading the 2,400-row day at once.
    if (wanted(label, kClientsName)) {
        const QByteArray body = request("GetCardadia", {"0001", kSizes[1].day.toString(Qt::ISODate)});
        const int each = quick ? 5 : 25;
        QElapsedTimer wall;
        wall.start();
        std::vector<std::thread> th;
        for (int c = 0; c < 4; ++c)
            th.emplace_back([&] {
                httplib::Client k("127.0.0.1", port);
                k.set_keep_alive(true);
                k.set_tcp_nodelay(true);
                k.set_read_timeout(60, 0);
                for (int i = 0; i < each; ++i)
                    post(k, body);
            });
        for (auto& t : th)
            t.join();
        std::printf("  %-28s %8.1f req/s with 4 clients\n", "GetCardadia (2400 rows)",
                    4 * each * 1000.0 / double(wall.elapsed()));
    }

    // Writes: the first n rows of a day change; the raw reference runs the server's statements for
    // the same rows one at a time in one transaction.
    double value = 3;
    struct WriteCase {
        int changes;
        const DaySize& day;
    };
    for (const WriteCase& w : {WriteCase{kSaveSizes[0], kSizes[0]}, WriteCase{kSaveSizes[1], kSizes[0]},
                               WriteCase{kSaveSizes[2], kSizes[1]}, WriteCase{kSaveSizes[3], kSizes[2]}}) {
        const QString what = saveName(w.changes);
        if (!wanted(label, what)) continue;
        const int runs = quick ? 3 : w.changes >= 24000 ? 3 : w.changes >= 2400 ? 10 : 40;
        const TDataPacket day = direct.GetCardadia("0001", w.day.day).first;
        const double updatesMs = medianOf(runs, [&] {
            raw.update(w.day.day, w.changes, value);
            value += 1;
        });
        // From a known state: client count `value` on every row the log touches; the server's first
        // call (which opens its worker's connection) takes it one further.
        raw.update(w.day.day, w.changes, value - 1);
        post(cli, modifyLog(day, w.changes, value, value + 1), "\"result\":\"\"");
        value += 1;
        auto rawSave = [&](double from) { raw.save(w.day.day, w.changes, from); };
        const auto [rawMs, serverMs] =
            savesInTurns(runs, false, value, day, w.changes, rawSave,
                         [&](const QByteArray& b) { post(cli, b, "\"result\":\"\""); });
        std::optional<std::pair<double, double>> cpu; // in process and raw, printed after the line
        if (qEnvironmentVariableIsSet("KVO_BENCH_CPU")) {
            const auto [r, s] = savesInTurns(w.changes >= 24000 ? 3 : 7, true, value, day, w.changes, rawSave,
                                             [&](const QByteArray& b) {
                                                 if (!handleRpc(b, db).body.contains("\"result\":\"\""))
                                                     std::exit(1);
                                             });
            cpu = std::make_pair(s, r);
        }
        if (qEnvironmentVariableIsSet("KVO_BENCH_BREAKDOWN")) {
            // The same save without HTTP: the request handled on the benchmark's own connection.
            for (int k = 0; k < 3; ++k) {
                raw.update(w.day.day, w.changes, value);
                const QByteArray b = modifyLog(day, w.changes, value + 1, value + 2);
                value += 3;
                QElapsedTimer t;
                t.start();
                const RpcOutcome out = handleRpc(b, db);
                std::printf("  %-28s in process %9.2f ms (%s)\n", "", double(t.nsecsElapsed()) / 1e6,
                            out.body.left(60).constData());
            }
        }
        line(what, serverMs, rawMs, rtt);
        std::printf(
            "  %-28s server %9.2f ms   UPDATEs alone %8.2f ms + rtt %5.2f ms   ratio %5.2f  (information)\n",
            qPrintable(what), serverMs, updatesMs, rtt, serverMs / (updatesMs + rtt));
        if (cpu)
            std::printf("  %-28s CPU in process %8.2f ms   raw %8.2f ms   ratio %5.2f\n", "", cpu->first,
                        cpu->second, cpu->first / cpu->second);
    }

    server.stop();
    db.close();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const bool quick = app.arguments().contains("--quick");
    const double rtt = emptyRoundTrip(quick ? 50 : 400);
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("bench.db");
        run(
            "SQLite", "sqlite:" + path, [&] { return std::make_unique<RawSqlite>(path); }, rtt, quick);
    }
    if (!wantedDatabase(QStringLiteral("PostgreSQL"))) return misses ? 1 : 0; // no cluster needed
    const QString script = QStringLiteral(KVO_SOURCE_DIR "/scripts/pg-test-cluster");
    const QString port = qEnvironmentVariable("KVO_BENCH_PG_PORT", "55447");
    // One cluster per port: two runs side by side must not restart each other's.
    const QString pgDir = QDir::tempPath() + "/kvo-bench-pg-" + port;
    if (QProcess::execute(script, {"start", pgDir, port}) != 0) {
        std::printf("PostgreSQL: skipped (the throwaway cluster did not start)\n");
        return misses ? 1 : 0;
    }
    const QString name = "kvobench_" + QUuid::createUuid().toString(QUuid::Id128).left(10);
    {
        QSqlDatabase admin = openDatabase(
            DbSpec::parse("postgres:host=127.0.0.1;port=" + port + ";dbname=postgres;user=postgres"),
            "bench-admin");
        execSql(admin, "CREATE DATABASE " + name);
        {
            const QString target =
                "postgres:host=127.0.0.1;port=" + port + ";dbname=" + name + ";user=postgres";
            const std::string conninfo =
                ("host=127.0.0.1 port=" + port + " dbname=" + name + " user=postgres").toStdString();
            run(
                "PostgreSQL", target, [&] { return std::make_unique<RawPostgres>(conninfo); }, rtt, quick);
        }
        execSql(admin, "DROP DATABASE " + name + " WITH (FORCE)");
        admin.close();
    }
    QProcess::execute(script, {"stop", pgDir, port});
    return misses ? 1 : 0;
}
