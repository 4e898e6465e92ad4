// Change logs: every check of SetCardadia and UpdEfetDiet, all-or-nothing application and two
// clients changing the same row, on SQLite and on PostgreSQL.
#include <QtTest>

#include "LogBuild.h"
#include "ServerTestDb.h"
#include "server/History.h"
#include "server/PacketBuild.h"
#include "server/PacketJson.h"
#include "server/RdmMedEfetDiet.h"
#include "server/Texts.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <ctime>
#include <latch>
#include <thread>

using namespace kvo::test;
using kvo::server::CallContext;
using kvo::server::RdmMedEfetDiet;
namespace texts = kvo::server::texts;

#ifdef KVO_SERVER_TEST_PG
constexpr bool kPostgres = true;
#else
constexpr bool kPostgres = false;
#endif

namespace {
const QDate d18(2026, 3, 18);
}

class TestChanges : public QObject {
    Q_OBJECT
    std::unique_ptr<ServerTestDb> t;
    std::unique_ptr<RdmMedEfetDiet> rdm;

    // The diet rows of a day as the screen holds them.
    TDataPacket day(const QDate& d = d18) { return rdm->GetCardadia("0001", d).first; }
    int rowCount(const char* table) {
        return t->scalar(QStringLiteral("SELECT COUNT(*) FROM %1").arg(table)).toInt();
    }

    // A new diet row as the screen fills it on insert.
    QHash<QString, QVariant> newRow(const QString& service, const QString& diet, double cli, double fun,
                                    double doa, const QDate& d = d18) {
        return {{"CDFILIAL", "0001"},
                {"DTCARDAPIO", QDateTime(d, QTime(0, 0))},
                {"CDSERVFILI", service},
                {"CDDIETPAD", diet},
                {"QTCLIEFETCAR", cli},
                {"QTFUNEFETCAR", fun},
                {"QTDOAEFETCAR", doa},
                {"QTCOMEFETCAR", cli + fun + doa},
                {"QTCOMEFETRI", cli + fun + doa},
                {"QTCOMEFETSL", cli + fun + doa},
                {"CDOPERADOR", "DEMO"},
                {"DTMESCARD", QDateTime(QDate(d.year(), d.month(), 1), QTime(0, 0))}};
    }

    QString insertOne(const QHash<QString, QVariant>& row) {
        return rdm->SetCardadia(LogBuilder(day().fields).insert(row).log());
    }

    // The client-share log of one stored share (or an insert of a new one).
    TDataPacket share(const QString& service, const QString& diet, const QDate& d, const QString& client) {
        return rdm->GETEfetClie("0001", service, diet, d, client);
    }

private slots:
    void init() {
        t = std::make_unique<ServerTestDb>(kPostgres);
        t->seed();
        rdm = std::make_unique<RdmMedEfetDiet>(t->db());
    }
    void cleanup() {
        rdm.reset();
        t.reset();
    }

    void insertTakesMenuNumberAndMonth() {
        QHash<QString, QVariant> r = newRow("00002", "0001", 2, 1, 0, QDate(2026, 3, 19));
        r.remove("DTMESCARD");
        QCOMPARE(insertOne(r), QString());
        const TDataPacket c = day(QDate(2026, 3, 19));
        QCOMPARE(c.rows.size(), 1);
        QCOMPARE(at(c, 0, "NRCARDAPIO").toString(), QStringLiteral("M260319"));
        QCOMPARE(at(c, 0, "DTMESCARD").toDate(), QDate(2026, 3, 1));
        QCOMPARE(at(c, 0, "QTCOMEFETCAR").toDouble(), 3.0);
        QCOMPARE(at(c, 0, "CDOPERADOR").toString(), QStringLiteral("DEMO"));
        QCOMPARE(at(c, 0, "DSDIETPAD").toString(), QStringLiteral("Geral"));
        // No menu that day: the row keeps no menu number, and nothing fails.
        t->exec("DELETE FROM CARDAPIO WHERE DTCARDAPIO = ?", {t->d(2026, 3, 20)});
        QCOMPARE(insertOne(newRow("00002", "0001", 1, 0, 0, QDate(2026, 3, 20))), QString());
        QVERIFY(at(day(QDate(2026, 3, 20)), 0, "NRCARDAPIO").toString().isEmpty());
    }

    void eachDietRowCheck_data() {
        QTest::addColumn<QString>("service");
        QTest::addColumn<QString>("diet");
        QTest::addColumn<double>("cli");
        QTest::addColumn<double>("fun");
        QTest::addColumn<double>("doa");
        QTest::addColumn<double>("total");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QString>("message");
        const QDate d19(2026, 3, 19);
        QTest::newRow("standardisation service")
            << "00009"
            << "0001" << 1.0 << 0.0 << 0.0 << 1.0 << d19 << texts::ServPad;
        QTest::newRow("unknown service") << "00077"
                                         << "0001" << 1.0 << 0.0 << 0.0 << 1.0 << d19 << texts::ServCad;
        QTest::newRow("quote in service code") << "0'--"
                                               << "0001" << 1.0 << 0.0 << 0.0 << 1.0 << d19 << texts::ServCad;
        QTest::newRow("diet not linked") << "00002"
                                         << "0002" << 1.0 << 0.0 << 0.0 << 1.0 << d19 << texts::DietCad;
        QTest::newRow("linked, not standard") << "00001"
                                              << "9001" << 1.0 << 0.0 << 0.0 << 1.0 << d19 << texts::DietCad;
        QTest::newRow("unknown diet") << "00001"
                                      << "0X0X" << 1.0 << 0.0 << 0.0 << 1.0 << d19 << texts::DietCad;
        QTest::newRow("duplicate") << "00001"
                                   << "0001" << 1.0 << 0.0 << 0.0 << 1.0 << d18 << texts::DietJaCad;
        QTest::newRow("negative clients") << "00002"
                                          << "0001" << -1.0 << 0.0 << 0.0 << -1.0 << d19 << texts::InfComen;
        QTest::newRow("negative employees") << "00002"
                                            << "0001" << 1.0 << -1.0 << 0.0 << 0.0 << d19 << texts::InfFunc;
        QTest::newRow("negative donations") << "00002"
                                            << "0001" << 1.0 << 0.0 << -2.0 << -1.0 << d19 << texts::InfDoac;
        QTest::newRow("total off") << "00002"
                                   << "0001" << 1.0 << 1.0 << 1.0 << 4.0 << d19 << texts::TotaEfet;
        // Processing date 20th, 3 days open: the 17th is open, the 16th closed.
        QTest::newRow("closed day") << "00002"
                                    << "0001" << 1.0 << 0.0 << 0.0 << 1.0 << QDate(2026, 3, 16)
                                    << texts::ClosedDay.arg("17/03/2026");
        QTest::newRow("last open day")
            << "00002"
            << "0001" << 1.0 << 0.0 << 0.0 << 1.0 << QDate(2026, 3, 17) << QString();
        QTest::newRow("zero counts") << "00002"
                                     << "0001" << 0.0 << 0.0 << 0.0 << 0.0 << d19 << QString();
    }
    void eachDietRowCheck() {
        QFETCH(QString, service);
        QFETCH(QString, diet);
        QFETCH(double, cli);
        QFETCH(double, fun);
        QFETCH(double, doa);
        QFETCH(double, total);
        QFETCH(QDate, date);
        QFETCH(QString, message);
        const int before = rowCount("CARDADIA");
        auto r = newRow(service, diet, cli, fun, doa, date);
        r["QTCOMEFETCAR"] = total;
        QCOMPARE(insertOne(r), message);
        QCOMPARE(rowCount("CARDADIA"), before + (message.isEmpty() ? 1 : 0));
    }

    // What the screens refuse before a day can be edited is refused by the server on every write.
    void dayRulesHoldOnEveryWrite_data() {
        QTest::addColumn<QString>("branch");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QString>("op");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown branch") << "0009" << QDate(2026, 3, 19) << "" << texts::FiliNaoCad;
        QTest::newRow("rescinded contract") << "0002" << QDate(2026, 3, 19) << "" << texts::FiliResc;
        QTest::newRow("after the processing date") << "0001" << QDate(2026, 3, 21) << "" << texts::DataProc;
        QTest::newRow("operator not on the branch")
            << "0001" << QDate(2026, 3, 19) << "ZE" << texts::OperFili.arg("ZE", "0001");
        QTest::newRow("operator on the branch") << "0001" << QDate(2026, 3, 19) << "DEMO" << QString();
    }
    void dayRulesHoldOnEveryWrite() {
        QFETCH(QString, branch);
        QFETCH(QDate, date);
        QFETCH(QString, op);
        QFETCH(QString, message);
        RdmMedEfetDiet as(t->db(), CallContext{"10.0.0.7", op});
        auto r = newRow("00001", "0001", 1, 0, 0, date);
        r["CDFILIAL"] = branch;
        if (!op.isEmpty()) r.remove("CDOPERADOR");
        t->exec("INSERT INTO CARDADIA (CDFILIAL, DTCARDAPIO, CDSERVFILI, CDDIETPAD) VALUES (?, ?, '00001', "
                "'0002')",
                {branch, kvo::server::dateParam(date)});
        const int rows = rowCount("CARDADIA"), shares = rowCount("EFETDIET");
        QCOMPARE(as.SetCardadia(LogBuilder(day().fields).insert(r).log()), message);
        // A share of a diet row of that day, and a change of the stored row, follow the same rules.
        const TDataPacket s = share("00001", "0002", d18, "C2");
        const QHash<QString, QVariant> sh{{"CDFILIAL", branch},  {"CDSERVFILI", "00001"},
                                          {"CDCLIENTE", "C2"},   {"DTEFETDIET", QDateTime(date, QTime(0, 0))},
                                          {"CDDIETPAD", "0002"}, {"QTCOMEFETDIE", 1.0}};
        QCOMPARE(as.UpdEfetDiet(LogBuilder(s.fields).insert(sh).log()), message);
        const TDataPacket c = rdm->GetCardadia(branch, date).first;
        const int k = findRow(c, {{"CDDIETPAD", "0002"}});
        if (k >= 0)
            QCOMPARE(as.SetCardadia(LogBuilder(c.fields).modify(c.rows[k], {{"QTCOMESTICAR", 1.0}}).log()),
                     message);
        if (!message.isEmpty()) {
            QCOMPARE(rowCount("CARDADIA"), rows);
            QCOMPARE(rowCount("EFETDIET"), shares);
        }
    }

    // A modify never moves a stored row: a changed key field refuses the whole log.
    void keyFieldsNeverChange_data() {
        QTest::addColumn<bool>("ofShare");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("value");
        const QVariant d19 = QDateTime(QDate(2026, 3, 19), QTime(0, 0));
        QTest::newRow("branch") << false << "CDFILIAL" << QVariant("0003");
        QTest::newRow("date") << false << "DTCARDAPIO" << d19;
        QTest::newRow("service") << false << "CDSERVFILI" << QVariant("00002");
        QTest::newRow("diet") << false << "CDDIETPAD" << QVariant("0003");
        QTest::newRow("share client") << true << "CDCLIENTE" << QVariant("C2");
        QTest::newRow("share date") << true << "DTEFETDIET" << d19;
        QTest::newRow("share diet") << true << "CDDIETPAD" << QVariant("0002");
    }
    void keyFieldsNeverChange() {
        QFETCH(bool, ofShare);
        QFETCH(QString, field);
        QFETCH(QVariant, value);
        t->exec("INSERT INTO DIETSERV VALUES ('0001', '00001', '0003')");
        const QString expected = texts::KeyChange.arg(field);
        if (ofShare) {
            const TDataPacket s = share("00001", "0001", d18, "C1");
            QCOMPARE(
                rdm->UpdEfetDiet(
                    LogBuilder(s.fields).modify(s.rows[0], {{field, value}, {"QTCOMEFETDIE", 2.0}}).log()),
                expected);
            QCOMPARE(at(share("00001", "0001", d18, "C1"), 0, "QTCOMEFETDIE").toDouble(), 4.0);
            return;
        }
        TDataPacket c = day();
        const int r = findRow(c, {{"CDSERVFILI", "00001"}, {"CDDIETPAD", "0001"}});
        QCOMPARE(rdm->SetCardadia(LogBuilder(c.fields).modify(c.rows[r], {{field, value}}).log()), expected);
        QCOMPARE(day().rows, c.rows);
        QCOMPARE(t->scalar("SELECT COUNT(*) FROM EFETDIET WHERE CDDIETPAD = '0001'").toInt(), 2);
    }

    // Every change a save applies is recorded with it: who, from where, what before and after;
    // a refused save records nothing, and the records themselves cannot be changed.
    void historyOfEachChange() {
        RdmMedEfetDiet as(t->db(), CallContext{"192.0.2.10", {}});
        const QDate d19(2026, 3, 19);
        QCOMPARE(as.SetCardadia(LogBuilder(day().fields).insert(newRow("00002", "0001", 2, 0, 0, d19)).log()),
                 QString());
        TDataPacket c = day(d19);
        QCOMPARE(
            as.SetCardadia(
                LogBuilder(c.fields).modify(c.rows[0], {{"QTCLIEFETCAR", 3.0}, {"QTCOMEFETCAR", 3.0}}).log()),
            QString());
        QCOMPARE(as.SetCardadia(LogBuilder(c.fields).modify(c.rows[0], {{"QTCLIEFETCAR", 5.0}}).log()),
                 texts::Concurrency);
        c = day(d19);
        QCOMPARE(as.SetCardadia(LogBuilder(c.fields).remove(c.rows[0]).log()), QString());

        const TDataPacket h = as.GetHistorico("0001", "00002", "0001", d19, {});
        QCOMPARE(h.rows.size(), 3);
        auto field = [&](int row, const char* name) { return at(h, row, name).toString(); };
        auto values = [&](int row, const char* name) {
            return QJsonDocument::fromJson(field(row, name).toUtf8()).object();
        };
        QCOMPARE(field(0, "IDOPERACAO") + field(1, "IDOPERACAO") + field(2, "IDOPERACAO"),
                 QStringLiteral("IAE"));
        QCOMPARE(field(0, "NMMETODO"), QStringLiteral("SetCardadia"));
        QCOMPARE(field(0, "DSENDERECO"), QStringLiteral("192.0.2.10"));
        QCOMPARE(field(0, "CDOPERADOR"), QStringLiteral("DEMO"));
        QVERIFY(field(0, "DSANTES").isEmpty());
        QCOMPARE(values(1, "DSANTES").value("QTCLIEFETCAR").toDouble(), 2.0);
        QCOMPARE(values(1, "DSDEPOIS").value("QTCLIEFETCAR").toDouble(), 3.0);
        // The modify's after-text is its before-text with the changed members alone written anew.
        QJsonObject after = values(1, "DSANTES");
        after["QTCLIEFETCAR"] = 3.0;
        after["QTCOMEFETCAR"] = 3.0;
        after["DTULTATU"] = values(1, "DSDEPOIS").value("DTULTATU");
        QCOMPARE(field(1, "DSDEPOIS").toUtf8(), QJsonDocument(after).toJson(QJsonDocument::Compact));
        QCOMPARE(values(2, "DSANTES").value("DTCARDAPIO").toString(), QStringLiteral("2026-03-19"));
        QVERIFY(field(2, "DSDEPOIS").isEmpty());
        QCOMPARE(QDateTime::fromString(field(2, "DTHISTORICO"), Qt::ISODate).date(), QDate::currentDate());

        // A share's own history; deleting its diet row records the share's deletion as well.
        t->exec("DELETE FROM RETIRADA");
        const TDataPacket s = share("00001", "0001", d18, "C2");
        QCOMPARE(as.UpdEfetDiet(LogBuilder(s.fields).modify(s.rows[0], {{"QTCOMEFETDIE", 1.0}}).log()),
                 QString());
        c = day();
        const int r = findRow(c, {{"CDSERVFILI", "00001"}, {"CDDIETPAD", "0001"}});
        QCOMPARE(as.SetCardadia(LogBuilder(c.fields).remove(c.rows[r]).log()), QString());
        const TDataPacket sh = as.GetHistorico("0001", "00001", "0001", d18, "C2");
        QCOMPARE(sh.rows.size(), 2);
        QCOMPARE(at(sh, 0, "NMMETODO").toString() + at(sh, 1, "NMMETODO").toString(),
                 QStringLiteral("UpdEfetDietSetCardadia"));
        QCOMPARE(at(sh, 1, "IDOPERACAO").toString(), QStringLiteral("E"));

        const int records = rowCount("KVOHISTORICO");
        QVERIFY_THROWS_EXCEPTION(kvo::server::DbError, t->exec("UPDATE KVOHISTORICO SET CDOPERADOR = 'X'"));
        QVERIFY_THROWS_EXCEPTION(kvo::server::DbError, t->exec("DELETE FROM KVOHISTORICO"));
        QCOMPARE(rowCount("KVOHISTORICO"), records);
        // Through the method table, with its argument checks.
        QCOMPARE(TDataPacket::fromJson(
                     as.call("GetHistorico", QJsonArray{"0001", "00001", "0001", "2026-03-18", "C2"}))
                     .rows.size(),
                 2);
        QVERIFY_THROWS_EXCEPTION(kvo::server::ParamError, as.call("GetHistorico", QJsonArray{"0001"}));
    }

    // Two saves of the same rows in opposite orders, at the same moment, over and over: one wins,
    // the other is told that the data changed, and neither hits a deadlock or a database error.
    // The history's values are written by hand into a buffer reused from row to row; the text is
    // the one Qt's JSON writer gives, whatever the row before it held.
    void historyRowIsQtsJsonText_data() {
        QTest::addColumn<QVariant>("text");
        QTest::addColumn<QVariant>("number");
        QTest::addColumn<QVariant>("day");
        const QVariant none;
        QTest::newRow("nulls") << none << none << none;
        QTest::newRow("whole numbers") << QVariant("A") << QVariant(-42.0) << QVariant(QDate(2026, 3, 9));
        QTest::newRow("fraction") << QVariant("B") << QVariant(0.1) << QVariant(QDate(2026, 12, 31));
        QTest::newRow("huge") << QVariant("C") << QVariant(1e20) << QVariant(QDate(999, 1, 5));
        QTest::newRow("past 2^53") << QVariant("D") << QVariant(9007199254740994.0) << none;
        QTest::newRow("quotes") << QVariant("a\"b\\c/") << QVariant(0.0) << none;
        QTest::newRow("control characters") << QVariant(QString("\t\n\r\b\f\x01\x1f\x7f")) << none << none;
        QTest::newRow("non-ASCII") << QVariant(QString::fromUtf8("Açaí \u00e7\u65e5 \U0001F600")) << none
                                   << none;
        QTest::newRow("day as text") << QVariant("E") << QVariant(7.0) << QVariant("2026-03-19");
    }
    void historyRowIsQtsJsonText() {
        QFETCH(QVariant, text);
        QFETCH(QVariant, number);
        QFETCH(QVariant, day);
        const kvo::server::TableDef def("T", {{"TX", ftString, 40, true},
                                              {"QT", ftFloat, 0, false},
                                              {"DT", ftDateTime, 0, false},
                                              {"AB", ftString, 10, false}});
        QByteArray out;
        kvo::server::writeHistoryRow(out, def,
                                     {QString(200, u'x'), 123456.5, QDate(2026, 1, 1), QString(90, u'y')});
        kvo::server::writeHistoryRow(out, def, {text, number, day, QVariant()});
        auto json = [](const QVariant& v) { return v.isNull() ? QJsonValue() : QJsonValue::fromVariant(v); };
        const QVariant date = day.isNull() ? day : QVariant(kvo::data::isoDate(kvo::server::logDate(day)));
        const QJsonObject expected{
            {"TX", json(text)}, {"QT", json(number)}, {"DT", json(date)}, {"AB", QJsonValue()}};
        QCOMPARE(out, QJsonDocument(expected).toJson(QJsonDocument::Compact));
    }

    void oppositeOrdersNeverDeadlock() {
        const TDataPacket c = day();
        const int a = findRow(c, {{"CDSERVFILI", "00001"}, {"CDDIETPAD", "0001"}});
        const int b = findRow(c, {{"CDSERVFILI", "00002"}});
        const TDataPacket s1 = share("00001", "0001", d18, "C1"), s2 = share("00001", "0001", d18, "C2");
        for (int round = 0; round < (kPostgres ? 12 : 4); ++round) {
            QVector<QVariant> ra = day().rows[a], rb = day().rows[b];
            const QVector<QVariant> sa = share("00001", "0001", d18, "C1").rows[0],
                                    sb = share("00001", "0001", d18, "C2").rows[0];
            auto bump = [&](LogBuilder& l, const QVector<QVariant>& row) {
                const double cli = row[c.FieldIndex("QTCLIEFETCAR")].toDouble();
                const double tot = row[c.FieldIndex("QTCOMEFETCAR")].toDouble();
                l.modify(row, {{"QTCLIEFETCAR", cli + 1}, {"QTCOMEFETCAR", tot + 1}});
            };
            LogBuilder ab(c.fields), ba(c.fields), sab(s1.fields), sba(s1.fields);
            bump(ab, ra);
            bump(ab, rb);
            bump(ba, rb);
            bump(ba, ra);
            sab.modify(sa, {{"QTCOMEFETDIE", round + 10.0}}).modify(sb, {{"QTCOMEFETDIE", round + 10.0}});
            sba.modify(sb, {{"QTCOMEFETDIE", round + 20.0}}).modify(sa, {{"QTCOMEFETDIE", round + 20.0}});
            QString answers[2][2];
            std::latch start(2);
            auto run = [&](int who, const TChangeLog& rows, const TChangeLog& shares) {
                const QString name = QStringLiteral("race-%1-%2").arg(round).arg(who);
                {
                    QSqlDatabase db =
                        kvo::server::openDatabase(kvo::server::DbSpec::parse(t->connection()), name);
                    // A deadlock would be found only after 20 s: it shows as a lock wait that gives up,
                    // where the loser of an ordered race waits only for the winner's commit.
                    if (kPostgres) {
                        kvo::server::execSql(db, "SET deadlock_timeout = '20s'");
                        kvo::server::execSql(db, "SET lock_timeout = '5s'");
                    }
                    RdmMedEfetDiet r(db);
                    start.arrive_and_wait();
                    try {
                        answers[who][0] = r.SetCardadia(rows);
                        answers[who][1] = r.UpdEfetDiet(shares);
                    } catch (const std::exception& e) {
                        answers[who][0] = QString::fromUtf8(e.what());
                    }
                    db.close();
                }
                QSqlDatabase::removeDatabase(name);
            };
            std::thread one(run, 0, ab.log(), sab.log()), two(run, 1, ba.log(), sba.log());
            one.join();
            two.join();
            for (int k = 0; k < 2; ++k) {
                QStringList got{answers[0][k], answers[1][k]};
                got.sort();
                // On SQLite the second writer waits for the first to commit, then finds its data changed.
                QCOMPARE(got, QStringList({QString(), texts::Concurrency}));
            }
        }
    }

    void closingFollowsTheBranchParameters() {
        // Closing off: an old day is open.
        t->exec("UPDATE PARAMPLANEJA SET IDBLQEFEDIAFECH = 'N' WHERE CDFILIAL = '0001'");
        QCOMPARE(insertOne(newRow("00002", "0001", 1, 0, 0, QDate(2026, 3, 1))), QString());
        // 0 days open: only the processing date itself and later.
        t->exec("UPDATE PARAMPLANEJA SET IDBLQEFEDIAFECH = 'S', NRDIAANTDTPROC = 0 WHERE CDFILIAL = '0001'");
        QCOMPARE(insertOne(newRow("00002", "0001", 1, 0, 0, QDate(2026, 3, 19))),
                 texts::ClosedDay.arg("20/03/2026"));
        QCOMPARE(insertOne(newRow("00002", "0001", 1, 0, 0, QDate(2026, 3, 20))), QString());
        // A modify or delete of a row on a closed day is refused as well.
        const TDataPacket c = day();
        const int r = findRow(c, {{"CDSERVFILI", "00002"}});
        QCOMPARE(
            rdm->SetCardadia(
                LogBuilder(c.fields).modify(c.rows[r], {{"QTCLIEFETCAR", 2.0}, {"QTCOMEFETCAR", 2.0}}).log()),
            texts::ClosedDay.arg("20/03/2026"));
        QCOMPARE(rdm->SetCardadia(LogBuilder(c.fields).remove(c.rows[r]).log()),
                 texts::ClosedDay.arg("20/03/2026"));
        // No processing date: nothing is closed.
        t->exec("UPDATE FILIAL SET DTPROC = NULL WHERE CDFILIAL = '0001'");
        QCOMPARE(
            rdm->SetCardadia(
                LogBuilder(c.fields).modify(c.rows[r], {{"QTCLIEFETCAR", 2.0}, {"QTCOMEFETCAR", 2.0}}).log()),
            QString());
    }

    void modifyAndDelete() {
        TDataPacket c = day();
        int r = findRow(c, {{"CDSERVFILI", "00001"}, {"CDDIETPAD", "0002"}});
        QCOMPARE(
            rdm->SetCardadia(
                LogBuilder(c.fields)
                    .modify(c.rows[r], {{"QTCLIEFETCAR", 6.0}, {"QTFUNEFETCAR", 1.0}, {"QTCOMEFETCAR", 7.0}})
                    .log()),
            QString());
        c = day();
        r = findRow(c, {{"CDSERVFILI", "00001"}, {"CDDIETPAD", "0002"}});
        QCOMPARE(at(c, r, "QTCOMEFETCAR").toDouble(), 7.0);
        // The changed total must still be the sum.
        QCOMPARE(rdm->SetCardadia(LogBuilder(c.fields).modify(c.rows[r], {{"QTCLIEFETCAR", 1.0}}).log()),
                 texts::TotaEfet);

        // 00002 has no withdrawal on the 18th: its row may go; 00001 has one.
        const int p = findRow(c, {{"CDSERVFILI", "00002"}});
        QCOMPARE(rdm->SetCardadia(LogBuilder(c.fields).remove(c.rows[r]).log()), texts::Retirada);
        QCOMPARE(rdm->SetCardadia(LogBuilder(c.fields).remove(c.rows[p]).log()), QString());
        QCOMPARE(findRow(day(), {{"CDSERVFILI", "00002"}}), -1);
    }

    void deletingARowTakesItsShares() {
        t->exec("DELETE FROM RETIRADA");
        const TDataPacket c = day();
        const int r = findRow(c, {{"CDSERVFILI", "00001"}, {"CDDIETPAD", "0001"}});
        QCOMPARE(rdm->SetCardadia(LogBuilder(c.fields).remove(c.rows[r]).log()), QString());
        QCOMPARE(t->scalar("SELECT COUNT(*) FROM EFETDIET WHERE CDDIETPAD = '0001'").toInt(), 0);
        // A share of a settled client keeps the row where it is.
        t->exec("INSERT INTO APURACLIE VALUES ('0001', 'C1', ?, 'S')", {t->d(2026, 3, 18)});
        const int b = findRow(c, {{"CDSERVFILI", "00001"}, {"CDDIETPAD", "0002"}});
        QCOMPARE(rdm->SetCardadia(LogBuilder(c.fields).remove(c.rows[b]).log()), texts::EfetApu);
        QVERIFY(findRow(day(), {{"CDDIETPAD", "0002"}}) >= 0);
    }

    void wholeLogOrNothing() {
        const TDataPacket c = day();
        const int r = findRow(c, {{"CDSERVFILI", "00002"}});
        const TChangeLog log = LogBuilder(c.fields)
                                   .insert(newRow("00002", "0001", 1, 0, 0, QDate(2026, 3, 19)))
                                   .modify(c.rows[r], {{"QTCLIEFETCAR", 9.0}, {"QTCOMEFETCAR", 9.0}})
                                   .insert(newRow("00009", "0001", 1, 0, 0, QDate(2026, 3, 19)))
                                   .log();
        QCOMPARE(rdm->SetCardadia(log), texts::ServPad);
        QCOMPARE(rowCount("CARDADIA"), 3);
        QCOMPARE(at(day(), r, "QTCLIEFETCAR").toDouble(), 3.0);
        // An empty log is a successful no-op.
        QCOMPARE(rdm->SetCardadia(LogBuilder(c.fields).log()), QString());
    }

    void malformedLogsAreRefusedWhole() {
        TChangeLog noKey = LogBuilder(day().fields).insert(newRow("00002", "0001", 1, 0, 0)).log();
        noKey.fields.removeAt(noKey.FieldIndex("CDDIETPAD"));
        for (TChange& ch : noKey.changes)
            ch.newValues.removeLast();
        QVERIFY_THROWS_EXCEPTION(kvo::server::ParamError, rdm->SetCardadia(noKey));

        TChangeLog shortRow = LogBuilder(day().fields).insert(newRow("00002", "0001", 1, 0, 0)).log();
        shortRow.changes[0].newValues.resize(3);
        QVERIFY_THROWS_EXCEPTION(kvo::server::ParamError, rdm->SetCardadia(shortRow));

        auto r = newRow("00002", "0001", 1, 0, 0, QDate(2026, 3, 19));
        r["CDOPERADOR"] = QString(40, QLatin1Char('X'));
        QCOMPARE(insertOne(r), texts::TooLong.arg("CDOPERADOR").arg(12));
        // Sizes count characters: 12 outside the basic plane fit a 12-character field, 13 do not.
        RdmMedEfetDiet named(t->db(), CallContext{{}, "DEMO"});
        const QString bowl = QString::fromUtf8("\xF0\x9F\x8D\xB2");
        r["CDOPERADOR"] = bowl.repeated(13);
        QCOMPARE(named.SetCardadia(LogBuilder(day().fields).insert(r).log()),
                 texts::TooLong.arg("CDOPERADOR").arg(12));
        r["CDOPERADOR"] = bowl.repeated(12);
        QCOMPARE(named.SetCardadia(LogBuilder(day().fields).insert(r).log()), QString());
        t->exec("DELETE FROM CARDADIA WHERE DTCARDAPIO = ?", {t->d(2026, 3, 19)});
        r = newRow("00002", "0001", 1, 0, 0, QDate(2026, 3, 19));
        r["QTCLIEFETCAR"] = QStringLiteral("muitos");
        QVERIFY(insertOne(r).contains("QTCLIEFETCAR"));
        r = newRow("00002", "", 1, 0, 0, QDate(2026, 3, 19));
        QCOMPARE(insertOne(r), texts::KeyMissing.arg("CDDIETPAD"));
        QCOMPARE(rowCount("CARDADIA"), 3);
    }

    // Logs with many changes on one day read the day once; the same rules hold row by row.
    void manyChangesOnOneDay() {
        const QDate d19(2026, 3, 19);
        for (int k = 0; k < 24; ++k) {
            const QString diet = QStringLiteral("D%1").arg(k, 3, 10, QLatin1Char('0'));
            t->exec("INSERT INTO DIETPADR VALUES (?, 'Carga', 'S')", {diet});
            t->exec("INSERT INTO DIETSERV VALUES ('0001', '00002', ?)", {diet});
        }
        LogBuilder ins(day().fields);
        for (int k = 0; k < 24; ++k)
            ins.insert(newRow("00002", QStringLiteral("D%1").arg(k, 3, 10, QLatin1Char('0')), k, 1, 0, d19));
        QCOMPARE(rdm->SetCardadia(ins.log()), QString());
        TDataPacket c = day(d19);
        QCOMPARE(c.rows.size(), 24);
        QCOMPARE(at(c, 0, "NRCARDAPIO").toString(), QStringLiteral("M260319"));

        // Every row changes; the first changes twice, the second time from what the first wrote.
        LogBuilder mod(c.fields);
        for (int r = 0; r < c.rows.size(); ++r) {
            const double cli = at(c, r, "QTCLIEFETCAR").toDouble();
            mod.modify(c.rows[r], {{"QTCLIEFETCAR", cli + 1}, {"QTCOMEFETCAR", cli + 2}});
        }
        QVector<QVariant> once = c.rows[0];
        once[c.FieldIndex("QTCLIEFETCAR")] = 1.0;
        once[c.FieldIndex("QTCOMEFETCAR")] = 2.0;
        mod.modify(once, {{"QTFUNEFETCAR", 3.0}, {"QTCOMEFETCAR", 4.0}});
        QCOMPARE(rdm->SetCardadia(mod.log()), QString());
        const TDataPacket after = day(d19);
        QCOMPARE(at(after, 0, "QTCOMEFETCAR").toDouble(), 4.0);
        QCOMPARE(at(after, 23, "QTCLIEFETCAR").toDouble(), 24.0);

        // A log built from the old day is stale on every row: nothing of it is applied.
        LogBuilder stale(c.fields);
        for (int r = 1; r < c.rows.size(); ++r)
            stale.modify(c.rows[r],
                         {{"QTDOAEFETCAR", 1.0}, {"QTCOMEFETCAR", at(c, r, "QTCOMEFETCAR").toDouble() + 1}});
        QCOMPARE(rdm->SetCardadia(stale.log()), texts::Concurrency);
        QCOMPARE(day(d19).rows, after.rows);

        // A duplicate among many inserts, and a delete that must see the rows still there.
        LogBuilder dup(c.fields);
        for (int r = 0; r < 20; ++r)
            dup.remove(after.rows[r]);
        dup.insert(newRow("00002", "D021", 1, 0, 0, d19));
        QCOMPARE(rdm->SetCardadia(dup.log()), texts::DietJaCad);
        LogBuilder del(c.fields);
        for (int r = 0; r < 20; ++r)
            del.remove(after.rows[r]);
        del.insert(newRow("00002", "D000", 1, 0, 0, d19));
        QCOMPARE(rdm->SetCardadia(del.log()), QString());
        QCOMPARE(day(d19).rows.size(), 5);
        QCOMPARE(rdm->SetCardadia(LogBuilder(c.fields).remove(after.rows[0]).log()), texts::Concurrency);

        // A log touching many services reads the branch's services and links whole; a bad row
        // among them is still refused.
        for (int k = 100; k < 170; ++k) {
            const QString service = QStringLiteral("%1").arg(k, 5, 10, QLatin1Char('0'));
            t->exec("INSERT INTO SERVICO VALUES ('0001', ?, 'Carga', 'D')", {service});
            t->exec("INSERT INTO DIETSERV VALUES ('0001', ?, 'D000')", {service});
        }
        const struct {
            const char *service, *diet;
            const QString& message;
        } bad[] = {{"00009", "0001", texts::ServPad},
                   {"00077", "0001", texts::ServCad},
                   {"00002", "0002", texts::DietCad},
                   {"00001", "9001", texts::DietCad},
                   {"00001", "D001", texts::DietCad}};
        for (const auto& b : bad) {
            LogBuilder many(c.fields);
            for (int k = 100; k < 170; ++k)
                many.insert(newRow(QStringLiteral("%1").arg(k, 5, 10, QLatin1Char('0')), "D000", 1, 0, 0,
                                   QDate(2026, 3, 20)));
            many.insert(newRow(b.service, b.diet, 1, 0, 0, QDate(2026, 3, 20)));
            QCOMPARE(rdm->SetCardadia(many.log()), b.message);
            QCOMPARE(day(QDate(2026, 3, 20)).rows.size(), 0);
        }
        LogBuilder good(c.fields);
        for (int k = 100; k < 170; ++k)
            good.insert(newRow(QStringLiteral("%1").arg(k, 5, 10, QLatin1Char('0')), "D000", 1, 0, 0,
                               QDate(2026, 3, 20)));
        QCOMPARE(rdm->SetCardadia(good.log()), QString());
        QCOMPARE(day(QDate(2026, 3, 20)).rows.size(), 70);
    }

    void twoClientsChangeTheSameRow() {
        // Two screens (on two connections, as two workers would be) load the same day.
        QSqlDatabase other = t->another();
        RdmMedEfetDiet second(other);
        const TDataPacket a = day();
        const TDataPacket b = second.GetCardadia("0001", d18).first;
        const int ra = findRow(a, {{"CDSERVFILI", "00002"}});
        const int rb = findRow(b, {{"CDSERVFILI", "00002"}});

        QCOMPARE(rdm->SetCardadia(LogBuilder(a.fields)
                                      .modify(a.rows[ra], {{"QTCLIEFETCAR", 4.0}, {"QTCOMEFETCAR", 4.0}})
                                      .log()),
                 QString());
        // The second one changes another count, but its total is computed from stale values.
        QCOMPARE(second.SetCardadia(LogBuilder(b.fields)
                                        .modify(b.rows[rb], {{"QTFUNEFETCAR", 1.0}, {"QTCOMEFETCAR", 4.0}})
                                        .log()),
                 texts::Concurrency);
        QCOMPARE(second.SetCardadia(LogBuilder(b.fields).remove(b.rows[rb]).log()), texts::Concurrency);
        const TDataPacket now = day();
        QCOMPARE(at(now, ra, "QTCLIEFETCAR").toDouble(), 4.0);
        QCOMPARE(at(now, ra, "QTFUNEFETCAR").toDouble(), 0.0);

        // A row deleted by one is gone for the other's change as well.
        QCOMPARE(rdm->SetCardadia(LogBuilder(now.fields).remove(now.rows[ra]).log()), QString());
        QCOMPARE(second.SetCardadia(LogBuilder(now.fields)
                                        .modify(now.rows[ra], {{"QTDOAEFETCAR", 1.0}, {"QTCOMEFETCAR", 5.0}})
                                        .log()),
                 texts::Concurrency);
        // Both insert the same new diet: the second gets the duplicate message.
        QCOMPARE(insertOne(newRow("00002", "0001", 1, 0, 0, QDate(2026, 3, 19))), QString());
        QCOMPARE(second.SetCardadia(
                     LogBuilder(a.fields).insert(newRow("00002", "0001", 2, 0, 0, QDate(2026, 3, 19))).log()),
                 texts::DietJaCad);
        QCOMPARE(at(day(QDate(2026, 3, 19)), 0, "QTCLIEFETCAR").toDouble(), 1.0);
    }

    void clientShares() {
        // A new share: the server numbers it.
        TDataPacket s = share("00001", "0002", d18, "C2");
        QVERIFY(s.rows.isEmpty());
        auto shareRow = [](const QString& client, const QString& diet, const QDate& d, double c, double f,
                           double dd) {
            return QHash<QString, QVariant>{{"CDFILIAL", "0001"},  {"CDSERVFILI", "00001"},
                                            {"CDCLIENTE", client}, {"DTEFETDIET", QDateTime(d, QTime(0, 0))},
                                            {"CDDIETPAD", diet},   {"QTCOMEFETDIE", c},
                                            {"QTFUNEFETDIE", f},   {"QTDOAEFETDIE", dd}};
        };
        QCOMPARE(rdm->UpdEfetDiet(LogBuilder(s.fields).insert(shareRow("C2", "0002", d18, 1, 0, 0)).log()),
                 QString());
        s = share("00001", "0002", d18, "C2");
        QCOMPARE(s.rows.size(), 1);
        QCOMPARE(at(s, 0, "NRSEQEFETDIE").toString(), QStringLiteral("0000000004"));
        QVERIFY(rdm->GetComensais("0001", d18).rows.isEmpty()); // 4 + 1 now matches the row's 5

        // A modify keeps the number, whatever the client sent.
        QCOMPARE(
            rdm->UpdEfetDiet(
                LogBuilder(s.fields).modify(s.rows[0], {{"QTCOMEFETDIE", 2.0}, {"NRSEQEFETDIE", "X"}}).log()),
            QString());
        s = share("00001", "0002", d18, "C2");
        QCOMPARE(at(s, 0, "NRSEQEFETDIE").toString(), QStringLiteral("0000000004"));
        QCOMPARE(at(s, 0, "QTCOMEFETDIE").toDouble(), 2.0);

        // Refusals, each leaving the stored share as it was.
        QCOMPARE(rdm->UpdEfetDiet(LogBuilder(s.fields).modify(s.rows[0], {{"QTCOMEFETDIE", -1.0}}).log()),
                 texts::InfComen);
        QCOMPARE(rdm->UpdEfetDiet(LogBuilder(s.fields).modify(s.rows[0], {{"QTFUNEFETDIE", -1.0}}).log()),
                 texts::InfFunc);
        QCOMPARE(rdm->UpdEfetDiet(LogBuilder(s.fields).modify(s.rows[0], {{"QTDOAEFETDIE", -0.5}}).log()),
                 texts::InfDoac);
        // C2 is settled on the 17th; C1's "N" row there does not settle it.
        t->exec("INSERT INTO CARDADIA (CDFILIAL, DTCARDAPIO, CDSERVFILI, CDDIETPAD) VALUES ('0001', ?, "
                "'00001', '0001')",
                {t->d(2026, 3, 17)});
        QCOMPARE(rdm->UpdEfetDiet(
                     LogBuilder(s.fields).insert(shareRow("C2", "0001", QDate(2026, 3, 17), 1, 0, 0)).log()),
                 texts::EfetApu);
        QCOMPARE(rdm->UpdEfetDiet(
                     LogBuilder(s.fields).insert(shareRow("C1", "0001", QDate(2026, 3, 17), 1, 0, 0)).log()),
                 QString());
        // A client the service does not serve, a diet row that does not exist, a closed day.
        QCOMPARE(rdm->UpdEfetDiet(LogBuilder(s.fields).insert(shareRow("C3", "0001", d18, 1, 0, 0)).log()),
                 texts::ClientNotServed);
        QCOMPARE(rdm->UpdEfetDiet(LogBuilder(s.fields).insert(shareRow("C2", "0003", d18, 1, 0, 0)).log()),
                 texts::NoDietRow.arg("0003", "00001"));
        t->exec("INSERT INTO CARDADIA (CDFILIAL, DTCARDAPIO, CDSERVFILI, CDDIETPAD) VALUES ('0001', ?, "
                "'00001', '0001')",
                {t->d(2026, 3, 10)});
        QCOMPARE(rdm->UpdEfetDiet(
                     LogBuilder(s.fields).insert(shareRow("C1", "0001", QDate(2026, 3, 10), 1, 0, 0)).log()),
                 texts::ClosedDay.arg("17/03/2026"));
        QCOMPARE(at(share("00001", "0002", d18, "C2"), 0, "QTCOMEFETDIE").toDouble(), 2.0);
    }

    // A day whose local midnight was skipped (the test runs in America/Sao_Paulo) goes from a
    // client's log to the database and back into a packet unchanged.
    void menuDateSurvivesALostMidnight() {
        QCOMPARE(qgetenv("TZ"), QByteArray("America/Sao_Paulo"));
        t->exec(QStringLiteral("CREATE TEMP TABLE tz_days (d DATE)"));
        const TPacketField f = kvo::server::dateField("DTCARDAPIO");
        for (const QDate& d : {QDate(2018, 11, 4), QDate(1999, 10, 3)}) {
            TChangeLog log = LogBuilder({f}).insert({{"DTCARDAPIO", d}}).log();
            log = TChangeLog::fromJson(log.toJson());
            t->exec(QStringLiteral("DELETE FROM tz_days"));
            t->exec(QStringLiteral("INSERT INTO tz_days (d) VALUES (?)"),
                    {kvo::server::dateParam(kvo::server::logDate(log.changes[0].newValues[0]))});
            TDataPacket p;
            p.fields = {f};
            p.rows = {{kvo::server::packetValue(f, t->scalar(QStringLiteral("SELECT d FROM tz_days")))}};
            const TDataPacket back = TDataPacket::fromJson(kvo::server::packetJson(p));
            QCOMPARE(back.rows[0][0].toDate(), d);
        }
    }

    void twoClientsChangeTheSameShare() {
        QSqlDatabase other = t->another();
        RdmMedEfetDiet second(other);
        const TDataPacket a = share("00001", "0001", d18, "C1");
        const TDataPacket b = second.GETEfetClie("0001", "00001", "0001", d18, "C1");
        QCOMPARE(rdm->UpdEfetDiet(LogBuilder(a.fields).modify(a.rows[0], {{"QTCOMEFETDIE", 5.0}}).log()),
                 QString());
        QCOMPARE(second.UpdEfetDiet(LogBuilder(b.fields).modify(b.rows[0], {{"QTCOMEFETDIE", 6.0}}).log()),
                 texts::Concurrency);
        QCOMPARE(at(share("00001", "0001", d18, "C1"), 0, "QTCOMEFETDIE").toDouble(), 5.0);

        // Both create the same share: the second is refused, not duplicated.
        const QHash<QString, QVariant> fresh{
            {"CDFILIAL", "0001"},  {"CDSERVFILI", "00001"},
            {"CDCLIENTE", "C2"},   {"DTEFETDIET", QDateTime(d18, QTime(0, 0))},
            {"CDDIETPAD", "0002"}, {"QTCOMEFETDIE", 1.0},
            {"QTFUNEFETDIE", 0.0}, {"QTDOAEFETDIE", 0.0}};
        QCOMPARE(rdm->UpdEfetDiet(LogBuilder(a.fields).insert(fresh).log()), QString());
        QCOMPARE(second.UpdEfetDiet(LogBuilder(a.fields).insert(fresh).log()), texts::Concurrency);
        QCOMPARE(
            t->scalar("SELECT COUNT(*) FROM EFETDIET WHERE CDCLIENTE = 'C2' AND CDDIETPAD = '0002'").toInt(),
            1);
    }
};

int main(int argc, char** argv) {
    qputenv("TZ", "America/Sao_Paulo");
    tzset();
    QCoreApplication app(argc, argv);
    TestChanges t;
    return QTest::qExec(&t, argc, argv);
}
#include "tst_changes.moc"
