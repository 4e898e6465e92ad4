#pragma once

#include "FrameworkExport.h"

// The application-server connection: JSON-RPC 2.0 over HTTP(S) to
// http://Host:Port/<ServerName>, bearer token, synchronous calls. While a call waits for its
// answer no handler code runs; what arrives meanwhile is kept or dropped by kvo::Dispatch.

#include <QJsonValue>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <functional>

#include "data/Exceptions.h"
#include "data/TDataPacket.h"

Q_DECLARE_METATYPE(TChangeLog)
Q_DECLARE_METATYPE(TDataPacket)

class QNetworkAccessManager;

// One method's answer.
struct KVO_FRAMEWORK_EXPORT TServerResult {
    bool ok = true;     // false: the server answered a JSON-RPC error
    QJsonValue payload; // the result; for an error, the error message as a JSON string
    QString errorMessage;

    // The payload as text; for an error its message, so callers that skip the result check
    // never take a failure for an empty (successful) answer.
    QString AsString() const;
    bool AsBool() const;          // throws Exception for an error or a non-Boolean result
    TDataPacket AsPacket() const; // throws Exception / EPacketError with a clear message
    TPacketPair AsPair() const;
};

class KVO_FRAMEWORK_EXPORT TNetConnection : public QObject {
    Q_OBJECT
public:
    explicit TNetConnection(QObject* parent = nullptr);
    ~TNetConnection() override;

    QString ServerName = QStringLiteral("Kvo01000.rdmMedEfetDiet");
    QString Host = QStringLiteral("127.0.0.1");
    int Port = 8211;
    QString Token;
    QString Operator; // sent with each call, so the server records who changed what
    bool UseTls = false;
    QString CaCertFile;         // extra trusted certificate (PEM) for a private CA
    bool ThrowException = true; // server errors: throw (true) or come back in TServerResult
    int Timeout = 30000;        // ms a call may go without data moving before it is given up

    // Runs at Open(), before connecting; the screen sets Host and Port there.
    std::function<void(QObject* Sender)> BeforeConnect;

    // Runs BeforeConnect, then checks that the server answers; throws Exception otherwise.
    void Open();
    void Close();
    bool Connected() const { return m_connected; }

    // Calls a method with positional arguments: QString, numbers, bool, QDate/QDateTime
    // (sent as "YYYY-MM-DD"; invalid as null), TChangeLog, TDataPacket, null.
    // Opens the connection first when needed. Transport failures always throw Exception.
    TServerResult Call(const QString& method, const QVariantList& args);

    QString Address() const; // "host:port", for messages

private:
    TServerResult rawCall(const QString& method, const QVariantList& args);

    QNetworkAccessManager* m_nam;
    bool m_connected = false;
    qint64 m_nextId = 1;
};

namespace Consiste {
// An error result becomes an exception carrying the server's message (when raise); otherwise
// the payload. With raise false an error yields a null payload.
KVO_FRAMEWORK_EXPORT QJsonValue CheckResultServ(const TServerResult& r, bool raise = true, int flags = 0);
} // namespace Consiste
