#pragma once

#include "FrameworkExport.h"

#include <QDate>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>

// The host's shared database connection. Every lookup query and the login context read through
// it. SQLite (a file that must already exist) or PostgreSQL.
namespace dtmDBGeral {

struct TDatabaseConfig {
    QString driver = QStringLiteral("QSQLITE"); // "QSQLITE" or "QPSQL"
    QString database;                           // SQLite file path, or PostgreSQL database name
    QString host;
    int port = 0;
    QString user;
    QString password;
    QString options; // further PostgreSQL connect options, "key=value;..."
};

enum TDialect { dlDefault, dlOracle, dlMsSql, dlInterBase };

// Opens (or reopens) the shared connection. Throws Exception with a clear message when the
// database cannot be reached; the previous connection is gone in that case.
KVO_FRAMEWORK_EXPORT void Open(const TDatabaseConfig& config);
KVO_FRAMEWORK_EXPORT void Close();
KVO_FRAMEWORK_EXPORT bool Connected();
KVO_FRAMEWORK_EXPORT const TDatabaseConfig& Config();

// The open connection; throws Exception when it is not open.
KVO_FRAMEWORK_EXPORT QSqlDatabase dtbGeral();
inline QSqlDatabase adcGeral() {
    return dtbGeral();
}
inline QSqlDatabase ibtGeral() {
    return dtbGeral();
}

KVO_FRAMEWORK_EXPORT TDialect Dialect();
// "SQLite arquivo.db" / "PostgreSQL host:port/base", for status lines.
KVO_FRAMEWORK_EXPORT QString Description();

// Reads a date column as kvo::data::dateFromSql does; a null date for null or unreadable values.
KVO_FRAMEWORK_EXPORT QDate ToDate(const QVariant& value);

} // namespace dtmDBGeral
