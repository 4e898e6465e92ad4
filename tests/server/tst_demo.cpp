// The demo data set: what it promises, and that it obeys the rules the server enforces, so a
// demo user meets a consistent day.
#include <QtTest>

#include "LogBuild.h"
#include "ServerTestDb.h"
#include "server/DemoData.h"
#include "server/RdmMedEfetDiet.h"
#include "server/ServerErrors.h"

using namespace kvo::test;
using kvo::server::RdmMedEfetDiet;

class TestDemo : public QObject {
    Q_OBJECT
    std::unique_ptr<ServerTestDb> t;
    const QDate today{2026, 12, 8};

    int count(const QString& sql, const QVariantList& args = {}) { return t->scalar(sql, args).toInt(); }

private slots:
    void initTestCase() {
        t = std::make_unique<ServerTestDb>(false);
        const kvo::server::DemoSummary s = kvo::server::seedDemo(t->db(), today);
        QCOMPARE(s.branches, 3);
        QVERIFY(s.dietRows > 1000);
    }

    void promisedShape() {
        QCOMPARE(count("SELECT COUNT(*) FROM FILIAL"), 3);
        QCOMPARE(count("SELECT COUNT(*) FROM FILIAL WHERE IDCNTRRESC = 'S'"), 1);
        for (const QString b : {"0001", "0002", "0003"}) {
            QCOMPARE(count("SELECT COUNT(*) FROM SERVICO WHERE CDFILIAL = ? AND IDTIPOSERV = 'D'", {b}), 12);
            QCOMPARE(count("SELECT COUNT(*) FROM SERVICO WHERE CDFILIAL = ? AND IDTIPOSERV = 'P'", {b}), 1);
            QCOMPARE(count("SELECT COUNT(*) FROM CARDAPIO WHERE CDFILIAL = ?", {b}), 60);
            QCOMPARE(count("SELECT COUNT(*) FROM OPERFILI WHERE CDOPERADOR = 'DEMO' AND CDFILIAL = ?", {b}),
                     1);
            // Every hospital service serves some clients.
            QCOMPARE(count("SELECT COUNT(DISTINCT CDSERVFILI) FROM CLIESERV WHERE CDFILIAL = ?", {b}), 12);
        }
        QCOMPARE(count("SELECT COUNT(*) FROM DIETPADR WHERE IDTIPODIET = 'S'"), 30);
        QCOMPARE(count("SELECT COUNT(*) FROM CLIENTE"), 40);
        QCOMPARE(count("SELECT COUNT(DISTINCT IDBLQEFEDIAFECH || NRDIAANTDTPROC || IDPERLEFESRETPLA || "
                       "IDPEREFEPOSDTPR)"
                       " FROM PARAMPLANEJA"),
                 3);
        // The main branch: closed after 3 days, later dates allowed, the withdrawal guard on.
        RdmMedEfetDiet rdm(t->db());
        const TDataPacket p = rdm.GetParamPlaneja("0001");
        QCOMPARE(p.rows[0][0].toString(), QStringLiteral("S"));
        QCOMPARE(p.rows[0][1].toDouble(), 3.0);
        QCOMPARE(p.rows[0][2].toString(), QStringLiteral("N"));
        QCOMPARE(p.rows[0][3].toString(), QStringLiteral("S"));
        QCOMPARE(rdm.firstOpenDay("0001"), today.addDays(-3));
        QCOMPARE(rdm.GetDtCardapio("0001", today).rows.size(), 60);
    }

    void dietRowsObeyTheServerRules() {
        // What SetCardadia would refuse must not be in the demo either.
        QCOMPARE(count("SELECT COUNT(*) FROM CARDADIA WHERE ABS(QTCOMEFETCAR - QTCLIEFETCAR - QTFUNEFETCAR - "
                       "QTDOAEFETCAR) > 0.001"),
                 0);
        QCOMPARE(count("SELECT COUNT(*) FROM CARDADIA WHERE QTCLIEFETCAR < 0 OR QTFUNEFETCAR < 0 OR "
                       "QTDOAEFETCAR < 0"),
                 0);
        QCOMPARE(count("SELECT COUNT(*) FROM CARDADIA C JOIN SERVICO S ON S.CDFILIAL = C.CDFILIAL"
                       " AND S.CDSERVFILI = C.CDSERVFILI WHERE S.IDTIPOSERV <> 'D'"),
                 0);
        QCOMPARE(
            count(
                "SELECT COUNT(*) FROM CARDADIA C WHERE NOT EXISTS (SELECT 1 FROM DIETSERV DS JOIN DIETPADR DP"
                " ON DP.CDDIETPAD = DS.CDDIETPAD WHERE DS.CDFILIAL = C.CDFILIAL AND DS.CDSERVFILI = "
                "C.CDSERVFILI"
                " AND DS.CDDIETPAD = C.CDDIETPAD AND DP.IDTIPODIET = 'S')"),
            0);
        // Shares only for clients the service serves, and all numbered uniquely.
        QCOMPARE(count("SELECT COUNT(*) FROM EFETDIET E WHERE NOT EXISTS (SELECT 1 FROM CLIESERV CS"
                       " WHERE CS.CDFILIAL = E.CDFILIAL AND CS.CDSERVFILI = E.CDSERVFILI AND CS.CDCLIENTE = "
                       "E.CDCLIENTE)"),
                 0);
        QCOMPARE(count("SELECT COUNT(*) - COUNT(DISTINCT NRSEQEFETDIE) FROM EFETDIET"), 0);
    }

    void mostlyConsistentWithAFewDisagreements() {
        RdmMedEfetDiet rdm(t->db());
        int days = 0, withDisagreement = 0, withWithdrawal = 0;
        for (int back = 2; back < 40; ++back) {
            const QDate d = today.addDays(-back);
            ++days;
            if (!rdm.GetComensais("0001", d).rows.isEmpty()) ++withDisagreement;
            if (rdm.Vd_Retirada("0001", d, "x", "00101").isEmpty()) ++withWithdrawal;
        }
        QVERIFY2(withDisagreement > 0 && withDisagreement < days,
                 qPrintable(QString::number(withDisagreement)));
        QVERIFY(withWithdrawal > days / 2);
    }

    void recentDaysCanBeCalculatedAndEdited() {
        RdmMedEfetDiet rdm(t->db());
        QCOMPARE(rdm.CalcularComensais("0001", "T", QDate(today.year(), today.month(), 1), today), QString());
        QCOMPARE(rdm.CalcularComensais("0001", "T", QDate(2026, 1, 1), today.addDays(-30)),
                 QStringLiteral("NExist_Conf"));
        // A demo user can change yesterday's first row as the screen would.
        const TDataPacket day = rdm.GetCardadia("0001", today.addDays(-1)).first;
        QVERIFY(!day.rows.isEmpty());
        const double cli = at(day, 0, "QTCLIEFETCAR").toDouble(), tot = at(day, 0, "QTCOMEFETCAR").toDouble();
        QCOMPARE(
            rdm.SetCardadia(LogBuilder(day.fields)
                                .modify(day.rows[0], {{"QTCLIEFETCAR", cli + 1}, {"QTCOMEFETCAR", tot + 1}})
                                .log()),
            QString());
    }

    void seedingTwiceIsRefused() {
        QVERIFY_THROWS_EXCEPTION(kvo::server::ServerError, kvo::server::seedDemo(t->db(), today));
        QCOMPARE(count("SELECT COUNT(*) FROM FILIAL"), 3);
    }
};

QTEST_GUILESS_MAIN(TestDemo)
#include "tst_demo.moc"
