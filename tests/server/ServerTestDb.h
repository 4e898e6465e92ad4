#pragma once

// A migrated suite database with a small known data set, on SQLite (a temporary file) or on the
// throwaway PostgreSQL cluster, for the server tests.

#include <QDate>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUuid>
#include <memory>

#include "server/Database.h"
#include "server/Schema.h"
#include "support/PgTest.h"

namespace kvo::test {

class ServerTestDb {
public:
    explicit ServerTestDb(bool postgres) {
        if (postgres) {
            m_pg = std::make_unique<PgTestDatabase>(QStringLiteral("kvosrv"));
            m_connection = m_pg->connectionString();
        } else {
            m_connection = QStringLiteral("sqlite:") + m_dir.filePath(QStringLiteral("suite.db"));
        }
        m_name = QStringLiteral("srvtest-") + QUuid::createUuid().toString(QUuid::Id128);
        m_db = server::openDatabase(server::DbSpec::parse(m_connection), m_name);
        server::Schema::migrate(m_db);
    }
    ~ServerTestDb() {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
        for (const QString& n : m_extra)
            QSqlDatabase::removeDatabase(n);
    }

    const QString& connection() const { return m_connection; }
    QSqlDatabase& db() { return m_db; }

    // A second, independent connection (another server worker, another instance).
    QSqlDatabase another() {
        const QString n = m_name + QStringLiteral("-") + QString::number(m_extra.size());
        m_extra << n;
        return server::openDatabase(server::DbSpec::parse(m_connection), n);
    }

    void exec(const QString& sql, const QVariantList& args = {}) { server::execSql(m_db, sql, args); }
    QVariant scalar(const QString& sql, const QVariantList& args = {}) {
        QSqlQuery q = server::execSql(m_db, sql, args);
        return q.next() ? q.value(0) : QVariant();
    }

    static QVariant d(int y, int m, int day) { return server::dateParam(QDate(y, m, day)); }

    // Processing date 2026-03-20 for branch 0001: closing on with 3 open days, withdrawal guard on,
    // later dates refused. 0002 is rescinded, allows later dates, never closes. 0003 has no
    // planning parameters. DEMO works on 0001 and 0002, ZE on 0002 only.
    void seed() {
        exec("INSERT INTO PARAMGERAL (IDCONSMINEFE) VALUES ('S')");
        exec("INSERT INTO FILIAL VALUES ('0001', 'Filial Um', 'N', ?)", {d(2026, 3, 20)});
        exec("INSERT INTO FILIAL VALUES ('0002', 'Filial Dois', 'S', ?)", {d(2026, 3, 20)});
        exec("INSERT INTO FILIAL VALUES ('0003', 'Filial Três', 'N', NULL)");
        exec("INSERT INTO PARAMPLANEJA VALUES ('0001', 'S', 3, 'N', 'N')");
        exec("INSERT INTO PARAMPLANEJA VALUES ('0002', 'N', 0, 'S', 'S')");
        exec("INSERT INTO SERVICO VALUES ('0001', '00001', 'UTI Adulto', 'D')");
        exec("INSERT INTO SERVICO VALUES ('0001', '00002', 'Pediatria', 'D')");
        exec("INSERT INTO SERVICO VALUES ('0001', '00009', 'Padronização', 'P')");
        exec("INSERT INTO SERVICO VALUES ('0002', '00001', 'Maternidade', 'D')");
        exec("INSERT INTO DIETPADR VALUES ('0001', 'Geral', 'S')");
        exec("INSERT INTO DIETPADR VALUES ('0002', 'Branda', 'S')");
        exec("INSERT INTO DIETPADR VALUES ('0003', 'Pastosa', 'S')");
        exec("INSERT INTO DIETPADR VALUES ('9001', 'Experimental', 'E')");
        for (const char* link : {"00001|0001", "00001|0002", "00001|9001", "00002|0001", "00009|0001"}) {
            const QStringList p = QString::fromLatin1(link).split(QLatin1Char('|'));
            exec("INSERT INTO DIETSERV VALUES ('0001', ?, ?)", {p[0], p[1]});
        }
        exec("INSERT INTO DIETSERV VALUES ('0002', '00001', '0001')");
        for (int day = 15; day <= 22; ++day)
            exec("INSERT INTO CARDAPIO VALUES ('0001', ?, ?, ?)",
                 {d(2026, 3, day), QStringLiteral("M2603%1").arg(day), d(2026, 3, 1)});
        auto row = [&](const char* s, const char* diet, double cli, double fun, double doa) {
            exec("INSERT INTO CARDADIA (CDFILIAL, DTCARDAPIO, CDSERVFILI, CDDIETPAD, NRCARDAPIO, DTMESCARD,"
                 " QTCOMEFETCAR, QTCLIEFETCAR, QTFUNEFETCAR, QTDOAEFETCAR, QTCOMESTICAR, QTCLIESTICAR,"
                 " QTFUNESTICAR, QTDOAESTICAR, QTCOMEFETRI, QTCOMEFETSL, CDOPERADOR)"
                 " VALUES ('0001', ?, ?, ?, 'M260318', ?, ?, ?, ?, ?, 12, 8, 3, 1, ?, ?, 'ANA')",
                 {d(2026, 3, 18), s, diet, d(2026, 3, 1), cli + fun + doa, cli, fun, doa, cli + fun + doa,
                  cli + fun + doa});
        };
        row("00001", "0001", 7, 2, 1);
        row("00001", "0002", 5, 0, 0);
        row("00002", "0001", 3, 0, 0);
        exec("INSERT INTO CLIENTE VALUES ('C1', 'Beta Saúde')");
        exec("INSERT INTO CLIENTE VALUES ('C2', 'Alfa Convênios')");
        exec("INSERT INTO CLIENTE VALUES ('C3', 'Gama Assistência')");
        exec("INSERT INTO CLIESERV VALUES ('0001', '00001', 'C1')");
        exec("INSERT INTO CLIESERV VALUES ('0001', '00001', 'C2')");
        exec("INSERT INTO CLIESERV VALUES ('0001', '00002', 'C3')");
        auto share = [&](const char* cl, const char* diet, const char* seq, double c, double f, double dd) {
            exec("INSERT INTO EFETDIET (CDFILIAL, CDSERVFILI, CDCLIENTE, DTEFETDIET, CDDIETPAD, NRSEQEFETDIE,"
                 " QTCOMEFETDIE, QTFUNEFETDIE, QTDOAEFETDIE) VALUES ('0001', '00001', ?, ?, ?, ?, ?, ?, ?)",
                 {cl, d(2026, 3, 18), diet, seq, c, f, dd});
        };
        share("C1", "0001", "0000000001", 4, 1, 1);
        share("C2", "0001", "0000000002", 3, 1, 0);
        share("C1", "0002", "0000000003", 4, 0, 0); // 4 of the row's 5 clients: a disagreement
        exec("UPDATE KVOSEQUENCIA SET NRULTIMO = 3");
        exec("INSERT INTO APURACLIE VALUES ('0001', 'C2', ?, 'S')", {d(2026, 3, 17)});
        exec("INSERT INTO APURACLIE VALUES ('0001', 'C1', ?, 'N')", {d(2026, 3, 17)});
        exec("INSERT INTO RETIRADA VALUES ('0001', ?, '00001', 'ARROZ', 5)", {d(2026, 3, 18)});
        exec("INSERT INTO CONTALIM VALUES ('0001', ?, '00001', '0001', 6, 2, 1)", {d(2026, 3, 19)});
        exec("INSERT INTO CONTALIM VALUES ('0001', ?, '00001', '0002', 2, 0, 0)", {d(2026, 3, 19)});
        exec("INSERT INTO CONTALIM VALUES ('0001', ?, '00002', '0001', 1, 1, 1)", {d(2026, 3, 19)});
        exec("INSERT INTO CONTALIM VALUES ('0001', ?, '00009', '0001', 9, 9, 9)", {d(2026, 3, 19)});
        exec("INSERT INTO OPERFILI VALUES ('DEMO', '0001')");
        exec("INSERT INTO OPERFILI VALUES ('DEMO', '0002')");
        exec("INSERT INTO OPERFILI VALUES ('CARGA', '0001')");
        exec("INSERT INTO OPERFILI VALUES ('ZE', '0002')");
    }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<PgTestDatabase> m_pg;
    QString m_connection, m_name;
    QSqlDatabase m_db;
    QStringList m_extra;
};

} // namespace kvo::test
