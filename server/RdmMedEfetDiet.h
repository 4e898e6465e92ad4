#pragma once

// The remote data module rdmMedEfetDiet: the headcount methods over one database connection.
// Stateless between calls; every write method applies its change log in one transaction.

#include <QDate>
#include <QJsonArray>
#include <QJsonValue>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include "CallContext.h"
#include "data/TDataPacket.h"

namespace kvo::server {

// A method's result: JSON text already encoded (packets), or a plain JSON value.
struct RpcValue {
    QJsonValue json;
    QByteArray raw;
};

class RdmMedEfetDiet {
public:
    explicit RdmMedEfetDiet(QSqlDatabase db, CallContext context = {})
        : m_db(std::move(db)), m_context(std::move(context)) {}

    static const QStringList& methodNames();

    // Runs a method by name with JSON-RPC positional params. Throws ParamError for an unknown
    // method or wrong arguments, DbError for a database failure.
    QJsonValue call(const QString& method, const QJsonArray& params);
    RpcValue callRaw(const QString& method, const QJsonArray& params);
    // The methods whose one argument is a change log, called with the log already decoded.
    static bool takesLog(const QString& method);
    RpcValue callWithLog(const QString& method, const TChangeLog& log);

    TDataPacket GETParamGeral();
    TDataPacket GetParamPlaneja(const QString& branch);
    TDataPacket GetDtCardapio(const QString& branch, const QDate& processingDate);
    TDataPacket GetCardServ(const QString& branch, const QDate& date);
    TPacketPair GetCardadia(const QString& branch, const QDate& date);
    // The same pair as JSON text, written straight from the query.
    QByteArray GetCardadiaJson(const QString& branch, const QDate& date);
    bool Verif_Serv(const QString& branch, const QDate& date, const QString& service, const QString& diet);
    QString SetCardadia(const TChangeLog& delta);
    TPacketPair GETCliente(const QString& branch, const QString& service, const QDate& date,
                           const QString& diet);
    TDataPacket GETEfetClie(const QString& branch, const QString& service, const QString& diet,
                            const QDate& date, const QString& client);
    QString UpdEfetDiet(const TChangeLog& delta);
    TDataPacket GetAtuaQtEfet(const QString& branch, const QString& service, const QString& diet,
                              const QDate& date);
    TDataPacket GetComensais(const QString& branch, const QDate& date);
    QString Vd_Retirada(const QString& branch, const QDate& date, const QString& message,
                        const QString& service);
    QString CalcularComensais(const QString& branch, const QString& selection, const QDate& firstDay,
                              const QDate& date);
    // The recorded changes of one diet row (no client) or of one client share, oldest first.
    TDataPacket GetHistorico(const QString& branch, const QString& service, const QString& diet,
                             const QDate& date, const QString& client);

    // The first day that is still open for changes on that branch, or an invalid date when no
    // day is closed (closing off, no processing date).
    QDate firstOpenDay(const QString& branch);
    // The same from a branch's DTPROC, IDBLQEFEDIAFECH and NRDIAANTDTPROC already read.
    static QDate firstOpenDay(const QDate& proc, const QVariant& blocks, const QVariant& daysBefore);

private:
    TDataPacket planningParams(const QString& branch);
    QString closedDayMessage(const QString& branch, const QDate& date);

    QSqlDatabase m_db;
    CallContext m_context;
};

} // namespace kvo::server
