#include "CalcFixture.h"

#include "calc/TfrmCalcComensais.h"
#include "headcount/TfrmMediEfetDiet.h"
#include "module/Units.h"

#include "Fixture.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

using namespace kvo::test;

namespace {
const QString kCalcReal = QStringLiteral("O cálculo de comensais foi realizado com sucesso.");
const QString kDataProc = QStringLiteral("Data deve ser menor ou igual a data de  processamento.");
const QString kNExistConf = QStringLiteral("Não há controle alimentar cadastrado para o dia informado.");
const QString kServDeve = QStringLiteral("Serviço deve ser informado.");
const QString s1 = QStringLiteral("00001"), s2 = QStringLiteral("00002");
const QString d1 = QStringLiteral("0001"), d2 = QStringLiteral("0002");
} // namespace

// The diner-calculation dialog over the headcount screen and the real server: starting values,
// the date and branch rules, the service choice, and every kind of server answer.
class CalcTest : public QObject {
    Q_OBJECT
private slots:
    void startsFromTheHeadcountScreen_data() {
        QTest::addColumn<bool>("bound");
        QTest::newRow("free branch") << false;
        QTest::newRow("bound to the login's branch") << true;
    }

    void startsFromTheHeadcountScreen() {
        QFETCH(bool, bound);
        CalcFixture fx(bound);
        stServico = QStringLiteral("_00001"); // left by an earlier dialog
        TfrmCalcComensais* d = fx.openDialog();
        QCOMPARE(d->medCdFilialCalc->Text(), QStringLiteral("0001"));
        QCOMPARE(d->edtNmFilial->Text(), QStringLiteral("Hospital Central"));
        QCOMPARE(d->depDataCalc->GetDate(), HeadcountFixture::proc());
        QCOMPARE(d->edtDiaSemana->Text(), QStringLiteral("Terça"));
        QVERIFY(stServico.isEmpty());
        QVERIFY(d->rbtTodos->Checked() && !d->btpServico->isEnabled());
        QCOMPARE(d->medCdFilialCalc->isEnabled(), !bound);
        QCOMPARE(d->lblFilial->isEnabled(), !bound);
        QCOMPARE(d->btpFilial->isEnabled(), !bound);

        // The weekday goes while the date is typed and comes back with the new date.
        fx.typeInto(d->depDataCalc, QStringLiteral("0912"));
        QCOMPARE(d->edtDiaSemana->Text(), QString());
        Type(QStringLiteral("2026"));
        QCOMPARE(d->edtDiaSemana->Text(), QStringLiteral("Quarta"));

        if (!bound) {
            // A branch typed here survives the dialog's next activation.
            fx.typeInto(d->medCdFilialCalc, QStringLiteral("ab1"));
            Tab();
            QCOMPARE(d->edtNmFilial->Text(), QStringLiteral("Clínica Sul"));
            QVERIFY(ShowActive(fx.form()));
            QVERIFY(ShowActive(d));
            QCOMPARE(d->medCdFilialCalc->Text(), QStringLiteral("AB1"));
        }
        QCOMPARE(fx.ui.Errors(), QStringList());
    }

    void glyphsAndHelp() {
        NoIconTheme();
        CalcFixture fx(false);
        TfrmCalcComensais* d = fx.openDialog();
        QCOMPARE(CommandsWithoutGlyph(d), QStringList());
        QVERIFY(!d->windowIcon().isNull());
        qputenv("KVO_HELP_DIR", BuiltHelpDir().toUtf8());
        Press(Qt::Key_F1, Qt::NoModifier, d);
        qunsetenv("KVO_HELP_DIR");
        QCOMPARE(fx.ui.Log().filter(QStringLiteral("help")), QStringList({"help KvoHelp.qhc 12001002"}));
    }

    void calculatesAllServicesOrAPickedList() {
        CalcFixture fx;
        TfrmCalcComensais* d = fx.openDialog();
        const QDate day = HeadcountFixture::proc();

        // "Todos" sends every hospital service, whatever list the unit still holds.
        stServico = QStringLiteral("_00002");
        fx.confirm();
        QCOMPARE(fx.ui.Messages(), QStringList{kCalcReal});
        QCOMPARE(fx.ui.shown().last().dialogKind, int(kvo::mtInformation));
        QCOMPARE(fx.ui.AviKinds(), QList<int>{kvo::aviLoading});
        QCOMPARE(fx.ui.AviDepth(), 0);
        QCOMPARE(fx.estimate(day, s1, d1), 21.0);
        QCOMPARE(fx.estimate(day, s2, d2), 9.0);

        // Two picked services: F9 on "Lista" opens the list as the button does; the rest stays.
        fx.foodControl(day, s1, d1, 30);
        fx.foodControl(day, s1, QStringLiteral("0003"), 5);
        fx.foodControl(day, s2, d2, 40);
        fx.click(d->rbtLista);
        QVERIFY(d->btpServico->isEnabled());
        fx.ui.Tick({s2});
        Press(Qt::Key_F9);
        const Shown list = fx.ui.Lookups().last();
        QCOMPARE(list.text, QStringLiteral("Serviço"));
        QCOMPARE(list.rows, (QStringList{"00001 | Clínica Médica", "00002 | Pediatria"}));
        QCOMPARE(stServico, QStringLiteral("_00002"));
        fx.confirm();
        QCOMPARE(fx.estimate(day, s1, d1), 21.0);
        QCOMPARE(fx.estimate(day, s2, d2), 41.0);

        fx.ui.Tick({s1, s2});
        fx.click(d->btpServico);
        fx.confirm();
        QCOMPARE(fx.estimate(day, s1, d1), 31.0);
        QCOMPARE(fx.estimate(day, s1, QStringLiteral("0003")), 6.0);
        QCOMPARE(fx.ui.Messages(), QStringList(3, kCalcReal));
        // The dialog stays as it was, ready for the next day.
        QVERIFY(d->isVisible() && d->rbtLista->Checked());
        QCOMPARE(d->medCdFilialCalc->Text(), QStringLiteral("0001"));
        QCOMPARE(d->depDataCalc->GetDate(), day);
        QCOMPARE(stServico, QStringLiteral("_00001_00002"));

        // "Lista" again keeps the list; "Todos" then "Lista" leaves none, so nothing is sent.
        fx.click(d->rbtLista);
        QCOMPARE(stServico, QStringLiteral("_00001_00002"));
        fx.click(d->rbtTodos);
        QVERIFY(!d->btpServico->isEnabled());
        fx.click(d->rbtLista);
        fx.confirm();
        QCOMPARE(fx.ui.Errors(), QStringList{kServDeve});
        QCOMPARE(d->FocusedControl(), d->rbtLista);
        QCOMPARE(fx.calculations(), 3);
    }

    void dateRules_data() {
        QTest::addColumn<QString>("afterProc"); // "-": the branch has no planning parameters
        QTest::addColumn<QString>("branch");
        QTest::addColumn<int>("days"); // from the processing date; 99: no date
        QTest::addColumn<QString>("shown");
        QTest::newRow("N, the processing date") << "N"
                                                << "0001" << 0 << kCalcReal;
        QTest::newRow("N, a day later") << "N"
                                        << "0001" << 1 << kDataProc;
        QTest::newRow("N, a day later, code typed short") << "N"
                                                          << "1" << 1 << kDataProc;
        QTest::newRow("S, a day later without food control") << "S"
                                                             << "0001" << 1 << kNExistConf;
        QTest::newRow("empty value, a day later") << ""
                                                  << "0001" << 1 << kNExistConf;
        QTest::newRow("no parameters, a day later") << "-"
                                                    << "0001" << 1 << kNExistConf;
        QTest::newRow("no date") << "N"
                                 << "0001" << 99 << QStringLiteral("Data deve ser informada.");
    }

    void dateRules() {
        QFETCH(QString, afterProc);
        QFETCH(QString, branch);
        QFETCH(int, days);
        QFETCH(QString, shown);
        CalcFixture fx;
        if (afterProc == QLatin1String("-"))
            fx.sql(QStringLiteral("DELETE FROM PARAMPLANEJA"));
        else
            fx.setPlanning(QStringLiteral("N"), 0, afterProc);
        TfrmCalcComensais* d = fx.openDialog();
        d->depDataCalc->SetDate(days == 99 ? QDate() : HeadcountFixture::proc().addDays(days));
        // The click leaves the focus in the branch edit, its text as typed.
        fx.typeInto(d->medCdFilialCalc, branch);
        fx.recorder->clearCalls();
        fx.confirm();
        QCOMPARE(fx.ui.Messages(), QStringList{shown});
        const bool refused = shown == kDataProc;
        QCOMPARE(fx.calculations(), refused || days == 99 ? 0 : 1);
        if (refused) QCOMPARE(d->FocusedControl(), d->depDataCalc);
        QCOMPARE(fx.ui.AviDepth(), 0);
    }

    void serverAnswersAndFailures() {
        CalcFixture fx;
        TfrmCalcComensais* d = fx.openDialog();
        fx.recorder->answer(QStringLiteral("CalcularComensais"), QStringLiteral("Filial_NCad"));
        fx.confirm();
        fx.recorder->answer(QStringLiteral("CalcularComensais"), QStringLiteral("Cálculo em andamento."));
        fx.confirm();
        fx.recorder->failOn(QStringLiteral("CalcularComensais"),
                            QStringLiteral("Banco de dados indisponível."));
        fx.confirm();
        QCOMPARE(fx.ui.Errors(), (QStringList{"Filial não cadastrada.", "Cálculo em andamento.",
                                              "Banco de dados indisponível."}));
        QCOMPARE(fx.ui.AviOpened(), 3);
        QCOMPARE(fx.ui.AviDepth(), 0);

        // Still usable: the next click computes.
        fx.recorder->passAll();
        QVERIFY(d->isVisible());
        fx.confirm();
        QCOMPARE(fx.ui.Messages().last(), kCalcReal);
        QCOMPARE(fx.estimate(HeadcountFixture::proc(), s2, d2), 9.0);

        // An unknown branch is the host's validation; nothing is computed.
        fx.typeInto(d->medCdFilialCalc, QStringLiteral("ZZ"));
        fx.confirm();
        QCOMPARE(fx.ui.Errors().last(), QStringLiteral("Filial não cadastrada."));
        QCOMPARE(d->FocusedControl(), d->medCdFilialCalc);
        QCOMPARE(fx.calculations(), 4);
    }

    // Ctrl+M from the diet grid opens the dialog; once it closes the grid shows the estimates the
    // server has just computed.
    void headcountScreenShowsTheNewEstimates() {
        CalcFixture fx;
        TfrmMediEfetDiet* f = fx.form();
        fx.loadDay(HeadcountFixture::proc());
        fx.click(f->dbgPadrao);
        QCOMPARE(f->cdsCardadia->FieldByName(QStringLiteral("CDDIETPAD"))->AsString(), d1);
        const QString before = f->dbeTotaEsti->Text();

        bool calculated = false;
        QTimer driver;
        driver.setInterval(20);
        QObject::connect(&driver, &QTimer::timeout, [&] {
            auto* d = qobject_cast<TfrmCalcComensais*>(QApplication::activeModalWidget());
            if (!d) return;
            driver.stop();
            d->sbtConfirma->Click();
            calculated = true;
            d->close();
        });
        driver.start();
        Press(Qt::Key_M, Qt::ControlModifier, f->dbgPadrao);
        Settle();
        driver.stop();

        QVERIFY(calculated);
        QVERIFY(!frmCalcComensais);
        QCOMPARE(fx.ui.Messages(), QStringList{kCalcReal});
        QCOMPARE(fx.estimate(HeadcountFixture::proc(), s1, d1), 21.0);
        QVERIFY(before != QStringLiteral("21"));
        QCOMPARE(f->dbeTotaEsti->Text(), QStringLiteral("21"));
        QCOMPARE(f->cdsCardadia->FieldByName(QStringLiteral("CDDIETPAD"))->AsString(), d1);
        QCOMPARE(fx.ui.Errors(), QStringList());
    }

    void refusedWithoutTheHeadcountScreen() {
        CalcFixture fx;
        frmMediEfetDiet = nullptr;
        QVERIFY_THROWS_EXCEPTION(Exception, CriaCalcComensais());
        QVERIFY(!frmCalcComensais);
    }
};

QTEST_MAIN(CalcTest)
#include "tst_calc.moc"
