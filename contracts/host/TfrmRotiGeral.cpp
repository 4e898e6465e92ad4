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
    panMenu = new QFrame(this);
    panMenu->setObjectName("panMenu");
    panMenu->setFrameShape(QFrame::StyledPanel);
    auto* tools = new QHBoxLayout(panMenu);
    tools->setContentsMargins(4, 2, 4, 2);
    sbtConfirma = new QToolButton(panMenu);
    sbtConfirma->setObjectName("sbtConfirma");
    sbtConfirma->setText(QStringLiteral("Confirmar"));
    sbtConfirma->setToolTip(QStringLiteral("Confirmar"));
    sbtConfirma->setFocusPolicy(Qt::NoFocus);
    sbtFechar = new QToolButton(panMenu);
    sbtFechar->setObjectName("sbtFechar");
    sbtFechar->setText(QStringLiteral("Fechar"));
    sbtFechar->setToolTip(QStringLiteral("Fechar"));
    sbtFechar->setFocusPolicy(Qt::NoFocus);
    tools->addWidget(sbtConfirma);
    tools->addWidget(sbtFechar);
    tools->addStretch(1);
    lblCodTela = new QLabel(panMenu);
    lblCodTela->setObjectName("lblCodTela");
    tools->addWidget(lblCodTela);
    root->addWidget(panMenu);
    grbDadosRel = new QGroupBox(this);
    grbDadosRel->setObjectName("grbDadosRel");
    root->addWidget(grbDadosRel, 1);

    kvo::Connect(sbtConfirma, &QToolButton::clicked, this, [this](bool) { sbtConfirmaClick(sbtConfirma); });
    kvo::Connect(sbtFechar, &QToolButton::clicked, this, [this](bool) { sbtFecharClick(sbtFechar); });
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
