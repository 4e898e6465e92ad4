#include "host/TfrmDadosGerRel.h"

#include "host/Application.h"
#include "host/Consiste.h"
#include "widgets/HostUi.h"
#include "widgets/MsgFormat.h"

#include <QCoreApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QVBoxLayout>

TfrmDadosGerRel::TfrmDadosGerRel(QWidget* parent) : TfrmDialogoPadrao(parent, QSize(560, 380)) {
    sbtPrint = addToolButton("sbtPrint", QStringLiteral("Imprimir"));
    sbtPreview = addToolButton("sbtPreview", QStringLiteral("Visualizar"));
    sbtSalvarComo = addToolButton("sbtSalvarComo", QStringLiteral("Salvar como"));
    sbtReportEdit = addToolButton("sbtReportEdit", QStringLiteral("Editar relatório"));
    sbtAjuda = addToolButton("sbtAjuda", QStringLiteral("Ajuda"));

    panRelat = new TPanel(this);
    panRelat->setObjectName("panRelat");
    auto* rel = new QHBoxLayout(panRelat);
    rel->addWidget(new QLabel(QStringLiteral("Relatório"), panRelat));
    cbbReportNames = new QComboBox(panRelat);
    cbbReportNames->setObjectName("cbbReportNames");
    rel->addWidget(cbbReportNames, 1);
    lblCodRel = new QLabel(panRelat);
    lblCodRel->setObjectName("lblCodRel");
    rel->addWidget(lblCodRel);
    rootLayout()->addWidget(panRelat);

    rpddPadrao = new TReportDesignerDialog(this);
    rpddPadrao->setObjectName("rpddPadrao");

    sbtPrint->OnClick = [this](QObject* sender) { sbtPrintClick(sender); };
    sbtPreview->OnClick = [this](QObject* sender) { sbtPreviewClick(sender); };
    sbtSalvarComo->OnClick = [this](QObject* sender) { sbtSalvarComoClick(sender); };
    sbtReportEdit->OnClick = [this](QObject* sender) { sbtReportEditClick(sender); };
    sbtAjuda->OnClick = [this](QObject*) { showHelp(); };
    OnActivate = [this](QObject* sender) { FormActivate(sender); };
}

QString TfrmDadosGerRel::ReportDir() {
    const QString dir = kvo::Application().ReportDir();
    return dir.isEmpty() ? QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("reports"))
                         : dir;
}

void TfrmDadosGerRel::FormCreate(QObject* Sender) {
    TfrmDialogoPadrao::FormCreate(Sender);
    // Without definitions the screen still opens; each command says what is missing.
    if (!LoadReportNames())
        Consiste::MensErro(kvo::FormatMsg(msgPadrao->Msg(QStringLiteral("Arq_Rel_Err")),
                                          {ReportCode(), QDir::toNativeSeparators(ReportDir())}),
                           false);
}

void TfrmDadosGerRel::FormActivate(QObject*) {}

bool TfrmDadosGerRel::LoadReportNames(const QString& select) {
    const QString keep = select.isEmpty() ? cbbReportNames->currentData().toString() : select;
    cbbReportNames->clear();
    for (const kvo::report::TReportEntry& e : kvo::report::FindDefinitions(ReportDir(), ReportCode()))
        cbbReportNames->addItem(e.title, e.path);
    const int at = cbbReportNames->findData(keep);
    if (at >= 0) cbbReportNames->setCurrentIndex(at);
    return cbbReportNames->count() > 0;
}

void TfrmDadosGerRel::semDefinicao() {
    Consiste::MensErro(kvo::FormatMsg(msgPadrao->Msg(QStringLiteral("Arq_Rel_Err")),
                                      {ReportCode(), QDir::toNativeSeparators(ReportDir())}),
                       true);
    throw EAbort();
}

kvo::report::TReportDefinition TfrmDadosGerRel::CurrentDefinition() {
    if (cbbReportNames->count() == 0 && !LoadReportNames()) semDefinicao();
    return kvo::report::LoadDefinition(cbbReportNames->currentData().toString());
}

kvo::report::TReportLayout TfrmDadosGerRel::RunReport(const kvo::report::TReportDefinition& definition) {
    kvo::ShowAviScope avi(this, kvo::aviLoading, definition.title);
    return rpddPadrao->Run(definition, kvo::report::HostProgress());
}

void TfrmDadosGerRel::sbtPrintClick(QObject*) {
    const kvo::report::TReportDefinition def = CurrentDefinition();
    kvo::report::PrintReport(def, RunReport(def), this);
}

void TfrmDadosGerRel::sbtPreviewClick(QObject*) {
    const kvo::report::TReportDefinition def = CurrentDefinition();
    kvo::report::TReportPreview preview(def, RunReport(def));
    kvo::Ui().ShowPreview(&preview, def.title);
}

void TfrmDadosGerRel::sbtSalvarComoClick(QObject*) {
    kvo::report::TReportDefinition def = CurrentDefinition();
    QString title = def.title;
    if (!kvo::Ui().AskText(msgPadrao->Msg(QStringLiteral("NovoCaption")),
                           msgPadrao->Msg(QStringLiteral("NovoPrompt")), title))
        return;
    title = title.trimmed();
    if (title.isEmpty()) return;
    def.title = title;
    const QString path = kvo::report::NewDefinitionPath(ReportDir(), ReportCode(), title);
    kvo::report::SaveDefinition(def, path);
    LoadReportNames(path);
}

void TfrmDadosGerRel::sbtReportEditClick(QObject*) {
    kvo::report::TReportDefinition def = CurrentDefinition();
    if (!rpddPadrao->Execute(def)) return;
    kvo::report::SaveDefinition(def, def.path);
    LoadReportNames(def.path);
}
