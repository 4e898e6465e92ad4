// The application server under hostile clients, in process on a small SQLite database:
// resident memory while a 300 MB chunked body arrives (without a token, and with one over
// --max-body), and how fast a normal client is answered while slow and idle connections are held.
// --quick shortens every part.
#include <httplib.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "server/AppServer.h"
#include "server/Database.h"
#include "server/Schema.h"
#include "support/RawClient.h"

using namespace kvo::server;

namespace {

using kvo::test::connectTo;

const char* kToken = "bench-token";
const char* kPath = "/Kvo01000.rdmMedEfetDiet";

long residentKb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

// Streams a chunked body of `total` bytes until done or refused; prints the bytes sent, the answer
// and the highest resident size seen meanwhile.
void chunkedAttack(int port, const QByteArray& token, qint64 total, const char* label) {
    const int fd = connectTo(port);
    QByteArray head = QByteArray("POST ") + kPath + " HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n";
    if (!token.isEmpty()) head += "Authorization: Bearer " + token + "\r\n";
    head += "\r\n";
    ::send(fd, head.constData(), size_t(head.size()), MSG_NOSIGNAL);
    const QByteArray piece = QByteArray::number(64 * 1024, 16) + "\r\n" + QByteArray(64 * 1024, 'a') + "\r\n";
    const long before = residentKb();
    long peak = before;
    qint64 sent = 0;
    QElapsedTimer timer;
    timer.start();
    while (sent < total) {
        const ssize_t n = ::send(fd, piece.constData(), size_t(piece.size()), MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += n;
        if ((sent / n) % 64 == 0) peak = std::max(peak, residentKb());
    }
    char answer[64] = {};
    struct timeval tv {
        2, 0
    };
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    const ssize_t got = ::recv(fd, answer, sizeof answer - 1, 0);
    ::close(fd);
    std::printf("%-34s sent %7.1f MB in %5lld ms, answer \"%.12s\", resident %ld -> peak %ld kB\n", label,
                double(sent) / 1e6, timer.elapsed(), got > 0 ? answer : "(none)", before, peak);
}

void latencyUnderSlowClients(int port, int slowCount, int idleCount, int calls) {
    std::vector<int> idle, slow;
    for (int i = 0; i < idleCount; ++i)
        idle.push_back(connectTo(port));
    for (int i = 0; i < slowCount; ++i) {
        slow.push_back(connectTo(port));
        const QByteArray h = QByteArray("POST ") + kPath + " HTTP/1.1\r\n";
        ::send(slow.back(), h.constData(), size_t(h.size()), MSG_NOSIGNAL);
    }
    std::atomic<bool> done{false};
    std::thread dripper([&] {
        for (int n = 0; !done; ++n) {
            const QByteArray line = "X-Slow-" + QByteArray::number(n) + ": 1\r\n";
            for (int fd : slow)
                ::send(fd, line.constData(), size_t(line.size()), MSG_NOSIGNAL);
            for (int k = 0; k < 30 && !done; ++k)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    std::vector<double> ms;
    httplib::Client cli("127.0.0.1", port);
    const std::string body = R"({"jsonrpc":"2.0","method":"Ping","params":[],"id":1})";
    for (int k = 0; k < calls; ++k) {
        QElapsedTimer t;
        t.start();
        auto res = cli.Post(kPath, httplib::Headers{{"Authorization", std::string("Bearer ") + kToken}}, body,
                            "application/json");
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
        if (!res || res->status != 200) std::printf("  call %d failed\n", k);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    done = true;
    dripper.join();
    for (int fd : idle)
        ::close(fd);
    for (int fd : slow)
        ::close(fd);
    std::sort(ms.begin(), ms.end());
    std::printf("normal client, %d slow + %d idle connections: median %.2f ms, p99 %.2f ms, max %.2f ms\n",
                slowCount, idleCount, ms[ms.size() / 2],
                ms[std::min(ms.size() - 1, size_t(double(ms.size()) * 0.99))], ms.back());
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    QTemporaryDir dir;
    const QString url = QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("hostile.db"));
    {
        QSqlDatabase db = openDatabase(DbSpec::parse(url), QStringLiteral("bench-init"));
        Schema::migrate(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench-init"));

    ServerOptions o;
    o.database = url;
    o.token = kToken;
    o.workers = 8;
    o.maxBodyBytes = 64 * 1024;
    o.maxPerAddress = 0; // every client here is 127.0.0.1
    o.logRequests = false;
    AppServer server(o);
    const int port = server.start();

    const qint64 attack = quick ? 30'000'000 : 300'000'000;
    chunkedAttack(port, {}, attack, "chunked body, no token:");
    chunkedAttack(port, kToken, attack, "chunked body, token, 64 KiB limit:");
    latencyUnderSlowClients(port, 16, 200, quick ? 50 : 300);
    std::printf("resident after: %ld kB\n", residentKb());
    return 0;
}
