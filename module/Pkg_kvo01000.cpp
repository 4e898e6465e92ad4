// The package unit: the loader's table and the module's entry points.

#include "module/Units.h"

#include <type_traits>

// The definitions below must keep the signatures the host resolves them with.
static_assert(std::is_same_v<decltype(&GetPackageInfoTable), kvo::package::TPackageInfoEntry>);
static_assert(std::is_same_v<decltype(&Initialize), kvo::package::TEntry>);
static_assert(std::is_same_v<decltype(&Finalize), kvo::package::TEntry>);
static_assert(std::is_same_v<decltype(&IniProc), kvo::package::TEntry>);
static_assert(std::is_same_v<decltype(&CriaMedEfetiv), kvo::package::TEntry>);
static_assert(std::is_same_v<decltype(&CriaListEfetDiet), kvo::package::TEntry>);
static_assert(std::is_same_v<decltype(&CriaCalcComensais), kvo::package::TEntry>);

namespace kvo::module {
namespace {
int g_sequence = 0;
}

bool TUnitCounter::enter() {
    if (++count != 1) return false;
    initStamp = ++g_sequence;
    return true;
}

bool TUnitCounter::leave() {
    if (count == 0) // more tear-downs than set-ups: nothing to undo
        return false;
    if (--count != 0) return false;
    finalStamp = ++g_sequence;
    return true;
}

extern TUnitCounter unit01000, unit01001, unit01002;
} // namespace kvo::module

namespace {

using kvo::module::unit01000;
using kvo::module::unit01001;
using kvo::module::unit01002;

const char* const kRequires[] = {"_bal", "_rtl", "_qr", "_lib", "_ger", "_frm", "_db", "_vcl"};

const TUnitInfo kUnits[] = {
    {"Cli_kvo01001", &Cli_kvo01001::Initialization, &Cli_kvo01001::Finalization, &unit01001.count,
     &unit01001.initStamp, &unit01001.finalStamp},
    {"Cli_kvo01002", &Cli_kvo01002::Initialization, &Cli_kvo01002::Finalization, &unit01002.count,
     &unit01002.initStamp, &unit01002.finalStamp},
    {"Cli_kvo01000", &Cli_kvo01000::Initialization, &Cli_kvo01000::Finalization, &unit01000.count,
     &unit01000.initStamp, &unit01000.finalStamp},
};

const TPackageInfoTable kTable = {int(std::size(kRequires)), kRequires, int(std::size(kUnits)), kUnits};

} // namespace

extern "C" {

const TPackageInfoTable* GetPackageInfoTable() {
    return &kTable;
}

void Initialize() {
    for (int i = 0; i < kTable.unitCount; ++i)
        kTable.units[i].Initialization();
}

void Finalize() {
    for (int i = kTable.unitCount - 1; i >= 0; --i)
        kTable.units[i].Finalization();
}

void IniProc() {
    CriaMedEfetiv();
}

} // extern "C"
