#include "host/TfrmPadraoGrid.h"

#include "host/Application.h"
#include "widgets/Dispatch.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>

namespace {

// Keeps a menu twin's enabled state equal to its button's, whoever switches the button.
class EnabledFollower : public QObject {
public:
    EnabledFollower(QToolButton* button, QAction* item) : QObject(button), m_item(item)
    {
        button->installEventFilter(this);
        item->setEnabled(button->isEnabled());
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::EnabledChange && m_item)
            m_item->setEnabled(static_cast<QWidget*>(watched)->isEnabled());
        return false;
    }

private:
    QPointer<QAction> m_item;
};

} // namespace

TfrmPadraoGrid::TfrmPadraoGrid(QWidget* parent) : TForm(parent)
{
    resize(1000, 700);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    mnuPrincipal = new QMenuBar(this);
    mnuOperacao = mnuPrincipal->addMenu(QStringLiteral("&Operação"));
    mnuOperacao->setObjectName("mnuOperacao");
    mnuManutencao = mnuPrincipal->addMenu(QStringLiteral("&Manutenção"));
    mnuManutencao->setObjectName("mnuManutencao");
    root->setMenuBar(mnuPrincipal);

    panMenu = new QFrame(this);
    panMenu->setObjectName("panMenu");
    panMenu->setFrameShape(QFrame::StyledPanel);
    auto* tools = new QHBoxLayout(panMenu);
    tools->setContentsMargins(4, 2, 4, 2);
    sbtIncluir = addToolButton("sbtIncluir", QStringLiteral("Incluir"), QStringLiteral("Incluir"));
    sbtAlterar = addToolButton("sbtAlterar", QStringLiteral("Alterar"), QStringLiteral("Alterar"));
    sbtExcluir = addToolButton("sbtExcluir", QStringLiteral("Excluir"), QStringLiteral("Excluir"));
    sbtProcurar = addToolButton("sbtProcurar", QStringLiteral("Procurar"), QStringLiteral("Procurar"));
    sbtVerificar = addToolButton("sbtVerificar", QStringLiteral("Verificar"), QStringLiteral("Verificar"));
    sbtComandoExtra = addToolButton("sbtComandoExtra", QStringLiteral("Extra"), QStringLiteral("Comando extra"));
    sbtCancelar = addToolButton("sbtCancelar", QStringLiteral("Cancelar"), QStringLiteral("Cancelar"));
    sbtConfirmar = addToolButton("sbtConfirmar", QStringLiteral("Confirmar"), QStringLiteral("Confirmar"));
    tools->addSpacing(12);
    sbtImprimir = addToolButton("sbtImprimir", QStringLiteral("Imprimir"), QStringLiteral("Imprimir"));
    sbtOrdenar = addToolButton("sbtOrdenar", QStringLiteral("Ordenar"), QStringLiteral("Ordenar"));
    sbtAjuda = addToolButton("sbtAjuda", QStringLiteral("Ajuda"), QStringLiteral("Ajuda (F1)"));
    sbtFechar = addToolButton("sbtFechar", QStringLiteral("Fechar"), QStringLiteral("Fechar"));
    tools->addStretch(1);
    lblCodTela = new QLabel(panMenu);
    lblCodTela->setObjectName("lblCodTela");
    tools->addWidget(lblCodTela);
    root->addWidget(panMenu);

    mnuIncluir = new QAction(QStringLiteral("&Incluir"), this);
    mnuAlterar = new QAction(QStringLiteral("&Alterar"), this);
    mnuExcluir = new QAction(QStringLiteral("&Excluir"), this);
    mnuProcurar = new QAction(QStringLiteral("&Procurar"), this);
    mnuVerificar = new QAction(QStringLiteral("&Verificar"), this);
    mnuComandoExtra = new QAction(QStringLiteral("Comando e&xtra"), this);
    mnuLinha3 = new QAction(this);
    mnuLinha3->setSeparator(true);
    mnuCancelar = new QAction(QStringLiteral("&Cancelar"), this);
    mnuConfirmar = new QAction(QStringLiteral("C&onfirmar"), this);
    mnuManutencao->addActions({mnuIncluir, mnuAlterar, mnuExcluir, mnuProcurar, mnuVerificar, mnuComandoExtra,
                               mnuLinha3, mnuCancelar, mnuConfirmar});
    const std::pair<QToolButton*, QAction*> pairs[] = {
        {sbtIncluir, mnuIncluir},     {sbtAlterar, mnuAlterar},         {sbtExcluir, mnuExcluir},
        {sbtProcurar, mnuProcurar},   {sbtVerificar, mnuVerificar},     {sbtComandoExtra, mnuComandoExtra},
        {sbtCancelar, mnuCancelar},   {sbtConfirmar, mnuConfirmar}};
    for (const auto& [button, item] : pairs) {
        new EnabledFollower(button, item);
        QObject::connect(item, &QAction::triggered, button, [button] {
            if (button->isEnabled())
                button->click();
        });
    }

    pgcPadrao = new QTabWidget(this);
    pgcPadrao->setObjectName("pgcPadrao");
    tshPadrao = new QWidget;
    tshPadrao->setObjectName("tshPadrao");
    new QVBoxLayout(tshPadrao);
    pgcPadrao->addTab(tshPadrao, QStringLiteral("Padrão"));
    root->addWidget(pgcPadrao, 1);

    panNavegador = new QFrame(this);
    panNavegador->setObjectName("panNavegador");
    panNavegador->setFrameShape(QFrame::StyledPanel);
    new QHBoxLayout(panNavegador);
    root->addWidget(panNavegador);

    dtsPadrao = new TDataSource(this);
    dtsPadrao->setObjectName("dtsPadrao");
    dbgPadrao = new TDBGrid(tshPadrao);
    dbgPadrao->setObjectName("dbgPadrao");
    dbgPadrao->SetDataSource(dtsPadrao);
    tshPadrao->layout()->addWidget(dbgPadrao);

    msgPadrao = new TMessages(this);
    msgPadrao->setObjectName("msgPadrao");
    msgMensagensPadroes = new TMessages({QStringLiteral("Canc|Confirma o cancelamento das alterações?")}, this);
    msgMensagensPadroes->setObjectName("msgMensagensPadroes");

    kvo::Connect(sbtFechar, &QToolButton::clicked, this, [this](bool) { sbtFecharClick(sbtFechar); });
    kvo::Connect(sbtAjuda, &QToolButton::clicked, this, [this](bool) { sbtAjudaClick(sbtAjuda); });

    OnClose = [this](QObject* sender, int& action) {
        bool canClose = true;
        if (OnCloseQuery)
            OnCloseQuery(sender, canClose);
        if (!canClose) {
            action = caNone;
            return;
        }
        FormClose(sender, action);
    };
}

TfrmPadraoGrid::~TfrmPadraoGrid() = default;

QToolButton* TfrmPadraoGrid::addToolButton(const QString& name, const QString& text, const QString& hint)
{
    auto* b = new QToolButton(panMenu);
    b->setObjectName(name);
    b->setText(text);
    b->setToolTip(hint);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus); // tool buttons never take the focus from the data controls
    panMenu->layout()->addWidget(b);
    return b;
}

void TfrmPadraoGrid::SetScreenCode(const QString& code) { lblCodTela->setText(code); }

void TfrmPadraoGrid::FormCreate(QObject*)
{
    pgcPadrao->setCurrentWidget(tshPadrao);
}

void TfrmPadraoGrid::FormClose(QObject*, int& Action)
{
    Action = caFree;
}

void TfrmPadraoGrid::sbtFecharClick(QObject*) { Close(); }

void TfrmPadraoGrid::sbtAjudaClick(QObject*) { kvo::Application().ShowHelp(HelpFile, HelpContext); }

void TfrmPadraoGrid::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        kvo::Dispatch([this] { sbtAjudaClick(sbtAjuda); });
        return;
    }
    TForm::keyPressEvent(event);
}
