// The shared connection, branch validation, processing date and dialect queries, run on SQLite
// or (built with KVO_TEST_POSTGRES) on the throwaway PostgreSQL cluster.

#include "LookupTables.h"

#include "host/Balvora.h"
#include "host/Consiste.h"
#include "host/HostConfig.h"
#include "host/TADOIBQuery.h"
#include "host/dtmDBGeral.h"

#ifdef KVO_TEST_POSTGRES
#include "PgTest.h"
#endif

#include <QTemporaryDir>
#include <QTest>
#include <memory>

using Consiste::EValidacao;

class TestLookups : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
#ifdef KVO_TEST_POSTGRES
    std::unique_ptr<kvo::test::PgTestDatabase> m_pg;
#endif

    static QStringList lines(const char* text) {
        return QString::fromUtf8(text).split(u'\n');
    }

    static void defineServico(TADOIBQuery& q) {
        q.SQL = lines("SELECT\n   CDFILIAL,\n   CDSERVFILI,\n   NMSERVICO\nFROM\n   SERVICO\nWHERE\n"
                      "   (CDFILIAL   = :P_CDFILIAL)                   AND\n"
                      "   (CDSERVFILI = :P_CDSERVFILI OR :P_TCDSERVFILI = 'T') AND\n"
                      "   (IDTIPOSERV = 'D')\nORDER BY\n   CDFILIAL,\n   CDSERVFILI ");
        q.Query()->AddField("CDSERVFILI", ftString, 5)->SetDisplayLabel("Código");
        q.Query()->AddField("NMSERVICO", ftString, 40)->SetDisplayLabel("Nome");
        q.Query()->AddField("CDFILIAL", ftString, 4)->SetVisible(false);
    }

    static QStringList column(TADOIBQuery& q, const char* field) {
        QStringList out;
        for (q.First(); !q.Eof(); q.Next())
            out << q.FieldByName(field)->AsString();
        return out;
    }

private slots:
    void initTestCase() {
        dtmDBGeral::TDatabaseConfig cfg;
#ifdef KVO_TEST_POSTGRES
        m_pg = std::make_unique<kvo::test::PgTestDatabase>(QStringLiteral("kvohost"));
        kvo::test::createLookupTables(m_pg->open("setup"), true);
        m_pg->close("setup");
        cfg = ParseDatabaseUrl(m_pg->connectionString());
#else
        QVERIFY(m_dir.isValid());
        cfg.database = m_dir.filePath("suite.db");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "setup");
            db.setDatabaseName(cfg.database);
            QVERIFY(db.open());
            kvo::test::createLookupTables(db, false);
            db.close();
        }
        QSqlDatabase::removeDatabase("setup");
#endif
        dtmDBGeral::Open(cfg);
        QVERIFY(dtmDBGeral::Connected());
        QCOMPARE(dtmDBGeral::Dialect(), dtmDBGeral::dlDefault);
    }

    void cleanupTestCase() {
        dtmDBGeral::Close();
    }

    void validaFilial_data() {
        QTest::addColumn<QString>("branch");
        QTest::addColumn<QString>("op");
        QTest::addColumn<bool>("strict");
        QTest::addColumn<QString>("result"); // the name, or the message of the refusal
        QTest::addColumn<bool>("refused");
        QTest::newRow("known") << "0001"
                               << "ANA" << true << "Hospital Central" << false;
        QTest::newRow("padded to four") << " 1 "
                                        << "ANA" << true << "Hospital Central" << false;
        QTest::newRow("empty") << "   "
                               << "ANA" << false << "Filial deve ser informada." << true;
        QTest::newRow("unknown") << "0009"
                                 << "ANA" << false << "Filial não cadastrada." << true;
        QTest::newRow("rescinded lenient") << "0002"
                                           << "ANA" << false << "Clínica Sul" << false;
        QTest::newRow("rescinded strict") << "0002"
                                          << "ANA" << true << "Filial com contrato rescindido." << true;
        QTest::newRow("operator without access")
            << "0001"
            << "BETO" << false << "Operador BETO não tem permissão para trabalhar na filial 0001." << true;
        QTest::newRow("unknown operator")
            << "0001"
            << "ZE" << false << "Operador ZE não tem permissão para trabalhar na filial 0001." << true;
        // The unknown branch is reported before the operator is looked at.
        QTest::newRow("unknown before access") << "0009"
                                               << "BETO" << true << "Filial não cadastrada." << true;
        // A quote in a code is data, never SQL.
        QTest::newRow("quote in code")
            << "O'BR"
            << "ANA" << false << "Operador ANA não tem permissão para trabalhar na filial O'BR." << true;
        QTest::newRow("injection attempt") << "' OR '1'='1"
                                           << "ANA" << false << "Filial não cadastrada." << true;
    }

    void validaFilial() {
        QFETCH(QString, branch);
        QFETCH(QString, op);
        QFETCH(bool, strict);
        QFETCH(QString, result);
        QFETCH(bool, refused);
        try {
            const QString name = Consiste::ValidaFilial(branch, op, strict);
            QVERIFY2(!refused, qPrintable("accepted: " + name));
            QCOMPARE(name, result);
        } catch (const EValidacao& e) {
            QVERIFY2(refused, qPrintable("refused: " + e.Message()));
            QCOMPARE(e.Message(), result);
        }
    }

    void validaFilialWithoutOperator() {
        QVERIFY_THROWS_EXCEPTION(EValidacao, Consiste::ValidaFilial("0001", "", false));
    }

    void dataProc() {
        QCOMPARE(Balvora::DataProc("0001"), QDate(2026, 12, 8));
        QCOMPARE(Balvora::DataProc("2"), QDate(2026, 11, 30));
        QVERIFY(Balvora::DataProc("0003").isNull()); // no processing date yet
        QVERIFY(Balvora::DataProc("0009").isNull()); // unknown branch
        QVERIFY(Balvora::DataProc("").isNull());
    }

    // The wildcard parameter: "T" lists every row whatever the code holds, anything else only
    // the row of that exact code. The same parameter may appear several times in a text.
    void wildcardFilial() {
        TADOIBQuery q;
        q.SQL = lines("SELECT\n   CDFILIAL,\n   NMFILIAL,\n   IDCNTRRESC\nFROM\n   FILIAL\nWHERE\n"
                      "   ((CDFILIAL = :P_CDFILIAL) OR (:P_TCDFILIAL = 'T'))\nORDER BY\n   CDFILIAL");
        q.SQL_ORACLE = QStringList{"SELECT 'wrong dialect' FROM DUAL"};
        q.Query()->AddField("CDFILIAL", ftString, 4)->SetDisplayLabel("Código");
        q.Query()->AddField("NMFILIAL", ftString, 30)->SetDisplayLabel("Nome");
        q.Query()->AddField("IDCNTRRESC", ftString, 1)->SetVisible(false);

        q.ParamByName("P_CDFILIAL").SetAsString("N");
        q.ParamByName("P_TCDFILIAL").SetAsString("T");
        q.Open();
        QCOMPARE(column(q, "CDFILIAL"), (QStringList{"0001", "0002", "0003", "O'BR"}));
        QCOMPARE(q.RecordCount(), 4);

        q.Close();
        QVERIFY(!q.Active());
        q.ParamByName(":P_CDFILIAL").SetAsString("0002");
        q.ParamByName("p_tcdfilial").SetAsString("N");
        q.Open();
        QCOMPARE(q.RecordCount(), 1);
        QCOMPARE(q.FieldByName("NMFILIAL")->AsString(), QString("Clínica Sul"));
        QCOMPARE(q.FieldByName("IDCNTRRESC")->AsString(), QString("S"));

        // Reopening without closing runs the query again with the current values.
        q.ParamByName("P_CDFILIAL").SetAsString("0009");
        q.Open();
        QVERIFY(q.IsEmpty());
        QVERIFY(q.Eof());
    }

    void wildcardServico() {
        TADOIBQuery q;
        defineServico(q);
        q.ParamByName("P_CDFILIAL").SetAsString("0001");
        q.ParamByName("P_CDSERVFILI").SetAsString("x");
        q.ParamByName("P_TCDSERVFILI").SetAsString("T");
        q.Open();
        // Only type-"D" services of the branch; the standardisation service never shows.
        QCOMPARE(column(q, "CDSERVFILI"), (QStringList{"ENF", "PED  ", "UTI"}));
        // Values come as the database holds them, trailing blanks included.
        q.First();
        q.Next();
        QCOMPARE(q.FieldByName("NMSERVICO")->AsString(), QString("Pediatria "));

        q.ParamByName("P_CDSERVFILI").SetAsString("UTI");
        q.ParamByName("P_TCDSERVFILI").SetAsString("X");
        q.Open();
        QCOMPARE(column(q, "NMSERVICO"), QStringList{"UTI Adulto"});

        q.ParamByName("P_CDSERVFILI").SetAsString("PAD");
        q.Open();
        QVERIFY(q.IsEmpty()); // type "P" even when its code is given exactly
    }

    void wildcardDieta() {
        TADOIBQuery q;
        q.SQL =
            lines("SELECT\n   DP.CDDIETPAD,\n   DP.DSDIETPAD\nFROM\n   DIETPADR DP,\n   DIETSERV DS\nWHERE\n"
                  "   DS.CDFILIAL    = :P_CDFILIAL   AND\n   DS.CDSERVFILI  = :P_CDSERVFILI AND\n"
                  "   DP.CDDIETPAD   = DS.CDDIETPAD  AND\n"
                  "   ((DP.CDDIETPAD = :P_CDDIETPAD) OR (:P_TCDDIETPAD = 'T')) AND\n"
                  "   DP.IDTIPODIET  = 'S'\nORDER BY\n   DP.CDDIETPAD\n ");
        q.Query()->AddField("CDDIETPAD", ftString, 4);
        q.Query()->AddField("DSDIETPAD", ftString, 50);
        q.ParamByName("P_CDFILIAL").SetAsString("0001");
        q.ParamByName("P_CDSERVFILI").SetAsString("UTI");
        q.ParamByName("P_CDDIETPAD").SetAsString("x");
        q.ParamByName("P_TCDDIETPAD").SetAsString("T");
        q.Open();
        QCOMPARE(column(q, "CDDIETPAD"), (QStringList{"BRA", "LIQ"})); // ESP is not of type "S"

        q.ParamByName("P_CDDIETPAD").SetAsString("GER"); // a standard diet, but not of this service
        q.ParamByName("P_TCDDIETPAD").SetAsString("N");
        q.Open();
        QVERIFY(q.IsEmpty());
        q.ParamByName("P_CDDIETPAD").SetAsString("ESP");
        q.Open();
        QVERIFY(q.IsEmpty());
    }

    // Defined fields cut longer values to their size; the screen's labels and visibility stay.
    void definedFieldsSizeAndLabels() {
        TADOIBQuery q;
        defineServico(q);
        q.Query()->FieldByName("NMSERVICO")->SetDisplayLabel("Nome");
        q.SQL = QStringList{"SELECT CDFILIAL, CDSERVFILI, NMSERVICO || ' de Adultos e Idosos' AS NMSERVICO"
                            " FROM SERVICO WHERE CDFILIAL = :P_CDFILIAL AND CDSERVFILI = 'UTI'"};
        q.ParamByName("P_CDFILIAL").SetAsString("0001");
        q.Open();
        QCOMPARE(q.FieldByName("NMSERVICO")->AsString(), QString("UTI Adulto de Adultos e Idosos"));
        QCOMPARE(q.FieldByName("NMSERVICO")->DisplayLabel(), QString("Nome"));
        QVERIFY(!q.FieldByName("CDFILIAL")->Visible());

        TADOIBQuery shortName;
        shortName.SQL = q.SQL;
        shortName.Query()->AddField("NMSERVICO", ftString, 10);
        shortName.ParamByName("P_CDFILIAL").SetAsString("0001");
        shortName.Open();
        QCOMPARE(shortName.FieldByName("NMSERVICO")->AsString(), QString("UTI Adulto"));
    }

    void undefinedFieldsComeFromTheResult() {
        TADOIBQuery q;
        q.SQL = QStringList{"SELECT CDFILIAL, NMFILIAL, DTPROC FROM FILIAL WHERE CDFILIAL = :P_CDFILIAL"};
        q.ParamByName("P_CDFILIAL").SetAsString("0001");
        q.Open();
        QCOMPARE(q.RecordCount(), 1);
        QCOMPARE(q.FieldByName("NMFILIAL")->AsString(), QString("Hospital Central"));
        QVERIFY(q.Query()->FieldByName("NMFILIAL")->Size() >= 16);
    }

    void faults() {
        TADOIBQuery q;
        q.SQL = QStringList{"SELECT CDFILIAL FROM FILIAL WHERE CDFILIAL = :P_CDFILIAL"};
        // A parameter the text does not use.
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, q.ParamByName("P_TCDFILIAL"));
        // A defined field the result lacks: a clear error and the set stays closed.
        q.Query()->AddField("NMFILIAL", ftString, 30);
        q.ParamByName("P_CDFILIAL").SetAsString("0001");
        try {
            q.Open();
            QFAIL("opened without NMFILIAL");
        } catch (const EDatabaseError& e) {
            QVERIFY2(e.Message().contains("NMFILIAL"), qPrintable(e.Message()));
        }
        QVERIFY(!q.Active());

        TADOIBQuery bad;
        bad.SQL = QStringList{"SELECT NOPE FROM NOWHERE"};
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, bad.Open());

        TADOIBQuery notNumber;
        notNumber.SQL = QStringList{"SELECT NMFILIAL FROM FILIAL"};
        notNumber.Query()->AddField("NMFILIAL", ftFloat);
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, notNumber.Open());
    }

    void parameterScanning() {
        QCOMPARE(TADOIBQuery::ParamNames(
                     "A = :P_X OR :p_x = 'T' AND B = ':P_NOT' -- :P_NEITHER\n AND C = :P_Y::text"),
                 (QStringList{"P_X", "P_X", "P_Y"}));
    }
};

QTEST_GUILESS_MAIN(TestLookups)
#include "tst_lookups.moc"
