#include "host/TfrmDialogoPadrao.h"

#include "host/Application.h"
#include "host/FormParts.h"
#include "widgets/Dispatch.h"

#include <QKeyEvent>
#include <QVBoxLayout>

TfrmDialogoPadrao::TfrmDialogoPadrao(QWidget* parent, const QSize& size) : TForm(parent) {
    setWindowFlag(Qt::Dialog, true);
    resize(size);
    auto* root = new QVBoxLayout(this);
    panMenu = kvo::NewRowPanel(this, "panMenu", TPanel::bvRaised);
    sbtFechar = kvo::AddToolButton(panMenu, "sbtFechar", QStringLiteral("Fechar"), QStringLiteral("Fechar"));
    lblCodTela = kvo::AddScreenCodeLabel(panMenu);
    root->addWidget(panMenu);

    grbDadosRel = new TGroupBox(QString(), this);
    grbDadosRel->setObjectName("grbDadosRel");
    root->addWidget(grbDadosRel, 1);

    msgPadrao = new TMessages(this);
    msgPadrao->setObjectName("msgPadrao");

    sbtFechar->OnClick = [this](QObject* sender) { sbtFecharClick(sender); };
    OnClose = [this](QObject* sender, int& action) { FormClose(sender, action); };
}

TButtonFlat* TfrmDialogoPadrao::addToolButton(const char* name, const QString& caption, const QString& hint) {
    return kvo::AddToolButton(panMenu, name, caption, hint.isNull() ? caption : hint,
                              panMenu->layout()->indexOf(sbtFechar));
}

QVBoxLayout* TfrmDialogoPadrao::rootLayout() const {
    return static_cast<QVBoxLayout*>(layout());
}

void TfrmDialogoPadrao::showHelp() {
    kvo::Application().ShowHelp(HelpFile, HelpContext);
}

void TfrmDialogoPadrao::FormCreate(QObject*) {}

void TfrmDialogoPadrao::FormClose(QObject*, int& Action) {
    Action = caHide;
}

void TfrmDialogoPadrao::sbtFecharClick(QObject*) {
    Close();
}

void TfrmDialogoPadrao::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        kvo::Dispatch([this] { showHelp(); }, {kvo::Pending::Drop});
        return;
    }
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        Close();
        return;
    }
    TForm::keyPressEvent(event);
}
