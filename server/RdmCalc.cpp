// CalcularComensais: the day's estimated diet-row counts from the food control.
#include "RdmMedEfetDiet.h"

#include "BranchRules.h"
#include "Database.h"
#include "PacketBuild.h"
#include "Texts.h"

#include <QSet>

namespace kvo::server {

QString RdmMedEfetDiet::CalcularComensais(const QString& branch, const QString& selection,
                                          const QDate& firstDay, const QDate& date) {
    if (branch.trimmed().isEmpty()) return texts::FiliDeve;
    {
        QSqlQuery q = execSql(m_db, QStringLiteral("SELECT 1 FROM FILIAL WHERE CDFILIAL = ?"), {branch});
        if (!q.next()) return texts::KeyFilialNCad;
    }
    if (!date.isValid()) return texts::DataInf;
    {
        // The dialog's own checks, again here: a rescinded branch, an operator not on the branch
        // and a day after the processing date where the branch refuses it get no estimates.
        StatementCache sc(m_db);
        BranchRules rules(sc, *this);
        if (const QString m = rules.refusal(branch, date, m_context.operatorCode, false); !m.isEmpty())
            return m;
    }

    // Hospital services of the branch, optionally restricted to the picked list ("_A_B_C").
    QStringList services;
    {
        QSqlQuery q =
            execSql(m_db,
                    QStringLiteral("SELECT CDSERVFILI FROM SERVICO WHERE CDFILIAL = ? AND IDTIPOSERV = 'D'"
                                   " ORDER BY CDSERVFILI"),
                    {branch});
        while (q.next())
            services << q.value(0).toString();
    }
    const QString sel = selection.trimmed();
    if (sel != QLatin1String("T")) {
        QSet<QString> picked;
        for (const QString& part : sel.split(QLatin1Char('_'), Qt::SkipEmptyParts))
            if (!part.trimmed().isEmpty()) picked.insert(part.trimmed());
        if (picked.isEmpty()) return texts::ServInf;
        QStringList kept;
        for (const QString& s : services)
            if (picked.contains(s)) kept << s;
        services = kept;
    }

    struct Sum {
        QString service, diet;
        double cli, fun, doa;
    };
    QVector<Sum> sums;
    for (const QString& s : services) {
        QSqlQuery q = execSql(
            m_db,
            QStringLiteral("SELECT C.CDDIETPAD, SUM(C.QTCLIENTE), SUM(C.QTFUNCIONARIO), SUM(C.QTDOACAO)"
                           " FROM CONTALIM C JOIN DIETPADR D ON D.CDDIETPAD = C.CDDIETPAD"
                           " WHERE C.CDFILIAL = ? AND C.DTCONTALIM = ? AND C.CDSERVFILI = ?"
                           " GROUP BY C.CDDIETPAD ORDER BY C.CDDIETPAD"),
            {branch, dateParam(date), s});
        while (q.next())
            sums.append({s, q.value(0).toString(), q.value(1).toDouble(), q.value(2).toDouble(),
                         q.value(3).toDouble()});
    }
    if (sums.isEmpty()) return texts::KeyNExistConf;

    const QDate month = firstDay.isValid() ? firstDay : QDate(date.year(), date.month(), 1);
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    Transaction tx(m_db);
    QVariant menu;
    {
        QSqlQuery q = execSql(
            m_db, QStringLiteral("SELECT NRCARDAPIO FROM CARDAPIO WHERE CDFILIAL = ? AND DTCARDAPIO = ?"),
            {branch, dateParam(date)});
        if (q.next()) menu = q.value(0);
    }
    QSqlQuery upd = prepare(
        m_db, QStringLiteral("UPDATE CARDADIA SET QTCOMESTICAR = ?, QTCLIESTICAR = ?, QTFUNESTICAR = ?,"
                             " QTDOAESTICAR = ?, DTULTATU = ? WHERE CDFILIAL = ? AND DTCARDAPIO = ?"
                             " AND CDSERVFILI = ? AND CDDIETPAD = ?"));
    QSqlQuery ins =
        prepare(m_db, QStringLiteral("INSERT INTO CARDADIA (CDFILIAL, DTCARDAPIO, CDSERVFILI, CDDIETPAD,"
                                     " NRCARDAPIO, DTMESCARD, QTCOMEFETCAR, QTCLIEFETCAR, QTFUNEFETCAR,"
                                     " QTDOAEFETCAR, QTCOMESTICAR, QTCLIESTICAR, QTFUNESTICAR, QTDOAESTICAR,"
                                     " QTCOMEFETRI, QTCOMEFETSL, DTULTATU)"
                                     " VALUES (?, ?, ?, ?, ?, ?, 0, 0, 0, 0, ?, ?, ?, ?, 0, 0, ?)"));
    for (const Sum& s : sums) {
        const double total = s.cli + s.fun + s.doa;
        execOn(upd, {total, s.cli, s.fun, s.doa, stamp, branch, dateParam(date), s.service, s.diet});
        if (upd.numRowsAffected() > 0) continue;
        execOn(ins, {branch, dateParam(date), s.service, s.diet,
                     menu.isNull() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(menu.toString()),
                     dateParam(month), total, s.cli, s.fun, s.doa, stamp});
    }
    upd.finish();
    ins.finish();
    tx.commit();
    return {};
}

} // namespace kvo::server
