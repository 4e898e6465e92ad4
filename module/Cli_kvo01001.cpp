// Unit of the listing screen: its service selection and creator.

#include "module/Units.h"

#include "host/Application.h"
#include "host/ScreenCreation.h"
#include "listing/TfrmListEfetDiet.h"

#include <QScopeGuard>
#include <memory>

TfrmListEfetDiet* frmListEfetDiet = nullptr;
QString stListaServ;

namespace kvo::module {
TUnitCounter unit01001;
}

namespace Cli_kvo01001 {

void Initialization()
{
    if (kvo::module::unit01001.enter())
        stListaServ.clear();
}

void Finalization()
{
    if (kvo::module::unit01001.leave())
        stListaServ.clear();
}

} // namespace Cli_kvo01001

void CriaListEfetDiet()
{
    // Nothing reads the instance once the modal call returns, so it ends here.
    std::unique_ptr<TfrmListEfetDiet> form(kvo::CreateForm<TfrmListEfetDiet>(kvo::Application().MainForm()));
    frmListEfetDiet = form.get();
    const auto forget = qScopeGuard([] { frmListEfetDiet = nullptr; });
    form->ShowModal();
}
