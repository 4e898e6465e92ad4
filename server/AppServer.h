#pragma once

// The HTTP side of kvo-appserver: JSON-RPC 2.0 at POST /Kvo01000.rdmMedEfetDiet, bearer token,
// optional TLS. One event-driven polling thread holds every connection; only complete requests
// reach the workers, each with its own database connection.

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

namespace kvo::server {

struct ServerOptions {
    QString database; // see DbSpec
    QByteArray token; // required; compared in constant time
    QString host = QStringLiteral("127.0.0.1");
    int port = 0;              // 0: an ephemeral port
    int workers = 8;           // requests served at once
    QString certFile, keyFile; // both set: serve HTTPS
    qint64 maxBodyBytes = 32 * 1024 * 1024;
    int idleTimeoutSec = 10;                        // a connection silent this long is closed
    int maxConnections = 1000;                      // open connections in all
    int maxPerAddress = 32;                         // open connections from one client address; 0: no limit
    int headerBytes = 64 * 1024;                    // request line and headers of one request
    bool logRequests = true;                        // one line per request
    std::function<void(const QByteArray&)> logSink; // where the lines go; default stderr
};

class AppServer {
public:
    explicit AppServer(ServerOptions options);
    ~AppServer(); // stops
    AppServer(const AppServer&) = delete;
    AppServer& operator=(const AppServer&) = delete;

    // Checks the database schema, binds and serves in the background; returns the bound port.
    // Throws ServerError (bad database, schema not migrated, port taken, bad TLS files).
    int start();
    int start(const QString& database, const QByteArray& token, int port = 0);

    // Stops accepting, lets requests in flight finish, closes the workers' connections.
    void stop();

    int port() const;
    bool running() const;
    static QString path(); // "/Kvo01000.rdmMedEfetDiet"

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace kvo::server
