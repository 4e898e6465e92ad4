#pragma once

#include <QLibrary>
#include <QString>

struct TPackageInfoTable;

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

    // The module next to the running executable.
    static QString DefaultPath();

private:
    QLibrary m_lib;
    void (*m_iniProc)() = nullptr;
    void (*m_initialize)() = nullptr;
    void (*m_finalize)() = nullptr;
    const TPackageInfoTable* (*m_table)() = nullptr;
};
