// The module as the host sees it: loaded by file name through the host's loader, its units set up
// and torn down in order, and the headcount screen's lifecycle against a real application server.

#include "ModuleLoader.h"

#include "headcount/TfrmMediEfetDiet.h"
#include "host/Application.h"
#include "host/Balvora.h"
#include "host/dtmDBGeral.h"
#include "server/AppServer.h"
#include "server/Database.h"
#include "server/DemoData.h"
#include "server/Schema.h"
#include "tests/support/StubHostUi.h"
#include "widgets/Dispatch.h"
#include "widgets/HostUi.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

namespace {

// Records what the module would have shown and checks that progress windows balance.
class RecordingUi : public kvo::test::StubHostUi {
public:
    QStringList errors, messages;
    QList<int> aviKinds;
    QList<bool> hourglassAtAvi;
    int depth = 0;

    void ShowError(const QString& text) override { errors << text; }
    int ShowMessage(const QString& text, int, int) override {
        messages << text;
        return kvo::mrOk;
    }
    void ActiveShowAvi(QWidget*, int kind, const QString&) override {
        aviKinds << kind;
        const QCursor* c = QGuiApplication::overrideCursor();
        hourglassAtAvi << (c && c->shape() == Qt::WaitCursor);
        ++depth;
    }
    void DeactiveShowAvi() override { --depth; }
};

QString modulePath() {
    return qEnvironmentVariable("KVO_BIN_DIR") + QLatin1Char('/') +
           QLatin1String(kvo::package::kModuleFileName);
}

void settle() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

} // namespace

class TestModule : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<kvo::server::AppServer> m_server;
    int m_port = 0;
    RecordingUi m_ui;
    kvo::HostUi* m_previousUi = nullptr;
    std::unique_ptr<QMainWindow> m_main;
    QMdiArea* m_mdi = nullptr;
    TModuleLoader m_loader;

    template <typename T> T& var(const char* name) {
        void* p = m_loader.Resolve(name);
        if (!p) qFatal("module symbol %s not found", name);
        return *static_cast<T*>(p);
    }
    TfrmMediEfetDiet* screen() { return var<TfrmMediEfetDiet*>("frmMediEfetDiet"); }
    bool telaCriada() { return var<bool>("blTelaCriada"); }

    void login(int port) {
        Balvora::TLogin l;
        l.filial = QStringLiteral("0001");
        l.operador = QStringLiteral("DEMO");
        l.webUrl = QStringLiteral("127.0.0.1");
        l.webPort = port;
        l.token = QStringLiteral("module-test-token");
        Balvora::SetLogin(l);
    }

    // A privileged port nobody listens on in a test run.
    static int closedPort() { return 1; }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        const QString db = QStringLiteral("sqlite:") + m_dir.filePath("suite.db");
        {
            QSqlDatabase c = kvo::server::openDatabase(kvo::server::DbSpec::parse(db), "migrate");
            kvo::server::Schema::migrate(c);
            kvo::server::seedDemo(c);
            c.close();
        }
        QSqlDatabase::removeDatabase("migrate");
        kvo::server::ServerOptions o;
        o.database = db;
        o.token = "module-test-token";
        o.workers = 2;
        o.logRequests = false;
        m_server = std::make_unique<kvo::server::AppServer>(o);
        m_port = m_server->start();
        login(m_port);
        dtmDBGeral::TDatabaseConfig shared;
        shared.database = m_dir.filePath("suite.db");
        dtmDBGeral::Open(shared);

        m_previousUi = kvo::SetUi(&m_ui);
        m_main = std::make_unique<QMainWindow>();
        m_mdi = new QMdiArea;
        m_main->setCentralWidget(m_mdi);
        m_main->show();
        kvo::Application().SetMainForm(m_main.get());
        kvo::Application().SetMdiArea(m_mdi);

        m_loader.Load(modulePath());
        QVERIFY(m_loader.Loaded());
    }

    void cleanupTestCase() {
        kvo::Application().ReleaseScreens();
        m_loader.Unload();
        QVERIFY(!m_loader.Loaded());
        kvo::Application().SetMdiArea(nullptr);
        kvo::Application().SetMainForm(nullptr);
        m_main.reset();
        kvo::SetUi(m_previousUi);
        m_server.reset();
        dtmDBGeral::Close();
    }

    void init() {
        m_ui = RecordingUi();
        login(m_port);
    }

    void cleanup() {
        kvo::Application().ReleaseScreens();
        settle();
        QCOMPARE(m_ui.depth, 0); // every progress window opened was closed
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    void loaderRefusesWhatIsNotTheModule() {
        TModuleLoader other;
        try {
            other.Load(m_dir.filePath("absent.so"));
            QFAIL("loaded a missing file");
        } catch (const Exception& e) {
            QVERIFY2(e.Message().contains("absent.so"), qPrintable(e.Message()));
        }
        // A real library without the module's entries.
        const QString framework = qEnvironmentVariable("KVO_BIN_DIR") + QStringLiteral("/libkvoframework.so");
        QVERIFY_THROWS_EXCEPTION(Exception, other.Load(framework));
        QVERIFY(!other.Loaded());
        QVERIFY_THROWS_EXCEPTION(Exception, other.IniProc());
    }

    // The host reaches the module by plain names only; anything else of the module stays hidden.
    void exportsThePlainContract_data() {
        QTest::addColumn<QByteArray>("symbol");
        QTest::addColumn<bool>("exported");
        for (const char* entry :
             {kvo::package::kGetPackageInfoTable, kvo::package::kInitialize, kvo::package::kFinalize,
              kvo::package::kIniProc, kvo::package::kCriaMedEfetiv, kvo::package::kCriaListEfetDiet,
              kvo::package::kCriaCalcComensais})
            QTest::newRow(entry) << QByteArray(entry) << true;
        for (const char* variable : {"frmMediEfetDiet", "frmListEfetDiet", "frmCalcComensais", "stListaServ",
                                     "stServico", "blTelaCriada", "blReageEstado"})
            QTest::newRow(variable) << QByteArray(variable) << true;
        // A creator under its C++ name, a unit counter, a unit body: internal to the module.
        QTest::newRow("mangled creator") << QByteArray("_Z13CriaMedEfetivv") << false;
        QTest::newRow("unit counter") << QByteArray("_ZN3kvo6module9unit01000E") << false;
        QTest::newRow("unit body") << QByteArray("_ZN12Cli_kvo0100014InitializationEv") << false;
    }

    void exportsThePlainContract() {
        QFETCH(QByteArray, symbol);
        QFETCH(bool, exported);
        QCOMPARE(m_loader.Resolve(symbol.constData()) != nullptr, exported);
    }

    void unitsSetUpAndTornDownInOrder() {
        const TPackageInfoTable* t = m_loader.PackageInfo();
        QVERIFY(t);
        QStringList required;
        for (int i = 0; i < t->requiresCount; ++i)
            required << QString::fromLatin1(t->requiredPackages[i]);
        QCOMPARE(required, (QStringList{"_bal", "_rtl", "_qr", "_lib", "_ger", "_frm", "_db", "_vcl"}));
        QCOMPARE(t->unitCount, 3);
        QCOMPARE(QString(t->units[0].name), QString("Cli_kvo01001"));
        QCOMPARE(QString(t->units[1].name), QString("Cli_kvo01002"));
        QCOMPARE(QString(t->units[2].name), QString("Cli_kvo01000"));
        for (int i = 0; i < 3; ++i)
            QCOMPARE(*t->units[i].initCount, 1);
        QVERIFY(*t->units[0].initStamp < *t->units[1].initStamp);
        QVERIFY(*t->units[1].initStamp < *t->units[2].initStamp);
        QVERIFY(!telaCriada());
        QVERIFY(var<bool>("blReageEstado"));
        QVERIFY(var<QString>("stListaServ").isEmpty());
        QVERIFY(var<QString>("stServico").isEmpty());

        auto initialize = reinterpret_cast<kvo::package::TEntry>(m_loader.Resolve(kvo::package::kInitialize));
        auto finalize = reinterpret_cast<kvo::package::TEntry>(m_loader.Resolve(kvo::package::kFinalize));
        var<QString>("stListaServ") = "_00001";
        var<QString>("stServico") = "_00002";
        var<bool>("blReageEstado") = false;

        // Asked again: the counters go up, the bodies do not run a second time.
        const int stamp = *t->units[2].initStamp;
        initialize();
        QCOMPARE(*t->units[0].initCount, 2);
        QCOMPARE(*t->units[2].initStamp, stamp);
        QVERIFY(!var<bool>("blReageEstado"));
        // The first tear-down only counts down.
        finalize();
        QCOMPARE(var<QString>("stServico"), QString("_00002"));
        // The last one runs the bodies, in reverse order.
        finalize();
        QVERIFY(var<QString>("stListaServ").isEmpty());
        QVERIFY(var<QString>("stServico").isEmpty());
        QVERIFY(*t->units[2].finalStamp < *t->units[1].finalStamp);
        QVERIFY(*t->units[1].finalStamp < *t->units[0].finalStamp);
        QVERIFY(*t->units[2].finalStamp > *t->units[2].initStamp);
        // A stray tear-down undoes nothing.
        finalize();
        QCOMPARE(*t->units[0].initCount, 0);

        initialize();
        QVERIFY(var<bool>("blReageEstado"));
        QVERIFY(!telaCriada());
    }

    void iniProcTwiceShowsOneScreen() {
        m_loader.IniProc();
        QPointer<TfrmMediEfetDiet> first = screen();
        QVERIFY(first);
        QVERIFY(telaCriada());
        QCOMPARE(first->Caption(), QString("Efetivos"));
        QCOMPARE(first->ScreenCode(), QString("KVO01000"));
        QCOMPARE(first->HelpContext, 12001000);
        QCOMPARE(first->HelpFile, QString("KvoHelp.hlp"));
        // A child window of the main window, connected under the connecting animation with the
        // hourglass up.
        auto* sub = qobject_cast<QMdiSubWindow*>(first->parentWidget());
        QVERIFY(sub);
        QCOMPARE(sub->mdiArea(), m_mdi);
        QVERIFY(!m_ui.aviKinds.isEmpty());
        QCOMPARE(m_ui.aviKinds.first(), int(kvo::aviConnecting));
        QCOMPARE(m_ui.hourglassAtAvi.first(), true);
        QVERIFY(first->netEfetivos->Connected());
        QCOMPARE(first->netEfetivos->Port, m_port);
        QCOMPARE(first->netEfetivos->Host, QString("127.0.0.1"));
        QCOMPARE(first->netEfetivos->ServerName, QString("Kvo01000.rdmMedEfetDiet"));
        // Becoming the active child ran the first activation.
        QVERIFY(!first->PrimeiraAtivacaoPendente());
        QVERIFY2(m_ui.errors.isEmpty(), qPrintable(m_ui.errors.join('\n')));

        const int avis = m_ui.aviKinds.size();
        sub->showMinimized();
        QVERIFY(sub->isMinimized());
        m_loader.IniProc();
        QCOMPARE(screen(), first.data());
        QCOMPARE(kvo::Application().ScreenCount(), 1);
        QVERIFY(!sub->isMinimized());
        QCOMPARE(m_mdi->activeSubWindow(), sub);
        QCOMPARE(m_ui.aviKinds.size(), avis); // nothing connected or loaded again
    }

    void closeAndIniProcGivesAFreshInstance() {
        m_loader.IniProc();
        QPointer<TfrmMediEfetDiet> first = screen();
        QPointer<TNetConnection> firstConnection = first->netEfetivos;
        QVERIFY(!first->PrimeiraAtivacaoPendente());
        const int connects = int(m_ui.aviKinds.count(kvo::aviConnecting));

        QVERIFY(first->close());
        QVERIFY(!telaCriada());
        QVERIFY(!firstConnection->Connected());
        settle();
        QVERIFY(!first); // the instance ended, and its frame with it
        QVERIFY(m_mdi->subWindowList().isEmpty());
        QVERIFY(!screen());

        m_loader.IniProc();
        QVERIFY(screen());
        QVERIFY(telaCriada());
        QVERIFY(!firstConnection);
        QVERIFY(screen()->netEfetivos->Connected());
        QCOMPARE(int(m_ui.aviKinds.count(kvo::aviConnecting)), connects + 1);
        QVERIFY(!screen()->PrimeiraAtivacaoPendente()); // the first activation ran again
        QVERIFY2(m_ui.errors.isEmpty(), qPrintable(m_ui.errors.join('\n')));
    }

    void failedCreationIsRetried() {
        login(closedPort());
        QVERIFY_THROWS_EXCEPTION(Exception, m_loader.IniProc());
        QVERIFY(!telaCriada());
        QVERIFY(!screen());
        QCOMPARE(kvo::Application().ScreenCount(), 0);
        QVERIFY(m_mdi->subWindowList().isEmpty());
        QCOMPARE(m_ui.depth, 0);
        QVERIFY(!QGuiApplication::overrideCursor());

        login(m_port);
        m_loader.IniProc();
        QVERIFY(telaCriada());
        QVERIFY(screen()->netEfetivos->Connected());
    }

    void wrongTokenFailsCreation() {
        Balvora::TLogin l = Balvora::Login();
        l.token = QStringLiteral("not-the-token");
        Balvora::SetLogin(l);
        QVERIFY_THROWS_EXCEPTION(Exception, m_loader.IniProc());
        QVERIFY(!telaCriada());
    }

    // Listing and calculation: a new modal instance per call, gone once the call returns.
    void modalScreens() {
        auto criaList =
            reinterpret_cast<kvo::package::TEntry>(m_loader.Resolve(kvo::package::kCriaListEfetDiet));
        auto criaCalc =
            reinterpret_cast<kvo::package::TEntry>(m_loader.Resolve(kvo::package::kCriaCalcComensais));
        QVERIFY(criaList && criaCalc);

        // The calculation works on the headcount screen; without it there is nothing to calculate.
        QVERIFY_THROWS_EXCEPTION(Exception, criaCalc());
        QVERIFY(!var<QWidget*>("frmCalcComensais"));

        struct Seen {
            QString caption, code;
            bool modal = false;
        };
        auto closeWhenShown = [](const char* variable, TModuleLoader& loader, Seen& seen) {
            QTimer::singleShot(0, [variable, &loader, &seen] {
                auto* form = *static_cast<TForm**>(loader.Resolve(variable));
                if (!form) return;
                seen.caption = form->Caption();
                seen.code = form->findChild<QLabel*>("lblCodTela")->text();
                seen.modal = form->isModal() && form->isVisible();
                form->Close();
            });
        };

        QPointer<QWidget> last;
        for (int round = 0; round < 2; ++round) {
            Seen seen;
            closeWhenShown("frmListEfetDiet", m_loader, seen);
            criaList();
            QCOMPARE(seen.caption, QString("Efetivos"));
            QCOMPARE(seen.code, QString("KVO01001"));
            QVERIFY(seen.modal);
            QVERIFY(!var<QWidget*>("frmListEfetDiet"));
        }

        m_loader.IniProc();
        Seen seen;
        closeWhenShown("frmCalcComensais", m_loader, seen);
        criaCalc();
        QCOMPARE(seen.caption, QString("Calcular Comensais"));
        QCOMPARE(seen.code, QString("KVO01002"));
        QVERIFY(seen.modal);
        QVERIFY(!var<QWidget*>("frmCalcComensais"));
        QVERIFY(telaCriada()); // the headcount screen is untouched
    }

    // The host releases what is still alive when it ends; the module must not keep pointing at it.
    void releasedByTheHost() {
        m_loader.IniProc();
        QVERIFY(telaCriada());
        kvo::Application().ReleaseScreens();
        QVERIFY(!screen());
        QVERIFY(!telaCriada());
        m_loader.IniProc();
        QVERIFY(screen());
    }
};

QTEST_MAIN(TestModule)
#include "tst_module.moc"
