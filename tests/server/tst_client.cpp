// The client contract: TNetConnection and CheckResultServ against the real server over loopback,
// and every kind of transport failure.
#include <QtTest>

#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>

#include "LogBuild.h"
#include "ServerTestDb.h"
#include "appserver/TNetConnection.h"
#include "server/AppServer.h"

using namespace kvo::test;
using kvo::server::AppServer;

namespace {
const QByteArray kToken = "token-do-cliente";

QString messageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Exception& e) {
        return e.Message();
    }
    return QStringLiteral("<no exception>");
}

// A port nobody listens on: bind an ephemeral one and let it go.
int closedPort() {
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    const int p = s.serverPort();
    s.close();
    return p;
}
} // namespace

class TestClient : public QObject {
    Q_OBJECT
    std::unique_ptr<ServerTestDb> t;
    std::unique_ptr<AppServer> server;
    int port = 0;

    std::unique_ptr<TNetConnection> connection(int p = -1) {
        auto c = std::make_unique<TNetConnection>();
        c->Host = "127.0.0.1";
        c->Port = p < 0 ? port : p;
        c->Token = QString::fromLatin1(kToken);
        c->Timeout = 5000;
        return c;
    }

private slots:
    void initTestCase() {
        t = std::make_unique<ServerTestDb>(false);
        t->seed();
        kvo::server::ServerOptions o;
        o.database = t->connection();
        o.token = kToken;
        o.logRequests = false;
        server = std::make_unique<AppServer>(o);
        port = server->start();
    }
    void cleanupTestCase() {
        server.reset();
        t.reset();
    }

    void openRunsBeforeConnectFirst() {
        auto c = connection(1); // wrong on purpose: BeforeConnect supplies the real port
        QObject* sender = nullptr;
        c->BeforeConnect = [&](QObject* s) {
            sender = s;
            c->Port = port;
        };
        QVERIFY(!c->Connected());
        c->Open();
        QCOMPARE(sender, c.get());
        QVERIFY(c->Connected());
        c->Close();
        QVERIFY(!c->Connected());
    }

    void packetsPairsTextsAndBooleans() {
        auto c = connection();
        c->Open();
        const TPacketPair pair = TPacketPair::fromJson(
            Consiste::CheckResultServ(c->Call("GetCardadia", {"0001", QDate(2026, 3, 18)})));
        QCOMPARE(pair.first.rows.size(), 3);
        QCOMPARE(pair.second.rows.size(), 1);
        QCOMPARE(c->Call("GetCardadia", {"0001", QDateTime(QDate(2026, 3, 18), QTime(0, 0))})
                     .AsPair()
                     .first.rows.size(),
                 3);
        QCOMPARE(c->Call("GetCardServ", {"0001", QDate(2026, 3, 18)}).AsPacket().rows.size(), 2);
        // An invalid date travels as null: an empty day, not an error.
        QCOMPARE(c->Call("GetCardServ", {"0001", QDate()}).AsPacket().rows.size(), 0);
        QCOMPARE(c->Call("Verif_Serv", {"0001", QDate(2026, 3, 18), "00001", "N"}).AsBool(), true);
        QCOMPARE(c->Call("Vd_Retirada", {"0001", QDate(2026, 3, 18), "sem", "00002"}).AsString(),
                 QStringLiteral("sem"));
        QCOMPARE(c->Call("Vd_Retirada", {"0001", QDate(2026, 3, 18), "sem", "00001"}).AsString(), QString());
        // Calls open the connection themselves when needed.
        auto lazy = connection();
        QCOMPARE(lazy->Call("GETParamGeral", {}).AsPacket().rows.size(), 1);
        QVERIFY(lazy->Connected());
    }

    void changeLogRoundTrip() {
        auto c = connection();
        const TDataPacket day = c->Call("GetCardadia", {"0001", QDate(2026, 3, 18)}).AsPair().first;
        const int r = findRow(day, {{"CDSERVFILI", "00002"}});
        const TChangeLog log =
            LogBuilder(day.fields).modify(day.rows[r], {{"QTFUNEFETCAR", 2.0}, {"QTCOMEFETCAR", 5.0}}).log();
        QCOMPARE(c->Call("SetCardadia", {QVariant::fromValue(log)}).AsString(), QString());
        // The same log again is stale now: the refusal is the result text, not a transport error.
        const QString again = c->Call("SetCardadia", {QVariant::fromValue(log)}).AsString();
        QVERIFY(again.contains("outro usuário"));
        QVERIFY(again.size() != 10);
    }

    void serverErrorsAsResultsOrExceptions() {
        auto c = connection();
        c->ThrowException = false;
        const TServerResult r = c->Call("GetCardadia", {"0001"});
        QVERIFY(!r.ok);
        QVERIFY(r.errorMessage.contains("GetCardadia"));
        // Callers that skip the result check still see the message, never an empty success.
        QCOMPARE(r.AsString(), r.errorMessage);
        QCOMPARE(r.payload.toString(), r.errorMessage);
        QCOMPARE(messageOf([&] { Consiste::CheckResultServ(r, true, 0); }), r.errorMessage);
        QVERIFY(Consiste::CheckResultServ(r, false, 0).isNull());
        QCOMPARE(messageOf([&] { r.AsPacket(); }), r.errorMessage);
        QCOMPARE(messageOf([&] { r.AsBool(); }), r.errorMessage);
        QVERIFY(messageOf([&] {
                    c->Call("Vd_Retirada", {"0001", QDate(2026, 3, 18), "x", "00001"}).AsBool();
                }).contains("verdadeiro ou falso"));
        QVERIFY(messageOf([&] { c->Call("GETParamGeral", {}).AsPair(); }) !=
                QStringLiteral("<no exception>"));

        c->ThrowException = true;
        QVERIFY(messageOf([&] { c->Call("MetodoQueNaoExiste", {}); }).contains("MetodoQueNaoExiste"));
        QVERIFY(messageOf([&] {
                    c->Call("GETParamGeral", {QVariant::fromValue(QPoint(1, 2))});
                }).contains("GETParamGeral"));
    }

    void transportFailuresNameTheServer() {
        const int dead = closedPort();
        auto c = connection(dead);
        const QString refused = messageOf([&] { c->Open(); });
        // Said in Portuguese, the network stack's own text after it.
        QCOMPARE(
            refused,
            QStringLiteral("Conexão recusada pelo servidor de aplicação 127.0.0.1:%1 (Connection refused).")
                .arg(dead));
        QVERIFY(!c->Connected());

        QTcpServer hangsUp;
        QVERIFY(hangsUp.listen(QHostAddress::LocalHost, 0));
        connect(&hangsUp, &QTcpServer::newConnection, &hangsUp, [&] {
            QTcpSocket* s = hangsUp.nextPendingConnection();
            connect(s, &QTcpSocket::readyRead, s, [s] { s->close(); });
        });
        const QString closed = messageOf([&] { connection(hangsUp.serverPort())->Open(); });
        QVERIFY2(
            closed.startsWith(QStringLiteral("O servidor de aplicação 127.0.0.1:%1 encerrou a conexão sem "
                                             "responder (")
                                  .arg(hangsUp.serverPort())),
            qPrintable(closed));

        auto wrong = connection();
        wrong->Token = "outro";
        const QString denied = messageOf([&] { wrong->Open(); });
        QVERIFY2(denied.contains(QStringLiteral("127.0.0.1:%1").arg(port)) && denied.contains("token"),
                 qPrintable(denied));
        wrong->Token.clear();
        QVERIFY(messageOf([&] { wrong->Call("GETParamGeral", {}); }).contains("token"));

        // A server that accepts and never answers; another that answers garbage.
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
        auto slow = connection(silent.serverPort());
        slow->Timeout = 300;
        QElapsedTimer timer;
        timer.start();
        const QString timeout = messageOf([&] { slow->Open(); });
        QVERIFY2(timeout.contains(QStringLiteral("127.0.0.1:%1").arg(silent.serverPort())) &&
                     timeout.contains("não respondeu"),
                 qPrintable(timeout));
        QVERIFY(timer.elapsed() < 4000);

        QTcpServer garbage;
        QVERIFY(garbage.listen(QHostAddress::LocalHost, 0));
        connect(&garbage, &QTcpServer::newConnection, &garbage, [&] {
            QTcpSocket* s = garbage.nextPendingConnection();
            connect(s, &QTcpSocket::readyRead, s, [s] {
                s->readAll();
                s->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 9\r\n\r\nnot "
                         "json!");
                s->flush();
            });
        });
        auto junk = connection(garbage.serverPort());
        const QString bad = messageOf([&] { junk->Open(); });
        QVERIFY2(bad.contains("Resposta inválida") && bad.contains(QString::number(garbage.serverPort())),
                 qPrintable(bad));
    }

    void tlsWithAPrivateCertificate() {
        QTemporaryDir dir;
        const QString cert = dir.filePath("cert.pem"), key = dir.filePath("key.pem");
        const int rc =
            QProcess::execute("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                                          "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                                          "-keyout", key, "-out", cert});
        if (rc != 0) QSKIP("openssl cannot make a test certificate here");
        kvo::server::ServerOptions o;
        o.database = t->connection();
        o.token = kToken;
        o.certFile = cert;
        o.keyFile = key;
        o.logRequests = false;
        AppServer tls(o);
        const int p = tls.start();

        auto c = connection(p);
        c->UseTls = true;
        c->CaCertFile = cert;
        c->Open();
        QCOMPARE(c->Call("GetCardServ", {"0001", QDate(2026, 3, 18)}).AsPacket().rows.size(), 2);
        // Not trusting the certificate, or speaking plain HTTP to it, fails with the address named.
        auto untrusted = connection(p);
        untrusted->UseTls = true;
        QVERIFY(messageOf([&] { untrusted->Open(); }).contains(QStringLiteral("127.0.0.1:%1").arg(p)));
        auto plain = connection(p);
        QVERIFY(messageOf([&] { plain->Open(); }).contains(QStringLiteral("127.0.0.1:%1").arg(p)));
        // A certificate that cannot be read stops the server from starting.
        o.certFile = dir.filePath("missing.pem");
        QVERIFY_THROWS_EXCEPTION(kvo::server::ServerError, AppServer(o).start());
    }

    void serverGoneAfterOpen() {
        // A second server instance that stops while a client holds an open connection.
        kvo::server::ServerOptions o;
        o.database = t->connection();
        o.token = kToken;
        o.logRequests = false;
        AppServer other(o);
        const int p = other.start();
        auto c = connection(p);
        c->Open();
        other.stop();
        const QString m = messageOf([&] { c->Call("GETParamGeral", {}); });
        QVERIFY2(m.contains(QStringLiteral("127.0.0.1:%1").arg(p)), qPrintable(m));
        QVERIFY(!c->Connected());
    }
};

QTEST_GUILESS_MAIN(TestClient)
#include "tst_client.moc"
