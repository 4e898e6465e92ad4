// Plain controls as a person types into them: masks, date edits, lookup buttons, radio buttons,
// menus and the message catalog.

#include "Fixture.h"
#include "data/Exceptions.h"
#include "data/TDataSource.h"
#include "widgets/Commands.h"
#include "widgets/Menus.h"
#include "widgets/TBtnPesquisa.h"
#include "widgets/TDateEditPlus.h"
#include "widgets/TMaskEdit.h"
#include "widgets/TMessages.h"

#include <QHBoxLayout>
#include <QStyleOptionMenuItem>
#include <QTest>

using namespace kvo::test;

namespace {

// A branch list like the one behind the branch lookup.
struct Branches {
    TClientDataSet set;
    TDataSource source{&set};
    Branches(const QList<QPair<QString, QString>>& rows = {
                 {"0001", "Matriz"}, {"0002", "Hospital Norte"}, {"0010", "Cozinha Central"}}) {
        set.AddField(QStringLiteral("CDFILIAL"), ftString, 4)->SetDisplayLabel(QStringLiteral("Código"));
        set.AddField(QStringLiteral("NMFILIAL"), ftString, 30)->SetDisplayLabel(QStringLiteral("Nome"));
        set.CreateDataSet();
        for (const auto& r : rows) {
            set.Append();
            set.FieldByName(QStringLiteral("CDFILIAL"))->SetAsString(r.first);
            set.FieldByName(QStringLiteral("NMFILIAL"))->SetAsString(r.second);
            set.Post();
        }
        set.First();
    }
};

struct EditForm {
    TForm form;
    TMaskEdit* med;
    TBtnPesquisa* btp;
    TDateEditPlus* dep;
    TEdit* edt;
    TEdit* other;
    EditForm() {
        auto* layout = new QHBoxLayout(&form);
        med = new TMaskEdit(&form);
        med->SetEditMask(QStringLiteral(">aaaa;0; "));
        btp = new TBtnPesquisa(&form);
        btp->SetAssociate(med);
        dep = new TDateEditPlus(&form);
        edt = new TEdit(&form);
        other = new TEdit(&form);
        for (QWidget* w : {static_cast<QWidget*>(med), static_cast<QWidget*>(btp), static_cast<QWidget*>(dep),
                           static_cast<QWidget*>(edt), static_cast<QWidget*>(other)})
            layout->addWidget(w);
        form.resize(600, 60);
    }
};

} // namespace

class TestControls : public QObject {
    Q_OBJECT
private slots:
    void maskShapesWhatIsTyped_data() {
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("text");
        QTest::newRow("lower case goes upper") << ">aaaa;0; "
                                               << "ab1c"
                                               << "AB1C";
        QTest::newRow("width is the mask's") << ">aaaa;0; "
                                             << "abcdef"
                                             << "ABCD";
        QTest::newRow("symbols refused") << ">aaaa;0; "
                                         << "a-b.c"
                                         << "ABC";
        QTest::newRow("short code kept short") << ">aaaa;0; "
                                               << "1"
                                               << "1";
        QTest::newRow("any character, five") << "ccccc;0; "
                                             << "a-b c1x"
                                             << "a-b c";
        QTest::newRow("case kept without >") << "ccccc;0; "
                                             << "aBc"
                                             << "aBc";
        QTest::newRow("literals not stored") << "99/99;0;_"
                                             << "1234"
                                             << "1234";
        QTest::newRow("literals stored") << "99/99;1;_"
                                         << "1234"
                                         << "12/34";
    }
    void maskShapesWhatIsTyped() {
        QFETCH(QString, mask);
        QFETCH(QString, typed);
        QFETCH(QString, text);
        EditForm f;
        f.med->SetEditMask(mask);
        QVERIFY(ShowActive(&f.form));
        f.med->SetFocus();
        Type(typed);
        QCOMPARE(f.med->Text(), text);
    }

    void maskAppliesToTextFromCode() {
        EditForm f;
        int changes = 0;
        f.med->OnChange = [&](QObject*) { ++changes; };
        f.med->SetText(QStringLiteral("ab"));
        QCOMPARE(f.med->Text(), QStringLiteral("AB"));
        QCOMPARE(changes, 1);
        f.med->SetText(QStringLiteral("AB")); // same text: no change event
        QCOMPARE(changes, 1);
        f.med->SetText(QStringLiteral("x1-9")); // kept as far as it fits
        QCOMPARE(f.med->Text(), QStringLiteral("X1"));
        QCOMPARE(f.med->MaxLength(), 4);
        f.med->SetText(QString());
        QCOMPARE(f.med->Text(), QString());
    }

    void requiredPositionsAreChecked() {
        TEditMask mask(QStringLiteral("00-00;1;_"));
        QString out;
        QVERIFY(mask.Apply(QStringLiteral("1234"), out));
        QCOMPARE(out, QStringLiteral("12-34"));
        QVERIFY(mask.IsComplete(out));
        QVERIFY(!mask.IsComplete(QStringLiteral("12-3")));
        QVERIFY(!mask.Apply(QStringLiteral("12a"), out));
        TMaskEdit med;
        med.SetEditMask(QStringLiteral("00-00;1;_"));
        med.SetText(QStringLiteral("12"));
        QVERIFY_THROWS_EXCEPTION(Exception, med.ValidateEdit());
    }

    void dateEditParsesDayMonthYear_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<bool>("valid");
        QTest::newRow("a day") << "08122026" << QDate(2026, 12, 8) << true;
        QTest::newRow("leap day") << "29022028" << QDate(2028, 2, 29) << true;
        QTest::newRow("no leap day") << "29022027" << QDate() << false;
        QTest::newRow("month 13") << "01132026" << QDate() << false;
        QTest::newRow("day 0") << "00012026" << QDate() << false;
        QTest::newRow("incomplete") << "0812" << QDate() << false;
        QTest::newRow("two-digit year") << "081226" << QDate() << false;
        QTest::newRow("nothing typed") << "" << QDate() << true;
    }
    void dateEditParsesDayMonthYear() {
        QFETCH(QString, typed);
        QFETCH(QDate, date);
        QFETCH(bool, valid);
        EditForm f;
        QVERIFY(ShowActive(&f.form));
        f.dep->SetFocus();
        Type(typed);
        QCOMPARE(f.dep->GetDate(), date);
        QCOMPARE(f.dep->IsValidText(), valid);
        if (date.isValid()) QCOMPARE(f.dep->Text(), date.toString(QStringLiteral("dd/MM/yyyy")));
    }

    void invalidDateIsRefusedOnExitAndKeepsTheFocus() {
        TestHostUi ui;
        EditForm f;
        QVERIFY(ShowActive(&f.form));
        f.dep->OnExit = [&](QObject*) { f.dep->CheckValidDate(); };
        f.dep->SetFocus();
        Type(QStringLiteral("31022026"));
        Click(f.other);
        QCOMPARE(f.form.FocusedControl(), f.dep);
        QCOMPARE(ui.Errors().size(), 1);
        QVERIFY2(ui.Errors().first().contains(QStringLiteral("31/02/2026")), qPrintable(ui.Errors().first()));
        // Corrected, the same move goes through.
        f.dep->SetDate(QDate(2026, 2, 28));
        Click(f.other);
        QCOMPARE(f.form.FocusedControl(), f.other);
        QCOMPARE(ui.Errors().size(), 1);
        // An empty date is date 0 and passes.
        f.dep->SetFocus();
        f.dep->Clear();
        Click(f.other);
        QCOMPARE(f.form.FocusedControl(), f.other);
        QCOMPARE(ui.Errors().size(), 1);
    }

    void dateZeroIsEmptyText() {
        TDateEditPlus dep;
        dep.SetDate(QDate(2026, 12, 8));
        dep.SetDate(QDate());
        QCOMPARE(dep.Text(), QString());
        QVERIFY(!dep.GetDate().isValid());
        QVERIFY(!dep.GetPrimDia().isValid());
        QCOMPARE(dep.DayName(), QString());
        dep.SetDate(QDateTime(QDate(2026, 12, 8), QTime(15, 30)));
        QCOMPARE(dep.GetDate(), QDate(2026, 12, 8)); // no time part kept
        QCOMPARE(dep.EditText(), QStringLiteral("08/12/2026"));
    }

    void dateEditWeekdaysFirstDayAndColour() {
        TDateEditPlus dep;
        const QStringList names{"Domingo", "Segunda", "Terça", "Quarta", "Quinta", "Sexta", "Sábado"};
        // 06/12/2026 is a Sunday.
        for (int i = 0; i < 7; ++i)
            QCOMPARE(dep.DayName(QDate(2026, 12, 6).addDays(i)), names[i]);
        dep.SetDate(QDate(2026, 12, 31));
        QCOMPARE(dep.GetPrimDia(), QDate(2026, 12, 1));
        QCOMPARE(dep.LineEdit()->palette().color(QPalette::Text), clBlue);
        dep.SetText(QStringLiteral("31/12/20"));
        QVERIFY(dep.LineEdit()->palette().color(QPalette::Text) != clBlue);
    }

    void dateChangeEventsFollowTheText() {
        EditForm f;
        QStringList trace;
        f.dep->OnChange = [&](QObject*) { trace << "change"; };
        f.dep->OnDateChange = [&](QObject*) { trace << "date " + f.dep->GetDate().toString(Qt::ISODate); };
        f.dep->SetDate(QDate(2026, 12, 8));
        QCOMPARE(trace, QStringList({"change", "date 2026-12-08"}));
        trace.clear();
        QVERIFY(ShowActive(&f.form));
        f.dep->SetFocus();
        f.dep->LineEdit()->selectAll();
        Type(QStringLiteral("09122026"));
        QCOMPARE(trace.count("change") >= 1, true);
        QCOMPARE(trace.filter("date"), QStringList({"date 2026-12-09"}));
    }

    void lookupButtonRunsItsSequence() {
        TestHostUi ui;
        Branches b;
        EditForm f;
        f.btp->SetTitle(QStringLiteral("Filial"));
        f.btp->SetDataSource(&b.source);
        f.btp->SetEmptyError(QStringLiteral("Não há filial cadastrada."));
        QStringList trace;
        bool refuse = false;
        f.btp->OnBeforePesq = [&](QObject* sender, bool& allow) {
            QCOMPARE(sender, f.btp);
            trace << "before";
            if (refuse) allow = false;
        };
        f.btp->OnAfterPesq = [&](QObject*) {
            trace << "after";
            f.med->SetText(b.set.FieldByName(QStringLiteral("CDFILIAL"))->AsString());
        };
        QVERIFY(ShowActive(&f.form));
        f.other->SetFocus();

        ui.PickKey(QStringLiteral("CDFILIAL"), QStringLiteral("0010"));
        ClickButton(f.btp);
        QCOMPARE(trace, QStringList({"before", "after"}));
        QCOMPARE(f.med->Text(), QStringLiteral("0010"));
        QCOMPARE(f.form.FocusedControl(), f.med); // the lookup serves its edit
        QCOMPARE(ui.Lookups().size(), 1);
        QCOMPARE(ui.Lookups().first().text, QStringLiteral("Filial"));
        QCOMPARE(ui.Lookups().first().rows,
                 QStringList({"0001 | Matriz", "0002 | Hospital Norte", "0010 | Cozinha Central"}));

        // F9 in the edit opens it as well; a cancelled list runs no after-handler.
        trace.clear();
        ui.CancelLookup();
        Press(Qt::Key_F9);
        QCOMPARE(trace, QStringList({"before"}));
        QCOMPARE(f.med->Text(), QStringLiteral("0010"));

        // A refusal opens nothing.
        trace.clear();
        refuse = true;
        ClickButton(f.btp);
        QCOMPARE(trace, QStringList({"before"}));
        QCOMPARE(ui.Lookups().size(), 2);

        // Disabled: neither the click nor F9 does anything.
        refuse = false;
        trace.clear();
        f.btp->SetEnabled(false);
        ClickButton(f.btp);
        Press(Qt::Key_F9, Qt::NoModifier, f.med);
        QVERIFY(trace.isEmpty());
        QVERIFY(ui.Unanswered().isEmpty());
    }

    void lookupOfAnEmptyListShowsTheEmptyText() {
        TestHostUi ui;
        Branches b(QList<QPair<QString, QString>>{});
        EditForm f;
        f.btp->SetTitle(QStringLiteral("Filial"));
        f.btp->SetDataSource(&b.source);
        f.btp->SetEmptyError(QStringLiteral("Não há filial cadastrada."));
        bool after = false;
        f.btp->OnAfterPesq = [&](QObject*) { after = true; };
        f.btp->Click();
        QVERIFY(!after);
        QCOMPARE(ui.Log(), QStringList({"lookup Filial: empty: Não há filial cadastrada."}));
    }

    void lookupButtonOnClickReplacesTheList() {
        TestHostUi ui;
        TBtnPesquisa btn;
        int clicks = 0;
        bool before = false;
        btn.OnClick = [&](QObject*) { ++clicks; };
        btn.OnBeforePesq = [&](QObject*, bool&) { before = true; };
        btn.Click();
        QCOMPARE(clicks, 1);
        QVERIFY(!before);
        QVERIFY(ui.Log().isEmpty());
    }

    void radioButtonsClickAndExclude() {
        TForm form;
        auto* layout = new QHBoxLayout(&form);
        auto* todos = new TRadioButton(QStringLiteral("Todos"), &form);
        auto* lista = new TRadioButton(QStringLiteral("Lista"), &form);
        layout->addWidget(todos);
        layout->addWidget(lista);
        QStringList trace;
        todos->OnClick = [&](QObject*) { trace << "todos"; };
        lista->OnClick = [&](QObject*) { trace << "lista"; };
        todos->SetChecked(true);
        QCOMPARE(trace, QStringList({"todos"}));
        QVERIFY(ShowActive(&form));
        Click(lista);
        QVERIFY(lista->Checked());
        QVERIFY(!todos->Checked());
        QCOMPARE(trace, QStringList({"todos", "lista"}));
        QCOMPARE(form.FocusedControl(), lista);
        int key = 0;
        lista->OnKeyDown = [&](QObject*, int& k, Qt::KeyboardModifiers) { key = k; };
        Press(Qt::Key_F9);
        QCOMPARE(key, int(Qt::Key_F9));
    }

    void keyHandlersSwallowAndReplace() {
        EditForm f;
        QVERIFY(ShowActive(&f.form));
        f.edt->SetFocus();
        f.edt->OnKeyPress = [](QObject*, QChar& c) {
            if (c == QLatin1Char('x'))
                c = QChar();
            else if (c == QLatin1Char(','))
                c = QLatin1Char('.');
        };
        Type(QStringLiteral("1x,5"));
        QCOMPARE(f.edt->Text(), QStringLiteral("1.5"));
        f.edt->OnKeyDown = [](QObject*, int& k, Qt::KeyboardModifiers) {
            if (k == Qt::Key_Backspace) k = 0;
        };
        Press(Qt::Key_Backspace);
        QCOMPARE(f.edt->Text(), QStringLiteral("1.5"));
        // A failing handler swallows the key and is shown, not thrown into Qt.
        TestHostUi ui;
        f.edt->OnKeyPress = [](QObject*, QChar&) { throw Exception(QStringLiteral("Tecla recusada.")); };
        Type(QStringLiteral("7"));
        QCOMPARE(f.edt->Text(), QStringLiteral("1.5"));
        QCOMPARE(ui.Errors(), QStringList({"Tecla recusada."}));
    }

    void menuItemsClickOnlyWhenEnabledAndKeepTheirCheck() {
        TestHostUi ui;
        TForm form;
        auto* layout = new QHBoxLayout(&form);
        auto* bar = new TMainMenu(&form);
        layout->setMenuBar(bar);
        auto* edit = new TEdit(&form);
        layout->addWidget(edit);
        auto* top = bar->Add(new TMenuItem(QStringLiteral("&Manutenção")));
        auto* item = top->Add(new TMenuItem(QStringLiteral("Ca&lcular Comensais")));
        top->AddSeparator(QStringLiteral("nmuLinhaConf"));
        auto* efetivos = top->Add(new TMenuItem(QStringLiteral("Efetivos")));
        item->SetShortCut(QKeySequence(Qt::CTRL | Qt::Key_M));
        int clicks = 0;
        item->OnClick = [&](QObject* sender) {
            QCOMPARE(sender, item);
            ++clicks;
        };
        QCOMPARE(top->Count(), 3);
        QVERIFY(top->Items(1)->IsSeparator());
        ClickMenu(item);
        QCOMPARE(clicks, 1);
        item->SetEnabled(false);
        ClickMenu(item);
        QCOMPARE(clicks, 1);
        item->SetEnabled(true);
        QVERIFY(ShowActive(&form));
        edit->SetFocus();
        Press(Qt::Key_M, Qt::ControlModifier);
        QCOMPARE(clicks, 2);

        efetivos->SetChecked(true);
        efetivos->OnClick = [&](QObject*) {};
        ClickMenu(efetivos);
        QVERIFY(efetivos->Checked()); // a click does not toggle: the screen's code decides
        QVERIFY(efetivos->Action()->isChecked());
        item->OnClick = [](QObject*) { Abort(); };
        ClickMenu(item);
        QVERIFY(ui.Log().isEmpty());
    }

    void messageCatalog() {
        TestHostUi ui;
        TMessages msg({"Excl|Confirma Exclusão?",
                       "DATA_PROC|Data deve ser menor ou igual a data de  processamento.", "Pct|%s de %s|x",
                       "Excl|repetida", "sem barra"});
        QCOMPARE(msg.Msg("Excl"), QStringLiteral("Confirma Exclusão?"));
        QCOMPARE(msg.Msg("DATA_PROC"),
                 QStringLiteral("Data deve ser menor ou igual a data de  processamento."));
        QCOMPARE(msg.Msg("Pct"), QStringLiteral("%s de %s|x"));
        QCOMPARE(msg.Msg("excl"), QString());
        QCOMPARE(msg.Msg("Nada"), QString());
        QCOMPARE(msg.Lines().size(), 5);

        ui.AnswerNo();
        ui.AnswerYes();
        QCOMPARE(msg.ShowMsg("Excl", kvo::mtConfirmation, kvo::mbYesNo, 0), int(kvo::mrNo));
        QCOMPARE(msg.ShowMsg("Excl", kvo::mtConfirmation, kvo::mbYesNo, 0), int(kvo::mrYes));
        QCOMPARE(msg.ShowMsg("DATA_PROC", kvo::mtInformation, kvo::mbOK, 0), int(kvo::mrOk));
        QCOMPARE(ui.Log(),
                 QStringList({"message 3/3: Confirma Exclusão? -> 7", "message 3/3: Confirma Exclusão? -> 6",
                              "message 2/4: Data deve ser menor ou igual a data de  processamento. -> 1"}));
        // A question nobody scripted is a visible test failure, not a silent default.
        QVERIFY_THROWS_EXCEPTION(Exception, msg.ShowMsg("Excl", kvo::mtConfirmation, kvo::mbYesNo, 0));
        QCOMPARE(ui.Unanswered().size(), 1);
    }

    // A separator is drawn as a line: the style gets no text to write beside it.
    void separatorCaptionIsDrawnAsALine() {
        struct Menu : QMenu {
            QStyleOptionMenuItem option(QAction* action) {
                QStyleOptionMenuItem o;
                initStyleOption(&o, action);
                return o;
            }
        };
        TMenuItem top(QStringLiteral("Operação"));
        TMenuItem* byCaption = top.Add(new TMenuItem(QStringLiteral("-")));
        TMenuItem* byName = top.AddSeparator(QStringLiteral("N1"));
        Menu menu;
        for (TMenuItem* item : {byCaption, byName}) {
            menu.addAction(item->Action());
            const QStyleOptionMenuItem o = menu.option(item->Action());
            QCOMPARE(o.menuItemType, QStyleOptionMenuItem::Separator);
            QCOMPARE(o.text, QString());
            QCOMPARE(item->Caption(), QStringLiteral("-"));
        }
    }

    // A button and its menu item show one command whoever writes it; a view switched alone
    // differs until the next write, and the menu item then still runs the handler.
    void commandStateHasOneOwner_data() {
        QTest::addColumn<int>("write");
        QTest::newRow("button SetEnabled") << 0;
        QTest::newRow("menu SetEnabled") << 1;
        QTest::newRow("Qt setEnabled on the button") << 2;
        QTest::newRow("Qt setEnabled on the action") << 3;
    }

    void commandStateHasOneOwner() {
        QFETCH(int, write);
        TestHostUi ui;
        TForm form;
        auto* layout = new QHBoxLayout(&form);
        auto* panel = new TPanel(&form);
        layout->addWidget(panel);
        auto* button = new TButtonFlat(panel);
        TMenuItem item(QStringLiteral("Ca&lcular Comensais"));
        auto* command = new TCommand(button, &item);
        int runs = 0;
        button->OnClick = [&](QObject* sender) {
            QCOMPARE(sender, button);
            ++runs;
        };
        auto set = [&](bool on) {
            switch (write) {
            case 0:
                button->SetEnabled(on);
                break;
            case 1:
                item.SetEnabled(on);
                break;
            case 2:
                button->setEnabled(on);
                break;
            default:
                item.Action()->setEnabled(on);
                break;
            }
        };
        auto views = [&] { return QPair<bool, bool>(button->isEnabled(), item.Enabled()); };

        set(false);
        QCOMPARE(views(), qMakePair(false, false));
        QVERIFY(!command->Enabled());
        set(true);
        QCOMPARE(views(), qMakePair(true, true));

        // The button alone: the item keeps working and runs the handler.
        button->SetEnabledAlone(false);
        QCOMPARE(views(), qMakePair(false, true));
        QVERIFY(command->Apart());
        ClickMenu(&item);
        QCOMPARE(runs, 1);
        // A parent switching its children is no write of the command.
        panel->setEnabled(false);
        panel->setEnabled(true);
        QCOMPARE(views(), qMakePair(false, true));
        command->SetEnabled(true);
        QCOMPARE(views(), qMakePair(true, true));
        QVERIFY(!command->Apart());

        // The item alone, then one write joins both again.
        item.SetEnabledAlone(false);
        QCOMPARE(views(), qMakePair(true, false));
        ClickMenu(&item);
        QCOMPARE(runs, 1);
        button->SetEnabled(false);
        QCOMPARE(views(), qMakePair(false, false));
    }
};

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
