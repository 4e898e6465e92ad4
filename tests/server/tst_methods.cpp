// The read methods and the diner calculation of rdmMedEfetDiet, on SQLite and on PostgreSQL.
#include <QtTest>

#include "LogBuild.h"
#include "ServerTestDb.h"
#include "server/PacketJson.h"
#include "server/RdmMedEfetDiet.h"

using namespace kvo::test;
using kvo::server::RdmMedEfetDiet;

#ifdef KVO_SERVER_TEST_PG
constexpr bool kPostgres = true;
#else
constexpr bool kPostgres = false;
#endif

namespace {
const QDate d18(2026, 3, 18), d19(2026, 3, 19);

QStringList names(const TDataPacket& p) {
    QStringList n;
    for (const TPacketField& f : p.fields)
        n << f.name;
    return n;
}

QStringList column(const TDataPacket& p, const QString& field) {
    QStringList out;
    for (int r = 0; r < p.rows.size(); ++r)
        out << at(p, r, field).toString();
    return out;
}
} // namespace

class TestMethods : public QObject {
    Q_OBJECT
    std::unique_ptr<ServerTestDb> t;
    std::unique_ptr<RdmMedEfetDiet> rdm;

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

    void parametersPerBranch() {
        const TDataPacket g = rdm->GETParamGeral();
        QCOMPARE(names(g), QStringList{"IDCONSMINEFE"});
        QCOMPARE(g.rows.size(), 1);
        QCOMPARE(g.rows[0][0].toString(), QStringLiteral("S"));

        const TDataPacket p = rdm->GetParamPlaneja("0001");
        QCOMPARE(names(p),
                 (QStringList{"IDBLQEFEDIAFECH", "NRDIAANTDTPROC", "IDPERLEFESRETPLA", "IDPEREFEPOSDTPR"}));
        QCOMPARE(p.fields[0].size, 20);
        QCOMPARE(p.fields[1].type, ftFloat);
        QCOMPARE(p.rows.size(), 1);
        QCOMPARE(p.rows[0][1].toDouble(), 3.0);
        // No parameters, unknown or empty branch: the fields still come, without a row.
        for (const QString b : {"0003", "XXXX", ""}) {
            const TDataPacket e = rdm->GetParamPlaneja(b);
            QCOMPARE(e.fields.size(), 4);
            QVERIFY(e.rows.isEmpty());
        }
    }

    void menuDatesRespectLaterDatesFlag() {
        // 0001 refuses dates after its processing date (20th); its menus run to the 22nd.
        TDataPacket p = rdm->GetDtCardapio("0001", QDate(2026, 3, 20));
        QCOMPARE(p.fields[0].size, 10);
        QCOMPARE(column(p, "DTCARDAPIO"), (QStringList{"20/03/2026", "19/03/2026", "18/03/2026", "17/03/2026",
                                                       "16/03/2026", "15/03/2026"}));
        // Without a date the branch's own processing date applies.
        QCOMPARE(rdm->GetDtCardapio("0001", {}).rows.size(), 6);

        // 0002 allows later dates; the list is capped at the 400 newest.
        for (int i = 0; i < 450; ++i)
            t->exec("INSERT INTO CARDAPIO VALUES ('0002', ?, NULL, NULL)",
                    {kvo::server::dateParam(QDate(2026, 1, 1).addDays(i))});
        p = rdm->GetDtCardapio("0002", QDate(2026, 3, 20));
        QCOMPARE(p.rows.size(), 400);
        QCOMPARE(at(p, 0, "DTCARDAPIO").toString(), QDate(2026, 1, 1).addDays(449).toString("dd/MM/yyyy"));
        QVERIFY(rdm->GetDtCardapio("ZZZZ", QDate(2026, 3, 20)).rows.isEmpty());
    }

    void dayServicesAndDietRows() {
        const TDataPacket s = rdm->GetCardServ("0001", d18);
        QCOMPARE(names(s), (QStringList{"CDFILIAL", "CDSERVFILI", "NMSERVICO"}));
        QCOMPARE(column(s, "CDSERVFILI"), (QStringList{"00001", "00002"}));
        QCOMPARE(column(s, "NMSERVICO"), (QStringList{"UTI Adulto", "Pediatria"}));

        const TPacketPair pair = rdm->GetCardadia("0001", d18);
        const TDataPacket& c = pair.first;
        QCOMPARE(names(c),
                 (QStringList{"CDSERVFILI", "NMSERVICO", "CDDIETPAD", "DSDIETPAD", "QTCOMEFETCAR",
                              "QTCLIEFETCAR", "QTFUNEFETCAR", "QTDOAEFETCAR", "QTCOMESTICAR", "QTCLIESTICAR",
                              "QTFUNESTICAR", "QTDOAESTICAR", "QTCOMEFETRI", "QTCOMEFETSL", "DTCARDAPIO",
                              "CDFILIAL", "CDOPERADOR", "NRCARDAPIO", "DTMESCARD"}));
        QCOMPARE(c.fields[c.FieldIndex("CDOPERADOR")].size, 12);
        QCOMPARE(c.fields[c.FieldIndex("NRCARDAPIO")].size, 10);
        QCOMPARE(c.fields[c.FieldIndex("DTMESCARD")].type, ftDateTime);
        QCOMPARE(c.rows.size(), 3);
        const int r = findRow(c, {{"CDSERVFILI", "00001"}, {"CDDIETPAD", "0002"}});
        QVERIFY(r >= 0);
        QCOMPARE(at(c, r, "DSDIETPAD").toString(), QStringLiteral("Branda"));
        QCOMPARE(at(c, r, "NMSERVICO").toString(), QStringLiteral("UTI Adulto"));
        QCOMPARE(at(c, r, "QTCLIEFETCAR").toDouble(), 5.0);
        QCOMPARE(at(c, r, "DTCARDAPIO").toDate(), d18);
        QCOMPARE(at(c, r, "DTMESCARD").toDate(), QDate(2026, 3, 1));
        QCOMPARE(pair.second.rows.size(), 1);
        QCOMPARE(pair.second.rows[0][0].toString(), QStringLiteral("S"));

        // Unknown or empty branch, a day without rows, no date: empty packets, not errors.
        for (const auto& [b, dt] : {std::pair{QString("XXXX"), d18},
                                    {QString(""), d18},
                                    {QString("0001"), d19},
                                    {QString("0001"), QDate()}}) {
            const TPacketPair e = rdm->GetCardadia(b, dt);
            QCOMPARE(e.first.fields.size(), 19);
            QVERIFY(e.first.rows.isEmpty());
            QVERIFY(rdm->GetCardServ(b, dt).rows.isEmpty());
        }
    }

    void dayJsonIsWhatItsPacketsWrite_data() {
        QTest::addColumn<QString>("count"); // as the database reads it
        QTest::addColumn<QString>("name");  // a service's name, written with the rows
        for (const char* v : {"0", "-0", "7", "-12", "999999999999999", "-999999999999999", "1e15",
                              "1234567890123456", "-3.25", "1e-7"})
            QTest::newRow(v) << QString::fromLatin1(v) << QStringLiteral("UTI Adulto");
        for (const char16_t* n : {u"Nutrição Enteral", u"\"Ala\" B\\C", u"a\tb\nc\u0001", u"病棟 🍲", u""})
            QTest::newRow(QString::fromUtf16(n).toUtf8().constData())
                << QStringLiteral("5") << QString::fromUtf16(n);
    }
    void dayJsonIsWhatItsPacketsWrite() {
        // The day's rows are written from the statement's text; it must be the text the packet
        // writer gives for the values it reads back, numbers in their shortest form and escaped
        // or multi-byte texts included.
        QFETCH(QString, count);
        QFETCH(QString, name);
        t->exec("UPDATE CARDADIA SET QTCLIEFETCAR = CAST(? AS DOUBLE PRECISION) WHERE CDFILIAL = '0001'",
                {count});
        t->exec("UPDATE SERVICO SET NMSERVICO = ? WHERE CDFILIAL = '0001' AND CDSERVFILI = '00001'", {name});
        const QByteArray json = rdm->GetCardadiaJson("0001", d18);
        const TPacketPair pair = TPacketPair::fromJson(QJsonDocument::fromJson(json).array());
        QCOMPARE(pair.first.rows.size(), 3);
        QCOMPARE(at(pair.first, findRow(pair.first, {{"CDSERVFILI", "00001"}}), "NMSERVICO").toString(),
                 name);
        QCOMPARE(json, kvo::server::pairJson(pair));
    }

    void dayJsonKeepsNulls() {
        // A null is written as null, never as the empty text, zero or date a value would read as.
        t->exec("UPDATE CARDADIA SET NRCARDAPIO = NULL, DTMESCARD = NULL WHERE CDFILIAL = '0001'");
        t->exec("UPDATE PARAMPLANEJA SET NRDIAANTDTPROC = NULL WHERE CDFILIAL = '0001'");
        const TPacketPair pair =
            TPacketPair::fromJson(QJsonDocument::fromJson(rdm->GetCardadiaJson("0001", d18)).array());
        QCOMPARE(pair.first.rows.size(), 3);
        for (const char* f : {"NRCARDAPIO", "DTMESCARD"})
            QVERIFY2(at(pair.first, 0, f).isNull(), f);
        QVERIFY(at(pair.second, 0, "NRDIAANTDTPROC").isNull());
    }

    void serviceAndDietAlreadyRegistered() {
        QVERIFY(rdm->Verif_Serv("0001", d18, "00001", "N"));
        QVERIFY(rdm->Verif_Serv("0001", d18, "00002", "N"));
        QVERIFY(!rdm->Verif_Serv("0001", d18, "00009", "N"));
        QVERIFY(!rdm->Verif_Serv("0001", d19, "00001", "N"));
        QVERIFY(rdm->Verif_Serv("0001", d18, "00001", "0002"));
        QVERIFY(!rdm->Verif_Serv("0001", d18, "00002", "0002"));
        QVERIFY(!rdm->Verif_Serv("0001", d18, "00001'--", "N"));
    }

    void clientListWithSharesAndSettled() {
        TPacketPair p = rdm->GETCliente("0001", "00001", d18, "0001");
        QCOMPARE(names(p.first),
                 (QStringList{"CDCLIENTE", "NMRAZSOCCLIE", "QTCOMEFETDIE", "QTFUNEFETDIE", "QTDOAEFETDIE",
                              "CDFILIAL", "CDSERVFILI", "DTEFETDIET", "CDDIETPAD"}));
        // Ordered by name: Alfa (C2) before Beta (C1).
        QCOMPARE(column(p.first, "CDCLIENTE"), (QStringList{"C2", "C1"}));
        QCOMPARE(at(p.first, 0, "QTCOMEFETDIE").toDouble(), 3.0);
        QCOMPARE(at(p.first, 1, "QTDOAEFETDIE").toDouble(), 1.0);
        QCOMPARE(at(p.first, 0, "DTEFETDIET").toDate(), d18);
        QCOMPARE(at(p.first, 0, "CDDIETPAD").toString(), QStringLiteral("0001"));
        QVERIFY(p.second.rows.isEmpty());

        // A diet without shares lists every client with zeros; settled clients of that date come second.
        p = rdm->GETCliente("0001", "00001", QDate(2026, 3, 17), "0001");
        QCOMPARE(p.first.rows.size(), 2);
        QCOMPARE(at(p.first, 0, "QTCOMEFETDIE").toDouble(), 0.0);
        QVERIFY(!at(p.first, 0, "QTCOMEFETDIE").isNull());
        QCOMPARE(names(p.second), (QStringList{"CDCLIENTE", "IDIMPEFETKVO"}));
        QCOMPARE(column(p.second, "CDCLIENTE"), QStringList{"C2"}); // C1's row is not settled ("N")

        // The empty diet code the screen may send still lists the clients.
        QCOMPARE(rdm->GETCliente("0001", "00001", d18, "").first.rows.size(), 2);
    }

    void storedShareAndSums() {
        TDataPacket e = rdm->GETEfetClie("0001", "00001", "0001", d18, "C1");
        QCOMPARE(names(e), (QStringList{"CDFILIAL", "CDSERVFILI", "CDCLIENTE", "DTEFETDIET", "NRSEQEFETDIE",
                                        "CDDIETPAD", "QTCOMEFETDIE", "QTFUNEFETDIE", "QTDOAEFETDIE"}));
        QCOMPARE(e.rows.size(), 1);
        QCOMPARE(at(e, 0, "NRSEQEFETDIE").toString(), QStringLiteral("0000000001"));
        QCOMPARE(rdm->GETEfetClie("0001", "00002", "0001", d18, "C3").rows.size(), 0);

        TDataPacket s = rdm->GetAtuaQtEfet("0001", "00001", "0001", d18);
        QCOMPARE(s.rows.size(), 1);
        QCOMPARE(at(s, 0, "QTCOMEFETDIE").toDouble(), 7.0);
        QCOMPARE(at(s, 0, "QTFUNEFETDIE").toDouble(), 2.0);
        QCOMPARE(at(s, 0, "QTDOAEFETDIE").toDouble(), 1.0);
        s = rdm->GetAtuaQtEfet("0001", "00002", "0001", d18);
        QCOMPARE(s.rows.size(), 1);
        QCOMPARE(at(s, 0, "QTCOMEFETDIE").toDouble(), 0.0);
    }

    void disagreementsOnlyWhereSharesExist() {
        TDataPacket p = rdm->GetComensais("0001", d18);
        QCOMPARE(names(p), (QStringList{"CDSERVFILI", "NMSERVICO", "CDDIETPAD", "TIPO"}));
        QCOMPARE(p.fields[3].type, ftFixedChar);
        QCOMPARE(p.fields[3].size, 1);
        // 00001/0002 has shares summing 4 against 5 clients; 00002/0001 has no share at all.
        QCOMPARE(p.rows.size(), 1);
        QCOMPARE(at(p, 0, "CDSERVFILI").toString(), QStringLiteral("00001"));
        QCOMPARE(at(p, 0, "CDDIETPAD").toString(), QStringLiteral("0002"));
        QCOMPARE(at(p, 0, "TIPO").toString(), QStringLiteral("C"));
        QCOMPARE(at(p, 0, "NMSERVICO").toString(), QStringLiteral("UTI Adulto"));

        // Employees and donations off too: one row per kind, in the order C, F, D.
        t->exec("UPDATE EFETDIET SET QTFUNEFETDIE = 9, QTDOAEFETDIE = 9 WHERE CDCLIENTE = 'C1' AND CDDIETPAD "
                "= '0001'");
        p = rdm->GetComensais("0001", d18);
        QCOMPARE(column(p, "CDDIETPAD"), (QStringList{"0001", "0001", "0002"}));
        QCOMPARE(column(p, "TIPO"), (QStringList{"F", "D", "C"}));
        QVERIFY(rdm->GetComensais("0001", d19).rows.isEmpty());
    }

    void withdrawalGuard() {
        const QString msg = QStringLiteral("Não há produto baixado em estoque no dia.");
        QCOMPARE(rdm->Vd_Retirada("0001", d18, msg, "00001"), QString());
        QCOMPARE(rdm->Vd_Retirada("0001", d18, msg, "00002"), msg);
        QCOMPARE(rdm->Vd_Retirada("0001", d19, msg, "00001"), msg);
        t->exec("INSERT INTO RETIRADA VALUES ('0001', ?, '00002', 'SAL', 0)", {t->d(2026, 3, 18)});
        QCOMPARE(rdm->Vd_Retirada("0001", d18, msg, "00002"), msg); // a withdrawal of nothing is none
    }

    void dinerCalculation() {
        QCOMPARE(rdm->CalcularComensais("XXXX", "T", QDate(2026, 3, 1), d19), QStringLiteral("Filial_NCad"));
        QCOMPARE(rdm->CalcularComensais("0001", "T", QDate(2026, 3, 1), QDate(2026, 3, 10)),
                 QStringLiteral("NExist_Conf"));
        QCOMPARE(rdm->CalcularComensais("0001", "_00009", QDate(2026, 3, 1), d19),
                 QStringLiteral("NExist_Conf"));
        // The dialog's branch and date rules hold on the server too; a closed day (the 10th
        // above) is still computed.
        QCOMPARE(rdm->CalcularComensais("0002", "T", QDate(2026, 3, 1), d19),
                 QStringLiteral("Filial com contrato rescindido."));
        QCOMPARE(rdm->CalcularComensais("0001", "T", QDate(2026, 3, 1), QDate(2026, 3, 21)),
                 QStringLiteral("Data deve ser menor ou igual a data de  processamento."));

        // Only 00002 picked: 00001 stays untouched.
        QCOMPARE(rdm->CalcularComensais("0001", "_00002", QDate(2026, 3, 1), d19), QString());
        TDataPacket c = rdm->GetCardadia("0001", d19).first;
        QCOMPARE(column(c, "CDSERVFILI"), QStringList{"00002"});
        QCOMPARE(at(c, 0, "QTCOMESTICAR").toDouble(), 3.0);
        QCOMPARE(at(c, 0, "QTCOMEFETCAR").toDouble(), 0.0);
        QCOMPARE(at(c, 0, "DTMESCARD").toDate(), QDate(2026, 3, 1));
        QCOMPARE(at(c, 0, "NRCARDAPIO").toString(), QStringLiteral("M260319"));

        // Every hospital service; an existing row keeps its actual counts, the standardisation
        // service is never computed.
        t->exec(
            "INSERT INTO CARDADIA (CDFILIAL, DTCARDAPIO, CDSERVFILI, CDDIETPAD, QTCOMEFETCAR, QTCLIEFETCAR)"
            " VALUES ('0001', ?, '00001', '0001', 4, 4)",
            {t->d(2026, 3, 19)});
        QCOMPARE(rdm->CalcularComensais("0001", "T", QDate(2026, 3, 1), d19), QString());
        c = rdm->GetCardadia("0001", d19).first;
        QCOMPARE(c.rows.size(), 3);
        const int r = findRow(c, {{"CDSERVFILI", "00001"}, {"CDDIETPAD", "0001"}});
        QCOMPARE(at(c, r, "QTCLIEFETCAR").toDouble(), 4.0);
        QCOMPARE(at(c, r, "QTCLIESTICAR").toDouble(), 6.0);
        QCOMPARE(at(c, r, "QTFUNESTICAR").toDouble(), 2.0);
        QCOMPARE(at(c, r, "QTDOAESTICAR").toDouble(), 1.0);
        QCOMPARE(at(c, r, "QTCOMESTICAR").toDouble(), 9.0);
        QCOMPARE(findRow(c, {{"CDSERVFILI", "00009"}}), -1);
        // Running it again changes nothing.
        QCOMPARE(rdm->CalcularComensais("0001", "T", QDate(2026, 3, 1), d19), QString());
        QCOMPARE(rdm->GetCardadia("0001", d19).first.rows, c.rows);
    }

    void callByNameChecksArguments() {
        QJsonValue v = rdm->call("Verif_Serv", QJsonArray{"0001", "2026-03-18", "00001", "N"});
        QCOMPARE(v.toBool(), true);
        v = rdm->call("GetCardadia", QJsonArray{"0001", "2026-03-18T00:00:00"});
        QCOMPARE(TPacketPair::fromJson(v).first.rows.size(), 3);
        QCOMPARE(
            TDataPacket::fromJson(rdm->call("GetCardServ", QJsonArray{"0001", QJsonValue()})).rows.size(), 0);

        auto refused = [&](const QString& m, const QJsonArray& a, int code) {
            try {
                rdm->call(m, a);
            } catch (const kvo::server::ServerError& e) {
                return e.code() == code && !e.message().isEmpty();
            }
            return false;
        };
        QVERIFY(refused("GetCardadia", QJsonArray{"0001"}, -32602));
        QVERIFY(refused("GetCardadia", QJsonArray{"0001", "2026-03-18", "x"}, -32602));
        QVERIFY(refused("GetCardadia", QJsonArray{1, "2026-03-18"}, -32602));
        QVERIFY(refused("GetCardadia", QJsonArray{"0001", "18/03/2026"}, -32602));
        QVERIFY(refused("GetCardadia", QJsonArray{"0001", "2026-02-30"}, -32602));
        QVERIFY(refused("SetCardadia", QJsonArray{"texto"}, -32602));
        QVERIFY(refused("SetCardadia", QJsonArray{QJsonObject{{"fields", 3}}}, -32602));
        QVERIFY(refused("DropTables", QJsonArray{}, -32601));
    }
};

QTEST_GUILESS_MAIN(TestMethods)
#include "tst_methods.moc"
