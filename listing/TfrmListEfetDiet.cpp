#include "listing/TfrmListEfetDiet.h"

#include "host/Balvora.h"
#include "host/Consiste.h"
#include "host/FormParts.h"
#include "host/TADOIBQuery.h"
#include "widgets/Glyphs.h"
#include "widgets/HostUi.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

QString stListaServ;

namespace {

const QStringList kSqlFilial = {
    QStringLiteral("SELECT CDFILIAL, NMFILIAL, IDCNTRRESC FROM FILIAL WHERE ((CDFILIAL = :P_CDFILIAL) OR "
                   "(:P_TCDFILIAL = 'T')) ORDER BY CDFILIAL"),
};

const QStringList kSqlServico = {
    QStringLiteral(
        "SELECT CDSERVFILI, NMSERVICO FROM SERVICO WHERE (CDFILIAL = :P_CDFILIAL) AND (IDTIPOSERV = "
        "'D') ORDER BY CDFILIAL, CDSERVFILI"),
};

TADOIBQuery* NewLookup(QObject* owner, const char* name, const QStringList& text) {
    auto* query = new TADOIBQuery(owner);
    query->setObjectName(QLatin1String(name));
    query->SQL = text;
    query->SQL_ORACLE = text;
    query->SQL_MSSQL = text;
    return query;
}

void AddText(TADOIBQuery* query, const char* name, int size, const char* label) {
    TField* field = query->Query()->AddField(QLatin1String(name), ftString, size);
    if (label)
        field->SetDisplayLabel(QString::fromUtf8(label));
    else
        field->SetVisible(false);
}

TDateEditPlus* Data(QWidget* parent, const char* name) {
    auto* edit = new TDateEditPlus(parent);
    edit->setObjectName(QLatin1String(name));
    edit->SetValidColor(clBlue);
    edit->SetDayNames({QStringLiteral("Domingo"), QStringLiteral("Segunda"), QStringLiteral("Terça"),
                       QStringLiteral("Quarta"), QStringLiteral("Quinta"), QStringLiteral("Sexta"),
                       QStringLiteral("Sábado")});
    edit->SetColor(clInfoBk);
    edit->setFixedWidth(110);
    return edit;
}

// On a failure path the original error is what the user must see; a focus move that cannot
// happen there is not worth a second message.
} // namespace

TfrmListEfetDiet::TfrmListEfetDiet(QWidget* parent) : TfrmDadosGerRel(parent) {
    setObjectName("frmListEfetDiet");
    SetCaption(QStringLiteral("Efetivos"));
    SetScreenCode(QStringLiteral("KVO01001"));
    setWindowIcon(kvo::WindowGlyph(QStringLiteral("listagem")));
    SetReportCode(QStringLiteral("KVO010"));
    HelpFile = QStringLiteral("KvoHelp.hlp");
    HelpContext = 12001001;
    criaCatalogo();
    criaConsultas();
    criaControles();
}

void TfrmListEfetDiet::criaCatalogo() {
    msgPadrao->SetLines({
        QStringLiteral("Arq_Rel_Err|O arquivo contendo a definição do Relatório de código '%s' não foi "
                       "encontrado no diretório '%s'."),
        QStringLiteral("NovoCaption|Título do Relatório"),
        QStringLiteral("NovoPrompt|Informe o título do relatório:"),
        QStringLiteral("FILI_DEVE|Filial deve ser informada."),
        QStringLiteral("FILI_NAO_CAD|Filial não cadastrada."),
        QStringLiteral("FILI_RESC|Filial com contrato rescindido."),
        QStringLiteral("DATA_PROC|Data final deve ser menor ou igual a data de processamento."),
        QStringLiteral("DATA_INI_MAIOR|Data inicial deve ser menor ou igual a data final."),
        QStringLiteral("SERVICO|Serviço"),
        QStringLiteral("SERV_DEVE|Serviço deve ser informado."),
        QStringLiteral("DtIni_Inf|Data inicial deve ser informada."),
        QStringLiteral("DtFin_Inf|Data final deve ser informada."),
        QStringLiteral("ServCadFili|Não há serviço de hospital cadastrado para a filial informada."),
    });
}

void TfrmListEfetDiet::criaConsultas() {
    qryFilial = NewLookup(this, "qryFilial", kSqlFilial);
    AddText(qryFilial, "CDFILIAL", 4, "Código");
    AddText(qryFilial, "NMFILIAL", 30, "Nome");
    AddText(qryFilial, "IDCNTRRESC", 1, nullptr);
    qryServico = NewLookup(this, "qryServico", kSqlServico);
    AddText(qryServico, "CDSERVFILI", 5, "Código");
    AddText(qryServico, "NMSERVICO", 40, "Nome");
    dtsFilial = new TDataSource(qryFilial->Query(), this);
    dtsServico = new TDataSource(qryServico->Query(), this);
}

void TfrmListEfetDiet::criaControles() {
    auto* grid = new QGridLayout(grbDadosRel);
    lblFilial = kvo::NewCaption(grbDadosRel, "lblFilial", QStringLiteral("Filial"));
    medCdFilial = new TMaskEdit(grbDadosRel);
    medCdFilial->setObjectName(QStringLiteral("medCdFilial"));
    medCdFilial->SetEditMask(QStringLiteral(">aaaa;0; "));
    medCdFilial->SetMaxLength(4);
    medCdFilial->SetColor(clInfoBk);
    medCdFilial->setFixedWidth(64);
    lblFilial->setBuddy(medCdFilial);
    btpFilial = new TBtnPesquisa(grbDadosRel);
    btpFilial->setObjectName(QStringLiteral("btpFilial"));
    btpFilial->SetAssociate(medCdFilial);
    btpFilial->SetTitle(QStringLiteral("Filial"));
    btpFilial->SetDataSource(dtsFilial);
    btpFilial->SetEmptyError(QStringLiteral("Não há filial cadastrada."));
    btpFilial->SetHint(QStringLiteral("Pesquisar"));
    edtNmFilial = kvo::NewDisplayEdit(grbDadosRel, "edtNmFilial", 240, clBtnFace);
    grid->addWidget(lblFilial, 0, 0);
    grid->addWidget(medCdFilial, 0, 1);
    grid->addWidget(btpFilial, 0, 2);
    grid->addWidget(edtNmFilial, 0, 3, 1, 2);

    GroupBox1 = new TGroupBox(QString(), grbDadosRel);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto* datas = new QGridLayout(GroupBox1);
    lblDtFinal = kvo::NewCaption(GroupBox1, "lblDtFinal", QStringLiteral("Data Inicial"));
    depDataIni = Data(GroupBox1, "depDataIni");
    lblDtFinal->setBuddy(depDataIni);
    edtDataIni = kvo::NewDisplayEdit(GroupBox1, "edtDataIni", 100, clBtnFace);
    edtDataIni->SetColor(clWindow);
    lblMesFina = kvo::NewCaption(GroupBox1, "lblMesFina", QStringLiteral("Data Final"));
    depDataFin = Data(GroupBox1, "depDataFin");
    lblMesFina->setBuddy(depDataFin);
    edtDataFin = kvo::NewDisplayEdit(GroupBox1, "edtDataFin", 100, clBtnFace);
    edtDataFin->SetColor(clWindow);
    datas->addWidget(lblDtFinal, 0, 0);
    datas->addWidget(depDataIni, 0, 1);
    datas->addWidget(edtDataIni, 0, 2);
    datas->addWidget(lblMesFina, 1, 0);
    datas->addWidget(depDataFin, 1, 1);
    datas->addWidget(edtDataFin, 1, 2);
    grid->addWidget(GroupBox1, 1, 0, 1, 4);

    grbServico = new TGroupBox(QStringLiteral("Serviço"), grbDadosRel);
    grbServico->setObjectName(QStringLiteral("grbServico"));
    auto* servicos = new QHBoxLayout(grbServico);
    rbtTodosServ = new TRadioButton(QStringLiteral("Todos"), grbServico);
    rbtTodosServ->setObjectName(QStringLiteral("rbtTodosServ"));
    rbtTodosServ->setChecked(true);
    rbtListaServ = new TRadioButton(QStringLiteral("Lista"), grbServico);
    rbtListaServ->setObjectName(QStringLiteral("rbtListaServ"));
    btnServico = new TBtnPesquisa(grbServico);
    btnServico->setObjectName(QStringLiteral("btnServico"));
    btnServico->SetDataSource(dtsServico);
    btnServico->SetHint(QStringLiteral("Pesquisar"));
    btnServico->SetEnabled(false);
    servicos->addWidget(rbtTodosServ);
    servicos->addWidget(rbtListaServ);
    servicos->addWidget(btnServico);
    servicos->addStretch(1);
    grid->addWidget(grbServico, 1, 4);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(2, 1);

    setTabOrder(medCdFilial, depDataIni);
    setTabOrder(depDataIni, depDataFin);
    setTabOrder(depDataFin, rbtTodosServ);

    btpFilial->OnBeforePesq = [this](QObject* s, bool& allow) { btpFilialBeforePesq(s, allow); };
    btpFilial->OnAfterPesq = [this](QObject* s) { btpFilialAfterPesq(s); };
    medCdFilial->OnChange = [this](QObject* s) { medCdFilialChange(s); };
    medCdFilial->OnExit = [this](QObject* s) { medCdFilialExit(s); };
    depDataIni->OnChange = [this](QObject* s) { depDataIniChange(s); };
    depDataFin->OnChange = [this](QObject* s) { depDataFinChange(s); };
    depDataIni->OnExit = [this](QObject* s) { depDataIniExit(s); };
    depDataFin->OnExit = [this](QObject* s) { depDataFinExit(s); };
    rbtTodosServ->OnClick = [this](QObject* s) { rbtListaServClick(s); };
    rbtListaServ->OnClick = [this](QObject* s) { rbtListaServClick(s); };
    rbtListaServ->OnKeyDown = [this](QObject* s, int& key, Qt::KeyboardModifiers shift) {
        rbtListaServKeyDown(s, key, shift);
    };
    btnServico->OnClick = [this](QObject* s) { btnServicoClick(s); };
    rpddPadrao->BeforeGetQueryParams = [this](QObject* s, kvo::report::TReportParams& params, bool& flag) {
        rpddPadraoBeforeGetQueryParams(s, params, flag);
    };
}

void TfrmListEfetDiet::FormCreate(QObject* Sender) {
    TfrmDadosGerRel::FormCreate(Sender);
    medCdFilial->SetText(Balvora::FiliProc());
    const bool livre = !Balvora::ModuFili();
    lblFilial->SetEnabled(livre);
    medCdFilial->SetEnabled(livre);
    btpFilial->SetEnabled(livre);

    qryFilial->Close();
    qryFilial->ParamByName(QStringLiteral("P_CDFILIAL")).SetAsString(medCdFilial->Text());
    qryFilial->ParamByName(QStringLiteral("P_TCDFILIAL")).SetAsString(QStringLiteral("X"));
    qryFilial->Open();
    edtNmFilial->SetText(
        qryFilial->IsEmpty() ? QString() : qryFilial->FieldByName(QStringLiteral("NMFILIAL"))->AsString());

    const QDate proc = Balvora::DataProc(medCdFilial->Text());
    depDataIni->SetDate(proc);
    depDataFin->SetDate(proc);
    edtDataIni->SetText(Consiste::NomeSemana(depDataIni->GetDate()));
    edtDataFin->SetText(Consiste::NomeSemana(depDataFin->GetDate()));
}

void TfrmListEfetDiet::FormActivate(QObject* Sender) {
    TfrmDadosGerRel::FormActivate(Sender);
    update();
}

void TfrmListEfetDiet::btpFilialBeforePesq(QObject* /*Sender*/, bool& /*Allow*/) {
    qryFilial->Close();
    qryFilial->ParamByName(QStringLiteral("P_CDFILIAL")).SetAsString(QStringLiteral("X"));
    qryFilial->ParamByName(QStringLiteral("P_TCDFILIAL")).SetAsString(QStringLiteral("T"));
    qryFilial->Open();
}

void TfrmListEfetDiet::btpFilialAfterPesq(QObject* /*Sender*/) {
    // The code first: its change handler clears the name.
    medCdFilial->SetText(qryFilial->FieldByName(QStringLiteral("CDFILIAL"))->AsString());
    edtNmFilial->SetText(qryFilial->FieldByName(QStringLiteral("NMFILIAL"))->AsString());
}

void TfrmListEfetDiet::medCdFilialChange(QObject* /*Sender*/) {
    edtNmFilial->SetText(QString());
    stListaServ.clear();
}

void TfrmListEfetDiet::medCdFilialExit(QObject* /*Sender*/) {
    Consiste::ValidaFilialEdit(medCdFilial, edtNmFilial, false);
}

void TfrmListEfetDiet::depDataIniChange(QObject* /*Sender*/) {
    edtDataIni->SetText(QString());
}

void TfrmListEfetDiet::depDataFinChange(QObject* /*Sender*/) {
    edtDataFin->SetText(QString());
}

void TfrmListEfetDiet::depDataIniExit(QObject* /*Sender*/) {
    depDataIni->CheckValidDate();
    if (!Consiste::EmptyString(depDataIni->Text()))
        edtDataIni->SetText(Consiste::NomeSemana(depDataIni->GetDate()));
}

void TfrmListEfetDiet::depDataFinExit(QObject* /*Sender*/) {
    depDataFin->CheckValidDate();
    if (!Consiste::EmptyString(depDataFin->Text()))
        edtDataFin->SetText(Consiste::NomeSemana(depDataFin->GetDate()));
}

void TfrmListEfetDiet::rbtListaServClick(QObject* /*Sender*/) {
    btnServico->SetEnabled(rbtListaServ->Checked());
    stListaServ.clear();
}

void TfrmListEfetDiet::rbtListaServKeyDown(QObject* /*Sender*/, int& Key, Qt::KeyboardModifiers /*Shift*/) {
    if (Key == Qt::Key_F9) btnServicoClick(btnServico);
}

void TfrmListEfetDiet::abreServicos() {
    qryServico->Close();
    qryServico->ParamByName(QStringLiteral("P_CDFILIAL")).SetAsString(medCdFilial->Text());
    qryServico->Open();
}

void TfrmListEfetDiet::btnServicoClick(QObject* /*Sender*/) {
    abreServicos();
    PesquisaLista(dtsServico, QStringLiteral("CDSERVFILI"),
                  msgPadrao->Msg(QStringLiteral("SERVICO")) + u'|' +
                      msgPadrao->Msg(QStringLiteral("ServCadFili")),
                  false, stListaServ);
}

void TfrmListEfetDiet::Vd_Data() {
    depDataIni->CheckValidDate();
    depDataFin->CheckValidDate();
    if (Consiste::EmptyString(depDataIni->Text()) || Consiste::EmptyString(depDataFin->Text())) return;
    // An unknown processing date lets no final date through.
    const QDate proc = Balvora::DataProc(medCdFilial->Text());
    if (!proc.isValid() || depDataFin->GetDate() > proc) {
        depDataFin->TrySetFocus();
        Consiste::MensErro(msgPadrao->Msg(QStringLiteral("DATA_PROC")), true);
    }
    if (depDataFin->GetDate() < depDataIni->GetDate()) {
        depDataIni->TrySetFocus();
        Consiste::MensErro(msgPadrao->Msg(QStringLiteral("DATA_INI_MAIOR")), true);
    }
}

void TfrmListEfetDiet::datasInformadas() {
    if (Consiste::EmptyString(depDataIni->Text())) {
        depDataIni->TrySetFocus();
        Consiste::MensErro(msgPadrao->Msg(QStringLiteral("DtIni_Inf")), true);
    }
    if (Consiste::EmptyString(depDataFin->Text())) {
        depDataFin->TrySetFocus();
        Consiste::MensErro(msgPadrao->Msg(QStringLiteral("DtFin_Inf")), true);
    }
}

void TfrmListEfetDiet::servicoInformado() {
    if (rbtListaServ->Checked() && stListaServ.isEmpty()) {
        rbtListaServ->TrySetFocus();
        Consiste::MensErro(msgPadrao->Msg(QStringLiteral("SERV_DEVE")), true);
    }
}

void TfrmListEfetDiet::sbtPrintClick(QObject* Sender) {
    Consiste::ValidaFilialEdit(medCdFilial, edtNmFilial, true);
    Vd_Data();
    datasInformadas();
    servicoInformado();
    TfrmDadosGerRel::sbtPrintClick(Sender);
}

void TfrmListEfetDiet::sbtPreviewClick(QObject* Sender) {
    depDataIni->CheckValidDate();
    depDataFin->CheckValidDate();
    Consiste::ValidaFilialEdit(medCdFilial, edtNmFilial, true);
    datasInformadas();
    Vd_Data();
    servicoInformado();
    TfrmDadosGerRel::sbtPreviewClick(Sender);
}

void TfrmListEfetDiet::sbtSalvarComoClick(QObject* Sender) {
    Consiste::ValidaFilialEdit(medCdFilial, edtNmFilial, true);
    datasInformadas();
    Vd_Data();
    servicoInformado();
    TfrmDadosGerRel::sbtSalvarComoClick(Sender);
}

void TfrmListEfetDiet::sbtReportEditClick(QObject* Sender) {
    depDataIni->CheckValidDate();
    depDataFin->CheckValidDate();
    Consiste::ValidaFilialEdit(medCdFilial, edtNmFilial, false);
    // Only a warning, and only where the person is: the editor opens anyway.
    if (Consiste::EmptyString(depDataIni->Text()) && ActiveControl() == depDataIni) {
        depDataIni->TrySetFocus();
        Consiste::MensErro(msgPadrao->Msg(QStringLiteral("DtIni_Inf")), false);
    }
    if (Consiste::EmptyString(depDataFin->Text()) && ActiveControl() == depDataFin) {
        depDataFin->TrySetFocus();
        Consiste::MensErro(msgPadrao->Msg(QStringLiteral("DtFin_Inf")), false);
    }
    TfrmDadosGerRel::sbtReportEditClick(Sender);
}

void TfrmListEfetDiet::rpddPadraoBeforeGetQueryParams(QObject* /*Sender*/, kvo::report::TReportParams& Params,
                                                      bool& /*Flag*/) {
    if (rbtTodosServ->Checked()) {
        abreServicos();
        stListaServ.clear();
        for (qryServico->First(); !qryServico->Eof(); qryServico->Next())
            stListaServ += u'_' + qryServico->FieldByName(QStringLiteral("CDSERVFILI"))->AsString();
    }
    if (ExistParam(Params, QStringLiteral("P_CDFILIAL")))
        Params.ParamByName(QStringLiteral("P_CDFILIAL")).SetAsString(medCdFilial->Text());
    if (ExistParam(Params, QStringLiteral("P_CDSERVFILI")))
        Params.ParamByName(QStringLiteral("P_CDSERVFILI")).SetAsString(stListaServ);
    if (ExistParam(Params, QStringLiteral("P_DTINICIAL")))
        Params.ParamByName(QStringLiteral("P_DTINICIAL")).SetValue(depDataIni->GetDate());
    if (ExistParam(Params, QStringLiteral("P_DTFINAL")))
        Params.ParamByName(QStringLiteral("P_DTFINAL")).SetValue(depDataFin->GetDate());
    if (ExistParam(Params, QStringLiteral("P_DTPERINI")))
        Params.ParamByName(QStringLiteral("P_DTPERINI")).SetAsString(depDataIni->EditText());
    if (ExistParam(Params, QStringLiteral("P_DTPERFIN")))
        Params.ParamByName(QStringLiteral("P_DTPERFIN")).SetAsString(depDataFin->EditText());
}
