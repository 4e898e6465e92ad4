#pragma once

#include "RecordingServer.h"
#include "TestHostUi.h"

#include <QDate>
#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantList>
#include <memory>

class QMainWindow;
class TfrmMediEfetDiet;
class TFocusControl;
namespace kvo::server {
class AppServer;
}

// The headcount screen over the real server code on loopback: a fresh SQLite suite database
// with known data, the in-process application server behind a recording stand-in, the host's
// shared connection and login context, and a scripted person.
class HeadcountFixture {
public:
    // Processing date of the seeded branch 0001.
    static QDate proc() { return QDate(2026, 12, 8); }

    explicit HeadcountFixture(bool boundToBranch = false, const QString& branch = QStringLiteral("0001"));
    ~HeadcountFixture();

    // Runs SQL on the suite database (seeding a case's own data).
    void sql(const QString& statement);
    void setPlanning(const QString& block, double daysOpen, const QString& afterProc,
                     const QString& withdrawal = QStringLiteral("S"));

    // Creates, shows and activates the screen (first activation included).
    TfrmMediEfetDiet* open();
    // The same inside a main window's MDI area, as the host shows it.
    TfrmMediEfetDiet* openInMainWindow();
    QMainWindow* mainWindow() const { return m_main.get(); }
    TfrmMediEfetDiet* form() const { return m_form; }
    // Closes the screen and opens a new one, as a clerk coming back to it.
    TfrmMediEfetDiet* reopen();
    // A second workstation's screen on the same server (owned by the caller).
    TfrmMediEfetDiet* openAnother();
    // A method's result straight from the server (not recorded), through the result check.
    QJsonValue direct(const QString& method, const QVariantList& args);
    // What the server holds for a day of branch 0001, read with GetCardadia straight from the
    // server (not recorded): "SERV/DIET cli+fun+doa=total" per row.
    QStringList held(const QDate& date);
    // The application server itself, behind the recording stand-in.
    int serverPort() const { return m_serverPort; }

    // Moves the focus as a person would (a click on the control).
    void click(QWidget* control);
    void typeInto(QWidget* control, const QString& text);
    // Types a date and leaves the header towards the service grid.
    void loadDay(const QDate& date);

    kvo::test::TestHostUi ui; // installed as the host UI for the fixture's lifetime
    std::unique_ptr<RecordingServer> recorder;

private:
    QTemporaryDir m_dir;
    QString m_dbPath;
    std::unique_ptr<kvo::server::AppServer> m_server;
    int m_serverPort = 0;
    std::unique_ptr<QMainWindow> m_main;
    TfrmMediEfetDiet* m_form = nullptr;
};
