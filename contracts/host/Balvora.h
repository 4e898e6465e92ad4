#pragma once

#include "FrameworkExport.h"

#include <QDate>
#include <QString>

// Login context of the host: who is working, on which branch, and where the application
// server is. The host fills it once at start (from its command line and configuration file);
// screens only read it.
namespace Balvora {

struct TLogin {
    QString filial;        // current branch code
    QString operador;      // current operator code
    bool moduFili = false; // module bound to the login's branch
    QString webUrl = QStringLiteral("127.0.0.1");
    int webPort = 0;
    QString token; // bearer token for the application server
};

KVO_FRAMEWORK_EXPORT void SetLogin(const TLogin& login);
KVO_FRAMEWORK_EXPORT const TLogin& Login();

KVO_FRAMEWORK_EXPORT QString FiliProc();
KVO_FRAMEWORK_EXPORT bool ModuFili();
KVO_FRAMEWORK_EXPORT QString Operador();
KVO_FRAMEWORK_EXPORT QString WebURL();
KVO_FRAMEWORK_EXPORT int WebPort();
KVO_FRAMEWORK_EXPORT QString Token();

// Processing date of a branch (FILIAL.DTPROC on the shared connection); a null date when the
// branch is unknown or has none. Throws Exception when the database cannot be read.
KVO_FRAMEWORK_EXPORT QDate DataProc(const QString& branch);

} // namespace Balvora
