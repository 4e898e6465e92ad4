#include "HeadcountFixture.h"

#include "headcount/TfrmMediEfetDiet.h"
#include "host/Application.h"

#include "Fixture.h"

#include <QApplication>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTest>

// The headcount screen as a window of the host: its window states, the focus it keeps through
// them and the first keystrokes it receives.
class WindowTest : public QObject {
    Q_OBJECT

private:
    enum Change { MaximiseRestore, MaximiseIniProc, MinimiseRestore, MinimiseIniProc, HideShow };

    // Records every enter and exit of the controls a wrong focus move would reach.
    static void traceFocus(TfrmMediEfetDiet* f, QStringList& trace) {
        const QList<TFocusControl*> controls{f->panDados, f->medCdFilial, f->depCardapio, f->dbgCardServ,
                                             f->dbgPadrao};
        for (TFocusControl* c : controls) {
            const QString name = c->Widget()->objectName();
            auto wrap = [&trace, name](TFocusControl::TNotifyEvent& event, const char* what) {
                event = [&trace, name, what, inner = event](QObject* sender) {
                    trace << name + QLatin1Char('.') + QLatin1String(what);
                    if (inner) inner(sender);
                };
            };
            wrap(c->OnEnter, "enter");
            wrap(c->OnExit, "exit");
        }
    }

private slots:
    void windowStatesKeepTheFocus_data() {
        QTest::addColumn<int>("change");
        QTest::addColumn<bool>("inDietGrid");
        QTest::newRow("maximise, restore") << int(MaximiseRestore) << false;
        QTest::newRow("maximise, IniProc") << int(MaximiseIniProc) << false;
        QTest::newRow("minimise, restore") << int(MinimiseRestore) << true;
        QTest::newRow("minimise, IniProc") << int(MinimiseIniProc) << true;
        QTest::newRow("hide, IniProc") << int(HideShow) << true;
    }

    void windowStatesKeepTheFocus() {
        QFETCH(int, change);
        QFETCH(bool, inDietGrid);
        HeadcountFixture fx;
        TfrmMediEfetDiet* f = fx.openInMainWindow();
        fx.loadDay(HeadcountFixture::proc());
        QWidget* control = f->dbgCardServ;
        if (inDietGrid) {
            control = f->dbgPadrao;
            fx.click(control);
        }
        QCOMPARE(f->FocusedControl(), control);
        QCOMPARE(fx.ui.Errors(), QStringList());
        auto* sub = qobject_cast<QMdiSubWindow*>(f->parentWidget());
        QVERIFY(sub);

        QStringList trace;
        traceFocus(f, trace);
        fx.recorder->clearCalls();
        switch (change) {
        case MaximiseRestore:
        case MaximiseIniProc:
            sub->showMaximized();
            break;
        case MinimiseRestore:
        case MinimiseIniProc:
            sub->showMinimized();
            break;
        case HideShow:
            sub->hide();
            break;
        }
        kvo::test::Settle();
        QCOMPARE(f->FocusedControl(), control);
        QVERIFY(f->cdsCardServ->Active());
        if (change == MaximiseRestore || change == MinimiseRestore)
            sub->showNormal();
        else
            kvo::Application().ShowChild(f); // what a second IniProc does
        kvo::test::Settle();
        kvo::test::Settle();

        QCOMPARE(trace, QStringList());
        QCOMPARE(fx.recorder->calls(), QStringList());
        QCOMPARE(fx.ui.Errors(), QStringList());
        QCOMPARE(f->FocusedControl(), control);
        QCOMPARE(f->ControlOf(QApplication::focusWidget()), control);
        QVERIFY(f->cdsCardServ->Active());
    }

    void firstKeystrokesReplaceTheText_data() {
        QTest::addColumn<bool>("bound");
        QTest::addColumn<bool>("inMainWindow");
        QTest::newRow("branch, own window") << false << false;
        QTest::newRow("branch, main window") << false << true;
        QTest::newRow("bound branch: date, own window") << true << false;
        QTest::newRow("bound branch: date, main window") << true << true;
    }

    void firstKeystrokesReplaceTheText() {
        QFETCH(bool, bound);
        QFETCH(bool, inMainWindow);
        HeadcountFixture fx(bound);
        TfrmMediEfetDiet* f = inMainWindow ? fx.openInMainWindow() : fx.open();
        QWidget* expected = bound ? static_cast<QWidget*>(f->depCardapio) : f->medCdFilial;
        QCOMPARE(f->FocusedControl(), expected);
        if (bound) {
            kvo::test::Type(QStringLiteral("01122026"));
            QCOMPARE(f->depCardapio->GetDate(), QDate(2026, 12, 1));
        } else {
            kvo::test::Type(QStringLiteral("0002"));
            QCOMPARE(f->medCdFilial->Text(), QStringLiteral("0002"));
        }
    }

    // What a clerk sees of the screen as a window: glyphs on every command with no icon theme, a
    // window icon of its own, help at the topic of the page worked on, and the loaded day's branch
    // for the status line until the screen ends.
    void glyphsHelpAndBranchOfTheLoadedDay() {
        kvo::test::NoIconTheme();
        qputenv("KVO_HELP_DIR", kvo::test::BuiltHelpDir().toUtf8());
        HeadcountFixture fx;
        QPointer<TfrmMediEfetDiet> f = fx.openInMainWindow();
        QCOMPARE(kvo::test::CommandsWithoutGlyph(f), QStringList());
        QVERIFY(!f->windowIcon().isNull());
        QCOMPARE(kvo::Application().WorkBranch(), QString());

        fx.loadDay(HeadcountFixture::proc());
        QCOMPARE(kvo::Application().WorkBranch(), QStringLiteral("0001"));
        kvo::test::Press(Qt::Key_F1, Qt::NoModifier, f);
        f->pgcPadrao->SetActivePage(f->tshClientes);
        kvo::test::ClickButton(f->sbtAjuda);
        qunsetenv("KVO_HELP_DIR");
        QCOMPARE(fx.ui.Log().filter(QStringLiteral("help")),
                 QStringList({"help KvoHelp.qhc 12001000", "help KvoHelp.qhc 12001003"}));

        fx.reopen(); // the screen ends; a new one has loaded no day yet
        QVERIFY(!f);
        QCOMPARE(kvo::Application().WorkBranch(), QString());
    }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
