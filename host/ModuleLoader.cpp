#include "ModuleLoader.h"

#include "data/Exceptions.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

TModuleLoader::~TModuleLoader() {
    try {
        Unload();
    } catch (...) {
    }
}

QString TModuleLoader::DefaultPath() {
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("libPKG_KVO01000.so"));
}

void TModuleLoader::Load(const QString& path) {
    Unload();
    if (!QFileInfo(path).isFile()) throw Exception(QStringLiteral("Módulo não encontrado: %1.").arg(path));
    m_lib.setFileName(path);
    m_lib.setLoadHints(QLibrary::ResolveAllSymbolsHint);
    if (!m_lib.load())
        throw Exception(
            QStringLiteral("Não foi possível carregar o módulo %1: %2").arg(path, m_lib.errorString()));

    auto initialize = reinterpret_cast<void (*)()>(m_lib.resolve("Initialize"));
    auto finalize = reinterpret_cast<void (*)()>(m_lib.resolve("Finalize"));
    auto iniProc = reinterpret_cast<void (*)()>(m_lib.resolve("IniProc"));
    auto table = reinterpret_cast<const TPackageInfoTable* (*)()>(m_lib.resolve("GetPackageInfoTable"));
    if (!initialize || !finalize || !iniProc || !table) {
        m_lib.unload();
        throw Exception(
            QStringLiteral("O arquivo %1 não é um módulo da suíte (faltam os pontos de entrada).").arg(path));
    }
    initialize();
    m_initialize = initialize;
    m_finalize = finalize;
    m_iniProc = iniProc;
    m_table = table;
}

void TModuleLoader::Unload() {
    if (!m_iniProc) return;
    auto finalize = m_finalize;
    m_iniProc = nullptr;
    m_initialize = nullptr;
    m_finalize = nullptr;
    m_table = nullptr;
    finalize();
    m_lib.unload();
}

void TModuleLoader::IniProc() {
    if (!m_iniProc) throw Exception(QStringLiteral("O módulo Efetivos não está carregado."));
    m_iniProc();
}

const TPackageInfoTable* TModuleLoader::PackageInfo() const {
    return m_table ? m_table() : nullptr;
}

void* TModuleLoader::Resolve(const char* symbol) {
    return m_iniProc ? reinterpret_cast<void*>(m_lib.resolve(symbol)) : nullptr;
}
