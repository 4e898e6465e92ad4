// Focus model: enter/exit order across nested containers, the exit veto, focus from code,
// disabled controls and the page control.

#include "Fixture.h"
#include "data/Exceptions.h"
#include "widgets/StdControls.h"
#include "widgets/TPageControl.h"

#include "widgets/HostUi.h"
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

using namespace kvo::test;

namespace {

// pan[ edA, grp[ edB, edC ] ], pgc[ page1[ edD ], page2[ edE ] ], edF
struct FocusForm {
    TForm form;
    TPanel* pan;
    TGroupBox* grp;
    TPageControl* pgc;
    TTabSheet *page1, *page2;
    TEdit *edA, *edB, *edC, *edD, *edE, *edF;
    QStringList trace;

    FocusForm() {
        auto* layout = new QVBoxLayout(&form);
        pan = new TPanel(&form);
        auto* panLayout = new QVBoxLayout(pan);
        edA = edit(pan, panLayout, "A");
        grp = new TGroupBox(QStringLiteral("Grupo"), pan);
        auto* grpLayout = new QVBoxLayout(grp);
        edB = edit(grp, grpLayout, "B");
        edC = edit(grp, grpLayout, "C");
        panLayout->addWidget(grp);
        layout->addWidget(pan);
        pgc = new TPageControl(&form);
        page1 = new TTabSheet(pgc, QStringLiteral("Um"));
        page2 = new TTabSheet(pgc, QStringLiteral("Dois"));
        auto* l1 = new QVBoxLayout(page1);
        edD = edit(page1, l1, "D");
        auto* l2 = new QVBoxLayout(page2);
        edE = edit(page2, l2, "E");
        layout->addWidget(pgc);
        edF = edit(&form, layout, "F");
        watch(pan, "pan");
        watch(grp, "grp");
        watch(pgc, "pgc");
        watch(page1, "page1");
        watch(page2, "page2");
        form.resize(400, 500);
    }

    TEdit* edit(QWidget* parent, QVBoxLayout* layout, const char* name) {
        auto* e = new TEdit(parent);
        e->setObjectName(QString::fromLatin1(name));
        layout->addWidget(e);
        watch(e, name);
        return e;
    }

    void watch(TFocusControl* c, const char* name) {
        const QString n = QString::fromLatin1(name);
        c->OnEnter = [this, n](QObject*) { trace << QStringLiteral("enter ") + n; };
        c->OnExit = [this, n](QObject*) { trace << QStringLiteral("exit ") + n; };
    }

    // Starts on `first` with an empty trace.
    void start(TFocusControl* first) {
        QVERIFY(ShowActive(&form));
        first->SetFocus();
        Settle();
        trace.clear();
    }
};

} // namespace

class TestFocus : public QObject {
    Q_OBJECT
private slots:
    void firstFocusEntersOutermostFirst() {
        FocusForm f;
        QVERIFY(ShowActive(&f.form)); // the window's first control gets the focus
        QCOMPARE(f.trace, QStringList({"enter pan", "enter A"}));
        f.edB->SetFocus();
        QCOMPARE(f.trace, QStringList({"enter pan", "enter A", "exit A", "enter grp", "enter B"}));
        QCOMPARE(f.form.ActiveControl(), f.edB);
        QVERIFY(f.edB->Focused() && f.grp->Focused() && f.pan->Focused());
        QVERIFY(!f.edA->Focused() && !f.pgc->Focused());
    }

    void movesFireOnlyTheContainersThatChange() {
        FocusForm f;
        f.start(f.edA);
        Click(f.edB);
        QCOMPARE(f.trace, QStringList({"exit A", "enter grp", "enter B"}));
        f.trace.clear();
        Tab(); // B -> C inside one group: nothing on the group or the panel
        QCOMPARE(f.trace, QStringList({"exit B", "enter C"}));
        f.trace.clear();
        Tab(); // C -> D: out of two containers, into two
        QCOMPARE(f.trace,
                 QStringList({"exit C", "exit grp", "exit pan", "enter pgc", "enter page1", "enter D"}));
        QCOMPARE(FocusWidget(), f.edD);
        f.trace.clear();
        ShiftTab();
        QCOMPARE(f.trace,
                 QStringList({"exit D", "exit page1", "exit pgc", "enter pan", "enter grp", "enter C"}));
        QCOMPARE(FocusWidget(), f.edC);
    }

    void activeControlIsTheTargetWhileExitHandlersRun() {
        FocusForm f;
        f.start(f.edC);
        QWidget* seenByC = nullptr;
        QWidget* seenByPan = nullptr;
        f.edC->OnExit = [&](QObject*) { seenByC = f.form.ActiveControl(); };
        f.pan->OnExit = [&](QObject*) { seenByPan = f.form.ActiveControl(); };
        Click(f.edF);
        QCOMPARE(seenByC, f.edF);
        QCOMPARE(seenByPan, f.edF);
        QCOMPARE(f.form.ActiveControl(), f.edF);
    }

    void vetoedExitKeepsTheFocus_data() {
        QTest::addColumn<bool>("silent");
        QTest::addColumn<bool>("onPanel");
        QTest::newRow("abort on the control") << true << false;
        QTest::newRow("error on the control") << false << false;
        QTest::newRow("abort on the panel") << true << true;
        QTest::newRow("error on the panel") << false << true;
    }
    void vetoedExitKeepsTheFocus() {
        QFETCH(bool, silent);
        QFETCH(bool, onPanel);
        TestHostUi ui;
        FocusForm f;
        f.start(f.edC);
        TFocusControl* vetoing = onPanel ? static_cast<TFocusControl*>(f.pan) : f.edC;
        const QString name = onPanel ? "pan" : "C";
        vetoing->OnExit = [&](QObject*) {
            f.trace << "exit " + name;
            if (silent) Abort();
            throw Exception(QStringLiteral("Filial inválida."));
        };
        Click(f.edF);
        const QStringList expected =
            onPanel ? QStringList({"exit C", "exit grp", "exit pan"}) : QStringList({"exit C"});
        QCOMPARE(f.trace, expected); // no further exits, no enters
        QCOMPARE(FocusWidget(), f.edC);
        QCOMPARE(f.form.ActiveControl(), f.edC);
        QCOMPARE(f.form.FocusedControl(), f.edC);
        QCOMPARE(ui.Errors(), silent ? QStringList() : QStringList({"Filial inválida."}));

        // The model is not stuck: once the handler lets go, the same move works.
        vetoing->OnExit = nullptr;
        f.trace.clear();
        Click(f.edF);
        QCOMPARE(FocusWidget(), f.edF);
        QVERIFY(f.trace.endsWith("enter F"));
    }

    void exitHandlerThatMovesTheFocusWinsOverTheVeto() {
        TestHostUi ui;
        FocusForm f;
        f.start(f.edC);
        f.edC->OnExit = [&](QObject*) {
            f.trace << "exit C";
            f.edA->SetFocus();
            Abort();
        };
        Click(f.edD);
        QCOMPARE(FocusWidget(), f.edA);
        QCOMPARE(f.form.ActiveControl(), f.edA);
        QCOMPARE(f.trace, QStringList({"exit C", "enter A"}));
        QVERIFY(ui.Log().isEmpty());
    }

    void setFocusFromCodeRunsTheSequenceAndRethrows() {
        TestHostUi ui;
        FocusForm f;
        f.start(f.edB);
        f.edD->SetFocus();
        QCOMPARE(f.trace,
                 QStringList({"exit B", "exit grp", "exit pan", "enter pgc", "enter page1", "enter D"}));
        f.edD->OnExit = [](QObject*) { throw Exception(QStringLiteral("Data deve ser informada.")); };
        QVERIFY_THROWS_EXCEPTION(Exception, f.edF->SetFocus());
        QCOMPARE(f.form.FocusedControl(), f.edD);
        QVERIFY(ui.Log().isEmpty()); // the caller got the failure; nothing shown behind its back
    }

    void enterHandlerMayForwardTheFocus() {
        FocusForm f;
        f.start(f.edF);
        f.grp->OnEnter = [&](QObject*) {
            f.trace << "enter grp";
            f.edC->SetFocus();
        };
        Click(f.edB);
        QCOMPARE(FocusWidget(), f.edC);
        QCOMPARE(f.form.FocusedControl(), f.edC);
        QCOMPARE(f.trace, QStringList({"exit F", "enter pan", "enter grp", "enter B", "exit B", "enter C"}));
    }

    void disabledControlsCannotTakeTheFocus() {
        FocusForm f;
        f.start(f.edA);
        f.edB->SetEnabled(false);
        QVERIFY(!f.edB->CanFocus());
        QVERIFY_THROWS_EXCEPTION(Exception, f.edB->SetFocus());
        Click(f.edB);
        QCOMPARE(FocusWidget(), f.edA);
        Tab(); // skips B
        QCOMPARE(FocusWidget(), f.edC);
        // A control inside a disabled container keeps its own flag but cannot be focused.
        f.grp->SetEnabled(false);
        QVERIFY(f.edA->Enabled());
        QVERIFY(f.edC->Enabled());
        QVERIFY(!f.edC->CanFocus());
    }

    void disablingTheFocusedControlMovesTheFocusOn() {
        FocusForm f;
        f.start(f.edB);
        f.edB->SetEnabled(false);
        QCOMPARE(f.form.FocusedControl(), f.edC);
        QCOMPARE(FocusWidget(), f.edC);
        QCOMPARE(f.trace, QStringList({"exit B", "enter C"}));
        // Disabling the container of the focused control leaves it altogether.
        f.trace.clear();
        f.pan->SetEnabled(false);
        QCOMPARE(f.form.FocusedControl(), f.edD);
        QCOMPARE(f.trace,
                 QStringList({"exit C", "exit grp", "exit pan", "enter pgc", "enter page1", "enter D"}));
    }

    void plainDisableOfTheFocusedControlIsCaughtUp() {
        FocusForm f;
        f.start(f.edB);
        QWidget other; // another window is active: Qt itself moves nothing in ours
        QVERIFY(ShowActive(&other));
        f.edB->setEnabled(false);
        Settle();
        QCOMPARE(f.form.FocusedControl(), f.edC);
        QCOMPARE(f.trace, QStringList({"exit B", "enter C"}));
        f.trace.clear();
        f.edC->hide();
        Settle();
        QCOMPARE(f.form.FocusedControl(), f.edD);
    }

    void pageControlExitsOnlyWhenLeftEntirely() {
        FocusForm f;
        f.start(f.edD);
        f.pgc->SetActivePage(f.page2);
        f.edE->SetFocus();
        QCOMPARE(f.trace, QStringList({"exit D", "exit page1", "enter page2", "enter E"}));
        f.trace.clear();
        Click(f.edF);
        QCOMPARE(f.trace, QStringList({"exit E", "exit page2", "exit pgc", "enter F"}));
    }

    void pageChangeReportsOnlyAPersonsClick() {
        FocusForm f;
        f.start(f.edF);
        int changes = 0;
        f.pgc->OnChange = [&](QObject* sender) {
            QCOMPARE(sender, f.pgc);
            ++changes;
        };
        f.pgc->SetActivePage(f.page2);
        f.pgc->SetActivePage(f.page1);
        QCOMPARE(changes, 0);
        ClickTab(f.pgc, 1);
        QCOMPARE(f.pgc->ActivePage(), f.page2);
        QCOMPARE(changes, 1);
        ClickTab(f.pgc, 1); // the page already shown: no change
        QCOMPARE(changes, 1);

        // A disabled page cannot be reached by its tab.
        f.page1->SetEnabled(false);
        ClickTab(f.pgc, 0);
        QCOMPARE(f.pgc->ActivePage(), f.page2);
        QCOMPARE(changes, 1);
        QVERIFY(!f.page1->Enabled());
        QVERIFY(!f.pgc->isTabEnabled(0));
    }

    void modalFormReturnsItsResult() {
        TForm dialog;
        auto* layout = new QVBoxLayout(&dialog);
        auto* edit = new TEdit(&dialog);
        layout->addWidget(edit);
        QTimer::singleShot(0, &dialog, [&] { dialog.SetModalResult(kvo::mrOk); });
        QCOMPARE(dialog.ShowModal(), int(kvo::mrOk));
        QVERIFY(!dialog.isVisible());

        // Closing the window is a cancel, unless OnClose refuses it.
        int asked = 0;
        dialog.OnClose = [&](QObject*, int& action) {
            if (++asked == 1) action = caNone;
        };
        QTimer::singleShot(0, &dialog, [&] {
            dialog.Close();
            QVERIFY(dialog.isVisible());
            dialog.Close();
        });
        QCOMPARE(dialog.ShowModal(), int(kvo::mrCancel));
        QCOMPARE(asked, 2);
    }
};

QTEST_MAIN(TestFocus)
#include "tst_focus.moc"
