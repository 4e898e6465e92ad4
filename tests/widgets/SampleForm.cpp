#include "SampleForm.h"

#include "widgets/Glyphs.h"
#include "widgets/HostUi.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace {

TButtonFlat* tool(QWidget* parent, QHBoxLayout* layout, const QString& glyph, const QString& hint) {
    auto* b = new TButtonFlat(parent);
    b->SetGlyph(kvo::CommandGlyph(glyph, 22));
    b->setIconSize(QSize(22, 22));
    b->SetHint(hint);
    b->setFixedSize(32, 30);
    layout->addWidget(b);
    return b;
}

TLabel* boldLabel(const QString& caption, QWidget* parent) {
    auto* l = new TLabel(caption, parent);
    l->SetBold(true);
    return l;
}

TEdit* display(QWidget* parent, int width) {
    auto* e = new TEdit(parent);
    e->SetColor(clBtnFace);
    e->SetTabStop(false);
    e->SetEnabled(false);
    e->setFixedWidth(width);
    return e;
}

// An edit with its lookup button right beside it.
QHBoxLayout* pair(QWidget* edit, QWidget* button) {
    auto* row = new QHBoxLayout;
    row->setSpacing(2);
    row->addWidget(edit);
    if (button) row->addWidget(button);
    row->addStretch();
    return row;
}

void fill(TClientDataSet& set, const QList<QVariantList>& rows) {
    set.CreateDataSet();
    set.SetLogChanges(false);
    for (const QVariantList& row : rows) {
        set.Append();
        for (int i = 0; i < row.size(); ++i)
            set.Fields(i)->SetValue(row[i]);
        set.Post();
    }
    set.SetLogChanges(true);
    set.First();
}

} // namespace

SampleForm::SampleForm(QWidget* parent)
    : TForm(parent), dtsFilial(&cdsFilial), dtsCardServ(&cdsCardServ), dtsPadrao(&cdsCardadia),
      dtsCliente(&cdsCliente) {
    setWindowTitle(QStringLiteral("Efetivos de Dietas"));
    // Data
    cdsFilial.AddField(QStringLiteral("CDFILIAL"), ftString, 4)->SetDisplayLabel(QStringLiteral("Filial"));
    cdsFilial.AddField(QStringLiteral("NMFILIAL"), ftString, 30)->SetDisplayLabel(QStringLiteral("Nome"));
    fill(cdsFilial,
         {{"0001", "Hospital São Lucas"}, {"0002", "Clínica Santa Clara"}, {"0010", "Cozinha Central"}});
    cdsCardServ.AddField(QStringLiteral("CDSERVFILI"), ftString, 5)
        ->SetDisplayLabel(QStringLiteral("Serviço"));
    cdsCardServ.AddField(QStringLiteral("NMSERVICO"), ftString, 40)
        ->SetDisplayLabel(QStringLiteral("Nome do Serviço"));
    fill(cdsCardServ,
         {{"00001", "Desjejum"}, {"00002", "Almoço"}, {"00003", "Lanche da tarde"}, {"00004", "Jantar"}});
    cdsCardadia.AddField(QStringLiteral("CDDIETPAD"), ftString, 4)->SetDisplayLabel(QStringLiteral("Dieta"));
    cdsCardadia.AddField(QStringLiteral("DSDIETPAD"), ftString, 50)
        ->SetDisplayLabel(QStringLiteral("Descrição"));
    for (const char* name : {"QTCLIEFETCAR", "QTFUNEFETCAR", "QTDOAEFETCAR", "QTCOMEFETCAR", "QTCOMESTICAR",
                             "QTCLIESTICAR", "QTFUNESTICAR", "QTDOAESTICAR"})
        cdsCardadia.AddField(QString::fromLatin1(name), ftFloat)->SetAlignment(Qt::AlignRight);
    fill(cdsCardadia, {{"0001", "Dieta livre", 120, 35, 2, 157, 150, 115, 33, 2},
                       {"0002", "Dieta branda", 42, 0, 0, 42, 40, 40, 0, 0},
                       {"0005", "Hipossódica", 18.5, 0, 0, 18.5, 20, 20, 0, 0},
                       {"0008", "Diabética", 23, 4, 0, 27, 25, 21, 4, 0}});
    cdsCliente.AddField(QStringLiteral("CDCLIENTE"), ftString, 21)
        ->SetDisplayLabel(QStringLiteral("Cliente"));
    cdsCliente.AddField(QStringLiteral("NMRAZSOCCLIE"), ftString, 50)
        ->SetDisplayLabel(QStringLiteral("Razão Social"));
    cdsCliente.AddField(QStringLiteral("QTCOMEFETDIE"), ftFloat)
        ->SetDisplayLabel(QStringLiteral("Comensais"));
    fill(cdsCliente,
         {{"000000000000000000101", "Convênio Saúde Bem", 80}, {"000000000000000000102", "Particular", 40}});

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    // Menus
    menu = new TMainMenu(this);
    mnuOperacao = menu->Add(new TMenuItem(QStringLiteral("&Operação")));
    mnuEfetivos = mnuOperacao->Add(new TMenuItem(QStringLiteral("Efetivos")));
    mnuEfetivos->SetChecked(true);
    mnuClientes = mnuOperacao->Add(new TMenuItem(QStringLiteral("Clientes")));
    mnuOperacao->AddSeparator(QStringLiteral("N1"));
    mnuManutencao = menu->Add(new TMenuItem(QStringLiteral("&Manutenção")));
    mnuIncluir = mnuManutencao->Add(new TMenuItem(QStringLiteral("&Incluir")));
    mnuManutencao->AddSeparator(QStringLiteral("mnuLinha3"));
    mnuCancelar = mnuManutencao->Add(new TMenuItem(QStringLiteral("&Cancelar")));
    mnuConfirmar = mnuManutencao->Add(new TMenuItem(QStringLiteral("C&onfirmar")));
    mnuManutencao->AddSeparator(QStringLiteral("nmuLinhaConf"));
    mnuCalcComens = mnuManutencao->Add(new TMenuItem(QStringLiteral("Ca&lcular Comensais")));
    mnuCalcComens->SetShortCut(QKeySequence(Qt::CTRL | Qt::Key_M));
    root->setMenuBar(menu);

    // Tool panel
    panMenu = new TPanel(this);
    panMenu->SetBevel(TPanel::bvRaised);
    auto* tools = new QHBoxLayout(panMenu);
    tools->setContentsMargins(4, 2, 8, 2);
    tools->setSpacing(1);
    sbtIncluir = tool(panMenu, tools, QStringLiteral("incluir"), QStringLiteral("Incluir"));
    sbtAlterar = tool(panMenu, tools, QStringLiteral("alterar"), QStringLiteral("Alterar"));
    sbtExcluir = tool(panMenu, tools, QStringLiteral("excluir"), QStringLiteral("Excluir"));
    sbtProcurar = tool(panMenu, tools, QStringLiteral("procurar"), QStringLiteral("Procurar"));
    sbtVerificar = tool(panMenu, tools, QStringLiteral("verificar"), QStringLiteral("Verificar"));
    sbtCancelar = tool(panMenu, tools, QStringLiteral("cancelar"), QStringLiteral("Cancelar"));
    sbtConfirmar = tool(panMenu, tools, QStringLiteral("confirmar"), QStringLiteral("Confirmar"));
    tools->addSpacing(10);
    sbtImprimir = tool(panMenu, tools, QStringLiteral("imprimir"), QStringLiteral("Imprimir"));
    sbtCalcComens = tool(panMenu, tools, QStringLiteral("calcular"), QStringLiteral("Calcular Comensais"));
    sbtAjuda = tool(panMenu, tools, QStringLiteral("ajuda"), QStringLiteral("Ajuda"));
    sbtFechar = tool(panMenu, tools, QStringLiteral("fechar"), QStringLiteral("Fechar"));
    tools->addStretch();
    lblCodTela = new TLabel(QStringLiteral("KVO01000"), panMenu);
    lblCodTela->SetFontColor(clNavy);
    lblCodTela->SetBold(true);
    tools->addWidget(lblCodTela);
    sbtCancelar->SetEnabled(false);
    sbtConfirmar->SetEnabled(false);
    mnuCancelar->SetEnabled(false);
    mnuConfirmar->SetEnabled(false);
    root->addWidget(panMenu);

    // Header
    panDados = new TPanel(this);
    panDados->SetBevel(TPanel::bvLowered);
    auto* head = new QGridLayout(panDados);
    head->setContentsMargins(10, 8, 10, 8);
    head->setHorizontalSpacing(6);
    head->setVerticalSpacing(6);
    lblCdFilial = boldLabel(QStringLiteral("Filial"), panDados);
    medCdFilial = new TMaskEdit(panDados);
    medCdFilial->SetEditMask(QStringLiteral(">aaaa;0; "));
    medCdFilial->SetColor(clInfoBk);
    medCdFilial->setFixedWidth(60);
    btpFilial = new TBtnPesquisa(panDados);
    btpFilial->SetAssociate(medCdFilial);
    btpFilial->SetTitle(QStringLiteral("Filial"));
    btpFilial->SetDataSource(&dtsFilial);
    btpFilial->SetEmptyError(QStringLiteral("Não há filial cadastrada."));
    edtNmFilial = display(panDados, 300);
    lblDataCardapio = boldLabel(QStringLiteral("Data"), panDados);
    depCardapio = new TDateEditPlus(panDados);
    depCardapio->SetColor(clInfoBk);
    btpDtCardapio = new TBtnPesquisa(panDados);
    btpDtCardapio->SetAssociate(depCardapio);
    btpDtCardapio->SetTitle(QStringLiteral("Data do Cardápio"));
    btpDtCardapio->SetEmptyError(QStringLiteral("Não há cardápio cadastrado para a filial informada."));
    edtDiaCardapio = display(panDados, 120);
    head->addWidget(lblCdFilial, 0, 0);
    head->addLayout(pair(medCdFilial, btpFilial), 0, 1);
    head->addWidget(edtNmFilial, 0, 2);
    head->addWidget(lblDataCardapio, 1, 0);
    head->addLayout(pair(depCardapio, btpDtCardapio), 1, 1);
    head->addWidget(edtDiaCardapio, 1, 2, Qt::AlignLeft);
    head->setColumnStretch(3, 1);
    root->addWidget(panDados);

    // Pages
    pgcPadrao = new TPageControl(this);
    tshPadrao = new TTabSheet(pgcPadrao, QStringLiteral("Efetivos"));
    tshClientes = new TTabSheet(pgcPadrao, QStringLiteral("Clientes"));
    auto* page = new QVBoxLayout(tshPadrao);
    page->setContentsMargins(4, 4, 4, 4);
    Splitter1 = new TSplitter(Qt::Vertical, tshPadrao);
    dbgCardServ = new TDBGrid(Splitter1);
    dbgCardServ->SetDataSource(&dtsCardServ);
    dbgCardServ->Columns().Add(QStringLiteral("CDSERVFILI"), QStringLiteral("Serviço"))->SetWidth(80);
    dbgCardServ->Columns().Add(QStringLiteral("NMSERVICO"), QStringLiteral("Nome do Serviço"))->SetWidth(300);
    kvo::SetBackground(dbgCardServ, clInfoBk);
    dbgPadrao = new TDBGrid(Splitter1);
    dbgPadrao->SetDataSource(&dtsPadrao);
    dbgPadrao->Columns().Add(QStringLiteral("CDDIETPAD"), QStringLiteral("Dieta"))->SetWidth(60);
    dbgPadrao->Columns().Add(QStringLiteral("DSDIETPAD"), QStringLiteral("Descrição"))->SetWidth(220);
    const QList<QPair<QString, QString>> counts{{"QTCLIEFETCAR", "Cliente"},
                                                {"QTFUNEFETCAR", "Funcionário"},
                                                {"QTDOAEFETCAR", "Doação"},
                                                {"QTCOMEFETCAR", "Total"}};
    for (const auto& c : counts) {
        TColumn* col = dbgPadrao->Columns().Add(c.first, c.second);
        col->SetWidth(95);
        col->Title().SetAlignment(Qt::AlignRight);
    }
    Splitter1->addWidget(dbgCardServ);
    Splitter1->addWidget(dbgPadrao);
    Splitter1->setSizes({130, 200});
    page->addWidget(Splitter1);

    panEfeCliCa = new TPanel(tshPadrao);
    panEfeCliCa->SetBevel(TPanel::bvLowered);
    auto* totals = new QHBoxLayout(panEfeCliCa);
    totals->setContentsMargins(8, 6, 8, 6);
    auto estimate = [&](const QString& caption, const QString& field) {
        totals->addWidget(boldLabel(caption, panEfeCliCa));
        auto* e = new TDBEdit(panEfeCliCa);
        e->SetDataSource(&dtsPadrao);
        e->SetDataField(field);
        e->SetColor(clBtnFace);
        e->SetEnabled(false);
        e->setFixedWidth(70);
        e->setAlignment(Qt::AlignRight);
        totals->addWidget(e);
        totals->addSpacing(12);
        return e;
    };
    dbeTotaEsti = estimate(QStringLiteral("Total Estimado"), QStringLiteral("QTCOMESTICAR"));
    dbeClieEsti = estimate(QStringLiteral("Cliente"), QStringLiteral("QTCLIESTICAR"));
    dbeFuncEsti = estimate(QStringLiteral("Funcionário"), QStringLiteral("QTFUNESTICAR"));
    dbeDoacEsti = estimate(QStringLiteral("Doação"), QStringLiteral("QTDOAESTICAR"));
    totals->addStretch();
    page->addWidget(panEfeCliCa);

    auto* clients = new QVBoxLayout(tshClientes);
    clients->setContentsMargins(4, 4, 4, 4);
    dbgClientes = new TDBGrid(tshClientes);
    dbgClientes->SetDataSource(&dtsCliente);
    kvo::SetBackground(dbgClientes, clInfoBk);
    clients->addWidget(dbgClientes);
    tshClientes->SetEnabled(false);
    root->addWidget(pgcPadrao, 1);

    // Handlers as a screen wires them, recorded for the tests.
    medCdFilial->OnChange = [this](QObject*) { edtNmFilial->SetText(QString()); };
    btpFilial->OnAfterPesq = [this](QObject*) {
        medCdFilial->SetText(cdsFilial.FieldByName(QStringLiteral("CDFILIAL"))->AsString());
        edtNmFilial->SetText(cdsFilial.FieldByName(QStringLiteral("NMFILIAL"))->AsString());
    };
    depCardapio->OnChange = [this](QObject*) { edtDiaCardapio->SetText(QString()); };
    depCardapio->OnExit = [this](QObject*) {
        depCardapio->CheckValidDate();
        edtDiaCardapio->SetText(depCardapio->DayName());
    };
    panDados->OnEnter = [this](QObject*) { trace << QStringLiteral("panDadosEnter"); };
    panDados->OnExit = [this](QObject*) {
        trace << QStringLiteral("panDadosExit");
        if (medCdFilial->Text().isEmpty()) {
            medCdFilial->SetFocus();
            Consiste::MensErro(QStringLiteral("Filial deve ser informada."), true);
        }
        tshClientes->SetEnabled(true);
    };
    mnuCalcComens->OnClick = [this](QObject*) { trace << QStringLiteral("sbtCalcComensClick"); };
    sbtCalcComens->OnClick = mnuCalcComens->OnClick;
    resize(860, 600);
}

SampleDialog::SampleDialog(QWidget* parent) : TForm(parent) {
    setWindowTitle(QStringLiteral("Calcular Comensais"));
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 8);
    panMenu = new TPanel(this);
    panMenu->SetBevel(TPanel::bvRaised);
    auto* tools = new QHBoxLayout(panMenu);
    tools->setContentsMargins(4, 2, 8, 2);
    sbtConfirma = tool(panMenu, tools, QStringLiteral("confirmar"), QStringLiteral("Calcular"));
    tools->addStretch();
    auto* code = new TLabel(QStringLiteral("KVO01001"), panMenu);
    code->SetBold(true);
    code->SetFontColor(clNavy);
    tools->addWidget(code);
    root->addWidget(panMenu);

    grbDadosRel = new TGroupBox(QString(), this);
    auto* grid = new QGridLayout(grbDadosRel);
    grid->setContentsMargins(10, 10, 10, 10);
    grid->setVerticalSpacing(8);
    medCdFilialCalc = new TMaskEdit(grbDadosRel);
    medCdFilialCalc->SetEditMask(QStringLiteral(">aaaa;0; "));
    medCdFilialCalc->SetColor(clInfoBk);
    medCdFilialCalc->setFixedWidth(60);
    medCdFilialCalc->SetText(QStringLiteral("0001"));
    btpFilial = new TBtnPesquisa(grbDadosRel);
    btpFilial->SetAssociate(medCdFilialCalc);
    edtNmFilial = display(grbDadosRel, 240);
    edtNmFilial->SetText(QStringLiteral("Hospital São Lucas"));
    depDataCalc = new TDateEditPlus(grbDadosRel);
    depDataCalc->SetColor(clInfoBk);
    depDataCalc->SetDate(QDate(2026, 12, 8));
    edtDiaSemana = display(grbDadosRel, 120);
    edtDiaSemana->SetText(depDataCalc->DayName());
    grid->addWidget(boldLabel(QStringLiteral("Filial"), grbDadosRel), 0, 0);
    grid->addLayout(pair(medCdFilialCalc, btpFilial), 0, 1);
    grid->addWidget(edtNmFilial, 0, 2);
    grid->addWidget(boldLabel(QStringLiteral("Data"), grbDadosRel), 1, 0);
    grid->addLayout(pair(depDataCalc, nullptr), 1, 1);
    grid->addWidget(edtDiaSemana, 1, 2, Qt::AlignLeft);
    grpServico = new TGroupBox(QStringLiteral("Serviço"), grbDadosRel);
    auto* services = new QHBoxLayout(grpServico);
    rbtTodos = new TRadioButton(QStringLiteral("Todos"), grpServico);
    rbtLista = new TRadioButton(QStringLiteral("Lista"), grpServico);
    btpServico = new TBtnPesquisa(grpServico);
    btpServico->SetAssociate(rbtLista);
    btpServico->SetEmptyError(QStringLiteral("Não há serviço hospitalar cadastrado para filial informada."));
    btpServico->SetEnabled(false);
    rbtTodos->SetChecked(true);
    services->addWidget(rbtTodos);
    services->addWidget(rbtLista);
    services->addWidget(btpServico);
    services->addStretch();
    grid->addWidget(grpServico, 2, 0, 1, 4);
    grid->setColumnStretch(3, 1);
    root->addWidget(grbDadosRel);
    root->setContentsMargins(6, 0, 6, 6);
    rbtTodos->OnClick = [this](QObject*) { btpServico->SetEnabled(rbtLista->Checked()); };
    rbtLista->OnClick = rbtTodos->OnClick;
    resize(460, 230);
}
