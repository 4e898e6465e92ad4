// The change-log methods of rdmMedEfetDiet: SetCardadia (diet rows) and UpdEfetDiet (client shares).
#include "RdmMedEfetDiet.h"

#include "Database.h"
#include "PacketBuild.h"
#include "RowStore.h"
#include "Texts.h"

#include <QDateTime>
#include <cmath>

namespace kvo::server {

namespace {

const TableDef& cardadiaDef()
{
    static const TableDef d{
        QStringLiteral("CARDADIA"),
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

const TableDef& efetdietDef()
{
    static const TableDef d{
        QStringLiteral("EFETDIET"),
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

QString nowStamp()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

// The key columns of a row, for comparing two keys.
bool sameKey(const TableDef& def, const Row& a, const Row& b)
{
    for (const Column* c : def.keys())
        if (!sameValue(c->type, a.value(c->name), b.value(c->name)))
            return false;
    return true;
}

// A refusal of the whole log; the message goes back to the client as the method's result.
struct Refusal {
    QString message;
};

[[noreturn]] void refuse(const QString& m)
{
    throw Refusal{m};
}

// The screen treats a 10-character answer as success, so a refusal must never be exactly that long.
QString safeRefusal(QString m)
{
    if (m.size() == 10)
        m += QLatin1Char(' ');
    return m;
}

void checkLogShape(const TChangeLog& log, const TableDef& def)
{
    for (const Column* k : def.keys())
        if (log.FieldIndex(k->name) < 0)
            throw ParamError(QStringLiteral("O registro de alterações não tem o campo %1.").arg(k->name));
    for (const TChange& c : log.changes) {
        const bool needOld = c.op != TChange::Insert, needNew = c.op != TChange::Delete;
        if ((needOld && c.oldValues.size() != log.fields.size()) || (needNew && c.newValues.size() != log.fields.size()))
            throw ParamError(QStringLiteral("O registro de alterações tem linhas com número de valores diferente do "
                                            "número de campos."));
    }
}

} // namespace

QString RdmMedEfetDiet::SetCardadia(const TChangeLog& delta)
{
    const TableDef& def = cardadiaDef();
    checkLogShape(delta, def);
    const QVector<int> idx = columnIndexes(def, delta);
    StatementCache sc(m_db);

    // Reference data is read once per call: branch, service types, diet links, the day's menus.
    QHash<QString, QString> serviceType;         // branch|service -> IDTIPOSERV
    QHash<QString, bool> dietOk;                 // branch|service|diet -> linked standard diet
    QHash<QString, QDate> firstOpen;             // branch -> first open day
    QHash<QString, QVariant> menuNumber;         // branch|date -> NRCARDAPIO

    auto typeOf = [&](const QString& b, const QString& s) {
        const QString k = b + QLatin1Char('|') + s;
        auto it = serviceType.find(k);
        if (it == serviceType.end()) {
            QSqlQuery& q = sc.exec( QStringLiteral("SELECT IDTIPOSERV FROM SERVICO WHERE CDFILIAL = ? AND CDSERVFILI = ?"),
                                  {b, s});
            it = serviceType.insert(k, q.next() ? q.value(0).toString() : QString());
        }
        return *it;
    };
    auto dietLinked = [&](const QString& b, const QString& s, const QString& d) {
        const QString k = b + QLatin1Char('|') + s + QLatin1Char('|') + d;
        auto it = dietOk.find(k);
        if (it == dietOk.end()) {
            QSqlQuery& q = sc.exec(
                                  QStringLiteral("SELECT 1 FROM DIETSERV DS JOIN DIETPADR DP ON DP.CDDIETPAD = DS.CDDIETPAD"
                                                 " WHERE DS.CDFILIAL = ? AND DS.CDSERVFILI = ? AND DS.CDDIETPAD = ?"
                                                 " AND DP.IDTIPODIET = 'S'"),
                                  {b, s, d});
            it = dietOk.insert(k, q.next());
        }
        return *it;
    };
    auto closedMessage = [&](const QString& b, const QDate& d) -> QString {
        auto it = firstOpen.find(b);
        if (it == firstOpen.end())
            it = firstOpen.insert(b, firstOpenDay(b));
        if (it->isValid() && d < *it)
            return texts::ClosedDay.arg(it->toString(QStringLiteral("dd/MM/yyyy")));
        return {};
    };
    auto menuOf = [&](const QString& b, const QDate& d) {
        const QString k = b + QLatin1Char('|') + d.toString(Qt::ISODate);
        auto it = menuNumber.find(k);
        if (it == menuNumber.end()) {
            QSqlQuery& q = sc.exec( QStringLiteral("SELECT NRCARDAPIO FROM CARDAPIO WHERE CDFILIAL = ? AND DTCARDAPIO = ?"),
                                  {b, dateParam(d)});
            it = menuNumber.insert(k, q.next() ? q.value(0) : QVariant());
        }
        return *it;
    };

    // The checks every inserted or changed diet row must pass.
    auto checkRow = [&](const Row& r) {
        if (const QString m = checkValues(def, r); !m.isEmpty())
            refuse(m);
        const QString b = logText(r.value(QStringLiteral("CDFILIAL")));
        const QString s = logText(r.value(QStringLiteral("CDSERVFILI")));
        const QString d = logText(r.value(QStringLiteral("CDDIETPAD")));
        const QString type = typeOf(b, s);
        if (type.isEmpty())
            refuse(texts::ServCad);
        if (type != QLatin1String("D"))
            refuse(texts::ServPad);
        if (!dietLinked(b, s, d))
            refuse(texts::DietCad);
        const double cli = logNum(r.value(QStringLiteral("QTCLIEFETCAR")));
        const double fun = logNum(r.value(QStringLiteral("QTFUNEFETCAR")));
        const double doa = logNum(r.value(QStringLiteral("QTDOAEFETCAR")));
        const double tot = logNum(r.value(QStringLiteral("QTCOMEFETCAR")));
        if (cli < 0)
            refuse(texts::InfComen);
        if (fun < 0)
            refuse(texts::InfFunc);
        if (doa < 0)
            refuse(texts::InfDoac);
        if (std::fabs(tot - (cli + fun + doa)) > 1e-6)
            refuse(texts::TotaEfet);
        if (const QString m = closedMessage(b, logDate(r.value(QStringLiteral("DTCARDAPIO")))); !m.isEmpty())
            refuse(m);
    };

    // The stored rows of the days the log touches. A day with many changes is read (and on
    // PostgreSQL locked) with one query instead of one per change; the rows are kept current as
    // the log is applied, so later changes of the same log see earlier ones.
    const Column* branchCol = &def.columns[0];
    const Column* dateCol = &def.columns[1];
    struct Day {
        bool whole = false;
        QHash<QString, std::optional<Row>> rows;  // nullopt: known not to exist
    };
    QHash<QString, Day> days;
    auto rowKey = [](const Row& r) {
        return logText(r.value(QStringLiteral("CDSERVFILI"))) + QLatin1Char('|') + logText(r.value(QStringLiteral("CDDIETPAD")));
    };
    auto dayKey = [](const Row& r) {
        return logText(r.value(QStringLiteral("CDFILIAL"))) + QLatin1Char('|')
            + logDate(r.value(QStringLiteral("DTCARDAPIO"))).toString(Qt::ISODate);
    };
    QHash<QString, int> perDay;
    {
        const int bi = delta.FieldIndex(QStringLiteral("CDFILIAL")), di = delta.FieldIndex(QStringLiteral("DTCARDAPIO"));
        for (const TChange& c : delta.changes) {
            const QVector<QVariant>& v = c.op == TChange::Insert ? c.newValues : c.oldValues;
            ++perDay[logText(v.value(bi)) + QLatin1Char('|') + logDate(v.value(di)).toString(Qt::ISODate)];
        }
    }
    auto dayOf = [&](const Row& r) -> Day& {
        const QString k = dayKey(r);
        auto it = days.find(k);
        if (it == days.end()) {
            Day d;
            if (perDay.value(k) >= 16) {
                d.whole = true;
                for (const Row& s : lockRows(sc, def, {branchCol, dateCol},
                                             {r.value(QStringLiteral("CDFILIAL")), r.value(QStringLiteral("DTCARDAPIO"))}))
                    d.rows.insert(rowKey(s), s);
            }
            it = days.insert(k, d);
        }
        return *it;
    };
    auto storedRow = [&](const Row& r) -> std::optional<Row> {
        Day& d = dayOf(r);
        const QString k = rowKey(r);
        auto it = d.rows.find(k);
        if (it != d.rows.end())
            return *it;
        if (d.whole)
            return std::nullopt;
        return *d.rows.insert(k, lockRow(sc, def, r));
    };
    auto remember = [&](const Row& r, std::optional<Row> value) { dayOf(r).rows.insert(rowKey(r), std::move(value)); };

    try {
        Transaction tx(m_db);
        const QString stamp = nowStamp();
        for (const TChange& c : delta.changes) {
            if (c.op == TChange::Insert) {
                Row r = rowFromLog(def, idx, c.newValues);
                checkRow(r);
                if (storedRow(r))
                    refuse(texts::DietJaCad);
                const QDate day = logDate(r.value(QStringLiteral("DTCARDAPIO")));
                const QVariant nr = menuOf(logText(r.value(QStringLiteral("CDFILIAL"))), day);
                if (!nr.isNull())
                    r.insert(QStringLiteral("NRCARDAPIO"), nr.toString());
                if (!logDate(r.value(QStringLiteral("DTMESCARD"))).isValid())
                    r.insert(QStringLiteral("DTMESCARD"), QDate(day.year(), day.month(), 1));
                r.insert(QStringLiteral("DTULTATU"), stamp);
                try {
                    insertRow(sc, def, r);
                } catch (const DbError& e) {
                    if (isUniqueViolation(e))
                        refuse(texts::DietJaCad);  // inserted by another user meanwhile
                    throw;
                }
                remember(r, r);
                continue;
            }
            const Row oldRow = rowFromLog(def, idx, c.oldValues);
            if (const QString m = checkValues(def, oldRow); !m.isEmpty())
                refuse(m);
            const std::optional<Row> found = storedRow(oldRow);
            if (!found)
                refuse(texts::Concurrency);
            const Row stored = *found;
            if (c.op == TChange::Modify) {
                const QVector<const Column*> changed = changedColumns(def, idx, c);
                Row merged = stored;
                for (const Column* col : changed) {
                    const int fi = delta.FieldIndex(col->name);
                    if (!sameValue(col->type, stored.value(col->name), c.oldValues.value(fi)))
                        refuse(texts::Concurrency);
                    merged.insert(col->name, c.newValues.value(fi));
                }
                if (changed.isEmpty())
                    continue;
                if (const QString m = closedMessage(logText(oldRow.value(QStringLiteral("CDFILIAL"))),
                                                    logDate(oldRow.value(QStringLiteral("DTCARDAPIO"))));
                    !m.isEmpty())
                    refuse(m);
                checkRow(merged);
                const bool keyChanged = !sameKey(def, oldRow, merged);
                if (keyChanged && storedRow(merged))
                    refuse(texts::DietJaCad);
                merged.insert(QStringLiteral("DTULTATU"), stamp);
                try {
                    updateRow(sc, def, oldRow, merged, keyChanged);
                } catch (const DbError& e) {
                    if (isUniqueViolation(e))
                        refuse(texts::DietJaCad);
                    throw;
                }
                remember(oldRow, std::nullopt);
                remember(merged, merged);
                continue;
            }
            // Delete: the row must still hold what the client saw, so no one's later change is lost.
            for (int i = 0; i < def.columns.size(); ++i) {
                const Column& col = def.columns.at(i);
                if (idx.at(i) >= 0 && !sameValue(col.type, stored.value(col.name), oldRow.value(col.name)))
                    refuse(texts::Concurrency);
            }
            const QString b = logText(oldRow.value(QStringLiteral("CDFILIAL")));
            const QDate day = logDate(oldRow.value(QStringLiteral("DTCARDAPIO")));
            const QString s = logText(oldRow.value(QStringLiteral("CDSERVFILI")));
            const QString d = logText(oldRow.value(QStringLiteral("CDDIETPAD")));
            if (const QString m = closedMessage(b, day); !m.isEmpty())
                refuse(m);
            {
                QSqlQuery& q = sc.exec(QStringLiteral("SELECT 1 FROM RETIRADA WHERE CDFILIAL = ? AND DTRETIRADA = ?"
                                                      " AND CDSERVFILI = ? LIMIT 1"),
                                       {b, dateParam(day), s});
                if (q.next())
                    refuse(texts::Retirada);
            }
            {
                // The row's client shares go with it, unless one of those clients is already settled.
                QSqlQuery& q = sc.exec(QStringLiteral("SELECT 1 FROM EFETDIET E JOIN APURACLIE A ON A.CDFILIAL = E.CDFILIAL"
                                                      " AND A.CDCLIENTE = E.CDCLIENTE AND A.DTAPURACAO = E.DTEFETDIET"
                                                      " AND A.IDIMPEFETKVO = 'S'"
                                                      " WHERE E.CDFILIAL = ? AND E.DTEFETDIET = ? AND E.CDSERVFILI = ?"
                                                      " AND E.CDDIETPAD = ? LIMIT 1"),
                                       {b, dateParam(day), s, d});
                if (q.next())
                    refuse(texts::EfetApu);
            }
            sc.exec(QStringLiteral("DELETE FROM EFETDIET WHERE CDFILIAL = ? AND DTEFETDIET = ? AND CDSERVFILI = ?"
                                   " AND CDDIETPAD = ?"),
                    {b, dateParam(day), s, d});
            deleteRow(sc, def, oldRow);
            remember(oldRow, std::nullopt);
        }
        sc.finishAll();
        tx.commit();
    } catch (const Refusal& r) {
        return safeRefusal(r.message);
    }
    return {};
}

QString RdmMedEfetDiet::UpdEfetDiet(const TChangeLog& delta)
{
    const TableDef& def = efetdietDef();
    checkLogShape(delta, def);
    const QVector<int> idx = columnIndexes(def, delta);
    StatementCache sc(m_db);

    auto checkShare = [&](const Row& r) {
        if (const QString m = checkValues(def, r); !m.isEmpty())
            refuse(m);
        const QString b = logText(r.value(QStringLiteral("CDFILIAL")));
        const QString s = logText(r.value(QStringLiteral("CDSERVFILI")));
        const QString cl = logText(r.value(QStringLiteral("CDCLIENTE")));
        const QString d = logText(r.value(QStringLiteral("CDDIETPAD")));
        const QDate day = logDate(r.value(QStringLiteral("DTEFETDIET")));
        {
            QSqlQuery& q = sc.exec(
                                  QStringLiteral("SELECT 1 FROM APURACLIE WHERE CDFILIAL = ? AND CDCLIENTE = ?"
                                                 " AND DTAPURACAO = ? AND IDIMPEFETKVO = 'S'"),
                                  {b, cl, dateParam(day)});
            if (q.next())
                refuse(texts::EfetApu);
        }
        if (logNum(r.value(QStringLiteral("QTCOMEFETDIE"))) < 0)
            refuse(texts::InfComen);
        if (logNum(r.value(QStringLiteral("QTFUNEFETDIE"))) < 0)
            refuse(texts::InfFunc);
        if (logNum(r.value(QStringLiteral("QTDOAEFETDIE"))) < 0)
            refuse(texts::InfDoac);
        {
            QSqlQuery& q = sc.exec(
                                  QStringLiteral("SELECT 1 FROM CLIESERV WHERE CDFILIAL = ? AND CDSERVFILI = ? AND CDCLIENTE = ?"),
                                  {b, s, cl});
            if (!q.next())
                refuse(texts::ClientNotServed);
        }
        {
            QSqlQuery& q = sc.exec(
                                  QStringLiteral("SELECT 1 FROM CARDADIA WHERE CDFILIAL = ? AND DTCARDAPIO = ?"
                                                 " AND CDSERVFILI = ? AND CDDIETPAD = ?"),
                                  {b, dateParam(day), s, d});
            if (!q.next())
                refuse(texts::NoDietRow.arg(d, s));
        }
        if (const QString m = closedDayMessage(b, day); !m.isEmpty())
            refuse(m);
    };

    try {
        Transaction tx(m_db);
        const QString stamp = nowStamp();
        for (const TChange& c : delta.changes) {
            if (c.op == TChange::Insert) {
                Row r = rowFromLog(def, idx, c.newValues);
                checkShare(r);
                if (lockRow(sc, def, r))
                    refuse(texts::Concurrency);  // another user created this share meanwhile
                sc.exec(QStringLiteral("UPDATE KVOSEQUENCIA SET NRULTIMO = NRULTIMO + 1 WHERE NMSEQUENCIA = 'NRSEQEFETDIE'"));
                QSqlQuery& q = sc.exec( QStringLiteral("SELECT NRULTIMO FROM KVOSEQUENCIA WHERE NMSEQUENCIA = 'NRSEQEFETDIE'"));
                if (!q.next())
                    throw DbError(QStringLiteral("Contador NRSEQEFETDIE ausente no banco de dados."));
                r.insert(QStringLiteral("NRSEQEFETDIE"), QStringLiteral("%1").arg(q.value(0).toLongLong(), 10, 10, QLatin1Char('0')));
                q.finish();
                for (const char* n : {"QTCOMEFETDIE", "QTFUNEFETDIE", "QTDOAEFETDIE"})
                    r.insert(QString::fromLatin1(n), logNum(r.value(QString::fromLatin1(n))));
                r.insert(QStringLiteral("DTULTATU"), stamp);
                try {
                    insertRow(sc, def, r);
                } catch (const DbError& e) {
                    if (isUniqueViolation(e))
                        refuse(texts::Concurrency);
                    throw;
                }
                continue;
            }
            const Row oldRow = rowFromLog(def, idx, c.oldValues);
            if (const QString m = checkValues(def, oldRow); !m.isEmpty())
                refuse(m);
            const std::optional<Row> stored = lockRow(sc, def, oldRow);
            if (!stored)
                refuse(texts::Concurrency);
            if (c.op == TChange::Modify) {
                Row merged = *stored;
                const QVector<const Column*> changed = changedColumns(def, idx, c);
                for (const Column* col : changed) {
                    if (col->key)
                        throw ParamError(QStringLiteral("A chave de uma participação de cliente não pode ser alterada."));
                    if (col->name == QLatin1String("NRSEQEFETDIE"))
                        continue;  // assigned by the server, never by a client
                    if (!sameValue(col->type, stored->value(col->name), c.oldValues.value(delta.FieldIndex(col->name))))
                        refuse(texts::Concurrency);
                    merged.insert(col->name, c.newValues.value(delta.FieldIndex(col->name)));
                }
                if (changed.isEmpty())
                    continue;
                checkShare(merged);
                merged.insert(QStringLiteral("DTULTATU"), stamp);
                updateRow(sc, def, oldRow, merged);
                continue;
            }
            for (int i = 0; i < def.columns.size(); ++i) {
                const Column& col = def.columns.at(i);
                if (idx.at(i) >= 0 && !sameValue(col.type, stored->value(col.name), oldRow.value(col.name)))
                    refuse(texts::Concurrency);
            }
            const QString b = logText(oldRow.value(QStringLiteral("CDFILIAL")));
            const QDate day = logDate(oldRow.value(QStringLiteral("DTEFETDIET")));
            {
                QSqlQuery& q = sc.exec(
                                      QStringLiteral("SELECT 1 FROM APURACLIE WHERE CDFILIAL = ? AND CDCLIENTE = ?"
                                                     " AND DTAPURACAO = ? AND IDIMPEFETKVO = 'S'"),
                                      {b, logText(oldRow.value(QStringLiteral("CDCLIENTE"))), dateParam(day)});
                if (q.next())
                    refuse(texts::EfetApu);
            }
            if (const QString m = closedDayMessage(b, day); !m.isEmpty())
                refuse(m);
            deleteRow(sc, def, oldRow);
        }
        sc.finishAll();
        tx.commit();
    } catch (const Refusal& r) {
        return r.message;
    }
    return {};
}

} // namespace kvo::server
