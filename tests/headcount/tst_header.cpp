#include "HeadcountFixture.h"

#include "Fixture.h"

#include "headcount/TfrmMediEfetDiet.h"
#include "host/TADOIBQuery.h"
#include "widgets/Dispatch.h"

#include <QApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QTest>

// The header of the headcount screen: first activation, branch and date checks, the date
// lookup and loading the day, against the real server over loopback.
class HeaderTest : public QObject {
    Q_OBJECT

private:
    static QStringList loadCalls() {
        return {QStringLiteral("GetParamPlaneja"), QStringLiteral("GetCardadia"),
                QStringLiteral("GetCardServ")};
    }
    // The load, then the service grid's reload of the diet rows as the focus lands there.
    static QStringList loadAndEnterCalls() { return loadCalls() << QStringLiteral("GetCardadia"); }

    // Enabled state of the paired commands as "button/menu" per command, for one compare.
    static QString commands(TfrmMediEfetDiet* f) {
        auto pair = [](const char* name, bool button, bool menu) {
            return QStringLiteral("%1=%2%3").arg(QLatin1String(name)).arg(button ? 1 : 0).arg(menu ? 1 : 0);
        };
        return QStringList{
            pair("inc", f->sbtIncluir->isEnabled(), f->mnuIncluir->Enabled()),
            pair("pro", f->sbtProcurar->isEnabled(), f->mnuProcurar->Enabled()),
            pair("ver", f->sbtVerificar->isEnabled(), f->mnuVerificar->Enabled()),
            pair("ext", f->sbtComandoExtra->isEnabled(), f->mnuComandoExtra->Enabled()),
            pair("can", f->sbtCancelar->isEnabled(), f->mnuCancelar->Enabled()),
            pair("con", f->sbtConfirmar->isEnabled(), f->mnuConfirmar->Enabled()),
        }
            .join(QLatin1Char(' '));
    }

    static QStringList lookupCaptions(const HeadcountFixture& fx) {
        QStringList captions;
        for (const kvo::test::Shown& s : fx.ui.Lookups())
            captions << s.text;
        return captions;
    }

    static QString focused(TfrmMediEfetDiet* f) {
        QWidget* w = f->FocusedControl();
        return w ? w->objectName() : QString();
    }

private slots:
    // Where the screen switches a button and its menu item differently, and only there.
    void commandTwinsDifferOnlyWhereTheScreenSaysSo() {
        HeadcountFixture fx;
        TfrmMediEfetDiet* f = fx.open();
        QCOMPARE(commands(f), QStringLiteral("inc=00 pro=00 ver=00 ext=00 can=00 con=00"));
        fx.setPlanning(QStringLiteral("S"), 0, QStringLiteral("S"));
        // Closed, no services: the load leaves include on, the diet rows' reload on entering the
        // service grid switches it off again.
        fx.loadDay(HeadcountFixture::proc().addDays(-1));
        QCOMPARE(commands(f), QStringLiteral("inc=00 pro=00 ver=00 ext=00 can=00 con=00"));

        // The calculation button off, its menu item (Ctrl+M) still running the command.
        int runs = 0;
        f->sbtCalcComens->OnClick = [&](QObject*) { ++runs; };
        f->sbtCalcComens->SetEnabled(true);
        f->sbtCalcComens->SetEnabledAlone(false);
        QVERIFY(!f->sbtCalcComens->isEnabled());
        QVERIFY(f->mnuCalcComens->Enabled());
        kvo::test::ClickMenu(f->mnuCalcComens);
        QCOMPARE(runs, 1);
        f->sbtCalcComens->SetEnabled(true);
        QVERIFY(f->mnuCalcComens->Enabled());
    }

    void firstActivationFillsTheHeaderOnce() {
        HeadcountFixture fx;
        TfrmMediEfetDiet* f = fx.open();
        QCOMPARE(fx.ui.Errors(), QStringList());
        QCOMPARE(fx.recorder->calls(), QStringList{QStringLiteral("GETParamGeral")});
        QCOMPARE(f->cdsParamGeral->FieldByName(QStringLiteral("IDCONSMINEFE"))->AsString(),
                 QStringLiteral("S"));
        QCOMPARE(f->medCdFilial->Text(), QStringLiteral("0001"));
        QCOMPARE(f->edtNmFilial->Text(), QStringLiteral("Hospital Central"));
        QCOMPARE(f->depCardapio->GetDate(), HeadcountFixture::proc());
        QCOMPARE(f->edtDiaCardapio->Text(), QStringLiteral("Terça"));
        QVERIFY(f->medCdFilial->isEnabled());
        QCOMPARE(focused(f), QStringLiteral("medCdFilial"));

        fx.recorder->clearCalls();
        f->FormActivate(f);
        QCOMPARE(fx.recorder->calls(), QStringList());
    }

    void failedFirstActivationIsRetried() {
        HeadcountFixture fx;
        fx.recorder->failOn(QStringLiteral("GETParamGeral"), QStringLiteral("Servidor indisponível."));
        TfrmMediEfetDiet* f = fx.open();
        QCOMPARE(fx.ui.Errors(), QStringList{QStringLiteral("Servidor indisponível.")});
        QCOMPARE(f->medCdFilial->Text(), QString());
        QVERIFY(!f->depCardapio->GetDate().isValid());

        fx.recorder->passAll();
        fx.ui.Clear();
        kvo::Dispatch([&] { f->FormActivate(f); });
        QCOMPARE(fx.ui.Errors(), QStringList());
        QCOMPARE(f->medCdFilial->Text(), QStringLiteral("0001"));
        QCOMPARE(f->depCardapio->GetDate(), HeadcountFixture::proc());
    }

    void boundBranchStartsInTheDateEdit() {
        HeadcountFixture fx(true);
        TfrmMediEfetDiet* f = fx.open();
        QVERIFY(!f->medCdFilial->isEnabled());
        QVERIFY(!f->lblCdFilial->isEnabled());
        QVERIFY(!f->btpFilial->isEnabled());
        QCOMPARE(f->edtNmFilial->Text(), QStringLiteral("Hospital Central"));
        QCOMPARE(focused(f), QStringLiteral("depCardapio"));
    }

    void unknownLoginBranchLeavesTheNameEmpty() {
        HeadcountFixture fx(false, QStringLiteral("0077"));
        TfrmMediEfetDiet* f = fx.open();
        QCOMPARE(f->medCdFilial->Text(), QStringLiteral("0077"));
        QCOMPARE(f->edtNmFilial->Text(), QString());
        QVERIFY(!f->depCardapio->GetDate().isValid());
    }

    void leavingTheHeaderLoadsTheDay() {
        HeadcountFixture fx;
        TfrmMediEfetDiet* f = fx.open();
        fx.recorder->clearCalls();
        fx.ui.Clear();
        fx.loadDay(HeadcountFixture::proc());

        QCOMPARE(fx.ui.Errors(), QStringList());
        QCOMPARE(fx.recorder->calls(), loadAndEnterCalls());
        QCOMPARE(fx.ui.AviKinds(), (QList<int>{6, 6}));
        QCOMPARE(fx.ui.AviDepth(), 0);
        QCOMPARE(f->cdsCardServ->RecordCount(), 2);
        QCOMPARE(f->cdsCardadia->Active(), true);
        QCOMPARE(commands(f), QStringLiteral("inc=11 pro=11 ver=11 ext=00 can=00 con=00"));
        QVERIFY(f->dbgCardServ->HasOption(dgEditing) == false); // code column selected, no insert
        QVERIFY(f->dbgPadrao->HasOption(dgEditing) == false);

        // Back into the header: the day is dropped and the commands go off.
        fx.click(f->medCdFilial);
        QVERIFY(!f->cdsCardServ->Active());
        QVERIFY(!f->cdsCardadia->Active());
        QVERIFY(!f->tshClientes->isEnabled());
        QVERIFY(!f->mnuClientes->Enabled());
        QVERIFY(f->mnuEfetivos->Checked());
        QCOMPARE(f->pgcPadrao->ActivePage(), f->tshPadrao);
        QCOMPARE(commands(f), QStringLiteral("inc=00 pro=00 ver=00 ext=00 can=00 con=00"));
    }

    void dietRowsFollowTheIndexWhateverTheirArrivalOrder() {
        HeadcountFixture fx;
        TfrmMediEfetDiet* f = fx.open();
        TPacketPair day;
        for (int i = 0; i < f->cdsCardadia->FieldCount(); ++i) {
            const TField* field = f->cdsCardadia->Fields(i);
            day.first.fields.append({field->FieldName(), field->DataType(), field->Size()});
        }
        const int serv = day.first.FieldIndex(QStringLiteral("CDSERVFILI"));
        const int diet = day.first.FieldIndex(QStringLiteral("CDDIETPAD"));
        for (const char* code : {"0003", "0001", "0002"}) {
            QVector<QVariant> row(day.first.fields.size());
            row[serv] = QStringLiteral("00001");
            row[diet] = QString::fromLatin1(code);
            day.first.rows.append(row);
        }
        day.second.fields = {{QStringLiteral("IDBLQEFEDIAFECH"), ftString, 20},
                             {QStringLiteral("NRDIAANTDTPROC"), ftFloat, 0},
                             {QStringLiteral("IDPERLEFESRETPLA"), ftString, 1},
                             {QStringLiteral("IDPEREFEPOSDTPR"), ftString, 1}};
        fx.recorder->answer(QStringLiteral("GetCardadia"), day.toJsonValue());
        fx.loadDay(HeadcountFixture::proc());
        QCOMPARE(fx.ui.Errors(), QStringList());
        QStringList codes;
        f->cdsCardadia->SetFiltered(false);
        for (f->cdsCardadia->First(); !f->cdsCardadia->Eof(); f->cdsCardadia->Next())
            codes << f->cdsCardadia->FieldByName(QStringLiteral("CDDIETPAD"))->AsString();
        QCOMPARE(codes,
                 (QStringList{QStringLiteral("0001"), QStringLiteral("0002"), QStringLiteral("0003")}));
        // An empty planning packet closes nothing.
        QVERIFY(!f->DiaFechado());
    }

    void lookupQueriesHonourTheWildcard() {
        HeadcountFixture fx;
        TfrmMediEfetDiet* f = fx.open();
        auto codes = [](TADOIBQuery* q, const char* field) {
            QStringList out;
            for (q->First(); !q->Eof(); q->Next())
                out << q->FieldByName(QString::fromLatin1(field))->AsString();
            return out;
        };
        TADOIBQuery* s = f->qryServico;
        s->Close();
        s->ParamByName(QStringLiteral("P_CDFILIAL")).SetAsString(QStringLiteral("0001"));
        s->ParamByName(QStringLiteral("P_CDSERVFILI")).SetAsString(QStringLiteral("x"));
        s->ParamByName(QStringLiteral("P_TCDSERVFILI")).SetAsString(QStringLiteral("T"));
        s->Open();
        QCOMPARE(codes(s, "CDSERVFILI"), (QStringList{QStringLiteral("00001"), QStringLiteral("00002")}));
        s->Close();
        s->ParamByName(QStringLiteral("P_CDSERVFILI")).SetAsString(QStringLiteral("00009"));
        s->ParamByName(QStringLiteral("P_TCDSERVFILI")).SetAsString(QStringLiteral("X"));
        s->Open();
        QVERIFY(s->IsEmpty()); // exists, but not a hospital service

        TADOIBQuery* d = f->qryDieta;
        d->Close();
        d->ParamByName(QStringLiteral("P_CDFILIAL")).SetAsString(QStringLiteral("0001"));
        d->ParamByName(QStringLiteral("P_CDSERVFILI")).SetAsString(QStringLiteral("00001"));
        d->ParamByName(QStringLiteral("P_CDDIETPAD")).SetAsString(QStringLiteral("x"));
        d->ParamByName(QStringLiteral("P_TCDDIETPAD")).SetAsString(QStringLiteral("T"));
        d->Open();
        QCOMPARE(codes(d, "CDDIETPAD"), (QStringList{QStringLiteral("0001"), QStringLiteral("0003")}));
        for (const char* code : {"0009", "0002"}) { // type N; not linked to the service
            d->Close();
            d->ParamByName(QStringLiteral("P_CDDIETPAD")).SetAsString(QString::fromLatin1(code));
            d->ParamByName(QStringLiteral("P_TCDDIETPAD")).SetAsString(QStringLiteral("X"));
            d->Open();
            QVERIFY2(d->IsEmpty(), code);
        }
    }

    void dateAfterProcessing_data() {
        QTest::addColumn<int>("offset");
        QTest::addColumn<QString>("afterProc"); // "" : no planning row at all
        QTest::addColumn<bool>("accepted");
        QTest::newRow("same day, N") << 0 << "N" << true;
        QTest::newRow("next day, N") << 1 << "N" << false;
        QTest::newRow("next day, S") << 1 << "S" << true;
        QTest::newRow("next day, blank") << 1 << " " << true;
        QTest::newRow("next day, no planning row") << 1 << "" << true;
    }
    void dateAfterProcessing() {
        QFETCH(int, offset);
        QFETCH(QString, afterProc);
        QFETCH(bool, accepted);
        HeadcountFixture fx;
        if (!afterProc.isEmpty()) fx.setPlanning(QStringLiteral("N"), 0, afterProc);
        TfrmMediEfetDiet* f = fx.open();
        fx.recorder->clearCalls();
        fx.ui.Clear();
        fx.loadDay(HeadcountFixture::proc().addDays(offset));
        if (accepted) {
            QCOMPARE(fx.ui.Errors(), QStringList());
            QCOMPARE(fx.recorder->calls(), loadAndEnterCalls());
        } else {
            QCOMPARE(fx.ui.Errors(),
                     QStringList{QStringLiteral("Data deve ser menor ou igual a data de  processamento.")});
            QCOMPARE(fx.recorder->calls(), QStringList{QStringLiteral("GetParamPlaneja")});
            QCOMPARE(focused(f), QStringLiteral("depCardapio"));
            QVERIFY(!f->cdsCardServ->Active());
            QCOMPARE(fx.ui.AviOpened(), 0);
        }
        QCOMPARE(f->edtDiaCardapio->Text(), f->depCardapio->DayName());
    }

    void closedDay_data() {
        QTest::addColumn<QString>("block");
        QTest::addColumn<double>("daysOpen");
        QTest::addColumn<int>("offset");
        QTest::addColumn<bool>("closed");
        QTest::newRow("0 days, processing date") << "S" << 0.0 << 0 << false;
        QTest::newRow("0 days, day before") << "S" << 0.0 << -1 << true;
        QTest::newRow("3 days, 3 before") << "S" << 3.0 << -3 << false;
        QTest::newRow("3 days, 4 before") << "S" << 3.0 << -4 << true;
        QTest::newRow("block off, 7 before") << "N" << 3.0 << -7 << false;
    }
    void closedDay() {
        QFETCH(QString, block);
        QFETCH(double, daysOpen);
        QFETCH(int, offset);
        QFETCH(bool, closed);
        HeadcountFixture fx;
        fx.setPlanning(block, daysOpen, QStringLiteral("S"));
        const QDate day = HeadcountFixture::proc().addDays(offset);
        // Every tested day gets a service, so the closing alone decides the grids.
        fx.sql(QStringLiteral("INSERT INTO CARDADIA (CDFILIAL, DTCARDAPIO, CDSERVFILI, CDDIETPAD)"
                              " VALUES ('0001', '%1', '00001', '0002')")
                   .arg(day.toString(Qt::ISODate)));
        TfrmMediEfetDiet* f = fx.open();
        // With a count column selected only the closing keeps the diet grid from editing.
        f->dbgPadrao->SetSelectedIndex(2);
        fx.loadDay(day);
        QCOMPARE(fx.ui.Errors(), QStringList());
        QCOMPARE(f->DiaFechado(), closed);
        QCOMPARE(f->dbgPadrao->HasOption(dgEditing), !closed);
        QVERIFY(!f->dbgCardServ->HasOption(dgEditing)); // closed, or an existing code selected
        // An open day offers include, search and verify; on a closed one the diet rows' reload on
        // entering the service grid switches them off.
        QCOMPARE(commands(f), closed ? QStringLiteral("inc=00 pro=00 ver=00 ext=00 can=00 con=00")
                                     : QStringLiteral("inc=11 pro=11 ver=11 ext=00 can=00 con=00"));
    }

    void dayWithoutServicesOffersOnlyInclude() {
        HeadcountFixture fx;
        TfrmMediEfetDiet* f = fx.open();
        fx.loadDay(QDate(2026, 12, 2));
        QCOMPARE(fx.ui.Errors(), QStringList());
        QVERIFY(f->cdsCardServ->IsEmpty());
        QCOMPARE(commands(f), QStringLiteral("inc=11 pro=00 ver=00 ext=00 can=00 con=00"));
    }

    // The screen's items sit around the base menus; Ctrl+M reaches the calculation item while
    // the screen is active, whatever control has the focus.
    void menusAroundTheBaseItems() {
        HeadcountFixture fx;
        TfrmMediEfetDiet* f = fx.open();
        QCOMPARE(f->mnuOperacao->Items(0), f->mnuEfetivos);
        QCOMPARE(f->mnuOperacao->Items(1), f->mnuClientes);
        QCOMPARE(f->mnuOperacao->Items(2), f->N1);
        QVERIFY(f->N1->IsSeparator());
        QVERIFY(f->mnuEfetivos->Checked());
        QVERIFY(!f->mnuClientes->Checked());
        const int last = f->mnuManutencao->Count() - 1;
        QCOMPARE(f->mnuManutencao->Items(last), f->mnuCalcComens);
        QCOMPARE(f->mnuManutencao->Items(last - 1), f->nmuLinhaConf);
        QVERIFY(f->nmuLinhaConf->IsSeparator());
        QCOMPARE(f->mnuManutencao->IndexOf(f->mnuLinha3) + 1, f->mnuManutencao->IndexOf(f->mnuCancelar));

        int runs = 0;
        f->mnuCalcComens->OnClick = [&](QObject*) { ++runs; };
        QVERIFY(QApplication::focusWidget());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_M, Qt::ControlModifier);
        QCOMPARE(runs, 1);
    }

    void failingServerCalls_data() {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<QString>("commandsAfter");
        const QString off = QStringLiteral("inc=00 pro=00 ver=00 ext=00 can=00 con=00");
        QTest::newRow("GetParamPlaneja")
            << "GetParamPlaneja" << QStringList{QStringLiteral("GetParamPlaneja")} << off;
        QTest::newRow("GetCardadia") << "GetCardadia"
                                     << QStringList{QStringLiteral("GetParamPlaneja"),
                                                    QStringLiteral("GetCardadia")}
                                     << off;
        // The diet rows loaded before the failure stay, and their set's reaction offers browsing.
        QTest::newRow("GetCardServ") << "GetCardServ" << loadCalls()
                                     << QStringLiteral("inc=11 pro=11 ver=11 ext=00 can=00 con=00");
    }
    void failingServerCalls() {
        QFETCH(QString, method);
        QFETCH(QStringList, calls);
        QFETCH(QString, commandsAfter);
        HeadcountFixture fx;
        TfrmMediEfetDiet* f = fx.open();
        fx.recorder->clearCalls();
        fx.recorder->failOn(method, QStringLiteral("Falha em ") + method);
        fx.loadDay(HeadcountFixture::proc());
        QCOMPARE(fx.ui.Errors(), QStringList{QStringLiteral("Falha em ") + method});
        QCOMPARE(fx.recorder->calls(), calls);
        QCOMPARE(fx.ui.AviDepth(), 0);
        QCOMPARE(focused(f), QStringLiteral("depCardapio"));
        QVERIFY(!f->cdsCardServ->Active());
        QCOMPARE(commands(f), commandsAfter);
    }

    void emptyDateIsRefusedBeforeAnyCall() {
        HeadcountFixture fx;
        TfrmMediEfetDiet* f = fx.open();
        fx.recorder->clearCalls();
        fx.click(f->depCardapio);
        f->depCardapio->Clear();
        QCOMPARE(f->edtDiaCardapio->Text(), QString());
        fx.click(f->dbgCardServ);
        QCOMPARE(fx.ui.Errors(), QStringList{QStringLiteral("Data deve ser informada.")});
        QCOMPARE(fx.recorder->calls(), QStringList());
        QCOMPARE(focused(f), QStringLiteral("depCardapio"));
    }

    void branchCodes_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("name"); // "" : refused
        QTest::addColumn<QString>("error");
        QTest::newRow("lower case") << "ab1"
                                    << "AB1"
                                    << "Clínica Sul"
                                    << "";
        QTest::newRow("short digits") << "2"
                                      << "0002"
                                      << "Hospital Norte"
                                      << "";
        QTest::newRow("unknown") << "77"
                                 << "0077"
                                 << ""
                                 << "Filial não cadastrada.";
    }
    void branchCodes() {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(QString, name);
        QFETCH(QString, error);
        HeadcountFixture fx;
        TfrmMediEfetDiet* f = fx.open();
        fx.typeInto(f->medCdFilial, typed);
        QCOMPARE(f->edtNmFilial->Text(), QString()); // a change clears the old name
        fx.click(f->depCardapio);
        QCOMPARE(f->medCdFilial->Text(), shown);
        QCOMPARE(f->edtNmFilial->Text(), name);
        QCOMPARE(fx.ui.Errors(), error.isEmpty() ? QStringList() : QStringList{error});
        QCOMPARE(focused(f), error.isEmpty() ? QStringLiteral("depCardapio") : QStringLiteral("medCdFilial"));
    }

    void rescindedBranchIsRefusedOnlyWhenLoading() {
        HeadcountFixture fx;
        fx.sql(QStringLiteral("UPDATE FILIAL SET IDCNTRRESC = 'S' WHERE CDFILIAL = '0001'"));
        TfrmMediEfetDiet* f = fx.open();
        fx.click(f->depCardapio); // lenient check on leaving the branch edit
        QCOMPARE(fx.ui.Errors(), QStringList());
        fx.recorder->clearCalls();
        fx.click(f->dbgCardServ);
        QCOMPARE(fx.ui.Errors(), QStringList{QStringLiteral("Filial com contrato rescindido.")});
        QCOMPARE(fx.recorder->calls(), QStringList());
        QCOMPARE(focused(f), QStringLiteral("medCdFilial"));
    }

    void dateLookupFillsTheDateWithoutLoading() {
        HeadcountFixture fx;
        TfrmMediEfetDiet* f = fx.open();
        fx.recorder->clearCalls();
        fx.click(f->depCardapio);
        fx.ui.SetLookupAnswer([](TDataSource* source, const QString&) {
            // Rows come newest first; pick 04/12.
            TClientDataSet* set = source->DataSet();
            int row = 0;
            for (set->First(); !set->Eof(); set->Next(), ++row)
                if (set->FieldByName(QStringLiteral("DTCARDAPIO"))->AsString() == QLatin1String("04/12/2026"))
                    return row;
            return -1;
        });
        f->btpDtCardapio->Click();
        QCOMPARE(fx.ui.Errors(), QStringList());
        QCOMPARE(lookupCaptions(fx), QStringList{QStringLiteral("Data do Cardápio")});
        QCOMPARE(fx.ui.Lookups().front().aviDepth, 0);
        QCOMPARE(fx.recorder->calls(), QStringList{QStringLiteral("GetDtCardapio")});
        QCOMPARE(f->cdsDtCardapio->FieldByName(QStringLiteral("DSDIASEMANA"))->AsString(),
                 QStringLiteral("Sexta"));
        QCOMPARE(f->depCardapio->GetDate(), QDate(2026, 12, 4));
        QCOMPARE(f->edtDiaCardapio->Text(), QStringLiteral("Sexta"));
        QVERIFY(!f->cdsCardServ->Active());

        fx.click(f->dbgCardServ);
        QCOMPARE(f->cdsCardServ->RecordCount(), 1);
    }

    void failingDateLookupOpensNoList() {
        HeadcountFixture fx;
        TfrmMediEfetDiet* f = fx.open();
        fx.click(f->depCardapio);
        fx.recorder->failOn(QStringLiteral("GetDtCardapio"), QStringLiteral("Sem conexão."));
        f->btpDtCardapio->Click();
        QCOMPARE(fx.ui.Errors(), QStringList{QStringLiteral("Sem conexão.")});
        QCOMPARE(lookupCaptions(fx), QStringList());
        QCOMPARE(fx.ui.AviDepth(), 0);
        QCOMPARE(f->depCardapio->GetDate(), HeadcountFixture::proc());
    }

    void branchLookupListsEveryBranch() {
        HeadcountFixture fx;
        TfrmMediEfetDiet* f = fx.open();
        fx.ui.SetLookupAnswer(
            [](TDataSource* source, const QString&) { return source->DataSet()->RecordCount() - 1; });
        f->btpFilial->Click();
        QCOMPARE(f->qryFilial->RecordCount(), 3);
        QCOMPARE(f->medCdFilial->Text(), QStringLiteral("AB1"));
        QCOMPARE(f->edtNmFilial->Text(), QStringLiteral("Clínica Sul"));
    }
};

QTEST_MAIN(HeaderTest)
#include "tst_header.moc"
