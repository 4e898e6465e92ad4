#include "RecordingServer.h"

#include <httplib.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

struct RecordingServer::Impl {
    int upstream = 0;
    int port = 0;
    httplib::Server server;
    std::thread thread;
    mutable std::mutex mutex;
    QStringList calls;
    std::map<QString, QString> failures;
    std::map<QString, QJsonValue> answers;
};

namespace {

std::string Reply(const QJsonValue& id, const char* key, const QJsonValue& value) {
    QJsonObject o{{QStringLiteral("jsonrpc"), QStringLiteral("2.0")}, {QStringLiteral("id"), id}};
    o.insert(QLatin1String(key), value);
    return QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString();
}

} // namespace

RecordingServer::RecordingServer(int upstreamPort) : d(std::make_unique<Impl>()) {
    d->upstream = upstreamPort;
    d->server.Post(R"(/.*)", [this](const httplib::Request& req, httplib::Response& res) {
        const QJsonObject call = QJsonDocument::fromJson(QByteArray::fromStdString(req.body)).object();
        const QString method = call.value(QStringLiteral("method")).toString();
        const QJsonValue id = call.value(QStringLiteral("id"));
        {
            std::lock_guard<std::mutex> lock(d->mutex);
            // The connection's own liveness check is not a call of the screen.
            if (method != QLatin1String("Ping")) d->calls.append(method);
            if (auto f = d->failures.find(method); f != d->failures.end()) {
                QJsonObject error{{QStringLiteral("code"), -32000}, {QStringLiteral("message"), f->second}};
                res.set_content(Reply(id, "error", error), "application/json");
                return;
            }
            if (auto a = d->answers.find(method); a != d->answers.end()) {
                res.set_content(Reply(id, "result", a->second), "application/json");
                return;
            }
        }
        httplib::Client client("127.0.0.1", d->upstream);
        httplib::Headers headers;
        if (req.has_header("Authorization"))
            headers.emplace("Authorization", req.get_header_value("Authorization"));
        if (req.has_header("X-Kvo-Operador"))
            headers.emplace("X-Kvo-Operador", req.get_header_value("X-Kvo-Operador"));
        auto up = client.Post(req.path.c_str(), headers, req.body, "application/json");
        if (!up) {
            res.status = 502;
            return;
        }
        res.status = up->status;
        res.set_content(up->body, "application/json");
    });
    d->port = d->server.bind_to_any_port("127.0.0.1");
    if (d->port <= 0) throw std::runtime_error("recording server: no port");
    d->thread = std::thread([this] { d->server.listen_after_bind(); });
}

RecordingServer::~RecordingServer() {
    d->server.stop();
    if (d->thread.joinable()) d->thread.join();
}

int RecordingServer::port() const {
    return d->port;
}

QStringList RecordingServer::calls() const {
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->calls;
}

void RecordingServer::clearCalls() {
    std::lock_guard<std::mutex> lock(d->mutex);
    d->calls.clear();
}

void RecordingServer::failOn(const QString& method, const QString& message) {
    std::lock_guard<std::mutex> lock(d->mutex);
    d->failures[method] = message;
}

void RecordingServer::answer(const QString& method, const QJsonValue& result) {
    std::lock_guard<std::mutex> lock(d->mutex);
    d->answers[method] = result;
}

void RecordingServer::passAll() {
    std::lock_guard<std::mutex> lock(d->mutex);
    d->failures.clear();
    d->answers.clear();
}
