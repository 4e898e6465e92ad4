// Application-server benchmark: GetCardadia and SetCardadia on a large day (60 services x 40
// diets) over loopback, on SQLite and PostgreSQL, beside the raw SQL time of the same work.
// PostgreSQL runs on a throwaway cluster started with scripts/pg-test-cluster (skipped when that
// fails). Arguments other than --quick are ignored (scripts/bench passes its own).
#include <httplib.h>

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
#include <thread>
#include <vector>

#include "server/AppServer.h"
#include "server/Database.h"
#include "server/RdmMedEfetDiet.h"
#include "server/Schema.h"

using namespace kvo::server;

namespace {

constexpr int kServices = 60, kDiets = 40;
const char* kToken = "bench-token";
const QDate kDay(2026, 3, 18);

struct Stats {
    double median = 0, p99 = 0, mean = 0;
};

Stats stats(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    Stats s;
    s.median = ms[ms.size() / 2];
    s.p99 = ms[std::min(ms.size() - 1, size_t(double(ms.size()) * 0.99))];
    double sum = 0;
    for (double v : ms)
        sum += v;
    s.mean = sum / double(ms.size());
    return s;
}

QString svc(int s) {
    return QStringLiteral("S%1").arg(s, 4, 10, QLatin1Char('0'));
}
QString diet(int k) {
    return QStringLiteral("L%1").arg(k, 3, 10, QLatin1Char('0'));
}

void seedLargeDay(QSqlDatabase& db) {
    Transaction tx(db);
    execSql(db, "INSERT INTO PARAMGERAL (IDCONSMINEFE) VALUES ('N')");
    execSql(db, "INSERT INTO FILIAL VALUES ('0001', 'Filial de carga', 'N', ?)", {dateParam(kDay)});
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
    for (int i = 0; i < kServices; ++i) {
        execOn(s, {svc(i)});
        for (int k = 0; k < kDiets; ++k) {
            execOn(l, {svc(i), diet(k)});
            execOn(r, {dateParam(kDay), svc(i), diet(k), dateParam(QDate(2026, 3, 1))});
        }
    }
    d.finish();
    s.finish();
    l.finish();
    r.finish();
    tx.commit();
}

// A change log that moves every diet row's client count from `from` to `to`.
QByteArray bigModify(const TDataPacket& day, double from, double to) {
    TChangeLog log;
    log.fields = day.fields;
    const int cli = day.FieldIndex("QTCLIEFETCAR"), tot = day.FieldIndex("QTCOMEFETCAR");
    for (const auto& row : day.rows) {
        TChange c;
        c.op = TChange::Modify;
        c.oldValues = row;
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

QByteArray request(const char* method, const QJsonArray& params) {
    return QJsonDocument(QJsonObject{{"jsonrpc", "2.0"}, {"method", method}, {"params", params}, {"id", 1}})
        .toJson(QJsonDocument::Compact);
}

double post(httplib::Client& cli, const QByteArray& body, std::string* out = nullptr) {
    QElapsedTimer t;
    t.start();
    auto res = cli.Post("/Kvo01000.rdmMedEfetDiet",
                        httplib::Headers{{"Authorization", std::string("Bearer ") + kToken}},
                        body.constData(), size_t(body.size()), "application/json");
    const double ms = double(t.nsecsElapsed()) / 1e6;
    if (!res || res->status != 200 || res->body.find("\"error\"") != std::string::npos) {
        std::fprintf(stderr, "request failed: %s\n", res ? res->body.substr(0, 200).c_str() : "no answer");
        std::exit(1);
    }
    if (out) *out = res->body;
    return ms;
}

void line(const char* what, const Stats& s, double throughput, double raw, double rtt) {
    const double target = 2 * raw + rtt;
    std::printf(
        "  %-26s median %8.2f ms  p99 %8.2f ms  %8.1f req/s   raw SQL %7.2f ms   target %7.2f ms  %s\n", what,
        s.median, s.p99, throughput, raw, target, s.median <= target ? "ok" : "OVER");
}

void run(const QString& label, const QString& target, bool quick) {
    const int reads = quick ? 30 : 200, writes = quick ? 6 : 30;
    QSqlDatabase db = openDatabase(DbSpec::parse(target), "bench-" + label);
    Schema::migrate(db);
    seedLargeDay(db);

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
    cli.set_read_timeout(60, 0);

    std::printf("%s (%d diet rows in the day)\n", qPrintable(label), kServices * kDiets);

    // One loopback round trip with a trivial method.
    std::vector<double> ping;
    for (int i = 0; i < reads; ++i)
        ping.push_back(post(cli, request("Ping", {})));
    const double rtt = stats(ping).median;
    std::printf("  %-26s median %8.2f ms\n", "loopback round trip", rtt);

    // Raw SQL: the same read, every value fetched.
    RdmMedEfetDiet direct(db);
    std::vector<double> rawRead;
    for (int i = 0; i < reads; ++i) {
        QElapsedTimer t;
        t.start();
        QSqlQuery q = execSql(
            db,
            "SELECT C.CDSERVFILI, S.NMSERVICO, C.CDDIETPAD, D.DSDIETPAD, C.QTCOMEFETCAR, C.QTCLIEFETCAR,"
            " C.QTFUNEFETCAR, C.QTDOAEFETCAR, C.QTCOMESTICAR, C.QTCLIESTICAR, C.QTFUNESTICAR,"
            " C.QTDOAESTICAR, C.QTCOMEFETRI, C.QTCOMEFETSL, C.DTCARDAPIO, C.CDFILIAL, C.CDOPERADOR,"
            " C.NRCARDAPIO, C.DTMESCARD FROM CARDADIA C"
            " LEFT JOIN SERVICO S ON S.CDFILIAL = C.CDFILIAL AND S.CDSERVFILI = C.CDSERVFILI"
            " LEFT JOIN DIETPADR D ON D.CDDIETPAD = C.CDDIETPAD"
            " WHERE C.CDFILIAL = ? AND C.DTCARDAPIO = ? ORDER BY C.CDSERVFILI, C.CDDIETPAD",
            {"0001", dateParam(kDay)});
        int n = 0;
        while (q.next())
            for (int c = 0; c < 19; ++c)
                n += q.value(c).isNull() ? 0 : 1;
        rawRead.push_back(double(t.nsecsElapsed()) / 1e6);
        if (n == 0) std::exit(1);
    }

    const QByteArray readBody = request("GetCardadia", {"0001", kDay.toString(Qt::ISODate)});
    std::vector<double> read;
    for (int i = 0; i < reads; ++i)
        read.push_back(post(cli, readBody));
    // Throughput with four clients at once.
    std::atomic<int> done{0};
    QElapsedTimer wall;
    wall.start();
    {
        std::vector<std::thread> th;
        for (int c = 0; c < 4; ++c)
            th.emplace_back([&] {
                httplib::Client k("127.0.0.1", port);
                k.set_keep_alive(true);
                k.set_tcp_nodelay(true);
                k.set_read_timeout(60, 0);
                for (int i = 0; i < reads / 4; ++i) {
                    post(k, readBody);
                    ++done;
                }
            });
        for (auto& t : th)
            t.join();
    }
    const double readTput = done * 1000.0 / double(wall.elapsed());
    line("GetCardadia (2400 rows)", stats(read), readTput, stats(rawRead).median, rtt);

    // Writes: every diet row of the day changes. Raw SQL: the same updates in one transaction.
    const TDataPacket day = direct.GetCardadia("0001", kDay).first;
    std::vector<double> rawWrite;
    double value = 3;
    for (int i = 0; i < writes; ++i) {
        QElapsedTimer t;
        t.start();
        Transaction tx(db);
        QSqlQuery u = prepare(
            db, "UPDATE CARDADIA SET QTCLIEFETCAR = ?, QTCOMEFETCAR = ?, DTULTATU = ? WHERE CDFILIAL = ?"
                " AND DTCARDAPIO = ? AND CDSERVFILI = ? AND CDDIETPAD = ?");
        for (int s = 0; s < kServices; ++s)
            for (int k = 0; k < kDiets; ++k)
                execOn(u, {value + 1, value + 4, "2026-03-18T10:00:00", "0001", dateParam(kDay), svc(s),
                           diet(k)});
        u.finish();
        tx.commit();
        rawWrite.push_back(double(t.nsecsElapsed()) / 1e6);
        value += 1;
    }
    if (qEnvironmentVariableIsSet("KVO_BENCH_BREAKDOWN")) {
        // Where the time goes, without HTTP: decoding the log, then the method itself.
        const QByteArray body = bigModify(day, value, value + 1);
        QElapsedTimer t;
        t.start();
        const QJsonDocument doc = QJsonDocument::fromJson(body);
        const double parse = double(t.nsecsElapsed()) / 1e6;
        t.restart();
        const TChangeLog log = TChangeLog::fromJson(doc.object().value("params").toArray().at(0));
        const double decode = double(t.nsecsElapsed()) / 1e6;
        t.restart();
        const QString r = direct.SetCardadia(log);
        const double apply = double(t.nsecsElapsed()) / 1e6;
        t.restart();
        const QByteArray enc =
            QJsonDocument(direct.GetCardadia("0001", kDay).first.toJsonValue().toObject()).toJson();
        const double readEnc = double(t.nsecsElapsed()) / 1e6;
        std::printf(
            "  breakdown: parse %.1f ms, decode log %.1f ms, apply %.1f ms (%s); read+encode %.1f ms\n",
            parse, decode, apply, qPrintable(r), readEnc);
        value += 1;
    }
    std::vector<double> write;
    for (int i = 0; i < writes; ++i) {
        const QByteArray body = bigModify(day, value, value + 1);
        std::string out;
        write.push_back(post(cli, body, &out));
        if (out.find("\"result\":\"\"") == std::string::npos) {
            std::fprintf(stderr, "SetCardadia refused: %s\n", out.substr(0, 200).c_str());
            std::exit(1);
        }
        value += 1;
    }
    const Stats ws = stats(write);
    line("SetCardadia (2400 changes)", ws, 1000.0 / ws.mean, stats(rawWrite).median, rtt);

    // The screen's everyday case: one diet row per post.
    std::vector<double> rawOne, one;
    for (int i = 0; i < reads; ++i) {
        QElapsedTimer t;
        t.start();
        Transaction tx(db);
        execSql(db,
                "UPDATE CARDADIA SET QTCLIEFETCAR = ?, QTCOMEFETCAR = ? WHERE CDFILIAL = ? AND DTCARDAPIO = ?"
                " AND CDSERVFILI = ? AND CDDIETPAD = ?",
                {value + 1, value + 4, "0001", dateParam(kDay), svc(0), diet(0)});
        tx.commit();
        rawOne.push_back(double(t.nsecsElapsed()) / 1e6);
        value += 1;
    }
    TDataPacket first;
    first.fields = day.fields;
    first.rows = {day.rows.first()};
    for (int i = 0; i < reads; ++i) {
        const QByteArray body = bigModify(first, value, value + 1);
        one.push_back(post(cli, body));
        value += 1;
    }
    const Stats os = stats(one);
    line("SetCardadia (1 change)", os, 1000.0 / os.mean, stats(rawOne).median, rtt);

    server.stop();
    db.close();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const bool quick = app.arguments().contains("--quick");
    {
        QTemporaryDir dir;
        run("SQLite", "sqlite:" + dir.filePath("bench.db"), quick);
    }
    const QString script = QStringLiteral(KVO_SOURCE_DIR "/scripts/pg-test-cluster");
    const QString pgDir = QDir::tempPath() + "/kvo-bench-pg";
    const QString port = qEnvironmentVariable("KVO_BENCH_PG_PORT", "55447");
    if (QProcess::execute(script, {"start", pgDir, port}) != 0) {
        std::printf("PostgreSQL: skipped (the throwaway cluster did not start)\n");
        return 0;
    }
    const QString name = "kvobench_" + QUuid::createUuid().toString(QUuid::Id128).left(10);
    {
        QSqlDatabase admin = openDatabase(
            DbSpec::parse("postgres:host=127.0.0.1;port=" + port + ";dbname=postgres;user=postgres"),
            "bench-admin");
        execSql(admin, "CREATE DATABASE " + name);
        run("PostgreSQL", "postgres:host=127.0.0.1;port=" + port + ";dbname=" + name + ";user=postgres",
            quick);
        execSql(admin, "DROP DATABASE " + name + " WITH (FORCE)");
        admin.close();
    }
    QProcess::execute(script, {"stop", pgDir, port});
    return 0;
}
