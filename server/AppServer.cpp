#include "AppServer.h"

#include "Database.h"
#include "JsonRpc.h"
#include "Schema.h"
#include "ServerErrors.h"

#include <httplib.h>

#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QUuid>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace kvo::server {

namespace {

// The worker a request runs on, with its own database connection (opened on first use).
struct Worker {
    QString connectionName;
    bool open = false;
};
thread_local Worker* tlsWorker = nullptr;

// A fixed set of threads; enqueue blocks while too many connections wait, so a flood of
// clients queues up in the kernel's backlog rather than in our memory.
class WorkerPool : public httplib::TaskQueue {
public:
    WorkerPool(int threads, int maxPending, QString prefix) : m_maxPending(std::max(1, maxPending)) {
        for (int i = 0; i < std::max(1, threads); ++i)
            m_threads.emplace_back([this, name = QStringLiteral("%1-%2").arg(prefix).arg(i)] { run(name); });
    }
    ~WorkerPool() override { shutdown(); }

    void enqueue(std::function<void()> fn) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_space.wait(lock, [&] { return m_stopping || int(m_jobs.size()) < m_maxPending; });
        if (m_stopping) return;
        m_jobs.push_back(std::move(fn));
        m_ready.notify_one();
    }

    void shutdown() override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_stopping && m_threads.empty()) return;
            m_stopping = true;
        }
        m_ready.notify_all();
        m_space.notify_all();
        for (std::thread& t : m_threads)
            if (t.joinable()) t.join();
        m_threads.clear();
    }

private:
    void run(const QString& name) {
        Worker w{name, false};
        tlsWorker = &w;
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_ready.wait(lock, [&] { return m_stopping || !m_jobs.empty(); });
                if (m_jobs.empty()) break; // stopping, and every accepted connection has been served
                job = std::move(m_jobs.front());
                m_jobs.pop_front();
                m_space.notify_one();
            }
            job();
        }
        tlsWorker = nullptr;
        if (QSqlDatabase::contains(w.connectionName)) {
            QSqlDatabase::database(w.connectionName, false).close();
            QSqlDatabase::removeDatabase(w.connectionName);
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_ready, m_space;
    std::deque<std::function<void()>> m_jobs;
    std::vector<std::thread> m_threads;
    int m_maxPending;
    bool m_stopping = false;
};

bool constantTimeEquals(const std::string& a, const QByteArray& b) {
    if (a.size() != size_t(b.size())) return false;
    unsigned char diff = 0;
    for (size_t i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i]) ^ static_cast<unsigned char>(b[int(i)]);
    return diff == 0;
}

const std::string kJson = "application/json; charset=utf-8";

} // namespace

struct AppServer::Impl {
    ServerOptions options;
    DbSpec target;
    std::unique_ptr<httplib::Server> http;
    std::thread listener;
    std::atomic<bool> running{false};
    int port = 0;
    QString poolPrefix = QStringLiteral("kvo-worker-") + QUuid::createUuid().toString(QUuid::Id128).left(8);

    QSqlDatabase& workerDb(QSqlDatabase& holder) {
        Worker* w = tlsWorker;
        if (!w) throw DbError(QStringLiteral("Requisição fora do conjunto de trabalhadores."));
        if (QSqlDatabase::contains(w->connectionName)) {
            holder = QSqlDatabase::database(w->connectionName, false);
            if (holder.isOpen()) return holder;
            holder = QSqlDatabase();
            QSqlDatabase::removeDatabase(w->connectionName);
        }
        holder = openDatabase(target, w->connectionName);
        return holder;
    }

    void log(const httplib::Request& req, const QString& method, qint64 ms, const QString& outcome) {
        if (!options.logRequests) return;
        const QByteArray line = QStringLiteral("kvo-appserver %1 %2 %3 ms %4\n")
                                    .arg(QString::fromStdString(req.remote_addr), method)
                                    .arg(ms)
                                    .arg(outcome.left(160))
                                    .toUtf8();
        std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    }

    void handle(const httplib::Request& req, httplib::Response& res) {
        QElapsedTimer timer;
        timer.start();
        const std::string auth = req.get_header_value("Authorization");
        const std::string prefix = "Bearer ";
        if (auth.compare(0, prefix.size(), prefix) != 0 ||
            !constantTimeEquals(auth.substr(std::min(auth.size(), prefix.size())), options.token)) {
            res.status = 401;
            res.set_header("WWW-Authenticate", "Bearer");
            res.set_content(
                rpcError(-32003, QStringLiteral("Não autorizado: token ausente ou inválido.")).toStdString(),
                kJson);
            log(req, QStringLiteral("-"), timer.elapsed(), QStringLiteral("401 unauthorized"));
            return;
        }
        RpcOutcome out;
        try {
            QSqlDatabase holder;
            QSqlDatabase& db = workerDb(holder);
            out = handleRpc(QByteArray::fromStdString(req.body), db,
                            CallContext{QString::fromStdString(req.remote_addr), {}});
            if (out.databaseFailure) {
                // A dropped connection is reopened on the next request rather than failing forever.
                QSqlQuery probe(db);
                if (!probe.exec(QStringLiteral("SELECT 1"))) db.close();
            }
        } catch (const ServerError& e) {
            out.ok = false;
            out.errorCode = e.code();
            out.errorMessage = e.message();
            out.body = rpcError(e.code(), e.message());
        } catch (const std::exception& e) {
            out.ok = false;
            out.errorCode = -32603;
            out.errorMessage = QString::fromUtf8(e.what());
            out.body = rpcError(-32603, QStringLiteral("Erro interno do servidor: %1").arg(out.errorMessage));
        }
        res.status = out.body.isEmpty() ? 204 : 200;
        if (!out.body.isEmpty()) res.set_content(out.body.toStdString(), kJson);
        log(req, out.method, timer.elapsed(),
            out.ok ? QStringLiteral("ok")
                   : QStringLiteral("error %1: %2").arg(out.errorCode).arg(out.errorMessage));
    }
};

AppServer::AppServer(ServerOptions options) : d(std::make_unique<Impl>()) {
    d->options = std::move(options);
}

AppServer::~AppServer() {
    stop();
}

QString AppServer::path() {
    return QStringLiteral("/Kvo01000.rdmMedEfetDiet");
}

int AppServer::start(const QString& database, const QByteArray& token, int port) {
    d->options.database = database;
    d->options.token = token;
    d->options.port = port;
    return start();
}

int AppServer::start() {
    if (d->running) return d->port;
    const ServerOptions& o = d->options;
    if (o.token.isEmpty())
        throw ServerError(QStringLiteral("Nenhum token configurado: informe --token-file ou KVO_TOKEN."));
    d->target = DbSpec::parse(o.database);
    {
        // Refuse to serve a database that lacks the schema, before anyone connects.
        const QString cn = d->poolPrefix + QStringLiteral("-check");
        {
            QSqlDatabase db = openDatabase(d->target, cn);
            try {
                Schema::check(db);
            } catch (...) {
                db.close();
                db = QSqlDatabase();
                QSqlDatabase::removeDatabase(cn);
                throw;
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(cn);
    }

    const bool tls = !o.certFile.isEmpty() || !o.keyFile.isEmpty();
    if (tls) {
        if (o.certFile.isEmpty() || o.keyFile.isEmpty())
            throw ServerError(QStringLiteral("TLS requer o certificado e a chave (--tls-cert e --tls-key)."));
        auto s = std::make_unique<httplib::SSLServer>(o.certFile.toLocal8Bit().constData(),
                                                      o.keyFile.toLocal8Bit().constData());
        if (!s->is_valid())
            throw ServerError(
                QStringLiteral("Certificado ou chave TLS inválidos: %1, %2").arg(o.certFile, o.keyFile));
        d->http = std::move(s);
    } else {
        d->http = std::make_unique<httplib::Server>();
    }
    httplib::Server& http = *d->http;
    const int workers = o.workers, pending = o.maxPending;
    const QString prefix = d->poolPrefix;
    http.new_task_queue = [workers, pending, prefix] { return new WorkerPool(workers, pending, prefix); };
    http.set_payload_max_length(size_t(std::max<qint64>(1024, o.maxBodyBytes)));
    http.set_read_timeout(o.readTimeoutSec, 0);
    http.set_write_timeout(o.writeTimeoutSec, 0);
    http.set_keep_alive_timeout(o.keepAliveSec);
    http.set_keep_alive_max_count(1000);
    http.set_tcp_nodelay(true);
    // The library's default sets SO_REUSEPORT, which would let a second server (perhaps on
    // another database) silently share the port; plain SO_REUSEADDR refuses it.
    http.set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    });

    Impl* impl = d.get();
    http.Post(path().toStdString(),
              [impl](const httplib::Request& req, httplib::Response& res) { impl->handle(req, res); });
    http.set_error_handler([impl](const httplib::Request& req, httplib::Response& res) {
        // Answers for requests that never reach the method: wrong path or verb, body too large.
        if (!res.body.empty()) return; // already answered (e.g. 401)
        QString message;
        switch (res.status) {
        case 404:
            message = QStringLiteral("Objeto inexistente: use POST %1.").arg(AppServer::path());
            break;
        case 405:
            message = QStringLiteral("Método HTTP não permitido: use POST.");
            break;
        case 413:
            message = QStringLiteral("Requisição grande demais.");
            break;
        case 400:
            message = QStringLiteral("Requisição HTTP malformada.");
            break;
        default:
            message = QStringLiteral("Erro HTTP %1.").arg(res.status);
            break;
        }
        res.set_content(rpcError(-32600, message).toStdString(), kJson);
        impl->log(req, QStringLiteral("-"), 0, QStringLiteral("%1 %2").arg(res.status).arg(message));
    });
    http.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
        res.status = 500;
        res.set_content(rpcError(-32603, QStringLiteral("Erro interno do servidor.")).toStdString(), kJson);
    });

    const std::string host = o.host.toStdString();
    int bound = o.port;
    if (o.port == 0) {
        bound = http.bind_to_any_port(host);
        if (bound <= 0) throw ServerError(QStringLiteral("Não foi possível escutar em %1.").arg(o.host));
    } else if (!http.bind_to_port(host, o.port)) {
        throw ServerError(
            QStringLiteral("Não foi possível escutar em %1:%2 (porta em uso?).").arg(o.host).arg(o.port));
    }
    d->port = bound;
    d->running = true;
    d->listener = std::thread([impl] { impl->http->listen_after_bind(); });
    // stop() only takes effect once the loop runs, so do not hand back a half-started server.
    for (int i = 0; i < 5000 && !http.is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return bound;
}

void AppServer::stop() {
    if (!d->http) return;
    d->http->stop();
    if (d->listener.joinable())
        d->listener.join(); // returns after the pool has finished every accepted connection
    d->http.reset();
    d->running = false;
}

int AppServer::port() const {
    return d->port;
}

bool AppServer::running() const {
    return d->running;
}

} // namespace kvo::server
