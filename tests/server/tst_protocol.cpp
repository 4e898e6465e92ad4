// The HTTP and JSON-RPC surface of the server: authentication, malformed and hostile requests,
// and that the server goes on serving after each of them.
#include <QtTest>

#include <httplib.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <atomic>
#include <mutex>
#include <thread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "ServerTestDb.h"
#include "server/AppServer.h"
#include "server/PacketJson.h"
#include "support/RawClient.h"

using namespace kvo::test;
using kvo::server::AppServer;
using kvo::server::ServerOptions;

namespace {

using kvo::test::connectTo;
const char* kToken = "s3gr3d0-de-teste";
const std::string kPath = "/Kvo01000.rdmMedEfetDiet";

struct Answer {
    int status = 0;
    QJsonObject body;
    QByteArray raw;
};

// Writes exactly the bytes given, as a hostile client would, while reading what comes back;
// returns the complete answers that arrived within 10 s (fewer if the server closed first).
QVector<Answer> rawExchange(int port, const QByteArray& head, const QByteArray& rest = {}, int answers = 1) {
    QVector<Answer> got;
    const int fd = connectTo(port);
    if (fd < 0) return got;
    fcntl(fd, F_SETFL, O_NONBLOCK);
    QByteArray out = head + rest, in;
    qsizetype sent = 0;
    QElapsedTimer timer;
    timer.start();
    bool open = true;
    while (open && got.size() < answers && timer.elapsed() < 10000) {
        pollfd p{fd, short(POLLIN | (sent < out.size() ? POLLOUT : 0)), 0};
        poll(&p, 1, 100);
        if ((p.revents & POLLOUT) && sent < out.size()) {
            const ssize_t n = ::send(fd, out.constData() + sent, size_t(out.size() - sent), MSG_NOSIGNAL);
            if (n > 0)
                sent += n;
            else
                sent = out.size(); // the server stopped reading: fine, see what it said
        }
        if (p.revents & (POLLIN | POLLHUP | POLLERR)) {
            char buf[65536];
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0) open = false;
            if (n > 0) in.append(buf, qsizetype(n));
        }
        // Take every complete answer off the front of what has arrived.
        for (;;) {
            const qsizetype end = in.indexOf("\r\n\r\n");
            if (end < 0) break;
            const QByteArray header = in.left(end);
            qsizetype length = 0;
            for (const QByteArray& line : header.split('\n'))
                if (line.toLower().startsWith("content-length:"))
                    length = line.mid(15).trimmed().toLongLong();
            if (in.size() < end + 4 + length) break;
            Answer a;
            a.status = header.mid(9, 3).toInt();
            a.raw = in.mid(end + 4, length);
            a.body = QJsonDocument::fromJson(a.raw).object();
            got << a;
            in.remove(0, end + 4 + length);
        }
    }
    ::close(fd);
    return got;
}

QByteArray requestHead(const QByteArray& headers, const QByteArray& token = kToken) {
    QByteArray h = "POST " + QByteArray::fromStdString(kPath) + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    if (!token.isEmpty()) h += "Authorization: Bearer " + token + "\r\n";
    return h + headers + "\r\n";
}

QByteArray chunked(qsizetype total) {
    QByteArray body;
    const QByteArray piece(4000, 'a');
    for (qsizetype n = 0; n < total; n += piece.size())
        body += QByteArray::number(piece.size(), 16) + "\r\n" + piece + "\r\n";
    return body + "0\r\n\r\n";
}

const QByteArray kPing = R"({"jsonrpc":"2.0","method":"Ping","params":[],"id":1})";
} // namespace

class TestProtocol : public QObject {
    Q_OBJECT
    std::unique_ptr<ServerTestDb> t;
    std::unique_ptr<AppServer> server;
    int port = 0;
    std::mutex logMutex;
    QByteArrayList logLines;

    Answer post(const QByteArray& body, const std::string& token = kToken, const std::string& path = kPath) {
        httplib::Client cli("127.0.0.1", port);
        cli.set_read_timeout(10, 0);
        httplib::Headers h;
        if (!token.empty()) h.emplace("Authorization", "Bearer " + token);
        auto res = cli.Post(path.c_str(), h, body.constData(), size_t(body.size()), "application/json");
        Answer a;
        if (!res) return a;
        a.status = res->status;
        a.raw = QByteArray::fromStdString(res->body);
        a.body = QJsonDocument::fromJson(a.raw).object();
        return a;
    }
    Answer call(const QString& method, const QJsonArray& params, const QJsonValue& id = 7) {
        return post(
            QJsonDocument(QJsonObject{{"jsonrpc", "2.0"}, {"method", method}, {"params", params}, {"id", id}})
                .toJson(QJsonDocument::Compact));
    }
    static int errorCode(const Answer& a) { return a.body.value("error").toObject().value("code").toInt(); }
    static QString errorText(const Answer& a) {
        return a.body.value("error").toObject().value("message").toString();
    }

    // The server still answers a real call correctly.
    void stillServing() {
        const Answer a = call("Verif_Serv", {"0001", "2026-03-18", "00001", "N"});
        QCOMPARE(a.status, 200);
        QCOMPARE(a.body.value("result").toBool(), true);
    }

private slots:
    void initTestCase() {
        t = std::make_unique<ServerTestDb>(false);
        t->seed();
        ServerOptions o;
        o.database = t->connection();
        o.token = kToken;
        o.workers = 4;
        o.maxBodyBytes = 256 * 1024;
        o.idleTimeoutSec = 30; // longer than any wait here: an answer that comes must come at once
        o.maxPerAddress = 0;   // every test client comes from 127.0.0.1
        o.logSink = [this](const QByteArray& line) {
            std::lock_guard<std::mutex> lock(logMutex);
            logLines << line;
        };
        server = std::make_unique<AppServer>(o);
        port = server->start();
        QVERIFY(port > 0);
    }
    void cleanupTestCase() {
        server.reset();
        t.reset();
    }

    void tokenIsRequired() {
        QCOMPARE(post("{}", "").status, 401);
        QCOMPARE(post("{}", "errado").status, 401);
        QCOMPARE(post("{}", std::string(kToken) + "x").status, 401);
        QCOMPARE(post("{}", std::string(kToken).substr(1)).status, 401);
        // A different scheme with the right secret is refused as well.
        httplib::Client cli("127.0.0.1", port);
        auto res =
            cli.Post(kPath.c_str(), httplib::Headers{{"Authorization", std::string("Basic ") + kToken}}, "{}",
                     "application/json");
        QVERIFY(res);
        QCOMPARE(res->status, 401);
        QVERIFY(!QByteArray::fromStdString(res->body).contains(kToken));
        stillServing();
    }

    void malformedRequests_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("code");
        QTest::newRow("not json") << QByteArray("isto não é JSON") << -32700;
        QTest::newRow("truncated") << QByteArray("{\"jsonrpc\":\"2.0\",\"method\":") << -32700;
        QTest::newRow("empty") << QByteArray() << -32700;
        QTest::newRow("array") << QByteArray("[1,2,3]") << -32600;
        QTest::newRow("no version") << QByteArray(R"({"method":"GETParamGeral","params":[],"id":1})")
                                    << -32600;
        QTest::newRow("method not text")
            << QByteArray(R"({"jsonrpc":"2.0","method":5,"params":[],"id":1})") << -32600;
        QTest::newRow("id object") << QByteArray(R"({"jsonrpc":"2.0","method":"GETParamGeral","id":{}})")
                                   << -32600;
        QTest::newRow("named params")
            << QByteArray(R"({"jsonrpc":"2.0","method":"GetParamPlaneja","params":{"a":"0001"},"id":1})")
            << -32602;
        QTest::newRow("unknown method")
            << QByteArray(R"({"jsonrpc":"2.0","method":"DROP TABLE CARDADIA","params":[],"id":1})") << -32601;
        QTest::newRow("too few args")
            << QByteArray(R"({"jsonrpc":"2.0","method":"GetCardadia","params":["0001"],"id":1})") << -32602;
        QTest::newRow("too many args")
            << QByteArray(R"({"jsonrpc":"2.0","method":"GETParamGeral","params":[1],"id":1})") << -32602;
        QTest::newRow("number as code")
            << QByteArray(R"({"jsonrpc":"2.0","method":"GetParamPlaneja","params":[1],"id":1})") << -32602;
        QTest::newRow("bad date")
            << QByteArray(R"({"jsonrpc":"2.0","method":"GetCardServ","params":["0001","ontem"],"id":1})")
            << -32602;
        QTest::newRow("bad change log")
            << QByteArray(
                   R"({"jsonrpc":"2.0","method":"SetCardadia","params":[{"fields":[{"name":"X","type":"blob"}],"changes":[]}],"id":1})")
            << -32602;
        QTest::newRow("log rows too short")
            << QByteArray(
                   R"({"jsonrpc":"2.0","method":"UpdEfetDiet","params":[{"fields":[{"name":"CDFILIAL","type":"string","size":4}],"changes":[{"op":"insert","new":[]}]}],"id":1})")
            << -32602;
    }
    void malformedRequests() {
        QFETCH(QByteArray, body);
        QFETCH(int, code);
        const Answer a = post(body);
        QCOMPARE(a.status, 200);
        QCOMPARE(errorCode(a), code);
        QVERIFY(!errorText(a).isEmpty());
        QVERIFY(a.body.contains("id"));
        stillServing();
    }

    void idIsEchoedAndNotificationsGetNoBody() {
        Answer a = call("GETParamGeral", {}, "abc");
        QCOMPARE(a.body.value("id").toString(), QStringLiteral("abc"));
        QCOMPARE(a.body.value("jsonrpc").toString(), QStringLiteral("2.0"));
        a = post(R"({"jsonrpc":"2.0","method":"GETParamGeral","params":[]})");
        QCOMPARE(a.status, 204);
        QVERIFY(a.raw.isEmpty());
    }

    void wrongPathVerbAndSize() {
        QCOMPARE(post("{}", kToken, "/outro").status, 404);
        httplib::Client cli("127.0.0.1", port);
        auto res =
            cli.Get(kPath.c_str(), httplib::Headers{{"Authorization", std::string("Bearer ") + kToken}});
        QVERIFY(res);
        QCOMPARE(res->status, 405);
        QCOMPARE(res->get_header_value("Allow"), std::string("POST"));
        // Over the limit: refused before the body is parsed, and nothing breaks.
        const QByteArray huge =
            QByteArray("{\"jsonrpc\":\"2.0\",\"method\":\"GetParamPlaneja\",\"params\":[\"") +
            QByteArray(400 * 1024, 'A') + QByteArray("\"],\"id\":1}");
        const Answer a = post(huge);
        QCOMPARE(a.status, 413);
        stillServing();
    }

    // Refused as soon as the headers are in: the body (if any) is still unsent when the answer
    // arrives, so nothing waits for a timeout and nothing unauthorised is read.
    void refusedAtTheHeaders_data() {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QByteArray>("rest");
        QTest::addColumn<int>("status");
        const QByteArray te = "Transfer-Encoding: chunked\r\n";
        QTest::newRow("chunked without token") << requestHead(te, "") << chunked(4 << 20) << 401;
        QTest::newRow("chunked with a wrong token") << requestHead(te, "errado") << chunked(4 << 20) << 401;
        QTest::newRow("length without token")
            << requestHead("Content-Length: 300000000\r\n", "") << QByteArray(1 << 20, 'a') << 401;
        QTest::newRow("length 10^12")
            << requestHead("Content-Length: 1000000000000\r\n") << QByteArray() << 413;
        QTest::newRow("length -1") << requestHead("Content-Length: -1\r\n") << QByteArray() << 400;
        QTest::newRow("length not a number")
            << requestHead("Content-Length: 12abc\r\n") << QByteArray() << 400;
        QTest::newRow("no length, not chunked") << requestHead("") << QByteArray() << 411;
        QTest::newRow("operator longer than any code")
            << requestHead("X-Kvo-Operador: OPERADOR-MUITO-LONGO\r\nContent-Length: 2\r\n")
            << QByteArray("{}") << 400;
        QByteArray many;
        for (int i = 0; i < 100000; ++i)
            many += "X-Muitos-" + QByteArray::number(i) + ": valor\r\n";
        QTest::newRow("headers without end, no token") << requestHead(many, "") << QByteArray() << 431;
        // Over the limit while streaming: the rest is dropped unread into memory, then 413.
        QTest::newRow("chunked over the limit") << requestHead(te) << chunked(1 << 20) << 413;
    }
    void refusedAtTheHeaders() {
        QFETCH(QByteArray, head);
        QFETCH(QByteArray, rest);
        QFETCH(int, status);
        const QVector<Answer> a = rawExchange(port, head, rest);
        QCOMPARE(a.size(), 1);
        QCOMPARE(a[0].status, status);
        stillServing();
    }

    void pipelinedRequestsAreAnsweredInOrder() {
        QByteArray out;
        for (int id = 1; id <= 3; ++id) {
            const QByteArray body = R"({"jsonrpc":"2.0","method":"GETParamGeral","params":[],"id":)" +
                                    QByteArray::number(id) + "}";
            out += requestHead("Content-Length: " + QByteArray::number(body.size()) + "\r\n") + body;
        }
        const QVector<Answer> a = rawExchange(port, out, {}, 3);
        QCOMPARE(a.size(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(a[i].status, 200);
            QCOMPARE(a[i].body.value("id").toInt(), i + 1);
            QVERIFY(a[i].body.contains("result"));
        }
    }

    void slowAndIdleClientsHoldNoWorker() {
        // Twice as many slow clients as workers, each sending a header line now and then, and 200
        // connections that say nothing, while a normal client goes on working.
        std::vector<int> idle, slow;
        for (int i = 0; i < 200; ++i)
            idle.push_back(connectTo(port));
        for (int i = 0; i < 8; ++i) {
            slow.push_back(connectTo(port));
            const QByteArray h = "POST " + QByteArray::fromStdString(kPath) + " HTTP/1.1\r\n";
            ::send(slow.back(), h.constData(), size_t(h.size()), MSG_NOSIGNAL);
        }
        std::atomic<bool> done{false};
        std::thread dripper([&] {
            for (int n = 0; !done; ++n) {
                const QByteArray line = "X-Lento-" + QByteArray::number(n) + ": 1\r\n";
                for (int fd : slow)
                    ::send(fd, line.constData(), size_t(line.size()), MSG_NOSIGNAL);
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
            }
        });
        qint64 worst = 0;
        httplib::Client cli("127.0.0.1", port);
        cli.set_read_timeout(5, 0); // a worker held by the slow clients would leave us waiting
        for (int k = 0; k < 20; ++k) {
            QElapsedTimer timer;
            timer.start();
            auto res =
                cli.Post(kPath.c_str(), httplib::Headers{{"Authorization", std::string("Bearer ") + kToken}},
                         kPing.constData(), size_t(kPing.size()), "application/json");
            worst = std::max(worst, timer.elapsed());
            QVERIFY(res);
            QCOMPARE(res->status, 200);
        }
        done = true;
        dripper.join();
        for (int fd : idle)
            QVERIFY(fd >= 0);
        for (int fd : idle)
            ::close(fd);
        for (int fd : slow)
            ::close(fd);
        qInfo("slowest answer among slow and idle clients: %lld ms", worst);
    }

    void loggedFieldsCannotForgeLines() {
        {
            std::lock_guard<std::mutex> lock(logMutex);
            logLines.clear();
        }
        call("Ping\nkvo-appserver 10.0.0.9 SetCardadia 1 ms ok", {});
        post("{}", kToken, "/x%0Akvo-appserver%2010.0.0.9%20SetCardadia%201%20ms%20ok");
        std::lock_guard<std::mutex> lock(logMutex);
        QCOMPARE(logLines.size(), 2);
        for (const QByteArray& line : logLines) {
            QCOMPARE(line.count('\n'), 1);
            QVERIFY(line.endsWith('\n'));
            QVERIFY2(line.contains("\\x0a"), line.constData());
        }
    }

    void sqlMetacharactersAreJustText() {
        for (const QString code :
             {"0001' OR '1'='1", "'; DROP TABLE CARDADIA; --", "0001\\", "%", "_", "0001\"", "\u0000"}) {
            const Answer a = call("GetCardadia", {code, "2026-03-18"});
            QCOMPARE(a.status, 200);
            QVERIFY2(a.body.contains("result"), a.raw.constData());
            QCOMPARE(a.body.value("result").toArray().at(0).toObject().value("rows").toArray().size(), 0);
        }
        QCOMPARE(t->scalar("SELECT COUNT(*) FROM CARDADIA").toInt(), 3);
        stillServing();
    }

    // The server reads connection strings by the host's rules: libpq options reach the driver,
    // keys neither side knows (the old "database" alias among them) stop it from starting.
    void connectionStringsAsTheHostReadsThem_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("options"); // empty: refused
        QTest::newRow("sslmode passes on") << "postgres:dbname=kvo;sslmode=disable;connect_timeout=3"
                                           << "sslmode=disable;connect_timeout=3";
        QTest::newRow("database alias") << "postgres:database=kvo"
                                        << "";
        QTest::newRow("unknown key") << "postgres:dbname=kvo;colour=red"
                                     << "";
        QTest::newRow("no dbname") << "postgres:host=db1"
                                   << "";
    }
    void connectionStringsAsTheHostReadsThem() {
        QFETCH(QString, url);
        QFETCH(QString, options);
        if (!options.isEmpty()) {
            QCOMPARE(kvo::server::DbSpec::parse(url).url.connectOptions(), options);
            return;
        }
        try {
            kvo::server::DbSpec::parse(url);
            QFAIL("accepted");
        } catch (const kvo::server::ServerError& e) {
            QVERIFY(e.message().contains(QStringLiteral("URL do")));
        }
    }

    void packetTextReadsBackExactly() {
        // The server writes packets as text itself; the client's decoder must read back the same.
        TDataPacket p;
        p.fields = {{"T", ftString, 30}, {"F", ftFixedChar, 1}, {"N", ftFloat, 0}, {"D", ftDateTime, 0}};
        p.rows = {
            {QString("aspas \" e \\ barra"), QString("C"), 0.1 + 0.2, QDate(2026, 3, 18)},
            {QString("linha\nnova\ttab\x01\x1f"), QString("F"), -12.0, QDate(1999, 12, 31)},
            {QString("Conceição ✓ 😀"), QVariant(), 1e-7, QVariant()},
            {QVariant(), QString("D"), 123456789012.5, QDate(2026, 1, 2)},
            // Whole numbers and repeated dates take shortcuts when written.
            {QString("0001"), QString("E"), 0.0, QDate(2026, 1, 2)},
            {QString(""), QString("G"), -999999999999999.0, QDate(2026, 1, 2)},
            {QString("M"), QString("H"), 999999999999999.0, QDate(2026, 1, 3)},
        };
        const TDataPacket back = TDataPacket::fromJson(kvo::server::packetJson(p));
        QCOMPARE(back.fields, p.fields);
        QCOMPARE(back.rows.size(), p.rows.size());
        for (int r = 0; r < p.rows.size(); ++r)
            for (int c = 0; c < 4; ++c) {
                const QVariant a = p.rows[r][c], b = back.rows[r][c];
                QCOMPARE(b.isNull(), a.isNull());
                if (a.isNull()) continue;
                if (c == 2)
                    QCOMPARE(b.toDouble(), a.toDouble());
                else if (c == 3)
                    QCOMPARE(b.toDate(), a.toDate());
                else
                    QCOMPARE(b.toString(), a.toString());
            }
        const TPacketPair pair =
            TPacketPair::fromJson(QJsonDocument::fromJson(kvo::server::pairJson({p, TDataPacket()})).array());
        QCOMPARE(pair.first.rows.size(), p.rows.size());
        QVERIFY(pair.second.rows.isEmpty());
    }

    void unicodeTravelsIntact() {
        const Answer a = call("GetCardServ", {"0001", "2026-03-18"});
        const QJsonArray rows = a.body.value("result").toObject().value("rows").toArray();
        QCOMPARE(rows.at(0).toArray().at(2).toString(), QStringLiteral("UTI Adulto"));
        const Answer c = call("GETCliente", {"0001", "00001", "2026-03-18", "0001"});
        QCOMPARE(c.body.value("result")
                     .toArray()
                     .at(0)
                     .toObject()
                     .value("rows")
                     .toArray()
                     .at(0)
                     .toArray()
                     .at(1)
                     .toString(),
                 QStringLiteral("Alfa Convênios"));
    }

    void manyClientsAtOnce() {
        // More concurrent clients than workers: all are served, none gets a wrong answer.
        std::atomic<int> good{0}, bad{0};
        std::vector<std::thread> threads;
        for (int i = 0; i < 12; ++i)
            threads.emplace_back([&] {
                httplib::Client cli("127.0.0.1", port);
                cli.set_read_timeout(20, 0);
                for (int k = 0; k < 15; ++k) {
                    const std::string body =
                        R"({"jsonrpc":"2.0","method":"GetCardServ","params":["0001","2026-03-18"],"id":1})";
                    auto res = cli.Post(kPath.c_str(),
                                        httplib::Headers{{"Authorization", std::string("Bearer ") + kToken}},
                                        body, "application/json");
                    const bool ok = res && res->status == 200 &&
                                    QJsonDocument::fromJson(QByteArray::fromStdString(res->body))
                                            .object()
                                            .value("result")
                                            .toObject()
                                            .value("rows")
                                            .toArray()
                                            .size() == 2;
                    (ok ? good : bad)++;
                }
            });
        for (auto& th : threads)
            th.join();
        QCOMPARE(bad.load(), 0);
        QCOMPARE(good.load(), 12 * 15);
    }

    void databaseFailureIsAnErrorNotACrash() {
        // A table the server needs disappears underneath it.
        t->exec("ALTER TABLE RETIRADA RENAME TO RETIRADA_OLD");
        const Answer a = call("Vd_Retirada", {"0001", "2026-03-18", "sem retirada", "00001"});
        QCOMPARE(a.status, 200);
        QCOMPARE(errorCode(a), -32001);
        t->exec("ALTER TABLE RETIRADA_OLD RENAME TO RETIRADA");
        QCOMPARE(call("Vd_Retirada", {"0001", "2026-03-18", "sem retirada", "00001"})
                     .body.value("result")
                     .toString(),
                 QString());
    }

    // The command line speaks Portuguese: its options, and what it says of a wrong one.
    void commandLineInPortuguese() {
        const QString exe = qEnvironmentVariable("KVO_BIN_DIR") + "/kvo-appserver";
        QProcess help;
        help.start(exe, {"--help"});
        QVERIFY(help.waitForFinished(10000));
        QCOMPARE(help.exitCode(), 0);
        const QString text = QString::fromUtf8(help.readAllStandardOutput());
        QVERIFY2(text.startsWith("Uso: kvo-appserver [opções]") && text.contains("--token-file ARQUIVO") &&
                     text.contains("Mostra estas opções") && !text.contains("Usage") &&
                     !text.contains("Displays"),
                 qPrintable(text));
        QProcess wrong;
        wrong.start(exe, {"--porta", "1"});
        QVERIFY(wrong.waitForFinished(10000));
        QCOMPARE(wrong.exitCode(), 2);
        QCOMPARE(QString::fromUtf8(wrong.readAllStandardError()).trimmed(),
                 QStringLiteral("kvo-appserver: opção desconhecida: porta. Veja --help."));
    }

    void startRefusesUnusableSetups() {
        ServerOptions o;
        o.database = t->connection();
        o.logRequests = false;
        QVERIFY_THROWS_EXCEPTION(kvo::server::ServerError, AppServer(o).start()); // no token
        o.token = "x";
        o.database = "mysql:nada";
        QVERIFY_THROWS_EXCEPTION(kvo::server::ServerError, AppServer(o).start());
        // A database without the schema.
        QTemporaryDir dir;
        o.database = "sqlite:" + dir.filePath("vazio.db");
        QVERIFY_THROWS_EXCEPTION(kvo::server::ServerError, AppServer(o).start());
        // A misspelt file name leaves no empty database behind.
        QVERIFY(!QFileInfo::exists(dir.filePath("vazio.db")));
        // The port in use, an address of no interface here, no address at all: each says which.
        o.database = t->connection();
        const auto refusal = [&](const QString& host, int p) {
            o.host = host;
            o.port = p;
            try {
                AppServer(o).start();
            } catch (const kvo::server::ServerError& e) {
                return e.message();
            }
            return QString();
        };
        QVERIFY2(refusal("127.0.0.1", port).contains("a porta já está em uso"),
                 qPrintable(refusal("127.0.0.1", port)));
        QVERIFY2(refusal("192.0.2.1", 0).contains("o endereço não pertence a esta máquina"),
                 qPrintable(refusal("192.0.2.1", 0)));
        QVERIFY2(refusal("não-é-endereço", 0).startsWith("Endereço de escuta inválido: não-é-endereço"),
                 qPrintable(refusal("não-é-endereço", 0)));
        stillServing();
    }
};

QTEST_GUILESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
