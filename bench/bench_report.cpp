// The headcount listing of one branch over 31 days x 12 services x 30 diets, to PDF and to XLSX:
// the bare query, the report's query + layout, and each output, as medians in the same run, with
// the process's peak memory, and whether the PDF meets its target.

#include "host/dtmDBGeral.h"
#include "report/ReportEngine.h"
#include "server/Schema.h"

#include <QDate>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <sys/resource.h>

using namespace kvo::report;

namespace {

constexpr int kDays = 31, kServices = 12, kDiets = 30, kRuns = 7;

void exec(QSqlQuery& q, const QString& sql, const QVariantList& values = {}) {
    if (!q.prepare(sql)) qFatal("%s", qPrintable(q.lastError().text()));
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec()) qFatal("%s", qPrintable(q.lastError().text()));
}

void seed(const QString& path) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("seed"));
    db.setDatabaseName(path);
    if (!db.open()) qFatal("cannot open %s", qPrintable(path));
    kvo::server::Schema::migrate(db);
    {
        QSqlQuery q(db);
        db.transaction();
        exec(q, QStringLiteral("INSERT INTO FILIAL VALUES ('0001', 'Hospital Central', 'N', '2026-12-31')"));
        for (int s = 1; s <= kServices; ++s)
            exec(q, QStringLiteral("INSERT INTO SERVICO VALUES ('0001', ?, ?, 'D')"),
                 {QStringLiteral("%1").arg(s, 5, 10, QChar(u'0')), QStringLiteral("Serviço %1").arg(s)});
        for (int d = 1; d <= kDiets; ++d)
            exec(q, QStringLiteral("INSERT INTO DIETPADR VALUES (?, ?, 'S')"),
                 {QStringLiteral("%1").arg(d, 4, 10, QChar(u'0')), QStringLiteral("Dieta %1").arg(d)});
        const QString insert = QStringLiteral(
            "INSERT INTO CARDADIA (CDFILIAL, DTCARDAPIO, CDSERVFILI, CDDIETPAD, QTCOMEFETCAR, QTCLIEFETCAR, "
            "QTFUNEFETCAR, QTDOAEFETCAR, QTCOMESTICAR) VALUES ('0001', ?, ?, ?, ?, ?, ?, ?, ?)");
        for (int day = 0; day < kDays; ++day)
            for (int s = 1; s <= kServices; ++s)
                for (int d = 1; d <= kDiets; ++d) {
                    const int cli = (day + s + d) % 17, fun = (s * d) % 5, doa = d % 3;
                    exec(q, insert,
                         {QDate(2026, 12, 1).addDays(day).toString(Qt::ISODate),
                          QStringLiteral("%1").arg(s, 5, 10, QChar(u'0')),
                          QStringLiteral("%1").arg(d, 4, 10, QChar(u'0')), cli + fun + doa, cli, fun, doa,
                          cli + 1});
                }
        db.commit();
    }
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("seed"));
}

// The median time of each job over kRuns rounds, the jobs run one after the other in each round.
std::vector<double> medianMs(const std::vector<std::function<void()>>& jobs) {
    std::vector<std::vector<double>> ms(jobs.size());
    for (int i = 0; i < kRuns; ++i)
        for (size_t j = 0; j < jobs.size(); ++j) {
            QElapsedTimer t;
            t.start();
            jobs[j]();
            ms[j].push_back(double(t.nsecsElapsed()) / 1e6);
        }
    std::vector<double> medians;
    for (std::vector<double>& m : ms) {
        std::sort(m.begin(), m.end());
        medians.push_back(m[m.size() / 2]);
    }
    return medians;
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    const QString dbPath = dir.filePath(QStringLiteral("bench.db"));
    seed(dbPath);
    dtmDBGeral::TDatabaseConfig cfg;
    cfg.database = dbPath;
    dtmDBGeral::Open(cfg);

    const TReportDefinition def =
        LoadDefinition(QStringLiteral(KVO_SOURCE_DIR "/listing/reports/KVO010-efetivos-por-data.kvr"));
    TReportParams params = QueryParams(def);
    QString services;
    for (int s = 1; s <= kServices; ++s)
        services += QStringLiteral("_%1").arg(s, 5, 10, QChar(u'0'));
    params.ParamByName(QStringLiteral("P_CDFILIAL")).SetValue(QStringLiteral("0001"));
    params.ParamByName(QStringLiteral("P_CDSERVFILI")).SetValue(services.mid(1));
    params.ParamByName(QStringLiteral("P_DTINICIAL")).SetValue(QDate(2026, 12, 1));
    params.ParamByName(QStringLiteral("P_DTFINAL")).SetValue(QDate(2026, 12, 31));

    qint64 rows = 0;
    TReportLayout layout;
    const QString pdf = dir.filePath(QStringLiteral("listagem.pdf")),
                  xlsx = dir.filePath(QStringLiteral("listagem.xlsx"));
    RunQuery(def, params); // warm-up: the first run pays for the database's cache
    // The four measures take turns in each round, so that a busy machine weighs on them alike.
    const std::vector<double> ms = medianMs({
        [&] { rows = RunQuery(def, params).rows.size(); },
        [&] { layout = Layout(def, RunQuery(def, params)); },
        [&] { WritePdf(def, Layout(def, RunQuery(def, params)), pdf); },
        [&] { WriteXlsx(def, Layout(def, RunQuery(def, params)), xlsx); },
    });
    const double bare = ms[0], laid = ms[1], toPdf = ms[2], toXlsx = ms[3];

    std::printf("listing: %lld rows, %lld printed lines (median of %d runs)\n", rows,
                qint64(layout.lines.size()), kRuns);
    std::printf("  bare query              %8.1f ms\n", bare);
    std::printf("  query + layout          %8.1f ms  (%.1fx the query)\n", laid, laid / bare);
    std::printf("  query + layout + PDF    %8.1f ms  (%.1fx the query)\n", toPdf, toPdf / bare);
    std::printf("  query + layout + XLSX   %8.1f ms  (%.1fx the query)\n", toXlsx, toXlsx / bare);
    // The target: the PDF within 5x the bare query and under a second.
    const bool pass = toPdf <= 5 * bare && toPdf < 1000;
    std::printf("PDF target: <= 5.0x the query and < 1000 ms; measured %.1fx, %.0f ms -> %s\n", toPdf / bare,
                toPdf, pass ? "PASS" : "MISS");
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    std::printf("peak memory (max resident set): %.1f MB\n", double(ru.ru_maxrss) / 1024.0);
    dtmDBGeral::Close();
    return 0;
}
