#include "HeadcountFixture.h"

#include "appserver/TNetConnection.h"
#include "headcount/TfrmMediEfetDiet.h"
#include "host/Application.h"
#include "host/Balvora.h"
#include "host/Consiste.h"
#include "host/ScreenCreation.h"
#include "host/dtmDBGeral.h"
#include "module/Units.h"

#include "Fixture.h"
#include "server/AppServer.h"
#include "server/Schema.h"

#include <QApplication>
#include <QMainWindow>
#include <QMdiArea>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <stdexcept>

namespace {

const char* const kSeed[] = {
    "INSERT INTO FILIAL VALUES ('0001', 'Hospital Central', 'N', '2026-12-08')",
    "INSERT INTO FILIAL VALUES ('0002', 'Hospital Norte', 'S', '2026-12-01')",
    "INSERT INTO FILIAL VALUES ('AB1', 'Clínica Sul', 'N', '2026-12-08')",
    "INSERT INTO OPERADOR VALUES ('ADM', 'Administrador')",
    "INSERT INTO OPERFILI VALUES ('ADM', '0001')",
    "INSERT INTO OPERFILI VALUES ('ADM', '0002')",
    "INSERT INTO OPERFILI VALUES ('ADM', 'AB1')",
    "INSERT INTO PARAMGERAL VALUES ('S')",
    "INSERT INTO SERVICO VALUES ('0001', '00001', 'Clínica Médica', 'D')",
    "INSERT INTO SERVICO VALUES ('0001', '00002', 'Pediatria', 'D')",
    "INSERT INTO SERVICO VALUES ('0001', '00009', 'Padronização', 'P')",
    "INSERT INTO DIETPADR VALUES ('0001', 'Livre', 'S')",
    "INSERT INTO DIETPADR VALUES ('0002', 'Branda', 'S')",
    "INSERT INTO DIETPADR VALUES ('0003', 'Pastosa', 'S')",
    "INSERT INTO DIETPADR VALUES ('0009', 'Especial', 'N')",
    "INSERT INTO DIETSERV VALUES ('0001', '00001', '0001')",
    "INSERT INTO DIETSERV VALUES ('0001', '00001', '0003')",
    "INSERT INTO DIETSERV VALUES ('0001', '00001', '0009')",
    "INSERT INTO DIETSERV VALUES ('0001', '00002', '0002')",
    // Menus of 01/12 to 08/12; only 08/12, 04/12 and 01/12 have diet rows.
    "INSERT INTO CARDAPIO VALUES ('0001', '2026-12-08', '0000000801', '2026-12-01')",
    "INSERT INTO CARDAPIO VALUES ('0001', '2026-12-04', '0000000401', '2026-12-01')",
    "INSERT INTO CARDAPIO VALUES ('0001', '2026-12-02', '0000000201', '2026-12-01')",
    "INSERT INTO CARDAPIO VALUES ('0001', '2026-12-01', '0000000101', '2026-12-01')",
    // Clients of service 00001: on 08/12 Livre is shared out (Alfa numbered, Beta from before
    // numbering), Delta has no share yet and Gama is settled.
    "INSERT INTO CLIENTE VALUES ('C01', 'Alfa Convênios')",
    "INSERT INTO CLIENTE VALUES ('C02', 'Beta Saúde')",
    "INSERT INTO CLIENTE VALUES ('C03', 'Gama Seguros')",
    "INSERT INTO CLIENTE VALUES ('C04', 'Delta Planos')",
    "INSERT INTO CLIESERV VALUES ('0001', '00001', 'C01')",
    "INSERT INTO CLIESERV VALUES ('0001', '00001', 'C02')",
    "INSERT INTO CLIESERV VALUES ('0001', '00001', 'C03')",
    "INSERT INTO CLIESERV VALUES ('0001', '00001', 'C04')",
    "INSERT INTO CLIESERV VALUES ('0001', '00002', 'C01')",
    "INSERT INTO EFETDIET VALUES ('0001', '00001', 'C01', '2026-12-08', '0001', '0000000001', 8, 2, 0, NULL)",
    "INSERT INTO EFETDIET VALUES ('0001', '00001', 'C02', '2026-12-08', '0001', '', 4, 1, 0, NULL)",
    "INSERT INTO APURACLIE VALUES ('0001', 'C03', '2026-12-08', 'S')",
    "UPDATE KVOSEQUENCIA SET NRULTIMO = 1",
};

void CardadiaRow(QSqlDatabase& db, const char* date, const char* service, const char* diet, double cli,
                 double fun, double doa) {
    QSqlQuery q(db);
    q.prepare(QStringLiteral(
        "INSERT INTO CARDADIA (CDFILIAL, DTCARDAPIO, CDSERVFILI, CDDIETPAD, NRCARDAPIO, DTMESCARD,"
        " QTCOMEFETCAR, QTCLIEFETCAR, QTFUNEFETCAR, QTDOAEFETCAR, QTCOMESTICAR, QTCLIESTICAR,"
        " QTFUNESTICAR, QTDOAESTICAR, QTCOMEFETRI, QTCOMEFETSL, CDOPERADOR)"
        " VALUES ('0001', ?, ?, ?, '0000000801', '2026-12-01', ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 'ADM')"));
    const double total = cli + fun + doa;
    for (const QVariant& v :
         QVariantList{QString::fromLatin1(date), QString::fromLatin1(service), QString::fromLatin1(diet),
                      total, cli, fun, doa, total + 2, cli + 1, fun + 1, doa, total, total})
        q.addBindValue(v);
    if (!q.exec()) throw std::runtime_error(q.lastError().text().toStdString());
}

} // namespace

HeadcountFixture::HeadcountFixture(bool boundToBranch, const QString& branch) {
    if (!m_dir.isValid()) throw std::runtime_error("no temporary directory");
    m_dbPath = m_dir.filePath(QStringLiteral("kvo.db"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("seed"));
        db.setDatabaseName(m_dbPath);
        if (!db.open()) throw std::runtime_error("cannot create the test database");
        kvo::server::Schema::migrate(db);
        for (const char* statement : kSeed) {
            QSqlQuery q(db);
            if (!q.exec(QString::fromUtf8(statement)))
                throw std::runtime_error(q.lastError().text().toStdString());
        }
        CardadiaRow(db, "2026-12-08", "00001", "0003", 4, 1, 0);
        CardadiaRow(db, "2026-12-08", "00001", "0001", 12, 3, 0);
        CardadiaRow(db, "2026-12-08", "00002", "0002", 7, 2, 1);
        CardadiaRow(db, "2026-12-04", "00001", "0001", 10, 0, 0);
        CardadiaRow(db, "2026-12-01", "00001", "0001", 9, 0, 0);
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("seed"));

    m_server = std::make_unique<kvo::server::AppServer>(kvo::server::ServerOptions{});
    const QByteArray token = "test-token";
    const int port = m_server->start(QStringLiteral("sqlite:") + m_dbPath, token, 0);
    m_serverPort = port;
    recorder = std::make_unique<RecordingServer>(port);

    dtmDBGeral::TDatabaseConfig config;
    config.driver = QStringLiteral("QSQLITE");
    config.database = m_dbPath;
    dtmDBGeral::Open(config);

    Balvora::TLogin login;
    login.filial = branch;
    login.operador = QStringLiteral("ADM");
    login.moduFili = boundToBranch;
    login.webUrl = QStringLiteral("127.0.0.1");
    login.webPort = recorder->port();
    login.token = QString::fromLatin1(token);
    Balvora::SetLogin(login);
}

HeadcountFixture::~HeadcountFixture() {
    if (frmMediEfetDiet == m_form) frmMediEfetDiet = nullptr;
    delete m_form;
    if (m_main) {
        kvo::Application().SetMdiArea(nullptr);
        m_main.reset();
    }
    dtmDBGeral::Close();
    recorder.reset();
    m_server.reset();
}

void HeadcountFixture::sql(const QString& statement) {
    QSqlQuery q(dtmDBGeral::dtbGeral());
    if (!q.exec(statement)) throw std::runtime_error(q.lastError().text().toStdString());
}

void HeadcountFixture::setPlanning(const QString& block, double daysOpen, const QString& afterProc,
                                   const QString& withdrawal) {
    sql(QStringLiteral("DELETE FROM PARAMPLANEJA WHERE CDFILIAL = '0001'"));
    sql(QStringLiteral("INSERT INTO PARAMPLANEJA VALUES ('0001', '%1', %2, '%3', '%4')")
            .arg(block)
            .arg(daysOpen)
            .arg(withdrawal, afterProc));
}

TfrmMediEfetDiet* HeadcountFixture::open() {
    m_form = kvo::CreateForm<TfrmMediEfetDiet>();
    frmMediEfetDiet = m_form; // the module's other screens work on this one
    m_form->resize(1024, 768);
    if (!kvo::test::ShowActive(m_form)) throw std::runtime_error("the screen did not become active");
    kvo::test::Settle();
    return m_form;
}

TfrmMediEfetDiet* HeadcountFixture::reopen() {
    if (frmMediEfetDiet == m_form) frmMediEfetDiet = nullptr;
    delete m_form;
    m_form = nullptr;
    return open();
}

TfrmMediEfetDiet* HeadcountFixture::openAnother() {
    auto* other = kvo::CreateForm<TfrmMediEfetDiet>();
    other->resize(1024, 768);
    if (!kvo::test::ShowActive(other)) throw std::runtime_error("the second screen did not become active");
    kvo::test::Settle();
    return other;
}

QJsonValue HeadcountFixture::direct(const QString& method, const QVariantList& args) {
    TNetConnection net;
    net.Port = m_serverPort;
    net.Token = QStringLiteral("test-token");
    return Consiste::CheckResultServ(net.Call(method, args), true, 0);
}

QStringList HeadcountFixture::held(const QDate& date) {
    const TPacketPair day =
        TPacketPair::fromJson(direct(QStringLiteral("GetCardadia"), {QStringLiteral("0001"), date}));
    auto col = [&](const char* name) {
        for (int i = 0; i < day.first.fields.size(); ++i)
            if (day.first.fields[i].name == QLatin1String(name)) return i;
        throw std::runtime_error(name);
    };
    const int serv = col("CDSERVFILI"), diet = col("CDDIETPAD"), cli = col("QTCLIEFETCAR"),
              fun = col("QTFUNEFETCAR"), doa = col("QTDOAEFETCAR"), tot = col("QTCOMEFETCAR");
    QStringList rows;
    for (const auto& row : day.first.rows)
        rows << QStringLiteral("%1/%2 %3+%4+%5=%6")
                    .arg(row[serv].toString(), row[diet].toString(), row[cli].toString(), row[fun].toString(),
                         row[doa].toString(), row[tot].toString());
    return rows;
}

TfrmMediEfetDiet* HeadcountFixture::openInMainWindow() {
    m_main = std::make_unique<QMainWindow>();
    auto* mdi = new QMdiArea(m_main.get());
    m_main->setCentralWidget(mdi);
    m_main->resize(1200, 900);
    kvo::Application().SetMdiArea(mdi);
    if (!kvo::test::ShowActive(m_main.get()))
        throw std::runtime_error("the main window did not become active");
    m_form = kvo::CreateForm<TfrmMediEfetDiet>();
    frmMediEfetDiet = m_form;
    m_form->resize(1024, 768);
    kvo::Application().ShowChild(m_form);
    kvo::test::Settle();
    return m_form;
}

void HeadcountFixture::click(QWidget* control) {
    kvo::test::Click(control);
    kvo::test::Settle();
}

void HeadcountFixture::typeInto(QWidget* control, const QString& text) {
    click(control);
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : control;
    QTest::keyClick(target, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(target, Qt::Key_Backspace);
    QTest::keyClicks(target, text);
}

void HeadcountFixture::loadDay(const QDate& date) {
    click(m_form->depCardapio);
    m_form->depCardapio->SetDate(date);
    click(m_form->dbgCardServ);
}
