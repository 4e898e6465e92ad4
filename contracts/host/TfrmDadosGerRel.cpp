#include "host/TfrmDadosGerRel.h"

#include "host/Application.h"
#include "widgets/Dispatch.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>

TfrmDadosGerRel::TfrmDadosGerRel(QWidget* parent) : TForm(parent)
{
    setWindowFlag(Qt::Dialog, true);
    resize(560, 380);
    auto* root = new QVBoxLayout(this);
    panMenu = new TPanel(this);
    panMenu->setObjectName("panMenu");
    panMenu->SetBevel(TPanel::bvRaised);
    auto* tools = new QHBoxLayout(panMenu);
    tools->setContentsMargins(4, 2, 4, 2);
    sbtPrint = addToolButton("sbtPrint", QStringLiteral("Imprimir"));
    sbtPreview = addToolButton("sbtPreview", QStringLiteral("Visualizar"));
    sbtSalvarComo = addToolButton("sbtSalvarComo", QStringLiteral("Salvar como"));
    sbtReportEdit = addToolButton("sbtReportEdit", QStringLiteral("Editar relatório"));
    sbtAjuda = addToolButton("sbtAjuda", QStringLiteral("Ajuda"));
    sbtFechar = addToolButton("sbtFechar", QStringLiteral("Fechar"));
    tools->addStretch(1);
    lblCodTela = new QLabel(panMenu);
    lblCodTela->setObjectName("lblCodTela");
    tools->addWidget(lblCodTela);
    root->addWidget(panMenu);

    kvo::SetBold(lblCodTela, true);
    grbDadosRel = new TGroupBox(QString(), this);
    grbDadosRel->setObjectName("grbDadosRel");
    root->addWidget(grbDadosRel, 1);

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
    root->addWidget(panRelat);

    msgPadrao = new TMessages(this);
    msgPadrao->setObjectName("msgPadrao");

    sbtPrint->OnClick = [this](QObject* sender) { sbtPrintClick(sender); };
    sbtPreview->OnClick = [this](QObject* sender) { sbtPreviewClick(sender); };
    sbtSalvarComo->OnClick = [this](QObject* sender) { sbtSalvarComoClick(sender); };
    sbtReportEdit->OnClick = [this](QObject* sender) { sbtReportEditClick(sender); };
    sbtAjuda->OnClick = [this](QObject*) { kvo::Application().ShowHelp(HelpFile, HelpContext); };
    sbtFechar->OnClick = [this](QObject* sender) { sbtFecharClick(sender); };
    OnClose = [this](QObject* sender, int& action) { FormClose(sender, action); };
    OnActivate = [this](QObject* sender) { FormActivate(sender); };
}

TButtonFlat* TfrmDadosGerRel::addToolButton(const QString& name, const QString& text)
{
    auto* b = new TButtonFlat(panMenu);
    b->setObjectName(name);
    b->SetCaption(text);
    b->SetHint(text);
    panMenu->layout()->addWidget(b);
    return b;
}

void TfrmDadosGerRel::FormCreate(QObject*) {}
void TfrmDadosGerRel::FormActivate(QObject*) {}
void TfrmDadosGerRel::FormClose(QObject*, int& Action) { Action = caHide; }
// The report machinery fills these in; without it the commands do nothing.
void TfrmDadosGerRel::sbtPrintClick(QObject*) {}
void TfrmDadosGerRel::sbtPreviewClick(QObject*) {}
void TfrmDadosGerRel::sbtSalvarComoClick(QObject*) {}
void TfrmDadosGerRel::sbtReportEditClick(QObject*) {}
void TfrmDadosGerRel::sbtFecharClick(QObject*) { Close(); }

void TfrmDadosGerRel::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        kvo::Dispatch([this] { kvo::Application().ShowHelp(HelpFile, HelpContext); });
        return;
    }
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        Close();
        return;
    }
    TForm::keyPressEvent(event);
}
