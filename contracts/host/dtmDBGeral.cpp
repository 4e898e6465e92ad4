#include "host/dtmDBGeral.h"

#include "data/Conversions.h"
#include "data/Exceptions.h"

#include <QFileInfo>
#include <QSqlError>

namespace dtmDBGeral {
namespace {

const QString kConnection = QStringLiteral("kvo_dtmDBGeral");
TDatabaseConfig g_config;
bool g_open = false;

QString describe(const TDatabaseConfig& c) {
    if (c.driver == QLatin1String("QPSQL"))
        return QStringLiteral("PostgreSQL %1:%2/%3")
            .arg(c.host.isEmpty() ? QStringLiteral("localhost") : c.host)
            .arg(c.port > 0 ? c.port : 5432)
            .arg(c.database);
    return QStringLiteral("SQLite %1").arg(c.database);
}

} // namespace

void Open(const TDatabaseConfig& config) {
    Close();
    if (config.driver != QLatin1String("QSQLITE") && config.driver != QLatin1String("QPSQL"))
        throw Exception(QStringLiteral("Tipo de banco de dados não suportado: %1.").arg(config.driver));
    if (!QSqlDatabase::isDriverAvailable(config.driver))
        throw Exception(
            QStringLiteral("O driver de banco de dados %1 não está instalado.").arg(config.driver));
    if (config.database.trimmed().isEmpty())
        throw Exception(QStringLiteral("Banco de dados não configurado."));
    if (config.driver == QLatin1String("QSQLITE")) {
        // SQLite would silently create an empty file and every lookup would then find nothing.
        QFileInfo file(config.database);
        if (!file.exists() || !file.isFile())
            throw Exception(QStringLiteral("Banco de dados não encontrado: %1.").arg(config.database));
    }

    {
        QSqlDatabase db = QSqlDatabase::addDatabase(config.driver, kConnection);
        db.setDatabaseName(config.database);
        if (config.driver == QLatin1String("QSQLITE")) {
            // The application server writes the same file; wait for its locks instead of failing.
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        } else {
            if (!config.host.isEmpty()) db.setHostName(config.host);
            if (config.port > 0) db.setPort(config.port);
            db.setUserName(config.user);
            db.setPassword(config.password);
            // A site's own connect_timeout wins over ours.
            QString options = config.options;
            if (!options.contains(QLatin1String("connect_timeout=")))
                options = options.isEmpty() ? QStringLiteral("connect_timeout=10")
                                            : options + QStringLiteral(";connect_timeout=10");
            db.setConnectOptions(options);
        }
        if (!db.open()) {
            const QString why = db.lastError().text();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(kConnection);
            throw Exception(QStringLiteral("Não foi possível abrir o banco de dados (%1): %2")
                                .arg(describe(config), why));
        }
    }
    g_config = config;
    g_open = true;
}

void Close() {
    if (QSqlDatabase::contains(kConnection)) {
        {
            QSqlDatabase db = QSqlDatabase::database(kConnection, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(kConnection);
    }
    g_open = false;
}

bool Connected() {
    return g_open && QSqlDatabase::database(kConnection, false).isOpen();
}

const TDatabaseConfig& Config() {
    return g_config;
}

QSqlDatabase dtbGeral() {
    if (!Connected()) throw Exception(QStringLiteral("Conexão com o banco de dados não está aberta."));
    return QSqlDatabase::database(kConnection, false);
}

TDialect Dialect() {
    const QString driver = g_open ? g_config.driver : QString();
    if (driver == QLatin1String("QOCI")) return dlOracle;
    if (driver == QLatin1String("QODBC")) return dlMsSql;
    if (driver == QLatin1String("QIBASE")) return dlInterBase;
    return dlDefault;
}

QString Description() {
    return g_open ? describe(g_config) : QStringLiteral("sem banco de dados");
}

QDate ToDate(const QVariant& value) {
    return kvo::data::dateFromSql(value);
}

} // namespace dtmDBGeral
