#pragma once

#include "package/PackageContract.h"

#include <QLibrary>
#include <QString>

// Loads the module library by file name, runs its load entry and resolves IniProc; at the end
// runs its unload entry and releases the library.
class TModuleLoader {
public:
    TModuleLoader() = default;
    ~TModuleLoader();
    TModuleLoader(const TModuleLoader&) = delete;
    TModuleLoader& operator=(const TModuleLoader&) = delete;

    // Throws Exception with a clear message when the file is missing, is not a loadable library
    // or lacks one of the entries; nothing stays loaded in that case.
    void Load(const QString& path);
    // Runs the unload entry and releases the library; screens must be gone before.
    void Unload();
    bool Loaded() const { return m_iniProc != nullptr; }
    QString FileName() const { return m_lib.fileName(); }

    void IniProc();
    const TPackageInfoTable* PackageInfo() const;
    // Any other symbol of the module (its exported variables), nullptr when absent.
    void* Resolve(const char* symbol);

    // The module beside the running executable (a build tree), else where an installation puts
    // it relative to the executable; the first when neither exists.
    static QString DefaultPath();
    static QString DefaultPathFrom(const QString& executableDir);

private:
    QLibrary m_lib;
    kvo::package::TEntry m_iniProc = nullptr;
    kvo::package::TEntry m_initialize = nullptr;
    kvo::package::TEntry m_finalize = nullptr;
    kvo::package::TPackageInfoEntry m_table = nullptr;
};
