#include "HeadcountFixture.h"

#include "Fixture.h"

#include "headcount/TfrmMediEfetDiet.h"
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
    static QDate proc() { return HeadcountFixture::proc(); }

    // The shares of one diet row of 08/12: "client number cli+fun+doa".
    static QStringList shares(const char* service = "00001", const char* diet = "0001") {
        QSqlQuery q(dtmDBGeral::dtbGeral());
        q.prepare(QStringLiteral("SELECT CDCLIENTE, NRSEQEFETDIE, QTCOMEFETDIE, QTFUNEFETDIE, QTDOAEFETDIE"
                                 " FROM EFETDIET WHERE CDFILIAL = '0001' AND DTEFETDIET = '2026-12-08'"
                                 " AND CDSERVFILI = ? AND CDDIETPAD = ? ORDER BY CDCLIENTE"));
        q.addBindValue(QString::fromLatin1(service));
        q.addBindValue(QString::fromLatin1(diet));
        q.exec();
        QStringList rows;
        while (q.next())
            rows << QStringLiteral("%1 %2 %3+%4+%5")
                        .arg(q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                             q.value(3).toString(), q.value(4).toString());
        return rows;
    }
    static QString livre(HeadcountFixture& fx) { return fx.held(proc()).first(); }

    // The day loaded with IDCONSMINEFE as given, the Clientes page of 00001 / 0001 Livre shown.
    static TfrmMediEfetDiet* onClients(HeadcountFixture& fx, const QString& consMinEfe = QStringLiteral("S")) {
        fx.sql(QStringLiteral("UPDATE PARAMGERAL SET IDCONSMINEFE = '%1'").arg(consMinEfe));
        TfrmMediEfetDiet* f = fx.open();
        fx.loadDay(proc());
        kvo::test::ClickTab(f->pgcPadrao, 1);
        kvo::test::Settle();
        return f;
    }
    // Types into a cell of a client's row (column 1 clients, 2 employees, 3 donations).
    static void typeShare(TfrmMediEfetDiet* f, const char* client, int column, const QString& text) {
        f->cdsClienteTrab->Locate(QStringLiteral("CDCLIENTE"), QString::fromLatin1(client));
        f->dbgClientes->SetSelectedIndex(column);
        kvo::test::Settle();
        kvo::test::Type(text);
        kvo::test::Settle();
    }
    static void confirm(TfrmMediEfetDiet* f) {
        kvo::test::ClickButton(f->sbtConfirmar);
        kvo::test::Settle();
    }
    static QString clientsShown(TfrmMediEfetDiet* f) {
        QStringList cells;
        for (int c = 1; c <= 3; ++c)
            cells << f->dbgClientes->CellText(f->cdsClienteTrab->RecNo() - 1, c);
        return cells.join(u' ');
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
        QCOMPARE(f->dbnPadrao->DataSource(), f->dtsCliente);
        QVERIFY(f->mnuClientes->Checked() && !f->mnuEfetivos->Checked());

        // A new share (Delta), its donations left empty, then a numbered one changed (Alfa).
        typeShare(f, "C04", 1, QStringLiteral("3"));
        QVERIFY(!f->depCardapio->isEnabled() && !f->tshPadrao->Enabled() && f->sbtConfirmar->isEnabled());
        kvo::test::Press(Qt::Key_Tab);
        kvo::test::Type(QStringLiteral("1"));
        f->cdsClienteTrab->FieldByName(QStringLiteral("QTDOAEFETDIE"))->Clear();
        fx.recorder->clearCalls();
        confirm(f);
        const QStringList saved{QStringLiteral("GETEfetClie"), QStringLiteral("UpdEfetDiet")};
        QCOMPARE(fx.recorder->calls().mid(0, 2), saved);
        QCOMPARE(fx.recorder->calls().contains(QStringLiteral("SetCardadia")), consMinEfe == u'N');
        typeShare(f, "C01", 1, QStringLiteral("9"));
        confirm(f);

        QCOMPARE(fx.ui.Errors(), QStringList());
        QVERIFY(f->depCardapio->isEnabled() && f->tshPadrao->Enabled() && !f->sbtConfirmar->isEnabled());
        QCOMPARE(shares(), (QStringList{QStringLiteral("C01 0000000001 9+2+0"), QStringLiteral("C02  4+1+0"),
                                        QStringLiteral("C04 0000000002 3+1+0")}));
        QCOMPARE(livre(fx), diet);
    }

    // A settled client is refused before the withdrawal guard is asked; any other client is
    // asked about, and here refused by it.
    void settledClientAndWithdrawalGuard() {
        HeadcountFixture fx;
        fx.setPlanning(QStringLiteral("N"), 0, QStringLiteral("S"), QStringLiteral("N"));
        TfrmMediEfetDiet* f = onClients(fx);
        fx.recorder->clearCalls();
        typeShare(f, "C03", 1, QStringLiteral("1"));
        QCOMPARE(fx.ui.Errors(), QStringList{QStringLiteral("Efetivos do cliente já apurados na data selecionada.")});
        QCOMPARE(fx.recorder->calls(), QStringList());
        fx.ui.Clear();
        typeShare(f, "C01", 1, QStringLiteral("1"));
        QCOMPARE(fx.ui.Errors(), QStringList{QStringLiteral("Não há produto baixado em estoque no dia.")});
        QCOMPARE(fx.recorder->calls(), QStringList{QStringLiteral("Vd_Retirada")});
        QCOMPARE(f->cdsClienteTrab->State(), dsBrowse);
        QCOMPARE(clientsShown(f), QStringLiteral("8 2 0"));
    }

    // Rows can be changed but never added or removed; signs and letters cannot be typed.
    void keysChangeOnlyTheCounts() {
        HeadcountFixture fx;
        TfrmMediEfetDiet* f = onClients(fx);
        typeShare(f, "C04", 1, QStringLiteral("-x+5"));
        confirm(f);
        QCOMPARE(shares().last(), QStringLiteral("C04 0000000002 5+0+0"));

        fx.click(f->dbgClientes);
        f->cdsClienteTrab->Last();
        kvo::test::Press(Qt::Key_Insert);
        kvo::test::Press(Qt::Key_Down);
        fx.ui.AnswerYes();
        kvo::test::Press(Qt::Key_Delete, Qt::ControlModifier);
        kvo::test::Settle();
        QCOMPARE(fx.ui.Messages().size(), 1); // the grid's own question, nothing more
        QCOMPARE(f->cdsClienteTrab->RecordCount(), 4);
        QCOMPARE(f->cdsClienteTrab->State(), dsBrowse);
        QCOMPARE(shares().size(), 3);
    }

    void negativeCountsAreRefusedInOrder_data() {
        QTest::addColumn<QVariantList>("counts");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("column");
        QTest::newRow("clients") << QVariantList{-1, -1, -1}
                                 << QStringLiteral("Quantidade de clientes deve ser maior ou igual a zero.") << 1;
        QTest::newRow("employees") << QVariantList{0, -1, -1}
                                   << QStringLiteral("Quantidade de funcionários deve ser maior ou igual a zero.")
                                   << 2;
        QTest::newRow("donations") << QVariantList{QVariant(), 0, -0.5}
                                   << QStringLiteral("Quantidade de doações deve ser maior ou igual a zero.") << 3;
    }
    void negativeCountsAreRefusedInOrder() {
        QFETCH(QVariantList, counts);
        QFETCH(QString, message);
        QFETCH(int, column);
        HeadcountFixture fx;
        TfrmMediEfetDiet* f = onClients(fx);
        f->cdsClienteTrab->Edit();
        const char* fields[] = {"QTCOMEFETDIE", "QTFUNEFETDIE", "QTDOAEFETDIE"};
        for (int i = 0; i < 3; ++i) {
            TField* field = f->cdsClienteTrab->FieldByName(QLatin1String(fields[i]));
            counts[i].isNull() ? field->Clear() : field->SetAsFloat(counts[i].toDouble());
        }
        fx.recorder->clearCalls();
        confirm(f);
        QCOMPARE(fx.ui.Errors(), QStringList{message});
        QCOMPARE(f->dbgClientes->SelectedIndex(), column);
        QCOMPARE(f->cdsClienteTrab->State(), dsEdit);
        QCOMPARE(fx.recorder->calls(), QStringList());
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
        typeShare(f, "C01", 1, QStringLiteral("7"));
        QCOMPARE(f->cdsClienteTrab->State(), dsBrowse);
        // No client-sum check on a closed day: leaving for the header asks nothing.
        fx.recorder->clearCalls();
        fx.click(f->medCdFilial);
        QVERIFY(!fx.recorder->calls().contains(QStringLiteral("GetComensais")));
        QVERIFY(!f->cdsCardadia->Active());
    }

    void pagesSwitchByMenuAndAPostElsewhereLeavesTheDietRow() {
        HeadcountFixture fx;
        TfrmMediEfetDiet* f = onClients(fx, QStringLiteral("N"));
        fx.recorder->clearCalls();
        kvo::test::ClickMenu(f->mnuClientes);
        QCOMPARE(fx.recorder->calls(), QStringList());
        kvo::test::ClickMenu(f->mnuEfetivos);
        fx.recorder->clearCalls();
        kvo::test::ClickMenu(f->mnuEfetivos); // shown already: reloads the diet rows
        QCOMPARE(fx.recorder->calls(), QStringList{QStringLiteral("GetCardadia")});
        QCOMPARE(f->dbnPadrao->DataSource(), f->dtsCardServ);
        QVERIFY(f->mnuEfetivos->Checked() && !f->mnuClientes->Checked() && f->sbtIncluir->isEnabled());
        kvo::test::ClickMenu(f->mnuClientes);
        QCOMPARE(f->pgcPadrao->ActivePage(), f->tshClientes);

        // A client posted once the Efetivos page is shown: its share is saved, the diet row stays.
        f->cdsClienteTrab->Edit();
        f->cdsClienteTrab->FieldByName(QStringLiteral("QTCOMEFETDIE"))->SetAsFloat(9);
        f->pgcPadrao->SetActivePage(f->tshPadrao);
        fx.recorder->clearCalls();
        kvo::Dispatch([f] { f->cdsClienteTrab->Post(); });
        QCOMPARE(shares().first(), QStringLiteral("C01 0000000001 9+2+0"));
        QVERIFY(!fx.recorder->calls().contains(QStringLiteral("GetAtuaQtEfet")));
        QCOMPARE(livre(fx), QStringLiteral("00001/0001 12+3+0=15"));
    }

    // A save that fails keeps what the clerk typed; the retry starts from the stored share, so it
    // is saved once, whoever touched it in between.
    void failedShareSaveKeepsTheTypingAndARetrySavesOnce_data() {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QString>("client");
        QTest::addColumn<QString>("retried");
        QTest::newRow("server refusal") << QStringLiteral("refusal") << QStringLiteral("C04")
                                        << QStringLiteral("C04 0000000002 7+0+0");
        QTest::newRow("server error") << QStringLiteral("error") << QStringLiteral("C04")
                                      << QStringLiteral("C04 0000000002 7+0+0");
        QTest::newRow("no connection") << QStringLiteral("transport") << QStringLiteral("C04")
                                       << QStringLiteral("C04 0000000002 7+0+0");
        QTest::newRow("created meanwhile") << QStringLiteral("created") << QStringLiteral("C04")
                                           << QStringLiteral("C04 0000000009 7+0+0");
        QTest::newRow("changed meanwhile") << QStringLiteral("changed") << QStringLiteral("C01")
                                           << QStringLiteral("C01 0000000001 7+2+0");
    }
    void failedShareSaveKeepsTheTypingAndARetrySavesOnce() {
        QFETCH(QString, failure);
        QFETCH(QString, client);
        QFETCH(QString, retried);
        HeadcountFixture fx;
        TfrmMediEfetDiet* f = onClients(fx);
        const QStringList before = shares();
        const QVariantList key{QStringLiteral("0001"), QStringLiteral("00001"), QStringLiteral("0001"), proc(),
                               client};
        // Another workstation saves the share after this one read it.
        const QJsonValue read = fx.direct(QStringLiteral("GETEfetClie"), key);
        if (failure == u"created")
            fx.sql(QStringLiteral("INSERT INTO EFETDIET VALUES ('0001', '00001', 'C04', '2026-12-08', '0001',"
                                  " '0000000009', 1, 0, 0, NULL)"));
        if (failure == u"changed")
            fx.sql(QStringLiteral("UPDATE EFETDIET SET QTCOMEFETDIE = 6 WHERE CDCLIENTE = 'C01'"));
        const QStringList stored = shares();
        if (failure == u"refusal") fx.recorder->answer(QStringLiteral("UpdEfetDiet"), QStringLiteral("Recusado."));
        if (failure == u"error") fx.recorder->failOn(QStringLiteral("UpdEfetDiet"), QStringLiteral("Falhou."));
        if (failure == u"created" || failure == u"changed") fx.recorder->answer(QStringLiteral("GETEfetClie"), read);
        const int port = f->netEfetivos->Port;
        if (failure == u"transport") f->netEfetivos->Port = 1;

        typeShare(f, qPrintable(client), 1, QStringLiteral("7"));
        confirm(f);
        QCOMPARE(fx.ui.Errors().size(), 1);
        if (failure == u"refusal") QCOMPARE(fx.ui.Errors().first(), QStringLiteral("Recusado."));
        if (failure == u"created" || failure == u"changed")
            QVERIFY(fx.ui.Errors().first().contains(QStringLiteral("outro usuário")));
        QCOMPARE(fx.ui.AviDepth(), 0);
        QCOMPARE(f->cdsClienteTrab->State(), dsBrowse);
        QCOMPARE(f->cdsCliente->ChangeCount(), 0);
        QVERIFY(clientsShown(f).startsWith(QStringLiteral("7 ")));
        QCOMPARE(shares(), stored);

        fx.recorder->passAll();
        f->netEfetivos->Port = port;
        fx.ui.Clear();
        kvo::test::ClickButton(f->sbtAlterar);
        confirm(f);
        QCOMPARE(fx.ui.Errors(), QStringList());
        const QStringList after = shares();
        QCOMPARE(after.filter(client).size(), 1);
        QVERIFY2(after.contains(retried), qPrintable(after.join(u',')));
        QCOMPARE(after.size(), before.size() + (client == u"C04" ? 1 : 0));
    }

    // Under "N" a share saved while its diet row cannot take the sums is reported as such, the
    // check points at the row, and saving the client again brings the two together.
    void dietRowRefusalAfterASavedShareIsReportedAndRetried() {
        HeadcountFixture fx;
        TfrmMediEfetDiet* f = onClients(fx, QStringLiteral("N"));
        fx.recorder->answer(QStringLiteral("SetCardadia"), QStringLiteral("Recusado."));
        typeShare(f, "C01", 1, QStringLiteral("9"));
        confirm(f);
        QCOMPARE(fx.ui.Errors().size(), 1);
        const QString error = fx.ui.Errors().first();
        QVERIFY2(error.startsWith(QStringLiteral("Recusado.")) && error.contains(QStringLiteral("foram gravados")) &&
                     error.contains(QStringLiteral("0001 - Livre")),
                 qPrintable(error));
        QCOMPARE(shares().first(), QStringLiteral("C01 0000000001 9+2+0"));
        QCOMPARE(livre(fx), QStringLiteral("00001/0001 12+3+0=15"));
        QCOMPARE(f->cdsCardadia->State(), dsBrowse);
        QVERIFY(bool(f->dtsPadrao->OnStateChange));

        fx.ui.Clear();
        fx.click(f->medCdFilial);
        QCOMPARE(fx.ui.Messages(), QStringList{QStringLiteral("Somatória dos comensais dos clientes difere da "
                                                              "quantidade de clientes do serviço Clínica Médica e "
                                                              "dieta 0001 - Livre.")});
        QCOMPARE(f->pgcPadrao->ActivePage(), f->tshPadrao);

        fx.recorder->passAll();
        kvo::test::ClickMenu(f->mnuClientes);
        f->cdsClienteTrab->Locate(QStringLiteral("CDCLIENTE"), QStringLiteral("C01"));
        kvo::test::ClickButton(f->sbtAlterar);
        confirm(f);
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
        fx.sql(QStringLiteral("INSERT INTO EFETDIET VALUES ('0001', '00001', 'C01', '2026-12-08', '0003', '0000000005',"
                              " 4, 0, 0, NULL)"));
        fx.sql(QStringLiteral("INSERT INTO EFETDIET VALUES ('0001', '00002', 'C01', '2026-12-08', '0002', '0000000006',"
                              " 7, 2, 0, NULL)"));
        TfrmMediEfetDiet* f = onClients(fx, consMinEfe);
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
        QCOMPARE(text, QStringLiteral("Somatória dos funcionários dos clientes %1 quantidade de funcionários do "
                                            "serviço Clínica Médica e dieta 0003 - Pastosa.")
                                 .arg(verb));
        QCOMPARE(f->cdsCardadia->FieldByName(QStringLiteral("CDDIETPAD"))->AsString(), QStringLiteral("0003"));

        // Corrected, the next check goes to the other service.
        fx.sql(QStringLiteral("UPDATE EFETDIET SET QTFUNEFETDIE = 1 WHERE CDDIETPAD = '0003'"));
        fx.click(f->medCdFilial);
        reported();
        QCOMPARE(text, QStringLiteral("Somatória das doações dos clientes %1 quantidade de doações do serviço "
                                            "Pediatria e dieta 0002 - Branda.")
                                 .arg(verb));
        QCOMPARE(f->cdsCardServ->FieldByName(QStringLiteral("CDSERVFILI"))->AsString(), QStringLiteral("00002"));

        f->close();
        kvo::test::Settle();
        QVERIFY(f->isVisible());
        reported();
        QVERIFY(text.contains(QStringLiteral("Branda")));
        fx.sql(QStringLiteral("UPDATE EFETDIET SET QTDOAEFETDIE = 1 WHERE CDDIETPAD = '0002'"));
        bool canClose = false;
        QVERIFY(kvo::Dispatch([&] { f->FormCloseQuery(f, canClose); }, {kvo::Pending::Drop}));
        QVERIFY(canClose);
    }

    void unknownKindReportsNothing_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("other letter") << QStringLiteral("X");
        QTest::newRow("empty") << QString();
    }
    void unknownKindReportsNothing() {
        QFETCH(QString, kind);
        HeadcountFixture fx;
        TfrmMediEfetDiet* f = onClients(fx);
        TDataPacket p;
        p.fields = {{QStringLiteral("CDSERVFILI"), ftString, 5}, {QStringLiteral("NMSERVICO"), ftString, 40},
                    {QStringLiteral("CDDIETPAD"), ftString, 4}, {QStringLiteral("TIPO"), ftFixedChar, 1}};
        p.rows = {{QStringLiteral("00001"), QStringLiteral("Clínica Médica"), QStringLiteral("0001"), kind}};
        fx.recorder->answer(QStringLiteral("GetComensais"), p.toJsonValue());
        fx.click(f->medCdFilial);
        QCOMPARE(fx.ui.Messages(), QStringList());
        QVERIFY(!f->cdsCardadia->Active());
    }
};

QTEST_MAIN(ClientsTest)
#include "tst_clients.moc"
