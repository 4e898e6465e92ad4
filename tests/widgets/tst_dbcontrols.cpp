// Data edit, data text and navigator following a record set, driven as a person would.

#include "DBGridTestSupport.h"

#include "widgets/TDBEdit.h"
#include "widgets/TDBGrid.h"
#include "widgets/TDBNavigator.h"
#include "widgets/TDBText.h"

#include <QToolButton>

using namespace kvo::test;

namespace {

struct ControlsFixture {
    RecordingUi ui;
    kvo::HostUi* previousUi;
    Trace trace;
    TClientDataSet cds;
    TDataSource dts;
    TForm form;
    TDBEdit* dbeName;
    TDBEdit* dbeQt;
    TDBText* dbtName;
    TDBNavigator* nav;
    TEdit* other;

    ControlsFixture() : previousUi(kvo::SetUi(&ui)) {
        cds.AddField(QStringLiteral("CODE"), ftString, 5);
        cds.AddField(QStringLiteral("NAME"), ftString, 20);
        cds.AddField(QStringLiteral("QT"), ftFloat);
        TDataPacket p;
        p.fields = {{QStringLiteral("CODE"), ftString, 5},
                    {QStringLiteral("NAME"), ftString, 20},
                    {QStringLiteral("QT"), ftFloat, 0}};
        p.rows = {{QStringLiteral("001"), QStringLiteral("Ala A"), 12.0},
                  {QStringLiteral("002"), QStringLiteral("Ala B"), 2.5}};
        cds.SetData(p);
        dts.SetDataSet(&cds);

        auto* layout = new QVBoxLayout(&form);
        dbeName = new TDBEdit(&form);
        dbeQt = new TDBEdit(&form);
        dbtName = new TDBText(&form);
        nav = new TDBNavigator(&form);
        other = new TEdit(&form);
        for (QWidget* w : std::initializer_list<QWidget*>{dbeName, dbeQt, dbtName, nav, other})
            layout->addWidget(w);
        dbeName->SetDataSource(&dts);
        dbeName->SetDataField(QStringLiteral("NAME"));
        dbeQt->SetDataField(QStringLiteral("QT"));
        dbeQt->SetDataSource(&dts);
        dbtName->SetDataSource(&dts);
        dbtName->SetDataField(QStringLiteral("NAME"));
        nav->SetDataSource(&dts);
        traceSet(cds, dts, trace);
    }
    ~ControlsFixture() { kvo::SetUi(previousUi); }

    bool show() {
        form.show();
        form.activateWindow();
        return QTest::qWaitForWindowActive(&form);
    }
    void typeInto(TDBEdit* e, const QString& text) {
        e->SetFocus();
        e->selectAll();
        QTest::keyClicks(e, text);
    }
    QString take() { return trace.take().join(QStringLiteral(", ")); }
    QString enabledButtons() const {
        QString s;
        for (int i = 0; i < TDBNavigator::ButtonCount; ++i)
            s += nav->ButtonEnabled(TNavigateBtn(i)) ? QLatin1Char('1') : QLatin1Char('0');
        return s;
    }
};

} // namespace

class TestDBControls : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ControlsFixture> f;

private slots:
    void init() {
        f = std::make_unique<ControlsFixture>();
        QVERIFY(f->show());
        f->take();
    }
    void cleanup() { f.reset(); }

    void editAndTextFollowTheCurrentRow() {
        QCOMPARE(f->dbeName->Text(), QStringLiteral("Ala A"));
        QCOMPARE(f->dbeQt->Text(), QStringLiteral("12"));
        QCOMPARE(f->dbtName->Caption(), QStringLiteral("Ala A"));
        f->cds.Next();
        QCOMPARE(f->dbeName->Text(), QStringLiteral("Ala B"));
        QCOMPARE(f->dbeQt->Text(), QStringLiteral("2,5"));
        QCOMPARE(f->dbtName->Caption(), QStringLiteral("Ala B"));
        // A value written from code shows at once.
        f->cds.Edit();
        f->cds.FieldByName("NAME")->SetAsString(QStringLiteral("Ala Z"));
        QCOMPARE(f->dbeName->Text(), QStringLiteral("Ala Z"));
        QCOMPARE(f->dbtName->Caption(), QStringLiteral("Ala Z"));
        f->cds.Close();
        QCOMPARE(f->dbeName->Text(), QString());
        QCOMPARE(f->dbtName->Caption(), QString());
    }

    void typingEditsTheRowAndTheTextIsWrittenOnExitOrPost() {
        f->typeInto(f->dbeName, QStringLiteral("Leste"));
        QCOMPARE(f->take(), QStringLiteral("BeforeEdit, state:edit, AfterEdit"));
        QCOMPARE(f->dbeName->Text(), QStringLiteral("Leste"));
        QCOMPARE(f->cds.FieldByName("NAME")->AsString(), QStringLiteral("Ala A")); // not yet
        f->other->SetFocus();
        QCOMPARE(f->cds.FieldByName("NAME")->AsString(), QStringLiteral("Leste"));
        QCOMPARE(f->cds.State(), dsEdit);
        QCOMPARE(f->dbtName->Caption(), QStringLiteral("Leste"));

        // Typed text still in the edit goes into the field when the navigator posts.
        f->typeInto(f->dbeQt, QStringLiteral("3,5"));
        QVERIFY(f->nav->ButtonEnabled(nbPost));
        f->nav->Button(nbPost)->click();
        QCOMPARE(f->take(), QStringLiteral("BeforePost, state:browse, AfterPost"));
        QCOMPARE(f->cds.FieldByName("QT")->AsFloat(), 3.5);
    }

    void escRevertsAndReadOnlyEditsStartNoEdit() {
        f->typeInto(f->dbeName, QStringLiteral("Outro"));
        f->take();
        QTest::keyClick(f->dbeName, Qt::Key_Escape);
        QCOMPARE(f->dbeName->Text(), QStringLiteral("Ala A"));
        f->other->SetFocus();
        QCOMPARE(f->cds.FieldByName("NAME")->AsString(), QStringLiteral("Ala A"));
        f->cds.Cancel();
        f->take();

        f->dbeName->SetReadOnly(true);
        f->typeInto(f->dbeName, QStringLiteral("x"));
        QCOMPARE(f->take(), QString());
        QCOMPARE(f->dbeName->Text(), QStringLiteral("Ala A"));

        f->cds.FieldByName("QT")->SetReadOnly(true);
        f->dbeQt->SetReadOnly(false);
        f->typeInto(f->dbeQt, QStringLiteral("9"));
        QCOMPARE(f->take(), QString());
        QCOMPARE(f->cds.State(), dsBrowse);
    }

    void aBadNumberKeepsTheFocusAndTheText() {
        f->typeInto(f->dbeQt, QStringLiteral("1x"));
        f->other->setFocus(); // as a click would
        QCOMPARE(f->ui.errors, QStringList({"'1x' não é um valor numérico válido."}));
        QVERIFY(f->dbeQt->Focused());
        QCOMPARE(f->dbeQt->Text(), QStringLiteral("1x"));
        QCOMPARE(f->cds.FieldByName("QT")->AsFloat(), 12.0);
    }

    void beforeEditRefusalDropsTheKey() {
        f->cds.BeforeEdit = [](TClientDataSet*) { Abort(); };
        f->typeInto(f->dbeName, QStringLiteral("Q"));
        QCOMPARE(f->dbeName->Text(), QStringLiteral("Ala A"));
        QCOMPARE(f->cds.State(), dsBrowse);
    }

    void navigatorButtonsFollowTheSet() {
        // first prior next last insert delete edit post cancel refresh
        QCOMPARE(f->enabledButtons(), QStringLiteral("0011111001"));
        f->nav->Button(nbNext)->click();
        QCOMPARE(f->take(), QStringLiteral("BeforeScroll, AfterScroll"));
        QCOMPARE(f->enabledButtons(), QStringLiteral("1100111001"));
        f->nav->Button(nbEdit)->click();
        QCOMPARE(f->take(), QStringLiteral("BeforeEdit, state:edit, AfterEdit"));
        QCOMPARE(f->enabledButtons(), QStringLiteral("1100110111"));
        f->nav->Button(nbCancel)->click();
        QCOMPARE(f->take(), QStringLiteral("BeforeCancel, state:browse, AfterCancel"));

        f->ui.answers = {kvo::mrNo};
        f->nav->Button(nbDelete)->click();
        QCOMPARE(f->ui.questions, QStringList({TDBGrid::ConfirmDeleteText()}));
        QCOMPARE(f->cds.RecordCount(), 2);
        f->ui.answers = {kvo::mrYes};
        f->nav->Button(nbDelete)->click();
        QCOMPARE(f->cds.RecordCount(), 1);
        QCOMPARE(f->enabledButtons(), QStringLiteral("0000111001"));

        // A refusing BeforeAction stops the action silently.
        f->nav->BeforeAction = [](QObject*, TNavigateBtn b) {
            if (b == nbInsert) Abort();
        };
        f->take();
        f->nav->Button(nbInsert)->click();
        QCOMPARE(f->take(), QString());
        QCOMPARE(f->ui.errors, QStringList());
    }

    void navigatorRebindsAndCanBeDisabled() {
        f->nav->SetDataSource(nullptr);
        QCOMPARE(f->enabledButtons(), QStringLiteral("0000000000"));
        f->nav->Button(nbNext)->click();
        QCOMPARE(f->cds.RecNo(), 1);

        TClientDataSet other;
        other.AddField(QStringLiteral("K"), ftString, 2);
        other.CreateDataSet();
        for (const char* k : {"a", "b", "c"}) {
            other.Append();
            other.FieldByName("K")->SetAsString(QString::fromLatin1(k));
            other.Post();
        }
        other.First();
        TDataSource otherSource(&other);
        f->nav->SetDataSource(&otherSource);
        QCOMPARE(f->enabledButtons(), QStringLiteral("0011111001"));
        f->nav->Button(nbLast)->click();
        QCOMPARE(other.RecNo(), 3);
        QCOMPARE(f->cds.RecNo(), 1);

        f->nav->SetEnabled(false);
        QVERIFY(!f->nav->isEnabled());
        QVERIFY(!f->nav->Button(nbFirst)->isEnabled());
        f->nav->SetEnabled(true);
        QVERIFY(f->nav->Button(nbFirst)->isEnabled());
        f->nav->SetDataSource(&f->dts);
        QCOMPARE(f->enabledButtons(), QStringLiteral("0011111001"));
    }

    // Forms are torn down child by child, so a source may go before its controls or a set before
    // its source; whoever is left must neither keep the stale pointer nor be reached through it.
    void controlsOutliveTheirSource() {
        auto* grid = new TDBGrid(&f->form);
        auto source = std::make_unique<TDataSource>(&f->cds);
        for (TDBEdit* e : {f->dbeName, f->dbeQt})
            e->SetDataSource(source.get());
        f->dbtName->SetDataSource(source.get());
        f->nav->SetDataSource(source.get());
        grid->SetDataSource(source.get());
        QCOMPARE(f->dbtName->Caption(), QStringLiteral("Ala A"));

        source.reset();
        QCOMPARE(f->dbeName->DataSource(), nullptr);
        QCOMPARE(f->dbtName->DataSource(), nullptr);
        QCOMPARE(f->nav->DataSource(), nullptr);
        QCOMPARE(grid->DataSource(), nullptr);
        QCOMPARE(grid->DataSet(), nullptr);
        f->cds.Next(); // nothing is told any more
        f->cds.Edit();
        f->cds.FieldByName("NAME")->SetAsString(QStringLiteral("Ala X"));
        f->cds.Post();
        f->nav->Button(nbFirst)->click();
        QCOMPARE(f->cds.RecNo(), 2);

        f->dbtName->SetDataSource(&f->dts); // and they bind again as usual
        grid->SetDataSource(&f->dts);
        QCOMPARE(f->dbtName->Caption(), QStringLiteral("Ala X"));
        QCOMPARE(grid->DataSet(), &f->cds);
        QCOMPARE(f->dts.links().size(), size_t(2));
        delete grid;
        QCOMPARE(f->dts.links().size(), size_t(1));
    }

    void aSourceOutlivesItsSet() {
        auto cds = std::make_unique<TClientDataSet>();
        cds->AddField(QStringLiteral("NAME"), ftString, 20);
        cds->CreateDataSet();
        cds->Append();
        cds->FieldByName("NAME")->SetAsString(QStringLiteral("Ala C"));
        cds->Post();
        auto* grid = new TDBGrid(&f->form);
        f->dts.SetDataSet(cds.get());
        grid->SetDataSource(&f->dts);
        QCOMPARE(f->dbtName->Caption(), QStringLiteral("Ala C"));
        QCOMPARE(f->enabledButtons(), QStringLiteral("0000111001"));

        cds.reset();
        QCOMPARE(f->dts.DataSet(), nullptr);
        QCOMPARE(f->dts.State(), dsInactive);
        QCOMPARE(f->dbtName->Caption(), QString());
        QCOMPARE(f->dbeName->Text(), QString());
        QVERIFY(f->dbeName->isReadOnly());
        QCOMPARE(f->enabledButtons(), QStringLiteral("0000000000"));
        QCOMPARE(grid->DataSet(), nullptr);
        f->nav->Button(nbInsert)->click();
        f->dts.notifyDataChange(nullptr); // the controls still follow the source itself

        f->dts.SetDataSet(&f->cds);
        QCOMPARE(f->dbtName->Caption(), QStringLiteral("Ala A"));
        QCOMPARE(grid->DataSet(), &f->cds);
    }
};

QTEST_MAIN(TestDBControls)
#include "tst_dbcontrols.moc"
