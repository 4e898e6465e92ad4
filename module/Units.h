#pragma once

// Module state of the three screen units and the module's entry points.

#include "module/ModuleExport.h"
#include "package/PackageContract.h"

#include <QString>

class TfrmMediEfetDiet;
class TfrmListEfetDiet;
class TfrmCalcComensais;

// Unit Cli_kvo01000: the headcount screen.
extern "C" {
KVO_MODULE_EXPORT extern TfrmMediEfetDiet* frmMediEfetDiet;
KVO_MODULE_EXPORT extern bool blTelaCriada; // the headcount screen instance exists
KVO_MODULE_EXPORT extern bool
    blReageEstado; // the diet source's state reaction may run the base screen's handling

// Unit Cli_kvo01001: the listing screen.
KVO_MODULE_EXPORT extern TfrmListEfetDiet* frmListEfetDiet;
KVO_MODULE_EXPORT extern QString stListaServ;

// Unit Cli_kvo01002: the diner-calculation dialog.
KVO_MODULE_EXPORT extern TfrmCalcComensais* frmCalcComensais;
KVO_MODULE_EXPORT extern QString stServico;

// The entries of the host-module contract (package/PackageContract.h).
KVO_MODULE_EXPORT void CriaMedEfetiv();
KVO_MODULE_EXPORT void CriaListEfetDiet();
KVO_MODULE_EXPORT void CriaCalcComensais();
KVO_MODULE_EXPORT const TPackageInfoTable* GetPackageInfoTable();
KVO_MODULE_EXPORT void Initialize();
KVO_MODULE_EXPORT void Finalize();
KVO_MODULE_EXPORT void IniProc();
}

// Unit bodies, called through the table.
namespace Cli_kvo01000 {
void Initialization();
void Finalization();
} // namespace Cli_kvo01000
namespace Cli_kvo01001 {
void Initialization();
void Finalization();
} // namespace Cli_kvo01001
namespace Cli_kvo01002 {
void Initialization();
void Finalization();
} // namespace Cli_kvo01002

namespace kvo::module {
// Guards a unit body with its counter: set-up runs once however often it is asked for, tear-down
// only when the counter is back at its start.
struct TUnitCounter {
    int count = 0;
    int initStamp = 0;
    int finalStamp = 0;
    bool enter(); // true when the set-up body must run
    bool leave(); // true when the tear-down body must run
};
} // namespace kvo::module
