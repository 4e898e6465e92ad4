#pragma once

#include "FrameworkExport.h"

#include "host/Balvora.h"
#include "host/dtmDBGeral.h"

#include <QString>
#include <QStringList>

// What the host is told at start: the login context, the suite database, where the module is.
// Sources, later ones winning: the INI file named by --config, then the command line.
//
//   [login]    branch=0001  operator=ADM  bound=false
//   [database] url=sqlite:/path/kvo.db | postgres:host=..;port=..;dbname=..;user=..;password=..
//              (or driver=sqlite|postgres with path=, host=, port=, name=, user=, password=)
//   [server]   host=127.0.0.1  port=8021  token=...  tokenfile=/path/token
//   [host]     module=/path/libPKG_KVO01000.so  open=true  reports=/path/reports
// A value holding ";" must be quoted ("...") in the INI file.
struct THostConfig {
    Balvora::TLogin login;
    dtmDBGeral::TDatabaseConfig database;
    QString modulePath;       // empty: next to the host executable
    bool openOnStart = false; // call IniProc once the host is up
    QString reportDir;        // empty: "reports" beside the module
    bool helpRequested = false;
};

// Throws Exception with a clear message for unreadable files and invalid values.
KVO_FRAMEWORK_EXPORT THostConfig LoadHostConfig(const QStringList& arguments);
KVO_FRAMEWORK_EXPORT QString HostConfigUsage();

// "sqlite:PATH" or "postgres:key=value;..." as kvo::data::parseDbUrl reads them.
KVO_FRAMEWORK_EXPORT dtmDBGeral::TDatabaseConfig ParseDatabaseUrl(const QString& url);
