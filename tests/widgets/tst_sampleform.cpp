// The sample screen driven end to end as a person would: the header's edits, lookups and
// validations, leaving the header into the grids, menus and pages.

#include "Fixture.h"
#include "SampleForm.h"

#include <QTest>

using namespace kvo::test;

class TestSampleForm : public QObject {
    Q_OBJECT
private slots:
    void headerFlow() {
        TestHostUi ui;
        SampleForm f;
        QVERIFY(ShowActive(&f));
        QCOMPARE(f.FocusedControl(), f.medCdFilial);
        QCOMPARE(f.trace, QStringList({"panDadosEnter"}));

        f.edtNmFilial->SetText(QStringLiteral("velho"));
        Type(QStringLiteral("ab1"));
        QCOMPARE(f.medCdFilial->Text(), QStringLiteral("AB1"));
        QCOMPARE(f.edtNmFilial->Text(), QString()); // OnChange cleared the name

        ui.PickKey(QStringLiteral("CDFILIAL"), QStringLiteral("0002"));
        Press(Qt::Key_F9);
        QCOMPARE(f.medCdFilial->Text(), QStringLiteral("0002"));
        QCOMPARE(f.edtNmFilial->Text(), QStringLiteral("Clínica Santa Clara"));
        QCOMPARE(ui.Lookups().size(), 1);
        QCOMPARE(ui.Lookups().first().rows.size(), 3);

        // Lookup buttons and disabled displays are not tab stops.
        Tab();
        QCOMPARE(f.FocusedControl(), f.depCardapio);
        Type(QStringLiteral("31022026"));
        Tab();
        QCOMPARE(f.FocusedControl(), f.depCardapio);
        QCOMPARE(ui.Errors().size(), 1);
        QCOMPARE(f.trace, QStringList({"panDadosEnter"})); // the header was never left
        QVERIFY(!f.tshClientes->Enabled());

        f.depCardapio->LineEdit()->selectAll();
        Type(QStringLiteral("08122026"));
        Tab();
        QCOMPARE(f.FocusedControl(), f.dbgCardServ);
        QCOMPARE(f.edtDiaCardapio->Text(), QStringLiteral("Terça"));
        QCOMPARE(f.trace, QStringList({"panDadosEnter", "panDadosExit"}));
        QVERIFY(f.tshClientes->Enabled());
        QCOMPARE(ui.Errors().size(), 1);
    }

    void headerExitVetoReturnsToTheBranch() {
        TestHostUi ui;
        SampleForm f;
        QVERIFY(ShowActive(&f));
        f.depCardapio->SetDate(QDate(2026, 12, 8));
        Click(f.dbgPadrao);
        QCOMPARE(f.FocusedControl(), f.medCdFilial);
        QCOMPARE(ui.Errors(), QStringList({"Filial deve ser informada."}));
        QCOMPARE(f.trace, QStringList({"panDadosEnter", "panDadosExit"}));
        QVERIFY(!f.tshClientes->Enabled());
    }

    void commandsByMenuShortcutAndButton() {
        TestHostUi ui;
        SampleForm f;
        QVERIFY(ShowActive(&f));
        Press(Qt::Key_M, Qt::ControlModifier);
        ClickButton(f.sbtCalcComens);
        QCOMPARE(f.trace.count("sbtCalcComensClick"), 2);
        QCOMPARE(f.FocusedControl(), f.medCdFilial); // a tool button leaves the focus alone
        // Walking the menu bar with the keyboard is no exit from the edit either.
        f.trace.clear();
        f.menu->setFocus(Qt::ShortcutFocusReason);
        Settle();
        f.medCdFilial->setFocus(Qt::OtherFocusReason);
        Settle();
        QVERIFY(f.trace.isEmpty());
        QCOMPARE(f.FocusedControl(), f.medCdFilial);
        ClickMenu(f.mnuConfirmar); // disabled
        ClickButton(f.sbtConfirmar);
        QCOMPARE(f.trace.count("sbtCalcComensClick"), 0);
        QVERIFY(ui.Log().isEmpty());
    }

    void pagesTakeTheFocusWithThem() {
        TestHostUi ui;
        SampleForm f;
        QVERIFY(ShowActive(&f));
        f.medCdFilial->SetText(QStringLiteral("0001"));
        f.dbgPadrao->SetFocus();
        int changes = 0;
        f.pgcPadrao->OnChange = [&](QObject*) { ++changes; };
        ClickTab(f.pgcPadrao, 1);
        QCOMPARE(f.pgcPadrao->ActivePage(), f.tshClientes);
        QCOMPARE(f.FocusedControl(), f.dbgClientes);
        QCOMPARE(changes, 1);
        f.pgcPadrao->SetActivePage(f.tshPadrao);
        QCOMPARE(f.FocusedControl(), f.dbgCardServ);
        QCOMPARE(changes, 1);
    }

    void routineDialogRadioButtonsSwitchTheLookup() {
        SampleDialog d;
        QVERIFY(ShowActive(&d));
        QVERIFY(d.rbtTodos->Checked());
        QVERIFY(!d.btpServico->Enabled());
        Click(d.rbtLista);
        QVERIFY(d.btpServico->Enabled());
        Click(d.rbtTodos);
        QVERIFY(!d.btpServico->Enabled());
        QCOMPARE(d.edtDiaSemana->Text(), QStringLiteral("Terça"));
    }
};

QTEST_MAIN(TestSampleForm)
#include "tst_sampleform.moc"
