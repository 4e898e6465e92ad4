#include "HeadcountFixture.h"

#include "Fixture.h"

#include "headcount/TfrmMediEfetDiet.h"
#include "widgets/Dispatch.h"

#include <QApplication>
#include <QJsonValue>
#include <QTest>
#include <QTimer>

// Recording a day's headcounts with keys and clicks: the service grid, the diet grid with its
// checks and save, and the edit commands, each journey checked against what the server holds.
class RecordingTest : public QObject {
    Q_OBJECT

private:
    using K = Qt::Key;
    static QDate proc() { return HeadcountFixture::proc(); }

    // The diet grid as shown: "code name cli fun doa total" per row.
    static QStringList dietGrid(TfrmMediEfetDiet* f) {
        QStringList rows;
        for (int r = 0; r < f->cdsCardadia->RecordCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < f->dbgPadrao->Columns().Count(); ++c)
                cells << f->dbgPadrao->CellText(r, c);
            rows << cells.join(u' ');
        }
        return rows;
    }

    static QString focused(TfrmMediEfetDiet* f) {
        QWidget* w = f->FocusedControl();
        return w ? w->objectName() : QString();
    }

    static void press(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        kvo::test::Press(key, mods);
        kvo::test::Settle();
    }
    // One key at a time, each to the widget holding the focus then (the cell editor opens on
    // the first character).
    static void type(const QString& text) {
        for (QChar ch : text) {
            kvo::test::Type(QString(ch));
            kvo::test::Settle();
        }
    }
    // Types each count into its cell, Tab after each: clients, employees, donations.
    static void counts(const QString& cli, const QString& fun, const QString& doa) {
        for (const QString& v : {cli, fun, doa}) {
            type(v);
            press(K::Key_Tab);
        }
    }
    // Puts the cursor on a column of the diet grid's current row (a click on that cell).
    static void column(TfrmMediEfetDiet* f, int index) {
        f->dbgPadrao->SetSelectedIndex(index);
        kvo::test::Settle();
    }

    // The day with services, the focus on the first count of 0001 Livre of service 00001.
    static TfrmMediEfetDiet* onLivre(HeadcountFixture& fx) {
        TfrmMediEfetDiet* f = fx.open();
        fx.loadDay(proc());
        fx.click(f->dbgPadrao);
        f->cdsCardadia->First();
        column(f, 2);
        return f;
    }

    static const QStringList& seededDay() {
        static const QStringList rows{QStringLiteral("00001/0001 12+3+0=15"),
                                      QStringLiteral("00001/0003 4+1+0=5"),
                                      QStringLiteral("00002/0002 7+2+1=10")};
        return rows;
    }

private slots:
    void emptyDayIsRecordedWithTheKeyboard() {
        HeadcountFixture fx;
        TfrmMediEfetDiet* f = fx.open();
        const QDate day(2026, 12, 2);
        fx.loadDay(day);
        QVERIFY(f->sbtIncluir->isEnabled());
        QVERIFY(!f->sbtVerificar->isEnabled());

        kvo::test::ClickButton(f->sbtIncluir);
        kvo::test::Settle();
        QCOMPARE(f->cdsCardServ->State(), dsInsert);
        QVERIFY(!f->medCdFilial->isEnabled());
        type(QStringLiteral("1"));
        press(K::Key_Tab);
        QCOMPARE(f->cdsCardServ->FieldByName(QStringLiteral("NMSERVICO"))->AsString(),
                 QStringLiteral("Clínica Médica"));

        // Confirming the service moves on to its first diet row, which wants a code.
        fx.ui.Clear();
        kvo::test::ClickButton(f->sbtConfirmar);
        kvo::test::Settle();
        QCOMPARE(fx.ui.Errors(), QStringList{QStringLiteral("Dieta deve ser informada.")});
        QCOMPARE(focused(f), QStringLiteral("dbgPadrao"));
        QCOMPARE(f->cdsCardadia->State(), dsInsert);

        type(QStringLiteral("1"));
        press(K::Key_Tab);
        press(K::Key_Tab);
        counts(QStringLiteral("12"), QStringLiteral("3"), QStringLiteral("0"));
        QCOMPARE(f->cdsCardadia->FieldByName(QStringLiteral("QTCOMEFETCAR"))->AsFloat(), 15.0);
        kvo::test::ClickButton(f->sbtConfirmar);
        kvo::test::Settle();
        QCOMPARE(fx.held(day), QStringList{QStringLiteral("00001/0001 12+3+0=15")});

        // The second diet: a negative count is refused where it is typed, then fixed.
        kvo::test::ClickButton(f->sbtIncluir);
        kvo::test::Settle();
        type(QStringLiteral("3"));
        press(K::Key_Tab);
        press(K::Key_Tab);
        fx.ui.Clear();
        type(QStringLiteral("-2"));
        press(K::Key_Tab);
        QCOMPARE(fx.ui.Errors(),
                 QStringList{QStringLiteral("Quantidade de clientes deve ser maior que zero.")});
        QCOMPARE(f->dbgPadrao->SelectedIndex(), 2);
        press(K::Key_A, Qt::ControlModifier);
        counts(QStringLiteral("4"), QStringLiteral("1"), QStringLiteral("0"));
        press(K::Key_Down); // leaving the row posts it
        QCOMPARE(fx.held(day),
                 (QStringList{QStringLiteral("00001/0001 12+3+0=15"), QStringLiteral("00001/0003 4+1+0=5")}));

        f = fx.reopen();
        fx.loadDay(day);
        QCOMPARE(dietGrid(f), (QStringList{QStringLiteral("0001 Livre 12 3 0 15"),
                                           QStringLiteral("0003 Pastosa 4 1 0 5")}));
    }

    void eachServiceShowsOnlyItsDiets() {
        HeadcountFixture fx;
        TfrmMediEfetDiet* f = fx.open();
        fx.loadDay(proc());
        QCOMPARE(focused(f), QStringLiteral("dbgCardServ"));
        QCOMPARE(dietGrid(f), (QStringList{QStringLiteral("0001 Livre 12 3 0 15"),
                                           QStringLiteral("0003 Pastosa 4 1 0 5")}));
        press(K::Key_Down);
        QCOMPARE(dietGrid(f), QStringList{QStringLiteral("0002 Branda 7 2 1 10")});

        // Typing, Delete and Ctrl+Delete on an existing service change nothing.
        type(QStringLiteral("9"));
        press(K::Key_Delete);
        press(K::Key_Delete, Qt::ControlModifier);
        QCOMPARE(f->cdsCardServ->State(), dsBrowse);
        QCOMPARE(f->cdsCardServ->RecordCount(), 2);
        QCOMPARE(f->cdsCardServ->FieldByName(QStringLiteral("CDSERVFILI"))->AsString(),
                 QStringLiteral("00002"));

        press(K::Key_PageDown, Qt::AltModifier);
        QCOMPARE(focused(f), QStringLiteral("dbgPadrao"));
        press(K::Key_PageUp, Qt::AltModifier);
        QCOMPARE(focused(f), QStringLiteral("dbgCardServ"));
        QCOMPARE(fx.held(proc()), seededDay());
    }

    void saveAnswers_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("transport");
        QTest::addColumn<bool>("saved");
        QTest::newRow("empty") << QString() << false << true;
        QTest::newRow("10 characters") << QStringLiteral("0000000801") << false << true;
        QTest::newRow("9 characters") << QStringLiteral("Recusado.") << false << false;
        QTest::newRow("11 characters") << QStringLiteral("Não gravou.") << false << false;
        QTest::newRow("transport failure") << QString() << true << false;
    }
    void saveAnswers() {
        QFETCH(QString, answer);
        QFETCH(bool, transport);
        QFETCH(bool, saved);
        HeadcountFixture fx;
        TfrmMediEfetDiet* f = onLivre(fx);
        if (!transport) fx.recorder->answer(QStringLiteral("SetCardadia"), QJsonValue(answer));
        const int port = f->netEfetivos->Port;
        if (transport) f->netEfetivos->Port = 1; // nothing listens there
        type(QStringLiteral("20"));
        press(K::Key_Tab);
        fx.recorder->clearCalls();
        fx.ui.Clear();
        kvo::test::ClickButton(f->sbtConfirmar);
        kvo::test::Settle();
        f->netEfetivos->Port = port;

        QCOMPARE(f->cdsCardadia->State(), dsBrowse);
        QCOMPARE(f->cdsCardadia->ChangeCount(), 0);
        QCOMPARE(fx.ui.AviDepth(), 0);
        QVERIFY(f->medCdFilial->isEnabled());
        QVERIFY(f->depCardapio->isEnabled());
        if (saved) {
            QCOMPARE(fx.ui.Errors(), QStringList());
            QCOMPARE(fx.recorder->calls(),
                     (QStringList{QStringLiteral("SetCardadia"), QStringLiteral("GetCardServ")}));
            QCOMPARE(dietGrid(f).first(), QStringLiteral("0001 Livre 20 3 0 23"));
            QVERIFY(f->sbtVerificar->isEnabled());
            QVERIFY(!f->sbtConfirmar->isEnabled());
        } else {
            QCOMPARE(fx.ui.Errors().size(), 1);
            if (!transport) QCOMPARE(fx.ui.Errors().first(), answer);
            QVERIFY(!fx.recorder->calls().contains(QStringLiteral("GetCardServ")));
            QCOMPARE(dietGrid(f).first(), QStringLiteral("0001 Livre 12 3 0 15"));
        }
        // The canned answers never reached the server; a real save did not happen either.
        QCOMPARE(fx.held(proc()), seededDay());
    }

    void withdrawalGuard_data() {
        QTest::addColumn<QString>("param");
        QTest::addColumn<bool>("withdrawal");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("N with a withdrawal") << QStringLiteral("N") << true << true << true;
        QTest::newRow("N without one") << QStringLiteral("N") << false << true << false;
        QTest::newRow("other value") << QStringLiteral("S") << false << false << true;
    }
    void withdrawalGuard() {
        QFETCH(QString, param);
        QFETCH(bool, withdrawal);
        QFETCH(bool, asked);
        QFETCH(bool, allowed);
        HeadcountFixture fx;
        fx.setPlanning(QStringLiteral("N"), 0, QStringLiteral("S"), param);
        if (withdrawal)
            fx.sql(QStringLiteral("INSERT INTO RETIRADA VALUES ('0001', '2026-12-08', '00001', 'P1', 3)"));
        TfrmMediEfetDiet* f = onLivre(fx);
        fx.recorder->clearCalls();
        fx.ui.Clear();
        type(QStringLiteral("2"));
        QCOMPARE(fx.recorder->calls().contains(QStringLiteral("Vd_Retirada")), asked);
        if (allowed) {
            QCOMPARE(fx.ui.Errors(), QStringList());
            QCOMPARE(f->cdsCardadia->State(), dsEdit);
            press(K::Key_Tab);
            kvo::test::ClickButton(f->sbtConfirmar);
            kvo::test::Settle();
            QCOMPARE(fx.held(proc()).first(), QStringLiteral("00001/0001 2+3+0=5"));
        } else {
            QCOMPARE(fx.ui.Errors(),
                     QStringList{QStringLiteral("Não há produto baixado em estoque no dia.")});
            QCOMPARE(f->cdsCardadia->State(), dsBrowse);
            QCOMPARE(fx.held(proc()), seededDay());
        }
    }

    void closedDayRefusesEditingAndSaysSo() {
        HeadcountFixture fx;
        fx.setPlanning(QStringLiteral("S"), 0, QStringLiteral("S"));
        TfrmMediEfetDiet* f = fx.open();
        QVERIFY(!f->lblDiaFechado->isVisible());
        fx.loadDay(proc().addDays(-4));
        QVERIFY(f->lblDiaFechado->isVisible());
        fx.click(f->dbgPadrao);
        QVERIFY(!f->dbgPadrao->HasOption(dgEditing));
        QVERIFY(!f->dbgCardServ->HasOption(dgEditing));
        QVERIFY(!f->sbtAlterar->isEnabled());
        QVERIFY(!f->sbtCalcComens->isEnabled());
        column(f, 2);
        type(QStringLiteral("7"));
        press(K::Key_Insert);
        QCOMPARE(f->cdsCardadia->State(), dsBrowse);
        QCOMPARE(fx.held(proc().addDays(-4)), QStringList{QStringLiteral("00001/0001 10+0+0=10")});

        // An open day hides the indication again.
        fx.click(f->depCardapio);
        f->depCardapio->SetDate(proc());
        fx.click(f->dbgCardServ);
        QVERIFY(!f->lblDiaFechado->isVisible());
    }

    void cancelPaths() {
        HeadcountFixture fx;
        TfrmMediEfetDiet* f = fx.open();

        // The only, new service of an empty day: Esc leaves include alone on.
        fx.loadDay(QDate(2026, 12, 2));
        kvo::test::ClickButton(f->sbtIncluir);
        kvo::test::Settle();
        press(K::Key_Escape);
        QCOMPARE(f->cdsCardServ->RecordCount(), 0);
        QVERIFY(f->sbtIncluir->isEnabled() && f->mnuIncluir->Enabled());
        QVERIFY(!f->sbtConfirmar->isEnabled() && !f->sbtCancelar->isEnabled() &&
                !f->sbtVerificar->isEnabled());
        QVERIFY(f->medCdFilial->isEnabled());

        // A new diet row, then an edited one: No keeps the edit, Yes drops it.
        fx.loadDay(proc());
        fx.click(f->dbgPadrao);
        kvo::test::ClickButton(f->sbtIncluir);
        kvo::test::Settle();
        type(QStringLiteral("1"));
        fx.ui.AnswerYes();
        kvo::test::ClickButton(f->sbtCancelar);
        kvo::test::Settle();
        QCOMPARE(f->cdsCardadia->RecordCount(), 2);
        QVERIFY(f->sbtIncluir->isEnabled());

        f->cdsCardadia->First();
        column(f, 2);
        type(QStringLiteral("99"));
        fx.ui.AnswerNo();
        kvo::test::ClickButton(f->sbtCancelar);
        kvo::test::Settle();
        QCOMPARE(f->cdsCardadia->State(), dsEdit);
        fx.ui.AnswerYes();
        kvo::test::ClickButton(f->sbtCancelar);
        kvo::test::Settle();
        QCOMPARE(f->cdsCardadia->State(), dsBrowse);
        QCOMPARE(dietGrid(f).first(), QStringLiteral("0001 Livre 12 3 0 15"));
        QCOMPARE(fx.ui.Unanswered(), QStringList());
        QCOMPARE(fx.held(proc()), seededDay());
    }

    // Leaving the diet grid with an edited row confirms it: the reload of the next grid never
    // drops typed counts, and a refused row keeps the clerk on it.
    void pendingEditIsConfirmedBeforeAReload() {
        HeadcountFixture fx;
        TfrmMediEfetDiet* f = onLivre(fx);
        type(QStringLiteral("-1"));
        fx.ui.Clear();
        fx.click(f->dbgCardServ);
        QCOMPARE(fx.ui.Errors(),
                 QStringList{QStringLiteral("Quantidade de clientes deve ser maior que zero.")});
        QCOMPARE(focused(f), QStringLiteral("dbgPadrao"));
        QCOMPARE(f->cdsCardadia->State(), dsEdit);

        press(K::Key_A, Qt::ControlModifier);
        type(QStringLiteral("20"));
        fx.click(f->dbgCardServ);
        QCOMPARE(focused(f), QStringLiteral("dbgCardServ"));
        QCOMPARE(fx.held(proc()).first(), QStringLiteral("00001/0001 20+3+0=23"));
        QCOMPARE(dietGrid(f).first(), QStringLiteral("0001 Livre 20 3 0 23"));
    }

    // Two workstations change one row: the later save is refused with the server's message, its
    // row shows what the server holds, and the earlier save stands.
    void secondOperatorIsRefusedAndSeesTheServerRow() {
        HeadcountFixture fx;
        TfrmMediEfetDiet* a = onLivre(fx);
        std::unique_ptr<TfrmMediEfetDiet> b(fx.openAnother());
        kvo::test::Click(b->depCardapio);
        kvo::test::Settle();
        b->depCardapio->SetDate(proc());
        fx.click(b->dbgCardServ);
        fx.click(b->dbgPadrao);
        b->dbgPadrao->SetSelectedIndex(2);
        type(QStringLiteral("30"));
        kvo::test::ClickButton(b->sbtConfirmar);
        kvo::test::Settle();
        QCOMPARE(fx.held(proc()).first(), QStringLiteral("00001/0001 30+3+0=33"));
        b.reset();

        // The screen's copy is still the one it loaded before the other save.
        QVERIFY(kvo::test::ShowActive(a));
        kvo::test::Settle();
        column(a, 2);
        fx.ui.Clear();
        type(QStringLiteral("0"));
        kvo::test::ClickButton(a->sbtConfirmar);
        kvo::test::Settle();
        QCOMPARE(fx.ui.Errors().size(), 1);
        QVERIFY2(fx.ui.Errors().first().contains(QStringLiteral("outro usuário")),
                 qPrintable(fx.ui.Errors().first()));
        QCOMPARE(dietGrid(a).first(), QStringLiteral("0001 Livre 30 3 0 33"));
        QCOMPARE(fx.held(proc()).first(), QStringLiteral("00001/0001 30+3+0=33"));

        // The next change starts from the server's row and is saved.
        type(QStringLiteral("31"));
        kvo::test::ClickButton(a->sbtConfirmar);
        kvo::test::Settle();
        QCOMPARE(fx.held(proc()).first(), QStringLiteral("00001/0001 31+3+0=34"));
    }

    // A saved change is on record with its operator, workstation and values before and after;
    // a row being typed has no history to show.
    void historyShowsWhoChangedTheRow() {
        HeadcountFixture fx;
        // Loaded by another operator: the history names who changed it here, not the row's author.
        fx.sql(QStringLiteral("UPDATE CARDADIA SET CDOPERADOR = 'CARGA'"));
        TfrmMediEfetDiet* f = onLivre(fx);
        QVERIFY(f->sbtHistorico->isEnabled() && f->mnuHistorico->Enabled());
        type(QStringLiteral("20"));
        QVERIFY(!f->sbtHistorico->isEnabled());
        kvo::test::ClickButton(f->sbtConfirmar);
        kvo::test::Settle();
        QCOMPARE(fx.held(proc()).first(), QStringLiteral("00001/0001 20+3+0=23"));
        QVERIFY(f->sbtHistorico->isEnabled());

        fx.ui.Clear();
        kvo::test::ClickMenu(f->mnuHistorico);
        kvo::test::Settle();
        QCOMPARE(fx.ui.Errors(), QStringList());
        QCOMPARE(fx.ui.AviKinds(), QList<int>{kvo::aviLoading});
        const QList<kvo::test::Shown> shown = fx.ui.shown();
        QVERIFY(!shown.isEmpty() && shown.last().kind == kvo::test::Shown::Preview);
        QCOMPARE(shown.last().text,
                 QStringLiteral("Histórico da dieta 0001 Livre — serviço 00001, 08/12/2026"));
        TClientDataSet* h = f->cdsHistorico;
        QCOMPARE(h->RecordCount(), 1);
        QCOMPARE(h->FieldByName(QStringLiteral("NMMETODO"))->AsString(), QStringLiteral("SetCardadia"));
        QCOMPARE(h->FieldByName(QStringLiteral("CDOPERADOR"))->AsString(), QStringLiteral("ADM"));
        QCOMPARE(h->FieldByName(QStringLiteral("DSENDERECO"))->AsString(), QStringLiteral("127.0.0.1"));
        QVERIFY(h->FieldByName(QStringLiteral("DSANTES"))->AsString().contains(QStringLiteral("12")));
        QVERIFY(h->FieldByName(QStringLiteral("DSDEPOIS"))->AsString().contains(QStringLiteral("20")));
    }

    void printAndCalculateOpenTheirScreens() {
        HeadcountFixture fx;
        TfrmMediEfetDiet* f = fx.open();
        fx.loadDay(proc());
        QStringList opened;
        auto closeModal = [&] {
            QTimer::singleShot(0, [&] {
                if (QWidget* w = QApplication::activeModalWidget()) {
                    opened << QString::fromLatin1(w->metaObject()->className());
                    w->close();
                }
            });
        };
        closeModal();
        kvo::test::ClickButton(f->sbtImprimir);
        kvo::test::Settle();
        fx.recorder->clearCalls();
        closeModal();
        kvo::test::ClickMenu(f->mnuCalcComens);
        kvo::test::Settle();
        QCOMPARE(opened,
                 (QStringList{QStringLiteral("TfrmListEfetDiet"), QStringLiteral("TfrmCalcComensais")}));
        QVERIFY(fx.recorder->calls().contains(QStringLiteral("GetCardadia")));
        QCOMPARE(fx.ui.Errors(), QStringList());
    }
};

QTEST_MAIN(RecordingTest)
#include "tst_recording.moc"
