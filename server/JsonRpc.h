#pragma once

// JSON-RPC 2.0 over one request body: shape checks, dispatch to rdmMedEfetDiet, error objects.

#include <QByteArray>
#include <QSqlDatabase>
#include <QString>

#include "CallContext.h"

namespace kvo::server {

struct RpcOutcome {
    QByteArray body; // the response; empty for a notification
    QString method;  // for the log; "-" when the request had none
    bool ok = false;
    int errorCode = 0;
    QString errorMessage;
    bool databaseFailure = false; // the connection may need reopening
};

RpcOutcome handleRpc(const QByteArray& body, QSqlDatabase& db, const CallContext& context = {});

// An error response without a request (e.g. for HTTP-level refusals).
QByteArray rpcError(int code, const QString& message);

} // namespace kvo::server
