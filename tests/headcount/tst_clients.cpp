#include "HeadcountFixture.h"

#include "Fixture.h"

#include "headcount/TfrmMediEfetDiet.h"
#include "host/Application.h"
#include "host/dtmDBGeral.h"
#include "widgets/Dispatch.h"

#include <QSqlQuery>
#include <QTest>

// The Clientes page (a diet row's counts shared out among its clients, each share saved at once)
// and the client-sum check that stops leaving the pages or closing the screen on a disagreement,
// each journey checked against what the database holds.
class ClientsTest : public QObject {
    Q_OBJECT

private:
    using K = Qt::Key;
    static QDate proc() { return HeadcountFixture::proc(); }

    // The shares of 00001 / 0001 Livre on 08/12: "client number cli+fun+doa".
    static QStringList shares() {
        QSqlQuery q(dtmDBGeral::dtbGeral());
        q.exec(QStringLiteral("SELECT CDCLIENTE, NRSEQEFETDIE, QTCOMEFETDIE, QTFUNEFETDIE, QTDOAEFETDIE"
                              " FROM EFETDIET WHERE DTEFETDIET = '2026-12-08' AND CDSERVFILI = '00001'"
                              " AND CDDIETPAD = '0001' ORDER BY CDCLIENTE"));
        QStringList rows;
        while (q.next())
            rows << QStringLiteral("%1 %2 %3+%4+%5")
                        .arg(q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                             q.value(3).toString(), q.value(4).toString());
        return rows;
    }
    static QString livre(HeadcountFixture& fx) { return fx.held(proc()).first(); }
    static QString share(const QString& client) { return shares().filter(client).join(u','); }

    // The day loaded with IDCONSMINEFE as given, the Clientes page of 00001 / 0001 Livre shown.
    static TfrmMediEfetDiet* onClients(HeadcountFixture& fx, const QString& consMinEfe = QStringLiteral("S"),
                                       bool inMainWindow = false) {
        fx.sql(QStringLiteral("UPDATE PARAMGERAL SET IDCONSMINEFE = '%1'").arg(consMinEfe));
        TfrmMediEfetDiet* f = inMainWindow ? fx.openInMainWindow() : fx.open();
        fx.loadDay(proc());
        kvo::test::ClickTab(f->pgcPadrao, 1);
        kvo::test::Settle();
        return f;
    }
    // Types into a client's cell: column 1 clients, 2 employees, 3 donations.
    static void typeShare(TfrmMediEfetDiet* f, const QString& client, int column, const QString& text) {
        f->cdsClienteTrab->Locate(QStringLiteral("CDCLIENTE"), client);
        f->dbgClientes->SetSelectedIndex(column);
        kvo::test::Settle();
        kvo::test::Type(text);
        kvo::test::Settle();
    }
    static void click(QAbstractButton* button) {
        kvo::test::ClickButton(button);
        kvo::test::Settle();
    }
    static QString current(TfrmMediEfetDiet* f, const char* field) {
        return f->cdsClienteTrab->FieldByName(QLatin1String(field))->AsString();
    }

private slots:
    void shareIsSavedAndTheDietRowFollowsOnlyUnderN_data() {
        QTest::addColumn<QString>("consMinEfe");
        QTest::addColumn<QString>("diet");
        QTest::newRow("N") << QStringLiteral("N") << QStringLiteral("00001/0001 16+4+0=20");
        QTest::newRow("S") << QStringLiteral("S") << QStringLiteral("00001/0001 12+3+0=15");
        QTest::newRow("other") << QStringLiteral("X") << QStringLiteral("00001/0001 12+3+0=15");
        QTest::newRow("empty") << QString() << QStringLiteral("00001/0001 12+3+0=15");
    }
    void shareIsSavedAndTheDietRowFollowsOnlyUnderN() {
        QFETCH(QString, consMinEfe);
        QFETCH(QString, diet);
        HeadcountFixture fx;
        TfrmMediEfetDiet* f = onClients(fx, consMinEfe);
        QCOMPARE(f->cdsClienteTrab->RecordCount(), 4);
        QVERIFY(f->mnuClientes->Checked() && f->dbnPadrao->DataSource() == f->dtsCliente);

        // A new share (Delta) with its donations left empty, saved by moving to the next client.
        typeShare(f, QStringLiteral("C04"), 1, QStringLiteral("3"));
        QVERIFY(!f->depCardapio->isEnabled() && !f->tshPadrao->Enabled() && f->sbtConfirmar->isEnabled());
        kvo::test::Press(K::Key_Tab);
        kvo::test::Type(QStringLiteral("1"));
        f->cdsClienteTrab->FieldByName(QStringLiteral("QTDOAEFETDIE"))->Clear();
        kvo::test::Press(K::Key_Down);
        kvo::test::Settle();
        QCOMPARE(current(f, "CDCLIENTE"), QStringLiteral("C03"));
        // Then a numbered one (Alfa) changed and confirmed.
        typeShare(f, QStringLiteral("C01"), 1, QStringLiteral("9"));
        click(f->sbtConfirmar);

        QCOMPARE(fx.ui.Errors(), QStringList());
        QVERIFY(f->depCardapio->isEnabled() && f->tshPadrao->Enabled() && !f->sbtConfirmar->isEnabled());
        QCOMPARE(shares(), (QStringList{QStringLiteral("C01 0000000001 9+2+0"), QStringLiteral("C02  4+1+0"),
                                        QStringLiteral("C04 0000000002 3+1+0")}));
        QCOMPARE(livre(fx), diet);
    }

    // A settled client is refused before the withdrawal guard is asked; the others are asked about.
    void settledClientAndWithdrawalGuard() {
        HeadcountFixture fx;
        fx.setPlanning(QStringLiteral("N"), 0, QStringLiteral("S"), QStringLiteral("N"));
        TfrmMediEfetDiet* f = onClients(fx);
        fx.recorder->clearCalls();
        typeShare(f, QStringLiteral("C03"), 1, QStringLiteral("1"));
        QCOMPARE(fx.recorder->calls(), QStringList());
        typeShare(f, QStringLiteral("C01"), 1, QStringLiteral("1"));
        QCOMPARE(fx.recorder->calls(), QStringList{QStringLiteral("Vd_Retirada")});
        QCOMPARE(fx.ui.Errors(),
                 (QStringList{QStringLiteral("Efetivos do cliente já apurados na data selecionada."),
                              QStringLiteral("Não há produto baixado em estoque no dia.")}));
        QCOMPARE(f->cdsClienteTrab->State(), dsBrowse);
        QCOMPARE(current(f, "QTCOMEFETDIE"), QStringLiteral("8"));
    }

    // Rows can be changed but never added or removed, signs and letters cannot be typed, and a
    // negative count that still reaches the row is refused at the first such field.
    void onlyTheCountsChange() {
        HeadcountFixture fx;
        TfrmMediEfetDiet* f = onClients(fx);
        typeShare(f, QStringLiteral("C04"), 1, QStringLiteral("-x+5"));
        click(f->sbtConfirmar);
        QCOMPARE(share(QStringLiteral("C04")), QStringLiteral("C04 0000000002 5+0+0"));
        // Saved again without a reload in between: its own last save is not another workstation's.
        typeShare(f, QStringLiteral("C04"), 1, QStringLiteral("6"));
        click(f->sbtConfirmar);
        QCOMPARE(fx.ui.Errors(), QStringList());
        QCOMPARE(share(QStringLiteral("C04")), QStringLiteral("C04 0000000002 6+0+0"));

        fx.click(f->dbgClientes);
        f->cdsClienteTrab->Last();
        kvo::test::Press(K::Key_Insert);
        kvo::test::Press(K::Key_Down);
        fx.ui.AnswerYes();
        kvo::test::Press(K::Key_Delete, Qt::ControlModifier);
        kvo::test::Settle();
        QCOMPARE(fx.ui.Messages().size(), 1); // the grid's own question, nothing more
        QCOMPARE(f->cdsClienteTrab->RecordCount(), 4);
        QCOMPARE(shares().size(), 3);

        const char* fields[] = {"QTCOMEFETDIE", "QTFUNEFETDIE", "QTDOAEFETDIE"};
        const QStringList refusals{
            QStringLiteral("Quantidade de clientes deve ser maior ou igual a zero."),
            QStringLiteral("Quantidade de funcionários deve ser maior ou igual a zero."),
            QStringLiteral("Quantidade de doações deve ser maior ou igual a zero.")};
        f->cdsClienteTrab->First();
        f->cdsClienteTrab->Edit();
        for (const char* field : fields)
            f->cdsClienteTrab->FieldByName(QLatin1String(field))->SetAsFloat(-0.5);
        for (int i = 0; i < 3; ++i) {
            fx.ui.Clear();
            click(f->sbtConfirmar);
            QCOMPARE(fx.ui.Errors(), QStringList{refusals[i]});
            QCOMPARE(f->dbgClientes->SelectedIndex(), i + 1);
            f->cdsClienteTrab->FieldByName(QLatin1String(fields[i]))->Clear(); // empty passes
        }
        click(f->sbtConfirmar);
        QCOMPARE(share(QStringLiteral("C01")), QStringLiteral("C01 0000000001 0+0+0"));
    }

    void closedDayShowsTheClientsReadOnly() {
        HeadcountFixture fx;
        fx.setPlanning(QStringLiteral("S"), 0, QStringLiteral("S"));
        TfrmMediEfetDiet* f = fx.open();
        fx.loadDay(proc().addDays(-4));
        kvo::test::ClickTab(f->pgcPadrao, 1);
        kvo::test::Settle();
        QCOMPARE(f->cdsClienteTrab->RecordCount(), 4);
        QVERIFY(!f->dbgClientes->HasOption(dgEditing));
        QVERIFY(!f->sbtAlterar->isEnabled() && !f->sbtCalcComens->isEnabled());
        typeShare(f, QStringLiteral("C01"), 1, QStringLiteral("7"));
        QCOMPARE(f->cdsClienteTrab->State(), dsBrowse);
        // Nor is there a client-sum check: leaving for the header asks nothing.
        fx.recorder->clearCalls();
        fx.click(f->medCdFilial);
        QVERIFY(!fx.recorder->calls().contains(QStringLiteral("GetComensais")));
        QVERIFY(!f->cdsCardadia->Active());
    }

    void pagesSwitchByMenuAndAPostElsewhereLeavesTheDietRow() {
        HeadcountFixture fx;
        TfrmMediEfetDiet* f = onClients(fx, QStringLiteral("N"));
        fx.recorder->clearCalls();
        kvo::test::ClickMenu(f->mnuClientes); // shown already: nothing
        QCOMPARE(fx.recorder->calls(), QStringList());
        kvo::test::ClickMenu(f->mnuEfetivos);
        fx.recorder->clearCalls();
        kvo::test::ClickMenu(f->mnuEfetivos); // shown already: reloads the diet rows
        QCOMPARE(fx.recorder->calls(), QStringList{QStringLiteral("GetCardadia")});
        QVERIFY(f->mnuEfetivos->Checked() && f->dbnPadrao->DataSource() == f->dtsCardServ);
        QVERIFY(f->sbtIncluir->isEnabled());
        kvo::test::ClickMenu(f->mnuClientes);
        QCOMPARE(f->pgcPadrao->ActivePage(), f->tshClientes);

        // A client posted once the Efetivos page is shown: its share is saved, the diet row stays.
        f->cdsClienteTrab->Edit();
        f->cdsClienteTrab->FieldByName(QStringLiteral("QTCOMEFETDIE"))->SetAsFloat(9);
        f->pgcPadrao->SetActivePage(f->tshPadrao);
        kvo::Dispatch([f] { f->cdsClienteTrab->Post(); });
        QCOMPARE(share(QStringLiteral("C01")), QStringLiteral("C01 0000000001 9+2+0"));
        QCOMPARE(livre(fx), QStringLiteral("00001/0001 12+3+0=15"));
    }

    // A save that fails keeps what the clerk typed; a retry starts from the stored share, so it is
    // saved once, and another workstation's save in between is shown before it is overwritten.
    void failedShareSaveAndItsRetry_data() {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QString>("client");
        QTest::addColumn<QString>("kept"); // the row's clients after the failure
        QTest::addColumn<bool>("stale");   // the first retry meets another workstation's save
        QTest::addColumn<QString>("retried");
        const QString added = QStringLiteral("C04 0000000002 7+0+0");
        const QString changed = QStringLiteral("C01 0000000001 7+2+0");
        QTest::newRow("server refusal")
            << QStringLiteral("refusal") << QStringLiteral("C04") << "7" << false << added;
        QTest::newRow("server error")
            << QStringLiteral("error") << QStringLiteral("C04") << "7" << false << added;
        QTest::newRow("no connection")
            << QStringLiteral("transport") << QStringLiteral("C04") << "7" << false << added;
        QTest::newRow("created while saving") << QStringLiteral("created") << QStringLiteral("C04") << "7"
                                              << true << QStringLiteral("C04 0000000009 7+0+0");
        QTest::newRow("changed while saving")
            << QStringLiteral("changed") << QStringLiteral("C01") << "7" << true << changed;
        QTest::newRow("changed since loaded")
            << QStringLiteral("loaded") << QStringLiteral("C01") << "6" << false << changed;
    }
    void failedShareSaveAndItsRetry() {
        QFETCH(QString, failure);
        QFETCH(QString, client);
        QFETCH(QString, kept);
        QFETCH(bool, stale);
        QFETCH(QString, retried);
        HeadcountFixture fx;
        TfrmMediEfetDiet* f = onClients(fx);
        // Another workstation saves the share after the page was loaded; "while saving": right
        // after this one has read it back (a canned answer keeps that earlier read).
        const QJsonValue read =
            fx.direct(QStringLiteral("GETEfetClie"), {QStringLiteral("0001"), QStringLiteral("00001"),
                                                      QStringLiteral("0001"), proc(), client});
        if (failure == u"created")
            fx.sql(QStringLiteral("INSERT INTO EFETDIET VALUES ('0001', '00001', 'C04', '2026-12-08', '0001',"
                                  " '0000000009', 1, 0, 0, NULL)"));
        if (failure == u"changed" || failure == u"loaded")
            fx.sql(QStringLiteral("UPDATE EFETDIET SET QTCOMEFETDIE = 6 WHERE CDCLIENTE = 'C01'"));
        if (failure == u"created" || failure == u"changed")
            fx.recorder->answer(QStringLiteral("GETEfetClie"), read);
        if (failure == u"refusal")
            fx.recorder->answer(QStringLiteral("UpdEfetDiet"), QStringLiteral("Recusado."));
        if (failure == u"error")
            fx.recorder->failOn(QStringLiteral("UpdEfetDiet"), QStringLiteral("Falhou."));
        const int port = f->netEfetivos->Port;
        if (failure == u"transport") f->netEfetivos->Port = 1; // nothing listens there
        const QStringList stored = shares();

        typeShare(f, client, 1, QStringLiteral("7"));
        click(f->sbtConfirmar);
        QCOMPARE(fx.ui.Errors().size(), 1);
        if (failure == u"refusal") QCOMPARE(fx.ui.Errors().first(), QStringLiteral("Recusado."));
        if (!QStringList{u"refusal"_qs, u"error"_qs, u"transport"_qs}.contains(failure))
            QVERIFY(fx.ui.Errors().first().contains(QStringLiteral("outro usuário")));
        QCOMPARE(fx.ui.AviDepth(), 0);
        QCOMPARE(f->cdsCliente->ChangeCount(), 0);
        QCOMPARE(current(f, "QTCOMEFETDIE"), kept);
        QCOMPARE(shares(), stored);

        fx.recorder->passAll();
        f->netEfetivos->Port = port;
        for (int attempt = stale ? 0 : 1; attempt < 2; ++attempt) {
            fx.ui.Clear();
            typeShare(f, client, 1, QStringLiteral("7"));
            click(f->sbtConfirmar);
            if (attempt == 0)
                QVERIFY(fx.ui.Errors().value(0).contains(QStringLiteral("depois de carregados")));
        }
        QCOMPARE(fx.ui.Errors(), QStringList());
        QCOMPARE(share(client), retried);
    }

    // Under "N" a share saved while its diet row cannot take the sums is reported as such, the
    // check points at the row, and saving the client again brings the two together.
    void dietRowRefusalAfterASavedShareIsReportedAndRetried() {
        HeadcountFixture fx;
        TfrmMediEfetDiet* f = onClients(fx, QStringLiteral("N"));
        fx.recorder->answer(QStringLiteral("SetCardadia"), QStringLiteral("Recusado."));
        typeShare(f, QStringLiteral("C01"), 1, QStringLiteral("9"));
        click(f->sbtConfirmar);
        QCOMPARE(fx.ui.Errors(),
                 QStringList{QStringLiteral(
                     "Recusado.\n\nOs efetivos do cliente foram gravados, mas a dieta 0001 - Livre "
                     "do serviço Clínica Médica não recebeu a soma dos clientes. Grave o cliente "
                     "novamente ou corrija a dieta na página Efetivos.")});
        QCOMPARE(share(QStringLiteral("C01")), QStringLiteral("C01 0000000001 9+2+0"));
        QCOMPARE(livre(fx), QStringLiteral("00001/0001 12+3+0=15"));
        QCOMPARE(f->cdsCardadia->State(), dsBrowse);
        QVERIFY(bool(f->dtsPadrao->OnStateChange));

        fx.ui.Clear();
        fx.click(f->medCdFilial);
        QCOMPARE(fx.ui.Messages(),
                 QStringList{QStringLiteral("Somatória dos comensais dos clientes difere da "
                                            "quantidade de clientes do serviço Clínica Médica e "
                                            "dieta 0001 - Livre.")});

        fx.recorder->passAll();
        kvo::test::ClickMenu(f->mnuClientes);
        f->cdsClienteTrab->Locate(QStringLiteral("CDCLIENTE"), QStringLiteral("C01"));
        click(f->sbtAlterar);
        click(f->sbtConfirmar);
        QCOMPARE(livre(fx), QStringLiteral("00001/0001 13+3+0=16"));
        fx.ui.Clear();
        fx.click(f->medCdFilial);
        QCOMPARE(fx.ui.Messages(), QStringList());
        QVERIFY(!f->cdsCardadia->Active());
    }

    void sumCheckStopsOnEachDisagreementInTurn_data() {
        QTest::addColumn<QString>("consMinEfe");
        QTest::newRow("error") << QStringLiteral("S");
        QTest::newRow("information") << QStringLiteral("X");
    }
    void sumCheckStopsOnEachDisagreementInTurn() {
        QFETCH(QString, consMinEfe);
        HeadcountFixture fx;
        // Pastosa of 00001 short of one employee, Branda of 00002 of one donation.
        fx.sql(QStringLiteral("INSERT INTO EFETDIET VALUES ('0001', '00001', 'C01', '2026-12-08', '0003',"
                              " '0000000005', 4, 0, 0, NULL)"));
        fx.sql(QStringLiteral("INSERT INTO EFETDIET VALUES ('0001', '00002', 'C01', '2026-12-08', '0002',"
                              " '0000000006', 7, 2, 0, NULL)"));
        TfrmMediEfetDiet* f = onClients(fx, consMinEfe, true);
        const bool error = consMinEfe == u'S';
        QString text; // the last check's message
        auto reported = [&] {
            QCOMPARE(fx.ui.Messages().size(), 1);
            QCOMPARE(fx.ui.Errors().size(), error ? 1 : 0);
            QCOMPARE(f->pgcPadrao->ActivePage(), f->tshPadrao);
            QCOMPARE(f->FocusedControl(), f->dbgCardServ);
            QVERIFY(f->cdsCardadia->Active());
            text = fx.ui.Messages().first();
            fx.ui.Clear();
        };
        const QString verb = error ? QStringLiteral("deve ser igual a") : QStringLiteral("difere da");

        fx.click(f->medCdFilial);
        reported();
        QCOMPARE(text,
                 QStringLiteral("Somatória dos funcionários dos clientes %1 quantidade de funcionários do "
                                "serviço Clínica Médica e dieta 0003 - Pastosa.")
                     .arg(verb));
        QCOMPARE(f->cdsCardadia->FieldByName(QStringLiteral("CDDIETPAD"))->AsString(),
                 QStringLiteral("0003"));

        // Corrected, the next check goes to the other service.
        fx.sql(QStringLiteral("UPDATE EFETDIET SET QTFUNEFETDIE = 1 WHERE CDDIETPAD = '0003'"));
        fx.click(f->medCdFilial);
        reported();
        QCOMPARE(text,
                 QStringLiteral("Somatória das doações dos clientes %1 quantidade de doações do serviço "
                                "Pediatria e dieta 0002 - Branda.")
                     .arg(verb));
        QCOMPARE(f->cdsCardServ->FieldByName(QStringLiteral("CDSERVFILI"))->AsString(),
                 QStringLiteral("00002"));

        // Quitting the host asks the screen first, and stays open with it.
        QVERIFY(!kvo::Application().CloseScreens());
        kvo::test::Settle();
        QVERIFY(f->isVisible());
        reported();
        QVERIFY(text.contains(QStringLiteral("Branda")));
        fx.sql(QStringLiteral("UPDATE EFETDIET SET QTDOAEFETDIE = 1 WHERE CDDIETPAD = '0002'"));
        bool canClose = false;
        QVERIFY(kvo::Dispatch([&] { f->FormCloseQuery(f, canClose); }, {kvo::Pending::Drop}));
        QVERIFY(canClose);
    }

    // A kind outside the server's contract is not reported and moves nothing.
    void unknownKindReportsNothing() {
        for (const QString& kind : {QStringLiteral("X"), QString()}) {
            HeadcountFixture fx;
            TfrmMediEfetDiet* f = onClients(fx);
            TDataPacket p;
            p.fields = {{QStringLiteral("CDSERVFILI"), ftString, 5},
                        {QStringLiteral("NMSERVICO"), ftString, 40},
                        {QStringLiteral("CDDIETPAD"), ftString, 4},
                        {QStringLiteral("TIPO"), ftFixedChar, 1}};
            p.rows = {
                {QStringLiteral("00001"), QStringLiteral("Clínica Médica"), QStringLiteral("0001"), kind}};
            fx.recorder->answer(QStringLiteral("GetComensais"), p.toJsonValue());
            fx.click(f->medCdFilial);
            QCOMPARE(fx.ui.Messages(), QStringList());
            QVERIFY(!f->cdsCardadia->Active());
        }
    }
};

QTEST_MAIN(ClientsTest)
#include "tst_clients.moc"
