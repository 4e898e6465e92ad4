// The host's person-facing windows: dispatcher, error messages and abort, the lookup dialogs
// driven by the keyboard, progress windows on failure paths, and the scripted test host.

#include "Fixture.h"
#include "data/Exceptions.h"
#include "data/TDataSource.h"
#include "widgets/Dispatch.h"
#include "widgets/GuiHostUi.h"
#include "widgets/LookupDialog.h"
#include "widgets/ProgressWindow.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <stdexcept>

using namespace kvo::test;

namespace {

struct Services {
    TClientDataSet set;
    TDataSource source{&set};
    explicit Services(int rows = 3) {
        set.AddField(QStringLiteral("CDSERVFILI"), ftString, 5)->SetDisplayLabel(QStringLiteral("Serviço"));
        set.AddField(QStringLiteral("NMSERVICO"), ftString, 40)->SetDisplayLabel(QStringLiteral("Nome"));
        set.AddField(QStringLiteral("NRORDEM"), ftFloat)->SetVisible(false);
        set.CreateDataSet();
        const QStringList names{"Almoço", "Jantar", "Ceia", "Desjejum"};
        for (int i = 0; i < rows; ++i) {
            set.Append();
            set.FieldByName(QStringLiteral("CDSERVFILI"))
                ->SetAsString(QStringLiteral("%1").arg(i + 1, 5, 10, QLatin1Char('0')));
            set.FieldByName(QStringLiteral("NMSERVICO"))
                ->SetAsString(names.value(i, QStringLiteral("Extra")));
            set.Post();
        }
        set.First();
    }
    QString current() const { return set.FieldByName(QStringLiteral("CDSERVFILI"))->AsString(); }
};

// Runs `keys` on the modal dialog as soon as it is up.
void whenDialogUp(const std::function<void(QWidget*)>& keys) {
    QTimer::singleShot(0, [keys] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            whenDialogUp(keys);
            return;
        }
        keys(modal);
    });
}

} // namespace

class TestHostUiWindows : public QObject {
    Q_OBJECT
private slots:
    void dispatcherKeepsExceptionsOutOfQt() {
        TestHostUi ui;
        QVERIFY(kvo::Dispatch([] {}));
        QVERIFY(!kvo::Dispatch([] { Abort(); }));
        QVERIFY(!kvo::Dispatch([] { throw EDatabaseError(QStringLiteral("Campo obrigatório.")); }));
        QVERIFY(!kvo::Dispatch([] { throw std::runtime_error("disk full"); }));
        QVERIFY(!kvo::Dispatch([] { throw 42; }));
        QCOMPARE(ui.Errors(), QStringList({"Campo obrigatório.", "disk full", "Erro inesperado."}));
    }

    void mensErroShowsThenAbortsWhenAsked() {
        TestHostUi ui;
        QStringList trace;
        kvo::Dispatch([&] {
            Consiste::MensErro(QStringLiteral("Aviso."), false);
            trace << "went on";
            Consiste::MensErro(QStringLiteral("Data deve ser informada."), true);
            trace << "not reached";
        });
        QCOMPARE(trace, QStringList({"went on"}));
        QCOMPARE(ui.Log(), QStringList({"error: Aviso.", "error: Data deve ser informada."}));
    }

    void progressWindowsCloseOnFailurePaths() {
        TestHostUi ui;
        kvo::Dispatch([] {
            kvo::ShowAviScope loading(nullptr, kvo::aviLoading);
            { kvo::ShowAviScope saving(nullptr, kvo::aviSaving, QStringLiteral("Gravando efetivos...")); }
            throw Exception(QStringLiteral("Servidor indisponível."));
        });
        QCOMPARE(ui.AviDepth(), 0);
        QCOMPARE(ui.Log(), QStringList({"avi+ 6 Carregando...", "avi+ 1 Gravando efetivos...", "avi-", "avi-",
                                        "error: Servidor indisponível."}));
        // The window is closed before the error is shown, and a stray close is harmless.
        QCOMPARE(ui.shown().last().aviDepth, 0);
        QCOMPARE(ui.shown().at(1).aviDepth, 1); // the inner one opened over the outer
        DeactiveShowAvi();
        QCOMPARE(ui.AviDepth(), 0);
        QCOMPARE(ui.UnbalancedCloses(), 1);
    }

    void guiProgressWindowNestsAndCloses() {
        kvo::GuiHostUi gui;
        QWidget main;
        main.resize(800, 600);
        QVERIFY(ShowActive(&main));
        gui.ActiveShowAvi(&main, kvo::aviConnecting, QString());
        auto windows = [] {
            QList<ProgressWindow*> shown;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* p = qobject_cast<ProgressWindow*>(w); p && p->isVisible()) shown << p;
            return shown;
        };
        QCOMPARE(windows().size(), 1);
        QCOMPARE(windows().first()->caption(), QStringLiteral("Conectando ao servidor..."));
        gui.ActiveShowAvi(&main, kvo::aviLoading, QStringLiteral("Carregando o dia..."));
        QCOMPARE(windows().size(), 1);
        QCOMPARE(windows().first()->caption(), QStringLiteral("Carregando o dia..."));
        gui.DeactiveShowAvi();
        QCOMPARE(windows().size(), 1); // still inside the outer call, whose caption comes back
        QCOMPARE(windows().first()->caption(), QStringLiteral("Conectando ao servidor..."));
        gui.DeactiveShowAvi();
        QCOMPARE(windows().size(), 0);
        gui.DeactiveShowAvi(); // unbalanced: nothing to close, nothing breaks
        QCOMPARE(gui.ProgressDepth(), 0);

        // A message put up while it is open is not hidden under it.
        gui.ActiveShowAvi(&main, kvo::aviSaving, QString());
        int shownDuringBox = -1;
        whenDialogUp([&](QWidget* box) {
            shownDuringBox = int(windows().size());
            QTest::keyClick(box, Qt::Key_Escape);
        });
        gui.ShowError(QStringLiteral("Falha ao gravar."));
        QCOMPARE(shownDuringBox, 0);
        QCOMPARE(windows().size(), 1);
        gui.DeactiveShowAvi();
    }

    // A job reporting its progress: "Cancelar" stops it while input meant for other windows waits;
    // the next job starts uncancelled and, once the window closes (a nested one inside it too),
    // input flows again.
    void guiProgressCancelsAJob() {
        kvo::GuiHostUi gui;
        QWidget main;
        main.resize(800, 600);
        auto* other = new QPushButton(QStringLiteral("Outro"), &main);
        int clicks = 0;
        QObject::connect(other, &QPushButton::clicked, [&] { ++clicks; });
        QVERIFY(ShowActive(&main));
        QVERIFY(gui.ShowAviProgress(1, 10)); // no window open: nothing to cancel
        gui.ActiveShowAvi(&main, kvo::aviSaving, QString());
        QVERIFY(gui.ShowAviProgress(1, 10));
        ProgressWindow* window = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* p = qobject_cast<ProgressWindow*>(w); p && p->isVisible()) window = p;
        QVERIFY(window);
        auto* cancel = window->findChild<QPushButton*>(QStringLiteral("btnCancelar"));
        QVERIFY(cancel && cancel->isVisible());
        QTest::mouseClick(other, Qt::LeftButton);
        QTest::mouseClick(cancel, Qt::LeftButton);
        QVERIFY(!gui.ShowAviProgress(2, 10));
        QCOMPARE(clicks, 0);
        gui.DeactiveShowAvi();
        gui.ActiveShowAvi(&main, kvo::aviSaving, QString());
        QVERIFY(gui.ShowAviProgress(1, 10));
        gui.ActiveShowAvi(&main, kvo::aviConnecting, QString()); // a server call inside the job
        gui.DeactiveShowAvi();
        gui.DeactiveShowAvi();
        QTest::mouseClick(other, Qt::LeftButton);
        QCOMPARE(clicks, 1);
    }

    void lookupDialogPicksWithTheKeyboard() {
        Services s;
        QWidget main;
        QVERIFY(ShowActive(&main));
        // Typing searches incrementally, Enter picks: "J" finds "Jantar".
        whenDialogUp([](QWidget* dialog) {
            auto* d = qobject_cast<LookupDialog*>(dialog);
            QTest::keyClicks(d->searchEdit(), QStringLiteral("ja"));
            QTest::keyClick(d->searchEdit(), Qt::Key_Return);
        });
        {
            LookupDialog dialog(&s.source, QStringLiteral("Serviço|Nenhum serviço."), QString(), &main);
            QCOMPARE(dialog.table()->columnCount(), 2); // hidden fields are not offered
            QCOMPARE(dialog.table()->horizontalHeaderItem(0)->text(), QStringLiteral("Serviço"));
            QVERIFY(dialog.run());
        }
        QCOMPARE(s.current(), QStringLiteral("00002"));

        // Down then Enter from the search box; Esc cancels and leaves the current row alone.
        whenDialogUp([](QWidget* dialog) {
            auto* d = qobject_cast<LookupDialog*>(dialog);
            QTest::keyClick(d->searchEdit(), Qt::Key_Down);
            QTest::keyClick(d->searchEdit(), Qt::Key_Down);
            QTest::keyClick(d->searchEdit(), Qt::Key_Enter);
        });
        {
            LookupDialog dialog(&s.source, QStringLiteral("Serviço"), QString(), &main);
            QVERIFY(dialog.run());
        }
        QCOMPARE(s.current(), QStringLiteral("00003"));
        whenDialogUp([](QWidget* dialog) {
            QTest::keyClick(qobject_cast<LookupDialog*>(dialog)->searchEdit(), Qt::Key_Escape);
        });
        {
            LookupDialog dialog(&s.source, QStringLiteral("Serviço"), QString(), &main);
            QVERIFY(!dialog.run());
        }
        QCOMPARE(s.current(), QStringLiteral("00003"));
    }

    // Typing matches any shown column, accents and case aside; the label says what is matched and
    // how many rows hold it; Enter picks the first of them, and nothing when none does.
    void lookupSearchesEveryShownColumn_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("matches");
        QTest::addColumn<QString>("picked");
        QTest::newRow("part of a name") << "ant" << 1 << "00002";
        QTest::newRow("accents and case aside") << "ALMOCO" << 1 << "00001";
        QTest::newRow("accented typing, plain name") << "cêia" << 1 << "00003";
        QTest::newRow("part of a code") << "04" << 1 << "00004";
        QTest::newRow("several rows") << "a" << 3 << "00001";
        QTest::newRow("a hidden column is not searched") << "7" << 0 << "";
        QTest::newRow("nothing matches") << "xyz" << 0 << "";
    }
    void lookupSearchesEveryShownColumn() {
        QFETCH(QString, typed);
        QFETCH(int, matches);
        QFETCH(QString, picked);
        Services s(4);
        s.set.Last();
        s.set.Edit();
        s.set.FieldByName(QStringLiteral("NRORDEM"))->SetAsFloat(7);
        s.set.Post();
        s.set.SetRecNo(4);
        QWidget main;
        QVERIFY(ShowActive(&main));
        int seen = -1;
        QString status;
        whenDialogUp([&](QWidget* dialog) {
            auto* d = qobject_cast<LookupDialog*>(dialog);
            // Typed on the list (it goes to the search box), accented letters included.
            for (QChar ch : typed) {
                QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
                QApplication::sendEvent(d->table(), &press);
            }
            seen = d->matchCount();
            status = d->searchStatus()->text();
            QTest::keyClick(d->searchEdit(), Qt::Key_Return);
            if (d->isVisible()) QTest::keyClick(d->searchEdit(), Qt::Key_Escape);
        });
        LookupDialog dialog(&s.source, QStringLiteral("Serviço"), QString(), &main);
        QCOMPARE(dialog.run(), !picked.isEmpty());
        QCOMPARE(seen, matches);
        QVERIFY2(status.contains(typed), qPrintable(status));
        if (matches > 0)
            QVERIFY2(status.contains(QStringLiteral("%1 de 4").arg(matches)), qPrintable(status));
        QCOMPARE(s.current(), picked.isEmpty() ? QStringLiteral("00004") : picked);
    }

    void listDialogTicksWithSpace() {
        Services s(4);
        QWidget main;
        QVERIFY(ShowActive(&main));
        whenDialogUp([](QWidget* dialog) {
            auto* d = qobject_cast<LookupDialog*>(dialog);
            QTest::keyClick(d->table(), Qt::Key_Space); // row 1: was ticked, now not
            QTest::keyClick(d->table(), Qt::Key_Down);
            QTest::keyClick(d->table(), Qt::Key_Down);
            QTest::keyClick(d->table(), Qt::Key_Space); // row 3 ticked
            QTest::keyClick(d->table(), Qt::Key_Return);
        });
        LookupDialog dialog(&s.source, QStringLiteral("Serviços"), QStringLiteral("CDSERVFILI"), &main);
        dialog.setSelection(QStringLiteral("_00001_00004"));
        QVERIFY(dialog.run());
        QCOMPARE(dialog.selection(), QStringLiteral("_00003_00004"));

        // None, then a row found by typing its name: Space ticks the found row, not the first.
        whenDialogUp([](QWidget* dialog) {
            auto* d = qobject_cast<LookupDialog*>(dialog);
            QTest::keyClick(d->table(), Qt::Key_D, Qt::AltModifier);
            QTest::keyClicks(d->table(), QStringLiteral("ce"));
            QTest::keyClick(d->searchEdit(), Qt::Key_Space);
            QTest::keyClick(d->searchEdit(), Qt::Key_Return);
        });
        QVERIFY(dialog.run());
        QCOMPARE(dialog.selection(), QStringLiteral("_00003"));

        // All, from the search box; Esc afterwards gives up the change.
        whenDialogUp([](QWidget* dialog) {
            auto* d = qobject_cast<LookupDialog*>(dialog);
            QTest::keyClick(d->searchEdit(), Qt::Key_M, Qt::AltModifier);
            QCOMPARE(d->selection(), QStringLiteral("_00001_00002_00003_00004"));
            QTest::keyClick(d->searchEdit(), Qt::Key_Escape);
        });
        QVERIFY(!dialog.run());
        QVERIFY(dialog.tickAllButton() && dialog.tickNoneButton());
    }

    void emptyListShowsItsText() {
        Services s(0);
        LookupDialog dialog(
            &s.source, QStringLiteral("Serviço|Não há serviço hospitalar cadastrado para filial informada."),
            QString());
        QVERIFY(!dialog.table());
        const auto labels = dialog.findChildren<QLabel*>();
        QVERIFY(std::any_of(labels.begin(), labels.end(), [](QLabel* l) {
            return l->text() == QStringLiteral("Não há serviço hospitalar cadastrado para filial informada.");
        }));
        whenDialogUp([](QWidget* d) { QTest::keyClick(d, Qt::Key_Escape); });
        QVERIFY(!dialog.run());
    }

    void scriptedListsKeepListOrderAndCancel() {
        TestHostUi ui;
        Services s(4);
        QString selection = QStringLiteral("_00004");
        ui.Tick({"00003", "00001"});
        QVERIFY(PesquisaLista(&s.source, QStringLiteral("CDSERVFILI"), QStringLiteral("Serviço|vazio"), false,
                              selection));
        QCOMPARE(selection, QStringLiteral("_00001_00003"));
        ui.Toggle({"00001", "00002"});
        QVERIFY(PesquisaLista(&s.source, QStringLiteral("CDSERVFILI"), QStringLiteral("Serviço"), false,
                              selection));
        QCOMPARE(selection, QStringLiteral("_00002_00003"));
        ui.CancelLookup();
        QVERIFY(!PesquisaLista(&s.source, QStringLiteral("CDSERVFILI"), QStringLiteral("Serviço"), false,
                               selection));
        QCOMPARE(selection, QStringLiteral("_00002_00003"));
        ui.PickRow(3);
        QVERIFY(Pesquisar(&s.source, QStringLiteral("Serviço"), false, true));
        QCOMPARE(s.current(), QStringLiteral("00004"));
        ui.PickRow(9); // beyond the list: nothing picked, current row kept
        QVERIFY(!Pesquisar(&s.source, QStringLiteral("Serviço"), false, true));
        QCOMPARE(s.current(), QStringLiteral("00004"));
        QCOMPARE(ui.Log(), QStringList({"list Serviço: _00004 -> _00001_00003",
                                        "list Serviço: _00001_00003 -> _00002_00003",
                                        "list Serviço: _00002_00003 -> _00002_00003",
                                        "lookup Serviço: 4 rows -> 3", "lookup Serviço: 4 rows -> -1"}));
        // A standing answer serves lookups without queued answers.
        ui.SetLookupAnswer([](TDataSource*, const QString& caption) {
            return caption == QStringLiteral("Serviço") ? 1 : -1;
        });
        QVERIFY(Pesquisar(&s.source, QStringLiteral("Serviço"), false, true));
        QCOMPARE(s.current(), QStringLiteral("00002"));
        QVERIFY(!Pesquisar(&s.source, QStringLiteral("Outro"), false, true));
        ui.SetLookupAnswer(nullptr);
        // Unscripted: the test hears of it rather than hanging on a dialog.
        QVERIFY_THROWS_EXCEPTION(Exception, Pesquisar(&s.source, QStringLiteral("Serviço"), false, true));
        QCOMPARE(ui.Unanswered().size(), 1);
    }
};

QTEST_MAIN(TestHostUiWindows)
#include "tst_hostui.moc"
