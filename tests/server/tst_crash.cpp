// A server process killed in the middle of a large change log leaves the day wholly before or
// wholly after it; SIGTERM lets the request in flight finish.
#include <QtTest>

#include <httplib.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <csignal>
#include <thread>

#include "LogBuild.h"
#include "ServerTestDb.h"

using namespace kvo::test;

#ifdef KVO_SERVER_TEST_PG
constexpr bool kPostgres = true;
#else
constexpr bool kPostgres = false;
#endif

namespace {
const char* kToken = "crash-token";
constexpr int kServices = 60, kDiets = 40;

int freePort() {
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}
} // namespace

class TestCrash : public QObject {
    Q_OBJECT
    std::unique_ptr<ServerTestDb> t;
    QByteArray bigLog; // the request body: one SetCardadia inserting the whole day

    struct Child {
        QProcess proc;
        int port = 0;
    };

    bool startServer(Child& c) {
        c.port = freePort();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("KVO_TOKEN", kToken);
        c.proc.setProcessEnvironment(env);
        c.proc.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        c.proc.start(
            qEnvironmentVariable("KVO_BIN_DIR") + "/kvo-appserver",
            {"--db", t->connection(), "--port", QString::number(c.port), "--quiet", "--workers", "2"});
        if (!c.proc.waitForStarted(5000)) return false;
        for (int i = 0; i < 200; ++i) {
            httplib::Client cli("127.0.0.1", c.port);
            auto res =
                cli.Post("/Kvo01000.rdmMedEfetDiet",
                         httplib::Headers{{"Authorization", std::string("Bearer ") + kToken}},
                         R"({"jsonrpc":"2.0","method":"Ping","params":[],"id":1})", "application/json");
            if (res && res->status == 200) return true;
            QThread::msleep(25);
        }
        return false;
    }

    int dayRows() {
        return t->scalar("SELECT COUNT(*) FROM CARDADIA WHERE DTCARDAPIO = ?", {t->d(2026, 3, 19)}).toInt();
    }

private slots:
    void initTestCase() {
        if (qEnvironmentVariable("KVO_BIN_DIR").isEmpty()) QSKIP("KVO_BIN_DIR not set");
        t = std::make_unique<ServerTestDb>(kPostgres);
        t->seed();
        // A large day: 60 services with 40 linked diets each.
        t->exec("BEGIN");
        for (int k = 0; k < kDiets; ++k)
            t->exec("INSERT INTO DIETPADR VALUES (?, 'Dieta de carga', 'S')",
                    {QStringLiteral("L%1").arg(k, 3, 10, QLatin1Char('0'))});
        for (int s = 0; s < kServices; ++s) {
            const QString sc = QStringLiteral("S%1").arg(s, 4, 10, QLatin1Char('0'));
            t->exec("INSERT INTO SERVICO VALUES ('0001', ?, 'Serviço de carga', 'D')", {sc});
            for (int k = 0; k < kDiets; ++k)
                t->exec("INSERT INTO DIETSERV VALUES ('0001', ?, ?)",
                        {sc, QStringLiteral("L%1").arg(k, 3, 10, QLatin1Char('0'))});
        }
        t->exec("COMMIT");

        const TDataPacket shape = [] {
            TDataPacket p;
            for (const char* n : {"CDSERVFILI", "CDDIETPAD", "CDFILIAL", "CDOPERADOR"})
                p.fields.append({n, ftString, 12});
            for (const char* n : {"QTCOMEFETCAR", "QTCLIEFETCAR", "QTFUNEFETCAR", "QTDOAEFETCAR"})
                p.fields.append({n, ftFloat, 0});
            p.fields.append({"DTCARDAPIO", ftDateTime, 0});
            return p;
        }();
        LogBuilder b(shape.fields);
        for (int s = 0; s < kServices; ++s)
            for (int k = 0; k < kDiets; ++k)
                b.insert({{"CDSERVFILI", QStringLiteral("S%1").arg(s, 4, 10, QLatin1Char('0'))},
                          {"CDDIETPAD", QStringLiteral("L%1").arg(k, 3, 10, QLatin1Char('0'))},
                          {"CDFILIAL", "0001"},
                          {"CDOPERADOR", "CARGA"},
                          {"QTCOMEFETCAR", 6.0},
                          {"QTCLIEFETCAR", 3.0},
                          {"QTFUNEFETCAR", 2.0},
                          {"QTDOAEFETCAR", 1.0},
                          {"DTCARDAPIO", day(2026, 3, 19)}});
        bigLog = QJsonDocument(QJsonObject{{"jsonrpc", "2.0"},
                                           {"method", "SetCardadia"},
                                           {"params", QJsonArray{b.log().toJsonValue()}},
                                           {"id", 1}})
                     .toJson(QJsonDocument::Compact);
    }
    void cleanupTestCase() { t.reset(); }

    void killedMidLogLeavesBeforeOrAfter() {
        // How long the whole log takes here, so the kills land before, inside and after it.
        qint64 fullMs = 0;
        {
            t->exec("DELETE FROM CARDADIA WHERE DTCARDAPIO = ?", {t->d(2026, 3, 19)});
            Child c;
            QVERIFY(startServer(c));
            httplib::Client cli("127.0.0.1", c.port);
            cli.set_read_timeout(30, 0);
            QElapsedTimer timer;
            timer.start();
            auto res = cli.Post("/Kvo01000.rdmMedEfetDiet",
                                httplib::Headers{{"Authorization", std::string("Bearer ") + kToken}},
                                bigLog.constData(), size_t(bigLog.size()), "application/json");
            fullMs = timer.elapsed();
            QVERIFY(res && res->status == 200);
            QCOMPARE(dayRows(), kServices * kDiets);
            ::kill(pid_t(c.proc.processId()), SIGKILL);
            c.proc.waitForFinished(5000);
        }
        int before = 0, after = 0;
        int historyBefore = kServices * kDiets; // the timing run above
        for (double fraction : {0.0, 0.2, 0.4, 0.55, 0.7, 0.85, 1.0, 1.5}) {
            t->exec("DELETE FROM CARDADIA WHERE DTCARDAPIO = ?", {t->d(2026, 3, 19)});
            Child c;
            QVERIFY(startServer(c));
            std::thread sender([&] {
                httplib::Client cli("127.0.0.1", c.port);
                cli.set_read_timeout(30, 0);
                cli.Post("/Kvo01000.rdmMedEfetDiet",
                         httplib::Headers{{"Authorization", std::string("Bearer ") + kToken}},
                         bigLog.constData(), size_t(bigLog.size()), "application/json");
            });
            const int delayMs = int(fraction * double(fullMs));
            QThread::msleep(ulong(delayMs));
            ::kill(pid_t(c.proc.processId()), SIGKILL);
            QVERIFY(c.proc.waitForFinished(5000));
            sender.join();
            const int n = dayRows();
            QVERIFY2(n == 0 || n == kServices * kDiets,
                     qPrintable(QStringLiteral("%1 rows after a kill at %2 ms").arg(n).arg(delayMs)));
            // The change history goes with the save it records: all of it or none.
            QCOMPARE(t->scalar("SELECT COUNT(*) FROM KVOHISTORICO WHERE DSCHAVE LIKE '0001|2026-03-19|%'")
                             .toInt() -
                         historyBefore,
                     n);
            historyBefore += n;
            (n == 0 ? before : after)++;
        }
        qInfo("whole log %lld ms; kills: %d left the day as it was, %d after the whole log", fullMs, before,
              after);
    }

    void sigtermFinishesTheRequestInFlight() {
        t->exec("DELETE FROM CARDADIA WHERE DTCARDAPIO = ?", {t->d(2026, 3, 19)});
        Child c;
        QVERIFY(startServer(c));
        int status = 0;
        std::string body;
        std::thread sender([&] {
            httplib::Client cli("127.0.0.1", c.port);
            cli.set_read_timeout(30, 0);
            auto res = cli.Post("/Kvo01000.rdmMedEfetDiet",
                                httplib::Headers{{"Authorization", std::string("Bearer ") + kToken}},
                                bigLog.constData(), size_t(bigLog.size()), "application/json");
            if (res) {
                status = res->status;
                body = res->body;
            }
        });
        // Give the request time to arrive, then ask the server to stop while it works.
        QThread::msleep(kPostgres ? 40 : 20);
        ::kill(pid_t(c.proc.processId()), SIGTERM);
        sender.join();
        QVERIFY(c.proc.waitForFinished(15000));
        QCOMPARE(c.proc.exitStatus(), QProcess::NormalExit);
        QCOMPARE(c.proc.exitCode(), 0);
        if (status == 0) QSKIP("the signal arrived before the request was accepted");
        QCOMPARE(status, 200);
        QCOMPARE(QJsonDocument::fromJson(QByteArray::fromStdString(body)).object().value("result").toString(),
                 QString());
        QCOMPARE(dayRows(), kServices * kDiets);
    }
};

QTEST_GUILESS_MAIN(TestCrash)
#include "tst_crash.moc"
