#include "calc/TfrmCalcComensais.h"

#include "headcount/TfrmMediEfetDiet.h"
#include "host/Application.h"
#include "host/Balvora.h"
#include "host/Consiste.h"
#include "host/TADOIBQuery.h"
#include "module/Units.h"
#include "widgets/Glyphs.h"

namespace {

// The dialog leans on the headcount screen for its branch, date and server connection.
TfrmMediEfetDiet& Efetivos() {
    if (!frmMediEfetDiet)
        throw Exception(QStringLiteral("A tela Efetivos deve estar aberta para calcular comensais."));
    return *frmMediEfetDiet;
}

} // namespace

TfrmCalcComensais::TfrmCalcComensais(QWidget* parent) : TfrmRotiGeral(parent) {
    setObjectName("frmCalcComensais");
    SetCaption(QStringLiteral("Calcular Comensais"));
    SetScreenCode(QStringLiteral("KVO01002"));
    setWindowIcon(kvo::WindowGlyph(QStringLiteral("calculo")));
    HelpContext = 12001002;
    sbtConfirma->SetHint(QStringLiteral("Calcular"));
    CriaConsultas();
    CriaCatalogo();
    CriaControles();
    LigaEventos();
}

void TfrmCalcComensais::LigaEventos() {
    OnActivate = [this](QObject* s) { FormActivate(s); };
    medCdFilialCalc->OnChange = [this](QObject* s) { medCdFilialCalcChange(s); };
    medCdFilialCalc->OnExit = [this](QObject* s) { medCdFilialCalcExit(s); };
    btpFilial->OnBeforePesq = [this](QObject* s, bool& allow) { btpFilialBeforePesq(s, allow); };
    btpFilial->OnAfterPesq = [this](QObject* s) { btpFilialAfterPesq(s); };
    depDataCalc->OnChange = [this](QObject* s) { depDataCalcChange(s); };
    depDataCalc->OnDateChange = [this](QObject* s) { depDataCalcDateChange(s); };
    depDataCalc->OnExit = [this](QObject* s) { depDataCalcExit(s); };
    rbtTodos->OnClick = [this](QObject* s) { rbtTodosClick(s); };
    rbtLista->OnClick = [this](QObject* s) { rbtListaClick(s); };
    btpServico->OnClick = [this](QObject* s) { btpServicoClick(s); };
}

QString TfrmCalcComensais::Filial() const {
    return Consiste::Ajusta(medCdFilialCalc->Text(), 4);
}

void TfrmCalcComensais::FormCreate(QObject* Sender) {
    TfrmRotiGeral::FormCreate(Sender);
    resize(width(), 133);
    depDataCalc->SetDate(Efetivos().depCardapio->GetDate());
    stServico.clear();
}

void TfrmCalcComensais::FormActivate(QObject* /*Sender*/) {
    repaint();
    // The headcount screen's branch is the starting value; later activations (after a message
    // or a lookup window) keep the branch the user typed or picked here.
    if (blPrimAtivacao) {
        TfrmMediEfetDiet& efetivos = Efetivos();
        medCdFilialCalc->SetText(efetivos.medCdFilial->Text());
        edtNmFilial->SetText(efetivos.edtNmFilial->Text());
        blPrimAtivacao = false;
    }
    const bool filialLivre = !Balvora::ModuFili();
    medCdFilialCalc->SetEnabled(filialLivre);
    btpFilial->SetEnabled(filialLivre);
    lblFilial->SetEnabled(medCdFilialCalc->Enabled());
    edtDiaSemana->SetText(Consiste::NomeSemana(depDataCalc->GetDate()));
}

void TfrmCalcComensais::medCdFilialCalcChange(QObject* /*Sender*/) {
    edtNmFilial->SetText(QString());
}

void TfrmCalcComensais::medCdFilialCalcExit(QObject* /*Sender*/) {
    Consiste::ValidaFilialEdit(medCdFilialCalc, edtNmFilial, false);
}

void TfrmCalcComensais::btpFilialBeforePesq(QObject* /*Sender*/, bool& /*Allow*/) {
    qryFilial->Close();
    qryFilial->ParamByName(QStringLiteral("P_CDFILIAL")).SetAsString(QStringLiteral("x"));
    qryFilial->ParamByName(QStringLiteral("P_TCDFILIAL")).SetAsString(QStringLiteral("T"));
    qryFilial->Open();
}

void TfrmCalcComensais::btpFilialAfterPesq(QObject* /*Sender*/) {
    // The code first: its change handler clears the name.
    medCdFilialCalc->SetText(qryFilial->FieldByName(QStringLiteral("CDFILIAL"))->AsString());
    edtNmFilial->SetText(qryFilial->FieldByName(QStringLiteral("NMFILIAL"))->AsString());
}

void TfrmCalcComensais::depDataCalcChange(QObject* /*Sender*/) {
    edtDiaSemana->SetText(QString());
}

void TfrmCalcComensais::depDataCalcDateChange(QObject* /*Sender*/) {
    edtDiaSemana->SetText(Consiste::NomeSemana(depDataCalc->GetDate()));
}

void TfrmCalcComensais::depDataCalcExit(QObject* /*Sender*/) {
    depDataCalc->CheckValidDate();
}

void TfrmCalcComensais::rbtTodosClick(QObject* /*Sender*/) {
    btpServico->SetEnabled(rbtLista->Checked());
    stServico.clear();
}

void TfrmCalcComensais::rbtListaClick(QObject* /*Sender*/) {
    btpServico->SetEnabled(rbtLista->Checked());
}

void TfrmCalcComensais::btpServicoClick(QObject* /*Sender*/) {
    qryServico->Close();
    qryServico->ParamByName(QStringLiteral("P_CDFILIAL")).SetAsString(Filial());
    qryServico->Open();
    const QString titulo = msgPadrao->Msg(QStringLiteral("Servico")) + QLatin1Char('|') +
                           msgPadrao->Msg(QStringLiteral("Serv_Empty"));
    PesquisaLista(dtsServico, QStringLiteral("CDSERVFILI"), titulo, false, stServico);
}

void TfrmCalcComensais::ValidaData() {
    const QDate data = depDataCalc->GetDate();
    if (!data.isValid()) Consiste::MensErro(msgPadrao->Msg(QStringLiteral("Data_inf")), true);

    // The branch as it will be computed: a code still typed short ("1") has the rules of 0001.
    const QString filial = Filial();
    cdsParamPlaneja->SetData(TDataPacket::fromJson(Consiste::CheckResultServ(
        Efetivos().netEfetivos->Call(QStringLiteral("GetParamPlaneja"), {filial}), true, 0)));
    edtDiaSemana->SetText(Consiste::NomeSemana(data));

    const bool permiteAposProcessamento =
        cdsParamPlaneja->IsEmpty() ||
        cdsParamPlaneja->FieldByName(QStringLiteral("IDPEREFEPOSDTPR"))->AsString() != QLatin1String("N");
    // An unknown processing date counts as the earliest day, so no later date slips through.
    const QDate proc = Balvora::DataProc(filial);
    if (!permiteAposProcessamento && (!proc.isValid() || data > proc)) {
        depDataCalc->TrySetFocus();
        Consiste::MensErro(msgPadrao->Msg(QStringLiteral("DATA_PROC")), true);
    }
}

void TfrmCalcComensais::sbtConfirmaClick(QObject* /*Sender*/) {
    depDataCalc->CheckValidDate();
    ValidaData();
    Consiste::ValidaFilialEdit(medCdFilialCalc, edtNmFilial, true);

    QString selecao = QStringLiteral("T");
    if (rbtLista->Checked()) {
        if (stServico.isEmpty()) {
            rbtLista->TrySetFocus();
            Consiste::MensErro(msgPadrao->Msg(QStringLiteral("SERV_DEVE")), true);
        }
        selecao = stServico;
    }

    QString resultado;
    {
        kvo::ShowAviScope avi(kvo::Application().MainForm(), kvo::aviLoading);
        resultado =
            Efetivos()
                .netEfetivos
                ->Call(QStringLiteral("CalcularComensais"),
                       {medCdFilialCalc->Text(), selecao, depDataCalc->GetPrimDia(), depDataCalc->GetDate()})
                .AsString();
    }

    if (resultado.isEmpty()) {
        repaint();
        msgPadrao->ShowMsg(QStringLiteral("Calc_Real"), kvo::mtInformation, kvo::mbOK, 0);
        return;
    }
    // A key of the catalog shows its text; anything else is the server's own sentence.
    Consiste::MensErro(msgPadrao->Contains(resultado) ? msgPadrao->Msg(resultado) : resultado, true);
}
