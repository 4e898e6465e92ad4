#include "data/Exceptions.h"
#include "data/TClientDataSet.h"
#include "data/TDataPacket.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTest>

#include <functional>
#include <memory>

using Step = std::function<void()>;
Q_DECLARE_METATYPE(Step)

namespace {

const QByteArray Header =
    R"({"fields":[{"name":"CDFILIAL","type":"string","size":4},{"name":"QTCOMEFETCAR","type":"float"},)"
    R"({"name":"DTCARDAPIO","type":"datetime"},{"name":"TIPO","type":"fixedchar","size":1}],)";

QByteArray packetWithRows(const QByteArray& rows) {
    return Header + R"("rows":)" + rows + "}";
}

// Decoding must fail with a message that mentions `needle`.
void expectRejected(const QByteArray& json, const QString& needle) {
    try {
        TDataPacket::fromJson(json);
    } catch (const EPacketError& e) {
        if (!e.Message().contains(needle, Qt::CaseInsensitive))
            QFAIL(qPrintable(
                QStringLiteral("message \"%1\" does not mention \"%2\"").arg(e.Message(), needle)));
        return;
    }
    QFAIL(qPrintable(QStringLiteral("accepted: %1").arg(QString::fromUtf8(json))));
}

} // namespace

class TstDataPacket : public QObject {
    Q_OBJECT
private slots:
    void roundTripKeepsEveryKindOfValue() {
        TDataPacket p;
        p.fields = {{"NMSERVICO", ftString, 40},
                    {"QT", ftFloat, 0},
                    {"DT", ftDateTime, 0},
                    {"TIPO", ftFixedChar, 1},
                    {"OBS", ftString, 500}};
        const QString longText = QString(500, QChar(0x00E7)); // 500 x "ç"
        p.rows = {
            {QStringLiteral("Nutrição São José"), 12.0, QDate(2026, 12, 8), QStringLiteral("S"), longText},
            {QVariant(), QVariant(), QVariant(), QVariant(), QVariant()},
            {QStringLiteral("\"aspas\" \\ barra"), -0.125, QDate(1999, 2, 28), QStringLiteral(" "),
             QStringLiteral("")}};
        const QByteArray json = p.toJson();
        QVERIFY(json.contains(R"("2026-12-08T00:00:00")"));
        QVERIFY(json.contains(R"([null,null,null,null,null])"));
        QVERIFY(json.contains(R"(,12,)")); // whole numbers travel without a fraction
        const TDataPacket back = TDataPacket::fromJson(json);
        QCOMPARE(back.fields, p.fields);
        QCOMPARE(back.rows.size(), 3);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 5; ++c)
                QCOMPARE(back.rows[r][c], p.rows[r][c]);
        QVERIFY(back.rows[1][0].isNull());
        QCOMPARE(back.toJson(), json);
    }

    void datesAcceptBothForms() {
        const TDataPacket p = TDataPacket::fromJson(
            packetWithRows(R"([["0001",1,"2026-12-08",null],["0002",2,"2026-12-08T00:00:00","N"]])"));
        QCOMPARE(p.rows[0][2], QVariant(QDate(2026, 12, 8)));
        QCOMPARE(p.rows[1][2], QVariant(QDate(2026, 12, 8)));
    }

    void sizeCountsCharactersNotBytes() {
        // Four accented characters (eight UTF-8 bytes) fit a text of size 4; so does a character
        // outside the basic plane, which takes two UTF-16 units.
        const TDataPacket p = TDataPacket::fromJson(packetWithRows(R"([["ÇÃÕÉ",null,null,"é"]])"));
        QCOMPARE(p.rows[0][0].toString(), QStringLiteral("ÇÃÕÉ"));
        TDataPacket::fromJson(packetWithRows("[[\"ab\xF0\x9F\x8D\xB2"
                                             "c\",null,null,null]]"));
        expectRejected(packetWithRows(R"([["ÇÃÕÉÚ",null,null,null]])"), "excede");
        // Four characters outside the basic plane (eight UTF-16 units) fit a size of 4, five do not.
        TDataPacket::fromJson(
            packetWithRows(R"([["\ud83c\udf72\ud83c\udf72\ud83c\udf72\ud83c\udf72",null,null,null]])"));
        expectRejected(
            packetWithRows(
                R"([["\ud83c\udf72\ud83c\udf72\ud83c\udf72\ud83c\udf72\ud83c\udf72",null,null,null]])"),
            "5 caracteres");
    }

    void malformedPacketsNameTheFault_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("needle");
        QTest::newRow("not json") << QByteArray(R"({"fields":[)") << "JSON inválido";
        QTest::newRow("empty") << QByteArray() << "JSON inválido";
        QTest::newRow("array") << QByteArray("[1,2]") << "objeto";
        QTest::newRow("no fields") << QByteArray(R"({"rows":[]})") << "fields";
        QTest::newRow("no rows") << QByteArray(R"({"fields":[]})") << "rows";
        QTest::newRow("field without name")
            << QByteArray(R"({"fields":[{"type":"float"}],"rows":[]})") << "não tem nome";
        QTest::newRow("unknown type") << QByteArray(R"({"fields":[{"name":"A","type":"blob"}],"rows":[]})")
                                      << "tipo desconhecido \"blob\"";
        QTest::newRow("missing type")
            << QByteArray(R"({"fields":[{"name":"A"}],"rows":[]})") << "não tem tipo";
        QTest::newRow("missing size")
            << QByteArray(R"({"fields":[{"name":"A","type":"string"}],"rows":[]})") << "não tem tamanho";
        QTest::newRow("zero size")
            << QByteArray(R"({"fields":[{"name":"A","type":"fixedchar","size":0}],"rows":[]})")
            << "tamanho inválido";
        QTest::newRow("huge size")
            << QByteArray(R"({"fields":[{"name":"A","type":"fixedchar","size":4000000000}],"rows":[]})")
            << "tamanho inválido";
        QTest::newRow("duplicate field")
            << QByteArray(R"({"fields":[{"name":"A","type":"float"},{"name":"a","type":"float"}],"rows":[]})")
            << "duas vezes";
        QTest::newRow("short row") << packetWithRows(R"([["0001",1,null]])") << "linha 1";
        QTest::newRow("long row") << packetWithRows(R"([["0001",1,null,null],["0001",1,null,null,5]])")
                                  << "linha 2 tem 5 valores para 4 campos";
        QTest::newRow("row not array") << packetWithRows(R"([{"a":1}])") << "não é uma lista";
        QTest::newRow("number in text")
            << packetWithRows(R"([[1,1,null,null]])") << "CDFILIAL espera um texto";
        QTest::newRow("text in number")
            << packetWithRows(R"([["1","1",null,null]])") << "QTCOMEFETCAR espera um número";
        QTest::newRow("bool in number") << packetWithRows(R"([["1",true,null,null]])") << "valor lógico";
        QTest::newRow("number as date") << packetWithRows(R"([["1",1,20261208,null]])") << "espera uma data";
        QTest::newRow("impossible date")
            << packetWithRows(R"([["1",1,"2026-02-30",null]])") << "data inválida \"2026-02-30\"";
        QTest::newRow("date with garbage")
            << packetWithRows(R"([["1",1,"2026-12-08T00:00:00Z",null]])") << "data inválida";
        QTest::newRow("date with a time of day")
            << packetWithRows(R"([["1",1,"2026-12-08T10:20:30",null]])") << "data inválida";
        QTest::newRow("over-long text") << packetWithRows(R"([["00001",1,null,null]])")
                                        << "5 caracteres no campo CDFILIAL excede o tamanho 4";
        QTest::newRow("over-long fixed text") << packetWithRows(R"([["0001",1,null,"SN"]])") << "TIPO";
        // Texts no database can store: refused at once, not altered or cut later.
        QTest::newRow("NUL in text") << packetWithRows(R"([["a\u0000b",null,null,null]])")
                                     << "caractere nulo na posição 2";
        QTest::newRow("lone low surrogate") << packetWithRows(R"([["a\udfffb",null,null,null]])")
                                            << "caractere inválido (U+DFFF) na posição 2";
        QTest::newRow("lone low surrogates in a short field")
            << packetWithRows(R"([[null,null,null,"\udfff\udfff\udfff"]])") << "U+DFFF";
        QTest::newRow("high surrogate without its pair")
            << packetWithRows(R"([["\ud83dx",null,null,null]])") << "U+D83D";
    }
    void malformedPacketsNameTheFault() {
        QFETCH(QByteArray, json);
        QFETCH(QString, needle);
        expectRejected(json, needle);
    }

    void pairNeedsExactlyTwoPackets() {
        const QJsonValue one = TDataPacket::fromJson(packetWithRows("[]")).toJsonValue();
        TPacketPair pair = TPacketPair::fromJson(QJsonArray{one, one});
        QCOMPARE(pair.first.fields.size(), 4);
        QVERIFY_THROWS_EXCEPTION(EPacketError, TPacketPair::fromJson(QJsonArray{one}));
        QVERIFY_THROWS_EXCEPTION(EPacketError, TPacketPair::fromJson(one));
        try {
            TPacketPair::fromJson(QJsonArray{one, QJsonObject{{"fields", 3}}});
            QFAIL("accepted a broken second packet");
        } catch (const EPacketError& e) {
            QVERIFY(e.Message().contains("pacote 2"));
        }
        const TPacketPair back = TPacketPair::fromJson(pair.toJsonValue());
        QCOMPARE(back.second.fields, pair.second.fields);
    }

    void changeLogRoundTripAndFaults() {
        TChangeLog log;
        log.fields = {{"CD", ftString, 4}, {"QT", ftFloat, 0}};
        log.changes.push_back(
            {TChange::Modify, {QStringLiteral("0001"), 1.0}, {QStringLiteral("0001"), 2.5}});
        log.changes.push_back({TChange::Insert, {}, {QStringLiteral("0002"), QVariant()}});
        log.changes.push_back({TChange::Delete, {QStringLiteral("0003"), 3.0}, {}});
        const QByteArray json = log.toJson();
        QVERIFY(json.contains(R"({"new":["0002",null],"op":"insert"})"));
        const TChangeLog back = TChangeLog::fromJson(json);
        QCOMPARE(back.changes.size(), 3);
        QCOMPARE(back.changes[0].op, TChange::Modify);
        QCOMPARE(back.changes[0].newValues[1].toDouble(), 2.5);
        QCOMPARE(back.changes[2].op, TChange::Delete);
        QCOMPARE(back.changes[2].oldValues[0].toString(), QStringLiteral("0003"));
        QVERIFY(back.changes[2].newValues.isEmpty());

        const QByteArray f = R"({"fields":[{"name":"CD","type":"string","size":4}],"changes":)";
        QVERIFY_THROWS_EXCEPTION(EPacketError, TChangeLog::fromJson(f + R"([{"op":"upsert","new":["1"]}]})"));
        QVERIFY_THROWS_EXCEPTION(EPacketError, TChangeLog::fromJson(f + R"([{"op":"modify","new":["1"]}]})"));
        QVERIFY_THROWS_EXCEPTION(EPacketError, TChangeLog::fromJson(f + R"([{"op":"insert"}]})"));
        QVERIFY_THROWS_EXCEPTION(EPacketError,
                                 TChangeLog::fromJson(f + R"([{"op":"delete","old":["12345"]}]})"));
        QVERIFY_THROWS_EXCEPTION(EPacketError, TChangeLog::fromJson(f + R"(5})"));
        QVERIFY_THROWS_EXCEPTION(EPacketError, TChangeLog::fromJson(QByteArray("{oops")));
    }

    // Every failure a person may read is in Portuguese: a guard against English texts coming back.
    void failureMessagesAreNotEnglish_data() {
        QTest::addColumn<Step>("step");
        const auto loaded = [] {
            auto cds = std::make_shared<TClientDataSet>();
            cds->SetData(TDataPacket::fromJson(packetWithRows(R"([["0001",1,null,"S"]])")));
            return cds;
        };
        QTest::newRow("closed set") << Step([] { TClientDataSet().Edit(); });
        QTest::newRow("read in a closed set") << Step([loaded] {
            auto cds = loaded();
            TField* f = cds->FieldByName("CDFILIAL");
            cds->Close();
            f->AsString();
        });
        QTest::newRow("write in browse")
            << Step([loaded] { loaded()->FieldByName("CDFILIAL")->SetAsString("2"); });
        QTest::newRow("unknown field") << Step([loaded] { loaded()->FieldByName("NOPE"); });
        QTest::newRow("unknown index") << Step([loaded] { loaded()->SetIndexName("IXNOPE"); });
        QTest::newRow("bad filter") << Step([loaded] { loaded()->SetFilter("CDFILIAL = "); });
        QTest::newRow("unclosed filter") << Step([loaded] { loaded()->SetFilter("(CDFILIAL = '1'"); });
        QTest::newRow("filter on unknown field") << Step([loaded] {
            auto cds = loaded();
            cds->SetFilter("NOPE = 1");
            cds->SetFiltered(true);
        });
        QTest::newRow("bad number") << Step([loaded] {
            auto cds = loaded();
            cds->Edit();
            cds->FieldByName("QTCOMEFETCAR")->SetAsString("abc");
        });
        QTest::newRow("not json") << Step([] { TDataPacket::fromJson(QByteArray(R"({"fields":[)")); });
        QTest::newRow("short row") << Step([] { TDataPacket::fromJson(packetWithRows(R"([["0001",1]])")); });
        QTest::newRow("text in a number")
            << Step([] { TDataPacket::fromJson(packetWithRows(R"([["0001","1",null,null]])")); });
        QTest::newRow("over-long text")
            << Step([] { TDataPacket::fromJson(packetWithRows(R"([["000001",1,null,null]])")); });
        QTest::newRow("unnamed packet field") << Step([] {
            TDataPacket p;
            p.fields = {{" ", ftFloat, 0}};
            TClientDataSet().SetData(p);
        });
        QTest::newRow("wide row in a set") << Step([] {
            TDataPacket p = TDataPacket::fromJson(packetWithRows("[]"));
            p.rows.push_back({1.0});
            TClientDataSet().SetData(p);
        });
        QTest::newRow("change with unknown op") << Step([] {
            TChangeLog::fromJson(QByteArray(R"({"fields":[],"changes":[{"op":"upsert","new":[]}]})"));
        });
    }

    void failureMessagesAreNotEnglish() {
        QFETCH(Step, step);
        QString message;
        bool thrown = false;
        try {
            step();
        } catch (const Exception& e) {
            thrown = true;
            message = e.Message();
        }
        QVERIFY(thrown);
        QVERIFY(!message.trimmed().isEmpty());
        const QString padded = QLatin1Char(' ') + message.toLower() + QLatin1Char(' ');
        for (const char* word : {" the ", "cannot", "not ", "field", "dataset", "packet", "row ", " is ",
                                 " has ", "invalid", "expected", "missing", "found"})
            QVERIFY2(!padded.contains(QLatin1String(word)), qPrintable(message));
    }

    void encodingRefusesNonFiniteNumbers() {
        TDataPacket p;
        p.fields = {{"QT", ftFloat, 0}};
        p.rows = {{std::numeric_limits<double>::infinity()}};
        QVERIFY_THROWS_EXCEPTION(EPacketError, p.toJson());
    }

    // A set fed a broken packet keeps what it had: the decoder never hands out a partial packet, and a
    // hand-built packet with a bad row is refused by the set before anything changes.
    void setKeepsItsDataWhenAPacketIsBad() {
        TClientDataSet cds;
        cds.SetData(TDataPacket::fromJson(packetWithRows(R"([["0001",1,null,"S"],["0002",2,null,"N"]])")));
        cds.Next();
        QVERIFY_THROWS_EXCEPTION(
            EPacketError, cds.SetData(TDataPacket::fromJson(packetWithRows(R"([["0003",1,null,"SS"]])"))));
        TDataPacket bad = TDataPacket::fromJson(packetWithRows(R"([["0003",3,null,"S"]])"));
        bad.rows.push_back({QStringLiteral("0004"), 4.0}); // wrong width
        QStringList events;
        cds.BeforeClose = [&](TClientDataSet*) { events << "BeforeClose"; };
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, cds.SetData(bad));
        bad.rows.last() = {QStringLiteral("0004"), QStringLiteral("x"), QVariant(),
                           QVariant()}; // text in a float
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, cds.SetData(bad));
        bad.rows.last() = {QStringLiteral("000004"), 1.0, QVariant(), QVariant()}; // too long
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, cds.SetData(bad));
        QVERIFY(events.isEmpty());
        QCOMPARE(cds.RecordCount(), 2);
        QCOMPARE(cds.RecNo(), 2);
        QCOMPARE(cds.FieldByName("CDFILIAL")->AsString(), QStringLiteral("0002"));
    }
};

QTEST_GUILESS_MAIN(TstDataPacket)
#include "tst_datapacket.moc"
