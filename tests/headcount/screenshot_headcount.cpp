// Renders the headcount screen to a PNG (offscreen, no display needed): a loaded day, the diet
// grid filtered to the first service, its first row's client count being typed.
#include "HeadcountFixture.h"

#include "Fixture.h"
#include "headcount/TfrmMediEfetDiet.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>
#include <exception>

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
        QApplication::processEvents();
        QDir().mkpath(QFileInfo(out).absolutePath());
        if (!f->grab().save(out)) {
            QTextStream(stderr) << "could not write " << out << "\n";
            return 1;
        }
        for (const QString& e : fx.ui.Errors())
            QTextStream(stderr) << "shown: " << e << "\n";
    } catch (const std::exception& e) {
        QTextStream(stderr) << e.what() << "\n";
        return 1;
    }
    QTextStream(stdout) << out << "\n";
    return 0;
}
