// Calling rdmMedEfetDiet's methods by name with JSON-RPC positional arguments.
#include "RdmMedEfetDiet.h"

#include "PacketJson.h"
#include "ServerErrors.h"
#include "data/Conversions.h"

#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <functional>

namespace kvo::server {

namespace {

// Positional arguments with type checks that name the method and the position on failure.
class Args {
public:
    Args(const QString& method, const QJsonArray& params, int expected) : m_method(method), m_params(params) {
        if (params.size() != expected)
            throw ParamError(QStringLiteral("O método %1 espera %2 argumento(s); recebeu %3.")
                                 .arg(method)
                                 .arg(expected)
                                 .arg(params.size()));
    }

    // Codes and texts; null is an empty text. Surrounding blanks of codes carry no meaning.
    QString code(int i) const { return text(i).trimmed(); }
    QString text(int i) const {
        const QJsonValue v = m_params.at(i);
        if (v.isNull()) return {};
        if (!v.isString()) fail(i, QStringLiteral("um texto"));
        const QString s = v.toString();
        if (const QString fault = kvo::data::textFault(s); !fault.isEmpty())
            throw ParamError(
                QStringLiteral("O %1º argumento de %2 é inválido: %3.").arg(i + 1).arg(m_method, fault));
        return s;
    }
    // "YYYY-MM-DD", or the packet form at midnight; null is no date.
    QDate date(int i) const {
        const QJsonValue v = m_params.at(i);
        if (v.isNull()) return {};
        const QDate d = v.isString() ? kvo::data::parseIsoDate(v.toString()) : QDate();
        if (!d.isValid()) fail(i, QStringLiteral("uma data (AAAA-MM-DD)"));
        return d;
    }
    TChangeLog log(int i) const {
        const QJsonValue v = m_params.at(i);
        if (!v.isObject()) fail(i, QStringLiteral("um registro de alterações"));
        try {
            return TChangeLog::fromJson(v);
        } catch (const std::exception& e) {
            throw ParamError(QStringLiteral("Registro de alterações inválido para %1: %2")
                                 .arg(m_method, QString::fromUtf8(e.what())));
        }
    }

private:
    [[noreturn]] void fail(int i, const QString& what) const {
        throw ParamError(QStringLiteral("O %1º argumento de %2 deve ser %3.").arg(i + 1).arg(m_method, what));
    }
    QString m_method;
    const QJsonArray& m_params;
};

using Handler = std::function<RpcValue(RdmMedEfetDiet&, const QString&, const QJsonArray&)>;

const QHash<QString, Handler>& handlers() {
    static const QHash<QString, Handler> h = {
        {QStringLiteral("GETParamGeral"),
         [](RdmMedEfetDiet& r, const QString& m, const QJsonArray& p) {
             Args a(m, p, 0);
             return RpcValue{{}, packetJson(r.GETParamGeral())};
         }},
        {QStringLiteral("GetParamPlaneja"),
         [](RdmMedEfetDiet& r, const QString& m, const QJsonArray& p) {
             Args a(m, p, 1);
             return RpcValue{{}, packetJson(r.GetParamPlaneja(a.code(0)))};
         }},
        {QStringLiteral("GetDtCardapio"),
         [](RdmMedEfetDiet& r, const QString& m, const QJsonArray& p) {
             Args a(m, p, 2);
             return RpcValue{{}, packetJson(r.GetDtCardapio(a.code(0), a.date(1)))};
         }},
        {QStringLiteral("GetCardServ"),
         [](RdmMedEfetDiet& r, const QString& m, const QJsonArray& p) {
             Args a(m, p, 2);
             return RpcValue{{}, packetJson(r.GetCardServ(a.code(0), a.date(1)))};
         }},
        {QStringLiteral("GetCardadia"),
         [](RdmMedEfetDiet& r, const QString& m, const QJsonArray& p) {
             Args a(m, p, 2);
             return RpcValue{{}, r.GetCardadiaJson(a.code(0), a.date(1))};
         }},
        {QStringLiteral("Verif_Serv"),
         [](RdmMedEfetDiet& r, const QString& m, const QJsonArray& p) {
             Args a(m, p, 4);
             return RpcValue{QJsonValue(r.Verif_Serv(a.code(0), a.date(1), a.code(2), a.code(3))), {}};
         }},
        {QStringLiteral("SetCardadia"),
         [](RdmMedEfetDiet& r, const QString& m, const QJsonArray& p) {
             Args a(m, p, 1);
             return r.callWithLog(m, a.log(0));
         }},
        {QStringLiteral("GETCliente"),
         [](RdmMedEfetDiet& r, const QString& m, const QJsonArray& p) {
             Args a(m, p, 4);
             return RpcValue{{}, pairJson(r.GETCliente(a.code(0), a.code(1), a.date(2), a.code(3)))};
         }},
        {QStringLiteral("GETEfetClie"),
         [](RdmMedEfetDiet& r, const QString& m, const QJsonArray& p) {
             Args a(m, p, 5);
             return RpcValue{
                 {}, packetJson(r.GETEfetClie(a.code(0), a.code(1), a.code(2), a.date(3), a.code(4)))};
         }},
        {QStringLiteral("GetHistorico"),
         [](RdmMedEfetDiet& r, const QString& m, const QJsonArray& p) {
             Args a(m, p, 5);
             return RpcValue{
                 {}, packetJson(r.GetHistorico(a.code(0), a.code(1), a.code(2), a.date(3), a.code(4)))};
         }},
        {QStringLiteral("UpdEfetDiet"),
         [](RdmMedEfetDiet& r, const QString& m, const QJsonArray& p) {
             Args a(m, p, 1);
             return r.callWithLog(m, a.log(0));
         }},
        {QStringLiteral("GetAtuaQtEfet"),
         [](RdmMedEfetDiet& r, const QString& m, const QJsonArray& p) {
             Args a(m, p, 4);
             return RpcValue{{}, packetJson(r.GetAtuaQtEfet(a.code(0), a.code(1), a.code(2), a.date(3)))};
         }},
        {QStringLiteral("GetComensais"),
         [](RdmMedEfetDiet& r, const QString& m, const QJsonArray& p) {
             Args a(m, p, 2);
             return RpcValue{{}, packetJson(r.GetComensais(a.code(0), a.date(1)))};
         }},
        {QStringLiteral("Vd_Retirada"),
         [](RdmMedEfetDiet& r, const QString& m, const QJsonArray& p) {
             Args a(m, p, 4);
             return RpcValue{QJsonValue(r.Vd_Retirada(a.code(0), a.date(1), a.text(2), a.code(3))), {}};
         }},
        {QStringLiteral("CalcularComensais"),
         [](RdmMedEfetDiet& r, const QString& m, const QJsonArray& p) {
             Args a(m, p, 4);
             return RpcValue{QJsonValue(r.CalcularComensais(a.code(0), a.text(1), a.date(2), a.date(3))), {}};
         }},
        // Lets a client check that the server answers before the first real call.
        {QStringLiteral("Ping"),
         [](RdmMedEfetDiet&, const QString& m, const QJsonArray& p) {
             Args a(m, p, 0);
             return RpcValue{QJsonValue(QStringLiteral("Kvo01000.rdmMedEfetDiet")), {}};
         }},
    };
    return h;
}

} // namespace

const QStringList& RdmMedEfetDiet::methodNames() {
    static const QStringList names = handlers().keys();
    return names;
}

RpcValue RdmMedEfetDiet::callRaw(const QString& method, const QJsonArray& params) {
    const auto it = handlers().constFind(method);
    if (it == handlers().constEnd())
        throw ServerError(QStringLiteral("Método desconhecido: %1").arg(method.left(100)), -32601);
    return (*it)(*this, method, params);
}

bool RdmMedEfetDiet::takesLog(const QString& method) {
    return method == QLatin1String("SetCardadia") || method == QLatin1String("UpdEfetDiet");
}

RpcValue RdmMedEfetDiet::callWithLog(const QString& method, const TChangeLog& log) {
    if (method == QLatin1String("SetCardadia")) return RpcValue{QJsonValue(SetCardadia(log)), {}};
    if (method == QLatin1String("UpdEfetDiet")) return RpcValue{QJsonValue(UpdEfetDiet(log)), {}};
    throw ServerError(QStringLiteral("Método desconhecido: %1").arg(method.left(100)), -32601);
}

QJsonValue RdmMedEfetDiet::call(const QString& method, const QJsonArray& params) {
    const RpcValue v = callRaw(method, params);
    if (v.raw.isEmpty()) return v.json;
    const QJsonDocument doc = QJsonDocument::fromJson(v.raw);
    return doc.isArray() ? QJsonValue(doc.array()) : QJsonValue(doc.object());
}

} // namespace kvo::server
