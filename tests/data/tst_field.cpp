#include "data/Exceptions.h"
#include "data/TClientDataSet.h"

#include <QTest>

class TstField : public QObject {
    Q_OBJECT

    TClientDataSet cds;
    TField* text = nullptr;
    TField* fixed = nullptr;
    TField* number = nullptr;
    TField* date = nullptr;

private slots:
    void init() {
        if (!text) {
            text = cds.AddField("NMSERVICO", ftString, 10);
            fixed = cds.AddField("TIPO", ftFixedChar, 3);
            number = cds.AddField("QTCOMEFETCAR", ftFloat);
            date = cds.AddField("DTCARDAPIO", ftDateTime);
        }
        cds.CreateDataSet();
        cds.Append();
    }

    void emptyValuesReadAsNothing() {
        QVERIFY(text->IsNull() && number->IsNull() && date->IsNull());
        QCOMPARE(text->AsString(), "");
        QCOMPARE(number->AsFloat(), 0.0);
        QCOMPARE(number->DisplayText(), "");
        QVERIFY(!date->AsDate().isValid() && !date->AsDateTime().isValid());
        QCOMPARE(date->DisplayText(), "");
        number->SetAsFloat(5);
        number->Clear();
        QVERIFY(number->IsNull());
        text->SetAsString("");
        QVERIFY(text->IsNull());
    }

    void numbersShowTheBrazilianWay_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("plain");
        QTest::newRow("whole") << 12.0 << "12"
                               << "12";
        QTest::newRow("fraction") << 2.5 << "2,5"
                                  << "2.5";
        QTest::newRow("thousands not grouped") << 12345.75 << "12345,75"
                                               << "12345.75";
        QTest::newRow("binary noise") << 0.1 + 0.2 << "0,3"
                                      << "0.3";
        QTest::newRow("negative") << -3.25 << "-3,25"
                                  << "-3.25";
        QTest::newRow("negative zero") << -0.0 << "0"
                                       << "0";
        QTest::newRow("large") << 1e9 << "1000000000"
                               << "1000000000";
    }
    void numbersShowTheBrazilianWay() {
        QFETCH(double, value);
        QFETCH(QString, display);
        QFETCH(QString, plain);
        number->SetAsFloat(value);
        QCOMPARE(number->DisplayText(), display);
        QCOMPARE(number->AsString(), plain);
    }

    void typedNumbersAreParsed() {
        number->SetDisplayText("2,5");
        QCOMPARE(number->AsFloat(), 2.5);
        number->SetDisplayText(" 7.25 ");
        QCOMPARE(number->AsFloat(), 7.25);
        number->SetDisplayText("1.234,5");
        QCOMPARE(number->AsFloat(), 1234.5);
        number->SetDisplayText("");
        QVERIFY(number->IsNull());
        for (const char* bad : {"abc", "1,2,3", "12a", "1e999"}) {
            try {
                number->SetDisplayText(bad);
                QFAIL(bad);
            } catch (const EDatabaseError& e) {
                QCOMPARE(e.Message(), QStringLiteral("'%1' não é um valor numérico válido.").arg(bad));
            }
        }
        QVERIFY(number->IsNull()); // a refused text leaves the value alone
    }

    void datesShowAsDayMonthYear() {
        date->SetAsDate(QDate(2026, 3, 9));
        QCOMPARE(date->DisplayText(), "09/03/2026");
        QCOMPARE(date->AsString(), "09/03/2026");
        date->SetDisplayText("1/2/2027");
        QCOMPARE(date->AsDate(), QDate(2027, 2, 1));
        date->SetDisplayText("  /  /    "); // the empty mask of a date edit
        QVERIFY(date->IsNull());
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, date->SetDisplayText("31/02/2026"));
        date->SetAsDateTime(QDateTime(QDate(2026, 12, 8), QTime(14, 30)));
        QCOMPARE(date->DisplayText(), "08/12/2026"); // the field holds days: the time is dropped
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, date->SetAsFloat(1));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, number->SetAsDate(QDate(2026, 1, 1)));
    }

    void textsAreCutAndFixedTextsPadded() {
        text->SetAsString("Nutrição Clínica");
        QCOMPARE(text->AsString(), "Nutrição C");
        fixed->SetAsString("S");
        QCOMPARE(fixed->AsString(), "S  ");
        fixed->SetAsString("ABCDE");
        QCOMPARE(fixed->AsString(), "ABC");
        text->SetAsFloat(2.5);
        QCOMPARE(text->AsString(), "2.5");
        QCOMPARE(text->AsFloat(), 2.5);
        text->SetAsString("x");
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, text->AsFloat());
    }

    void definitionDefaults() {
        QCOMPARE(text->DisplayWidth(), 10);
        QCOMPARE(number->Alignment(), Qt::AlignRight);
        QCOMPARE(text->DisplayLabel(), "NMSERVICO");
        text->SetDisplayLabel("Nome do Serviço");
        QCOMPARE(text->DisplayLabel(), "Nome do Serviço");
        QCOMPARE(cds.FieldByName("nmservico"), text);
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, cds.FieldByName("NOPE"));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, cds.AddField("X", ftString, 5)); // the set is open
    }
};

QTEST_GUILESS_MAIN(TstField)
#include "tst_field.moc"
