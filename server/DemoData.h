#pragma once

#include <QDate>
#include <QSqlDatabase>

namespace kvo::server {

struct DemoSummary {
    int branches = 0, services = 0, diets = 0, clients = 0, dietRows = 0, shares = 0;
};

// Seeds a realistic demo data set for the 60 days up to `today` into a migrated, empty database.
// Deterministic for a given `today`. Throws ServerError when the database already holds branches.
DemoSummary seedDemo(QSqlDatabase& db, const QDate& today = QDate::currentDate());

} // namespace kvo::server
