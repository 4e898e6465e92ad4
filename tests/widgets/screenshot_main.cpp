// Renders the sample screen, the routine dialog, a lookup and the progress window to PNG files,
// so a person can see the look without a display: widgets_screenshot [output folder].

#include "SampleForm.h"
#include "widgets/LookupDialog.h"
#include "widgets/ProgressWindow.h"

#include <QApplication>
#include <QDir>
#include <QStyleFactory>
#include <QTest>
#include <cstdio>

namespace {

bool save(QWidget* w, const QString& path) {
    QCoreApplication::processEvents();
    const bool ok = w->grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(9);
    QApplication::setFont(font);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(dir);
    bool ok = true;

    SampleForm form;
    form.show();
    form.activateWindow();
    (void)QTest::qWaitForWindowActive(&form, 2000);
    form.medCdFilial->SetText(QStringLiteral("0001"));
    form.edtNmFilial->SetText(QStringLiteral("Hospital São Lucas"));
    form.depCardapio->SetDate(QDate(2026, 12, 8));
    form.edtDiaCardapio->SetText(form.depCardapio->DayName());
    form.cdsCardServ.Next();
    form.dbgPadrao->SetFocus();
    ok &= save(&form, dir + QStringLiteral("/sample-form.png"));

    SampleDialog dialog;
    dialog.show();
    ok &= save(&dialog, dir + QStringLiteral("/sample-dialog.png"));

    LookupDialog lookup(&form.dtsFilial, QStringLiteral("Filial|Não há filial cadastrada."), QString(),
                        &form);
    lookup.show();
    QTest::keyClicks(lookup.searchEdit(), QStringLiteral("Cl"));
    ok &= save(&lookup, dir + QStringLiteral("/lookup.png"));

    LookupDialog list(&form.dtsCardServ, QStringLiteral("Serviços"), QStringLiteral("CDSERVFILI"), &form);
    list.setSelection(QStringLiteral("_00002_00004"));
    list.show();
    ok &= save(&list, dir + QStringLiteral("/list.png"));

    ProgressWindow progress;
    progress.start(6, QString(), nullptr);
    ok &= save(&progress, dir + QStringLiteral("/progress.png"));
    return ok ? 0 : 1;
}
