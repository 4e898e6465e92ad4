#pragma once

// A fresh PostgreSQL database per test on the throwaway cluster (tests/pg), dropped afterwards.
// The cluster listens on 127.0.0.1:$KVO_TEST_PG_PORT, user postgres, trust authentication.

#include <QCoreApplication>
#include <QDateTime>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QUuid>
#include <stdexcept>

namespace kvo::test {

class PgTestDatabase {
public:
    // Creates the database at once; throws std::runtime_error when the cluster is not reachable.
    explicit PgTestDatabase(const QString& prefix = QStringLiteral("kvotest")) {
        m_port = qEnvironmentVariableIntValue("KVO_TEST_PG_PORT");
        if (m_port <= 0)
            throw std::runtime_error("KVO_TEST_PG_PORT is not set; register the test with FIXTURES postgres");
        // Unique across parallel test processes and across cases in one process.
        m_name = QStringLiteral("%1_%2_%3")
                     .arg(prefix.toLower())
                     .arg(QCoreApplication::applicationPid())
                     .arg(QUuid::createUuid().toString(QUuid::Id128).left(12));
        admin(QStringLiteral("CREATE DATABASE \"%1\" TEMPLATE template0 ENCODING 'UTF8'").arg(m_name));
    }
    ~PgTestDatabase() {
        for (const QString& c : m_connections)
            QSqlDatabase::removeDatabase(c);
        try {
            admin(QStringLiteral("DROP DATABASE IF EXISTS \"%1\" WITH (FORCE)").arg(m_name));
        } catch (...) {
        }
    }
    PgTestDatabase(const PgTestDatabase&) = delete;
    PgTestDatabase& operator=(const PgTestDatabase&) = delete;

    const QString& name() const { return m_name; }
    int port() const { return m_port; }

    // The server's connection string for this database.
    QString connectionString() const {
        return QStringLiteral("postgres:host=127.0.0.1;port=%1;dbname=%2;user=postgres")
            .arg(m_port)
            .arg(m_name);
    }

    // Opens (or returns the already open) connection of that name on this database.
    QSqlDatabase open(const QString& connectionName) {
        if (QSqlDatabase::contains(connectionName)) return QSqlDatabase::database(connectionName);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName);
        db.setHostName(QStringLiteral("127.0.0.1"));
        db.setPort(m_port);
        db.setDatabaseName(m_name);
        db.setUserName(QStringLiteral("postgres"));
        if (!db.open())
            throw std::runtime_error(("cannot open test database: " + db.lastError().text()).toStdString());
        m_connections << connectionName;
        return db;
    }

    // Closes and forgets a connection opened with open().
    void close(const QString& connectionName) {
        if (QSqlDatabase::contains(connectionName)) {
            QSqlDatabase::database(connectionName, false).close();
            QSqlDatabase::removeDatabase(connectionName);
        }
        m_connections.removeAll(connectionName);
    }

private:
    void admin(const QString& sql) const {
        const QString cn = QStringLiteral("pgtest_admin_") + QUuid::createUuid().toString(QUuid::Id128);
        QString error;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), cn);
            db.setHostName(QStringLiteral("127.0.0.1"));
            db.setPort(m_port);
            db.setDatabaseName(QStringLiteral("postgres"));
            db.setUserName(QStringLiteral("postgres"));
            if (!db.open()) {
                error = db.lastError().text();
            } else {
                QSqlQuery q(db);
                if (!q.exec(sql)) error = q.lastError().text();
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(cn);
        if (!error.isEmpty()) throw std::runtime_error(("PostgreSQL test cluster: " + error).toStdString());
    }

    int m_port = 0;
    QString m_name;
    QStringList m_connections;
};

} // namespace kvo::test
