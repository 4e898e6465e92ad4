// Saves through the server's own readers and writers: a change log read straight from the request
// is the log the general decoder reads (or is left to it), a write failing late in a large save
// leaves nothing of the save behind, and days travel unchanged in a time zone whose clocks jumped
// forward at midnight. On SQLite and on PostgreSQL, over loopback.
#include <QtTest>

#include <httplib.h>

#include "LogBuild.h"
#include "ServerTestDb.h"
#include "server/AppServer.h"
#include "server/LogRequest.h"
#include "server/RdmMedEfetDiet.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlError>
#include <ctime>

using namespace kvo::test;
using kvo::server::AppServer;
using kvo::server::ServerOptions;

#ifdef KVO_SERVER_TEST_PG
constexpr bool kPostgres = true;
#else
constexpr bool kPostgres = false;
#endif

namespace {

const char* kToken = "saves-token";

// A log of four fields and one modify, as the client writes it (members in name order).
QByteArray body(const char* changes, const char* fields = nullptr, const char* envelope = nullptr) {
    const QByteArray f =
        fields ? fields
               : R"([{"name":"CDFILIAL","size":4,"type":"string"},{"name":"DTCARDAPIO","type":"datetime"},)"
                 R"({"name":"QTCLIEFETCAR","type":"float"},{"name":"NMSERVICO","size":40,"type":"string"}])";
    QByteArray log = R"({"changes":)" + QByteArray(changes) + R"(,"fields":)" + f + "}";
    QByteArray b = envelope ? QByteArray(envelope)
                            : QByteArray(R"({"id":7,"jsonrpc":"2.0","method":"SetCardadia","params":[@]})");
    return b.replace("@", log);
}

const char* kModify =
    R"([{"new":["0001","2026-03-18T00:00:00",3,"UTI"],"old":["0001","2026-03-18T00:00:00",2,"UTI"],"op":"modify"}])";

} // namespace

class TestSaves : public QObject {
    Q_OBJECT
    std::unique_ptr<ServerTestDb> t;
    std::unique_ptr<AppServer> server;
    int port = 0;

    QJsonObject call(const char* method, const QJsonArray& params) {
        const QByteArray req =
            QJsonDocument(QJsonObject{{"jsonrpc", "2.0"}, {"method", method}, {"params", params}, {"id", 1}})
                .toJson(QJsonDocument::Compact);
        httplib::Client cli("127.0.0.1", port);
        cli.set_read_timeout(60, 0);
        auto res = cli.Post("/Kvo01000.rdmMedEfetDiet",
                            httplib::Headers{{"Authorization", std::string("Bearer ") + kToken}},
                            req.constData(), size_t(req.size()), "application/json");
        if (!res) return {};
        return QJsonDocument::fromJson(QByteArray::fromStdString(res->body)).object();
    }
    TDataPacket day(const QDate& d) {
        const QJsonObject r = call("GetCardadia", {"0001", d.toString(Qt::ISODate)});
        return TPacketPair::fromJson(r.value("result")).first;
    }
    QHash<QString, QVariant> newRow(const QString& diet, const QDate& d) {
        return {{"CDFILIAL", "0001"},  {"DTCARDAPIO", d},     {"CDSERVFILI", "00001"},
                {"CDDIETPAD", diet},   {"QTCLIEFETCAR", 2.0}, {"QTFUNEFETCAR", 0.0},
                {"QTDOAEFETCAR", 0.0}, {"QTCOMEFETCAR", 2.0}, {"CDOPERADOR", "DEMO"}};
    }
    int count(const QString& sql) { return t->scalar(sql).toInt(); }

private slots:
    void init() {
        t = std::make_unique<ServerTestDb>(kPostgres);
        t->seed();
        ServerOptions o;
        o.database = t->connection();
        o.token = kToken;
        o.workers = 1; // every call on the same connection
        o.logRequests = false;
        server = std::make_unique<AppServer>(o);
        port = server->start();
    }
    void cleanup() {
        server.reset();
        t.reset();
    }

    // Whatever the reader takes, the general decoder reads the same log from; whatever that
    // decoder refuses (or the reader finds unusual), the reader leaves to it, so the client gets
    // the same answer as ever.
    void logReader_data() {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<bool>("taken");
        QTest::newRow("client form") << body(kModify) << true;
        QTest::newRow("other member order, blanks")
            << QByteArray(
                   R"( { "params" : [ { "fields" : [ { "type" : "float" , "name" : "QT" } ] ,)"
                   R"( "changes" : [ { "op" : "insert" , "new" : [ -0 ] } ] } ] , "method" : "UpdEfetDiet",)"
                   R"( "jsonrpc" : "2.0" } )")
            << true;
        QTest::newRow("escapes and accents") << body("[{\"new\":[\"0001\",null,1e2,\"Sa\\u00fade \\\"A\\\" "
                                                     "\\/ \\\\ Saúde\"],\"op\":\"insert\"}]")
                                             << true;
        QTest::newRow("fractions, exponents, string id")
            << body(R"([{"old":["0001","2026-03-18",2.5,null],"op":"delete"}])", nullptr,
                    R"({"id":"x","jsonrpc":"2.0","method":"SetCardadia","params":[@]})")
            << true;
        QTest::newRow("large id")
            << body(kModify, nullptr,
                    R"({"id":12345678901234567,"jsonrpc":"2.0","method":"SetCardadia","params":[@]})")
            << true;
        // A column's text repeated from the row before is shared, and only there.
        QTest::newRow("texts repeated down the rows")
            << body(
                   R"([{"new":["0001","2026-03-18",1,"UTI"],"op":"insert"},)"
                   R"({"new":["0001","2026-03-18",2,"UTI 2"],"old":["0001","2026-03-18",2,"UTI"],"op":"modify"},)"
                   R"({"new":["0001","2026-03-19",3,"UTI"],"op":"insert"},)"
                   R"({"new":["0001","2026-03-19",4,"Sa\u00fade"],"op":"insert"},)"
                   R"({"new":["0001","2026-03-19",5,"Saúde"],"op":"insert"}])")
            << true;
        QTest::newRow("surrogate pair")
            << body(R"([{"new":["0001",null,1,"\ud83d\ude00"],"op":"insert"}])") << false;
        QTest::newRow("NUL in a text")
            << body(R"([{"new":["0001",null,1,"a\u0000"],"op":"insert"}])") << false;
        QTest::newRow("text too long") << body(R"([{"new":["00011",null,1,null],"op":"insert"}])") << false;
        QTest::newRow("impossible date")
            << body(R"([{"new":["0001","2026-02-30",1,null],"op":"insert"}])") << false;
        QTest::newRow("number for a text") << body(R"([{"new":[1,null,1,null],"op":"insert"}])") << false;
        QTest::newRow("text for a number")
            << body(R"([{"new":["0001",null,"1",null],"op":"insert"}])") << false;
        QTest::newRow("modify without old")
            << body(R"([{"new":["0001",null,1,null],"op":"modify"}])") << false;
        QTest::newRow("unknown op") << body(R"([{"new":["0001",null,1,null],"op":"upsert"}])") << false;
        QTest::newRow("short row") << body(R"([{"new":["0001",null,1],"op":"insert"}])") << false;
        QTest::newRow("field twice") << body("[]",
                                             R"([{"name":"A","type":"float"},{"name":"a","type":"float"}])")
                                     << false;
        QTest::newRow("size zero") << body("[]", R"([{"name":"A","size":0,"type":"string"}])") << false;
        QTest::newRow("member twice")
            << body(R"([{"op":"insert","op":"insert","new":["0001",null,1,null]}])") << false;
        QTest::newRow("invalid UTF-8")
            << body("[{\"new\":[\"0001\",null,1,\"\xC3\x28\"],\"op\":\"insert\"}]") << false;
        QTest::newRow("overlong UTF-8")
            << body("[{\"new\":[\"0001\",null,1,\"\xC0\xAF\"],\"op\":\"insert\"}]") << false;
        QTest::newRow("garbage after") << body(kModify) + "x" << false;
        QTest::newRow("cut short") << body(kModify).chopped(3) << false;
        QTest::newRow("two logs") << body(kModify).replace("]}", "]},{}]}") << false;
        QTest::newRow("not a save")
            << QByteArray(R"({"jsonrpc":"2.0","method":"GetCardadia","params":["0001","2026-03-18"]})")
            << false;
    }
    void logReader() {
        if (kPostgres) QSKIP("no database involved");
        QFETCH(QByteArray, request);
        QFETCH(bool, taken);
        const std::optional<kvo::server::LogRequest> fast = kvo::server::readLogRequest(request);
        QCOMPARE(fast.has_value(), taken);
        if (!fast) return;
        const QJsonObject req = QJsonDocument::fromJson(request).object();
        const TChangeLog slow = TChangeLog::fromJson(req.value("params").toArray().at(0));
        QCOMPARE(fast->method, req.value("method").toString());
        QCOMPARE(fast->id, req.contains("id") ? req.value("id") : QJsonValue(QJsonValue::Null));
        QCOMPARE(fast->notification, !req.contains("id"));
        QCOMPARE(fast->log.fields, slow.fields);
        QCOMPARE(fast->log.changes.size(), slow.changes.size());
        for (int i = 0; i < slow.changes.size(); ++i) {
            QCOMPARE(fast->log.changes[i].op, slow.changes[i].op);
            QCOMPARE(fast->log.changes[i].oldValues, slow.changes[i].oldValues);
            QCOMPARE(fast->log.changes[i].newValues, slow.changes[i].newValues);
        }
    }

    // Hundreds of inserts travel to the database together; the last one fails there. Nothing of
    // the save stays, no history is written, and the next save on the same connection works.
    void lateWriteFailureLeavesNothing() {
        const QDate d19(2026, 3, 19);
        for (int k = 0; k < 200; ++k) {
            const QString diet = QStringLiteral("D%1").arg(k, 3, 10, QLatin1Char('0'));
            t->exec("INSERT INTO DIETPADR VALUES (?, 'Carga', 'S')", {diet});
            t->exec("INSERT INTO DIETSERV VALUES ('0001', '00001', ?)", {diet});
        }
        if (kPostgres) {
            t->exec("CREATE FUNCTION RECUSA() RETURNS trigger LANGUAGE plpgsql AS"
                    " $$ BEGIN RAISE EXCEPTION 'recusado'; END $$");
            t->exec("CREATE TRIGGER RECUSA BEFORE INSERT ON CARDADIA FOR EACH ROW"
                    " WHEN (NEW.CDDIETPAD = 'D199') EXECUTE FUNCTION RECUSA()");
        } else {
            t->exec("CREATE TRIGGER RECUSA BEFORE INSERT ON CARDADIA WHEN NEW.CDDIETPAD = 'D199'"
                    " BEGIN SELECT RAISE(ABORT, 'recusado'); END");
        }
        const int history = count("SELECT COUNT(*) FROM KVOHISTORICO");
        LogBuilder b(day(d19).fields);
        for (int k = 0; k < 200; ++k)
            b.insert(newRow(QStringLiteral("D%1").arg(k, 3, 10, QLatin1Char('0')), d19));
        const QJsonObject failed = call("SetCardadia", {b.log().toJsonValue()});
        QVERIFY2(failed.value("error").toObject().value("message").toString().contains("recusado"),
                 QJsonDocument(failed).toJson().constData());
        QCOMPARE(count("SELECT COUNT(*) FROM CARDADIA WHERE CDDIETPAD LIKE 'D%'"), 0);
        QCOMPARE(count("SELECT COUNT(*) FROM KVOHISTORICO"), history);

        LogBuilder one(day(d19).fields);
        one.insert(newRow("D000", d19));
        QCOMPARE(call("SetCardadia", {one.log().toJsonValue()}).value("result").toString(), QString());
        QCOMPARE(day(d19).rows.size(), 1);
        QCOMPARE(count("SELECT COUNT(*) FROM KVOHISTORICO"), history + 1);
    }

    // A connection keeps its statements from call to call: each call still sees what another
    // connection committed since the last one, closing the connection finalises them (SQLite
    // refuses to close one that has statements left) and, reopened, it runs them again.
    void keptStatementsFollowTheirConnection() {
        const QDate d18(2026, 3, 18);
        QSqlDatabase db = t->another();
        kvo::server::RdmMedEfetDiet rdm(db);
        for (int round = 0; round < 2; ++round) {
            const TDataPacket before = rdm.GetCardadia("0001", d18).first;
            const int cli = before.FieldIndex("QTCLIEFETCAR"), tot = before.FieldIndex("QTCOMEFETCAR");
            const double was = before.rows[0][cli].toDouble();
            LogBuilder b(before.fields);
            b.modify(before.rows[0],
                     {{"QTCLIEFETCAR", was + 1}, {"QTCOMEFETCAR", before.rows[0][tot].toDouble() + 1}});
            QCOMPARE(rdm.SetCardadia(b.log()), QString());
            t->exec("UPDATE CARDADIA SET QTCLIEFETCAR = QTCLIEFETCAR + 10, QTCOMEFETCAR = QTCOMEFETCAR + 10"
                    " WHERE CDSERVFILI = ? AND CDDIETPAD = ? AND DTCARDAPIO = ?",
                    {before.rows[0][before.FieldIndex("CDSERVFILI")],
                     before.rows[0][before.FieldIndex("CDDIETPAD")], ServerTestDb::d(2026, 3, 18)});
            QCOMPARE(rdm.GetCardadia("0001", d18).first.rows[0][cli].toDouble(), was + 11);
            db.close();
            QVERIFY2(!db.lastError().isValid(), qPrintable(db.lastError().text()));
            QVERIFY(db.open());
        }
    }

    // Brazil's clocks went from 00:00 to 01:00 on these days: the day saved and read back (and
    // the month the server fills in) must be the calendar day itself.
    void daysAtAMidnightClockJump_data() {
        QTest::addColumn<QDate>("date");
        QTest::newRow("1999-10-03") << QDate(1999, 10, 3);
        QTest::newRow("2018-11-04") << QDate(2018, 11, 4);
    }
    void daysAtAMidnightClockJump() {
        QFETCH(QDate, date);
        QCOMPARE(qgetenv("TZ"), QByteArray("America/Sao_Paulo"));
        t->exec("UPDATE PARAMPLANEJA SET IDBLQEFEDIAFECH = 'N'");
        QHash<QString, QVariant> row = newRow("0001", date);
        row.insert("DTMESCARD", QVariant());
        const TDataPacket empty = day(date);
        QCOMPARE(
            call("SetCardadia", {LogBuilder(empty.fields).insert(row).log().toJsonValue()}).value("result"),
            QJsonValue(QString()));
        const TDataPacket saved = day(date);
        QCOMPARE(saved.rows.size(), 1);
        QCOMPARE(saved.rows[0][saved.FieldIndex("DTCARDAPIO")].toDate(), date);
        QCOMPARE(saved.rows[0][saved.FieldIndex("DTMESCARD")].toDate(), QDate(date.year(), date.month(), 1));
        const QString key =
            t->scalar("SELECT DSCHAVE FROM KVOHISTORICO WHERE NMTABELA = 'CARDADIA'").toString();
        QVERIFY2(key.contains(date.toString(Qt::ISODate)), qPrintable(key));
    }
};

int main(int argc, char** argv) {
    // Local time is São Paulo's for the whole run, as on the suite's servers in Brazil.
    qputenv("TZ", "America/Sao_Paulo");
    tzset();
    QCoreApplication app(argc, argv);
    TestSaves test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_saves.moc"
