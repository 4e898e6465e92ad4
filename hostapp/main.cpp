// kvo-host: the suite's shell. Reads its configuration, opens the shared database connection,
// loads the module and offers its screen.

#include "MainWindow.h"
#include "ModuleLoader.h"

#include "data/Exceptions.h"
#include "host/Application.h"
#include "host/Balvora.h"
#include "host/HostConfig.h"
#include "host/dtmDBGeral.h"
#include "widgets/Dispatch.h"
#include "widgets/Glyphs.h"
#include "widgets/GuiHostUi.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QTcpSocket>
#include <QTimer>
#include <cstdio>

namespace {

// Every start-up problem goes to stderr; a person at a screen also gets it as a dialog.
void warn(const QString& text) {
    std::fprintf(stderr, "kvo-host: %s\n", text.toUtf8().constData());
    const QString platform = QGuiApplication::platformName();
    if (platform != QLatin1String("offscreen") && platform != QLatin1String("minimal"))
        QMessageBox::warning(nullptr, kvo::SuiteName(), text);
}

bool serverReachable(const QString& host, int port) {
    QTcpSocket socket;
    socket.connectToHost(host, quint16(port));
    return socket.waitForConnected(3000);
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kvo-host"));
    // Window managers show the display name beside (or instead of) a window's own title.
    QApplication::setApplicationDisplayName(kvo::SuiteName());
    QApplication::setWindowIcon(kvo::WindowGlyph(QStringLiteral("suite")));
    kvo::GuiHostUi gui;
    kvo::SetUi(&gui);

    THostConfig config;
    try {
        config = LoadHostConfig(QApplication::arguments());
    } catch (const Exception& e) {
        warn(e.Message());
        return 2;
    }
    if (config.helpRequested) {
        std::fputs(HostConfigUsage().toLocal8Bit().constData(), stdout);
        std::fputs(QStringLiteral("Módulo padrão: %1\n")
                       .arg(QDir::toNativeSeparators(TModuleLoader::DefaultPath()))
                       .toLocal8Bit()
                       .constData(),
                   stdout);
        return 0;
    }
    Balvora::SetLogin(config.login);

    try {
        dtmDBGeral::Open(config.database);
    } catch (const Exception& e) {
        warn(e.Message());
        return 1;
    }

    TModuleLoader loader;
    const QString modulePath = config.modulePath.isEmpty() ? TModuleLoader::DefaultPath() : config.modulePath;
    kvo::Application().SetReportDir(
        config.reportDir.isEmpty() ? QFileInfo(modulePath).absoluteDir().filePath(QStringLiteral("reports"))
                                   : config.reportDir);
    QString moduleError;
    try {
        loader.Load(modulePath);
    } catch (const Exception& e) {
        moduleError = e.Message();
    }

    int rc = 0;
    {
        TMainWindow window(loader, config);
        kvo::Application().SetMainForm(&window);
        kvo::Application().SetMdiArea(window.mdiArea());
        window.show();

        if (!moduleError.isEmpty()) warn(moduleError);
        if (config.login.webPort <= 0) {
            warn(QStringLiteral("Servidor de aplicação não configurado (informe --server-port)."));
        } else if (!serverReachable(config.login.webUrl, config.login.webPort)) {
            warn(QStringLiteral(
                     "Servidor de aplicação inacessível em %1:%2. A tela Efetivos não poderá ser aberta "
                     "até que ele responda.")
                     .arg(config.login.webUrl)
                     .arg(config.login.webPort));
        }
        if (config.openOnStart && loader.Loaded())
            QTimer::singleShot(0, &window, [&window] { window.openEfetivos(); });

        rc = app.exec();
        kvo::Application().ReleaseScreens();
        kvo::Application().SetMdiArea(nullptr);
        kvo::Application().SetMainForm(nullptr);
    }
    loader.Unload();
    dtmDBGeral::Close();
    return rc;
}
