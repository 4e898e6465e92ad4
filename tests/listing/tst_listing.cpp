// The listing screen over a known suite database: its checks, the report parameters, and the
// reports' figures, files and failures.

#include "listing/TfrmListEfetDiet.h"

#include "host/Application.h"
#include "host/Balvora.h"
#include "host/HostConfig.h"
#include "host/ScreenCreation.h"
#include "host/dtmDBGeral.h"
#include "report/ReportEngine.h"
#include "report/TReportDesignerDialog.h"
#include "report/TReportEditor.h"

#include "Fixture.h"
#include "PgTest.h"
#include "server/Schema.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <memory>

using namespace kvo::report;

namespace {

const char* const kSeed[] = {
    "INSERT INTO FILIAL VALUES ('0001', 'Hospital Central', 'N', '2026-12-08')",
    "INSERT INTO FILIAL VALUES ('0002', 'Hospital Norte', 'N', '2026-12-01')",
    "INSERT INTO OPERADOR VALUES ('ADM', 'Administrador')",
    "INSERT INTO OPERFILI VALUES ('ADM', '0001')",
    "INSERT INTO OPERFILI VALUES ('ADM', '0002')",
    "INSERT INTO SERVICO VALUES ('0001', '00002', 'Pediatria', 'D')",
    "INSERT INTO SERVICO VALUES ('0001', '00001', 'Clínica Médica', 'D')",
    "INSERT INTO SERVICO VALUES ('0001', '00009', 'Padronização', 'P')",
    "INSERT INTO DIETPADR VALUES ('0001', 'Livre', 'S')",
    "INSERT INTO DIETPADR VALUES ('0002', 'Branda', 'S')",
};

// date, service, diet, clients, employees, donations, estimate
struct Row {
    const char *date, *service, *diet;
    int cli, fun, doa, est;
};
const Row kRows[] = {
    {"2026-12-01", "00001", "0001", 9, 1, 0, 12},  {"2026-12-01", "00002", "0002", 4, 0, 1, 5},
    {"2026-12-04", "00001", "0001", 10, 2, 0, 10}, {"2026-12-04", "00001", "0002", 3, 0, 0, 2},
    {"2026-12-08", "00002", "0001", 7, 2, 1, 9},   {"2026-12-09", "00001", "0001", 50, 0, 0, 50},
};

} // namespace

// A member of a zip file (an XLSX is one), as text.
QString unzipped(const QString& zip, const QString& member) {
    QProcess unzip;
    unzip.start("unzip", {"-p", zip, member});
    unzip.waitForFinished();
    return QString::fromUtf8(unzip.readAllStandardOutput());
}

class TestListing : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<kvo::test::PgTestDatabase> m_pg;
    std::unique_ptr<kvo::test::TestHostUi> m_ui;
    TfrmListEfetDiet* m_form = nullptr;

    static void exec(QSqlDatabase db, const QString& sql, const QVariantList& values = {}) {
        QSqlQuery q(db);
        QVERIFY2(q.prepare(sql), qPrintable(q.lastError().text()));
        for (const QVariant& v : values)
            q.addBindValue(v);
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    }

    static void seed(QSqlDatabase db) {
        kvo::server::Schema::migrate(db);
        for (const char* s : kSeed)
            exec(db, QString::fromUtf8(s));
        for (const Row& r : kRows)
            exec(db,
                 "INSERT INTO CARDADIA (CDFILIAL, DTCARDAPIO, CDSERVFILI, CDDIETPAD, QTCOMEFETCAR, "
                 "QTCLIEFETCAR,"
                 " QTFUNEFETCAR, QTDOAEFETCAR, QTCOMESTICAR) VALUES ('0001', ?, ?, ?, ?, ?, ?, ?, ?)",
                 {r.date, r.service, r.diet, r.cli + r.fun + r.doa, r.cli, r.fun, r.doa, r.est});
    }

    QString reportDir() const { return m_dir.filePath("reports"); }

    void open() {
        delete m_form;
        m_form = kvo::CreateForm<TfrmListEfetDiet>();
        QVERIFY(kvo::test::ShowActive(m_form));
        kvo::test::Settle();
        m_ui->Clear();
    }

    void setDates(const QString& ini, const QString& fin) {
        m_form->depDataIni->SetText(ini);
        m_form->depDataFin->SetText(fin);
    }

    TReportLayout layoutOf(const QString& file) {
        const TReportDefinition def = LoadDefinition(QDir(reportDir()).filePath(file));
        return m_form->rpddPadrao->Run(def);
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        dtmDBGeral::TDatabaseConfig cfg;
#ifdef KVO_LISTING_TEST_PG
        m_pg = std::make_unique<kvo::test::PgTestDatabase>(QStringLiteral("kvolisting"));
        seed(m_pg->open("setup"));
        m_pg->close("setup");
        cfg = ParseDatabaseUrl(m_pg->connectionString());
#else
        cfg.database = m_dir.filePath("suite.db");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "setup");
            db.setDatabaseName(cfg.database);
            QVERIFY(db.open());
            seed(db);
            db.close();
        }
        QSqlDatabase::removeDatabase("setup");
#endif
        dtmDBGeral::Open(cfg);
        Balvora::TLogin login;
        login.filial = "0001";
        login.operador = "ADM";
        Balvora::SetLogin(login);

        QDir().mkpath(reportDir());
        const QDir shipped(qEnvironmentVariable("KVO_SOURCE_DIR") + "/listing/reports");
        for (const QString& f : shipped.entryList({"*.kvr"}))
            QVERIFY(QFile::copy(shipped.filePath(f), QDir(reportDir()).filePath(f)));
        kvo::Application().SetReportDir(reportDir());

        m_ui = std::make_unique<kvo::test::TestHostUi>();
        open();
    }

    void cleanupTestCase() {
        delete m_form;
        m_ui.reset();
        dtmDBGeral::Close();
    }

    void startsOnLoginBranchAndProcessingDate() {
        QCOMPARE(m_form->medCdFilial->Text(), QString("0001"));
        QCOMPARE(m_form->edtNmFilial->Text(), QString("Hospital Central"));
        QCOMPARE(m_form->depDataFin->GetDate(), QDate(2026, 12, 8));
        QCOMPARE(m_form->edtDataIni->Text(), QString("Terça"));
        QCOMPARE(m_form->cbbReportNames->count(), 2);
        QVERIFY(m_form->rbtTodosServ->Checked());
        QVERIFY(!m_form->btnServico->Enabled());
    }

    void glyphsAndHelp() {
        kvo::test::NoIconTheme();
        open();
        QCOMPARE(kvo::test::CommandsWithoutGlyph(m_form), QStringList());
        QVERIFY(!m_form->windowIcon().isNull());
        qputenv("KVO_HELP_DIR", kvo::test::BuiltHelpDir().toUtf8());
        kvo::test::Press(Qt::Key_F1, Qt::NoModifier, m_form);
        qunsetenv("KVO_HELP_DIR");
        QCOMPARE(m_ui->Log().filter(QStringLiteral("help")), QStringList({"help KvoHelp.qhc 12001001"}));
    }

    void dateRules_data() {
        QTest::addColumn<QString>("ini");
        QTest::addColumn<QString>("fin");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("focus");
        QTest::newRow("ends on processing date") << "01/12/2026"
                                                 << "08/12/2026"
                                                 << ""
                                                 << "";
        QTest::newRow("one day later") << "01/12/2026"
                                       << "09/12/2026"
                                       << "Data final deve ser menor ou igual a data de processamento."
                                       << "depDataFin";
        QTest::newRow("equal dates") << "04/12/2026"
                                     << "04/12/2026"
                                     << ""
                                     << "";
        QTest::newRow("initial after final, final after proc")
            << "12/12/2026"
            << "10/12/2026"
            << "Data final deve ser menor ou igual a data de processamento."
            << "depDataFin";
        QTest::newRow("initial after final") << "05/12/2026"
                                             << "04/12/2026"
                                             << "Data inicial deve ser menor ou igual a data final."
                                             << "depDataIni";
        QTest::newRow("no initial date") << ""
                                         << "04/12/2026"
                                         << "Data inicial deve ser informada."
                                         << "depDataIni";
        QTest::newRow("no final date") << "01/12/2026"
                                       << ""
                                       << "Data final deve ser informada."
                                       << "depDataFin";
    }
    void dateRules() {
        QFETCH(QString, ini);
        QFETCH(QString, fin);
        QFETCH(QString, error);
        QFETCH(QString, focus);
        m_form->rbtTodosServ->SetChecked(true);
        setDates(ini, fin);
        m_ui->Clear();
        kvo::test::ClickButton(m_form->sbtPreview);
        kvo::test::Settle();
        if (error.isEmpty()) {
            QCOMPARE(m_ui->Errors(), QStringList());
            QVERIFY(m_ui->Log().contains("preview: Efetivos por data, serviço e dieta"));
        } else {
            QCOMPARE(m_ui->Errors(), QStringList{error});
            QCOMPARE(kvo::test::FocusedControl(m_form)->objectName(), focus);
        }
    }

    void serviceListIsEmptiedByBranchEditAndByLista() {
        setDates("01/12/2026", "08/12/2026");
        kvo::test::ClickButton(m_form->rbtListaServ);
        QVERIFY(m_form->btnServico->Enabled());
        // F9 on "Lista" opens the same lookup as the button.
        m_ui->Tick({"00002"});
        kvo::test::Press(Qt::Key_F9, Qt::NoModifier, m_form->rbtListaServ);
        kvo::test::Settle();
        QCOMPARE(stListaServ, QString("_00002"));
        QCOMPARE(m_ui->Lookups().size(), 1);
        QCOMPARE(m_ui->Lookups().first().text, QString("Serviço"));
        QCOMPARE(m_ui->Lookups().first().rows.size(), 2); // hospital services only

        m_form->medCdFilial->SetText("0002");
        m_form->medCdFilial->SetText("0001");
        QVERIFY(stListaServ.isEmpty());
        m_ui->Clear();
        kvo::test::ClickButton(m_form->sbtPrint);
        kvo::test::Settle();
        QCOMPARE(m_ui->Errors(), QStringList{"Serviço deve ser informado."});
        QCOMPARE(kvo::test::FocusedControl(m_form), m_form->rbtListaServ);

        m_ui->Tick({"00001"});
        kvo::test::ClickButton(m_form->btnServico);
        QCOMPARE(stListaServ, QString("_00001"));
        kvo::test::ClickButton(m_form->rbtListaServ);
        m_form->rbtListaServ->OnClick(m_form->rbtListaServ);
        QVERIFY(stListaServ.isEmpty());
    }

    void parametersOnlyWhereDeclared() {
        setDates("01/12/2026", "08/12/2026");
        m_form->rbtTodosServ->SetChecked(true);
        stListaServ = "_00002";
        bool flag = false;
        TReportParams all(
            {"P_CDFILIAL", "P_CDSERVFILI", "P_DTINICIAL", "P_DTFINAL", "P_DTPERINI", "P_DTPERFIN"});
        m_form->rpddPadraoBeforeGetQueryParams(m_form, all, flag);
        QCOMPARE(all.Find("P_CDFILIAL")->Value(), QVariant("0001"));
        QCOMPARE(all.Find("P_CDSERVFILI")->Value(),
                 QVariant("_00001_00002")); // code order, whatever was picked
        QCOMPARE(all.Find("P_DTINICIAL")->Value(), QVariant(QDate(2026, 12, 1)));
        QCOMPARE(all.Find("P_DTPERFIN")->Value(), QVariant("08/12/2026"));

        TReportParams dates({"P_DTINICIAL", "P_DTFINAL"});
        m_form->rpddPadraoBeforeGetQueryParams(m_form, dates, flag);
        QCOMPARE(dates.Names(), (QStringList{"P_DTINICIAL", "P_DTFINAL"}));
        QCOMPARE(dates.Find("P_DTFINAL")->Value(), QVariant(QDate(2026, 12, 8)));
        TReportParams none;
        m_form->rpddPadraoBeforeGetQueryParams(m_form, none, flag);
        QCOMPARE(none.Count(), 0);

        kvo::test::ClickButton(m_form->rbtListaServ);
        QVERIFY(stListaServ.isEmpty());
        m_form->rbtTodosServ->SetChecked(true);
    }

    void figuresAgreeWithTheDatabase() {
        setDates("01/12/2026", "08/12/2026");
        m_form->rbtTodosServ->SetChecked(true);
        const TReportLayout byDate = layoutOf("KVO010-efetivos-por-data.kvr");
        QCOMPARE(byDate.subtitle, QString("Filial 0001 - período de 01/12/2026 a 08/12/2026"));
        QStringList details, footers;
        for (const TReportLine& l : byDate.lines) {
            if (l.kind == TReportLine::Detail) details << l.cells.join('|');
            if (l.kind != TReportLine::Detail && l.kind != TReportLine::Header) footers << l.cells.join('|');
        }
        QCOMPARE(details.first(), QString("01/12/2026|Clínica Médica|Livre|9|1|0|10"));
        QCOMPARE(details.size(), 5);                               // 09/12 is outside the range
        QVERIFY(footers.contains("Total do serviço|||13|2|0|15")); // 04/12, Clínica Médica
        QVERIFY(footers.contains("Total do dia|||13|2|0|15"));
        QCOMPARE(footers.last(), QString("Total geral|||33|5|2|40"));

        const TReportLayout summary = layoutOf("KVO010-resumo-por-servico.kvr");
        QCOMPARE(summary.lines.first().cells.join('|'), QString("00001|Clínica Médica|22|3|0|25|24|1"));
        QCOMPARE(summary.lines.last().cells.join('|'), QString("Total geral||33|5|2|40|38|2"));

        // Only the picked service.
        kvo::test::ClickButton(m_form->rbtListaServ);
        stListaServ = "_00002";
        QCOMPARE(layoutOf("KVO010-resumo-por-servico.kvr").lines.first().cells.value(0), QString("00002"));
        m_form->rbtTodosServ->SetChecked(true);

        const QString csv = m_dir.filePath("resumo.csv");
        WriteCsv(LoadDefinition(QDir(reportDir()).filePath("KVO010-resumo-por-servico.kvr")), summary, csv);
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(f.readAll()).split("\r\n", Qt::SkipEmptyParts);
        QCOMPARE(lines.first(),
                 QString("Código;Serviço;Clientes;Funcionários;Doações;Efetivo;Estimado;Diferença"));
        QCOMPARE(lines.last(), QString("Total geral;;33;5;2;40;38;2"));

        const QString pdf = m_dir.filePath("listagem.pdf");
        WritePdf(LoadDefinition(QDir(reportDir()).filePath("KVO010-efetivos-por-data.kvr")), byDate, pdf);
        QFile p(pdf);
        QVERIFY(p.open(QIODevice::ReadOnly));
        const QByteArray bytes = p.readAll();
        QVERIFY(bytes.startsWith("%PDF-"));
        QVERIFY(bytes.trimmed().endsWith("%%EOF"));

        // The spreadsheet: codes stay texts, figures are numbers in their column's format.
        const QString xlsx = m_dir.filePath("resumo.xlsx");
        WriteFile(LoadDefinition(QDir(reportDir()).filePath("KVO010-resumo-por-servico.kvr")), summary, xlsx);
        if (QStandardPaths::findExecutable("unzip").isEmpty()) QSKIP("unzip is not installed");
        const QString sheet = unzipped(xlsx, "xl/worksheets/sheet1.xml");
        const QString strings = unzipped(xlsx, "xl/sharedStrings.xml");
        QVERIFY(strings.contains("<t>Total geral</t>") && strings.contains("<t>00001</t>"));
        QVERIFY(unzipped(xlsx, "xl/styles.xml").contains("formatCode=\"#,##0\""));
        static const QRegularExpression rowRe("<row r=\"(\\d+)\"[^>]*>(.*?)</row>");
        static const QRegularExpression numRe("<c r=\"([A-Z]+)\\d+\" s=\"\\d+\"><v>([^<]*)</v>");
        QStringList rows;
        for (auto it = rowRe.globalMatch(sheet); it.hasNext();) {
            const QString cells = it.next().captured(2);
            QStringList numbers;
            for (auto c = numRe.globalMatch(cells); c.hasNext();) {
                const auto m = c.next();
                numbers << m.captured(1) + '=' + m.captured(2);
            }
            rows << numbers.join(' ');
        }
        QCOMPARE(rows.size(), summary.lines.size() + 1);
        QCOMPARE(rows[1], QString("C=22 D=3 E=0 F=25 G=24 H=1")); // A (00001) and B are texts
        QCOMPARE(rows.last(), QString("C=33 D=5 E=2 F=40 G=38 H=2"));
    }

    // The editor over the listing: columns and groups changed through the form, a bad width refused
    // with the file untouched, the text tab read back into the form, then saved and reopened.
    void editorChangesColumnsAndGroups() {
        m_ui->Clear();
        setDates("", "");
        m_form->medCdFilial->SetFocus();
        const QString path = QDir(reportDir()).filePath("KVO010-efetivos-por-data.kvr");
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();
        m_ui->OnDialog([&](QDialog* dialog) {
            auto* editor = qobject_cast<TReportEditor*>(dialog);
            QVERIFY(editor);
            // Opened with empty dates: the pages are there, with no rows, only the zero total.
            QVERIFY2(editor->Preview(), qPrintable(editor->Problem()));
            QCOMPARE(editor->Preview()->Layout().lines.size(), 1);
            setDates("01/12/2026", "08/12/2026");

            QTableWidget* cols = editor->grdColunas;
            cols->item(1, TReportEditor::colTitulo)->setText("Serviço hospitalar");
            cols->setCurrentCell(2, 0); // Dieta before Serviço
            kvo::test::ClickButton(editor->btnColSubir);
            kvo::test::ClickButton(editor->btnColAdicionar); // after Dieta
            cols->item(2, TReportEditor::colCampo)->setText("cddietpad");
            cols->item(2, TReportEditor::colTitulo)->setText("Código");
            cols->item(2, TReportEditor::colLargura)->setText("12,5");
            cols->item(2, TReportEditor::colAlinhamento)->setText("centro");
            editor->grdGrupos->setCurrentCell(1, 0); // no more per-service totals
            kvo::test::ClickButton(editor->btnGrpRemover);
            QVERIFY2(editor->Refresh(), qPrintable(editor->Problem()));
            const TReportLayout& pages = editor->Preview()->Layout();
            QCOMPARE(pages.captions.mid(0, 4),
                     (QStringList{"Data", "Dieta", "Código", "Serviço hospitalar"}));
            QCOMPARE(pages.lines.first().text, QString("Data 01/12/2026"));
            QCOMPARE(pages.lines[1].cells.mid(0, 4),
                     (QStringList{"01/12/2026", "Livre", "0001", "Clínica Médica"}));
            for (const TReportLine& l : pages.lines)
                QVERIFY(l.cells.value(0) != "Total do serviço");
            QCOMPARE(pages.lines.last().cells.join('|'), QString("Total geral||||33|5|2|40"));

            cols->item(2, TReportEditor::colLargura)->setText("largo");
            kvo::test::ClickButton(editor->btnSalvar);
            QCOMPARE(m_ui->Errors(), QStringList{"Definição de relatório 'KVO010-efetivos-por-data.kvr': "
                                                 "coluna 3: largura 'largo' inválida (milímetros)."});
            QCOMPARE(editor->result(), int(QDialog::Rejected));
            cols->item(2, TReportEditor::colLargura)->setText("12,5");

            // The text tab shows the form; what is typed there comes back into the form.
            editor->pgcEditor->setCurrentWidget(editor->memTexto);
            QVERIFY(editor->memTexto->toPlainText().contains(
                "campo = CDDIETPAD\ntitulo = Código\nlargura = 12,5"));
            editor->memTexto->setPlainText(editor->memTexto->toPlainText().replace(
                "titulo = Efetivos por data", "titulo = Efetivos do mês"));
            editor->pgcEditor->setCurrentIndex(0);
            QCOMPARE(editor->edtTitulo->text(), QString("Efetivos do mês, serviço e dieta"));
            kvo::test::ClickButton(editor->btnSalvar);
        });
        kvo::test::ClickButton(m_form->sbtReportEdit);
        kvo::test::Settle();
        QCOMPARE(m_ui->Log().filter("dialog ").last(),
                 QString("dialog Editar relatório - Efetivos por data, serviço e dieta -> 1"));
        QCOMPARE(m_ui->Errors().size(), 1); // only the refused save
        QVERIFY(QFile(path).size() != before.size());
        const TReportDefinition saved = LoadDefinition(path);
        QCOMPARE(saved.title, QString("Efetivos do mês, serviço e dieta"));
        QCOMPARE(saved.columns[2].field, QString("CDDIETPAD"));
        QCOMPARE(saved.columns[2].width, 12.5);
        QCOMPARE(saved.columns[2].alignment, Qt::Alignment(Qt::AlignHCenter));
        QCOMPARE(saved.groups.size(), 1);
        QVERIFY(!saved.columns[0].repeat); // the date, printed only where it changes
        QCOMPARE(m_form->cbbReportNames->currentText(), saved.title);

        // Cancelled: nothing written.
        m_ui->OnDialog([](QDialog* dialog) {
            qobject_cast<TReportEditor*>(dialog)->edtTitulo->setText("Outro");
            dialog->reject();
        });
        kvo::test::ClickButton(m_form->sbtReportEdit);
        QCOMPARE(LoadDefinition(path).title, saved.title);

        // Save as: the copy keeps the edited definition under the new title.
        m_ui->AnswerText("Cópia da listagem");
        setDates("01/12/2026", "08/12/2026");
        kvo::test::ClickButton(m_form->sbtSalvarComo);
        kvo::test::Settle();
        QVERIFY(m_ui->Log().contains(
            "text Título do Relatório / Informe o título do relatório: -> Cópia da listagem"));
        QCOMPARE(m_form->cbbReportNames->currentText(), QString("Cópia da listagem"));
        QCOMPARE(m_form->cbbReportNames->count(), 3);
        QCOMPARE(m_form->CurrentDefinition().columns[2].field, QString("CDDIETPAD"));
        QFile restore(path);
        QVERIFY(restore.open(QIODevice::WriteOnly | QIODevice::Truncate));
        restore.write(before);
        restore.close();
        m_form->LoadReportNames(path);
    }

    void badDefinitionsAreNamed_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("problem");
        const QString head = "[relatorio]\ntitulo = Quebrado\nparametro = P_DTINICIAL data\n[consulta]\n";
        QTest::newRow("unknown field") << head + "SELECT CDFILIAL FROM FILIAL\n[coluna]\ncampo = NADA\n"
                                       << "campo NADA (coluna) não existe na consulta";
        QTest::newRow("query fails") << head + "SELECT X FROM TABELA_QUE_NAO_EXISTE\n[coluna]\ncampo = X\n"
                                     << "a consulta falhou";
        QTest::newRow("wrong parameter type")
            << head +
                   "SELECT CDFILIAL FROM FILIAL WHERE :P_DTINICIAL IS NOT NULL\n[coluna]\ncampo = CDFILIAL\n"
            << "o parâmetro P_DTINICIAL deve ser do tipo data";
        QTest::newRow("unknown key") << head + "SELECT 1\n[coluna]\ncampo = A\ncor = azul\n"
                                     << "linha 8: chave desconhecida 'cor'";
        QTest::newRow("sum without column") << head + "SELECT 1\n[coluna]\ncampo = A\n[totais]\nsomas = B\n"
                                            << "a soma B (totais) não tem coluna";
    }
    void badDefinitionsAreNamed() {
        QFETCH(QString, text);
        QFETCH(QString, problem);
        const QString path = QDir(reportDir()).filePath("KVO099-quebrado.kvr");
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(text.toUtf8());
        }
        QString message;
        try {
            const TReportDefinition def = LoadDefinition(path);
            TReportParams params = QueryParams(def);
            if (params.Contains("P_DTINICIAL")) params.ParamByName("P_DTINICIAL").SetValue("amanhã");
            RunQuery(def, params);
        } catch (const EReportError& e) {
            message = e.Message();
        }
        QVERIFY2(message.contains("KVO099-quebrado.kvr") && message.contains(problem), qPrintable(message));
    }

    // From the preview, every output behind a progress window that opens and closes in pairs: a
    // cancel leaves no file (nor a temporary one); the same save carried through writes it.
    void previewOutputsCancelLeavesNoFile_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("print");
        QTest::newRow("pdf") << "saida.pdf" << false;
        QTest::newRow("csv") << "saida.csv" << false;
        QTest::newRow("xlsx") << "saida.xlsx" << false;
        QTest::newRow("printer") << "impressa.pdf" << true;
    }
    void previewOutputsCancelLeavesNoFile() {
        QFETCH(QString, file);
        QFETCH(bool, print);
        setDates("01/12/2026", "08/12/2026");
        m_form->rbtTodosServ->SetChecked(true);
        const QString path = m_dir.filePath(file);
        QFile::remove(path);
        for (const bool cancel : {true, false}) {
            m_ui->Clear();
            m_ui->OnPreview([&](QWidget* preview) {
                QVERIFY(m_ui->AviDepth() == 0 && m_ui->ProgressReports() > 0);
                if (print)
                    m_ui->PrintTo(path);
                else
                    m_ui->AnswerFile(path);
                m_ui->CancelProgressAt(cancel ? 1 : -1);
                for (QToolButton* b : preview->findChildren<QToolButton*>())
                    if (b->text() == (print ? "Imprimir" : "Salvar arquivo")) kvo::test::ClickButton(b);
            });
            kvo::test::ClickButton(m_form->sbtPreview);
            kvo::test::Settle();
            QCOMPARE(m_ui->Errors(), QStringList());
            QCOMPARE(m_ui->AviDepth(), 0);
            QCOMPARE(m_ui->UnbalancedCloses(), 0);
            QCOMPARE(m_ui->AviOpened(), 3); // the report, its pages, the output
            QCOMPARE(QFile::exists(path), !cancel);
            if (!cancel) QCOMPARE(m_ui->LastProgressDone(), m_ui->LastProgressTotal());
        }
        QCOMPARE(QDir(m_dir.path()).entryList({"*" + file + "*"}, QDir::Files | QDir::Hidden),
                 QStringList{file}); // no temporary file left by the cancel
    }

    void cancelledReportShowsNoPreview() {
        setDates("01/12/2026", "08/12/2026");
        m_ui->Clear();
        m_ui->CancelProgressAt(1);
        kvo::test::ClickButton(m_form->sbtPreview);
        kvo::test::Settle();
        QCOMPARE(m_ui->Log(), (QStringList{"avi+ 6 Efetivos por data, serviço e dieta", "avi-"}));
    }

#ifdef KVO_REPORT_BIN
    void commandLineTool_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        const QString def = QDir(reportDir()).filePath("KVO010-resumo-por-servico.kvr");
        const QString db = "sqlite:" + m_dir.filePath("suite.db");
        const QStringList range{"--param", "P_CDFILIAL=0001",        "--param", "P_CDSERVFILI=_00001_00002",
                                "--param", "P_DTINICIAL=01/12/2026", "--param", "P_DTFINAL=2026-12-08"};
        QTest::newRow("csv") << QStringList{"--database", db} + range +
                                    QStringList{def, m_dir.filePath("cli.csv")}
                             << 0 << QString();
        QTest::newRow("no output") << QStringList{"--database", db, def} << 2 << "Uso: kvo-report";
        QTest::newRow("unknown parameter")
            << QStringList{"--database", db, "--param", "P_NADA=1", def, m_dir.filePath("x.csv")} << 2
            << "não tem o parâmetro P_NADA";
        QTest::newRow("bad date") << QStringList{"--database",        db,  "--param",
                                                 "P_DTINICIAL=ontem", def, m_dir.filePath("x.pdf")}
                                  << 1 << "o parâmetro P_DTINICIAL deve ser do tipo data";
        QTest::newRow("bad url") << QStringList{"--database", "mysql:x", def, m_dir.filePath("x.xlsx")} << 1
                                 << "URL do banco de dados inválida";
    }
    void commandLineTool() {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        const QString def = QDir(reportDir()).filePath("KVO010-resumo-por-servico.kvr");
        QProcess tool;
        tool.start(KVO_REPORT_BIN, args);
        QVERIFY(tool.waitForFinished(30000));
        const QString err = QString::fromUtf8(tool.readAllStandardError());
        QVERIFY2(tool.exitCode() == exitCode && err.contains(message), qPrintable(err));
        if (exitCode != 0) {
            QVERIFY(args.last() == def || !QFile::exists(args.last()));
            return;
        }
        QFile f(args.last());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromUtf8(f.readAll()).endsWith("Total geral;;33;5;2;40;38;2\r\n"));
    }
#endif

    void missingDirectoryGivesArqRelErr() {
        kvo::Application().SetReportDir(m_dir.filePath("nao-existe"));
        open();
        m_ui->Clear();
        QCOMPARE(m_form->cbbReportNames->count(), 0);
        setDates("01/12/2026", "08/12/2026");
        kvo::test::ClickButton(m_form->sbtPreview);
        kvo::test::Settle();
        QCOMPARE(m_ui->Errors(),
                 QStringList{QString("O arquivo contendo a definição do Relatório de código 'KVO010' não foi "
                                     "encontrado no diretório '%1'.")
                                 .arg(QDir::toNativeSeparators(m_dir.filePath("nao-existe")))});
        kvo::Application().SetReportDir(reportDir());
    }
};

QTEST_MAIN(TestListing)
#include "tst_listing.moc"
