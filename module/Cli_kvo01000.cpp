// Unit of the headcount screen: its module state and creator.

#include "module/Units.h"

#include "headcount/TfrmMediEfetDiet.h"
#include "host/Application.h"
#include "host/ScreenCreation.h"

#include <QGuiApplication>
#include <QScopeGuard>

TfrmMediEfetDiet* frmMediEfetDiet = nullptr;
bool blTelaCriada = false;
bool blReageEstado = true;

namespace kvo::module {
TUnitCounter unit01000;
}

namespace Cli_kvo01000 {

void Initialization() {
    if (!kvo::module::unit01000.enter()) return;
    blTelaCriada = false;
    blReageEstado = true;
}

void Finalization() {
    // Nothing to release: the screen belongs to the host's application object.
    kvo::module::unit01000.leave();
}

} // namespace Cli_kvo01000

void CriaMedEfetiv() {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restoreCursor = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
    if (!blTelaCriada) {
        TfrmMediEfetDiet* form = kvo::CreateForm<TfrmMediEfetDiet>();
        kvo::Application().Adopt(form);
        frmMediEfetDiet = form;
        blTelaCriada = true;
        // Once the screen has agreed to close, the instance is on its way out: the next call makes a
        // new one. The screen itself knows nothing of this unit.
        form->OnClose = [form, screenClose = std::move(form->OnClose)](QObject* sender, int& action) {
            if (screenClose) screenClose(sender, action);
            if (action == caFree && frmMediEfetDiet == form) blTelaCriada = false;
        };
        // However the instance ends (closed, or released by the host), the next call makes a
        // new one instead of reaching a dead window.
        QObject::connect(form, &QObject::destroyed, [form] {
            if (frmMediEfetDiet == form) {
                frmMediEfetDiet = nullptr;
                blTelaCriada = false;
            }
        });
    }
    kvo::Application().ShowChild(frmMediEfetDiet);
}
