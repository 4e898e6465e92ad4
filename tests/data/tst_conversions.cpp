#include "data/Conversions.h"
#include "data/Exceptions.h"
#include "data/TClientDataSet.h"
#include "data/TDataPacket.h"

#include <QTest>
#include <ctime>

using namespace kvo::data;

Q_DECLARE_METATYPE(std::optional<double>)

// Runs under a zone whose clocks jumped from 00:00 to 01:00 on these days: a day held as a local
// QDateTime at midnight does not exist there and moves.
static const QDate kLostMidnights[] = {QDate(2018, 11, 4), QDate(1999, 10, 3)};

class TstConversions : public QObject {
    Q_OBJECT

private slots:
    void isoDates_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("date");
        QTest::newRow("day") << "2026-12-08" << QDate(2026, 12, 8);
        QTest::newRow("packet midnight") << "2026-12-08T00:00:00" << QDate(2026, 12, 8);
        QTest::newRow("time of day refused") << "2026-12-08T10:20:30" << QDate();
        QTest::newRow("zone suffix") << "2026-12-08T00:00:00Z" << QDate();
        QTest::newRow("impossible day") << "2026-02-30" << QDate();
        QTest::newRow("short fields") << "2026-1-8" << QDate();
        QTest::newRow("two-digit year") << "26-12-08" << QDate();
        QTest::newRow("blank around") << " 2026-12-08" << QDate();
        QTest::newRow("display form") << "08/12/2026" << QDate();
        QTest::newRow("empty") << "" << QDate();
    }
    void isoDates() {
        QFETCH(QString, text);
        QFETCH(QDate, date);
        QCOMPARE(parseIsoDate(text), date);
        if (date.isValid()) {
            QCOMPARE(parseIsoDate(isoDate(date)), date);
            QCOMPARE(parseIsoDate(packetDate(date)), date);
        }
    }

    void displayDates_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("date");
        QTest::newRow("full") << "08/12/2026" << QDate(2026, 12, 8);
        QTest::newRow("one-digit day and month") << "8/2/2026" << QDate(2026, 2, 8);
        QTest::newRow("blank around") << " 08/12/2026 " << QDate(2026, 12, 8);
        QTest::newRow("two-digit year refused") << "08/12/26" << QDate();
        QTest::newRow("three-digit day") << "008/12/2026" << QDate();
        QTest::newRow("impossible day") << "31/02/2026" << QDate();
        QTest::newRow("dashes") << "08-12-2026" << QDate();
        QTest::newRow("time of day") << "08/12/2026 10:00" << QDate();
        QTest::newRow("empty mask") << "  /  /    " << QDate();
        QTest::newRow("iso form") << "2026-12-08" << QDate();
    }
    void displayDates() {
        QFETCH(QString, text);
        QFETCH(QDate, date);
        QCOMPARE(parseDisplayDate(text), date);
        if (date.isValid()) QCOMPARE(parseDisplayDate(displayDate(date)), date);
    }

    // Each reader takes what its source delivers and nothing looser.
    void datesFromCallersAndDatabases() {
        QCOMPARE(displayDate(QDate(2026, 3, 9)), "09/03/2026");
        QCOMPARE(isoDate(QDate(2026, 3, 9)), "2026-03-09");
        QCOMPARE(packetDate(QDate(2026, 3, 9)), "2026-03-09T00:00:00");
        QCOMPARE(displayDate(QDate()), "");

        QCOMPARE(toDate(QVariant()), QDate());
        QCOMPARE(toDate(QStringLiteral("9/3/2026")), QDate(2026, 3, 9));
        QCOMPARE(toDate(QStringLiteral("2026-03-09")), QDate(2026, 3, 9));
        QCOMPARE(toDate(QDateTime(QDate(2026, 3, 9), QTime(23, 30), Qt::UTC)), QDate(2026, 3, 9));
        QVERIFY(!toDate(QStringLiteral("amanhã")));
        QVERIFY(!toDate(20260309.0));

        QCOMPARE(dateFromSql(QStringLiteral("2026-03-09")), QDate(2026, 3, 9));
        QCOMPARE(dateFromSql(QStringLiteral("2026-03-09 07:00:00")), QDate(2026, 3, 9)); // a timestamp
        QCOMPARE(dateFromSql(QStringLiteral("2026-03-09T07:00:00")), QDate(2026, 3, 9));
        QCOMPARE(dateFromSql(QDate(2026, 3, 9)), QDate(2026, 3, 9));
        QCOMPARE(dateFromSql(QStringLiteral("2026-03-09x")), QDate());
        QCOMPARE(dateFromSql(QStringLiteral("09/03/2026")), QDate());
        QCOMPARE(sqlDate(QDate(2026, 3, 9)).toString(), "2026-03-09");
        QVERIFY(sqlDate(QDate()).isNull());
    }

    // Packet codec, field accessors and record-set storage keep the day where midnight was skipped.
    void daysSurviveALostMidnight() {
        QCOMPARE(qgetenv("TZ"), QByteArray("America/Sao_Paulo"));
        for (const QDate& day : kLostMidnights) {
            const QByteArray json =
                QByteArrayLiteral(R"({"fields":[{"name":"DTCARDAPIO","type":"datetime"}],"rows":[[")") +
                packetDate(day).toLatin1() + QByteArrayLiteral(R"("]]})");
            const TDataPacket p = TDataPacket::fromJson(json);
            QCOMPARE(p.rows[0][0].toDate(), day);
            QCOMPARE(p.toJson(), json);

            TClientDataSet cds;
            cds.SetData(p);
            TField* f = cds.FieldByName("DTCARDAPIO");
            QCOMPARE(f->AsDate(), day);
            QCOMPARE(f->AsDateTime().date(), day);
            QCOMPARE(f->DisplayText(), displayDate(day));
            cds.Edit();
            f->SetAsDate(day.addDays(1));
            f->SetAsDate(day);
            cds.Post();
            QCOMPARE(f->AsDate(), day);
            QCOMPARE(cds.Data().toJson(), json);
            cds.Edit();
            f->SetAsDate(day.addDays(-1));
            cds.Post();
            const QByteArray log = cds.Delta().toJson();
            QVERIFY(log.contains(packetDate(day).toLatin1()));
            QCOMPARE(TChangeLog::fromJson(log).changes[0].oldValues[0].toDate(), day);
            QCOMPARE(TChangeLog::fromJson(log).changes[0].newValues[0].toDate(), day.addDays(-1));
            cds.Edit();
            f->SetDisplayText(displayDate(day));
            cds.Post();
            QVERIFY(cds.Locate("DTCARDAPIO", QVariant(day)));
            QCOMPARE(f->AsDate(), day);
        }
    }

    void numbers_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("plain");
        QTest::newRow("whole") << 12.0 << "12"
                               << "12";
        QTest::newRow("fraction") << 2.5 << "2,5"
                                  << "2.5";
        QTest::newRow("no grouping") << 12345.75 << "12345,75"
                                     << "12345.75";
        QTest::newRow("binary noise") << 0.1 + 0.2 << "0,3"
                                      << "0.3";
        QTest::newRow("negative zero") << -0.0 << "0"
                                       << "0";
        QTest::newRow("tiny negative") << -1e-12 << "0"
                                       << "0";
    }
    void numbers() {
        QFETCH(double, value);
        QFETCH(QString, display);
        QFETCH(QString, plain);
        QCOMPARE(displayNumber(value), display);
        QCOMPARE(plainNumber(value), plain);
        QCOMPARE(parseNumber(display),
                 std::optional<double>(QString(display).replace(u',', u'.').toDouble()));
    }

    void typedNumbers_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::optional<double>>("value");
        QTest::newRow("comma") << "2,5" << std::optional<double>(2.5);
        QTest::newRow("point") << " 7.25 " << std::optional<double>(7.25);
        QTest::newRow("thousands and comma") << "1.234,5" << std::optional<double>(1234.5);
        QTest::newRow("negative") << "-3,25" << std::optional<double>(-3.25);
        QTest::newRow("letters") << "abc" << std::optional<double>();
        QTest::newRow("two commas") << "1,2,3" << std::optional<double>();
        QTest::newRow("trailing letter") << "12a" << std::optional<double>();
        QTest::newRow("overflow") << "1e999" << std::optional<double>();
        QTest::newRow("nan") << "nan" << std::optional<double>();
        QTest::newRow("infinity") << "inf" << std::optional<double>();
        QTest::newRow("empty") << "" << std::optional<double>();
    }
    void typedNumbers() {
        QFETCH(QString, text);
        QFETCH(std::optional<double>, value);
        QCOMPARE(parseNumber(text), value);
        QCOMPARE(toNumber(text), value);
    }

    void numbersFromCallers() {
        QCOMPARE(toNumber(3), std::optional<double>(3));
        QCOMPARE(toNumber(qQNaN()), std::optional<double>());
        QCOMPARE(toNumber(true), std::optional<double>());
        QCOMPARE(parsePlainNumber(u"2,5"), std::optional<double>());
        QCOMPARE(parsePlainNumber(u"1e3"), std::optional<double>(1000));
    }

    // Sizes count characters; a cut never leaves half of a surrogate pair behind.
    void textsByCharacters_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("fixed");
        QTest::addColumn<QString>("fitted");
        const QString smile = QString::fromUtf8("\xF0\x9F\x98\x80"); // outside the BMP: two UTF-16 units
        QTest::newRow("cut") << "Nutrição Clínica" << 10 << false << "Nutrição C";
        QTest::newRow("pair at the edge kept whole") << "a" + smile + "b" << 2 << false << "a" + smile;
        QTest::newRow("pairs count once") << smile + smile + smile << 3 << false << smile + smile + smile;
        QTest::newRow("fixed padded") << "S" << 3 << true << "S  ";
        QTest::newRow("fixed pad after a pair") << smile << 3 << true << smile + "  ";
        QTest::newRow("fixed empty stays empty") << "" << 3 << true << "";
        QTest::newRow("fixed cut") << "ABCDE" << 3 << true << "ABC";
    }
    void textsByCharacters() {
        QFETCH(QString, text);
        QFETCH(int, size);
        QFETCH(bool, fixed);
        QFETCH(QString, fitted);
        QCOMPARE(fitText(text, size, fixed), fitted);
        QVERIFY(charCount(fitted) <= std::max(size, charCount(text)));
        QVERIFY(fitted.isEmpty() || !fitted.back().isHighSurrogate());
    }

    void dbUrlsAccepted_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("describe");
        QTest::addColumn<QString>("options");
        QTest::newRow("sqlite") << "sqlite:/var/lib/kvo/kvo.db" << int(DbUrl::Sqlite)
                                << "SQLite /var/lib/kvo/kvo.db"
                                << "";
        QTest::newRow("postgres") << "postgres:host=db1;port=5433;dbname=suite;user=kvo;password=x"
                                  << int(DbUrl::Postgres) << "PostgreSQL db1:5433/suite (usuário kvo)"
                                  << "";
        QTest::newRow("libpq options pass on")
            << " postgresql:dbname=suite;SSLMODE=require;connect_timeout=5;application_name=kvo "
            << int(DbUrl::Postgres) << "PostgreSQL localhost:5432/suite"
            << "sslmode=require;connect_timeout=5;application_name=kvo";
    }
    void dbUrlsAccepted() {
        QFETCH(QString, url);
        QFETCH(int, kind);
        QFETCH(QString, describe);
        QFETCH(QString, options);
        const DbUrl u = parseDbUrl(url);
        QCOMPARE(int(u.kind), kind);
        QCOMPARE(u.describe(), describe);
        QCOMPARE(u.connectOptions(), options);
    }

    void dbUrlsRefused_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("message");
        QTest::newRow("no dbname") << "postgres:host=x"
                                   << "URL do PostgreSQL sem dbname.";
        QTest::newRow("database alias") << "postgres:database=kvo"
                                        << "Chave desconhecida na URL do banco de dados: 'database'.";
        QTest::newRow("unknown key") << "postgres:dbname=a;colour=red"
                                     << "Chave desconhecida na URL do banco de dados: 'colour'.";
        QTest::newRow("not key=value") << "postgres:dbname=a;oops"
                                       << "Parte inválida na URL do banco de dados: 'oops'.";
        QTest::newRow("bad port") << "postgres:dbname=a;port=80a"
                                  << "Porta do banco de dados inválida: '80a'.";
        QTest::newRow("sqlite without a file") << "sqlite: "
                                               << "URL do banco de dados sem o arquivo: use sqlite:CAMINHO.";
        QTest::newRow("unknown scheme") << "mysql:x"
                                        << "URL do banco de dados inválida: 'mysql:x'. Use sqlite:CAMINHO ou "
                                           "postgres:host=..;port=..;dbname=..;user=..;password=..";
    }
    void dbUrlsRefused() {
        QFETCH(QString, url);
        QFETCH(QString, message);
        try {
            parseDbUrl(url);
            QFAIL("accepted");
        } catch (const EDatabaseError& e) {
            QCOMPARE(e.Message(), message);
        }
    }
};

int main(int argc, char** argv) {
    qputenv("TZ", "America/Sao_Paulo");
    tzset();
    TstConversions t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_conversions.moc"
