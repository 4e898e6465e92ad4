// kvo-host started as a person would: what it says and how it ends when it cannot start.

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestHostApp : public QObject {
    Q_OBJECT

    struct Run {
        int rc = -1;
        QString err, out;
    };

    static Run host(const QStringList& args) {
        QProcess p;
        p.setProgram(qEnvironmentVariable("KVO_BIN_DIR") + QStringLiteral("/kvo-host"));
        p.setArguments(args);
        p.start();
        Run r;
        if (!p.waitForFinished(20000)) {
            p.kill();
            p.waitForFinished();
            r.err = QStringLiteral("did not end");
            return r;
        }
        r.rc = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
        r.err = QString::fromUtf8(p.readAllStandardError());
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        return r;
    }

private slots:
    void help() {
        const Run r = host({"--help"});
        QCOMPARE(r.rc, 0);
        QVERIFY2(r.out.contains("--database"), qPrintable(r.out));
    }

    void badConfiguration() {
        const Run r = host({"--server-port", "abc"});
        QCOMPARE(r.rc, 2);
        QVERIFY2(r.err.contains("Porta do servidor inválida"), qPrintable(r.err));
    }

    void missingDatabase() {
        QTemporaryDir dir;
        const QString db = dir.filePath("nada.db");
        const Run r = host({"--database", "sqlite:" + db, "--server-port", "1"});
        QCOMPARE(r.rc, 1);
        QVERIFY2(r.err.contains("Banco de dados não encontrado"), qPrintable(r.err));
        QVERIFY(!QFile::exists(db));
    }
};

QTEST_GUILESS_MAIN(TestHostApp)
#include "tst_hostapp.moc"
