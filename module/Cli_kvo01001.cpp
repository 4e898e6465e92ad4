// Unit of the listing screen: its service selection and creator.

#include "module/Units.h"

#include "listing/TfrmListEfetDiet.h"
#include "module/ModalScreen.h"

// stListaServ is defined beside the screen that fills it.
TfrmListEfetDiet* frmListEfetDiet = nullptr;

namespace kvo::module {
TUnitCounter unit01001;
}

namespace Cli_kvo01001 {

void Initialization() {
    if (kvo::module::unit01001.enter()) stListaServ.clear();
}

void Finalization() {
    if (kvo::module::unit01001.leave()) stListaServ.clear();
}

} // namespace Cli_kvo01001

void CriaListEfetDiet() {
    kvo::module::ShowModalInstance(frmListEfetDiet);
}
