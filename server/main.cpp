// kvo-appserver: the application server hosting rdmMedEfetDiet.
#include "AppServer.h"
#include "Database.h"
#include "DemoData.h"
#include "Schema.h"
#include "ServerErrors.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <pthread.h>

using namespace kvo::server;

namespace {

void say(const QString& s) {
    const QByteArray b = (s + QLatin1Char('\n')).toUtf8();
    std::fwrite(b.constData(), 1, size_t(b.size()), stderr);
}

QByteArray readToken(const QString& file) {
    if (!file.isEmpty()) {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly))
            throw ServerError(QStringLiteral("Não foi possível ler o arquivo de token %1.").arg(file));
        return f.readAll().trimmed();
    }
    return qgetenv("KVO_TOKEN").trimmed();
}

QString usage(const QList<QCommandLineOption>& options) {
    QStringList names;
    int width = 0;
    for (const QCommandLineOption& o : options) {
        QStringList forms;
        for (const QString& n : o.names())
            forms.append((n.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + n);
        QString name = forms.join(QStringLiteral(", "));
        if (!o.valueName().isEmpty()) name += QLatin1Char(' ') + o.valueName().toUpper();
        names.append(name);
        width = std::max(width, int(name.size()));
    }
    QString text =
        QStringLiteral("Uso: kvo-appserver [opções]\n\n"
                       "Servidor de aplicação Kvo01000.rdmMedEfetDiet (JSON-RPC 2.0 sobre HTTP).\n\n"
                       "Opções:\n");
    for (int i = 0; i < options.size(); ++i)
        text += QStringLiteral("  %1  %2\n").arg(names[i], -width).arg(options[i].description());
    return text;
}

} // namespace

int main(int argc, char** argv) {
    // Block the stop signals before any thread starts so only sigwait below sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kvo-appserver"));
    QCommandLineParser p;
    const QCommandLineOption helpOpt({QStringLiteral("h"), QStringLiteral("help")},
                                     QStringLiteral("Mostra estas opções e termina."));
    const QCommandLineOption dbOpt(
        QStringLiteral("db"),
        QStringLiteral("Banco de dados: sqlite:CAMINHO ou postgres:host=H;port=P;dbname=D;user=U;password=S "
                       "(padrão: variável KVO_DB, senão sqlite:kvo.db)."),
        QStringLiteral("conexão"));
    const QCommandLineOption initOpt(
        QStringLiteral("init"), QStringLiteral("Cria ou atualiza o esquema e termina (salvo com --serve)."));
    const QCommandLineOption demoOpt(
        QStringLiteral("demo"),
        QStringLiteral("Grava dados de demonstração num banco vazio (implica --init)."));
    const QCommandLineOption serveOpt(QStringLiteral("serve"),
                                      QStringLiteral("Continua servindo depois de --init/--demo."));
    const QCommandLineOption listenOpt(QStringLiteral("listen"),
                                       QStringLiteral("Endereço de escuta (padrão 127.0.0.1)."),
                                       QStringLiteral("endereço"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption portOpt(QStringLiteral("port"), QStringLiteral("Porta (padrão 8211)."),
                                     QStringLiteral("porta"), QStringLiteral("8211"));
    const QCommandLineOption tokenOpt(
        QStringLiteral("token-file"),
        QStringLiteral("Arquivo com o token de acesso (padrão: variável KVO_TOKEN)."),
        QStringLiteral("arquivo"));
    const QCommandLineOption certOpt(QStringLiteral("tls-cert"),
                                     QStringLiteral("Certificado PEM: serve em HTTPS."),
                                     QStringLiteral("arquivo"));
    const QCommandLineOption keyOpt(QStringLiteral("tls-key"),
                                    QStringLiteral("Chave privada PEM do --tls-cert."),
                                    QStringLiteral("arquivo"));
    const QCommandLineOption workersOpt(
        QStringLiteral("workers"),
        QStringLiteral("Requisições atendidas ao mesmo tempo, uma conexão ao banco cada (padrão 8)."),
        QStringLiteral("n"), QStringLiteral("8"));
    const QCommandLineOption maxBodyOpt(
        QStringLiteral("max-body"), QStringLiteral("Maior corpo de requisição em bytes (padrão 33554432)."),
        QStringLiteral("bytes"), QStringLiteral("33554432"));
    const QCommandLineOption idleOpt(QStringLiteral("idle-timeout"),
                                     QStringLiteral("Fecha uma conexão calada por este tempo (padrão 10)."),
                                     QStringLiteral("segundos"), QStringLiteral("10"));
    const QCommandLineOption connOpt(QStringLiteral("max-connections"),
                                     QStringLiteral("Conexões abertas ao todo (padrão 1000)."),
                                     QStringLiteral("n"), QStringLiteral("1000"));
    const QCommandLineOption perIpOpt(
        QStringLiteral("max-per-address"),
        QStringLiteral("Conexões abertas de um mesmo endereço, 0 para sem limite (padrão 32)."),
        QStringLiteral("n"), QStringLiteral("32"));
    const QCommandLineOption quietOpt(QStringLiteral("quiet"),
                                      QStringLiteral("Sem linha de registro por requisição."));
    const QList<QCommandLineOption> options{helpOpt, dbOpt,    initOpt,  demoOpt, serveOpt,   listenOpt,
                                            portOpt, tokenOpt, certOpt,  keyOpt,  workersOpt, maxBodyOpt,
                                            idleOpt, connOpt,  perIpOpt, quietOpt};
    p.addOptions(options);
    if (!p.parse(app.arguments())) {
        // The parser's own texts are English; the user gets what went wrong in Portuguese.
        const QStringList unknown = p.unknownOptionNames();
        say(unknown.isEmpty()
                ? QStringLiteral("kvo-appserver: opção sem valor ou argumento inesperado (%1). Veja --help.")
                      .arg(p.errorText())
                : QStringLiteral("kvo-appserver: opção desconhecida: %1. Veja --help.")
                      .arg(unknown.join(QStringLiteral(", "))));
        return 2;
    }
    if (p.isSet(helpOpt)) {
        std::fputs(usage(options).toUtf8().constData(), stdout);
        return 0;
    }

    QString dbText = p.value(dbOpt);
    if (dbText.isEmpty()) dbText = qEnvironmentVariable("KVO_DB", QStringLiteral("sqlite:kvo.db"));

    try {
        const DbSpec target = DbSpec::parse(dbText);
        if (p.isSet(initOpt) || p.isSet(demoOpt)) {
            {
                QSqlDatabase db = openDatabase(target, QStringLiteral("kvo-init"));
                Schema::migrate(db);
                say(QStringLiteral("Esquema na versão %1 em %2.")
                        .arg(Schema::currentVersion(db))
                        .arg(target.describe()));
                if (p.isSet(demoOpt)) {
                    const DemoSummary s = seedDemo(db);
                    say(QStringLiteral(
                            "Dados de demonstração: %1 filiais, %2 serviços, %3 dietas, %4 clientes, "
                            "%5 linhas de dieta, %6 participações de clientes.")
                            .arg(s.branches)
                            .arg(s.services)
                            .arg(s.diets)
                            .arg(s.clients)
                            .arg(s.dietRows)
                            .arg(s.shares));
                }
                db.close();
            }
            QSqlDatabase::removeDatabase(QStringLiteral("kvo-init"));
            if (!p.isSet(serveOpt)) return 0;
        }

        ServerOptions o;
        o.database = dbText;
        o.token = readToken(p.value(tokenOpt));
        o.host = p.value(listenOpt);
        bool ok = false;
        o.port = p.value(portOpt).toInt(&ok);
        if (!ok || o.port < 0 || o.port > 65535)
            throw ServerError(QStringLiteral("Porta inválida: %1").arg(p.value(portOpt)));
        o.workers = std::max(1, p.value(workersOpt).toInt());
        o.maxBodyBytes = std::max<qint64>(1024, p.value(maxBodyOpt).toLongLong());
        o.idleTimeoutSec = std::max(1, p.value(idleOpt).toInt());
        o.maxConnections = std::max(1, p.value(connOpt).toInt());
        o.maxPerAddress = std::max(0, p.value(perIpOpt).toInt());
        o.certFile = p.value(certOpt);
        o.keyFile = p.value(keyOpt);
        o.logRequests = !p.isSet(quietOpt);

        AppServer server(o);
        const int port = server.start();
        say(QStringLiteral("kvo-appserver: %1 em %2://%3:%4%5 (%6)")
                .arg(QStringLiteral("Kvo01000.rdmMedEfetDiet"),
                     o.certFile.isEmpty() ? QStringLiteral("http") : QStringLiteral("https"), o.host)
                .arg(port)
                .arg(AppServer::path(), target.describe()));
        int sig = 0;
        sigwait(&stopSignals, &sig);
        say(QStringLiteral("kvo-appserver: sinal %1 recebido; concluindo as requisições em andamento.")
                .arg(sig));
        server.stop();
        say(QStringLiteral("kvo-appserver: encerrado."));
        return 0;
    } catch (const ServerError& e) {
        say(QStringLiteral("kvo-appserver: %1").arg(e.message()));
        return 1;
    } catch (const std::exception& e) {
        say(QStringLiteral("kvo-appserver: %1").arg(QString::fromUtf8(e.what())));
        return 1;
    }
}
