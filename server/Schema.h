#pragma once

#include <QSqlDatabase>

namespace kvo::server {

// The suite database's tables and their versioned migrations, for SQLite and PostgreSQL.
class Schema {
public:
    static int latestVersion();
    // Version recorded in the database; 0 for an empty database.
    static int currentVersion(QSqlDatabase& db);
    // Applies every migration the database lacks, each in its own transaction. Idempotent.
    static void migrate(QSqlDatabase& db);
    // Throws ServerError when the database is not at the latest version (run --init first).
    static void check(QSqlDatabase& db);
};

} // namespace kvo::server
