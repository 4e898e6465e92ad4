// The headcount screen on a large day (60 services x 40 diets) over the in-process server on
// loopback, beside the bare server calls each journey makes, measured in the same run:
//   (a) one diet row saved: from the Confirm click (post, SetCardadia, the verify reload) until
//       the grid shows the saved row; bare: SetCardadia of that change, GetCardServ. Typing the
//       count and leaving the cell (synthesized keys, the cell editor, the column's checks) makes
//       no server call, so it is timed on its own line, and the whole journey on a third;
//   (b) the day loaded from leaving the header until both grids are filled; bare: the same
//       GetParamPlaneja, GetCardadia, GetCardServ and the service grid's GetCardadia.
// Bare calls go through the same connection class and decode their packets, as any client must.
// Each line is printed twice: wall time, and the process's CPU time (the in-process server's threads
// included), which a busy shared machine stretches far less.
// Arguments: --quick (fewer rounds); anything else is ignored.
#include "BenchTarget.h"
#include "HeadcountFixture.h"

#include "Fixture.h"

#include "appserver/TNetConnection.h"
#include "headcount/TfrmMediEfetDiet.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kServices = 60, kDiets = 40;
const QDate kDay(2026, 12, 2);

double median(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

void seedLargeDay(HeadcountFixture& fx) {
    fx.sql(QStringLiteral("BEGIN"));
    for (int k = 0; k < kDiets; ++k)
        fx.sql(QStringLiteral("INSERT INTO DIETPADR VALUES ('L%1', 'Dieta de carga', 'S')")
                   .arg(k, 3, 10, QLatin1Char('0')));
    for (int s = 0; s < kServices; ++s) {
        const QString svc = QStringLiteral("S%1").arg(s, 4, 10, QLatin1Char('0'));
        fx.sql(QStringLiteral("INSERT INTO SERVICO VALUES ('0001', '%1', 'Serviço de carga', 'D')").arg(svc));
        for (int k = 0; k < kDiets; ++k) {
            const QString diet = QStringLiteral("L%1").arg(k, 3, 10, QLatin1Char('0'));
            fx.sql(QStringLiteral("INSERT INTO DIETSERV VALUES ('0001', '%1', '%2')").arg(svc, diet));
            fx.sql(QStringLiteral(
                       "INSERT INTO CARDADIA (CDFILIAL, DTCARDAPIO, CDSERVFILI, CDDIETPAD, NRCARDAPIO,"
                       " DTMESCARD, QTCOMEFETCAR, QTCLIEFETCAR, QTFUNEFETCAR, QTDOAEFETCAR, QTCOMESTICAR,"
                       " QTCLIESTICAR, QTFUNESTICAR, QTDOAESTICAR, QTCOMEFETRI, QTCOMEFETSL, CDOPERADOR)"
                       " VALUES ('0001', '2026-12-02', '%1', '%2', '0000000201', '2026-12-01', 6, 3, 2,"
                       " 1, 6, 3, 2, 1, 6, 6, 'ADM')")
                       .arg(svc, diet));
        }
    }
    fx.sql(QStringLiteral("COMMIT"));
}

// A change log moving one row's client count from `from` to `to`, as the screen would send it.
TChangeLog oneRow(const TDataPacket& day, int row, double from, double to) {
    TChangeLog log;
    log.fields = day.fields;
    const int cli = day.FieldIndex("QTCLIEFETCAR");
    const int tot = day.FieldIndex("QTCOMEFETCAR"), ri = day.FieldIndex("QTCOMEFETRI"),
              sl = day.FieldIndex("QTCOMEFETSL");
    TChange c;
    c.op = TChange::Modify;
    c.oldValues = day.rows[row];
    for (int i : {cli})
        c.oldValues[i] = from;
    for (int i : {tot, ri, sl})
        c.oldValues[i] = from + 3;
    c.newValues = c.oldValues;
    c.newValues[cli] = to;
    for (int i : {tot, ri, sl})
        c.newValues[i] = to + 3;
    log.changes << c;
    return log;
}

// The screen's median beside the bare calls' median, against the 1.5x the screen may add.
struct Clock {
    QElapsedTimer wall;
    double cpu0 = 0;
    Clock() { restart(); }
    void restart() {
        wall.start();
        cpu0 = kvo::bench::cpuNowUs();
    }
    double wallMs() const { return double(wall.nsecsElapsed()) / 1e6; }
    double cpuMs() const { return (kvo::bench::cpuNowUs() - cpu0) / 1e3; }
};

struct Samples {
    std::vector<double> wall, cpu;
    void add(const Clock& c) {
        wall.push_back(c.wallMs());
        cpu.push_back(c.cpuMs());
    }
};

void report(const char* what, const Samples& screen, const Samples& bare) {
    kvo::bench::target((std::string(what) + ", wall").c_str(), median(screen.wall), median(bare.wall), 1.5,
                       "ms");
    kvo::bench::target((std::string(what) + ", cpu").c_str(), median(screen.cpu), median(bare.cpu), 1.5,
                       "ms");
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    const int rounds = quick ? 5 : 21;

    HeadcountFixture fx;
    seedLargeDay(fx);
    TfrmMediEfetDiet* f = fx.open();
    f->netEfetivos->Port = fx.serverPort(); // no recording hop in the measurement

    TNetConnection net;
    net.Port = fx.serverPort();
    net.Token = QStringLiteral("test-token");
    const QString branch = QStringLiteral("0001");

    // (b) the day loaded from leaving the header.
    Samples loadScreen, loadBare;
    for (int i = 0; i < rounds; ++i) {
        fx.click(f->depCardapio);
        f->depCardapio->SetDate(kDay);
        Clock t;
        fx.click(f->dbgCardServ);
        loadScreen.add(t);
        if (f->cdsCardServ->RecordCount() != kServices || f->cdsCardadia->RecordCount() != kDiets) {
            std::fprintf(stderr, "the day did not load: %d services, %d diets shown\n",
                         f->cdsCardServ->RecordCount(), f->cdsCardadia->RecordCount());
            return 1;
        }
        t.restart();
        net.Call(QStringLiteral("GetParamPlaneja"), {branch}).AsPacket();
        net.Call(QStringLiteral("GetCardadia"), {branch, kDay}).AsPair();
        net.Call(QStringLiteral("GetCardServ"), {branch, kDay}).AsPacket();
        net.Call(QStringLiteral("GetCardadia"), {branch, kDay}).AsPair();
        loadBare.add(t);
    }

    // (a) one row typed and confirmed; the bare save works on the day's last row.
    fx.click(f->dbgPadrao);
    f->cdsCardadia->First();
    f->dbgPadrao->SetSelectedIndex(2);
    QTest::qWait(0);
    const TDataPacket day = net.Call(QStringLiteral("GetCardadia"), {branch, kDay}).AsPair().first;
    const int last = int(day.rows.size()) - 1;
    double bareValue = 3;
    std::vector<double> typeScreen;
    Samples saveScreen, journeyScreen, saveBare;
    for (int i = 0; i < rounds; ++i) {
        const QString value = QString::number(10 + i);
        Clock journey;
        for (QChar ch : value)
            kvo::test::Type(QString(ch));
        kvo::test::Press(Qt::Key_Tab);
        typeScreen.push_back(journey.wallMs());
        Clock t;
        kvo::test::ClickButton(f->sbtConfirmar);
        saveScreen.add(t);
        journeyScreen.add(journey);
        if (f->cdsCardadia->ChangeCount() != 0 || f->dbgPadrao->CellText(0, 2) != value ||
            !fx.ui.Errors().isEmpty()) {
            std::fprintf(stderr, "the row was not saved (%s)\n",
                         qPrintable(fx.ui.Errors().join(QLatin1String("; "))));
            return 1;
        }
        f->dbgPadrao->SetSelectedIndex(2);

        const TChangeLog log = oneRow(day, last, bareValue, bareValue + 1);
        bareValue += 1;
        t.restart();
        const QString answer = net.Call(QStringLiteral("SetCardadia"), {QVariant::fromValue(log)}).AsString();
        net.Call(QStringLiteral("GetCardServ"), {branch, kDay}).AsPacket();
        saveBare.add(t);
        if (!answer.isEmpty() && answer.size() != 10) {
            std::fprintf(stderr, "bare save refused: %s\n", qPrintable(answer));
            return 1;
        }
    }

    std::printf("headcount screen, %d services x %d diets, SQLite, loopback, %d rounds\n", kServices, kDiets,
                rounds);
    report("headcount (a) one row saved from Confirm", saveScreen, saveBare);
    std::printf("headcount (a) its count typed and the cell left: %.2f ms (no server call)\n",
                median(typeScreen));
    // Typing has no server call to stand beside it: the whole journey is shown, not judged.
    std::printf("headcount (a) typed and saved, whole journey: %.2f ms wall, %.2f ms cpu, %.2fx its bare "
                "calls (no target)\n",
                median(journeyScreen.wall), median(journeyScreen.cpu),
                median(journeyScreen.wall) / median(saveBare.wall));
    report("headcount (b) day loaded on leaving the header", loadScreen, loadBare);
    return 0;
}
