#pragma once

// Module state of the three screen units and the module's entry points.

#include "module/ModuleExport.h"

#include <QString>

class TfrmMediEfetDiet;
class TfrmListEfetDiet;
class TfrmCalcComensais;

// Unit Cli_kvo01000: the headcount screen.
extern "C" KVO_MODULE_EXPORT TfrmMediEfetDiet* frmMediEfetDiet;
extern bool blTelaCriada;  // the headcount screen instance exists
extern bool blReageEstado; // the diet source's state reaction may run the base screen's handling

// Unit Cli_kvo01001: the listing screen.
extern "C" KVO_MODULE_EXPORT TfrmListEfetDiet* frmListEfetDiet;
extern "C" KVO_MODULE_EXPORT QString stListaServ;

// Unit Cli_kvo01002: the diner-calculation dialog.
extern "C" KVO_MODULE_EXPORT TfrmCalcComensais* frmCalcComensais;
extern "C" KVO_MODULE_EXPORT QString stServico;

// Screen creators. A failure while creating goes on to the caller.
KVO_MODULE_EXPORT void CriaMedEfetiv();
KVO_MODULE_EXPORT void CriaListEfetDiet();
KVO_MODULE_EXPORT void CriaCalcComensais();

// The loader's table: the units in initialization order, each with its set-up and tear-down and
// its counters. initCount is the unit's initialization counter; initStamp and finalStamp record
// when (in a module-wide sequence) its set-up and tear-down bodies last ran.
struct TUnitInfo {
    const char* name;
    void (*Initialization)();
    void (*Finalization)();
    const int* initCount;
    const int* initStamp;
    const int* finalStamp;
};

struct TPackageInfoTable {
    int requiresCount;
    const char* const* requiredPackages; // host packages, in the order they must be initialized first
    int unitCount;
    const TUnitInfo* units;
};

extern "C" {
KVO_MODULE_EXPORT const TPackageInfoTable* GetPackageInfoTable();
// Load entry: the units' set-up in table order. Unload entry: their tear-down in reverse order.
KVO_MODULE_EXPORT void Initialize();
KVO_MODULE_EXPORT void Finalize();
// The host's entry point: opens (or brings back) the headcount screen.
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
