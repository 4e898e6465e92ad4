// Unit of the diner-calculation dialog: its service selection and creator.

#include "module/Units.h"

#include "calc/TfrmCalcComensais.h"
#include "data/Exceptions.h"
#include "module/ModalScreen.h"

TfrmCalcComensais* frmCalcComensais = nullptr;
QString stServico;

namespace kvo::module {
TUnitCounter unit01002;
}

namespace Cli_kvo01002 {

void Initialization() {
    if (kvo::module::unit01002.enter()) stServico.clear();
}

void Finalization() {
    if (kvo::module::unit01002.leave()) stServico.clear();
}

} // namespace Cli_kvo01002

void CriaCalcComensais() {
    // The dialog works on the headcount screen's branch, date and connection.
    if (!frmMediEfetDiet)
        throw Exception(QStringLiteral("A tela Efetivos deve estar aberta para calcular comensais."));
    kvo::module::ShowModalInstance(frmCalcComensais);
}
