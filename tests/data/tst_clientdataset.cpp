#include "Trace.h"

#include "data/Exceptions.h"
#include "data/TClientDataSet.h"
#include "data/TDataSource.h"

#include <QTest>
#include <memory>

namespace {

TDataPacket packet(const QVector<QVector<QVariant>>& rows) {
    TDataPacket p;
    p.fields = {{"CODE", ftString, 4}, {"NAME", ftString, 20}, {"QTY", ftFloat, 0}, {"DT", ftDateTime, 0}};
    p.rows = rows;
    return p;
}

QVector<QVariant> row(const char* code, const char* name, double qty) {
    return {QString::fromUtf8(code), QString::fromUtf8(name), qty,
            QDateTime(QDate(2026, 12, qty >= 1 && qty <= 28 ? int(qty) : 1), QTime(0, 0))};
}

// Three rows in arrival order 0003 Carlos, 0001 Ana, 0002 Bruno.
TDataPacket threeRows() {
    return packet({row("0003", "Carlos", 3), row("0001", "Ana", 1), row("0002", "Bruno", 2)});
}

void define(TClientDataSet& cds) {
    cds.AddField("CODE", ftString, 4);
    cds.AddField("NAME", ftString, 20);
    cds.AddField("QTY", ftFloat);
    cds.AddField("DT", ftDateTime);
    cds.AddIndex("IDX_NAME", "NAME");
    cds.AddIndex("IDX_QTY_CODE", "QTY;CODE");
}

QString code(TClientDataSet& cds) {
    return cds.FieldByName("CODE")->AsString();
}

} // namespace

class TstClientDataSet : public QObject {
    Q_OBJECT
private slots:
    void loadingOpensAndReloadingClosesFirst() {
        TClientDataSet cds;
        define(cds);
        Trace t(cds);
        cds.SetData(threeRows());
        QCOMPARE(t.take(), "BeforeOpen link:active link:state State:browse AfterOpen Data AfterScroll");
        QCOMPARE(cds.RecNo(), 1);
        QVERIFY(cds.Bof());
        QVERIFY(!cds.Eof());
        cds.Edit();
        cds.FieldByName("NAME")->SetAsString("X");
        t.take();
        cds.SetData(threeRows()); // a pending edit is dropped, not posted
        QCOMPARE(t.take(), "BeforeClose link:active link:state State:inactive AfterClose "
                           "BeforeOpen link:active link:state State:browse AfterOpen Data AfterScroll");
        QCOMPARE(cds.ChangeCount(), 0);
        QCOMPARE(cds.FieldByName("NAME")->AsString(), "Carlos");
        cds.SetData(packet({}));
        QCOMPARE(t.take().right(16), "Data AfterScroll"); // AfterScroll also for an empty packet
        QVERIFY(cds.IsEmpty() && cds.Eof() && cds.Bof());
        QCOMPARE(cds.RecNo(), 0);

        cds.Close();
        QCOMPARE(t.take(), "BeforeClose link:active link:state State:inactive AfterClose");
        QVERIFY(cds.IsEmpty());
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, cds.FieldByName("CODE")->AsString());
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, cds.Next());
    }

    void insertAppendEditPostCancelDeleteInBrowse() {
        TClientDataSet cds;
        define(cds);
        cds.SetData(threeRows());
        Trace t(cds);
        cds.Next();
        t.take();

        cds.Insert();
        QCOMPARE(
            t.take(),
            "BeforeInsert BeforeScroll link:state State:insert OnNewRecord Data AfterInsert AfterScroll");
        QCOMPARE(codes(cds), "0003,,0001,0002"); // before the current row
        QCOMPARE(cds.RecNo(), 2);
        QVERIFY(!cds.Modified());
        cds.FieldByName("CODE")->SetAsString("0009");
        QCOMPARE(t.take(), "Data:CODE");
        QVERIFY(cds.Modified());
        cds.Post();
        QCOMPARE(t.take(), "link:update BeforePost link:state State:browse Data AfterPost");
        QCOMPARE(codes(cds), "0003,0009,0001,0002");
        QCOMPARE(code(cds), "0009");

        cds.Append();
        QCOMPARE(
            t.take(),
            "BeforeInsert BeforeScroll link:state State:insert OnNewRecord Data AfterInsert AfterScroll");
        QCOMPARE(cds.RecNo(), 5);
        cds.Cancel();
        QCOMPARE(t.take(), "BeforeCancel BeforeScroll link:state State:browse Data AfterCancel AfterScroll");
        QCOMPARE(codes(cds), "0003,0009,0001,0002");
        QCOMPARE(code(cds), "0002"); // Append went to the end: the last row is current again

        cds.Edit();
        QCOMPARE(t.take(), "BeforeEdit link:state State:edit Data AfterEdit");
        cds.Edit(); // already editing: nothing
        QCOMPARE(t.take(), "");
        cds.FieldByName("NAME")->SetAsString("Beto");
        cds.Cancel();
        QCOMPARE(t.take(), "Data:NAME BeforeCancel link:state State:browse Data AfterCancel");
        QCOMPARE(cds.FieldByName("NAME")->AsString(), "Bruno");

        cds.Delete();
        QCOMPARE(t.take(), "BeforeDelete BeforeScroll Data AfterDelete AfterScroll");
        QCOMPARE(codes(cds), "0003,0009,0001");
        QCOMPARE(code(cds), "0001"); // the last row went: the previous one is current
        cds.First();
        t.take();
        cds.Delete();
        QCOMPARE(code(cds), "0009"); // otherwise the next one

        cds.Cancel(); // in browse: nothing
        QCOMPARE(t.take(), "BeforeDelete BeforeScroll Data AfterDelete AfterScroll");
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, cds.Post());
    }

    void operationsInEditAndInsertState() {
        TClientDataSet cds;
        define(cds);
        cds.SetData(threeRows());
        Trace t(cds);

        // Insert while editing a modified row posts it first.
        cds.Edit();
        cds.FieldByName("QTY")->SetAsFloat(30);
        t.take();
        cds.Insert();
        QCOMPARE(
            t.take(),
            "link:update link:update BeforePost link:state State:browse Data AfterPost "
            "BeforeInsert BeforeScroll link:state State:insert OnNewRecord Data AfterInsert AfterScroll");
        // Delete while inserting is Cancel.
        cds.Delete();
        QCOMPARE(t.take(), "BeforeCancel BeforeScroll link:state State:browse Data AfterCancel AfterScroll");
        QCOMPARE(cds.RecordCount(), 3);

        // Delete while editing drops the edit and the row.
        cds.Edit();
        cds.FieldByName("NAME")->SetAsString("Zé");
        t.take();
        cds.Delete();
        QCOMPARE(t.take(), "BeforeDelete BeforeScroll link:state State:browse Data AfterDelete AfterScroll");
        QCOMPARE(codes(cds), "0001,0002");

        // Edit on an empty set is Insert.
        TClientDataSet empty;
        define(empty);
        empty.CreateDataSet();
        Trace te(empty);
        empty.Edit();
        QCOMPARE(
            te.take(),
            "BeforeInsert BeforeScroll link:state State:insert OnNewRecord Data AfterInsert AfterScroll");
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, TClientDataSet().Delete());
        empty.Cancel();
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, empty.Delete());
    }

    void navigationRunsCheckBrowseMode() {
        TClientDataSet cds;
        define(cds);
        cds.SetData(threeRows());
        Trace t(cds);

        cds.Edit();
        cds.FieldByName("QTY")->SetAsFloat(7);
        t.take();
        cds.Next(); // modified: posted, then the move
        QCOMPARE(t.take(), "link:update link:update BeforePost link:state State:browse Data AfterPost "
                           "BeforeScroll Data AfterScroll");
        QCOMPARE(cds.RecNo(), 2);

        cds.Append();
        t.take();
        cds.Prior(); // unmodified insert: cancelled, then the move
        QCOMPARE(t.take(), "link:update BeforeCancel BeforeScroll link:state State:browse Data AfterCancel "
                           "AfterScroll BeforeScroll Data AfterScroll");
        QCOMPARE(cds.RecNo(), 2);
        QCOMPARE(cds.RecordCount(), 3);

        // Text still being typed in a control counts: the link writes it before the check.
        cds.Edit();
        t.take();
        t.pendingField = cds.FieldByName("NAME");
        t.pendingText = "Anita";
        cds.First();
        QCOMPARE(t.take(),
                 "link:update Data:NAME link:update BeforePost link:state State:browse Data AfterPost "
                 "BeforeScroll Data AfterScroll");
        QCOMPARE(cds.ChangeCount(), 2);
    }

    // A walk with Next tells exactly who listens, whichever one alone; numbers read on the way,
    // including from OnCalcFields while another row is painted, come from the right row.
    void walkTellsEachListener_data() {
        QTest::addColumn<QString>("listener");
        QTest::addColumn<QString>("expected");
        QTest::newRow("nobody") << ""
                                << "3 1 2";
        QTest::newRow("BeforeScroll") << "before"
                                      << "3 B1 1 B2 2";
        QTest::newRow("AfterScroll") << "after"
                                     << "3 A2 1 A3 2";
        QTest::newRow("bound source") << "source"
                                      << "3 D 1 D 2";
        QTest::newRow("disabled controls") << "disabled"
                                           << "3 1 2";
    }
    void walkTellsEachListener() {
        QFETCH(QString, listener);
        QFETCH(QString, expected);
        TClientDataSet cds;
        define(cds);
        TField* twice = cds.AddCalcField("TWICE", ftFloat);
        cds.OnCalcFields = [](TClientDataSet* ds) {
            ds->FieldByName("TWICE")->SetAsFloat(ds->FieldByName("QTY")->AsFloat() * 2);
        };
        cds.SetData(threeRows());
        QStringList log;
        TDataSource source;
        if (listener == "before")
            cds.BeforeScroll = [&](TClientDataSet* ds) { log << QStringLiteral("B%1").arg(ds->RecNo()); };
        if (listener == "after")
            cds.AfterScroll = [&](TClientDataSet* ds) { log << QStringLiteral("A%1").arg(ds->RecNo()); };
        if (listener == "source" || listener == "disabled") {
            source.SetDataSet(&cds);
            source.OnDataChange = [&](QObject*, TField*) { log << QStringLiteral("D"); };
        }
        if (listener == "disabled") cds.DisableControls();
        TField* qty = cds.FieldByName("QTY");
        for (cds.First(), log.clear(); !cds.Eof(); cds.Next())
            log << QString::number(qty->AsFloat());
        QCOMPARE(log.join(' '), expected);
        QCOMPARE(cds.RecNo(), 3);
        QCOMPARE(cds.viewFieldValue(2, twice).toDouble(), 2.0);
        QCOMPARE(twice->AsFloat(), 4.0);
    }

    // A walk nobody listens to steps along blocks of row ids; across several blocks, and after a
    // row is deleted, inserted or moved in the index on the way, each step reads the row it is on.
    void quietWalkReadsTheRowItIsOn_data() {
        QTest::addColumn<QString>("midway");
        QTest::addColumn<int>("steps"); // of 2,500 rows, the change made at the 1,500th
        QTest::newRow("nothing") << "" << 2500;
        QTest::newRow("delete") << "delete" << 2499;
        QTest::newRow("insert after the 1,601st") << "insert" << 2399;
        QTest::newRow("edit moving the row first") << "edit" << 3999;
    }
    void quietWalkReadsTheRowItIsOn() {
        QFETCH(QString, midway);
        QFETCH(int, steps);
        constexpr int n = 2500; // more than two blocks
        QVector<QVector<QVariant>> rows;
        for (int i = 0; i < n; ++i)
            rows.push_back(row("0001", "N", (i * 7919) % n)); // the index order is not the arrival order
        TClientDataSet cds;
        define(cds);
        cds.SetIndexName("IDX_QTY_CODE");
        cds.SetData(packet(rows));
        TField* qty = cds.FieldByName("QTY");
        int walked = 0;
        for (cds.First(); !cds.Eof(); cds.Next()) {
            QCOMPARE(qty->AsFloat(), cds.viewFieldValue(cds.RecNo(), qty).toDouble());
            if (++walked != 1500) continue;
            if (midway == "delete") cds.Delete();
            if (midway == "insert") {
                cds.Insert();
                qty->SetAsFloat(1600.5);
                cds.Post();
            }
            if (midway == "edit") {
                cds.Edit();
                qty->SetAsFloat(-1); // to the front: the walk starts over from there
                cds.Post();
            }
            QCOMPARE(qty->AsFloat(), cds.viewFieldValue(cds.RecNo(), qty).toDouble());
        }
        QCOMPARE(cds.RecNo(), cds.RecordCount());
        QCOMPARE(walked, steps);
    }

    void movesAndEndFlags() {
        TClientDataSet cds;
        define(cds);
        cds.SetData(threeRows());
        Trace t(cds);
        cds.Next();
        cds.Next();
        QVERIFY(!cds.Eof());
        t.take();
        cds.Next(); // on the last row: EOF, no move, no events
        QVERIFY(cds.Eof());
        QCOMPARE(t.take(), "");
        QCOMPARE(cds.RecNo(), 3);
        QCOMPARE(cds.MoveBy(-5), -2);
        QVERIFY(cds.Bof());
        QCOMPARE(t.take(), "BeforeScroll Data AfterScroll");
        QCOMPARE(cds.MoveBy(1), 1);
        QVERIFY(!cds.Bof() && !cds.Eof());
        cds.SetRecNo(3);
        QCOMPARE(code(cds), "0002");
        cds.Last();
        QVERIFY(cds.Eof());

        int seen = 0;
        for (cds.First(); !cds.Eof(); cds.Next())
            ++seen;
        QCOMPARE(seen, 3);
    }

    // A move that cannot happen sets the flag of its direction and clears the other one.
    void blockedMoveSetsOnlyItsOwnEnd_data() {
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("moves"); // F first, L last, N next, P prior
        QTest::addColumn<bool>("eof");
        QTest::addColumn<bool>("bof");
        QTest::newRow("one row, Next") << 1 << "FN" << true << false;
        QTest::newRow("one row, Next then Prior") << 1 << "FNP" << false << true;
        QTest::newRow("one row, Last then Prior") << 1 << "LP" << false << true;
        QTest::newRow("three rows, Next past the last") << 3 << "LN" << true << false;
        QTest::newRow("three rows, Prior past the first") << 3 << "FP" << false << true;
    }
    void blockedMoveSetsOnlyItsOwnEnd() {
        QFETCH(int, rows);
        QFETCH(QString, moves);
        TClientDataSet cds;
        define(cds);
        cds.SetData(rows == 1 ? packet({row("0001", "Ana", 1)}) : threeRows());
        for (QChar m : moves) {
            switch (m.toLatin1()) {
            case 'F':
                cds.First();
                break;
            case 'L':
                cds.Last();
                break;
            case 'N':
                cds.Next();
                break;
            case 'P':
                cds.Prior();
                break;
            }
        }
        QTEST(cds.Eof(), "eof");
        QTEST(cds.Bof(), "bof");
        QVERIFY(cds.RecNo() > 0);
        int seen = 0;
        for (cds.First(); !cds.Eof(); cds.Next())
            ++seen;
        QCOMPARE(seen, rows);
    }

    // However a set became empty, it is at both ends, so a "while not Eof" loop never runs.
    void emptySetIsAtBothEnds_data() {
        QTest::addColumn<int>("path");
        QTest::newRow("cancelled insert") << 0;
        QTest::newRow("cancelled append") << 1;
        QTest::newRow("refused new record") << 2;
        QTest::newRow("posted insert left the filter") << 3;
        QTest::newRow("posted edit left the filter") << 4;
    }
    void emptySetIsAtBothEnds() {
        QFETCH(int, path);
        TClientDataSet cds;
        define(cds);
        cds.SetFilter("CODE <> '0009'");
        cds.SetFiltered(true);
        cds.SetData(path == 4 ? packet({row("0001", "Ana", 1)}) : packet({}));
        switch (path) {
        case 0:
            cds.Insert();
            cds.Cancel();
            break;
        case 1:
            cds.Append();
            cds.Cancel();
            break;
        case 2:
            cds.OnNewRecord = [](TClientDataSet*) { Abort(); };
            QVERIFY_THROWS_EXCEPTION(EAbort, cds.Append());
            break;
        case 3:
            cds.Insert();
            cds.FieldByName("CODE")->SetAsString("0009");
            cds.Post();
            break;
        case 4:
            cds.Edit();
            cds.FieldByName("CODE")->SetAsString("0009");
            cds.Post();
            break;
        }
        QVERIFY(cds.IsEmpty());
        QVERIFY(cds.Eof());
        QVERIFY(cds.Bof());
        cds.Next();
        QVERIFY(cds.Eof() && cds.Bof());
        cds.Prior();
        QVERIFY(cds.Eof() && cds.Bof());
        int seen = 0;
        for (cds.First(); !cds.Eof(); cds.Next())
            ++seen;
        QCOMPARE(seen, 0);
    }

    void abortedBeforeEventsLeaveTheSetAsItWas() {
        TClientDataSet cds;
        define(cds);
        cds.SetData(threeRows());
        Trace t(cds);
        cds.Next();
        t.take();

        t.abortOn = "BeforeInsert";
        QVERIFY_THROWS_EXCEPTION(EAbort, cds.Insert());
        QCOMPARE(t.take(), "BeforeInsert");
        t.abortOn = "BeforeScroll";
        QVERIFY_THROWS_EXCEPTION(EAbort, cds.Append());
        QCOMPARE(t.take(), "BeforeInsert BeforeScroll");
        QVERIFY_THROWS_EXCEPTION(EAbort, cds.Next());
        QCOMPARE(cds.State(), dsBrowse);
        QCOMPARE(cds.RecordCount(), 3);
        QCOMPARE(cds.RecNo(), 2);

        t.abortOn = "BeforeEdit";
        QVERIFY_THROWS_EXCEPTION(EAbort, cds.Edit());
        QCOMPARE(cds.State(), dsBrowse);

        t.abortOn = "BeforePost";
        cds.Edit();
        cds.FieldByName("NAME")->SetAsString("Alice");
        t.take();
        QVERIFY_THROWS_EXCEPTION(EAbort, cds.Post());
        QCOMPARE(t.take(), "link:update BeforePost");
        QCOMPARE(cds.State(), dsEdit);
        QVERIFY(cds.Modified());
        QCOMPARE(cds.FieldByName("NAME")->AsString(), "Alice");
        QCOMPARE(cds.ChangeCount(), 0);
        // The same refusal stops navigation and keeps the row and its edit.
        QVERIFY_THROWS_EXCEPTION(EAbort, cds.Next());
        QCOMPARE(cds.RecNo(), 2);
        QCOMPARE(cds.State(), dsEdit);

        t.abortOn = "BeforeCancel";
        QVERIFY_THROWS_EXCEPTION(EAbort, cds.Cancel());
        QCOMPARE(cds.State(), dsEdit);
        QCOMPARE(cds.FieldByName("NAME")->AsString(), "Alice");
        t.abortOn.clear();
        cds.Cancel();

        t.abortOn = "BeforeDelete";
        QVERIFY_THROWS_EXCEPTION(EAbort, cds.Delete());
        QCOMPARE(cds.RecordCount(), 3);

        t.abortOn = "BeforeClose";
        QVERIFY_THROWS_EXCEPTION(EAbort, cds.SetData(packet({})));
        QCOMPARE(cds.RecordCount(), 3);
        QCOMPARE(cds.State(), dsBrowse);
        QCOMPARE(code(cds), "0001");
    }

    void abortingOnNewRecordDropsTheNewRow() {
        TClientDataSet cds;
        define(cds);
        cds.SetData(threeRows());
        Trace t(cds);
        cds.Next();
        t.take();
        t.abortOn = "OnNewRecord";
        QVERIFY_THROWS_EXCEPTION(EAbort, cds.Insert());
        QCOMPARE(
            t.take(),
            "BeforeInsert BeforeScroll link:state State:insert OnNewRecord link:state State:browse Data");
        QCOMPARE(cds.State(), dsBrowse);
        QCOMPARE(codes(cds), "0003,0001,0002");
        QCOMPARE(code(cds), "0001");
        QVERIFY_THROWS_EXCEPTION(EAbort, cds.Append());
        QCOMPARE(codes(cds), "0003,0001,0002");
        QCOMPARE(code(cds), "0002");

        // Any exception, not only the silent one.
        cds.OnNewRecord = [](TClientDataSet* ds) {
            ds->FieldByName("CODE")->SetAsString("0008");
            throw EDatabaseError("no");
        };
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, cds.Insert());
        QCOMPARE(codes(cds), "0003,0001,0002");
        QCOMPARE(cds.ChangeCount(), 0);
        QVERIFY(!cds.Modified());
    }

    void locateSearchesTheView() {
        TClientDataSet cds;
        define(cds);
        cds.SetData(packet({row("0003", "Carlos", 3), row("0001", "Ana", 1), row("0002", "Bruno", 2),
                            row("0004", "Ana", 4)}));
        Trace t(cds);
        QVERIFY(cds.Locate("NAME", "Ana"));
        QCOMPARE(t.take(), "BeforeScroll Data AfterScroll");
        QCOMPARE(code(cds), "0001");
        QVERIFY(cds.Locate("name;QTY", QVariantList{"Ana", 4}));
        QCOMPARE(code(cds), "0004");
        t.take();
        QVERIFY(!cds.Locate("NAME", "ana"));
        QVERIFY(!cds.Locate("NAME", "Ana;Bruno"));
        QVERIFY(!cds.Locate("NAME", "Br"));
        QCOMPARE(t.take(), ""); // misses: no move, no events
        QCOMPARE(code(cds), "0004");
        QVERIFY(cds.Locate("NAME", "bRUNO", loCaseInsensitive));
        QCOMPARE(code(cds), "0002");
        QVERIFY(cds.Locate("NAME", "car", loCaseInsensitive | loPartialKey));
        QCOMPARE(code(cds), "0003");
        QVERIFY(!cds.Locate("NAME", "car", loPartialKey));
        QVERIFY(cds.Locate("QTY", "2"));
        QVERIFY(cds.Locate("DT", QDate(2026, 12, 4)));
        QCOMPARE(code(cds), "0004");
        QVERIFY(!cds.Locate("QTY", "abc"));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, cds.Locate("NOPE", 1));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, cds.Locate("NAME;QTY", QVariantList{"Ana"}));

        // Only the view: a filtered-out row is not found; an edit in progress is posted first.
        cds.SetFilter("QTY <> 1");
        cds.SetFiltered(true);
        QVERIFY(!cds.Locate("CODE", "0001"));
        cds.Edit();
        cds.FieldByName("NAME")->SetAsString("Zeca");
        QVERIFY(cds.Locate("NAME", "zec", loCaseInsensitive | loPartialKey));
        QCOMPARE(cds.State(), dsBrowse);
        QCOMPARE(cds.ChangeCount(), 1);
    }

    void filterExpressions_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("expected");
        QTest::newRow("text") << "NAME = 'Ana'"
                              << "0001,0004";
        QTest::newRow("no blanks") << "NAME='Ana'"
                                   << "0001,0004";
        QTest::newRow("lower-case field") << "name = 'Ana'"
                                          << "0001,0004";
        QTest::newRow("text vs number") << "CODE = 0"
                                        << "";
        QTest::newRow("not equal") << "NAME <> 'Ana'"
                                   << "0003,0002";
        QTest::newRow("and") << "NAME = 'Ana' AND QTY = 4"
                             << "0004";
        QTest::newRow("or") << "CODE = '0003' or CODE='0002'"
                            << "0003,0002";
        QTest::newRow("parentheses") << "(NAME = 'Ana' OR NAME = 'Bruno') AND QTY >= 2"
                                     << "0002,0004";
        QTest::newRow("precedence") << "NAME = 'Bruno' OR NAME = 'Ana' AND QTY > 1"
                                    << "0002,0004";
        QTest::newRow("not") << "NOT (QTY < 3)"
                             << "0003,0004";
        QTest::newRow("date") << "DT = '2026-12-02'"
                              << "0002";
        QTest::newRow("quote") << "NAME = 'O''Brien'"
                               << "";
        QTest::newRow("unknown text") << "NAME = 'Zé'"
                                      << "";
    }
    void filterExpressions() {
        QFETCH(QString, filter);
        QFETCH(QString, expected);
        TClientDataSet cds;
        define(cds);
        cds.SetData(packet({row("0003", "Carlos", 3), row("0001", "Ana", 1), row("0002", "Bruno", 2),
                            row("0004", "Ana", 4)}));
        cds.SetFilter(filter);
        cds.SetFiltered(true);
        QCOMPARE(codes(cds), expected);
    }

    void malformedFiltersAreRefused() {
        TClientDataSet cds;
        define(cds);
        cds.SetData(threeRows());
        cds.SetFilter("QTY = 1");
        cds.SetFiltered(true);
        for (const char* bad :
             {"NAME = ", "NAME 'Ana'", "= 'Ana'", "(NAME = 'Ana'", "NAME = 'Ana", "NAME = 'A' AND",
              "NAME = 'A' XOR NAME = 'B'", "NAME = 12abc", "NOPE = 1", "NAME = 'A' )"}) {
            try {
                cds.SetFilter(QString::fromUtf8(bad));
                QFAIL(bad);
            } catch (const EDatabaseError& e) {
                QVERIFY(!e.Message().isEmpty());
            }
        }
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, cds.SetFilter(QString(100000, '(') + "QTY = 1"));
        QCOMPARE(cds.Filter(), "QTY = 1"); // the old filter stays in force
        QCOMPARE(codes(cds), "0001");
        cds.SetFilter("");
        QCOMPARE(codes(cds), "0003,0001,0002");
    }

    void filterAndIndexChangesAndReloads() {
        TClientDataSet cds;
        define(cds);
        cds.SetIndexName("IDX_NAME"); // chosen before the first load
        cds.SetData(threeRows());
        QCOMPARE(codes(cds), "0001,0002,0003");
        Trace t(cds);
        cds.Last();
        t.take();
        cds.SetFilter("NAME <> 'Bruno'");
        QCOMPARE(t.take(), ""); // switch off: the text alone changes nothing
        cds.SetFiltered(true);
        QCOMPARE(t.take(), "BeforeScroll Data AfterScroll");
        QCOMPARE(cds.RecNo(), 1);
        QCOMPARE(codes(cds), "0001,0003");

        cds.SetData(packet(
            {row("0005", "Eva", 5), row("0006", "Bruno", 6), row("0007", "Ana", 7), row("0008", "Ana", 8)}));
        QCOMPARE(codes(cds), "0007,0008,0005"); // ties keep arrival order
        QCOMPARE(cds.IndexName(), "IDX_NAME");
        QVERIFY(cds.Filtered());

        cds.SetIndexName("IDX_QTY_CODE");
        QCOMPARE(codes(cds), "0005,0007,0008");
        cds.SetFiltered(false);
        QCOMPARE(codes(cds), "0005,0006,0007,0008");
        t.take();
        cds.SetIndexName("");
        QCOMPARE(t.take(), "BeforeScroll Data AfterScroll");
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, cds.SetIndexName("NOPE"));
        QCOMPARE(cds.IndexName(), "");

        // Changing the filter runs CheckBrowseMode first.
        cds.Edit();
        cds.FieldByName("QTY")->SetAsFloat(50);
        cds.SetFiltered(true);
        QCOMPARE(cds.ChangeCount(), 1);
        QCOMPARE(cds.State(), dsBrowse);
    }

    // BeforeScroll refusing the First that follows a new filter or order: the view has changed, the
    // row that was current stays current when it is still visible, else the nearest one does.
    void refusedFirstAfterAViewChangeKeepsAValidRow_data() {
        QTest::addColumn<int>("change");
        QTest::addColumn<QString>("current");
        QTest::addColumn<int>("recNo");
        QTest::newRow("filter switched on") << 0 << "0002" << 2;
        QTest::newRow("filter text changed, row hidden") << 1 << "0001" << 1;
        QTest::newRow("index changed") << 2 << "0002" << 2;
    }
    void refusedFirstAfterAViewChangeKeepsAValidRow() {
        QFETCH(int, change);
        TClientDataSet cds;
        define(cds);
        cds.SetData(threeRows()); // 0003, 0001, 0002
        cds.Last();
        cds.SetFilter("CODE <> '0003'");
        if (change == 1) {
            cds.SetFiltered(true);
            cds.Last();
        }
        Trace t(cds);
        t.abortOn = "BeforeScroll";
        switch (change) {
        case 0:
            QVERIFY_THROWS_EXCEPTION(EAbort, cds.SetFiltered(true));
            break;
        case 1:
            QVERIFY_THROWS_EXCEPTION(EAbort, cds.SetFilter("CODE = '0001'"));
            break;
        case 2:
            QVERIFY_THROWS_EXCEPTION(EAbort, cds.SetIndexName("IDX_NAME"));
            break;
        }
        t.abortOn.clear();
        QTEST(code(cds), "current");
        QTEST(cds.RecNo(), "recNo");
        QVERIFY(!cds.Eof() && !cds.Bof());
        cds.Edit();
        cds.FieldByName("NAME")->SetAsString("Zeca");
        cds.Post();
        QCOMPARE(cds.FieldByName("NAME")->AsString(), "Zeca");
    }

    void postedRowsTakeTheirPlaceInTheIndexAndFilter() {
        TClientDataSet cds;
        define(cds);
        cds.SetIndexName("IDX_NAME");
        cds.SetData(threeRows()); // Ana 0001, Bruno 0002, Carlos 0003
        cds.Edit();
        cds.FieldByName("NAME")->SetAsString("Zoe");
        cds.Post();
        QCOMPARE(codes(cds), "0002,0003,0001");
        QCOMPARE(code(cds), "0001"); // the edited row stays current
        QCOMPARE(cds.RecNo(), 3);

        cds.First();
        cds.Insert();
        cds.FieldByName("CODE")->SetAsString("0009");
        cds.FieldByName("NAME")->SetAsString("Caio");
        cds.Post();
        QCOMPARE(codes(cds), "0002,0009,0003,0001");
        QCOMPARE(code(cds), "0009");

        cds.SetFilter("NAME <> 'Xavier'");
        cds.SetFiltered(true);
        cds.SetRecNo(2);
        cds.Edit();
        cds.FieldByName("NAME")->SetAsString("Xavier");
        cds.Post(); // no longer matches: leaves the view, the next row becomes current
        QCOMPARE(codes(cds), "0002,0003,0001");
        QCOMPARE(code(cds), "0003");
        cds.SetFiltered(false);
        QCOMPARE(codes(cds), "0002,0003,0009,0001");
    }

    void changeLogAfterMixedChanges() {
        TClientDataSet cds;
        define(cds);
        cds.SetData(threeRows()); // 0003, 0001, 0002
        auto setQty = [&](double q) {
            cds.Edit();
            cds.FieldByName("QTY")->SetAsFloat(q);
            cds.Post();
        };
        setQty(30);   // 0003: modify
        setQty(31);   // still one modify, original values kept
        cds.Append(); // 0004: insert, then edited: still an insert
        cds.FieldByName("CODE")->SetAsString("0004");
        cds.Post();
        setQty(44);
        cds.Append(); // 0005: inserted and deleted: no entry at all
        cds.FieldByName("CODE")->SetAsString("0005");
        cds.Post();
        cds.Delete();
        cds.Locate("CODE", "0001"); // 0001: edited to the same value: nothing logged
        cds.Edit();
        cds.FieldByName("QTY")->SetAsFloat(1);
        cds.Post();
        cds.Locate("CODE", "0002"); // 0002: modified, then deleted: a delete with the loaded values
        setQty(22);
        cds.Delete();
        QCOMPARE(cds.ChangeCount(), 3);

        const TChangeLog delta = cds.Delta();
        QCOMPARE(delta.fields.size(), 4);
        QCOMPARE(delta.changes.size(), 3);
        QCOMPARE(delta.changes[0].op, TChange::Modify);
        QCOMPARE(delta.changes[0].oldValues[2].toDouble(), 3.0);
        QCOMPARE(delta.changes[0].newValues[2].toDouble(), 31.0);
        QCOMPARE(delta.changes[0].newValues[1].toString(), "Carlos");
        QCOMPARE(delta.changes[1].op, TChange::Insert);
        QCOMPARE(delta.changes[1].newValues[0].toString(), "0004");
        QCOMPARE(delta.changes[1].newValues[2].toDouble(), 44.0);
        QVERIFY(delta.changes[1].newValues[1].isNull());
        QCOMPARE(delta.changes[2].op, TChange::Delete);
        QCOMPARE(delta.changes[2].oldValues[0].toString(), "0002");
        QCOMPARE(delta.changes[2].oldValues[2].toDouble(), 2.0);
        // The log survives its own encoding.
        QCOMPARE(TChangeLog::fromJson(delta.toJson()).changes.size(), 3);

        // Data() is the data with the log applied, in arrival order.
        const TDataPacket data = cds.Data();
        QCOMPARE(data.rows.size(), 3);
        QCOMPARE(data.rows[0][2].toDouble(), 31.0);
        QCOMPARE(data.rows[2][0].toString(), "0004");

        Trace t(cds);
        cds.Locate("CODE", "0001");
        t.take();
        cds.CancelUpdates();
        QCOMPARE(t.take(), "Data"); // no state change, no scroll events
        QCOMPARE(cds.ChangeCount(), 0);
        QCOMPARE(codes(cds), "0003,0001,0002");
        QCOMPARE(code(cds), "0001"); // the current row still exists
        QCOMPARE(cds.FieldByName("QTY")->AsFloat(), 1.0);
        cds.First();
        QCOMPARE(cds.FieldByName("QTY")->AsFloat(), 3.0);
    }

    void cancelUpdatesMovesToTheNearestRowAndMergeKeepsData() {
        TClientDataSet cds;
        define(cds);
        cds.SetData(threeRows());
        cds.Last();
        cds.Append();
        cds.FieldByName("CODE")->SetAsString("0009");
        cds.Post();
        cds.Edit(); // pending, unmodified: CancelUpdates cancels it first
        cds.CancelUpdates();
        QCOMPARE(cds.State(), dsBrowse);
        QCOMPARE(codes(cds), "0003,0001,0002");
        QCOMPARE(code(cds), "0002");

        cds.First();
        cds.Edit();
        cds.FieldByName("NAME")->SetAsString("Caco");
        cds.Post();
        Trace t(cds);
        cds.MergeChangeLog();
        QCOMPARE(t.take(), "");
        QCOMPARE(cds.ChangeCount(), 0);
        cds.CancelUpdates();
        QCOMPARE(cds.FieldByName("NAME")->AsString(), "Caco");

        // Without logging, changes go straight into the data.
        cds.SetLogChanges(false);
        cds.Edit();
        cds.FieldByName("NAME")->SetAsString("Cadu");
        cds.Post();
        cds.Delete();
        QCOMPARE(cds.ChangeCount(), 0);
        cds.CancelUpdates();
        QCOMPARE(codes(cds), "0001,0002");
    }

    // Many inserts in one place exhaust the room between two rows' arrival keys; the order must hold,
    // also for a deleted row that CancelUpdates brings back.
    void manyInsertsInOnePlaceKeepTheOrder() {
        TClientDataSet cds;
        define(cds);
        cds.SetData(
            packet({row("000A", "A", 1), row("000C", "C", 2), row("000B", "B", 3), row("000D", "D", 4)}));
        cds.SetRecNo(3);
        cds.Delete(); // B
        cds.Prior();  // C
        QStringList expected{"000A"};
        for (int i = 40; i >= 1; --i) {
            cds.Insert(); // each before the previous one
            cds.FieldByName("CODE")->SetAsString(QString::number(i));
            cds.Post();
        }
        for (int i = 1; i <= 40; ++i)
            expected << QString::number(i);
        expected << "000C"
                 << "000D";
        QCOMPARE(codes(cds), expected.join(','));
        QStringList data;
        for (const auto& r : cds.Data().rows)
            data << r[0].toString();
        QCOMPARE(data, expected);
        cds.CancelUpdates();
        QCOMPARE(codes(cds), "000A,000C,000B,000D");
        cds.Edit();
        cds.Insert(); // Edit in insert state does nothing; Insert from an unmodified edit cancels it first
        cds.Edit();
        QCOMPARE(cds.State(), dsInsert);
    }

    void definedFieldsTakePacketColumnsByName() {
        TClientDataSet cds;
        cds.AddField("TIPO", ftFixedChar, 3);
        cds.AddField("QT", ftFloat);
        TDataPacket p;
        p.fields = {{"EXTRA", ftFloat, 0}, {"qt", ftFloat, 0}, {"TIPO", ftString, 2}};
        p.rows = {{1.0, 2.0, QStringLiteral("S")}};
        cds.SetData(p);
        QCOMPARE(cds.FieldCount(), 2);
        QVERIFY(!cds.FindField("EXTRA"));
        QCOMPARE(cds.FieldByName("TIPO")->AsString(), "S  "); // padded on load
        QCOMPARE(cds.FieldByName("QT")->AsFloat(), 2.0);

        TDataPacket missing;
        missing.fields = {{"TIPO", ftFixedChar, 3}};
        missing.rows = {{QStringLiteral("N")}};
        try {
            cds.SetData(missing);
            QFAIL("accepted a packet without QT");
        } catch (const EDatabaseError& e) {
            QVERIFY(e.Message().contains("QT"));
        }
        TDataPacket wrongType = p;
        wrongType.fields[1].type = ftDateTime;
        wrongType.rows = {{1.0, QDateTime(QDate(2026, 1, 1), QTime()), QStringLiteral("N")}};
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, cds.SetData(wrongType));
        TDataPacket tooLong = p;
        tooLong.fields[2].size = 5;
        tooLong.rows = {{1.0, 1.0, QStringLiteral("ABCD")}};
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, cds.SetData(tooLong));
        QCOMPARE(cds.FieldByName("TIPO")->AsString(), "S  ");

        // A set without defined fields takes the packet's, and keeps the same field objects
        // when the next packet has the same fields.
        TClientDataSet loose;
        loose.SetData(p);
        TField* extra = loose.FieldByName("EXTRA");
        QCOMPARE(loose.FieldCount(), 3);
        loose.SetData(p);
        QCOMPARE(loose.FieldByName("EXTRA"), extra);
    }

    void calculatedFieldsAndOtherRows() {
        TClientDataSet cds;
        define(cds);
        TField* calc = cds.AddCalcField("DSDIASEMANA", ftString, 25);
        int calls = 0;
        cds.OnCalcFields = [&](TClientDataSet* ds) {
            ++calls;
            ds->FieldByName("DSDIASEMANA")->SetAsString(ds->FieldByName("NAME")->AsString() + "!");
        };
        cds.SetData(threeRows());
        QCOMPARE(cds.FieldCount(), 5);
        QCOMPARE(calc->AsString(), "Carlos!");
        QCOMPARE(calc->AsString(), "Carlos!");
        QCOMPARE(calls, 1); // computed once per row read, not per access
        Trace t(cds);
        QCOMPARE(cds.viewFieldValue(3, calc).toString(), "Bruno!");
        QCOMPARE(cds.viewFieldValue(9, calc), QVariant());
        QCOMPARE(t.take(), ""); // other rows are read without moving
        QCOMPARE(calc->AsString(), "Carlos!");
        cds.Edit();
        cds.FieldByName("NAME")->SetAsString("Cid");
        QCOMPARE(calc->AsString(), "Cid!");
        QCOMPARE(cds.viewFieldValue(1, cds.FieldByName("NAME")).toString(), "Cid");
        cds.Post();
        QVERIFY(!cds.Data().fields.contains(TPacketField{"DSDIASEMANA", ftString, 25}));
        QCOMPARE(cds.Delta().fields.size(), 4);
        // Writing a data field from OnCalcFields is refused.
        cds.OnCalcFields = [](TClientDataSet* ds) { ds->FieldByName("NAME")->SetAsString("x"); };
        cds.Next();
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, calc->AsString());
    }

    void controlsDisabledAndFocus() {
        TClientDataSet cds;
        define(cds);
        cds.SetData(threeRows());
        Trace t(cds);
        cds.DisableControls();
        cds.Next();
        cds.Edit();
        cds.FieldByName("NAME")->SetAsString("Abel");
        QCOMPARE(t.take(), "BeforeScroll AfterScroll BeforeEdit AfterEdit");
        cds.EnableControls();
        QCOMPARE(t.take(), "link:state State:edit Data");
        cds.Cancel();
        cds.DisableControls();
        cds.Next();
        cds.Prior();
        cds.EnableControls();
        QCOMPARE(t.take(), "BeforeCancel link:state State:browse Data AfterCancel BeforeScroll AfterScroll "
                           "BeforeScroll AfterScroll Data");
        cds.FieldByName("QTY")->FocusControl();
        QCOMPARE(t.take(), "link:focus:QTY");
        t.source.SetEnabled(false);
        cds.Next();
        QCOMPARE(t.take(), "link:active BeforeScroll AfterScroll");
    }

    void sourcesAndSetsMayDieInEitherOrder() {
        auto cds = std::make_unique<TClientDataSet>();
        define(*cds);
        cds->SetData(threeRows());
        auto first = std::make_unique<TDataSource>(cds.get());
        TDataSource second(cds.get());
        QCOMPARE(cds->DataSources().size(), size_t(2));
        QCOMPARE(second.State(), dsBrowse);
        first.reset();
        QCOMPARE(cds->DataSources().size(), size_t(1));
        cds->Next(); // notifies only the living source
        cds.reset();
        QCOMPARE(second.DataSet(), nullptr);
        QCOMPARE(second.State(), dsInactive);
    }

    void fieldWritesNeedEditState() {
        TClientDataSet cds;
        define(cds);
        cds.SetData(threeRows());
        try {
            cds.FieldByName("NAME")->SetAsString("x");
            QFAIL("wrote in browse state");
        } catch (const EDatabaseError& e) {
            QVERIFY(e.Message().contains("não está em modo de edição ou inclusão"));
        }
        cds.Edit();
        cds.FieldByName("NAME")->SetAsString("Maximiliano de Souza Neto"); // 25 characters into 20
        QCOMPARE(cds.FieldByName("NAME")->AsString(), "Maximiliano de Souza");
        cds.FieldByName("NAME")->SetReadOnly(true);
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, cds.FieldByName("NAME")->SetAsString("y"));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, cds.FieldByName("QTY")->SetAsString("doze"));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, cds.FieldByName("QTY")->SetValue(std::nan("")));
        cds.Post();
        QCOMPARE(cds.FieldByName("QTY")->AsFloat(), 3.0);
    }

    // On an empty view both ends are reached; a move that cannot happen sets its own direction's
    // flag and clears the other, also when the set just shrank to nothing.
    void endFlagsOnEveryPath_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("eof");
        QTest::addColumn<bool>("bof");
        QTest::newRow("empty, insert cancelled") << "empty insert cancel" << true << true;
        QTest::newRow("empty, append cancelled") << "empty append cancel" << true << true;
        QTest::newRow("empty, insert cancelled, next") << "empty insert cancel next" << true << true;
        QTest::newRow("empty, append cancelled, prior") << "empty append cancel prior" << true << true;
        QTest::newRow("empty, new row aborted") << "empty abortinsert" << true << true;
        QTest::newRow("empty, appended row deleted") << "empty append post delete" << true << true;
        QTest::newRow("last row deleted") << "one delete" << true << true;
        QTest::newRow("filter passes nothing") << "three nothing" << true << true;
        QTest::newRow("posted row leaves the filter") << "three only1 edit9 post" << true << true;
        QTest::newRow("one row, next") << "one next" << true << false;
        QTest::newRow("one row, next, prior") << "one next prior" << false << true;
        QTest::newRow("one row, last, prior") << "one last prior" << false << true;
        QTest::newRow("three rows, last, next") << "three last next" << true << false;
        QTest::newRow("three rows, next past the end") << "three moveby9" << true << false;
        QTest::newRow("three rows, past the end, back past the start")
            << "three moveby9 moveby-9" << false << true;
        QTest::newRow("three rows, first, prior") << "three first prior" << false << true;
        QTest::newRow("three rows, locate") << "three next next locate1" << false << false;
    }
    void endFlagsOnEveryPath() {
        QFETCH(QString, path);
        QFETCH(bool, eof);
        QFETCH(bool, bof);
        TClientDataSet cds;
        define(cds);
        for (const QString& step : path.split(' ')) {
            if (step == "empty")
                cds.SetData(packet({}));
            else if (step == "one")
                cds.SetData(packet({row("0001", "Ana", 1)}));
            else if (step == "three")
                cds.SetData(threeRows());
            else if (step == "insert")
                cds.Insert();
            else if (step == "append")
                cds.Append();
            else if (step == "cancel")
                cds.Cancel();
            else if (step == "post")
                cds.Post();
            else if (step == "delete")
                cds.Delete();
            else if (step == "next")
                cds.Next();
            else if (step == "prior")
                cds.Prior();
            else if (step == "first")
                cds.First();
            else if (step == "last")
                cds.Last();
            else if (step == "moveby9")
                cds.MoveBy(9);
            else if (step == "moveby-9")
                cds.MoveBy(-9);
            else if (step == "locate1")
                QVERIFY(cds.Locate("CODE", "0003"));
            else if (step == "edit9")
                cds.Edit(), cds.FieldByName("CODE")->SetAsString("0009");
            else if (step == "nothing" || step == "only1") {
                cds.SetFilter(step == "nothing" ? "CODE = 'none'" : "CODE = '0001'");
                cds.SetFiltered(true);
            } else if (step == "abortinsert") {
                cds.OnNewRecord = [](TClientDataSet*) { Abort(); };
                QVERIFY_THROWS_EXCEPTION(EAbort, cds.Insert());
            } else
                QFAIL(qPrintable("unknown step " + step));
        }
        QCOMPARE(cds.Eof(), eof);
        QCOMPARE(cds.Bof(), bof);
        if (cds.IsEmpty()) {
            int rounds = 0;
            for (; !cds.Eof() && rounds < 3; cds.Next())
                ++rounds;
            QCOMPARE(rounds, 0); // a walk over an empty set reads no row
            QCOMPARE(cds.RecNo(), 0);
        }
    }

    // Dates are days: written as a date, a date-time or a text, read as a QDate, found by day;
    // midnight that a clock change skipped is a day like any other.
    void datesAreDays() {
        const QByteArray oldTz = qgetenv("TZ");
        qputenv("TZ", "America/Sao_Paulo"); // clocks jumped from 00:00 to 01:00 on 04/11/2018
        struct RestoreTz {
            QByteArray tz;
            ~RestoreTz() { tz.isEmpty() ? qunsetenv("TZ") : qputenv("TZ", tz); }
        } restore{oldTz};
        const QDate skipped(2018, 11, 4);
        TClientDataSet cds;
        define(cds);
        cds.SetData(
            packet({{QString("0001"), QString("Ana"), 1.0, skipped},
                    {QString("0002"), QString("Bia"), 2.0, QDateTime(skipped.addDays(1), QTime(13, 0))}}));
        TField* dt = cds.FieldByName("DT");
        QCOMPARE(dt->Value().typeId(), QMetaType::QDate);
        QCOMPARE(dt->Value().toDate(), skipped);
        QCOMPARE(dt->DisplayText(), "04/11/2018");
        QCOMPARE(cds.viewFieldValue(2, dt), QVariant(skipped.addDays(1))); // the time is not kept
        QCOMPARE(cds.Data().rows[0][3], QVariant(skipped));
        QVERIFY(cds.Locate("DT", QDateTime(skipped.addDays(1), QTime(8, 0))));
        QCOMPARE(code(cds), "0002");
        cds.SetFilter("DT = '2018-11-04'");
        cds.SetFiltered(true);
        QCOMPARE(codes(cds), "0001");
        cds.SetFiltered(false);
        cds.Edit();
        dt->SetValue(QStringLiteral("05/11/2018"));
        QCOMPARE(dt->Value(), QVariant(QDate(2018, 11, 5)));
        dt->SetValue(QDate());
        QVERIFY(dt->IsNull());
        QCOMPARE(dt->Value(), QVariant());
        cds.Post();
        QCOMPARE(cds.Delta().changes[0].oldValues[3], QVariant(skipped));
    }
};

QTEST_GUILESS_MAIN(TstClientDataSet)
#include "tst_clientdataset.moc"
