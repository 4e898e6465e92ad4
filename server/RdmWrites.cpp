// The change-log methods of rdmMedEfetDiet: SetCardadia (diet rows) and UpdEfetDiet (client shares).
#include "RdmMedEfetDiet.h"

#include "BranchRules.h"
#include "Database.h"
#include "History.h"
#include "PacketBuild.h"
#include "RowStore.h"
#include "Texts.h"

#include <QDateTime>
#include <QSet>
#include <algorithm>
#include <cmath>

namespace kvo::server {

namespace {

const TableDef& cardadiaDef() {
    static const TableDef d{QStringLiteral("CARDADIA"),
                            {
                                {QStringLiteral("CDFILIAL"), ftString, 4, true},
                                {QStringLiteral("DTCARDAPIO"), ftDateTime, 0, true},
                                {QStringLiteral("CDSERVFILI"), ftString, 5, true},
                                {QStringLiteral("CDDIETPAD"), ftString, 4, true},
                                {QStringLiteral("NRCARDAPIO"), ftString, 10, false},
                                {QStringLiteral("DTMESCARD"), ftDateTime, 0, false},
                                {QStringLiteral("QTCOMEFETCAR"), ftFloat, 0, false},
                                {QStringLiteral("QTCLIEFETCAR"), ftFloat, 0, false},
                                {QStringLiteral("QTFUNEFETCAR"), ftFloat, 0, false},
                                {QStringLiteral("QTDOAEFETCAR"), ftFloat, 0, false},
                                {QStringLiteral("QTCOMESTICAR"), ftFloat, 0, false},
                                {QStringLiteral("QTCLIESTICAR"), ftFloat, 0, false},
                                {QStringLiteral("QTFUNESTICAR"), ftFloat, 0, false},
                                {QStringLiteral("QTDOAESTICAR"), ftFloat, 0, false},
                                {QStringLiteral("QTCOMEFETRI"), ftFloat, 0, false},
                                {QStringLiteral("QTCOMEFETSL"), ftFloat, 0, false},
                                {QStringLiteral("CDOPERADOR"), ftString, 12, false},
                                {QStringLiteral("DTULTATU"), ftString, 30, false},
                            }};
    return d;
}

// Column positions in cardadiaDef().
enum CardadiaColumn {
    CdFilial,
    DtCardapio,
    CdServFili,
    CdDietPad,
    NrCardapio,
    DtMesCard,
    QtComEfetCar,
    QtCliEfetCar,
    QtFunEfetCar,
    QtDoaEfetCar,
    CdOperador = 16,
    DtUltAtu = 17
};

const TableDef& efetdietDef() {
    static const TableDef d{QStringLiteral("EFETDIET"),
                            {
                                {QStringLiteral("CDFILIAL"), ftString, 4, true},
                                {QStringLiteral("CDSERVFILI"), ftString, 5, true},
                                {QStringLiteral("CDCLIENTE"), ftString, 21, true},
                                {QStringLiteral("DTEFETDIET"), ftDateTime, 0, true},
                                {QStringLiteral("CDDIETPAD"), ftString, 4, true},
                                {QStringLiteral("NRSEQEFETDIE"), ftString, 10, false},
                                {QStringLiteral("QTCOMEFETDIE"), ftFloat, 0, false},
                                {QStringLiteral("QTFUNEFETDIE"), ftFloat, 0, false},
                                {QStringLiteral("QTDOAEFETDIE"), ftFloat, 0, false},
                                {QStringLiteral("DTULTATU"), ftString, 30, false},
                            }};
    return d;
}

// Column positions in efetdietDef().
enum EfetdietColumn {
    EdFilial,
    EdServFili,
    EdCliente,
    EdEfetDiet,
    EdDietPad,
    EdSeqEfetDie,
    EdComEfetDie,
    EdFunEfetDie,
    EdDoaEfetDie,
    EdUltAtu
};

QString nowStamp() {
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

// A refusal of the whole log; the message goes back to the client as the method's result.
struct Refusal {
    QString message;
};

[[noreturn]] void refuse(const QString& m) {
    throw Refusal{m};
}

// The screen treats a 10-character answer as success, so a refusal must never be exactly that long.
QString safeRefusal(QString m) {
    if (m.size() == 10) m += QLatin1Char(' ');
    return m;
}

void checkLogShape(const TChangeLog& log, const TableDef& def) {
    for (int k : def.keys)
        if (log.FieldIndex(def.columns.at(k).name) < 0)
            throw ParamError(
                QStringLiteral("O registro de alterações não tem o campo %1.").arg(def.columns.at(k).name));
    for (const TChange& c : log.changes) {
        const bool needOld = c.op != TChange::Insert, needNew = c.op != TChange::Delete;
        if ((needOld && c.oldValues.size() != log.fields.size()) ||
            (needNew && c.newValues.size() != log.fields.size()))
            throw ParamError(
                QStringLiteral("O registro de alterações tem linhas com número de valores diferente do "
                               "número de campos."));
    }
}

// Changes are applied in key order, whatever order the log has them in: two saves touching the
// same rows then lock them in the same order and one waits for the other instead of both
// deadlocking. Changes of one key keep their order (a delete before a new insert of that row).
QVector<const TChange*> inKeyOrder(const TChangeLog& log, const TableDef& def, const QVector<int>& idx) {
    QVector<const TChange*> out;
    out.reserve(log.changes.size());
    for (const TChange& c : log.changes)
        out << &c;
    auto less = [&](const TChange* x, const TChange* y) {
        return keyLess(def, idx, x->op == TChange::Insert ? x->newValues : x->oldValues,
                       y->op == TChange::Insert ? y->newValues : y->oldValues);
    };
    // A screen sends its rows in key order already.
    if (!std::is_sorted(out.begin(), out.end(), less)) std::stable_sort(out.begin(), out.end(), less);
    return out;
}

// A modify never moves a stored row: the key columns it changes are refused.
void refuseKeyChange(const TableDef& def, const QVector<int>& changed) {
    for (int col : changed)
        if (def.columns.at(col).key) refuse(texts::KeyChange.arg(def.columns.at(col).name));
}

// Runs a save; a refusal or a conflict the database resolved by aborting the transaction comes
// back as the message to show (the transaction is rolled back by then). Writes may reach the
// database only at the end of the log, so a row inserted by another user meanwhile is answered
// here with the method's own message, whichever insert hit it.
template <typename F> QString applyLog(const QString& inserted, F&& apply) {
    try {
        apply();
    } catch (const Refusal& r) {
        return r.message;
    } catch (const DbError& e) {
        if (isConcurrencyFailure(e)) return texts::Concurrency;
        if (isUniqueViolation(e)) return inserted;
        throw;
    }
    return {};
}

// From this many services of a branch in one log on, the branch's services and diet links are read
// whole rather than one service at a time.
constexpr int kWholeBranchServices = 64;

// A service and its standard diets in one query: a row per linked diet, or one with a null diet
// when none is linked. Not a join nested inside the outer join: SQLite would build that whole first.
QString serviceSql() {
    return QStringLiteral("SELECT S.IDTIPOSERV, DS.CDDIETPAD FROM SERVICO S"
                          " LEFT JOIN DIETSERV DS ON DS.CDFILIAL = S.CDFILIAL"
                          " AND DS.CDSERVFILI = S.CDSERVFILI AND EXISTS (SELECT 1 FROM DIETPADR DP"
                          " WHERE DP.CDDIETPAD = DS.CDDIETPAD AND DP.IDTIPODIET = 'S')"
                          " WHERE S.CDFILIAL = ? AND S.CDSERVFILI = ?");
}

// The menu of a branch's day, whose number an inserted diet row takes.
QString menuSql() {
    return QStringLiteral("SELECT NRCARDAPIO FROM CARDAPIO WHERE CDFILIAL = ? AND DTCARDAPIO = ?");
}

} // namespace

QString RdmMedEfetDiet::SetCardadia(const TChangeLog& delta) {
    const TableDef& def = cardadiaDef();
    checkLogShape(delta, def);
    const QVector<int> idx = columnIndexes(def, delta);
    StatementCache sc(m_db);

    // Reference data is read once per call: branch, service types, the services' standard diets,
    // the day's menus. A log touching many services of a branch has the branch's services and
    // diet links read whole, others one service at a time.
    using Pair = std::pair<QString, QString>;
    QHash<Pair, QString> serviceType;                       // (branch, service) -> IDTIPOSERV
    QHash<Pair, QSet<QString>> standardDiets;               // (branch, service) -> linked standard diets
    QHash<std::pair<QString, qint64>, QVariant> menuNumber; // (branch, day) -> NRCARDAPIO
    QHash<QString, QSet<QString>> servicesOf;               // branch -> services the log touches
    QSet<QString> wholeBranch;                              // branches read whole
    {
        const int bi = idx.at(CdFilial), si = idx.at(CdServFili);
        QString lastBranch, lastService; // a service's changes come one after another
        bool any = false;
        for (const TChange& c : delta.changes) {
            const QVector<QVariant>& v = c.op == TChange::Insert ? c.newValues : c.oldValues;
            QString b = logText(cellAt(v, bi)), s = logText(cellAt(v, si));
            if (any && b == lastBranch && s == lastService) continue;
            servicesOf[b].insert(s);
            lastBranch = std::move(b);
            lastService = std::move(s);
            any = true;
        }
    }
    auto loadBranch = [&](const QString& b) {
        if (wholeBranch.contains(b) || servicesOf.value(b).size() < kWholeBranchServices) return false;
        Statement& q =
            sc.exec(QStringLiteral("SELECT CDSERVFILI, IDTIPOSERV FROM SERVICO WHERE CDFILIAL = ?"), {b});
        while (q.next()) {
            serviceType.insert({b, q.value(0).toString()}, q.value(1).toString());
            standardDiets.insert({b, q.value(0).toString()}, {});
        }
        q.finish();
        Statement& l = sc.exec(QStringLiteral("SELECT DS.CDSERVFILI, DS.CDDIETPAD FROM DIETSERV DS"
                                              " JOIN DIETPADR DP ON DP.CDDIETPAD = DS.CDDIETPAD"
                                              " WHERE DS.CDFILIAL = ? AND DP.IDTIPODIET = 'S'"),
                               {b});
        while (l.next())
            standardDiets[{b, l.value(0).toString()}].insert(l.value(1).toString());
        l.finish();
        wholeBranch.insert(b);
        return true;
    };

    auto typeOf = [&](const QString& b, const QString& s) {
        auto it = serviceType.find({b, s});
        if (it == serviceType.end() && loadBranch(b)) it = serviceType.find({b, s});
        if (it == serviceType.end()) {
            QString type;
            QSet<QString> diets;
            if (!wholeBranch.contains(b)) {
                Statement& q = sc.exec(serviceSql(), {b, s});
                while (q.next()) {
                    type = q.value(0).toString();
                    if (!q.isNull(1)) diets.insert(q.value(1).toString());
                }
                q.finish();
                if (!standardDiets.contains({b, s})) standardDiets.insert({b, s}, diets);
            }
            it = serviceType.insert({b, s}, type);
        }
        return *it;
    };
    auto dietLinked = [&](const QString& b, const QString& s, const QString& d) {
        auto it = standardDiets.find({b, s});
        if (it == standardDiets.end() && loadBranch(b)) it = standardDiets.find({b, s});
        if (it == standardDiets.end()) {
            QSet<QString> diets;
            if (!wholeBranch.contains(b)) {
                Statement& q = sc.exec(
                    QStringLiteral("SELECT DS.CDDIETPAD FROM DIETSERV DS"
                                   " JOIN DIETPADR DP ON DP.CDDIETPAD = DS.CDDIETPAD"
                                   " WHERE DS.CDFILIAL = ? AND DS.CDSERVFILI = ? AND DP.IDTIPODIET = 'S'"),
                    {b, s});
                while (q.next())
                    diets.insert(q.value(0).toString());
                q.finish();
            }
            it = standardDiets.insert({b, s}, diets);
        }
        return it->contains(d);
    };
    BranchRules rules(sc, *this);
    auto menuOf = [&](const QString& b, const QDate& d) {
        auto it = menuNumber.find({b, d.toJulianDay()});
        if (it == menuNumber.end()) {
            Statement& q = sc.exec(menuSql(), {b, dateParam(d)});
            it = menuNumber.insert({b, d.toJulianDay()}, q.next() ? q.value(0) : QVariant());
        }
        return *it;
    };

    // The checks every inserted or changed diet row must pass; op is the operator writing it.
    // Rows come in key order, a service's diets one after another: the last service that passed
    // is kept with its standard diets, which no later lookup changes.
    struct {
        bool valid = false;
        QString branch, service;
        QSet<QString> diets;
    } lastService;
    auto checkRow = [&](const Row& r, const QString& op) {
        if (const QString m = checkValues(def, r); !m.isEmpty()) refuse(m);
        const QString b = logText(r.at(CdFilial));
        if (const QString m = rules.refusal(b, logDate(r.at(DtCardapio)), op); !m.isEmpty()) refuse(m);
        const QString s = logText(r.at(CdServFili));
        const QString d = logText(r.at(CdDietPad));
        if (lastService.valid && lastService.branch == b && lastService.service == s) {
            if (!lastService.diets.contains(d)) refuse(texts::DietCad);
        } else {
            const QString type = typeOf(b, s);
            if (type.isEmpty()) refuse(texts::ServCad);
            if (type != QLatin1String("D")) refuse(texts::ServPad);
            if (!dietLinked(b, s, d)) refuse(texts::DietCad);
            lastService = {true, b, s, standardDiets.value({b, s})};
        }
        const double cli = logNum(r.at(QtCliEfetCar));
        const double fun = logNum(r.at(QtFunEfetCar));
        const double doa = logNum(r.at(QtDoaEfetCar));
        const double tot = logNum(r.at(QtComEfetCar));
        if (cli < 0) refuse(texts::InfComen);
        if (fun < 0) refuse(texts::InfFunc);
        if (doa < 0) refuse(texts::InfDoac);
        if (std::fabs(tot - (cli + fun + doa)) > 1e-6) refuse(texts::TotaEfet);
    };

    // The stored rows of the days the log touches. A day with many changes is read (and on
    // PostgreSQL locked) with one query instead of one per change; the rows are kept current as
    // the log is applied, so later changes of the same log see earlier ones.
    using DayKey = std::pair<QString, qint64>; // branch, julian day
    struct Day {
        bool whole = false;
        QHash<Pair, std::optional<Row>> rows; // (service, diet); nullopt: known not to exist
    };
    QHash<DayKey, Day> days;
    auto rowKey = [](const Row& r) { return Pair(logText(r.at(CdServFili)), logText(r.at(CdDietPad))); };
    auto dayKey = [](const Row& r) {
        return DayKey(logText(r.at(CdFilial)), logDate(r.at(DtCardapio)).toJulianDay());
    };
    QHash<DayKey, int> perDay;
    {
        const int bi = idx.at(CdFilial), di = idx.at(DtCardapio);
        DayKey last;
        int* count = nullptr; // the last day's, valid until the next day is added
        for (const TChange& c : delta.changes) {
            const QVector<QVariant>& v = c.op == TChange::Insert ? c.newValues : c.oldValues;
            DayKey k(logText(cellAt(v, bi)), logDate(cellAt(v, di)).toJulianDay());
            if (!count || k != last) {
                count = &perDay[k];
                last = std::move(k);
            }
            ++*count;
        }
    }
    // Changes come in key order, so most share the day of the change before.
    DayKey lastDay;
    Day* lastDayRows = nullptr;
    auto dayOf = [&](const Row& r) -> Day& {
        DayKey k = dayKey(r);
        if (lastDayRows && k == lastDay) return *lastDayRows;
        auto it = days.find(k);
        if (it == days.end()) {
            Day d;
            if (perDay.value(k) >= 16) {
                d.whole = true;
                QVector<Row> stored =
                    lockRows(sc, def, {CdFilial, DtCardapio}, {r.at(CdFilial), r.at(DtCardapio)});
                d.rows.reserve(stored.size());
                for (Row& s : stored) {
                    const Pair k = rowKey(s);
                    d.rows.insert(k, std::move(s));
                }
            }
            it = days.insert(k, std::move(d));
        }
        lastDay = std::move(k);
        lastDayRows = &*it;
        return *it;
    };
    // The row's place among its day's stored rows, read on first use: what the database holds now,
    // or nullopt when it holds no such row. Written as the change is applied; valid until the
    // next row of that day is looked up.
    auto storedRow = [&](const Row& r) -> std::optional<Row>& {
        Day& d = dayOf(r);
        const Pair k = rowKey(r);
        auto it = d.rows.find(k);
        if (it != d.rows.end()) return *it;
        return *d.rows.insert(k, d.whole ? std::nullopt : lockRow(sc, def, r));
    };

    return safeRefusal(applyLog(texts::DietJaCad, [&] {
        Transaction tx(sc);
        const QString stamp = nowStamp();
        History history(sc, m_context, QStringLiteral("SetCardadia"), stamp);
        QVector<Row> gone; // deleted diet rows, whose client shares go at the end
        const QVector<const TChange*> ordered = inKeyOrder(delta, def, idx);
        if (!ordered.isEmpty()) {
            // The first change's branch and service travel with its row's lock (one round trip on
            // PostgreSQL instead of three); a bad guess only costs the read.
            const TChange& c = *ordered.first();
            const Row r = rowFromLog(def, idx, c.op == TChange::Insert ? c.newValues : c.oldValues);
            const QString b = logText(r.at(CdFilial));
            rules.ahead(b, c.op == TChange::Insert && m_context.operatorCode.isEmpty()
                               ? logText(r.at(CdOperador))
                               : m_context.operatorCode);
            if (c.op != TChange::Delete && servicesOf.value(b).size() < kWholeBranchServices)
                sc.ahead(serviceSql(), {b, logText(r.at(CdServFili))});
            // An inserted row's menu number too, once its values pass the checks (no bad date is sent).
            if (c.op == TChange::Insert && checkValues(def, r).isEmpty())
                sc.ahead(menuSql(), {b, dateParam(logDate(r.at(DtCardapio)))});
        }
        for (const TChange* change : ordered) {
            const TChange& c = *change;
            if (c.op == TChange::Insert) {
                Row r = rowFromLog(def, idx, c.newValues);
                const QString op =
                    m_context.operatorCode.isEmpty() ? logText(r.at(CdOperador)) : m_context.operatorCode;
                checkRow(r, op);
                std::optional<Row>& slot = storedRow(r);
                if (slot) refuse(texts::DietJaCad);
                const QDate day = logDate(r.at(DtCardapio));
                const QVariant nr = menuOf(logText(r.at(CdFilial)), day);
                if (!nr.isNull()) r[NrCardapio] = nr.toString();
                if (!logDate(r.at(DtMesCard)).isValid()) r[DtMesCard] = QDate(day.year(), day.month(), 1);
                r[DtUltAtu] = stamp;
                insertRow(sc, def, r);
                history.record(def, std::nullopt, r, logText(r.at(CdOperador)));
                slot = std::move(r);
                continue;
            }
            const Row oldRow = rowFromLog(def, idx, c.oldValues);
            if (const QString m = checkValues(def, oldRow); !m.isEmpty()) refuse(m);
            QVector<int> changed;
            if (c.op == TChange::Modify) {
                changed = changedColumns(def, idx, c);
                refuseKeyChange(def, changed);
            }
            std::optional<Row>& slot = storedRow(oldRow);
            if (!slot) refuse(texts::Concurrency);
            const Row& stored = *slot;
            if (c.op == TChange::Modify) {
                if (changed.isEmpty()) continue;
                Row merged = stored;
                for (int col : changed) {
                    const int fi = idx.at(col);
                    if (!sameValue(def.columns.at(col).type, stored.at(col), cellAt(c.oldValues, fi)))
                        refuse(texts::Concurrency);
                    merged[col] = cellAt(c.newValues, fi);
                }
                checkRow(merged, m_context.operatorCode);
                merged[DtUltAtu] = stamp;
                // Only what changed is written: the rest of the row is locked and equal to what was read.
                if (!changed.contains(DtUltAtu)) changed << DtUltAtu;
                updateRow(sc, def, oldRow, merged, changed);
                history.record(def, stored, merged, logText(merged.at(CdOperador)), columnMask(changed));
                slot = std::move(merged);
                continue;
            }
            // Delete: the row must still hold what the client saw, so no one's later change is lost.
            for (int i = 0; i < def.columns.size(); ++i)
                if (idx.at(i) >= 0 && !sameValue(def.columns.at(i).type, stored.at(i), oldRow.at(i)))
                    refuse(texts::Concurrency);
            const QString b = logText(oldRow.at(CdFilial));
            const QDate day = logDate(oldRow.at(DtCardapio));
            const QString s = logText(oldRow.at(CdServFili));
            const QString d = logText(oldRow.at(CdDietPad));
            if (const QString m = rules.refusal(b, day, m_context.operatorCode); !m.isEmpty()) refuse(m);
            {
                Statement& q =
                    sc.exec(QStringLiteral("SELECT 1 FROM RETIRADA WHERE CDFILIAL = ? AND DTRETIRADA = ?"
                                           " AND CDSERVFILI = ? LIMIT 1"),
                            {b, dateParam(day), s});
                if (q.next()) refuse(texts::Retirada);
            }
            {
                // The row's client shares go with it, unless one of those clients is already settled.
                Statement& q = sc.exec(
                    QStringLiteral("SELECT 1 FROM EFETDIET E JOIN APURACLIE A ON A.CDFILIAL = E.CDFILIAL"
                                   " AND A.CDCLIENTE = E.CDCLIENTE AND A.DTAPURACAO = E.DTEFETDIET"
                                   " AND A.IDIMPEFETKVO = 'S'"
                                   " WHERE E.CDFILIAL = ? AND E.DTEFETDIET = ? AND E.CDSERVFILI = ?"
                                   " AND E.CDDIETPAD = ? LIMIT 1"),
                    {b, dateParam(day), s, d});
                if (q.next()) refuse(texts::EfetApu);
            }
            deleteRow(sc, def, oldRow);
            history.record(def, stored, std::nullopt, logText(stored.at(CdOperador)));
            gone << stored;
            slot = std::nullopt;
        }
        // The shares are locked after every diet row, in their own key order, as UpdEfetDiet locks them.
        const TableDef& shares = efetdietDef();
        QVector<Row> goneShares;
        for (const Row& r : gone)
            goneShares += readRows(sc, shares, {EdFilial, EdEfetDiet, EdServFili, EdDietPad},
                                   {r.at(CdFilial), r.at(DtCardapio), r.at(CdServFili), r.at(CdDietPad)});
        std::sort(goneShares.begin(), goneShares.end(),
                  [&](const Row& x, const Row& y) { return keyLess(shares, x, y); });
        for (const Row& r : goneShares) {
            const std::optional<Row> locked = lockRow(sc, shares, r);
            if (!locked) continue; // deleted by someone else meanwhile
            deleteRow(sc, shares, r);
            history.record(shares, locked, std::nullopt);
        }
        tx.commit();
    }));
}

QString RdmMedEfetDiet::UpdEfetDiet(const TChangeLog& delta) {
    const TableDef& def = efetdietDef();
    checkLogShape(delta, def);
    const QVector<int> idx = columnIndexes(def, delta);
    StatementCache sc(m_db);

    // Lookups repeat across the shares of one log (same client, service, diet row): each is asked once.
    using Text2 = std::pair<QString, QString>;
    using Key3 = std::pair<Text2, qint64>;
    BranchRules rules(sc, *this);
    QHash<Key3, bool> settled;                                         // (branch, client), day
    QHash<std::pair<Text2, QString>, bool> served;                     // (branch, service), client
    QHash<std::pair<Text2, std::pair<QString, qint64>>, bool> dietRow; // (branch, service), (diet, day)
    auto isSettled = [&](const QString& b, const QString& cl, const QDate& day) {
        const Key3 k{{b, cl}, day.toJulianDay()};
        auto it = settled.find(k);
        if (it == settled.end()) {
            Statement& q =
                sc.exec(QStringLiteral("SELECT 1 FROM APURACLIE WHERE CDFILIAL = ? AND CDCLIENTE = ?"
                                       " AND DTAPURACAO = ? AND IDIMPEFETKVO = 'S'"),
                        {b, cl, dateParam(day)});
            it = settled.insert(k, q.next());
        }
        return *it;
    };

    auto checkShare = [&](const Row& r) {
        if (const QString m = checkValues(def, r); !m.isEmpty()) refuse(m);
        const QString b = logText(r.at(EdFilial));
        const QString s = logText(r.at(EdServFili));
        const QString cl = logText(r.at(EdCliente));
        const QString d = logText(r.at(EdDietPad));
        const QDate day = logDate(r.at(EdEfetDiet));
        if (const QString m = rules.refusal(b, day, m_context.operatorCode); !m.isEmpty()) refuse(m);
        if (isSettled(b, cl, day)) refuse(texts::EfetApu);
        if (logNum(r.at(EdComEfetDie)) < 0) refuse(texts::InfComen);
        if (logNum(r.at(EdFunEfetDie)) < 0) refuse(texts::InfFunc);
        if (logNum(r.at(EdDoaEfetDie)) < 0) refuse(texts::InfDoac);
        {
            const std::pair<Text2, QString> k{{b, s}, cl};
            auto it = served.find(k);
            if (it == served.end()) {
                Statement& q = sc.exec(
                    QStringLiteral(
                        "SELECT 1 FROM CLIESERV WHERE CDFILIAL = ? AND CDSERVFILI = ? AND CDCLIENTE = ?"),
                    {b, s, cl});
                it = served.insert(k, q.next());
            }
            if (!*it) refuse(texts::ClientNotServed);
        }
        {
            const std::pair<Text2, std::pair<QString, qint64>> k{{b, s}, {d, day.toJulianDay()}};
            auto it = dietRow.find(k);
            if (it == dietRow.end()) {
                Statement& q =
                    sc.exec(QStringLiteral("SELECT 1 FROM CARDADIA WHERE CDFILIAL = ? AND DTCARDAPIO = ?"
                                           " AND CDSERVFILI = ? AND CDDIETPAD = ?"),
                            {b, dateParam(day), s, d});
                it = dietRow.insert(k, q.next());
            }
            if (!*it) refuse(texts::NoDietRow.arg(d, s));
        }
    };

    return applyLog(texts::Concurrency, [&] {
        Transaction tx(sc);
        const QString stamp = nowStamp();
        History history(sc, m_context, QStringLiteral("UpdEfetDiet"), stamp);
        // Numbers for the new shares are taken at once, before any share is locked: the counter is
        // the first lock every save of shares takes.
        qint64 nextSeq = 0;
        if (const qint64 n = std::count_if(delta.changes.begin(), delta.changes.end(),
                                           [](const TChange& c) { return c.op == TChange::Insert; })) {
            sc.exec(QStringLiteral(
                        "UPDATE KVOSEQUENCIA SET NRULTIMO = NRULTIMO + ? WHERE NMSEQUENCIA = 'NRSEQEFETDIE'"),
                    {n});
            Statement& q = sc.exec(
                QStringLiteral("SELECT NRULTIMO FROM KVOSEQUENCIA WHERE NMSEQUENCIA = 'NRSEQEFETDIE'"));
            if (!q.next()) throw DbError(QStringLiteral("Contador NRSEQEFETDIE ausente no banco de dados."));
            nextSeq = q.value(0).toLongLong() - n + 1;
            q.finish();
        }
        for (const TChange* change : inKeyOrder(delta, def, idx)) {
            const TChange& c = *change;
            if (c.op == TChange::Insert) {
                Row r = rowFromLog(def, idx, c.newValues);
                checkShare(r);
                if (lockRow(sc, def, r))
                    refuse(texts::Concurrency); // another user created this share meanwhile
                r[EdSeqEfetDie] = QStringLiteral("%1").arg(nextSeq++, 10, 10, QLatin1Char('0'));
                for (int n : {EdComEfetDie, EdFunEfetDie, EdDoaEfetDie})
                    r[n] = logNum(r.at(n));
                r[EdUltAtu] = stamp;
                insertRow(sc, def, r);
                history.record(def, std::nullopt, r);
                continue;
            }
            const Row oldRow = rowFromLog(def, idx, c.oldValues);
            if (const QString m = checkValues(def, oldRow); !m.isEmpty()) refuse(m);
            if (c.op == TChange::Modify) refuseKeyChange(def, changedColumns(def, idx, c));
            const std::optional<Row> stored = lockRow(sc, def, oldRow);
            if (!stored) refuse(texts::Concurrency);
            if (c.op == TChange::Modify) {
                Row merged = *stored;
                QVector<int> written;
                const QVector<int> changed = changedColumns(def, idx, c);
                for (int col : changed) {
                    if (col == EdSeqEfetDie) continue; // assigned by the server, never by a client
                    const int fi = idx.at(col);
                    if (!sameValue(def.columns.at(col).type, stored->at(col), cellAt(c.oldValues, fi)))
                        refuse(texts::Concurrency);
                    merged[col] = cellAt(c.newValues, fi);
                    if (col != EdUltAtu) written << col;
                }
                if (changed.isEmpty()) continue;
                checkShare(merged);
                merged[EdUltAtu] = stamp;
                written << EdUltAtu;
                updateRow(sc, def, oldRow, merged, written);
                history.record(def, stored, merged);
                continue;
            }
            for (int i = 0; i < def.columns.size(); ++i)
                if (idx.at(i) >= 0 && !sameValue(def.columns.at(i).type, stored->at(i), oldRow.at(i)))
                    refuse(texts::Concurrency);
            const QString b = logText(oldRow.at(EdFilial));
            const QDate day = logDate(oldRow.at(EdEfetDiet));
            if (const QString m = rules.refusal(b, day, m_context.operatorCode); !m.isEmpty()) refuse(m);
            if (isSettled(b, logText(oldRow.at(EdCliente)), day)) refuse(texts::EfetApu);
            deleteRow(sc, def, oldRow);
            history.record(def, stored, std::nullopt);
        }
        tx.commit();
    });
}

} // namespace kvo::server
