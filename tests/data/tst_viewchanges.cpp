#include "Trace.h"

#include "data/Exceptions.h"
#include "data/TClientDataSet.h"
#include "data/TDataSource.h"

#include <QTest>
#include <functional>

namespace {

TDataPacket threeRows() {
    TDataPacket p;
    p.fields = {{"CODE", ftString, 4}, {"NAME", ftString, 20}, {"QTY", ftFloat, 0}};
    p.rows = {{QStringLiteral("0003"), QStringLiteral("Carlos"), 3.0},
              {QStringLiteral("0001"), QStringLiteral("Ana"), 1.0},
              {QStringLiteral("0002"), QStringLiteral("Bruno"), 2.0}};
    return p;
}

// Records the view changes among the other events, and keeps a copy of the view's codes that it
// updates from the changes alone, the way a grid model does; the copy must always match the view.
class ViewTrace : public Trace {
public:
    QStringList mirror;
    TClientDataSet& cds;

    explicit ViewTrace(TClientDataSet& set) : Trace(set), cds(set) { mirror = codeList(); }

    QStringList codeList() const {
        const QString all = codes(cds);
        return all.isEmpty() ? QStringList() : all.split(QLatin1Char(','));
    }
    QString at(int row) const { return cds.viewFieldValue(row + 1, cds.FieldByName("CODE")).toString(); }

    void viewChanged(const TViewChange& c) override {
        switch (c.kind) {
        case TViewChange::Reset:
            events << QStringLiteral("view:reset");
            mirror = cds.Active() ? codeList() : QStringList();
            break;
        case TViewChange::Inserted:
            events << QStringLiteral("view:ins%1").arg(c.row);
            mirror.insert(c.row, at(c.row));
            break;
        case TViewChange::Removed:
            events << QStringLiteral("view:rem%1").arg(c.row);
            mirror.removeAt(c.row);
            break;
        case TViewChange::Moved:
            events << QStringLiteral("view:mov%1>%2").arg(c.row).arg(c.to);
            mirror.move(c.row, c.to);
            break;
        case TViewChange::Changed:
            events << QStringLiteral("view:chg%1").arg(c.row);
            mirror[c.row] = at(c.row);
            break;
        }
    }
};

struct Case {
    const char* name;
    const char* index;  // active index, "" for arrival order (0003,0001,0002)
    const char* filter; // filter switched on, "" for none
    std::function<void(TClientDataSet&)> setup, op;
    const char* expected;
};

TField* f(TClientDataSet& cds, const char* name) {
    return cds.FieldByName(QLatin1String(name));
}

const std::vector<Case>& cases() {
    static const std::vector<Case> all = {
        {"insert before the current row", "", "", [](TClientDataSet& c) { c.SetRecNo(2); },
         [](TClientDataSet& c) { c.Insert(); },
         "BeforeInsert BeforeScroll view:ins1 link:state State:insert OnNewRecord Data AfterInsert "
         "AfterScroll"},
        {"append", "", "", nullptr, [](TClientDataSet& c) { c.Append(); },
         "BeforeInsert BeforeScroll view:ins3 link:state State:insert OnNewRecord Data AfterInsert "
         "AfterScroll"},
        {"cancelled insert", "", "", [](TClientDataSet& c) { c.SetRecNo(2), c.Insert(); },
         [](TClientDataSet& c) { c.Cancel(); },
         "BeforeCancel BeforeScroll view:rem1 link:state State:browse Data AfterCancel AfterScroll"},
        {"field write", "", "", [](TClientDataSet& c) { c.Edit(); },
         [](TClientDataSet& c) { f(c, "NAME")->SetAsString("Cid"); }, "view:chg0 Data:NAME"},
        {"cancelled edit", "", "",
         [](TClientDataSet& c) { c.Next(), c.Edit(), f(c, "CODE")->SetAsString("0007"); },
         [](TClientDataSet& c) { c.Cancel(); },
         "BeforeCancel view:chg1 link:state State:browse Data AfterCancel"},
        {"posted insert takes its index place", "IDX_NAME", "",
         [](TClientDataSet& c) {
             c.Insert(), f(c, "CODE")->SetAsString("0009"), f(c, "NAME")->SetAsString("Bz");
         },
         [](TClientDataSet& c) { c.Post(); },
         "link:update BeforePost view:mov0>2 view:chg2 link:state State:browse Data AfterPost"},
        {"posted edit stays in place", "IDX_NAME", "",
         [](TClientDataSet& c) { c.Edit(), f(c, "QTY")->SetAsFloat(7); }, [](TClientDataSet& c) { c.Post(); },
         "link:update BeforePost view:chg0 link:state State:browse Data AfterPost"},
        {"posted edit moves up", "IDX_NAME", "",
         [](TClientDataSet& c) { c.Last(), c.Edit(), f(c, "NAME")->SetAsString("Aa"); },
         [](TClientDataSet& c) { c.Post(); },
         "link:update BeforePost view:mov2>0 view:chg0 link:state State:browse Data AfterPost"},
        {"posted edit leaves the filter", "", "CODE <> '0009'",
         [](TClientDataSet& c) { c.Next(), c.Edit(), f(c, "CODE")->SetAsString("0009"); },
         [](TClientDataSet& c) { c.Post(); },
         "link:update BeforePost view:rem1 link:state State:browse Data AfterPost"},
        {"posted edit without a change", "", "", [](TClientDataSet& c) { c.Edit(); },
         [](TClientDataSet& c) { c.Post(); },
         "link:update BeforePost link:state State:browse Data AfterPost"},
        {"delete", "", "", [](TClientDataSet& c) { c.Last(); }, [](TClientDataSet& c) { c.Delete(); },
         "BeforeDelete BeforeScroll view:rem2 Data AfterDelete AfterScroll"},
        {"aborted new row", "", "",
         [](TClientDataSet& c) { c.OnNewRecord = [](TClientDataSet*) { Abort(); }; },
         [](TClientDataSet& c) {
             try {
                 c.Insert();
             } catch (const EAbort&) {
             }
         },
         "BeforeInsert BeforeScroll view:ins0 link:state State:insert view:rem0 link:state State:browse "
         "Data"},
        {"filter", "", "", nullptr,
         [](TClientDataSet& c) { c.SetFilter("CODE <> '0001'"), c.SetFiltered(true); },
         "view:reset BeforeScroll Data AfterScroll"},
        {"index", "", "", nullptr, [](TClientDataSet& c) { c.SetIndexName("IDX_NAME"); },
         "view:reset BeforeScroll Data AfterScroll"},
        {"cancel updates", "", "", [](TClientDataSet& c) { c.Delete(); },
         [](TClientDataSet& c) { c.CancelUpdates(); }, "view:reset Data"},
        {"load", "", "", nullptr, [](TClientDataSet& c) { c.SetData(threeRows()); },
         "BeforeClose link:active link:state State:inactive AfterClose BeforeOpen link:active "
         "link:state State:browse AfterOpen Data AfterScroll"},
        {"controls disabled", "", "", nullptr,
         [](TClientDataSet& c) {
             c.DisableControls();
             c.Append();
             c.Cancel();
             c.EnableControls();
         },
         "BeforeInsert BeforeScroll OnNewRecord AfterInsert AfterScroll BeforeCancel BeforeScroll "
         "AfterCancel AfterScroll "
         "view:reset Data"},
    };
    return all;
}

} // namespace

class TstViewChanges : public QObject {
    Q_OBJECT
private slots:
    // Each change reaches the links right after it happened, before the next event, with the exact
    // view rows; a copy kept from the changes alone ends equal to the view.
    void changesComeInTheirPlaceWithExactRows_data() {
        QTest::addColumn<int>("which");
        for (int i = 0; i < int(cases().size()); ++i)
            QTest::newRow(cases()[size_t(i)].name) << i;
    }
    void changesComeInTheirPlaceWithExactRows() {
        QFETCH(int, which);
        const Case& c = cases()[size_t(which)];
        TClientDataSet cds;
        cds.AddField("CODE", ftString, 4);
        cds.AddField("NAME", ftString, 20);
        cds.AddField("QTY", ftFloat);
        cds.AddIndex("IDX_NAME", "NAME");
        cds.SetIndexName(QLatin1String(c.index));
        if (*c.filter) {
            cds.SetFilter(QLatin1String(c.filter));
            cds.SetFiltered(true);
        }
        cds.SetData(threeRows());
        ViewTrace t(cds);
        if (c.setup) c.setup(cds);
        QCOMPARE(t.mirror.join(','), codes(cds));
        t.take();
        c.op(cds);
        QCOMPARE(t.take(), QLatin1String(c.expected));
        QCOMPARE(t.mirror.join(','), codes(cds));
    }

    // A data source switched off hears nothing; every source on the set hears every change.
    void everySourceHearsEveryChange() {
        TClientDataSet cds;
        cds.SetData(threeRows());
        ViewTrace a(cds), b(cds);
        a.source.SetEnabled(false);
        b.take();
        cds.Append();
        cds.FieldByName("CODE")->SetAsString("0004");
        cds.Post();
        QCOMPARE(
            b.take(),
            "BeforeInsert BeforeScroll view:ins3 link:state State:insert OnNewRecord Data AfterInsert "
            "AfterScroll view:chg3 Data:CODE link:update BeforePost view:chg3 link:state State:browse Data "
            "AfterPost");
        QCOMPARE(b.mirror.join(','), "0003,0001,0002,0004");
        QVERIFY(!a.take().contains("view:"));
    }
};

QTEST_GUILESS_MAIN(TstViewChanges)
#include "tst_viewchanges.moc"
