// JSON-RPC request bodies run against a real suite database (in memory, with the demo data): whatever
// arrives, the server answers one JSON-RPC object (or nothing, for a notification) and never crashes.
#include "server/Database.h"
#include "server/DemoData.h"
#include "server/JsonRpc.h"
#include "server/Schema.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <cstdint>
#include <cstdlib>

namespace {
QSqlDatabase* db = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    db = new QSqlDatabase(kvo::server::openDatabase(kvo::server::DbSpec::parse("sqlite::memory:"), "fuzz"));
    kvo::server::Schema::migrate(*db);
    // A fixed day, so that the seed corpus's dates meet data.
    kvo::server::seedDemo(*db, QDate(2026, 3, 20));
    // The connection keeps its prepared statements until it goes; it must go before Qt SQL's own
    // statics do (registered after them, so run first), or their queries cannot free their results.
    std::atexit([] {
        delete db;
        db = nullptr;
        QSqlDatabase::removeDatabase(QStringLiteral("fuzz"));
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray body = QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
    const kvo::server::RpcOutcome out = kvo::server::handleRpc(body, *db, {QStringLiteral("127.0.0.1"), {}});
    if (!out.body.isEmpty() && !QJsonDocument::fromJson(out.body).isObject()) std::abort();
    return 0;
}
