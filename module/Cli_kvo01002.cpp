// Unit of the diner-calculation dialog: its service selection and creator.

#include "module/Units.h"

#include "calc/TfrmCalcComensais.h"
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
    // The dialog refuses to be created without the headcount screen it works with.
    kvo::module::ShowModalInstance(frmCalcComensais);
}
