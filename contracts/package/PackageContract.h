#pragma once

// The contract between the host and a module library. The module defines these entries under
// plain, undecorated names; the host's loader and the tests resolve them by name at run time, so
// nothing here is linked.

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

namespace kvo::package {

// IniProc, Initialize, Finalize and the screen creators take nothing and return nothing.
using TEntry = void (*)();
using TPackageInfoEntry = const TPackageInfoTable* (*)();

// Load and unload entries: the units' set-up in table order, their tear-down in reverse order.
inline constexpr char kGetPackageInfoTable[] = "GetPackageInfoTable";
inline constexpr char kInitialize[] = "Initialize";
inline constexpr char kFinalize[] = "Finalize";
// The host's entry point: opens (or brings back) the module's main screen.
inline constexpr char kIniProc[] = "IniProc";
// Screen creators; a failure while creating goes on to the caller.
inline constexpr char kCriaMedEfetiv[] = "CriaMedEfetiv";
inline constexpr char kCriaListEfetDiet[] = "CriaListEfetDiet";
inline constexpr char kCriaCalcComensais[] = "CriaCalcComensais";

// The headcount module's file, as the linker names it.
inline constexpr char kModuleFileName[] = "libPKG_KVO01000.so";

} // namespace kvo::package
