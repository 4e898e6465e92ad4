// Two server processes on one PostgreSQL database behind a real load balancer: conflicting saves
// of the same rows through both lose no update, never hang, and the loser hears why.
#include <QtTest>

#include <httplib.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <thread>

#include "LogBuild.h"
#include "ServerTestDb.h"
#include "server/Texts.h"

using namespace kvo::test;

namespace {
const char* kToken = "balanceador";

int freePort() {
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}

QJsonObject rpc(int port, const QString& method, const QJsonArray& params) {
    httplib::Client cli("127.0.0.1", port);
    cli.set_read_timeout(20, 0);
    const QByteArray body =
        QJsonDocument(QJsonObject{{"jsonrpc", "2.0"}, {"method", method}, {"params", params}, {"id", 1}})
            .toJson(QJsonDocument::Compact);
    auto res = cli.Post("/Kvo01000.rdmMedEfetDiet",
                        httplib::Headers{{"Authorization", std::string("Bearer ") + kToken}},
                        body.constData(), size_t(body.size()), "application/json");
    if (!res || res->status != 200) return {};
    return QJsonDocument::fromJson(QByteArray::fromStdString(res->body)).object();
}
} // namespace

class TestBalancer : public QObject {
    Q_OBJECT
    std::unique_ptr<ServerTestDb> t;
    QTemporaryDir dir;
    QProcess servers[2], balancer;
    int lbPort = 0;

    bool answers(int port) {
        for (int i = 0; i < 200; ++i) {
            if (rpc(port, "Ping", {}).contains("result")) return true;
            QThread::msleep(25);
        }
        return false;
    }

    TDataPacket day() {
        const QJsonObject a = rpc(lbPort, "GetCardadia", {"0001", "2026-03-18"});
        return TPacketPair::fromJson(a.value("result")).first;
    }

private slots:
    void initTestCase() {
        if (qEnvironmentVariable("KVO_BIN_DIR").isEmpty()) QSKIP("KVO_BIN_DIR not set");
        const QString haproxy =
            QStandardPaths::findExecutable("haproxy", {"/usr/sbin", "/usr/local/sbin", "/usr/bin"});
        if (haproxy.isEmpty()) QSKIP("haproxy is not installed (scripts/setup installs it)");
        t = std::make_unique<ServerTestDb>(true);
        t->seed();

        QByteArray backends;
        for (int i = 0; i < 2; ++i) {
            const int port = freePort();
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("KVO_TOKEN", kToken);
            servers[i].setProcessEnvironment(env);
            servers[i].setStandardErrorFile(dir.filePath(QStringLiteral("server%1.log").arg(i)));
            servers[i].start(qEnvironmentVariable("KVO_BIN_DIR") + "/kvo-appserver",
                             {"--db", t->connection(), "--port", QString::number(port), "--workers", "2"});
            QVERIFY(servers[i].waitForStarted(5000));
            QVERIFY(answers(port));
            backends += QStringLiteral("    server s%1 127.0.0.1:%2\n").arg(i).arg(port).toUtf8();
        }
        lbPort = freePort();
        QFile cfg(dir.filePath("haproxy.cfg"));
        QVERIFY(cfg.open(QIODevice::WriteOnly));
        cfg.write(QStringLiteral("defaults\n    mode http\n    timeout connect 5s\n    timeout client 30s\n"
                                 "    timeout server 30s\n"
                                 "frontend kvo\n    bind 127.0.0.1:%1\n    default_backend kvo\n"
                                 "backend kvo\n    balance roundrobin\n")
                      .arg(lbPort)
                      .toUtf8() +
                  backends);
        cfg.close();
        balancer.setProcessChannelMode(QProcess::ForwardedChannels);
        balancer.start(haproxy, {"-db", "-f", cfg.fileName()});
        QVERIFY(balancer.waitForStarted(5000));
        QVERIFY(answers(lbPort));
    }
    void cleanupTestCase() {
        for (QProcess* p : {&balancer, &servers[0], &servers[1]}) {
            p->terminate();
            p->waitForFinished(10000);
        }
        t.reset();
    }

    void conflictingSavesThroughBothServers() {
        constexpr int kRounds = 12;
        int wins[2] = {0, 0};
        for (int round = 0; round < kRounds; ++round) {
            // Two screens read the day, then both save the same two rows at once.
            const TDataPacket seen = day();
            const int r1 = findRow(seen, {{"CDSERVFILI", "00001"}, {"CDDIETPAD", "0002"}});
            const int r2 = findRow(seen, {{"CDSERVFILI", "00002"}});
            QVERIFY(r1 >= 0 && r2 >= 0);
            QString outcome[2];
            std::thread savers[2];
            for (int s = 0; s < 2; ++s)
                savers[s] = std::thread([&, s] {
                    const double n = 10 * (s + 1) + round;
                    LogBuilder b(seen.fields);
                    for (int r : {r1, r2})
                        b.modify(seen.rows[r], {{"QTCLIEFETCAR", n},
                                                {"QTFUNEFETCAR", 0.0},
                                                {"QTDOAEFETCAR", 0.0},
                                                {"QTCOMEFETCAR", n}});
                    const QJsonObject a = rpc(lbPort, "SetCardadia", {b.log().toJsonValue()});
                    outcome[s] = a.contains("result")
                                     ? a.value("result").toString()
                                     : QStringLiteral("sem resposta: %1")
                                           .arg(QString::fromUtf8(QJsonDocument(a).toJson()));
                });
            for (std::thread& th : savers)
                th.join();
            // Exactly one wins; the other is told the data changed; the day holds the winner's.
            const int winner = outcome[0].isEmpty() ? 0 : 1;
            QVERIFY2(outcome[winner].isEmpty(), qPrintable(outcome[winner]));
            QCOMPARE(outcome[1 - winner], kvo::server::texts::Concurrency);
            ++wins[winner];
            const TDataPacket now = day();
            for (int r : {r1, r2})
                QCOMPARE(at(now, r, "QTCLIEFETCAR").toDouble(), double(10 * (winner + 1) + round));
        }
        // Both servers took part: each logged saves of its own.
        for (int i = 0; i < 2; ++i) {
            QFile log(dir.filePath(QStringLiteral("server%1.log").arg(i)));
            QVERIFY(log.open(QIODevice::ReadOnly));
            QVERIFY2(log.readAll().contains(" SetCardadia "), qPrintable(log.fileName()));
        }
        qInfo("first saver won %d of %d rounds", wins[0], kRounds);
    }
};

QTEST_GUILESS_MAIN(TestBalancer)
#include "tst_balancer.moc"
