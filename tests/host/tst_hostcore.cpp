// Host routines that need no database: code and date texts, weekday names, container enabling
// and the host's configuration (INI file and command line).

#include "host/Consiste.h"
#include "host/HostConfig.h"

#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

class TestHostCore : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString write(const QString& name, const QByteArray& text) {
        QFile f(m_dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(text);
        return f.fileName();
    }

private slots:
    void ajusta_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("expected");
        QTest::newRow("digits padded") << "1" << 4 << "0001";
        QTest::newRow("blanks trimmed first") << "  12 " << 4 << "0012";
        QTest::newRow("full width kept") << "0001" << 4 << "0001";
        QTest::newRow("letters kept as typed") << "ab" << 4 << "ab";
        QTest::newRow("mixed not padded") << "1A" << 4 << "1A";
        QTest::newRow("too long cut") << "ABCDEF" << 4 << "ABCD";
        QTest::newRow("long digits cut") << "123456" << 5 << "12345";
        QTest::newRow("empty stays empty") << "   " << 4 << "";
        QTest::newRow("service width") << "7" << 5 << "00007";
    }
    void ajusta() {
        QFETCH(QString, text);
        QFETCH(int, width);
        QFETCH(QString, expected);
        QCOMPARE(Consiste::Ajusta(text, width), expected);
    }

    void emptyString() {
        QVERIFY(Consiste::EmptyString(""));
        QVERIFY(Consiste::EmptyString("    "));
        QVERIFY(Consiste::EmptyString("  /  /    "));
        QVERIFY(Consiste::EmptyString("__/__/____"));
        QVERIFY(!Consiste::EmptyString(" 0 "));
        QVERIFY(!Consiste::EmptyString("01/  /    "));
        QVERIFY(!Consiste::EmptyString("A"));
    }

    void nomeSemana() {
        QCOMPARE(Consiste::NomeSemana(QDate(2026, 12, 6)), QString("Domingo"));
        QCOMPARE(Consiste::NomeSemana(QDate(2026, 12, 8)), QString("Terça"));
        QCOMPARE(Consiste::NomeSemana(QDate(2026, 12, 12)), QString("Sábado"));
        QCOMPARE(Consiste::NomeSemana(QDate()), QString());
    }

    void setChildEnabled() {
        QWidget panel;
        auto* a = new QLineEdit(&panel);
        auto* inner = new QWidget(&panel);
        auto* b = new QLineEdit(inner);
        Consiste::SetChildEnabled(&panel, false);
        QVERIFY(!a->isEnabled());
        QVERIFY(!inner->isEnabled());
        QVERIFY(panel.isEnabled());
        Consiste::SetChildEnabled(&panel, true);
        QVERIFY(a->isEnabled() && b->isEnabled());
        Consiste::SetChildEnabled(nullptr, true); // no panel, nothing to do
    }

    void configFromIniAndCommandLine() {
        QVERIFY(m_dir.isValid());
        write("token", "  s3cret\n");
        const QString ini = write("host.ini", "[login]\nbranch=0002\noperator=ANA\nbound=true\n"
                                              "[database]\nurl=sqlite:suite.db\n"
                                              "[server]\nhost=10.0.0.5\nport=8021\ntokenfile=token\n"
                                              "[host]\nopen=yes\n");
        THostConfig cfg = LoadHostConfig({"kvo-host", "--config", ini});
        QCOMPARE(cfg.login.filial, QString("0002"));
        QCOMPARE(cfg.login.operador, QString("ANA"));
        QVERIFY(cfg.login.moduFili);
        QCOMPARE(cfg.database.driver, QString("QSQLITE"));
        QCOMPARE(cfg.database.database, m_dir.filePath("suite.db")); // relative to the INI file
        QCOMPARE(cfg.login.webUrl, QString("10.0.0.5"));
        QCOMPARE(cfg.login.webPort, 8021);
        QCOMPARE(cfg.login.token, QString("s3cret"));
        QVERIFY(cfg.openOnStart);

        // The command line wins over the file.
        cfg = LoadHostConfig({"kvo-host", "--config", ini, "--branch", "0001", "--server-port", "9000",
                              "--database", "postgres:host=db1;port=5433;dbname=suite;user=kvo;password=x"});
        QCOMPARE(cfg.login.filial, QString("0001"));
        QCOMPARE(cfg.login.webPort, 9000);
        QCOMPARE(cfg.database.driver, QString("QPSQL"));
        QCOMPARE(cfg.database.host, QString("db1"));
        QCOMPARE(cfg.database.port, 5433);
        QCOMPARE(cfg.database.database, QString("suite"));
        QCOMPARE(cfg.database.user, QString("kvo"));
        QCOMPARE(cfg.database.password, QString("x"));
    }

    void configPostgresSection() {
        const QString ini =
            write("pg.ini", "[database]\ndriver=postgres\nhost=db.local\nport=5433\nname=suite\n"
                            "user=kvo\npassword=a,b\n");
        const THostConfig cfg = LoadHostConfig({"kvo-host", "--config", ini});
        QCOMPARE(cfg.database.driver, QString("QPSQL"));
        QCOMPARE(cfg.database.host, QString("db.local"));
        QCOMPARE(cfg.database.port, 5433);
        QCOMPARE(cfg.database.database, QString("suite"));
        QCOMPARE(cfg.database.password, QString("a,b")); // a comma is not a list separator here
        QVERIFY(!cfg.openOnStart);
        QCOMPARE(cfg.login.webUrl, QString("127.0.0.1")); // defaults stay
    }

    void configRefusesBadInput_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("port not a number") << QStringList{"--server-port", "80a"};
        QTest::newRow("port out of range") << QStringList{"--server-port", "70000"};
        QTest::newRow("missing config file") << QStringList{"--config", "/nonexistent/host.ini"};
        QTest::newRow("missing token file") << QStringList{"--token-file", "/nonexistent/token"};
        QTest::newRow("unknown option") << QStringList{"--frobnicate"};
        QTest::newRow("postgres without dbname") << QStringList{"--database", "postgres:host=x"};
        QTest::newRow("postgres unknown key") << QStringList{"--database", "postgres:dbname=a;colour=red"};
        QTest::newRow("postgres database alias") << QStringList{"--database", "postgres:database=a"};
        QTest::newRow("unknown scheme") << QStringList{"--database", "mysql:a"};
        QTest::newRow("stray argument") << QStringList{"extra"};
    }
    void configRefusesBadInput() {
        QFETCH(QStringList, args);
        args.prepend("kvo-host");
        QVERIFY_THROWS_EXCEPTION(Exception, LoadHostConfig(args));
    }

    // A key the host does not know in [database] would silently leave the default database.
    void unknownDatabaseKeyRefused() {
        const QString ini = write("typo.ini", "[database]\nconexao=sqlite:other.db\n");
        try {
            LoadHostConfig({"kvo-host", "--config", ini});
            QFAIL("an unknown [database] key was accepted");
        } catch (const Exception& e) {
            QVERIFY2(e.Message().contains("conexao"), qPrintable(e.Message()));
        }
    }

    void emptyTokenFileRefused() {
        const QString empty = write("empty-token", "\n  \n");
        QVERIFY_THROWS_EXCEPTION(Exception, LoadHostConfig({"kvo-host", "--token-file", empty}));
    }

    // SQLite would create a missing file silently and every lookup would find nothing.
    void missingSqliteFileRefused() {
        dtmDBGeral::TDatabaseConfig cfg;
        cfg.database = m_dir.filePath("absent.db");
        QVERIFY_THROWS_EXCEPTION(Exception, dtmDBGeral::Open(cfg));
        QVERIFY(!QFile::exists(cfg.database));
        QVERIFY(!dtmDBGeral::Connected());
        QVERIFY_THROWS_EXCEPTION(Exception, dtmDBGeral::dtbGeral());
    }
};

QTEST_MAIN(TestHostCore)
#include "tst_hostcore.moc"
