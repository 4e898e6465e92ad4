#include "host/HostConfig.h"

#include "data/Conversions.h"
#include "data/Exceptions.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace {

using kvo::data::parsePort;

bool parseFlag(const QString& text, const QString& what) {
    const QString t = text.trimmed().toLower();
    if (t == u"1" || t == u"true" || t == u"yes" || t == u"s" || t == u"sim") return true;
    if (t.isEmpty() || t == u"0" || t == u"false" || t == u"no" || t == u"n" || t == u"nao" || t == u"não")
        return false;
    throw Exception(QStringLiteral("%1 inválido: '%2'.").arg(what, text));
}

QString readTokenFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(
            QStringLiteral("Não foi possível ler o arquivo de token %1: %2").arg(path, file.errorString()));
    const QString token = QString::fromUtf8(file.readAll()).trimmed();
    if (token.isEmpty()) throw Exception(QStringLiteral("O arquivo de token %1 está vazio.").arg(path));
    return token;
}

// QSettings splits a value at its commas; a password or path may well hold one.
QString text(const QSettings& ini, const char* key) {
    const QVariant v = ini.value(QLatin1String(key));
    if (v.typeId() == QMetaType::QStringList) return v.toStringList().join(u',');
    return v.toString();
}

void applyIni(const QString& path, THostConfig& cfg) {
    if (!QFileInfo(path).isFile())
        throw Exception(QStringLiteral("Arquivo de configuração não encontrado: %1.").arg(path));
    QSettings ini(path, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError)
        throw Exception(QStringLiteral("Arquivo de configuração inválido: %1.").arg(path));
    const QString base = QFileInfo(path).absolutePath();
    auto relative = [&](const QString& p) { return QFileInfo(p).isRelative() ? base + u'/' + p : p; };

    if (ini.contains("login/branch")) cfg.login.filial = text(ini, "login/branch").trimmed();
    if (ini.contains("login/operator")) cfg.login.operador = text(ini, "login/operator").trimmed();
    if (ini.contains("login/bound"))
        cfg.login.moduFili = parseFlag(text(ini, "login/bound"), QStringLiteral("Valor de login/bound"));

    // A misspelt or retired key would leave the default database in place without a word.
    ini.beginGroup(QStringLiteral("database"));
    const QStringList databaseKeys = ini.childKeys();
    ini.endGroup();
    static const QStringList knownDatabaseKeys = {
        QStringLiteral("url"),  QStringLiteral("driver"), QStringLiteral("path"), QStringLiteral("host"),
        QStringLiteral("port"), QStringLiteral("name"),   QStringLiteral("user"), QStringLiteral("password")};
    for (const QString& key : databaseKeys)
        if (!knownDatabaseKeys.contains(key))
            throw Exception(
                QStringLiteral("Chave desconhecida na seção [database] de %1: '%2'.").arg(path, key));

    if (ini.contains("database/url")) {
        cfg.database = ParseDatabaseUrl(text(ini, "database/url"));
        if (cfg.database.driver == u"QSQLITE") cfg.database.database = relative(cfg.database.database);
    } else if (ini.contains("database/driver") || ini.contains("database/path")) {
        const QString driver =
            (ini.contains("database/driver") ? text(ini, "database/driver") : QStringLiteral("sqlite"))
                .trimmed()
                .toLower();
        if (driver == u"sqlite") {
            cfg.database = {};
            cfg.database.database = relative(text(ini, "database/path").trimmed());
        } else if (driver == u"postgres" || driver == u"postgresql") {
            cfg.database = {};
            cfg.database.driver = QStringLiteral("QPSQL");
            cfg.database.host = text(ini, "database/host").trimmed();
            if (ini.contains("database/port"))
                cfg.database.port =
                    parsePort(text(ini, "database/port"), QStringLiteral("Porta do banco de dados"));
            cfg.database.database = text(ini, "database/name").trimmed();
            cfg.database.user = text(ini, "database/user").trimmed();
            cfg.database.password = text(ini, "database/password");
        } else {
            throw Exception(QStringLiteral("Tipo de banco de dados desconhecido: '%1'.").arg(driver));
        }
    }

    if (ini.contains("server/host")) cfg.login.webUrl = text(ini, "server/host").trimmed();
    if (ini.contains("server/port"))
        cfg.login.webPort = parsePort(text(ini, "server/port"), QStringLiteral("Porta do servidor"));
    if (ini.contains("server/token")) cfg.login.token = text(ini, "server/token").trimmed();
    if (ini.contains("server/tokenfile"))
        cfg.login.token = readTokenFile(relative(text(ini, "server/tokenfile").trimmed()));

    if (ini.contains("host/module")) cfg.modulePath = relative(text(ini, "host/module").trimmed());
    if (ini.contains("host/reports")) cfg.reportDir = relative(text(ini, "host/reports").trimmed());
    if (ini.contains("host/open"))
        cfg.openOnStart = parseFlag(text(ini, "host/open"), QStringLiteral("Valor de host/open"));
}

} // namespace

dtmDBGeral::TDatabaseConfig ParseDatabaseUrl(const QString& url) {
    const kvo::data::DbUrl u = kvo::data::parseDbUrl(url);
    dtmDBGeral::TDatabaseConfig db;
    if (u.kind == kvo::data::DbUrl::Sqlite) {
        db.database = u.path;
        return db;
    }
    db.driver = QStringLiteral("QPSQL");
    db.host = u.host;
    db.port = u.port;
    db.database = u.dbname;
    db.user = u.user;
    db.password = u.password;
    db.options = u.connectOptions();
    return db;
}

QString HostConfigUsage() {
    return QStringLiteral(
        "kvo-host [opções]\n"
        "  --config ARQ        arquivo INI de configuração\n"
        "  --branch COD        filial do login\n"
        "  --operator COD      operador do login\n"
        "  --bound             módulo preso à filial do login\n"
        "  --database URL      sqlite:CAMINHO ou postgres:host=..;port=..;dbname=..;user=..;password=..\n"
        "  --server-host HOST  servidor de aplicação (padrão 127.0.0.1)\n"
        "  --server-port PORTA\n"
        "  --token-file ARQ    arquivo com o token do servidor (ou variável KVO_TOKEN)\n"
        "  --module ARQ        biblioteca do módulo (padrão: ao lado do executável ou na instalação)\n"
        "  --reports DIR       diretório das definições de relatório (padrão: reports/ ao lado do módulo)\n"
        "  --open              abre a tela Efetivos ao iniciar\n");
}

THostConfig LoadHostConfig(const QStringList& arguments) {
    QCommandLineParser p;
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption config(QStringLiteral("config"), {}, QStringLiteral("file"));
    const QCommandLineOption branch(QStringLiteral("branch"), {}, QStringLiteral("code"));
    const QCommandLineOption op(QStringLiteral("operator"), {}, QStringLiteral("code"));
    const QCommandLineOption bound(QStringLiteral("bound"), {});
    const QCommandLineOption database(QStringLiteral("database"), {}, QStringLiteral("url"));
    const QCommandLineOption serverHost(QStringLiteral("server-host"), {}, QStringLiteral("host"));
    const QCommandLineOption serverPort(QStringLiteral("server-port"), {}, QStringLiteral("port"));
    const QCommandLineOption token(QStringLiteral("token"), {}, QStringLiteral("token"));
    const QCommandLineOption tokenFile(QStringLiteral("token-file"), {}, QStringLiteral("file"));
    const QCommandLineOption module(QStringLiteral("module"), {}, QStringLiteral("file"));
    const QCommandLineOption open(QStringLiteral("open"), {});
    const QCommandLineOption reports(QStringLiteral("reports"), {}, QStringLiteral("dir"));
    const QCommandLineOption help(QStringList{QStringLiteral("help"), QStringLiteral("h")}, {});
    p.addOptions({config, branch, op, bound, database, serverHost, serverPort, token, tokenFile, module, open,
                  reports, help});
    if (!p.parse(arguments)) throw Exception(p.errorText() + u'\n' + HostConfigUsage());
    if (!p.positionalArguments().isEmpty())
        throw Exception(QStringLiteral("Argumento inesperado: %1\n").arg(p.positionalArguments().first()) +
                        HostConfigUsage());

    THostConfig cfg;
    cfg.helpRequested = p.isSet(help);
    if (p.isSet(config)) applyIni(p.value(config), cfg);
    if (cfg.login.token.isEmpty() && qEnvironmentVariableIsSet("KVO_TOKEN"))
        cfg.login.token = qEnvironmentVariable("KVO_TOKEN").trimmed();
    if (p.isSet(branch)) cfg.login.filial = p.value(branch).trimmed();
    if (p.isSet(op)) cfg.login.operador = p.value(op).trimmed();
    if (p.isSet(bound)) cfg.login.moduFili = true;
    if (p.isSet(database)) cfg.database = ParseDatabaseUrl(p.value(database));
    if (p.isSet(serverHost)) cfg.login.webUrl = p.value(serverHost).trimmed();
    if (p.isSet(serverPort))
        cfg.login.webPort = parsePort(p.value(serverPort), QStringLiteral("Porta do servidor"));
    if (p.isSet(token)) cfg.login.token = p.value(token).trimmed();
    if (p.isSet(tokenFile)) cfg.login.token = readTokenFile(p.value(tokenFile));
    if (p.isSet(module)) cfg.modulePath = p.value(module);
    if (p.isSet(open)) cfg.openOnStart = true;
    if (p.isSet(reports)) cfg.reportDir = p.value(reports);
    return cfg;
}
