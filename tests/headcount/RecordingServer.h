#pragma once

#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <memory>

// A loopback stand-in in front of the real application server: it records the methods the
// screen calls, in order, and can answer a method with an error or a canned result instead of
// passing it on.
class RecordingServer {
public:
    explicit RecordingServer(int upstreamPort);
    ~RecordingServer();
    RecordingServer(const RecordingServer&) = delete;
    RecordingServer& operator=(const RecordingServer&) = delete;

    int port() const;

    QStringList calls() const;
    void clearCalls();

    // Every later call of `method` gets a JSON-RPC error with this message.
    void failOn(const QString& method, const QString& message);
    // Every later call of `method` gets this result.
    void answer(const QString& method, const QJsonValue& result);
    void passAll();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
