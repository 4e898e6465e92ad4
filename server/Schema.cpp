#include "Schema.h"

#include "Database.h"

#include <QSqlQuery>
#include <QStringList>

namespace kvo::server {

namespace {

// One migration: statements with type placeholders {DATE}, {NUM}, {STAMP}, {SERIAL} resolved per
// dialect, then those of one dialect only.
struct Migration {
    int version;
    QStringList statements;
    QStringList sqliteOnly = {};
    QStringList postgresOnly = {};
};

const QList<Migration>& migrations() {
    static const QList<Migration> list = {
        {1,
         {
             "CREATE TABLE FILIAL (CDFILIAL VARCHAR(4) NOT NULL PRIMARY KEY, NMFILIAL VARCHAR(30) NOT NULL,"
             " IDCNTRRESC VARCHAR(1) NOT NULL DEFAULT 'N', DTPROC {DATE})",
             "CREATE TABLE SERVICO (CDFILIAL VARCHAR(4) NOT NULL, CDSERVFILI VARCHAR(5) NOT NULL,"
             " NMSERVICO VARCHAR(40) NOT NULL, IDTIPOSERV VARCHAR(1) NOT NULL,"
             " PRIMARY KEY (CDFILIAL, CDSERVFILI))",
             "CREATE TABLE DIETPADR (CDDIETPAD VARCHAR(4) NOT NULL PRIMARY KEY, DSDIETPAD VARCHAR(50) NOT "
             "NULL,"
             " IDTIPODIET VARCHAR(1) NOT NULL)",
             "CREATE TABLE DIETSERV (CDFILIAL VARCHAR(4) NOT NULL, CDSERVFILI VARCHAR(5) NOT NULL,"
             " CDDIETPAD VARCHAR(4) NOT NULL, PRIMARY KEY (CDFILIAL, CDSERVFILI, CDDIETPAD))",
             "CREATE TABLE CARDAPIO (CDFILIAL VARCHAR(4) NOT NULL, DTCARDAPIO {DATE} NOT NULL,"
             " NRCARDAPIO VARCHAR(10), DTMESCARD {DATE}, PRIMARY KEY (CDFILIAL, DTCARDAPIO))",
             "CREATE TABLE CARDADIA (CDFILIAL VARCHAR(4) NOT NULL, DTCARDAPIO {DATE} NOT NULL,"
             " CDSERVFILI VARCHAR(5) NOT NULL, CDDIETPAD VARCHAR(4) NOT NULL, NRCARDAPIO VARCHAR(10),"
             " DTMESCARD {DATE},"
             " QTCOMEFETCAR {NUM} NOT NULL DEFAULT 0, QTCLIEFETCAR {NUM} NOT NULL DEFAULT 0,"
             " QTFUNEFETCAR {NUM} NOT NULL DEFAULT 0, QTDOAEFETCAR {NUM} NOT NULL DEFAULT 0,"
             " QTCOMESTICAR {NUM} NOT NULL DEFAULT 0, QTCLIESTICAR {NUM} NOT NULL DEFAULT 0,"
             " QTFUNESTICAR {NUM} NOT NULL DEFAULT 0, QTDOAESTICAR {NUM} NOT NULL DEFAULT 0,"
             " QTCOMEFETRI {NUM} NOT NULL DEFAULT 0, QTCOMEFETSL {NUM} NOT NULL DEFAULT 0,"
             " CDOPERADOR VARCHAR(12), DTULTATU {STAMP},"
             " PRIMARY KEY (CDFILIAL, DTCARDAPIO, CDSERVFILI, CDDIETPAD))",
             "CREATE TABLE PARAMPLANEJA (CDFILIAL VARCHAR(4) NOT NULL PRIMARY KEY, IDBLQEFEDIAFECH "
             "VARCHAR(20),"
             " NRDIAANTDTPROC {NUM}, IDPERLEFESRETPLA VARCHAR(1), IDPEREFEPOSDTPR VARCHAR(1))",
             "CREATE TABLE PARAMGERAL (IDCONSMINEFE VARCHAR(1))",
             "CREATE TABLE CLIENTE (CDCLIENTE VARCHAR(21) NOT NULL PRIMARY KEY, NMRAZSOCCLIE VARCHAR(50) NOT "
             "NULL)",
             "CREATE TABLE CLIESERV (CDFILIAL VARCHAR(4) NOT NULL, CDSERVFILI VARCHAR(5) NOT NULL,"
             " CDCLIENTE VARCHAR(21) NOT NULL, PRIMARY KEY (CDFILIAL, CDSERVFILI, CDCLIENTE))",
             "CREATE TABLE EFETDIET (CDFILIAL VARCHAR(4) NOT NULL, CDSERVFILI VARCHAR(5) NOT NULL,"
             " CDCLIENTE VARCHAR(21) NOT NULL, DTEFETDIET {DATE} NOT NULL, CDDIETPAD VARCHAR(4) NOT NULL,"
             " NRSEQEFETDIE VARCHAR(10) NOT NULL,"
             " QTCOMEFETDIE {NUM} NOT NULL DEFAULT 0, QTFUNEFETDIE {NUM} NOT NULL DEFAULT 0,"
             " QTDOAEFETDIE {NUM} NOT NULL DEFAULT 0, DTULTATU {STAMP},"
             " PRIMARY KEY (CDFILIAL, CDSERVFILI, CDCLIENTE, DTEFETDIET, CDDIETPAD))",
             "CREATE INDEX EFETDIET_DIA ON EFETDIET (CDFILIAL, DTEFETDIET, CDSERVFILI, CDDIETPAD)",
             "CREATE TABLE APURACLIE (CDFILIAL VARCHAR(4) NOT NULL, CDCLIENTE VARCHAR(21) NOT NULL,"
             " DTAPURACAO {DATE} NOT NULL, IDIMPEFETKVO VARCHAR(1) NOT NULL DEFAULT 'S',"
             " PRIMARY KEY (CDFILIAL, CDCLIENTE, DTAPURACAO))",
             "CREATE TABLE RETIRADA (CDFILIAL VARCHAR(4) NOT NULL, DTRETIRADA {DATE} NOT NULL,"
             " CDSERVFILI VARCHAR(5) NOT NULL, CDPRODUTO VARCHAR(12) NOT NULL, QTRETIRADA {NUM} NOT NULL "
             "DEFAULT 0,"
             " PRIMARY KEY (CDFILIAL, DTRETIRADA, CDSERVFILI, CDPRODUTO))",
             "CREATE TABLE CONTALIM (CDFILIAL VARCHAR(4) NOT NULL, DTCONTALIM {DATE} NOT NULL,"
             " CDSERVFILI VARCHAR(5) NOT NULL, CDDIETPAD VARCHAR(4) NOT NULL,"
             " QTCLIENTE {NUM} NOT NULL DEFAULT 0, QTFUNCIONARIO {NUM} NOT NULL DEFAULT 0,"
             " QTDOACAO {NUM} NOT NULL DEFAULT 0, PRIMARY KEY (CDFILIAL, DTCONTALIM, CDSERVFILI, CDDIETPAD))",
             "CREATE TABLE OPERADOR (CDOPERADOR VARCHAR(12) NOT NULL PRIMARY KEY, NMOPERADOR VARCHAR(40) NOT "
             "NULL)",
             "CREATE TABLE OPERFILI (CDOPERADOR VARCHAR(12) NOT NULL, CDFILIAL VARCHAR(4) NOT NULL,"
             " PRIMARY KEY (CDOPERADOR, CDFILIAL))",
             // Counters for numbers the server hands out (NRSEQEFETDIE).
             "CREATE TABLE KVOSEQUENCIA (NMSEQUENCIA VARCHAR(30) NOT NULL PRIMARY KEY, NRULTIMO INTEGER NOT "
             "NULL)",
             "INSERT INTO KVOSEQUENCIA (NMSEQUENCIA, NRULTIMO) VALUES ('NRSEQEFETDIE', 0)",
         }},
        // The change history: one record per row a save changed, never updated nor deleted.
        {2,
         {
             "CREATE TABLE KVOHISTORICO (NRHISTORICO {SERIAL}, DTHISTORICO VARCHAR(19) NOT NULL,"
             " NMMETODO VARCHAR(30) NOT NULL, NMTABELA VARCHAR(30) NOT NULL, DSCHAVE VARCHAR(120) NOT NULL,"
             " IDOPERACAO VARCHAR(1) NOT NULL, CDOPERADOR VARCHAR(12), DSENDERECO VARCHAR(64),"
             " DSANTES TEXT, DSDEPOIS TEXT)",
             "CREATE INDEX KVOHISTORICO_CHAVE ON KVOHISTORICO (NMTABELA, DSCHAVE, NRHISTORICO)",
         },
         {
             "CREATE TRIGGER KVOHISTORICO_SEM_ALTERACAO BEFORE UPDATE ON KVOHISTORICO"
             " BEGIN SELECT RAISE(ABORT, 'O histórico de alterações não pode ser alterado.'); END",
             "CREATE TRIGGER KVOHISTORICO_SEM_EXCLUSAO BEFORE DELETE ON KVOHISTORICO"
             " BEGIN SELECT RAISE(ABORT, 'O histórico de alterações não pode ser excluído.'); END",
         },
         {
             "CREATE FUNCTION KVOHISTORICO_IMUTAVEL() RETURNS trigger LANGUAGE plpgsql AS"
             " $$ BEGIN RAISE EXCEPTION 'O histórico de alterações não pode ser alterado nem excluído.'; END "
             "$$",
             "CREATE TRIGGER KVOHISTORICO_SEM_ALTERACAO BEFORE UPDATE OR DELETE ON KVOHISTORICO"
             " FOR EACH ROW EXECUTE FUNCTION KVOHISTORICO_IMUTAVEL()",
             "CREATE TRIGGER KVOHISTORICO_SEM_TRUNCATE BEFORE TRUNCATE ON KVOHISTORICO"
             " FOR EACH STATEMENT EXECUTE FUNCTION KVOHISTORICO_IMUTAVEL()",
         }},
    };
    return list;
}

QString resolve(QString sql, Dialect d) {
    const bool pg = d == Dialect::PostgreSQL;
    sql.replace(QLatin1String("{DATE}"), pg ? QLatin1String("DATE") : QLatin1String("TEXT"));
    sql.replace(QLatin1String("{NUM}"), QLatin1String("DOUBLE PRECISION"));
    sql.replace(QLatin1String("{STAMP}"), pg ? QLatin1String("TIMESTAMP") : QLatin1String("TEXT"));
    sql.replace(QLatin1String("{SERIAL}"),
                pg ? QLatin1String("BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY")
                   : QLatin1String("INTEGER PRIMARY KEY AUTOINCREMENT"));
    return sql;
}

void ensureVersionTable(QSqlDatabase& db) {
    if (db.tables().contains(QStringLiteral("kvoversao"), Qt::CaseInsensitive)) return;
    execSql(db, QStringLiteral("CREATE TABLE IF NOT EXISTS KVOVERSAO (NRVERSAO INTEGER NOT NULL PRIMARY KEY,"
                               " DTAPLICACAO VARCHAR(30))"));
}

} // namespace

int Schema::latestVersion() {
    return migrations().last().version;
}

int Schema::currentVersion(QSqlDatabase& db) {
    if (!db.tables().contains(QStringLiteral("kvoversao"), Qt::CaseInsensitive)) return 0;
    QSqlQuery q = execSql(db, QStringLiteral("SELECT MAX(NRVERSAO) FROM KVOVERSAO"));
    return q.next() ? q.value(0).toInt() : 0;
}

void Schema::migrate(QSqlDatabase& db) {
    ensureVersionTable(db);
    const Dialect d = dialectOf(db);
    for (const Migration& m : migrations()) {
        if (m.version <= currentVersion(db)) continue;
        Transaction tx(db);
        for (const QString& s : m.statements + (d == Dialect::PostgreSQL ? m.postgresOnly : m.sqliteOnly))
            execSql(db, resolve(s, d));
        execSql(db, QStringLiteral("INSERT INTO KVOVERSAO (NRVERSAO, DTAPLICACAO) VALUES (?, ?)"),
                {m.version, QDateTime::currentDateTimeUtc().toString(Qt::ISODate)});
        tx.commit();
    }
}

void Schema::check(QSqlDatabase& db) {
    const int v = currentVersion(db);
    if (v == latestVersion()) return;
    if (v > latestVersion())
        throw ServerError(
            QStringLiteral("O banco de dados está na versão %1, mais nova que a deste servidor (%2).")
                .arg(v)
                .arg(latestVersion()));
    throw ServerError(QStringLiteral("O banco de dados está na versão %1; a versão esperada é %2. "
                                     "Execute kvo-appserver --init para atualizá-lo.")
                          .arg(v)
                          .arg(latestVersion()));
}

} // namespace kvo::server
