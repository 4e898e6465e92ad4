// GetHistorico: the recorded changes of one diet row or one client share.
#include "RdmMedEfetDiet.h"

#include "Database.h"
#include "History.h"
#include "PacketBuild.h"

namespace kvo::server {

TDataPacket RdmMedEfetDiet::GetHistorico(const QString& branch, const QString& service, const QString& diet,
                                         const QDate& date, const QString& client) {
    // Keys in each table's own column order, as the history stores them.
    const bool share = !client.isEmpty();
    const QString table = share ? QStringLiteral("EFETDIET") : QStringLiteral("CARDADIA");
    const QString key =
        share ? historyKey({branch, service, client, date, diet}) : historyKey({branch, date, service, diet});
    QSqlQuery q =
        execSql(m_db,
                QStringLiteral("SELECT DTHISTORICO, NMMETODO, IDOPERACAO, CDOPERADOR, DSENDERECO,"
                               " DSANTES, DSDEPOIS FROM KVOHISTORICO WHERE NMTABELA = ? AND DSCHAVE = ?"
                               " ORDER BY NRHISTORICO"),
                {table, key});
    return packetFromQuery({textField("DTHISTORICO", 19), textField("NMMETODO", 30),
                            textField("IDOPERACAO", 1), textField("CDOPERADOR", 12),
                            textField("DSENDERECO", 64), textField("DSANTES", 8000),
                            textField("DSDEPOIS", 8000)},
                           q);
}

} // namespace kvo::server
