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
    panMenu = new QFrame(this);
    panMenu->setObjectName("panMenu");
    panMenu->setFrameShape(QFrame::StyledPanel);
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

    grbDadosRel = new QGroupBox(this);
    grbDadosRel->setObjectName("grbDadosRel");
    root->addWidget(grbDadosRel, 1);

    panRelat = new QFrame(this);
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

    kvo::Connect(sbtPrint, &QToolButton::clicked, this, [this](bool) { sbtPrintClick(sbtPrint); });
    kvo::Connect(sbtPreview, &QToolButton::clicked, this, [this](bool) { sbtPreviewClick(sbtPreview); });
    kvo::Connect(sbtSalvarComo, &QToolButton::clicked, this, [this](bool) { sbtSalvarComoClick(sbtSalvarComo); });
    kvo::Connect(sbtReportEdit, &QToolButton::clicked, this, [this](bool) { sbtReportEditClick(sbtReportEdit); });
    kvo::Connect(sbtAjuda, &QToolButton::clicked, this,
                 [this](bool) { kvo::Application().ShowHelp(HelpFile, HelpContext); });
    kvo::Connect(sbtFechar, &QToolButton::clicked, this, [this](bool) { sbtFecharClick(sbtFechar); });
    OnClose = [this](QObject* sender, int& action) { FormClose(sender, action); };
    OnActivate = [this](QObject* sender) { FormActivate(sender); };
}

QToolButton* TfrmDadosGerRel::addToolButton(const QString& name, const QString& text)
{
    auto* b = new QToolButton(panMenu);
    b->setObjectName(name);
    b->setText(text);
    b->setToolTip(text);
    b->setFocusPolicy(Qt::NoFocus);
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
