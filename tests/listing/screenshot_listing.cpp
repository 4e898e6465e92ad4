// The first page of the shipped headcount listing on the demo database, in the preview, as a PNG:
// listing_screenshot DEMO.db OUT.png

#include "host/dtmDBGeral.h"
#include "report/ReportEngine.h"
#include "report/TReportDesignerDialog.h"

#include <QApplication>
#include <QDate>
#include <QPrintPreviewWidget>
#include <QThread>
#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fputs("usage: listing_screenshot DEMO.db OUT.png\n", stderr);
        return 2;
    }
    using namespace kvo::report;
    try {
        dtmDBGeral::TDatabaseConfig cfg;
        cfg.database = QString::fromLocal8Bit(argv[1]);
        dtmDBGeral::Open(cfg);
        const TReportDefinition def =
            LoadDefinition(QStringLiteral(KVO_SOURCE_DIR "/listing/reports/KVO010-efetivos-por-data.kvr"));
        TReportParams params = QueryParams(def);
        const QDate today = QDate::currentDate();
        params.ParamByName(QStringLiteral("P_CDFILIAL")).SetValue(QStringLiteral("0001"));
        params.ParamByName(QStringLiteral("P_CDSERVFILI")).SetValue(QStringLiteral("_00101_00102"));
        params.ParamByName(QStringLiteral("P_DTINICIAL")).SetValue(today.addDays(-2));
        params.ParamByName(QStringLiteral("P_DTFINAL")).SetValue(today);
        params.ParamByName(QStringLiteral("P_DTPERINI")).SetValue(today.addDays(-2).toString("dd/MM/yyyy"));
        params.ParamByName(QStringLiteral("P_DTPERFIN")).SetValue(today.toString("dd/MM/yyyy"));
        TReportLayout layout = Layout(def, RunQuery(def, params));
        layout.subtitle = Subtitle(def, params);
        TReportPreview preview(def, layout);
        preview.resize(900, 1180);
        preview.show();
        preview.Pages()->fitInView();
        for (int i = 0; i < 20; ++i) {
            QApplication::processEvents();
            QThread::msleep(10);
        }
        if (!preview.grab().save(QString::fromLocal8Bit(argv[2]))) {
            std::fprintf(stderr, "cannot write %s\n", argv[2]);
            return 1;
        }
    } catch (const Exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
