#include "host/TfrmRotiGeral.h"

#include "host/Application.h"
#include "widgets/Dispatch.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>

TfrmRotiGeral::TfrmRotiGeral(QWidget* parent) : TForm(parent)
{
    setWindowFlag(Qt::Dialog, true);
    resize(480, 260);
    auto* root = new QVBoxLayout(this);
    panMenu = new TPanel(this);
    panMenu->setObjectName("panMenu");
    panMenu->SetBevel(TPanel::bvRaised);
    auto* tools = new QHBoxLayout(panMenu);
    tools->setContentsMargins(4, 2, 4, 2);
    sbtConfirma = new TButtonFlat(panMenu);
    sbtConfirma->setObjectName("sbtConfirma");
    sbtConfirma->SetCaption(QStringLiteral("Confirmar"));
    sbtConfirma->SetHint(QStringLiteral("Confirmar"));
    sbtFechar = new TButtonFlat(panMenu);
    sbtFechar->setObjectName("sbtFechar");
    sbtFechar->SetCaption(QStringLiteral("Fechar"));
    sbtFechar->SetHint(QStringLiteral("Fechar"));
    tools->addWidget(sbtConfirma);
    tools->addWidget(sbtFechar);
    tools->addStretch(1);
    lblCodTela = new QLabel(panMenu);
    lblCodTela->setObjectName("lblCodTela");
    tools->addWidget(lblCodTela);
    root->addWidget(panMenu);
    kvo::SetBold(lblCodTela, true);
    grbDadosRel = new TGroupBox(QString(), this);
    grbDadosRel->setObjectName("grbDadosRel");
    root->addWidget(grbDadosRel, 1);

    msgPadrao = new TMessages(this);
    msgPadrao->setObjectName("msgPadrao");

    sbtConfirma->OnClick = [this](QObject* sender) { sbtConfirmaClick(sender); };
    sbtFechar->OnClick = [this](QObject* sender) { sbtFecharClick(sender); };
    OnClose = [this](QObject* sender, int& action) { FormClose(sender, action); };
}

void TfrmRotiGeral::FormCreate(QObject*) {}

void TfrmRotiGeral::FormClose(QObject*, int& Action) { Action = caHide; }

void TfrmRotiGeral::sbtConfirmaClick(QObject*) {}

void TfrmRotiGeral::sbtFecharClick(QObject*) { Close(); }

void TfrmRotiGeral::keyPressEvent(QKeyEvent* event)
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
