#include "host/TfrmDadosGerRel.h"

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

    sbtPrint->OnClick = [this](QObject* sender) { sbtPrintClick(sender); };
    sbtPreview->OnClick = [this](QObject* sender) { sbtPreviewClick(sender); };
    sbtSalvarComo->OnClick = [this](QObject* sender) { sbtSalvarComoClick(sender); };
    sbtReportEdit->OnClick = [this](QObject* sender) { sbtReportEditClick(sender); };
    sbtAjuda->OnClick = [this](QObject*) { showHelp(); };
    OnActivate = [this](QObject* sender) { FormActivate(sender); };
}

void TfrmDadosGerRel::FormActivate(QObject*) {}
// The report machinery fills these in; without it the commands do nothing.
void TfrmDadosGerRel::sbtPrintClick(QObject*) {}
void TfrmDadosGerRel::sbtPreviewClick(QObject*) {}
void TfrmDadosGerRel::sbtSalvarComoClick(QObject*) {}
void TfrmDadosGerRel::sbtReportEditClick(QObject*) {}
