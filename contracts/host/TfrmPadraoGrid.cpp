#include "host/TfrmPadraoGrid.h"

#include "host/Application.h"
#include "host/FormParts.h"
#include "widgets/Commands.h"
#include "widgets/Dispatch.h"
#include "widgets/HostUi.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>

TfrmPadraoGrid::TfrmPadraoGrid(QWidget* parent) : TForm(parent) {
    resize(1000, 700);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    mnuPrincipal = new TMainMenu(this);
    mnuPrincipal->setObjectName("mnuPrincipal");
    mnuOperacao = mnuPrincipal->Add(new TMenuItem(QStringLiteral("&Operação")));
    mnuOperacao->setObjectName("mnuOperacao");
    mnuManutencao = mnuPrincipal->Add(new TMenuItem(QStringLiteral("&Manutenção")));
    mnuManutencao->setObjectName("mnuManutencao");
    root->setMenuBar(mnuPrincipal);

    panMenu = kvo::NewRowPanel(this, "panMenu", TPanel::bvRaised);
    auto* tools = static_cast<QHBoxLayout*>(panMenu->layout());
    tools->setSpacing(2);
    auto addToolButton = [this](const char* name, const QString& caption, const QString& hint) {
        return kvo::AddToolButton(panMenu, name, caption, hint);
    };
    sbtIncluir = addToolButton("sbtIncluir", QStringLiteral("Incluir"), QStringLiteral("Incluir"));
    sbtAlterar = addToolButton("sbtAlterar", QStringLiteral("Alterar"), QStringLiteral("Alterar"));
    sbtExcluir = addToolButton("sbtExcluir", QStringLiteral("Excluir"), QStringLiteral("Excluir"));
    sbtProcurar = addToolButton("sbtProcurar", QStringLiteral("Procurar"), QStringLiteral("Procurar"));
    sbtVerificar =
        addToolButton("sbtVerificar", QStringLiteral("Verificar"), QStringLiteral("Verificar (F5)"));
    // A slot for a screen's own command: only its enabled state is kept until a screen captions
    // and shows it.
    sbtComandoExtra = addToolButton("sbtComandoExtra", QString(), QString());
    sbtComandoExtra->setVisible(false);
    sbtCancelar = addToolButton("sbtCancelar", QStringLiteral("Cancelar"), QStringLiteral("Cancelar"));
    sbtConfirmar = addToolButton("sbtConfirmar", QStringLiteral("Confirmar"), QStringLiteral("Confirmar"));
    tools->addSpacing(12);
    sbtImprimir = addToolButton("sbtImprimir", QStringLiteral("Imprimir"), QStringLiteral("Imprimir"));
    sbtOrdenar = addToolButton("sbtOrdenar", QStringLiteral("Ordenar"), QStringLiteral("Ordenar"));
    sbtAjuda = addToolButton("sbtAjuda", QStringLiteral("Ajuda"), QStringLiteral("Ajuda (F1)"));
    sbtFechar = addToolButton("sbtFechar", QStringLiteral("Fechar"), QStringLiteral("Fechar"));
    lblCodTela = kvo::AddScreenCodeLabel(panMenu);
    root->addWidget(panMenu);

    auto addItem = [](TMenuItem* menu, const char* name, const QString& caption) {
        TMenuItem* item = menu->Add(new TMenuItem(caption));
        item->setObjectName(QString::fromLatin1(name));
        return item;
    };
    mnuIncluir = addItem(mnuManutencao, "mnuIncluir", QStringLiteral("&Incluir"));
    mnuAlterar = addItem(mnuManutencao, "mnuAlterar", QStringLiteral("&Alterar"));
    mnuExcluir = addItem(mnuManutencao, "mnuExcluir", QStringLiteral("&Excluir"));
    mnuProcurar = addItem(mnuManutencao, "mnuProcurar", QStringLiteral("&Procurar"));
    mnuVerificar = addItem(mnuManutencao, "mnuVerificar", QStringLiteral("&Verificar"));
    mnuComandoExtra = addItem(mnuManutencao, "mnuComandoExtra", QStringLiteral("Comando e&xtra"));
    mnuLinha3 = mnuManutencao->AddSeparator(QStringLiteral("mnuLinha3"));
    mnuCancelar = addItem(mnuManutencao, "mnuCancelar", QStringLiteral("&Cancelar"));
    mnuConfirmar = addItem(mnuManutencao, "mnuConfirmar", QStringLiteral("C&onfirmar"));
    pair(sbtIncluir, mnuIncluir);
    pair(sbtAlterar, mnuAlterar);
    pair(sbtExcluir, mnuExcluir);
    pair(sbtProcurar, mnuProcurar);
    pair(sbtVerificar, mnuVerificar);
    pair(sbtComandoExtra, mnuComandoExtra);
    mnuComandoExtra->SetVisible(false);
    pair(sbtCancelar, mnuCancelar);
    pair(sbtConfirmar, mnuConfirmar);
    mnuFechar = addItem(mnuOperacao, "mnuFechar", QStringLiteral("&Fechar"));
    mnuFechar->OnClick = [this](QObject*) { sbtFechar->Click(); };

    pgcPadrao = new TPageControl(this);
    pgcPadrao->setObjectName("pgcPadrao");
    tshPadrao = new TTabSheet(pgcPadrao, QStringLiteral("Padrão"));
    tshPadrao->setObjectName("tshPadrao");
    auto* page = new QVBoxLayout(tshPadrao);
    page->setContentsMargins(2, 2, 2, 2);
    root->addWidget(pgcPadrao, 1);

    dtsPadrao = new TDataSource(this);
    dtsPadrao->setObjectName("dtsPadrao");
    dbgPadrao = new TDBGrid(tshPadrao);
    dbgPadrao->setObjectName("dbgPadrao");
    dbgPadrao->SetDataSource(dtsPadrao);
    page->addWidget(dbgPadrao);

    panNavegador = kvo::NewRowPanel(this, "panNavegador", TPanel::bvLowered);
    auto* nav = static_cast<QHBoxLayout*>(panNavegador->layout());
    dbnPadrao = new TDBNavigator(panNavegador);
    dbnPadrao->setObjectName("dbnPadrao");
    dbnPadrao->SetDataSource(dtsPadrao);
    nav->addWidget(dbnPadrao);
    nav->addStretch(1);
    root->addWidget(panNavegador);

    msgPadrao = new TMessages(this);
    msgPadrao->setObjectName("msgPadrao");
    msgMensagensPadroes = new TMessages({QStringLiteral("Canc|Confirma o cancelamento das alterações?"),
                                         QStringLiteral("Excl|Confirma a exclusão do registro?"),
                                         QStringLiteral("SemAjuda|Não há ajuda instalada para esta tela.")},
                                        this);
    msgMensagensPadroes->setObjectName("msgMensagensPadroes");

    // Base wiring; a screen that assigns its own handler to one of these events replaces it.
    sbtFechar->OnClick = [this](QObject* sender) { sbtFecharClick(sender); };
    sbtAjuda->OnClick = [this](QObject* sender) { sbtAjudaClick(sender); };
    sbtAlterar->OnClick = [this](QObject* sender) { sbtAlterarClick(sender); };
    dtsPadrao->OnStateChange = [this](QObject* sender) { dtsPadraoStateChange(sender); };
    dbgPadrao->OnKeyDown = [this](QObject* sender, int& key, Qt::KeyboardModifiers shift) {
        dbgPadraoKeyDown(sender, key, shift);
    };
    dbgPadrao->OnKeyPress = [this](QObject* sender, QChar& key) { dbgPadraoKeyPress(sender, key); };

    OnClose = [this](QObject* sender, int& action) {
        bool canClose = true;
        if (OnCloseQuery) OnCloseQuery(sender, canClose);
        if (!canClose) {
            action = caNone;
            return;
        }
        FormClose(sender, action);
    };
}

TfrmPadraoGrid::~TfrmPadraoGrid() = default;

TCommand* TfrmPadraoGrid::pair(TButtonFlat* button, TMenuItem* item) {
    return new TCommand(button, item);
}

void TfrmPadraoGrid::SetScreenCode(const QString& code) {
    lblCodTela->setText(code);
}

void TfrmPadraoGrid::FormCreate(QObject*) {
    pgcPadrao->SetActivePage(tshPadrao);
    dtsPadraoStateChange(dtsPadrao);
}

void TfrmPadraoGrid::FormClose(QObject*, int& Action) {
    TClientDataSet* set = dtsPadrao->DataSet();
    if (set && (set->State() == dsEdit || set->State() == dsInsert)) set->Cancel();
    Action = caFree;
}

void TfrmPadraoGrid::dtsPadraoStateChange(QObject*) {
    TClientDataSet* set = dtsPadrao->DataSet();
    const TDataSetState state = set ? set->State() : dsInactive;
    const bool editing = state == dsEdit || state == dsInsert;
    const bool atRest = state == dsBrowse;
    const bool rows = atRest && !set->IsEmpty();
    sbtIncluir->SetEnabled(atRest);
    sbtAlterar->SetEnabled(rows);
    sbtExcluir->SetEnabled(rows);
    sbtProcurar->SetEnabled(rows);
    sbtVerificar->SetEnabled(atRest);
    sbtCancelar->SetEnabled(editing);
    sbtConfirmar->SetEnabled(editing);
    dbnPadrao->SetEnabled(!editing);
}

void TfrmPadraoGrid::sbtAlterarClick(QObject*) {
    TClientDataSet* set = dtsPadrao->DataSet();
    if (!set || set->State() != dsBrowse || set->IsEmpty()) return;
    if (!dbgPadrao->Focused()) dbgPadrao->SetFocus();
    set->Edit();
}

void TfrmPadraoGrid::dbgPadraoKeyPress(QObject*, QChar& Key) {
    const TField* field = dbgPadrao->SelectedField();
    if (field && field->EditMask().startsWith(u'>') && Key.isLetter()) Key = Key.toUpper();
}

void TfrmPadraoGrid::dbgPadraoKeyDown(QObject*, int& Key, Qt::KeyboardModifiers Shift) {
    if (Shift != Qt::NoModifier) return;
    if (Key == Qt::Key_F5) {
        Key = 0;
        sbtVerificar->Click();
        return;
    }
    if (Key == Qt::Key_Escape) {
        TClientDataSet* set = dtsPadrao->DataSet();
        // With the cell editor open Esc only reverts the cell; the row itself goes only on a Yes.
        if (set && (set->State() == dsEdit || set->State() == dsInsert) && set->Modified() &&
            !dbgPadrao->EditorMode()) {
            if (msgMensagensPadroes->ShowMsg(QStringLiteral("Canc"), kvo::mtConfirmation, kvo::mbYesNo) !=
                kvo::mrYes)
                Key = 0;
        }
    }
}

void TfrmPadraoGrid::sbtFecharClick(QObject*) {
    Close();
}

void TfrmPadraoGrid::sbtAjudaClick(QObject*) {
    // The page or part being worked on may have help of its own.
    QWidget* focus = focusWidget();
    QWidget* at = focus && focus->isVisible() && isAncestorOf(focus) ? focus : pgcPadrao->ActivePage();
    kvo::Application().ShowHelp(HelpFile, kvo::HelpContextOf(at, HelpContext));
}

void TfrmPadraoGrid::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        kvo::Dispatch([this] { sbtAjudaClick(sbtAjuda); }, {kvo::Pending::Drop});
        return;
    }
    TForm::keyPressEvent(event);
}
