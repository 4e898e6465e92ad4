#pragma once

// The lookup tables as the suite database holds them, with a small known data set, for tests that
// run the host's queries on SQLite and on PostgreSQL alike.

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <stdexcept>

namespace kvo::test {

inline void execAll(QSqlDatabase db, const QStringList& statements) {
    for (const QString& sql : statements) {
        QSqlQuery q(db);
        if (!q.exec(sql)) throw std::runtime_error((sql + ": " + q.lastError().text()).toStdString());
    }
}

inline void createLookupTables(QSqlDatabase db, bool postgres) {
    const QString date = postgres ? QStringLiteral("DATE") : QStringLiteral("TEXT");
    execAll(
        db,
        {
            QStringLiteral("CREATE TABLE FILIAL (CDFILIAL VARCHAR(4) NOT NULL PRIMARY KEY, NMFILIAL "
                           "VARCHAR(30) NOT NULL,"
                           " IDCNTRRESC VARCHAR(1) NOT NULL DEFAULT 'N', DTPROC %1)")
                .arg(date),
            QStringLiteral(
                "CREATE TABLE SERVICO (CDFILIAL VARCHAR(4) NOT NULL, CDSERVFILI VARCHAR(5) NOT NULL,"
                " NMSERVICO VARCHAR(40) NOT NULL, IDTIPOSERV VARCHAR(1) NOT NULL, PRIMARY KEY (CDFILIAL, "
                "CDSERVFILI))"),
            QStringLiteral("CREATE TABLE DIETPADR (CDDIETPAD VARCHAR(4) NOT NULL PRIMARY KEY, DSDIETPAD "
                           "VARCHAR(50) NOT NULL,"
                           " IDTIPODIET VARCHAR(1) NOT NULL)"),
            QStringLiteral(
                "CREATE TABLE DIETSERV (CDFILIAL VARCHAR(4) NOT NULL, CDSERVFILI VARCHAR(5) NOT NULL,"
                " CDDIETPAD VARCHAR(4) NOT NULL, PRIMARY KEY (CDFILIAL, CDSERVFILI, CDDIETPAD))"),
            QStringLiteral("CREATE TABLE OPERADOR (CDOPERADOR VARCHAR(12) NOT NULL PRIMARY KEY, NMOPERADOR "
                           "VARCHAR(40))"),
            QStringLiteral(
                "CREATE TABLE OPERFILI (CDOPERADOR VARCHAR(12) NOT NULL, CDFILIAL VARCHAR(4) NOT NULL,"
                " PRIMARY KEY (CDOPERADOR, CDFILIAL))"),
            // 0002 is rescinded; 0003 has no processing date; O'BR is a code with a quote in it.
            QStringLiteral("INSERT INTO FILIAL VALUES ('0001','Hospital Central','N','2026-12-08'),"
                           " ('0002','Clínica Sul','S','2026-11-30'), ('0003','Filial Nova','N',NULL),"
                           " ('O''BR','Aspas','N','2026-01-02')"),
            QStringLiteral("INSERT INTO OPERADOR VALUES ('ANA','Ana'),('BETO','Beto')"),
            QStringLiteral(
                "INSERT INTO OPERFILI VALUES ('ANA','0001'),('ANA','0002'),('ANA','0003'),('BETO','0002')"),
            QStringLiteral(
                "INSERT INTO SERVICO VALUES ('0001','UTI','UTI Adulto','D'), ('0001','ENF','Enfermaria','D'),"
                " ('0001','PAD','Padronização','P'), ('0001','PED  ','Pediatria ','D'), ('0002','UTI','UTI "
                "Sul','D')"),
            QStringLiteral("INSERT INTO DIETPADR VALUES ('LIQ','Líquida','S'), ('BRA','Branda','S'), "
                           "('ESP','Especial','E'),"
                           " ('GER','Geral','S')"),
            QStringLiteral("INSERT INTO DIETSERV VALUES ('0001','UTI','LIQ'), ('0001','UTI','BRA'), "
                           "('0001','UTI','ESP'),"
                           " ('0001','ENF','GER')"),
        });
}

} // namespace kvo::test
