#include "JsonRpc.h"

#include "LogRequest.h"
#include "RdmMedEfetDiet.h"
#include "ServerErrors.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

namespace kvo::server {

namespace {

QByteArray response(const QJsonValue& id, const char* member, const QJsonValue& value) {
    QJsonObject o{{QStringLiteral("jsonrpc"), QStringLiteral("2.0")},
                  {QString::fromLatin1(member), value},
                  {QStringLiteral("id"), id}};
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray errorBody(const QJsonValue& id, int code, const QString& message) {
    return response(id, "error",
                    QJsonObject{{QStringLiteral("code"), code}, {QStringLiteral("message"), message}});
}

} // namespace

QByteArray rpcError(int code, const QString& message) {
    return errorBody(QJsonValue::Null, code, message);
}

namespace {

// Runs the call and wraps its result or its failure for the client.
template <typename Call>
RpcOutcome answer(RpcOutcome out, const QJsonValue& id, bool notification, Call&& call) {
    auto fail = [&](int code, const QString& message) {
        out.ok = false;
        out.errorCode = code;
        out.errorMessage = message;
        out.body = errorBody(id, code, message);
    };
    try {
        const RpcValue result = call();
        out.ok = true;
        if (notification) {
            out.body.clear();
        } else if (result.raw.isEmpty()) {
            out.body = response(id, "result", result.json);
        } else {
            // Packets come encoded already; only the envelope is added around them.
            QByteArray b;
            b.reserve(result.raw.size() + 64);
            b += "{\"jsonrpc\":\"2.0\",\"id\":";
            b += QJsonDocument(QJsonArray{id}).toJson(QJsonDocument::Compact).mid(1).chopped(1);
            b += ",\"result\":";
            b += result.raw;
            b += '}';
            out.body = b;
        }
    } catch (const DbError& e) {
        out.databaseFailure = true;
        fail(e.code(), e.message());
    } catch (const ServerError& e) {
        fail(e.code(), e.message());
    } catch (const std::exception& e) {
        fail(-32603, QStringLiteral("Erro interno do servidor: %1").arg(QString::fromUtf8(e.what())));
    }
    if (notification) out.body.clear();
    return out;
}

} // namespace

RpcOutcome handleRpc(const QByteArray& body, QSqlDatabase& db, const CallContext& context) {
    RpcOutcome out;
    out.method = QStringLiteral("-");
    // Saves carry a change log of up to thousands of rows: read straight into the log when the
    // request is one this reader fully understands, else through the general path below.
    if (std::optional<LogRequest> req = readLogRequest(body); req && RdmMedEfetDiet::takesLog(req->method)) {
        out.method = req->method.left(64);
        return answer(std::move(out), req->id, req->notification, [&] {
            RdmMedEfetDiet rdm(db, context);
            return rdm.callWithLog(req->method, req->log);
        });
    }
    auto fail = [&](const QJsonValue& id, int code, const QString& message) {
        out.ok = false;
        out.errorCode = code;
        out.errorMessage = message;
        out.body = errorBody(id, code, message);
        return out;
    };

    QJsonParseError perr;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &perr);
    if (perr.error != QJsonParseError::NoError)
        return fail(QJsonValue::Null, -32700,
                    QStringLiteral("Requisição inválida: o corpo não é JSON (%1).").arg(perr.errorString()));
    if (!doc.isObject())
        return fail(QJsonValue::Null, -32600,
                    QStringLiteral("Requisição inválida: esperado um objeto JSON-RPC 2.0."));
    const QJsonObject req = doc.object();
    QJsonValue id = req.value(QStringLiteral("id"));
    const bool notification = !req.contains(QStringLiteral("id"));
    if (!(id.isString() || id.isDouble() || id.isNull() || id.isUndefined()))
        return fail(QJsonValue::Null, -32600,
                    QStringLiteral("Requisição inválida: id deve ser texto, número ou nulo."));
    if (id.isUndefined()) id = QJsonValue::Null;
    if (req.value(QStringLiteral("jsonrpc")).toString() != QLatin1String("2.0"))
        return fail(id, -32600, QStringLiteral("Requisição inválida: jsonrpc deve ser \"2.0\"."));
    const QJsonValue m = req.value(QStringLiteral("method"));
    if (!m.isString() || m.toString().isEmpty())
        return fail(id, -32600, QStringLiteral("Requisição inválida: method deve ser um texto."));
    out.method = m.toString().left(64);
    const QJsonValue p = req.value(QStringLiteral("params"));
    if (!(p.isArray() || p.isUndefined() || p.isNull()))
        return fail(
            id, -32602,
            QStringLiteral("Parâmetros inválidos: params deve ser uma lista de argumentos em ordem."));
    return answer(std::move(out), id, notification, [&] {
        RdmMedEfetDiet rdm(db, context);
        return rdm.callRaw(m.toString(), p.toArray());
    });
}

} // namespace kvo::server
