// Handler code never runs in the middle of a server call: what arrives while a call waits for its
// answer (timers, queued calls, focus changes) is kept by kind and runs after it, in order.

#include "Fixture.h"
#include "appserver/TNetConnection.h"
#include "widgets/Dispatch.h"
#include "widgets/StdControls.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPaintEvent>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

using namespace kvo::test;

namespace {

// A loopback JSON-RPC server in this thread that answers every request after `delayMs`
// (never, when negative), so the caller's nested loop runs meanwhile.
class SlowServer : public QObject {
public:
    explicit SlowServer(int delayMs) : m_delay(delayMs) {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = m_server.nextPendingConnection())
                connect(s, &QTcpSocket::readyRead, s, [this, s] { read(s); });
        });
    }
    int port() const { return m_server.serverPort(); }
    std::function<void()> OnAnswer; // runs inside the call, just before the answer goes out

private:
    void read(QTcpSocket* s) {
        QByteArray& buffer = m_buffers[s];
        buffer += s->readAll();
        const int end = buffer.indexOf("\r\n\r\n");
        if (end < 0) return;
        const QByteArray head = buffer.left(end).toLower();
        const int at = head.indexOf("content-length:");
        const int length =
            at < 0 ? 0 : head.mid(at + 15, head.indexOf("\r\n", at) - at - 15).trimmed().toInt();
        if (buffer.size() < end + 4 + length) return;
        const QJsonObject request = QJsonDocument::fromJson(buffer.mid(end + 4, length)).object();
        buffer.clear();
        if (m_delay < 0) return;
        QTimer::singleShot(m_delay, s, [this, s, id = request.value("id")] {
            if (OnAnswer) OnAnswer();
            const QByteArray body =
                QJsonDocument(QJsonObject{{"jsonrpc", "2.0"}, {"id", id}, {"result", true}}).toJson();
            s->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
                     QByteArray::number(body.size()) + "\r\n\r\n" + body);
            s->flush();
        });
    }

    QTcpServer m_server;
    QHash<QTcpSocket*, QByteArray> m_buffers;
    int m_delay;
};

std::unique_ptr<TNetConnection> connectionTo(int port, int timeoutMs) {
    auto c = std::make_unique<TNetConnection>();
    c->Host = QStringLiteral("127.0.0.1");
    c->Port = port;
    c->Token = QStringLiteral("t");
    c->Timeout = timeoutMs;
    return c;
}

struct TwoEdits {
    TForm form;
    TEdit* edA;
    TEdit* edB;
    QStringList trace;

    TwoEdits() {
        auto* layout = new QVBoxLayout(&form);
        edA = new TEdit(&form);
        edB = new TEdit(&form);
        layout->addWidget(edA);
        layout->addWidget(edB);
        for (auto [edit, name] : {std::pair{edA, "A"}, std::pair{edB, "B"}}) {
            const QString n = QString::fromLatin1(name);
            edit->OnEnter = [this, n](QObject*) { trace << "enter " + n; };
            edit->OnExit = [this, n](QObject*) { trace << "exit " + n; };
        }
    }
};

QString failureOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Exception& e) {
        return e.Message();
    }
    return QStringLiteral("<no exception>");
}

} // namespace

class TestReentry : public QObject {
    Q_OBJECT

private slots:
    // The rule on its own: kind by kind, with a call in flight marked by hand.
    void keptEntriesFollowTheirKind() {
        TestHostUi ui;
        QStringList ran;
        auto owner = std::make_unique<QObject>();
        QObject other;
        {
            kvo::TServerCallScope call;
            QVERIFY(kvo::ServerCallInFlight());
            QVERIFY(!kvo::Dispatch([&] { ran << "queued 1"; }));
            QVERIFY(!kvo::Dispatch([&] { ran << "tick 1"; }, {kvo::Pending::Latest, &other, "tick"}));
            QVERIFY(!kvo::Dispatch([&] { ran << "key"; }, {kvo::Pending::Drop}));
            QVERIFY(!kvo::Dispatch([&] { ran << "owned"; }, {.owner = owner.get()}));
            kvo::Dispatch([&] {
                ran << "failing";
                throw Exception(QStringLiteral("Falhou depois da chamada."));
            });
            kvo::Dispatch([&] { ran << "queued 2"; });
            kvo::Dispatch([&] { ran << "tick 2"; }, {kvo::Pending::Latest, &other, "tick"});
            kvo::Dispatch([&] { ran << "other kind"; }, {kvo::Pending::Latest, &other, "show"});
            owner.reset();
        }
        QVERIFY(!kvo::ServerCallInFlight());
        QCOMPARE(ran, QStringList()); // they run from the event loop, not where the call returns
        Settle();
        QCOMPARE(ran, (QStringList{"queued 1", "failing", "queued 2", "tick 2", "other kind"}));
        QCOMPARE(ui.Errors(), QStringList{"Falhou depois da chamada."});
    }

    // A window repaints after a short call rather than inside it, and during a long one anyway.
    void repaintsWaitForAShortCallNotForALongOne() {
        struct Counted : QWidget {
            int paints = 0;
            void paintEvent(QPaintEvent*) override { ++paints; }
        } w;
        w.resize(80, 40);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        Settle();
        w.paints = 0;
        {
            kvo::TServerCallScope call;
            w.update();
            QCoreApplication::processEvents();
            QCOMPARE(w.paints, 0);
        }
        Settle();
        QCOMPARE(w.paints, 1);
        kvo::TServerCallScope call;
        w.update();
        QTRY_COMPARE(w.paints, 2);
    }

    // A call made by a handler: what was kept waits for that handler to finish; a handler it
    // fires itself runs at once; an entry from the event loop comes after the kept ones.
    void keptEntriesWaitForTheHandlerThatCalled() {
        TestHostUi ui;
        QStringList ran;
        QVERIFY(kvo::Dispatch([&] {
            {
                kvo::TServerCallScope call;
                kvo::Dispatch([&] { ran << "kept"; });
            }
            QVERIFY(kvo::Dispatch([&] { ran << "fired by the handler"; }));
            QCoreApplication::processEvents(); // a nested loop of the handler's own (a dialog)
            ran << "handler ends";
        }));
        QCOMPARE(ran, (QStringList{"fired by the handler", "handler ends"}));
        QVERIFY(kvo::Dispatch([&] { ran << "next from the loop"; }));
        QCOMPARE(ran, (QStringList{"fired by the handler", "handler ends", "kept", "next from the loop"}));
        Settle();
        QCOMPARE(ran.size(), 4);
    }

    // A slow answer: a queued focus change, a queued call and a repeating timer arrive meanwhile.
    void aSlowAnswerKeepsFocusTimerAndQueuedCallsUntilItReturns() {
        TestHostUi ui;
        TwoEdits f;
        QVERIFY(ShowActive(&f.form));
        f.edA->SetFocus();
        Settle();
        f.trace.clear();

        SlowServer server(300);
        auto net = connectionTo(server.port(), 5000);
        net->Open();
        QStringList atAnswer;
        server.OnAnswer = [&] { atAnswer = f.trace; };

        QTimer tick;
        tick.setInterval(40);
        kvo::Connect(&tick, &QTimer::timeout, &f.form, [&] { f.trace << "tick"; }, {kvo::Pending::Latest});
        QTimer::singleShot(0, f.edB, [&] { f.edB->setFocus(); });
        QTimer::singleShot(20, &f.form, [&] {
            kvo::Dispatch([&] {
                f.trace << "failing";
                throw Exception(QStringLiteral("Falha adiada."));
            });
        });
        tick.start();
        QVERIFY(kvo::Dispatch([&] {
            QVERIFY(net->Call(QStringLiteral("Lento"), {}).AsBool());
            tick.stop();
            f.trace << "returned";
        }));
        QCOMPARE(atAnswer, QStringList()); // nothing ran while the call waited
        QCOMPARE(f.trace, QStringList{"returned"});
        QCOMPARE(QApplication::focusWidget(), f.edB); // Qt moved it, the focus model did not yet
        QCOMPARE(f.form.FocusedControl(), f.edA);

        Settle();
        QCOMPARE(f.trace, (QStringList{"returned", "exit A", "enter B", "failing", "tick"}));
        QCOMPARE(f.form.FocusedControl(), f.edB);
        QCOMPARE(ui.Errors(), QStringList{"Falha adiada."});
    }

    // The network stack's transfer timeout ends a call whose answer never comes; what arrived
    // meanwhile still runs afterwards.
    void aCallWithoutAnswerTimesOut() {
        TestHostUi ui;
        SlowServer server(-1);
        auto net = connectionTo(server.port(), 300);
        QStringList ran;
        QTimer::singleShot(0, [&] { kvo::Dispatch([&] { ran << "queued"; }); });
        QElapsedTimer clock;
        clock.start();
        const QString message = failureOf([&] { net->Open(); });
        QVERIFY2(
            message.startsWith(
                QStringLiteral("O servidor de aplicação 127.0.0.1:%1 não respondeu em").arg(server.port())),
            qPrintable(message));
        QVERIFY(clock.elapsed() >= 250 && clock.elapsed() < 4000);
        QVERIFY(!net->Connected());
        QCOMPARE(ran, QStringList());
        Settle();
        QCOMPARE(ran, QStringList{"queued"});
    }
};

QTEST_MAIN(TestReentry)
#include "tst_reentry.moc"
