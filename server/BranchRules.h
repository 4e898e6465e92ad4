#pragma once

#include "Database.h"
#include "RdmMedEfetDiet.h"
#include "Texts.h"

#include <QHash>
#include <utility>

namespace kvo::server {

// What the screens check before they let a day be edited, checked again for every row a save
// writes: the branch exists and is not rescinded, the operator may work on it, the day is not
// after the processing date where that is refused, and the day is not closed. Each branch is read
// once per call.
class BranchRules {
public:
    BranchRules(StatementCache& sc, RdmMedEfetDiet& rdm) : m_sc(sc), m_rdm(rdm) {}

    // The refusal for a write on that branch and day by that operator (an empty operator is not
    // checked), or an empty text. Estimates are plans, not the counts a closed day protects: the
    // diner calculation passes closedDays false.
    QString refusal(const QString& branch, const QDate& day, const QString& op, bool closedDays = true) {
        // A save asks the same question for row after row; what it reads never changes in a call.
        if (m_last.valid && m_last.day == day && m_last.closedDays == closedDays && m_last.branch == branch &&
            m_last.op == op)
            return m_last.refusal;
        m_last = {true, branch, day, op, closedDays, answer(branch, day, op, closedDays)};
        return m_last.refusal;
    }

    // Sends the branch's query ahead, to travel with the call's next round trip.
    void ahead(const QString& branch, const QString& op) {
        if (!m_branches.contains(branch)) m_sc.ahead(branchSql(), {op.trimmed(), branch});
    }

private:
    QString answer(const QString& branch, const QDate& day, const QString& op, bool closedDays) {
        const QString who = op.trimmed();
        const Branch& b = branchOf(branch, who);
        if (!b.exists) return texts::FiliNaoCad;
        if (b.rescinded) return texts::FiliResc;
        if (!who.isEmpty() && !mayWork(who, branch)) return texts::OperFili.arg(who, branch);
        if (b.laterRefused && b.processing.isValid() && day > b.processing) return texts::DataProc;
        if (closedDays && b.firstOpen.isValid() && day.isValid() && day < b.firstOpen)
            return texts::ClosedDay.arg(b.firstOpen.toString(QStringLiteral("dd/MM/yyyy")));
        return {};
    }
    static QString branchSql() {
        return QStringLiteral("SELECT F.IDCNTRRESC, F.DTPROC, P.IDPEREFEPOSDTPR, P.IDBLQEFEDIAFECH,"
                              " P.NRDIAANTDTPROC, EXISTS (SELECT 1 FROM OPERFILI O WHERE O.CDOPERADOR = ?"
                              " AND O.CDFILIAL = F.CDFILIAL) FROM FILIAL F"
                              " LEFT JOIN PARAMPLANEJA P ON P.CDFILIAL = F.CDFILIAL"
                              " WHERE F.CDFILIAL = ?");
    }
    struct Branch {
        bool exists = false, rescinded = false, laterRefused = false;
        QDate processing, firstOpen;
    };
    // The branch, its planning parameters and the operator's access to it come in one query.
    const Branch& branchOf(const QString& code, const QString& op) {
        auto it = m_branches.find(code);
        if (it != m_branches.end()) return *it;
        Branch b;
        Statement& q = m_sc.exec(branchSql(), {op, code});
        if (q.next()) {
            b.exists = true;
            b.rescinded = q.value(0).toString().trimmed() == QLatin1String("S");
            b.processing = dateFromDb(q.value(1));
            b.laterRefused = q.value(2).toString().trimmed() == QLatin1String("N");
            b.firstOpen = RdmMedEfetDiet::firstOpenDay(b.processing, q.value(3), q.value(4));
            if (!op.isEmpty()) m_access.insert({op, code}, q.value(5).toBool());
        }
        q.finish();
        return *m_branches.insert(code, b);
    }
    bool mayWork(const QString& op, const QString& branch) {
        const std::pair<QString, QString> k{op, branch};
        auto it = m_access.find(k);
        if (it == m_access.end()) {
            Statement& q = m_sc.exec(
                QStringLiteral("SELECT 1 FROM OPERFILI WHERE CDOPERADOR = ? AND CDFILIAL = ?"), {op, branch});
            it = m_access.insert(k, q.next());
            q.finish();
        }
        return *it;
    }

    StatementCache& m_sc;
    RdmMedEfetDiet& m_rdm;
    QHash<QString, Branch> m_branches;
    QHash<std::pair<QString, QString>, bool> m_access;
    struct {
        bool valid = false;
        QString branch;
        QDate day;
        QString op;
        bool closedDays = true;
        QString refusal;
    } m_last;
};

} // namespace kvo::server
