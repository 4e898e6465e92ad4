#include "TNetConnection.h"

#include "data/Conversions.h"
#include "widgets/Dispatch.h"

#include <QDate>
#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QUrl>

namespace {

// What the network stack reports, said in Portuguese; its own English text follows as detail.
QString transportFailure(QNetworkReply::NetworkError error, const QString& address, const QString& detail) {
    QString text;
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
        text = QStringLiteral("Conexão recusada pelo servidor de aplicação %1");
        break;
    case QNetworkReply::RemoteHostClosedError:
        text = QStringLiteral("O servidor de aplicação %1 encerrou a conexão sem responder");
        break;
    case QNetworkReply::HostNotFoundError:
        text = QStringLiteral("Servidor de aplicação %1 não encontrado na rede");
        break;
    case QNetworkReply::SslHandshakeFailedError:
        text = QStringLiteral("Falha na conexão segura (TLS) com o servidor de aplicação %1");
        break;
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
        text = QStringLiteral("A rede caiu durante a conversa com o servidor de aplicação %1");
        break;
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::ProxyAuthenticationRequiredError:
        text = QStringLiteral("O proxy da rede não deixou chegar ao servidor de aplicação %1");
        break;
    default:
        text = QStringLiteral("Não foi possível conectar ao servidor de aplicação %1");
        break;
    }
    text = text.arg(address);
    return detail.isEmpty() ? text + QLatin1Char('.') : QStringLiteral("%1 (%2).").arg(text, detail);
}

QJsonValue argToJson(const QVariant& v, const QString& method, int index) {
    if (!v.isValid() || v.isNull()) return QJsonValue::Null;
    const int t = v.userType();
    if (t == qMetaTypeId<TChangeLog>()) return v.value<TChangeLog>().toJsonValue();
    if (t == qMetaTypeId<TDataPacket>()) return v.value<TDataPacket>().toJsonValue();
    switch (t) {
    case QMetaType::QString:
        return v.toString();
    case QMetaType::Bool:
        return v.toBool();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return v.toDouble();
    case QMetaType::QDate:
    case QMetaType::QDateTime: {
        const QDate d = kvo::data::toDate(v).value_or(QDate());
        return d.isValid() ? QJsonValue(kvo::data::isoDate(d)) : QJsonValue(QJsonValue::Null);
    }
    default:
        throw Exception(
            QStringLiteral("Argumento %1 de %2 de um tipo que não pode ser enviado ao servidor (%3).")
                .arg(index + 1)
                .arg(method, QString::fromLatin1(v.metaType().name())));
    }
}

} // namespace

QString TServerResult::AsString() const {
    if (!ok) return errorMessage;
    switch (payload.type()) {
    case QJsonValue::String:
        return payload.toString();
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        return {};
    case QJsonValue::Bool:
        return payload.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QJsonValue::Double:
        return QString::number(payload.toDouble());
    case QJsonValue::Array:
        return QString::fromUtf8(QJsonDocument(payload.toArray()).toJson(QJsonDocument::Compact));
    case QJsonValue::Object:
        return QString::fromUtf8(QJsonDocument(payload.toObject()).toJson(QJsonDocument::Compact));
    }
    return {};
}

bool TServerResult::AsBool() const {
    if (!ok) throw Exception(errorMessage);
    if (!payload.isBool())
        throw Exception(
            QStringLiteral("Resposta inesperada do servidor de aplicação: esperado verdadeiro ou falso."));
    return payload.toBool();
}

TDataPacket TServerResult::AsPacket() const {
    if (!ok) throw Exception(errorMessage);
    return TDataPacket::fromJson(payload);
}

TPacketPair TServerResult::AsPair() const {
    if (!ok) throw Exception(errorMessage);
    return TPacketPair::fromJson(payload);
}

TNetConnection::TNetConnection(QObject* parent) : QObject(parent), m_nam(new QNetworkAccessManager(this)) {}

TNetConnection::~TNetConnection() = default;

QString TNetConnection::Address() const {
    return QStringLiteral("%1:%2").arg(Host).arg(Port);
}

void TNetConnection::Open() {
    if (BeforeConnect) BeforeConnect(this);
    m_connected = false;
    const TServerResult r = rawCall(QStringLiteral("Ping"), {});
    if (!r.ok)
        throw Exception(QStringLiteral("O servidor de aplicação %1 não atende %2: %3")
                            .arg(Address(), ServerName, r.errorMessage));
    m_connected = true;
}

void TNetConnection::Close() {
    m_connected = false;
    m_nam->clearConnectionCache();
}

TServerResult TNetConnection::Call(const QString& method, const QVariantList& args) {
    if (!m_connected) Open();
    TServerResult r = rawCall(method, args);
    if (!r.ok && ThrowException) throw Exception(r.errorMessage);
    return r;
}

TServerResult TNetConnection::rawCall(const QString& method, const QVariantList& args) {
    QJsonArray params;
    for (int i = 0; i < args.size(); ++i)
        params.append(argToJson(args.at(i), method, i));
    const qint64 id = m_nextId++;
    const QJsonObject request{{QStringLiteral("jsonrpc"), QStringLiteral("2.0")},
                              {QStringLiteral("method"), method},
                              {QStringLiteral("params"), params},
                              {QStringLiteral("id"), double(id)}};

    QUrl url;
    url.setScheme(UseTls ? QStringLiteral("https") : QStringLiteral("http"));
    url.setHost(Host);
    url.setPort(Port);
    url.setPath(QLatin1Char('/') + ServerName);
    if (!url.isValid() || Host.isEmpty())
        throw Exception(QStringLiteral("Endereço do servidor de aplicação inválido: %1.").arg(Address()));
    QNetworkRequest req(url);
    req.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    req.setRawHeader("Authorization", "Bearer " + Token.toUtf8());
    if (!Operator.isEmpty()) req.setRawHeader("X-Kvo-Operador", Operator.toUtf8());
    req.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    if (UseTls && !CaCertFile.isEmpty()) {
        QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
        auto certs = QSslCertificate::fromPath(CaCertFile);
        if (certs.isEmpty())
            throw Exception(
                QStringLiteral("Certificado do servidor de aplicação ilegível: %1.").arg(CaCertFile));
        ssl.addCaCertificates(certs);
        req.setSslConfiguration(ssl);
    }

    req.setTransferTimeout(std::max(1, Timeout));

    QNetworkReply* reply = m_nam->post(req, QJsonDocument(request).toJson(QJsonDocument::Compact));
    QEventLoop loop;
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    // The UI takes no input while the call runs, and repaints only once it has run a while;
    // timers, queued calls and focus changes that reach handler code wait for the call to end
    // (see kvo::Dispatch).
    if (!reply->isFinished()) {
        kvo::TServerCallScope inFlight;
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    // The network stack's own timeout aborts the transfer; nothing else here does.
    const bool timedOut = reply->error() == QNetworkReply::OperationCanceledError ||
                          reply->error() == QNetworkReply::TimeoutError;

    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray body = timedOut ? QByteArray() : reply->readAll();
    const QNetworkReply::NetworkError netError = reply->error();
    const QString netText = reply->errorString();
    reply->deleteLater();

    if (timedOut) {
        m_connected = false;
        throw Exception(QStringLiteral("O servidor de aplicação %1 não respondeu em %2 s (%3).")
                            .arg(Address())
                            .arg(Timeout / 1000.0)
                            .arg(method));
    }
    if (status == 401) {
        m_connected = false;
        throw Exception(
            QStringLiteral("O servidor de aplicação %1 recusou o acesso: token ausente ou inválido.")
                .arg(Address()));
    }
    if (status == 0) {
        m_connected = false;
        throw Exception(transportFailure(netError, Address(), netText));
    }
    QJsonParseError perr;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &perr);
    const QJsonObject o = doc.object();
    if (status != 200) {
        QString detail =
            o.value(QStringLiteral("error")).toObject().value(QStringLiteral("message")).toString();
        if (detail.isEmpty()) detail = QStringLiteral("HTTP %1").arg(status);
        throw Exception(QStringLiteral("O servidor de aplicação %1 recusou a chamada %2: %3")
                            .arg(Address(), method, detail));
    }
    if (perr.error != QJsonParseError::NoError || !doc.isObject())
        throw Exception(QStringLiteral("Resposta inválida do servidor de aplicação %1 para %2: não é JSON.")
                            .arg(Address(), method));
    if (o.value(QStringLiteral("id")).toDouble(-1) != double(id))
        throw Exception(
            QStringLiteral(
                "Resposta inválida do servidor de aplicação %1 para %2: identificador diferente do pedido.")
                .arg(Address(), method));

    TServerResult r;
    if (o.contains(QStringLiteral("error"))) {
        const QJsonObject e = o.value(QStringLiteral("error")).toObject();
        r.ok = false;
        r.errorMessage = e.value(QStringLiteral("message")).toString();
        if (r.errorMessage.isEmpty())
            r.errorMessage = QStringLiteral("O servidor de aplicação %1 informou um erro sem mensagem em %2.")
                                 .arg(Address(), method);
        r.payload = r.errorMessage;
        return r;
    }
    if (!o.contains(QStringLiteral("result")))
        throw Exception(
            QStringLiteral("Resposta inválida do servidor de aplicação %1 para %2: sem resultado.")
                .arg(Address(), method));
    r.payload = o.value(QStringLiteral("result"));
    return r;
}

namespace Consiste {

QJsonValue CheckResultServ(const TServerResult& r, bool raise, int /*flags*/) {
    if (!r.ok) {
        if (raise) throw Exception(r.errorMessage);
        return QJsonValue::Null;
    }
    return r.payload;
}

} // namespace Consiste
