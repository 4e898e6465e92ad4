#include "AppServer.h"

#include "Database.h"
#include "JsonRpc.h"
#include "Schema.h"
#include "ServerErrors.h"
#include "data/Conversions.h"

#include <microhttpd.h>

#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUuid>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

// Why a polling thread plus our own workers rather than the HTTP library's thread pool: a pool
// thread runs the handler on the thread that also reads and writes its share of the sockets, so
// one slow save would stall every connection that thread polls. Here the polling thread never
// blocks: it reads headers and bodies of all connections, suspends a connection once its request
// is complete, and hands the request to a fixed set of workers (one database connection each).
// A worker's answer resumes the connection. Slow or idle clients hold a socket, never a worker.

namespace kvo::server {

namespace {

// The worker a request runs on, with its own database connection (opened on first use).
struct Worker {
    QString connectionName;
};
thread_local Worker* tlsWorker = nullptr;

// A request goes to the worker that went idle last: one client's calls in a row then keep
// running on the same thread and database session, warm in cache, instead of waking every
// worker (and its database backend) in turn as a shared condition variable does.
class WorkerPool {
public:
    WorkerPool(int threads, const QString& prefix) {
        for (int i = 0; i < std::max(1, threads); ++i)
            m_slots.push_back(std::make_unique<Slot>());
        for (int i = 0; i < int(m_slots.size()); ++i)
            m_threads.emplace_back([this, i, name = QStringLiteral("%1-%2").arg(prefix).arg(i)] {
                run(*m_slots[size_t(i)], name);
            });
    }
    ~WorkerPool() { shutdown(); }

    void enqueue(std::function<void()> fn) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_idle.empty()) {
            m_jobs.push_back(std::move(fn));
            return;
        }
        Slot* s = m_idle.back();
        m_idle.pop_back();
        s->idle = false;
        s->job = std::move(fn);
        ++m_busy;
        s->wake.notify_one();
    }

    // Returns once no job is waiting or running.
    void waitIdle() {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_idleAll.wait(lock, [&] { return m_jobs.empty() && m_busy == 0; });
    }

    void shutdown() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stopping = true;
            for (const auto& s : m_slots)
                s->wake.notify_one();
        }
        for (std::thread& t : m_threads)
            if (t.joinable()) t.join();
        m_threads.clear();
    }

private:
    struct Slot {
        std::condition_variable wake;
        std::function<void()> job; // handed over by enqueue
        bool idle = false;         // on m_idle
    };

    // The next job for s: handed over, or waiting in the queue; none once stopping and drained.
    std::function<void()> next(Slot& s) {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            if (s.job) return std::exchange(s.job, nullptr);
            if (!m_jobs.empty()) {
                if (s.idle) std::erase(m_idle, &s);
                s.idle = false;
                std::function<void()> job = std::move(m_jobs.front());
                m_jobs.pop_front();
                ++m_busy;
                return job;
            }
            if (m_stopping) { // every queued request has been served
                if (s.idle) std::erase(m_idle, &s);
                s.idle = false;
                return nullptr;
            }
            if (!s.idle) {
                s.idle = true;
                m_idle.push_back(&s);
            }
            s.wake.wait(lock);
        }
    }

    void run(Slot& s, const QString& name) {
        Worker w{name};
        tlsWorker = &w;
        while (std::function<void()> job = next(s)) {
            job();
            std::lock_guard<std::mutex> lock(m_mutex);
            --m_busy;
            if (m_busy == 0 && m_jobs.empty()) m_idleAll.notify_all();
        }
        tlsWorker = nullptr;
        if (QSqlDatabase::contains(w.connectionName)) {
            QSqlDatabase::database(w.connectionName, false).close();
            QSqlDatabase::removeDatabase(w.connectionName);
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_idleAll;
    std::vector<std::unique_ptr<Slot>> m_slots;
    std::vector<Slot*> m_idle; // the worker that went idle last at the back
    std::deque<std::function<void()>> m_jobs;
    std::vector<std::thread> m_threads;
    int m_busy = 0;
    bool m_stopping = false;
};

bool constantTimeEquals(const char* a, const QByteArray& b) {
    const size_t n = std::strlen(a);
    if (n != size_t(b.size())) return false;
    unsigned char diff = 0;
    for (size_t i = 0; i < n; ++i)
        diff |= static_cast<unsigned char>(a[i]) ^ static_cast<unsigned char>(b[qsizetype(i)]);
    return diff == 0;
}

QString clientAddress(MHD_Connection* c) {
    const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    if (!info || !info->client_addr) return QStringLiteral("?");
    char text[INET6_ADDRSTRLEN] = {};
    const sockaddr* sa = info->client_addr;
    if (sa->sa_family == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(sa)->sin_addr, text, sizeof text);
    else if (sa->sa_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(sa)->sin6_addr, text, sizeof text);
    return QString::fromLatin1(text);
}

// A chunked body over the limit cannot be answered mid-stream, so the rest is read and dropped
// (never kept) up to this much before the connection is simply closed.
constexpr qint64 kDrainBytes = 8 * 1024 * 1024;

QString escapeForLog(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u == '\\')
            out += QStringLiteral("\\\\");
        else if (u < 0x20 || (u >= 0x7f && u < 0xa0) || u == 0x2028 || u == 0x2029)
            out += QStringLiteral("\\x%1").arg(unsigned(u), u > 0xff ? 4 : 2, 16, QLatin1Char('0'));
        else
            out += ch;
    }
    return out;
}

} // namespace

// One request's state, from its headers to the completion of its answer.
struct Request {
    enum Stage { Reading, AtWorker, Answered };
    Stage stage = Reading;
    QElapsedTimer timer;
    QByteArray body;
    qint64 dropped = 0; // bytes read past --max-body and thrown away
    bool tooLarge = false;
    // The answer, set by the worker.
    int status = 0;
    QByteArray answer;
    QString method = QStringLiteral("-"), outcome;
    QString peer, operatorCode; // read on the polling thread, with the headers
};

struct AppServer::Impl {
    ServerOptions options;
    DbSpec target;
    MHD_Daemon* daemon = nullptr;
    std::unique_ptr<WorkerPool> pool;
    QByteArray certPem, keyPem; // kept for the daemon's lifetime
    std::atomic<int> inFlight{0};
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
        holder = openDatabase(target, w->connectionName, OpenMode::Existing);
        return holder;
    }

    // Every field is escaped: method names and paths come from the client, and a line break in
    // one of them must not forge a line of its own.
    void log(MHD_Connection* c, const Request& r) {
        if (!options.logRequests) return;
        const QByteArray line = QStringLiteral("kvo-appserver %1 %2 %3 ms %4\n")
                                    .arg(escapeForLog(clientAddress(c)), escapeForLog(r.method))
                                    .arg(r.timer.elapsed())
                                    .arg(escapeForLog(r.outcome.left(160)))
                                    .toUtf8();
        if (options.logSink)
            options.logSink(line);
        else
            std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    }

    static MHD_Result send(MHD_Connection* c, Request& r) {
        // The answer (a day's rows are megabytes) goes to the response as it is, not copied; the
        // response frees it once sent.
        auto* body = new QByteArray(std::move(r.answer));
        MHD_Response* res = MHD_create_response_from_buffer_with_free_callback_cls(
            size_t(body->size()), body->data(), [](void* p) { delete static_cast<QByteArray*>(p); }, body);
        if (!res) {
            delete body;
            return MHD_NO;
        }
        if (!body->isEmpty())
            MHD_add_response_header(res, MHD_HTTP_HEADER_CONTENT_TYPE, "application/json; charset=utf-8");
        if (r.status == MHD_HTTP_UNAUTHORIZED) MHD_add_response_header(res, "WWW-Authenticate", "Bearer");
        if (r.status == MHD_HTTP_METHOD_NOT_ALLOWED)
            MHD_add_response_header(res, MHD_HTTP_HEADER_ALLOW, "POST");
        const MHD_Result ok = MHD_queue_response(c, unsigned(r.status), res);
        MHD_destroy_response(res);
        return ok;
    }

    // Answers a request that never reaches a method, and logs it.
    MHD_Result refuse(MHD_Connection* c, Request& r, int status, const QString& message) {
        r.status = status;
        r.answer = rpcError(status == MHD_HTTP_UNAUTHORIZED ? -32003 : -32600, message);
        r.outcome = QStringLiteral("%1 %2").arg(status).arg(message);
        r.stage = Request::Answered;
        log(c, r);
        return send(c, r);
    }

    // Checks made as soon as the headers are in, before any of the body is read.
    MHD_Result onHeaders(MHD_Connection* c, Request& r, const char* url, const char* method) {
        if (path() != QLatin1String(url))
            return refuse(c, r, MHD_HTTP_NOT_FOUND,
                          QStringLiteral("Objeto inexistente: use POST %1 (pedido: %2).")
                              .arg(path(), QString::fromUtf8(url).left(80)));
        if (std::strcmp(method, MHD_HTTP_METHOD_POST) != 0)
            return refuse(c, r, MHD_HTTP_METHOD_NOT_ALLOWED,
                          QStringLiteral("Método HTTP não permitido: use POST."));
        const char* auth = MHD_lookup_connection_value(c, MHD_HEADER_KIND, MHD_HTTP_HEADER_AUTHORIZATION);
        if (!auth || std::strncmp(auth, "Bearer ", 7) != 0 || !constantTimeEquals(auth + 7, options.token))
            return refuse(c, r, MHD_HTTP_UNAUTHORIZED,
                          QStringLiteral("Não autorizado: token ausente ou inválido."));
        // The workstation names its operator; an operator code is short, so anything longer is no
        // operator of this suite and is refused rather than recorded cut.
        if (const char* op = MHD_lookup_connection_value(c, MHD_HEADER_KIND, "X-Kvo-Operador")) {
            r.operatorCode = QString::fromUtf8(op).trimmed();
            if (kvo::data::charCount(r.operatorCode) > 12 || !kvo::data::textFault(r.operatorCode).isEmpty())
                return refuse(c, r, MHD_HTTP_BAD_REQUEST, QStringLiteral("Operador inválido no pedido."));
        }
        const char* length = MHD_lookup_connection_value(c, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
        const char* coding =
            MHD_lookup_connection_value(c, MHD_HEADER_KIND, MHD_HTTP_HEADER_TRANSFER_ENCODING);
        if (length) {
            // The library has already refused a length that is not a number.
            if (std::strtoull(length, nullptr, 10) > quint64(options.maxBodyBytes))
                return refuse(c, r, MHD_HTTP_CONTENT_TOO_LARGE, QStringLiteral("Requisição grande demais."));
        } else if (!coding) {
            return refuse(c, r, MHD_HTTP_LENGTH_REQUIRED,
                          QStringLiteral("Requisição sem tamanho (Content-Length)."));
        }
        return MHD_YES;
    }

    void work(MHD_Connection* c, Request* r) {
        RpcOutcome out;
        try {
            QSqlDatabase holder;
            QSqlDatabase& db = workerDb(holder);
            out = handleRpc(r->body, db, CallContext{r->peer, r->operatorCode});
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
        r->status = out.body.isEmpty() ? MHD_HTTP_NO_CONTENT : MHD_HTTP_OK;
        r->answer = std::move(out.body);
        r->method = out.method;
        r->outcome = out.ok ? QStringLiteral("ok")
                            : QStringLiteral("error %1: %2").arg(out.errorCode).arg(out.errorMessage);
        r->body.clear();
        r->stage = Request::Answered;
        MHD_resume_connection(c); // the polling thread calls onRequest again and sends the answer
    }

    MHD_Result onRequest(MHD_Connection* c, const char* url, const char* method, const char* data,
                         size_t* size, void** state) {
        auto* r = static_cast<Request*>(*state);
        if (!r) {
            r = new Request;
            r->timer.start();
            r->peer = clientAddress(c);
            *state = r;
            ++inFlight;
            return onHeaders(c, *r, url, method);
        }
        if (r->stage == Request::Answered) {
            log(c, *r);
            return send(c, *r);
        }
        if (*size > 0) {
            if (r->tooLarge) {
                r->dropped += qint64(*size);
                if (r->dropped > kDrainBytes) return MHD_NO; // closes the connection
            } else if (r->body.size() + qint64(*size) > options.maxBodyBytes) {
                r->tooLarge = true;
                r->body = QByteArray();
            } else {
                r->body.append(data, qsizetype(*size));
            }
            *size = 0;
            return MHD_YES;
        }
        if (r->tooLarge)
            return refuse(c, *r, MHD_HTTP_CONTENT_TOO_LARGE, QStringLiteral("Requisição grande demais."));
        r->stage = Request::AtWorker;
        MHD_suspend_connection(c);
        pool->enqueue([this, c, r] { work(c, r); });
        return MHD_YES;
    }

    void onCompleted(void** state) {
        if (!*state) return;
        delete static_cast<Request*>(*state);
        *state = nullptr;
        --inFlight;
    }

    static MHD_Result accessHandler(void* cls, MHD_Connection* c, const char* url, const char* method,
                                    const char*, const char* data, size_t* size, void** state) {
        return static_cast<Impl*>(cls)->onRequest(c, url, method, data, size, state);
    }
    static void completedHandler(void* cls, MHD_Connection*, void** state, MHD_RequestTerminationCode) {
        static_cast<Impl*>(cls)->onCompleted(state);
    }

    static QString listenFailure(int error) {
        switch (error) {
        case EADDRINUSE:
            return QStringLiteral("a porta já está em uso");
        case EADDRNOTAVAIL:
            return QStringLiteral("o endereço não pertence a esta máquina");
        case EACCES:
            return QStringLiteral("sem permissão para esta porta");
        default:
            return QStringLiteral("falha do sistema");
        }
    }

    // A listening socket of our own: a port in use is told apart from a TLS failure, and no
    // SO_REUSEPORT lets a second server (perhaps on another database) silently share the port.
    int listenSocket() {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
        addrinfo* found = nullptr;
        const QByteArray host = options.host.toUtf8();
        const QByteArray service = QByteArray::number(options.port);
        if (const int rc = getaddrinfo(host.constData(), service.constData(), &hints, &found);
            rc != 0 || !found)
            throw ServerError(QStringLiteral("Endereço de escuta inválido: %1 (%2).")
                                  .arg(options.host, QString::fromLocal8Bit(gai_strerror(rc))));
        int fd =
            socket(found->ai_family, found->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, found->ai_protocol);
        int yes = 1;
        const bool ok = fd >= 0 && setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) == 0 &&
                        bind(fd, found->ai_addr, found->ai_addrlen) == 0 && ::listen(fd, 511) == 0;
        const int error = errno;
        freeaddrinfo(found);
        if (!ok) {
            if (fd >= 0) ::close(fd);
            throw ServerError(QStringLiteral("Não foi possível escutar em %1:%2: %3 (%4).")
                                  .arg(options.host)
                                  .arg(options.port)
                                  .arg(listenFailure(error), QString::fromLocal8Bit(std::strerror(error))));
        }
        sockaddr_storage bound{};
        socklen_t len = sizeof bound;
        getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &len);
        port = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                                 : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
        return fd;
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
            QSqlDatabase db = openDatabase(d->target, cn, OpenMode::Existing);
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
        if (!MHD_is_feature_supported(MHD_FEATURE_TLS))
            throw ServerError(QStringLiteral("Esta instalação não oferece TLS."));
        QFile cert(o.certFile), key(o.keyFile);
        if (cert.open(QIODevice::ReadOnly)) d->certPem = cert.readAll();
        if (key.open(QIODevice::ReadOnly)) d->keyPem = key.readAll();
    }
    const auto invalidTls = [&] {
        return ServerError(
            QStringLiteral("Certificado ou chave TLS inválidos: %1, %2").arg(o.certFile, o.keyFile));
    };
    if (tls && (d->certPem.isEmpty() || d->keyPem.isEmpty())) throw invalidTls();

    const int fd = d->listenSocket();
    d->pool = std::make_unique<WorkerPool>(o.workers, d->poolPrefix);
    unsigned flags = MHD_USE_EPOLL_INTERNAL_THREAD | MHD_ALLOW_SUSPEND_RESUME;
    if (tls) flags |= MHD_USE_TLS;
    // The daemon reads an option list; TLS adds two entries and the list ends with MHD_OPTION_END.
    std::vector<MHD_OptionItem> opts = {
        {MHD_OPTION_LISTEN_SOCKET, fd, nullptr},
        {MHD_OPTION_NOTIFY_COMPLETED, intptr_t(&Impl::completedHandler), d.get()},
        {MHD_OPTION_CONNECTION_MEMORY_LIMIT, std::max(4096, o.headerBytes), nullptr},
        {MHD_OPTION_CONNECTION_TIMEOUT, std::max(1, o.idleTimeoutSec), nullptr},
        {MHD_OPTION_CONNECTION_LIMIT, std::max(1, o.maxConnections), nullptr},
        {MHD_OPTION_PER_IP_CONNECTION_LIMIT, std::max(0, o.maxPerAddress), nullptr},
        {MHD_OPTION_LISTENING_ADDRESS_REUSE, 0, nullptr},
    };
    if (tls) {
        opts.push_back({MHD_OPTION_HTTPS_MEM_CERT, 0, d->certPem.data()});
        opts.push_back({MHD_OPTION_HTTPS_MEM_KEY, 0, d->keyPem.data()});
    }
    opts.push_back({MHD_OPTION_END, 0, nullptr});
    d->daemon = MHD_start_daemon(flags, 0, nullptr, nullptr, &Impl::accessHandler, d.get(), MHD_OPTION_ARRAY,
                                 opts.data(), MHD_OPTION_END);
    if (!d->daemon) {
        ::close(fd);
        d->pool.reset();
        if (tls) throw invalidTls();
        throw ServerError(QStringLiteral("Não foi possível servir em %1:%2.").arg(o.host).arg(d->port));
    }
    d->running = true;
    return d->port;
}

void AppServer::stop() {
    if (!d->daemon) return;
    // No new connections; requests already read are answered, then the daemon closes the rest.
    const MHD_socket listener = MHD_quiesce_daemon(d->daemon);
    if (listener != MHD_INVALID_SOCKET) ::close(listener);
    d->pool->waitIdle();
    for (int i = 0; i < 5000 && d->inFlight > 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        d->pool->waitIdle(); // a kept-alive connection may still have sent one more request
    }
    MHD_stop_daemon(d->daemon);
    d->daemon = nullptr;
    d->pool.reset();
    d->running = false;
}

int AppServer::port() const {
    return d->port;
}

bool AppServer::running() const {
    return d->running;
}

} // namespace kvo::server
