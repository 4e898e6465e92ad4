#include "DemoData.h"

#include "Database.h"
#include "ServerErrors.h"

#include <QRandomGenerator>
#include <QStringList>

namespace kvo::server {

namespace {

struct Branch {
    const char* code;
    const char* name;
    bool rescinded;
    int procOffset; // processing date relative to today
    const char* closing;
    double daysOpen;
    const char* withdrawalGuard; // IDPERLEFESRETPLA: "N" asks the server before an edit
    const char* laterDates;      // IDPEREFEPOSDTPR: "N" refuses dates after the processing date
};

const Branch kBranches[] = {
    {"0001", "Hospital Santa Clara", false, 0, "S", 3, "N", "S"},
    {"0002", "Hospital São Lucas", false, 0, "N", 0, "S", "N"},
    {"0003", "Clínica Bom Retiro", true, -20, "S", 7, "S", "N"},
};

const char* const kServices[] = {
    "UTI Adulto", "UTI Neonatal", "Pediatria", "Maternidade", "Clínica Médica", "Clínica Cirúrgica",
    "Ortopedia",  "Cardiologia",  "Oncologia", "Neurologia",  "Pronto-Socorro", "Hemodiálise",
};

const char* const kDiets[] = {
    "Geral",
    "Branda",
    "Pastosa",
    "Líquida",
    "Líquida Pastosa",
    "Hipossódica",
    "Hipoglicídica",
    "Hipolipídica",
    "Hiperproteica",
    "Hipoproteica",
    "Laxativa",
    "Obstipante",
    "Sem Resíduos",
    "Renal",
    "Hepática",
    "Cardíaca",
    "Hipercalórica",
    "Hipocalórica",
    "Sem Lactose",
    "Sem Glúten",
    "Vegetariana",
    "Enteral Padrão",
    "Enteral Hiperproteica",
    "Pediátrica",
    "Lactente",
    "Gestante",
    "Pós-Operatória",
    "Neutropênica",
    "Leve",
    "Hipossódica Branda",
};

const char* const kClientFirst[] = {
    "Secretaria Municipal de Saúde de", "Fundação Hospitalar de", "Associação Beneficente de",
    "Instituto de Previdência de",      "Cooperativa Médica de",
};
const char* const kClientCity[] = {
    "Campinas", "Santos", "Sorocaba", "Ribeirão Preto", "Bauru", "Jundiaí", "Piracicaba", "Franca",
};

const char* const kProducts[] = {"ARROZ01", "FEIJAO01", "CARNE01", "FRANGO01", "LEITE01", "PAO01", "FRUTA01"};

} // namespace

DemoSummary seedDemo(QSqlDatabase& db, const QDate& today) {
    {
        QSqlQuery q = execSql(db, QStringLiteral("SELECT COUNT(*) FROM FILIAL"));
        if (q.next() && q.value(0).toInt() > 0)
            throw ServerError(QStringLiteral(
                "O banco de dados já tem filiais; os dados de demonstração não foram gravados."));
    }
    DemoSummary sum;
    QRandomGenerator rnd(20261208u);
    auto pick = [&](int lo, int hi) { return int(rnd.bounded(lo, hi + 1)); };

    Transaction tx(db);
    execSql(db, QStringLiteral("DELETE FROM PARAMGERAL"));
    execSql(db, QStringLiteral("INSERT INTO PARAMGERAL (IDCONSMINEFE) VALUES ('N')"));

    // Diets: 30 standard ones, plus one that is not standard and must never be offered.
    QStringList dietCodes;
    for (int i = 0; i < 30; ++i) {
        const QString code = QStringLiteral("%1").arg(i + 1, 4, 10, QLatin1Char('0'));
        dietCodes << code;
        execSql(db,
                QStringLiteral("INSERT INTO DIETPADR (CDDIETPAD, DSDIETPAD, IDTIPODIET) VALUES (?, ?, 'S')"),
                {code, QString::fromUtf8(kDiets[i])});
    }
    execSql(db, QStringLiteral("INSERT INTO DIETPADR (CDDIETPAD, DSDIETPAD, IDTIPODIET) VALUES ('9001', "
                               "'Experimental (não padrão)', 'E')"));
    sum.diets = 30;

    QStringList clients;
    for (int i = 0; i < 40; ++i) {
        const QString code = QStringLiteral("CLI%1").arg(i + 1, 4, 10, QLatin1Char('0'));
        const QString name = QStringLiteral("%1 %2%3").arg(QString::fromUtf8(kClientFirst[i % 5]),
                                                           QString::fromUtf8(kClientCity[i / 5]),
                                                           i % 5 == 4 ? QStringLiteral(" Ltda") : QString());
        clients << code;
        execSql(db, QStringLiteral("INSERT INTO CLIENTE (CDCLIENTE, NMRAZSOCCLIE) VALUES (?, ?)"),
                {code, name});
    }
    sum.clients = 40;

    execSql(db,
            QStringLiteral(
                "INSERT INTO OPERADOR (CDOPERADOR, NMOPERADOR) VALUES ('DEMO', 'Operador de Demonstração')"));
    execSql(db,
            QStringLiteral(
                "INSERT INTO OPERADOR (CDOPERADOR, NMOPERADOR) VALUES ('MARIA', 'Maria Aparecida Souza')"));
    execSql(db, QStringLiteral(
                    "INSERT INTO OPERADOR (CDOPERADOR, NMOPERADOR) VALUES ('JOSE', 'José Carlos Pereira')"));

    QSqlQuery insRow = prepare(db, QStringLiteral("INSERT INTO CARDADIA (CDFILIAL, DTCARDAPIO, CDSERVFILI, "
                                                  "CDDIETPAD, NRCARDAPIO, DTMESCARD, QTCOMEFETCAR,"
                                                  " QTCLIEFETCAR, QTFUNEFETCAR, QTDOAEFETCAR, QTCOMESTICAR, "
                                                  "QTCLIESTICAR, QTFUNESTICAR, QTDOAESTICAR,"
                                                  " QTCOMEFETRI, QTCOMEFETSL, CDOPERADOR, DTULTATU) VALUES "
                                                  "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    QSqlQuery insShare = prepare(
        db, QStringLiteral("INSERT INTO EFETDIET (CDFILIAL, CDSERVFILI, CDCLIENTE, DTEFETDIET, CDDIETPAD, "
                           "NRSEQEFETDIE, QTCOMEFETDIE,"
                           " QTFUNEFETDIE, QTDOAEFETDIE, DTULTATU) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    QSqlQuery insWithdrawal =
        prepare(db, QStringLiteral("INSERT INTO RETIRADA (CDFILIAL, DTRETIRADA, CDSERVFILI, CDPRODUTO, "
                                   "QTRETIRADA) VALUES (?, ?, ?, ?, ?)"));
    QSqlQuery insControl =
        prepare(db, QStringLiteral("INSERT INTO CONTALIM (CDFILIAL, DTCONTALIM, CDSERVFILI, CDDIETPAD, "
                                   "QTCLIENTE, QTFUNCIONARIO, QTDOACAO)"
                                   " VALUES (?, ?, ?, ?, ?, ?, ?)"));
    qint64 seq = 0;
    const QString stamp = QDateTime(today, QTime(7, 0)).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));

    for (const Branch& b : kBranches) {
        const QString bc = QString::fromLatin1(b.code);
        const QDate proc = today.addDays(b.procOffset);
        execSql(
            db,
            QStringLiteral("INSERT INTO FILIAL (CDFILIAL, NMFILIAL, IDCNTRRESC, DTPROC) VALUES (?, ?, ?, ?)"),
            {bc, QString::fromUtf8(b.name), b.rescinded ? QStringLiteral("S") : QStringLiteral("N"),
             dateParam(proc)});
        execSql(db,
                QStringLiteral(
                    "INSERT INTO PARAMPLANEJA (CDFILIAL, IDBLQEFEDIAFECH, NRDIAANTDTPROC, IDPERLEFESRETPLA,"
                    " IDPEREFEPOSDTPR) VALUES (?, ?, ?, ?, ?)"),
                {bc, QString::fromLatin1(b.closing), b.daysOpen, QString::fromLatin1(b.withdrawalGuard),
                 QString::fromLatin1(b.laterDates)});
        execSql(db, QStringLiteral("INSERT INTO OPERFILI (CDOPERADOR, CDFILIAL) VALUES ('DEMO', ?)"), {bc});
        if (bc != QLatin1String("0002"))
            execSql(db, QStringLiteral("INSERT INTO OPERFILI (CDOPERADOR, CDFILIAL) VALUES ('MARIA', ?)"),
                    {bc});
        if (bc == QLatin1String("0002"))
            execSql(db, QStringLiteral("INSERT INTO OPERFILI (CDOPERADOR, CDFILIAL) VALUES ('JOSE', ?)"),
                    {bc});
        ++sum.branches;

        // 12 hospital services and the menu-standardisation service.
        QStringList services;
        QHash<QString, QStringList> linked, served;
        for (int s = 0; s < 12; ++s) {
            const QString sc = QStringLiteral("%1").arg(101 + s, 5, 10, QLatin1Char('0'));
            services << sc;
            execSql(db,
                    QStringLiteral("INSERT INTO SERVICO (CDFILIAL, CDSERVFILI, NMSERVICO, IDTIPOSERV) VALUES "
                                   "(?, ?, ?, 'D')"),
                    {bc, sc, QString::fromUtf8(kServices[s])});
            for (int k = 0; k < 30; ++k)
                if (k < 4 || rnd.bounded(100) < 45) {
                    linked[sc] << dietCodes.at(k);
                    execSql(db,
                            QStringLiteral(
                                "INSERT INTO DIETSERV (CDFILIAL, CDSERVFILI, CDDIETPAD) VALUES (?, ?, ?)"),
                            {bc, sc, dietCodes.at(k)});
                }
            const int first = pick(0, 39), count = pick(3, 6);
            for (int c = 0; c < count; ++c) {
                const QString cl = clients.at((first + c * 7) % 40);
                if (served[sc].contains(cl)) continue;
                served[sc] << cl;
                execSql(
                    db,
                    QStringLiteral("INSERT INTO CLIESERV (CDFILIAL, CDSERVFILI, CDCLIENTE) VALUES (?, ?, ?)"),
                    {bc, sc, cl});
            }
            ++sum.services;
        }
        execSql(db,
                QStringLiteral("INSERT INTO SERVICO (CDFILIAL, CDSERVFILI, NMSERVICO, IDTIPOSERV) VALUES (?, "
                               "'00900', ?, 'P')"),
                {bc, QStringLiteral("Padronização de Cardápios")});
        execSql(db,
                QStringLiteral(
                    "INSERT INTO DIETSERV (CDFILIAL, CDSERVFILI, CDDIETPAD) VALUES (?, '00900', '0001')"),
                {bc});

        for (int back = 59; back >= 0; --back) {
            const QDate day = proc.addDays(-back);
            const QString nr = bc + day.toString(QStringLiteral("yyMMdd"));
            const QDate month(day.year(), day.month(), 1);
            execSql(
                db,
                QStringLiteral(
                    "INSERT INTO CARDAPIO (CDFILIAL, DTCARDAPIO, NRCARDAPIO, DTMESCARD) VALUES (?, ?, ?, ?)"),
                {bc, dateParam(day), nr, dateParam(month)});
            const bool recorded = back > 0; // the processing date itself is still to be recorded
            for (const QString& sc : services) {
                bool off = false; // a share of this service and day deliberately disagrees
                const QStringList& diets = linked[sc];
                const int n = std::min<int>(int(diets.size()), pick(3, 6));
                for (int k = 0; k < n; ++k) {
                    const QString dc = diets.at(k);
                    const double ecli = pick(2, 30), efun = pick(0, 6), edoa = pick(0, 2);
                    double cli = 0, fun = 0, doa = 0;
                    if (recorded) {
                        cli = std::max(0.0, ecli + pick(-3, 3));
                        fun = std::max(0.0, efun + pick(-1, 1));
                        doa = edoa;
                    }
                    const double tot = cli + fun + doa;
                    execOn(insRow,
                           {bc, dateParam(day), sc, dc, nr, dateParam(month), tot, cli, fun, doa,
                            ecli + efun + edoa, ecli, efun, edoa, tot, tot, QStringLiteral("DEMO"), stamp});
                    ++sum.dietRows;
                    if (!recorded || back < 2) continue;
                    // Spread the counts over the clients the service serves; now and then one is off.
                    const QStringList& cls = served[sc];
                    double left[3] = {cli, fun, doa};
                    for (int c = 0; c < cls.size(); ++c) {
                        double part[3];
                        for (int t = 0; t < 3; ++t) {
                            part[t] =
                                c + 1 == cls.size() ? left[t] : std::floor(left[t] / double(cls.size() - c));
                            left[t] -= part[t];
                        }
                        if (c == 0 && rnd.bounded(100) < 3) {
                            part[rnd.bounded(3)] += 1;
                            off = true;
                        }
                        execOn(insShare, {bc, sc, cls.at(c), dateParam(day), dc,
                                          QStringLiteral("%1").arg(++seq, 10, 10, QLatin1Char('0')), part[0],
                                          part[1], part[2], stamp});
                        ++sum.shares;
                    }
                }
                if (rnd.bounded(100) < 85)
                    for (int p = 0; p < 3; ++p)
                        execOn(insWithdrawal,
                               {bc, dateParam(day), sc, QString::fromLatin1(kProducts[(p + back) % 7]),
                                double(pick(1, 40))});
                else if (off)
                    // Where the withdrawal guard is on, a day without withdrawals cannot be changed:
                    // a disagreement there could be neither corrected nor left behind.
                    execOn(insWithdrawal,
                           {bc, dateParam(day), sc, QString::fromLatin1(kProducts[back % 7]), 1.0});
                if (back <= 5)
                    for (int k = 0; k < std::min<int>(4, int(diets.size())); ++k)
                        execOn(insControl, {bc, dateParam(day), sc, diets.at(k), double(pick(2, 30)),
                                            double(pick(0, 6)), double(pick(0, 2))});
            }
            // Clients whose headcounts were settled: everything older than two weeks for a few.
            if (back > 14)
                for (int c = 0; c < 40; c += 9)
                    execSql(
                        db,
                        QStringLiteral("INSERT INTO APURACLIE (CDFILIAL, CDCLIENTE, DTAPURACAO, IDIMPEFETKVO)"
                                       " VALUES (?, ?, ?, 'S')"),
                        {bc, clients.at(c), dateParam(day)});
        }
    }
    execSql(db, QStringLiteral("UPDATE KVOSEQUENCIA SET NRULTIMO = ? WHERE NMSEQUENCIA = 'NRSEQEFETDIE'"),
            {seq});
    insRow.finish();
    insShare.finish();
    insWithdrawal.finish();
    insControl.finish();
    tx.commit();
    return sum;
}

} // namespace kvo::server
