#include "TfrmMediEfetDiet.h"

#include "host/Application.h"
#include "host/FormParts.h"

#include "widgets/Dispatch.h"

#include <QBoxLayout>
#include <QGridLayout>
#include <QKeySequence>

// The screen's controls as its resource lays them out: the header above the base screen's
// pages, the service grid over the diet grid, the estimates at the bottom of the first page.

namespace {

TDBGrid* Grade(QWidget* parent, const char* name, TDataSource* source, bool keepSelection) {
    auto* grid = new TDBGrid(parent);
    grid->setObjectName(QLatin1String(name));
    grid->SetDataSource(source);
    TDBGridOptions options =
        dgEditing | dgTitles | dgColumnResize | dgColLines | dgRowLines | dgTabs | dgConfirmDelete;
    options |= keepSelection ? dgAlwaysShowSelection : dgCancelOnExit;
    grid->SetOptions(options);
    return grid;
}

TColumn* Coluna(TDBGrid* grid, const char* field, int width, bool readOnly,
                Qt::Alignment titleAlignment = Qt::AlignLeft, TColumnButtonStyle button = cbsNone) {
    TColumn* column = grid->Columns().Add(QLatin1String(field));
    column->SetReadOnly(readOnly);
    column->Title().SetAlignment(titleAlignment);
    column->SetButtonStyle(button);
    column->SetWidth(width);
    return column;
}

} // namespace

void TfrmMediEfetDiet::CriaCabecalho() {
    panDados = new TPanel(this);
    panDados->setObjectName(QStringLiteral("panDados"));
    panDados->SetBevel(TPanel::bvRaised);
    auto* grid = new QGridLayout(panDados);
    grid->setContentsMargins(8, 6, 8, 6);
    grid->setHorizontalSpacing(6);

    lblCdFilial = kvo::NewCaption(panDados, "lblCdFilial", QStringLiteral("Filial"));
    medCdFilial = new TMaskEdit(panDados);
    medCdFilial->setObjectName(QStringLiteral("medCdFilial"));
    medCdFilial->SetEditMask(QStringLiteral(">aaaa;0; "));
    medCdFilial->SetMaxLength(4);
    medCdFilial->SetColor(clInfoBk);
    medCdFilial->setFixedWidth(64);
    btpFilial = kvo::NewLookupButton(panDados, "btpFilial", QStringLiteral("Filial"), dtsFilial,
                                     QStringLiteral("Não há filial cadastrada."), medCdFilial);
    edtNmFilial = kvo::NewDisplayEdit(panDados, "edtNmFilial", 260, clBtnFace);

    lblDataCardapio = kvo::NewCaption(panDados, "lblDataCardapio", QStringLiteral("Data"));
    depCardapio = new TDateEditPlus(panDados);
    depCardapio->setObjectName(QStringLiteral("depCardapio"));
    depCardapio->SetValidColor(clBlue);
    depCardapio->SetDayNames({QStringLiteral("Domingo"), QStringLiteral("Segunda"), QStringLiteral("Terça"),
                              QStringLiteral("Quarta"), QStringLiteral("Quinta"), QStringLiteral("Sexta"),
                              QStringLiteral("Sábado")});
    depCardapio->SetColor(clInfoBk);
    depCardapio->setFixedWidth(110);
    btpDtCardapio = kvo::NewLookupButton(
        panDados, "btpDtCardapio", QStringLiteral("Data do Cardápio"), dtsDtCardapio,
        QStringLiteral("Não há cardápio cadastrado para a filial informada."), depCardapio);
    edtDiaCardapio = kvo::NewDisplayEdit(panDados, "edtDiaCardapio", 110, clBtnFace);

    grid->addWidget(lblCdFilial, 0, 0);
    grid->addWidget(medCdFilial, 0, 1);
    grid->addWidget(btpFilial, 0, 2);
    grid->addWidget(edtNmFilial, 0, 3);
    grid->addItem(new QSpacerItem(24, 1), 0, 4);
    grid->addWidget(lblDataCardapio, 0, 5);
    grid->addWidget(depCardapio, 0, 6);
    grid->addWidget(btpDtCardapio, 0, 7);
    grid->addWidget(edtDiaCardapio, 0, 8);
    lblDiaFechado = kvo::NewCaption(panDados, "lblDiaFechado", QStringLiteral("Dia fechado para edição"));
    lblDiaFechado->SetFontColor(clRed);
    lblDiaFechado->setVisible(false);
    grid->addItem(new QSpacerItem(12, 1), 0, 9);
    grid->addWidget(lblDiaFechado, 0, 10);
    grid->setColumnStretch(11, 1);

    // Right under the tool panel.
    auto* root = static_cast<QVBoxLayout*>(layout());
    root->insertWidget(root->indexOf(pgcPadrao), panDados);
}

void TfrmMediEfetDiet::CriaComandos() {
    sbtCalcComens = new TButtonFlat(panMenu);
    sbtCalcComens->setObjectName(QStringLiteral("sbtCalcComens"));
    sbtCalcComens->SetCaption(QStringLiteral("Comensais"));
    sbtCalcComens->SetHint(QStringLiteral("Calcular Comensais"));
    // Beside the commands, before the print button.
    auto* tools = static_cast<QBoxLayout*>(panMenu->layout());
    tools->insertWidget(tools->indexOf(sbtImprimir), sbtCalcComens);

    // At the top of the operation menu.
    mnuEfetivos = new TMenuItem(QStringLiteral("Efetivos"), mnuOperacao);
    mnuEfetivos->setObjectName(QStringLiteral("mnuEfetivos"));
    mnuEfetivos->SetChecked(true);
    mnuClientes = new TMenuItem(QStringLiteral("Clientes"), mnuOperacao);
    mnuClientes->setObjectName(QStringLiteral("mnuClientes"));
    mnuClientes->SetChecked(false);
    N1 = new TMenuItem(QStringLiteral("-"), mnuOperacao);
    N1->setObjectName(QStringLiteral("N1"));
    mnuOperacao->Insert(0, mnuEfetivos);
    mnuOperacao->Insert(1, mnuClientes);
    mnuOperacao->Insert(2, N1);

    sbtHistorico = new TButtonFlat(panMenu);
    sbtHistorico->setObjectName(QStringLiteral("sbtHistorico"));
    sbtHistorico->SetCaption(QStringLiteral("Histórico"));
    sbtHistorico->SetHint(QStringLiteral("Histórico de alterações da dieta"));
    tools->insertWidget(tools->indexOf(sbtImprimir), sbtHistorico);
    // After the base commands, before the calculation.
    mnuHistorico = mnuManutencao->Add(new TMenuItem(QStringLiteral("&Histórico")));
    mnuHistorico->setObjectName(QStringLiteral("mnuHistorico"));
    pair(sbtHistorico, mnuHistorico);
    sbtHistorico->SetEnabled(false);

    nmuLinhaConf = mnuManutencao->AddSeparator(QStringLiteral("nmuLinhaConf"));
    mnuCalcComens = mnuManutencao->Add(new TMenuItem(QStringLiteral("Ca&lcular Comensais")));
    mnuCalcComens->setObjectName(QStringLiteral("mnuCalcComens"));
    mnuCalcComens->SetShortCut(QKeySequence(Qt::CTRL | Qt::Key_M));
    pair(sbtCalcComens, mnuCalcComens);

    // The screen has no delete and no sort of its own: both stay off rather than do nothing.
    sbtExcluir->SetEnabled(false);
    sbtOrdenar->SetEnabled(false);

    // The maintenance items start disabled, whatever their buttons show until the first switch.
    for (TMenuItem* item : {mnuIncluir, mnuAlterar, mnuExcluir, mnuProcurar, mnuVerificar, mnuLinha3,
                            mnuCancelar, mnuConfirmar})
        item->SetEnabledAlone(false);
}

void TfrmMediEfetDiet::CriaPaginas() {
    auto* efetivos = static_cast<QVBoxLayout*>(tshPadrao->layout());
    efetivos->setContentsMargins(4, 4, 4, 4);

    dbgCardServ = Grade(tshPadrao, "dbgCardServ", dtsCardServ, true);
    kvo::SetBackground(dbgCardServ, clInfoBk);
    Coluna(dbgCardServ, "CDSERVFILI", 80, false, Qt::AlignLeft, cbsEllipsis);
    Coluna(dbgCardServ, "NMSERVICO", 320, true);

    dbgPadrao->setObjectName(QStringLiteral("dbgPadrao"));
    dbgPadrao->SetOptions(dgEditing | dgTitles | dgColumnResize | dgColLines | dgRowLines | dgTabs |
                          dgConfirmDelete | dgAlwaysShowSelection);
    Coluna(dbgPadrao, "CDDIETPAD", 70, false, Qt::AlignLeft, cbsEllipsis);
    Coluna(dbgPadrao, "DSDIETPAD", 300, true);
    Coluna(dbgPadrao, "QTCLIEFETCAR", 90, false, Qt::AlignRight);
    Coluna(dbgPadrao, "QTFUNEFETCAR", 90, false, Qt::AlignRight);
    Coluna(dbgPadrao, "QTDOAEFETCAR", 90, false, Qt::AlignRight);
    Coluna(dbgPadrao, "QTCOMEFETCAR", 90, true, Qt::AlignRight);

    Splitter1 = new TSplitter(Qt::Vertical, tshPadrao);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->addWidget(dbgCardServ);
    Splitter1->addWidget(dbgPadrao);
    Splitter1->setStretchFactor(0, 2);
    Splitter1->setStretchFactor(1, 3);
    efetivos->addWidget(Splitter1, 1);

    panEfeCliCa = new TPanel(tshPadrao);
    panEfeCliCa->setObjectName(QStringLiteral("panEfeCliCa"));
    panEfeCliCa->SetBevel(TPanel::bvLowered);
    auto* totais = new QHBoxLayout(panEfeCliCa);
    totais->setContentsMargins(8, 4, 8, 4);
    auto estimativa = [&](TLabel*& label, const char* labelName, const QString& caption, TDBEdit*& edit,
                          const char* editName, const char* field) {
        label = kvo::NewCaption(panEfeCliCa, labelName, caption);
        edit = new TDBEdit(panEfeCliCa);
        edit->setObjectName(QLatin1String(editName));
        edit->SetDataSource(dtsPadrao);
        edit->SetDataField(QLatin1String(field));
        edit->SetColor(clBtnFace);
        edit->SetEnabled(false);
        edit->setFixedWidth(80);
        totais->addWidget(label);
        totais->addWidget(edit);
        totais->addSpacing(12);
    };
    estimativa(lblTotaEsti, "lblTotaEsti", QStringLiteral("Total Estimado"), dbeTotaEsti, "dbeTotaEsti",
               "QTCOMESTICAR");
    estimativa(lblClieEsti, "lblClieEsti", QStringLiteral("Cliente"), dbeClieEsti, "dbeClieEsti",
               "QTCLIESTICAR");
    estimativa(lblFuncEsti, "lblFuncEsti", QStringLiteral("Funcionário"), dbeFuncEsti, "dbeFuncEsti",
               "QTFUNESTICAR");
    estimativa(lblDoacEsti, "lblDoacEsti", QStringLiteral("Doação"), dbeDoacEsti, "dbeDoacEsti",
               "QTDOAESTICAR");
    totais->addStretch(1);
    efetivos->addWidget(panEfeCliCa);

    tshClientes = new TTabSheet(pgcPadrao, QStringLiteral("Clientes"));
    tshClientes->setObjectName(QStringLiteral("tshClientes"));
    kvo::SetHelpContext(tshClientes, 12001003);
    auto* clientes = new QVBoxLayout(tshClientes);
    clientes->setContentsMargins(4, 4, 4, 4);
    lblDietaClientes = kvo::NewCaption(tshClientes, "lblDietaClientes", QString());
    clientes->addWidget(lblDietaClientes);
    dbgClientes = Grade(tshClientes, "dbgClientes", dtsCliente, false);
    kvo::SetBackground(dbgClientes, clInfoBk);
    Coluna(dbgClientes, "NMRAZSOCCLIE", 320, true);
    Coluna(dbgClientes, "QTCOMEFETDIE", 90, false);
    Coluna(dbgClientes, "QTFUNEFETDIE", 90, false);
    Coluna(dbgClientes, "QTDOAEFETDIE", 90, false);
    clientes->addWidget(dbgClientes);

    // The navigator follows the services until the pages rebind it.
    dbnPadrao->SetDataSource(dtsCardServ);
    dbtNome = new TDBText(panNavegador);
    dbtNome->setObjectName(QStringLiteral("dbtNome"));
    dbtNome->SetDataSource(dtsCardServ);
    dbtNome->SetDataField(QStringLiteral("NmServico"));
    panNavegador->layout()->addWidget(dbtNome);

    // Tab order through the header, then the grids.
    setTabOrder(medCdFilial, depCardapio);
    setTabOrder(depCardapio, dbgCardServ);
    setTabOrder(dbgCardServ, dbgPadrao);
}

void TfrmMediEfetDiet::HabilitaClientes(bool on) {
    tshClientes->SetEnabled(on);
}

void TfrmMediEfetDiet::LigaEventos() {
    panDados->OnEnter = [this](QObject* s) { panDadosEnter(s); };
    panDados->OnExit = [this](QObject* s) { panDadosExit(s); };
    medCdFilial->OnEnter = [this](QObject* s) { medCdFilialEnter(s); };
    medCdFilial->OnChange = [this](QObject* s) { medCdFilialChange(s); };
    medCdFilial->OnExit = [this](QObject* s) { medCdFilialExit(s); };
    depCardapio->OnEnter = [this](QObject* s) { depCardapioEnter(s); };
    depCardapio->OnChange = [this](QObject* s) { depCardapioChange(s); };
    depCardapio->OnExit = [this](QObject* s) { depCardapioExit(s); };
    btpFilial->OnBeforePesq = [this](QObject* s, bool& allow) { btpFilialBeforePesq(s, allow); };
    btpFilial->OnAfterPesq = [this](QObject* s) { btpFilialAfterPesq(s); };
    btpDtCardapio->OnBeforePesq = [this](QObject* s, bool& allow) { btpDtCardapioBeforePesq(s, allow); };
    btpDtCardapio->OnAfterPesq = [this](QObject* s) { btpDtCardapioAfterPesq(s); };
    cdsDtCardapio->OnCalcFields = [this](TClientDataSet* d) { cdsDtCardapioCalcFields(d); };

    cdsCardServ->AfterScroll = [this](TClientDataSet* d) { cdsCardServAfterScroll(d); };
    cdsCardServ->OnNewRecord = [this](TClientDataSet* d) { cdsCardServNewRecord(d); };
    cdsCardServ->AfterInsert = [this](TClientDataSet* d) { cdsCardServAfterInsert(d); };
    cdsCardServ->BeforePost = [this](TClientDataSet* d) { cdsCardServBeforePost(d); };
    cdsCardServ->AfterPost = [this](TClientDataSet* d) { cdsCardServAfterPost(d); };
    cdsCardServ->AfterCancel = [this](TClientDataSet* d) { cdsCardServAfterCancel(d); };
    dtsCardServ->OnStateChange = [this](QObject* s) { dtsCardServStateChange(s); };
    dbgCardServ->OnColEnter = [this](QObject* s) { dbgCardServColEnter(s); };
    dbgCardServ->OnEnter = [this](QObject* s) { dbgCardServEnter(s); };
    dbgCardServ->OnExit = [this](QObject* s) { dbgCardServExit(s); };
    dbgCardServ->OnColExit = [this](QObject* s) { dbgCardServColExit(s); };
    dbgCardServ->OnEditButtonClick = [this](QObject* s) { dbgCardServEditButtonClick(s); };
    dbgCardServ->OnKeyPress = [this](QObject* s, QChar& key) { dbgCardServKeyPress(s, key); };
    dbgCardServ->OnKeyDown = [this](QObject* s, int& key, Qt::KeyboardModifiers shift) {
        dbgCardServKeyDown(s, key, shift);
    };

    cdsCardadia->AfterInsert = [this](TClientDataSet* d) { cdsCardadiaAfterInsert(d); };
    cdsCardadia->BeforeEdit = [this](TClientDataSet* d) { cdsCardadiaBeforeEdit(d); };
    cdsCardadia->BeforePost = [this](TClientDataSet* d) { cdsCardadiaBeforePost(d); };
    cdsCardadia->AfterPost = [this](TClientDataSet* d) { cdsCardadiaAfterPost(d); };
    cdsCardadia->AfterCancel = [this](TClientDataSet* d) { cdsCardadiaAfterCancel(d); };
    cdsCardadia->AfterScroll = [this](TClientDataSet* d) { cdsCardadiaAfterScroll(d); };
    dbgPadrao->OnEnter = [this](QObject* s) { dbgPadraoEnter(s); };
    dbgPadrao->OnExit = [this](QObject* s) { dbgPadraoExit(s); };
    dbgPadrao->OnColEnter = [this](QObject* s) { dbgPadraoColEnter(s); };
    dbgPadrao->OnColExit = [this](QObject* s) { dbgPadraoColExit(s); };
    dbgPadrao->OnEditButtonClick = [this](QObject* s) { dbgPadraoEditButtonClick(s); };

    pgcPadrao->OnChange = [this](QObject* s) { pgcPadraoChange(s); };
    pgcPadrao->OnExit = [this](QObject* s) { pgcPadraoExit(s); };
    mnuEfetivos->OnClick = [this](QObject* s) { mnuEfetivosClick(s); };
    mnuClientes->OnClick = [this](QObject* s) { mnuClientesClick(s); };
    dtsCliente->OnStateChange = [this](QObject* s) { dtsClienteStateChange(s); };
    cdsClienteTrab->BeforeInsert = [this](TClientDataSet* d) { cdsClienteTrabBeforeInsert(d); };
    cdsClienteTrab->BeforeDelete = [this](TClientDataSet* d) { cdsClienteTrabBeforeDelete(d); };
    cdsClienteTrab->BeforeEdit = [this](TClientDataSet* d) { cdsClienteTrabBeforeEdit(d); };
    cdsClienteTrab->BeforePost = [this](TClientDataSet* d) { cdsClienteTrabBeforePost(d); };
    cdsClienteTrab->AfterPost = [this](TClientDataSet* d) { cdsClienteTrabAfterPost(d); };
    cdsCliente->AfterPost = [this](TClientDataSet* d) { cdsClienteAfterPost(d); };
    dbgClientes->OnKeyPress = [this](QObject* s, QChar& key) { dbgClientesKeyPress(s, key); };
    OnCloseQuery = [this](QObject* s, bool& canClose) { FormCloseQuery(s, canClose); };

    sbtIncluir->OnClick = [this](QObject* s) { sbtIncluirClick(s); };
    sbtAlterar->OnClick = [this](QObject* s) { sbtAlterarClick(s); };
    sbtProcurar->OnClick = [this](QObject* s) { sbtProcurarClick(s); };
    sbtVerificar->OnClick = [this](QObject* s) { sbtVerificarClick(s); };
    sbtCancelar->OnClick = [this](QObject* s) { sbtCancelarClick(s); };
    sbtConfirmar->OnClick = [this](QObject* s) { sbtConfirmarClick(s); };
    sbtImprimir->OnClick = [this](QObject* s) { sbtImprimirClick(s); };
    sbtCalcComens->OnClick = [this](QObject* s) { sbtCalcComensClick(s); };
    sbtHistorico->OnClick = [this](QObject* s) { sbtHistoricoClick(s); };
}
