// The read methods of rdmMedEfetDiet.
#include "RdmMedEfetDiet.h"

#include "Database.h"
#include "PacketBuild.h"
#include "PacketJson.h"
#include "Texts.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>

namespace kvo::server {

namespace {

const QVector<TPacketField>& cardadiaFields() {
    static const QVector<TPacketField> f = {
        textField("CDSERVFILI", 5), textField("NMSERVICO", 40),  textField("CDDIETPAD", 4),
        textField("DSDIETPAD", 50), numField("QTCOMEFETCAR"),    numField("QTCLIEFETCAR"),
        numField("QTFUNEFETCAR"),   numField("QTDOAEFETCAR"),    numField("QTCOMESTICAR"),
        numField("QTCLIESTICAR"),   numField("QTFUNESTICAR"),    numField("QTDOAESTICAR"),
        numField("QTCOMEFETRI"),    numField("QTCOMEFETSL"),     dateField("DTCARDAPIO"),
        textField("CDFILIAL", 4),   textField("CDOPERADOR", 12), textField("NRCARDAPIO", 10),
        dateField("DTMESCARD"),
    };
    return f;
}

const QVector<TPacketField>& planejaFields() {
    static const QVector<TPacketField> f = {
        textField("IDBLQEFEDIAFECH", 20),
        numField("NRDIAANTDTPROC"),
        textField("IDPERLEFESRETPLA", 1),
        textField("IDPEREFEPOSDTPR", 1),
    };
    return f;
}

QString planejaSql() {
    return QStringLiteral("SELECT IDBLQEFEDIAFECH, NRDIAANTDTPROC, IDPERLEFESRETPLA, IDPEREFEPOSDTPR"
                          " FROM PARAMPLANEJA WHERE CDFILIAL = ?");
}

} // namespace

TDataPacket RdmMedEfetDiet::GETParamGeral() {
    QSqlQuery q = execSql(m_db, QStringLiteral("SELECT IDCONSMINEFE FROM PARAMGERAL"));
    TDataPacket p = packetFromQuery({textField("IDCONSMINEFE", 1)}, q);
    if (p.rows.size() > 1) p.rows.resize(1);
    return p;
}

TDataPacket RdmMedEfetDiet::planningParams(const QString& branch) {
    QSqlQuery q = execSql(m_db, planejaSql(), {branch});
    return packetFromQuery(planejaFields(), q);
}

TDataPacket RdmMedEfetDiet::GetParamPlaneja(const QString& branch) {
    return planningParams(branch);
}

TDataPacket RdmMedEfetDiet::GetDtCardapio(const QString& branch, const QDate& processingDate) {
    QDate limit = processingDate;
    if (!limit.isValid()) {
        QSqlQuery f = execSql(m_db, QStringLiteral("SELECT DTPROC FROM FILIAL WHERE CDFILIAL = ?"), {branch});
        if (f.next()) limit = dateFromDb(f.value(0));
    }
    bool laterAllowed = true;
    {
        const TDataPacket pp = planningParams(branch);
        if (!pp.rows.isEmpty()) laterAllowed = logText(pp.rows.first().at(3)) != QLatin1String("N");
    }
    QString sql = QStringLiteral("SELECT DTCARDAPIO FROM CARDAPIO WHERE CDFILIAL = ?");
    QVariantList args{branch};
    if (!laterAllowed && limit.isValid()) {
        sql += QStringLiteral(" AND DTCARDAPIO <= ?");
        args << dateParam(limit);
    }
    sql += QStringLiteral(" ORDER BY DTCARDAPIO DESC LIMIT 400");
    QSqlQuery q = execSql(m_db, sql, args);
    TDataPacket p;
    p.fields = {textField("DTCARDAPIO", 10)};
    while (q.next()) {
        const QDate d = dateFromDb(q.value(0));
        if (d.isValid()) p.rows.append({d.toString(QStringLiteral("dd/MM/yyyy"))});
    }
    return p;
}

TDataPacket RdmMedEfetDiet::GetCardServ(const QString& branch, const QDate& date) {
    QSqlQuery q = execSql(
        m_db,
        QStringLiteral("SELECT C.CDFILIAL, C.CDSERVFILI, MAX(S.NMSERVICO) FROM CARDADIA C"
                       " LEFT JOIN SERVICO S ON S.CDFILIAL = C.CDFILIAL AND S.CDSERVFILI = C.CDSERVFILI"
                       " WHERE C.CDFILIAL = ? AND C.DTCARDAPIO = ?"
                       " GROUP BY C.CDFILIAL, C.CDSERVFILI ORDER BY C.CDSERVFILI"),
        {branch, dateParam(date)});
    return packetFromQuery({textField("CDFILIAL", 4), textField("CDSERVFILI", 5), textField("NMSERVICO", 40)},
                           q);
}

QByteArray RdmMedEfetDiet::GetCardadiaJson(const QString& branch, const QDate& date) {
    StatementCache sc(m_db);
    sc.ahead(planejaSql(), {branch}); // with the day's rows, in one round trip
    Statement& q = sc.exec(
        QStringLiteral(
            "SELECT C.CDSERVFILI, S.NMSERVICO, C.CDDIETPAD, D.DSDIETPAD, C.QTCOMEFETCAR, C.QTCLIEFETCAR,"
            " C.QTFUNEFETCAR, C.QTDOAEFETCAR, C.QTCOMESTICAR, C.QTCLIESTICAR, C.QTFUNESTICAR,"
            " C.QTDOAESTICAR, C.QTCOMEFETRI, C.QTCOMEFETSL, C.DTCARDAPIO, C.CDFILIAL, C.CDOPERADOR,"
            " C.NRCARDAPIO, C.DTMESCARD FROM CARDADIA C"
            " LEFT JOIN SERVICO S ON S.CDFILIAL = C.CDFILIAL AND S.CDSERVFILI = C.CDSERVFILI"
            " LEFT JOIN DIETPADR D ON D.CDDIETPAD = C.CDDIETPAD"
            " WHERE C.CDFILIAL = ? AND C.DTCARDAPIO = ? ORDER BY C.CDSERVFILI, C.CDDIETPAD"),
        {branch, dateParam(date)});
    QByteArray out;
    out.reserve(64 * 1024);
    out += '[';
    appendPacketJson(out, cardadiaFields(), q);
    out += ',';
    appendPacketJson(out, planejaFields(), sc.exec(planejaSql(), {branch}));
    out += ']';
    return out;
}

TPacketPair RdmMedEfetDiet::GetCardadia(const QString& branch, const QDate& date) {
    return TPacketPair::fromJson(QJsonDocument::fromJson(GetCardadiaJson(branch, date)).array());
}

bool RdmMedEfetDiet::Verif_Serv(const QString& branch, const QDate& date, const QString& service,
                                const QString& diet) {
    QString sql =
        QStringLiteral("SELECT 1 FROM CARDADIA WHERE CDFILIAL = ? AND DTCARDAPIO = ? AND CDSERVFILI = ?");
    QVariantList args{branch, dateParam(date), service};
    if (diet != QLatin1String("N")) {
        sql += QStringLiteral(" AND CDDIETPAD = ?");
        args << diet;
    }
    sql += QStringLiteral(" LIMIT 1");
    QSqlQuery q = execSql(m_db, sql, args);
    return q.next();
}

TPacketPair RdmMedEfetDiet::GETCliente(const QString& branch, const QString& service, const QDate& date,
                                       const QString& diet) {
    const QVector<TPacketField> fields = {
        textField("CDCLIENTE", 21), textField("NMRAZSOCCLIE", 50), numField("QTCOMEFETDIE"),
        numField("QTFUNEFETDIE"),   numField("QTDOAEFETDIE"),      textField("CDFILIAL", 4),
        textField("CDSERVFILI", 5), dateField("DTEFETDIET"),       textField("CDDIETPAD", 4),
    };
    QSqlQuery q = execSql(
        m_db,
        QStringLiteral("SELECT CS.CDCLIENTE, CL.NMRAZSOCCLIE, E.QTCOMEFETDIE, E.QTFUNEFETDIE,"
                       " E.QTDOAEFETDIE FROM CLIESERV CS"
                       " JOIN CLIENTE CL ON CL.CDCLIENTE = CS.CDCLIENTE"
                       " LEFT JOIN EFETDIET E ON E.CDFILIAL = CS.CDFILIAL AND E.CDSERVFILI = CS.CDSERVFILI"
                       " AND E.CDCLIENTE = CS.CDCLIENTE AND E.DTEFETDIET = ? AND E.CDDIETPAD = ?"
                       " WHERE CS.CDFILIAL = ? AND CS.CDSERVFILI = ?"
                       " ORDER BY CL.NMRAZSOCCLIE, CS.CDCLIENTE"),
        {dateParam(date), diet, branch, service});
    TPacketPair pair;
    pair.first.fields = fields;
    const QVariant day = date.isValid() ? QVariant(date) : QVariant();
    while (q.next()) {
        pair.first.rows.append(
            {q.value(0).toString(), q.value(1).toString(), q.value(2).isNull() ? 0.0 : q.value(2).toDouble(),
             q.value(3).isNull() ? 0.0 : q.value(3).toDouble(),
             q.value(4).isNull() ? 0.0 : q.value(4).toDouble(), branch, service, day, diet});
    }
    QSqlQuery s = execSql(m_db,
                          QStringLiteral("SELECT CDCLIENTE, IDIMPEFETKVO FROM APURACLIE"
                                         " WHERE CDFILIAL = ? AND DTAPURACAO = ? AND IDIMPEFETKVO = 'S'"
                                         " ORDER BY CDCLIENTE"),
                          {branch, dateParam(date)});
    pair.second = packetFromQuery({textField("CDCLIENTE", 21), textField("IDIMPEFETKVO", 1)}, s);
    return pair;
}

TDataPacket RdmMedEfetDiet::GETEfetClie(const QString& branch, const QString& service, const QString& diet,
                                        const QDate& date, const QString& client) {
    QSqlQuery q =
        execSql(m_db,
                QStringLiteral("SELECT CDFILIAL, CDSERVFILI, CDCLIENTE, DTEFETDIET, NRSEQEFETDIE, CDDIETPAD,"
                               " QTCOMEFETDIE, QTFUNEFETDIE, QTDOAEFETDIE FROM EFETDIET"
                               " WHERE CDFILIAL = ? AND CDSERVFILI = ? AND CDDIETPAD = ? AND DTEFETDIET = ?"
                               " AND CDCLIENTE = ?"),
                {branch, service, diet, dateParam(date), client});
    return packetFromQuery({textField("CDFILIAL", 4), textField("CDSERVFILI", 5), textField("CDCLIENTE", 21),
                            dateField("DTEFETDIET"), textField("NRSEQEFETDIE", 10), textField("CDDIETPAD", 4),
                            numField("QTCOMEFETDIE"), numField("QTFUNEFETDIE"), numField("QTDOAEFETDIE")},
                           q);
}

TDataPacket RdmMedEfetDiet::GetAtuaQtEfet(const QString& branch, const QString& service, const QString& diet,
                                          const QDate& date) {
    QSqlQuery q =
        execSql(m_db,
                QStringLiteral("SELECT SUM(QTCOMEFETDIE), SUM(QTFUNEFETDIE), SUM(QTDOAEFETDIE) FROM EFETDIET"
                               " WHERE CDFILIAL = ? AND CDSERVFILI = ? AND CDDIETPAD = ? AND DTEFETDIET = ?"),
                {branch, service, diet, dateParam(date)});
    TDataPacket p;
    p.fields = {textField("CDFILIAL", 4),  textField("CDSERVFILI", 5), dateField("DTEFETDIET"),
                textField("CDDIETPAD", 4), numField("QTCOMEFETDIE"),   numField("QTFUNEFETDIE"),
                numField("QTDOAEFETDIE")};
    double s[3] = {0, 0, 0};
    if (q.next())
        for (int i = 0; i < 3; ++i)
            s[i] = q.value(i).isNull() ? 0.0 : q.value(i).toDouble();
    p.rows.append({branch, service, date.isValid() ? QVariant(date) : QVariant(), diet, s[0], s[1], s[2]});
    return p;
}

TDataPacket RdmMedEfetDiet::GetComensais(const QString& branch, const QDate& date) {
    QSqlQuery q = execSql(
        m_db,
        QStringLiteral(
            "SELECT C.CDSERVFILI, S.NMSERVICO, C.CDDIETPAD, C.QTCLIEFETCAR, C.QTFUNEFETCAR, C.QTDOAEFETCAR,"
            " E.SC, E.SF, E.SD FROM CARDADIA C"
            " JOIN (SELECT CDSERVFILI, CDDIETPAD, SUM(QTCOMEFETDIE) AS SC, SUM(QTFUNEFETDIE) AS SF,"
            " SUM(QTDOAEFETDIE) AS SD FROM EFETDIET WHERE CDFILIAL = ? AND DTEFETDIET = ?"
            " GROUP BY CDSERVFILI, CDDIETPAD) E ON E.CDSERVFILI = C.CDSERVFILI AND E.CDDIETPAD = C.CDDIETPAD"
            " LEFT JOIN SERVICO S ON S.CDFILIAL = C.CDFILIAL AND S.CDSERVFILI = C.CDSERVFILI"
            " WHERE C.CDFILIAL = ? AND C.DTCARDAPIO = ? ORDER BY C.CDSERVFILI, C.CDDIETPAD"),
        {branch, dateParam(date), branch, dateParam(date)});
    TDataPacket p;
    p.fields = {textField("CDSERVFILI", 5), textField("NMSERVICO", 40), textField("CDDIETPAD", 4),
                fixedField("TIPO", 1)};
    static const char* kinds[3] = {"C", "F", "D"};
    while (q.next()) {
        for (int k = 0; k < 3; ++k) {
            const double row = q.value(3 + k).toDouble();
            const double sum = q.value(6 + k).toDouble();
            if (std::fabs(row - sum) > 1e-6)
                p.rows.append({q.value(0).toString(),
                               q.value(1).isNull() ? QVariant() : q.value(1).toString(),
                               q.value(2).toString(), QString::fromLatin1(kinds[k])});
        }
    }
    return p;
}

QString RdmMedEfetDiet::Vd_Retirada(const QString& branch, const QDate& date, const QString& message,
                                    const QString& service) {
    QSqlQuery q = execSql(
        m_db,
        QStringLiteral("SELECT 1 FROM RETIRADA WHERE CDFILIAL = ? AND DTRETIRADA = ? AND CDSERVFILI = ?"
                       " AND QTRETIRADA > 0 LIMIT 1"),
        {branch, dateParam(date), service});
    return q.next() ? QString() : message;
}

QDate RdmMedEfetDiet::firstOpenDay(const QString& branch) {
    QSqlQuery q =
        execSql(m_db,
                QStringLiteral("SELECT F.DTPROC, P.IDBLQEFEDIAFECH, P.NRDIAANTDTPROC FROM FILIAL F"
                               " JOIN PARAMPLANEJA P ON P.CDFILIAL = F.CDFILIAL WHERE F.CDFILIAL = ?"),
                {branch});
    if (!q.next()) return {};
    return firstOpenDay(dateFromDb(q.value(0)), q.value(1), q.value(2));
}

QDate RdmMedEfetDiet::firstOpenDay(const QDate& proc, const QVariant& blocks, const QVariant& daysBefore) {
    if (!proc.isValid() || blocks.toString() != QLatin1String("S")) return {};
    // Closed when the day is strictly before processing date - NRDIAANTDTPROC; with whole-day
    // dates the first open day is processing date - floor(NRDIAANTDTPROC).
    const double n = daysBefore.isNull() ? 0.0 : daysBefore.toDouble();
    if (!std::isfinite(n)) return {};
    return proc.addDays(-static_cast<qint64>(std::floor(n)));
}

QString RdmMedEfetDiet::closedDayMessage(const QString& branch, const QDate& date) {
    const QDate first = firstOpenDay(branch);
    if (first.isValid() && date.isValid() && date < first)
        return texts::ClosedDay.arg(first.toString(QStringLiteral("dd/MM/yyyy")));
    return {};
}

} // namespace kvo::server
