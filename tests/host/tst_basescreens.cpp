// The base screens as a person uses them: commands following the record set, the alter command,
// keys on the main grid, closing, help; the routine and report dialogs' hooks.

#include "Fixture.h"
#include "TestHostUi.h"

#include "host/Application.h"
#include "host/TfrmDadosGerRel.h"
#include "host/TfrmPadraoGrid.h"
#include "host/TfrmRotiGeral.h"
#include "widgets/GuiHostUi.h"
#include "widgets/HelpWindow.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLayout>
#include <QLineEdit>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

using namespace kvo::test;

namespace {

class Maintenance : public TfrmPadraoGrid {
public:
    TClientDataSet* cds;
    int verifies = 0;
    explicit Maintenance() {
        cds = new TClientDataSet(this);
        cds->AddField("CODIGO", ftString, 4)->SetEditMask(">aaaa;0; ");
        cds->AddField("NOME", ftString, 20);
        dtsPadrao->SetDataSet(cds);
        sbtVerificar->OnClick = [this](QObject*) { ++verifies; };
        SetScreenCode("TST00001");
        HelpContext = 4242;
    }
    void load() {
        TDataPacket p;
        p.fields = {{"CODIGO", ftString, 4}, {"NOME", ftString, 20}};
        p.rows = {{"A1", "Primeiro"}, {"B2", "Segundo"}};
        cds->SetData(p);
    }
};

struct Commands {
    bool incluir, alterar, excluir, procurar, verificar, cancelar, confirmar;
    bool operator==(const Commands&) const = default;
};

Commands buttons(const TfrmPadraoGrid& f) {
    return {f.sbtIncluir->isEnabled(),  f.sbtAlterar->isEnabled(),   f.sbtExcluir->isEnabled(),
            f.sbtProcurar->isEnabled(), f.sbtVerificar->isEnabled(), f.sbtCancelar->isEnabled(),
            f.sbtConfirmar->isEnabled()};
}

Commands twins(const TfrmPadraoGrid& f) {
    return {f.mnuIncluir->Enabled(),  f.mnuAlterar->Enabled(),   f.mnuExcluir->Enabled(),
            f.mnuProcurar->Enabled(), f.mnuVerificar->Enabled(), f.mnuCancelar->Enabled(),
            f.mnuConfirmar->Enabled()};
}

} // namespace

class TestBaseScreens : public QObject {
    Q_OBJECT

private slots:
    void layout() {
        Maintenance f;
        QCOMPARE(f.lblCodTela->text(), QString("TST00001"));
        QCOMPARE(f.pgcPadrao->Pages(0), f.tshPadrao);
        QCOMPARE(f.dbgPadrao->DataSource(), f.dtsPadrao);
        QCOMPARE(f.dbnPadrao->DataSource(), f.dtsPadrao);
        // The maintenance menu: the eight commands, the separator just before cancel.
        QCOMPARE(f.mnuManutencao->Count(), 9);
        QCOMPARE(f.mnuManutencao->IndexOf(f.mnuLinha3) + 1, f.mnuManutencao->IndexOf(f.mnuCancelar));
        QVERIFY(f.mnuLinha3->IsSeparator());
        QVERIFY(!f.msgMensagensPadroes->Msg("Canc").isEmpty());
    }

    void commandsFollowTheSet() {
        TestHostUi ui;
        Maintenance f;
        f.FormCreate(&f);
        QCOMPARE(buttons(f), (Commands{false, false, false, false, false, false, false}));
        f.cds->CreateDataSet(); // open but empty: only include and verify make sense
        QCOMPARE(buttons(f), (Commands{true, false, false, false, true, false, false}));
        f.load();
        QCOMPARE(buttons(f), (Commands{true, true, true, true, true, false, false}));
        QCOMPARE(twins(f), buttons(f));
        f.cds->Edit();
        QCOMPARE(buttons(f), (Commands{false, false, false, false, false, true, true}));
        QCOMPARE(twins(f), buttons(f));
        QVERIFY(!f.dbnPadrao->isEnabled());
        f.cds->Cancel();
        QCOMPARE(buttons(f), (Commands{true, true, true, true, true, false, false}));
        QVERIFY(f.dbnPadrao->isEnabled());
    }

    void menuTwinRunsTheButtonOnlyWhenEnabled() {
        TestHostUi ui;
        Maintenance f;
        f.load();
        f.sbtVerificar->SetEnabled(false);
        QVERIFY(!f.mnuVerificar->Enabled());
        ClickMenu(f.mnuVerificar);
        QCOMPARE(f.verifies, 0);
        f.sbtVerificar->SetEnabled(true);
        ClickMenu(f.mnuVerificar);
        QCOMPARE(f.verifies, 1);
    }

    void closingFromTheOperationMenu() {
        TestHostUi ui;
        QPointer<Maintenance> f = new Maintenance;
        QVERIFY(ShowActive(f));
        QCOMPARE(f->mnuPrincipal->Items(0), f->mnuOperacao);
        QCOMPARE(f->mnuPrincipal->Items(1), f->mnuManutencao);
        ClickMenu(f->mnuFechar);
        QVERIFY(!f || !f->isVisible());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!f);
    }

    void alterStartsEditingInTheGrid() {
        TestHostUi ui;
        Maintenance f;
        f.FormCreate(&f);
        f.load();
        QVERIFY(ShowActive(&f));
        ClickButton(f.sbtAlterar);
        QCOMPARE(f.cds->State(), dsEdit);
        QCOMPARE(FocusedControl(&f), f.dbgPadrao);
        // Nothing to alter in an empty set.
        f.cds->Cancel();
        f.cds->CreateDataSet();
        f.sbtAlterarClick(f.sbtAlterar);
        QCOMPARE(f.cds->State(), dsBrowse);
    }

    void escapeAsksBeforeDroppingAChangedRow() {
        TestHostUi ui;
        Maintenance f;
        f.load();
        QVERIFY(ShowActive(&f));
        f.dbgPadrao->SetFocus();
        f.cds->Edit();
        f.cds->FieldByName("NOME")->SetAsString("Alterado");

        ui.AnswerNo();
        Press(Qt::Key_Escape, Qt::NoModifier, f.dbgPadrao);
        QCOMPARE(f.cds->State(), dsEdit);
        QCOMPARE(f.cds->FieldByName("NOME")->AsString(), QString("Alterado"));
        QCOMPARE(ui.Messages(), QStringList{f.msgMensagensPadroes->Msg("Canc")});

        ui.AnswerYes();
        Press(Qt::Key_Escape, Qt::NoModifier, f.dbgPadrao);
        QCOMPARE(f.cds->State(), dsBrowse);
        QCOMPARE(f.cds->FieldByName("NOME")->AsString(), QString("Primeiro"));
        QVERIFY(ui.Unanswered().isEmpty());

        // An unchanged row goes without a question.
        ui.Clear();
        f.cds->Edit();
        Press(Qt::Key_Escape, Qt::NoModifier, f.dbgPadrao);
        QCOMPARE(f.cds->State(), dsBrowse);
        QVERIFY(ui.Messages().isEmpty());
    }

    void keysOnTheGrid() {
        TestHostUi ui;
        Maintenance f;
        f.load();
        f.dbgPadrao->SetSelectedIndex(0);
        QChar key = u'x';
        f.dbgPadraoKeyPress(f.dbgPadrao, key);
        QCOMPARE(key, QChar(u'X')); // the code's mask upper-cases
        f.dbgPadrao->SetSelectedIndex(1);
        key = u'x';
        f.dbgPadraoKeyPress(f.dbgPadrao, key);
        QCOMPARE(key, QChar(u'x'));

        int k = Qt::Key_F5;
        f.dbgPadraoKeyDown(f.dbgPadrao, k, Qt::NoModifier);
        QCOMPARE(f.verifies, 1);
        QCOMPARE(k, 0);
    }

    void closingDropsThePendingEditAndEndsTheScreen() {
        TestHostUi ui;
        QPointer<Maintenance> f = new Maintenance;
        f->load();
        QVERIFY(ShowActive(f));
        f->cds->Edit();
        f->cds->FieldByName("NOME")->SetAsString("Meio digitado");
        TClientDataSet* cds = f->cds;
        QSignalSpy gone(cds, &QObject::destroyed);

        bool allow = false;
        f->OnCloseQuery = [&](QObject*, bool& can) { can = allow; };
        QVERIFY(!f->close());
        QVERIFY(f->isVisible());
        QCOMPARE(f->cds->State(), dsEdit);

        allow = true;
        QVERIFY(f->close());
        QCOMPARE(cds->State(), dsBrowse);
        QCOMPARE(cds->ChangeCount(), 0);
        Settle();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!f);
        QCOMPARE(gone.count(), 1);
    }

    // F1 finds the help collection by the screen's help file; a page with a context of its own
    // opens that one. Without a collection the user is told so.
    void help() {
        TestHostUi ui;
        Maintenance f;
        auto* own = new TTabSheet(f.pgcPadrao, QStringLiteral("Outra"));
        auto* edit = new QLineEdit(own);
        kvo::SetHelpContext(own, 4343);
        QVERIFY(ShowActive(&f));
        QTemporaryDir none;
        qputenv("KVO_HELP_DIR", none.path().toUtf8());
        Press(Qt::Key_F1, Qt::NoModifier, &f);
        QCOMPARE(ui.Messages(), QStringList({"Não há ajuda instalada (KvoHelp.hlp, tópico 4242)."}));

        qputenv("KVO_HELP_DIR", BuiltHelpDir().toUtf8());
        ClickButton(f.sbtAjuda);
        f.pgcPadrao->SetActivePage(own);
        edit->setFocus();
        Press(Qt::Key_F1, Qt::NoModifier, &f);
        qunsetenv("KVO_HELP_DIR");
        QCOMPARE(ui.Log().filter("help"), QStringList({"help KvoHelp.qhc 4242", "help KvoHelp.qhc 4343"}));
        QCOMPARE(QFileInfo(ui.shown().last().text).absolutePath(), QDir(BuiltHelpDir()).absolutePath());
    }

    // The built collection has a topic for every screen's context, and the help window shows it.
    void helpCollectionHoldsEveryScreen_data() {
        QTest::addColumn<int>("context");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("heading");
        QTest::newRow("headcount screen") << 12001000 << "efetivos.html"
                                          << "Efetivos (KVO01000)";
        QTest::newRow("listing") << 12001001 << "listagem.html"
                                 << "Listagem de efetivos (KVO01001)";
        QTest::newRow("calculate diners") << 12001002 << "calculo.html"
                                          << "Calcular Comensais (KVO01002)";
        QTest::newRow("clients page") << 12001003 << "clientes.html"
                                      << "página Clientes";
    }
    void helpCollectionHoldsEveryScreen() {
        QFETCH(int, context);
        QFETCH(QString, page);
        QFETCH(QString, heading);
        kvo::GuiHostUi gui;
        const QString collection = QDir(BuiltHelpDir()).filePath("KvoHelp.qhc");
        QVERIFY(!gui.ShowHelp(collection, 4242));
        QVERIFY(gui.ShowHelp(collection, context));
        HelpWindow* window = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* h = qobject_cast<HelpWindow*>(w); h && h->isVisible()) window = h;
        QVERIFY(window);
        QCOMPARE(window->source().fileName(), page);
        QVERIFY2(window->browser()->toPlainText().contains(heading),
                 qPrintable(window->browser()->toPlainText()));
    }

    // Both dialogs: their buttons before the close button, the code label at the far end; F1 asks
    // for the dialog's help; the close button hides the dialog, its creator ends it.
    void dialogsShareToolPanelHelpAndClosing() {
        TestHostUi ui;
        QTemporaryDir none;
        qputenv("KVO_HELP_DIR", none.path().toUtf8());
        TfrmRotiGeral routine;
        TfrmDadosGerRel report;
        const QList<QPair<TfrmDialogoPadrao*, QWidget*>> dialogs = {{&routine, routine.sbtConfirma},
                                                                    {&report, report.sbtAjuda}};
        for (const auto& [d, own] : dialogs) {
            QLayout* tools = d->panMenu->layout();
            QCOMPARE(tools->itemAt(tools->count() - 1)->widget(), d->lblCodTela);
            QCOMPARE(tools->indexOf(own) + 1, tools->indexOf(d->sbtFechar));
            QVERIFY(ShowActive(d));
            ui.Clear();
            Press(Qt::Key_F1, Qt::NoModifier, d);
            QCOMPARE(ui.Messages().size(), 1);
            QPointer<TfrmDialogoPadrao> alive = d;
            ClickButton(d->sbtFechar);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QVERIFY(alive);
            QVERIFY(!d->isVisible());
        }
        qunsetenv("KVO_HELP_DIR");
    }

    void reportHooksAreOverridable() {
        struct Report : TfrmDadosGerRel {
            QStringList calls;
            void sbtPrintClick(QObject*) override { calls << "print"; }
            void sbtPreviewClick(QObject*) override { calls << "preview"; }
            void sbtSalvarComoClick(QObject*) override { calls << "save"; }
            void sbtReportEditClick(QObject*) override { calls << "edit"; }
        };
        TestHostUi ui;
        Report r;
        r.SetReportCode("KVO010");
        QVERIFY(ShowActive(&r));
        ClickButton(r.sbtPrint);
        ClickButton(r.sbtPreview);
        ClickButton(r.sbtSalvarComo);
        ClickButton(r.sbtReportEdit);
        QCOMPARE(r.calls, (QStringList{"print", "preview", "save", "edit"}));
        QCOMPARE(r.lblCodRel->text(), QString("KVO010"));
    }

    void routineDialogConfirmsAndCloses() {
        struct Routine : TfrmRotiGeral {
            int confirms = 0;
            void sbtConfirmaClick(QObject*) override { ++confirms; }
        };
        TestHostUi ui;
        Routine d;
        QVERIFY(ShowActive(&d));
        ClickButton(d.sbtConfirma);
        QCOMPARE(d.confirms, 1);
        QVERIFY(d.isVisible()); // stays open for another run
        Press(Qt::Key_Escape, Qt::NoModifier, &d);
        QVERIFY(!d.isVisible());
    }
};

QTEST_MAIN(TestBaseScreens)
#include "tst_basescreens.moc"
