// Renders the module's three screens to PNGs (offscreen, no display needed): the headcount screen
// with a loaded day, the diet grid filtered to the first service and its first row's client count
// being typed; then the diner-calculation dialog and the listing screen over the same day.
#include "HeadcountFixture.h"

#include "Fixture.h"
#include "calc/TfrmCalcComensais.h"
#include "headcount/TfrmMediEfetDiet.h"
#include "host/Application.h"
#include "host/ScreenCreation.h"
#include "listing/TfrmListEfetDiet.h"
#include "module/Units.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>
#include <exception>

namespace {

bool save(QWidget* w, const QString& out) {
    QApplication::processEvents();
    QDir().mkpath(QFileInfo(out).absolutePath());
    if (w->grab().save(out)) return true;
    QTextStream(stderr) << "could not write " << out << "\n";
    return false;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString out =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots/headcount.png");
    try {
        HeadcountFixture fx;
        TfrmMediEfetDiet* f = fx.open();
        fx.loadDay(HeadcountFixture::proc());
        fx.click(f->dbgPadrao);
        f->cdsCardadia->First();
        f->dbgPadrao->SetSelectedIndex(2);
        for (QChar ch : QStringLiteral("18")) {
            kvo::test::Type(QString(ch));
            kvo::test::Settle();
        }
        if (!save(f, out)) return 1;
        if (argc > 2) {
            frmMediEfetDiet = f;
            auto* calc = kvo::CreateForm<TfrmCalcComensais>();
            kvo::test::ShowActive(calc);
            const bool ok = save(calc, QString::fromLocal8Bit(argv[2]));
            delete calc;
            frmMediEfetDiet = nullptr;
            if (!ok) return 1;
        }
        if (argc > 3) {
            kvo::Application().SetReportDir(qEnvironmentVariable("KVO_SOURCE_DIR") +
                                            QStringLiteral("/listing/reports"));
            auto* listing = kvo::CreateForm<TfrmListEfetDiet>();
            kvo::test::ShowActive(listing);
            const bool ok = save(listing, QString::fromLocal8Bit(argv[3]));
            delete listing;
            if (!ok) return 1;
        }
        for (const QString& e : fx.ui.Errors())
            QTextStream(stderr) << "shown: " << e << "\n";
    } catch (const std::exception& e) {
        QTextStream(stderr) << e.what() << "\n";
        return 1;
    }
    for (int i = 1; i < argc; ++i)
        QTextStream(stdout) << argv[i] << "\n";
    return 0;
}
