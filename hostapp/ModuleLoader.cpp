#include "ModuleLoader.h"

#include "data/Exceptions.h"
#include "package/PackageContract.h"

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
    return DefaultPathFrom(QCoreApplication::applicationDirPath());
}

QString TModuleLoader::DefaultPathFrom(const QString& executableDir) {
    const QDir dir(executableDir);
    // Beside the executable in a build tree; in the library folder of an installed one.
    const QString beside = dir.filePath(QLatin1String(kvo::package::kModuleFileName));
    if (QFileInfo(beside).isFile()) return beside;
    const QString installed = QDir::cleanPath(dir.filePath(QStringLiteral(KVO_MODULE_DIR_FROM_BIN "/") +
                                                           QLatin1String(kvo::package::kModuleFileName)));
    return QFileInfo(installed).isFile() ? installed : beside;
}

void TModuleLoader::Load(const QString& path) {
    Unload();
    if (!QFileInfo(path).isFile()) throw Exception(QStringLiteral("Módulo não encontrado: %1.").arg(path));
    m_lib.setFileName(path);
    m_lib.setLoadHints(QLibrary::ResolveAllSymbolsHint);
    if (!m_lib.load())
        throw Exception(
            QStringLiteral("Não foi possível carregar o módulo %1: %2").arg(path, m_lib.errorString()));

    using kvo::package::TEntry;
    using kvo::package::TPackageInfoEntry;
    auto initialize = reinterpret_cast<TEntry>(m_lib.resolve(kvo::package::kInitialize));
    auto finalize = reinterpret_cast<TEntry>(m_lib.resolve(kvo::package::kFinalize));
    auto iniProc = reinterpret_cast<TEntry>(m_lib.resolve(kvo::package::kIniProc));
    auto table = reinterpret_cast<TPackageInfoEntry>(m_lib.resolve(kvo::package::kGetPackageInfoTable));
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
