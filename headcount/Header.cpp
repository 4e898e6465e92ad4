#include "TfrmMediEfetDiet.h"

#include "data/Conversions.h"
#include "host/Application.h"
#include "host/Balvora.h"
#include "host/Consiste.h"
#include "host/TADOIBQuery.h"

// The header picks the working day (branch and menu date); leaving it loads the day.

namespace {

// Menu dates travel as text, dd/mm/yyyy; an ISO date is read as well.
QDate DataDoTexto(const QString& text) {
    return kvo::data::toDate(text).value_or(QDate());
}

} // namespace

TDataPacket TfrmMediEfetDiet::Pacote(const QString& metodo, const QVariantList& args) {
    return TDataPacket::fromJson(Consiste::CheckResultServ(netEfetivos->Call(metodo, args), true, 0));
}

TPacketPair TfrmMediEfetDiet::ParPacotes(const QString& metodo, const QVariantList& args) {
    return TPacketPair::fromJson(Consiste::CheckResultServ(netEfetivos->Call(metodo, args), true, 0));
}

void TfrmMediEfetDiet::FormActivate(QObject* /*Sender*/) {
    // Coming back to the screen (a message closed, another window left) changes nothing on it.
    if (!blPrimAtivacao) return;
    // Shown whole before the first activation's server calls hold the event loop.
    repaint();

    // A failure anywhere leaves blPrimAtivacao set, so the next activation starts over.
    cdsParamGeral->SetData(Pacote(QStringLiteral("GETParamGeral"), {}));

    medCdFilial->SetText(Balvora::FiliProc());

    qryFilial->Close();
    qryFilial->ParamByName(QStringLiteral("P_CDFILIAL")).SetAsString(medCdFilial->Text());
    qryFilial->ParamByName(QStringLiteral("P_TCDFILIAL")).SetAsString(QStringLiteral("N"));
    qryFilial->Open();
    if (!qryFilial->IsEmpty())
        edtNmFilial->SetText(qryFilial->FieldByName(QStringLiteral("NMFILIAL"))->AsString());

    const bool filialLivre = !Balvora::ModuFili();
    medCdFilial->SetEnabled(filialLivre);
    lblCdFilial->SetEnabled(filialLivre);
    btpFilial->SetEnabled(filialLivre);

    if (medCdFilial->Enabled())
        medCdFilial->SetFocus();
    else
        depCardapio->SetFocus();

    depCardapio->SetDate(Balvora::DataProc(medCdFilial->Text()));
    edtDiaCardapio->SetText(Consiste::NomeSemana(depCardapio->GetDate()));

    blPrimAtivacao = false;
}

void TfrmMediEfetDiet::panDadosEnter(QObject* /*Sender*/) {
    Habilita(false);
    pgcPadrao->SetActivePage(tshPadrao);
    mnuEfetivos->SetChecked(true);
    mnuClientes->SetChecked(false);
    cdsCardadia->Close();
    cdsCardServ->Close();
    cdsClienteTrab->Close();
}

void TfrmMediEfetDiet::ReiniciaCabecalho() {
    HabilitaClientes(false);
    mnuClientes->SetEnabled(false);
    mnuEfetivos->SetChecked(true);
    mnuClientes->SetChecked(false);
    sbtConfirmar->SetEnabled(false);
    sbtCancelar->SetEnabled(false);
}

void TfrmMediEfetDiet::medCdFilialEnter(QObject* /*Sender*/) {
    ReiniciaCabecalho();
}

void TfrmMediEfetDiet::depCardapioEnter(QObject* /*Sender*/) {
    ReiniciaCabecalho();
}

void TfrmMediEfetDiet::medCdFilialChange(QObject* /*Sender*/) {
    edtNmFilial->SetText(QString());
}

void TfrmMediEfetDiet::depCardapioChange(QObject* /*Sender*/) {
    edtDiaCardapio->SetText(QString());
}

void TfrmMediEfetDiet::btpFilialBeforePesq(QObject* /*Sender*/, bool& /*Allow*/) {
    qryFilial->Close();
    qryFilial->ParamByName(QStringLiteral("P_CDFILIAL")).SetAsString(QStringLiteral("N"));
    qryFilial->ParamByName(QStringLiteral("P_TCDFILIAL")).SetAsString(QStringLiteral("T"));
    qryFilial->Open();
}

void TfrmMediEfetDiet::btpFilialAfterPesq(QObject* /*Sender*/) {
    // The branch text first: its change handler clears the name.
    medCdFilial->SetText(qryFilial->FieldByName(QStringLiteral("CDFILIAL"))->AsString());
    edtNmFilial->SetText(qryFilial->FieldByName(QStringLiteral("NMFILIAL"))->AsString());
}

void TfrmMediEfetDiet::medCdFilialExit(QObject* /*Sender*/) {
    Consiste::ValidaFilialEdit(medCdFilial, edtNmFilial, false);
}

void TfrmMediEfetDiet::btpDtCardapioBeforePesq(QObject* /*Sender*/, bool& /*Allow*/) {
    const QString filial = medCdFilial->Text();
    kvo::ShowAviScope avi(this, kvo::aviLoading);
    cdsDtCardapio->SetData(Pacote(QStringLiteral("GetDtCardapio"), {filial, Balvora::DataProc(filial)}));
}

void TfrmMediEfetDiet::btpDtCardapioAfterPesq(QObject* /*Sender*/) {
    const QString texto = cdsDtCardapio->FieldByName(QStringLiteral("DTCARDAPIO"))->AsString();
    const QDate data = DataDoTexto(texto);
    if (!data.isValid()) throw Exception(QStringLiteral("Data do cardápio inválida: '%1'.").arg(texto));
    depCardapio->SetDate(data);
    edtDiaCardapio->SetText(cdsDtCardapio->FieldByName(QStringLiteral("DSDIASEMANA"))->AsString());
}

void TfrmMediEfetDiet::cdsDtCardapioCalcFields(TClientDataSet* DataSet) {
    // An unreadable date shows no weekday rather than failing while the list paints.
    DataSet->FieldByName(QStringLiteral("DSDIASEMANA"))
        ->SetAsString(Consiste::NomeSemana(
            DataDoTexto(DataSet->FieldByName(QStringLiteral("DTCARDAPIO"))->AsString())));
}

void TfrmMediEfetDiet::depCardapioExit(QObject* /*Sender*/) {
    depCardapio->CheckValidDate();
    if (!Consiste::EmptyString(depCardapio->Text()))
        edtDiaCardapio->SetText(Consiste::NomeSemana(depCardapio->GetDate()));
}

void TfrmMediEfetDiet::Vd_Data() {
    try {
        const QDate data = depCardapio->GetDate();
        if (!data.isValid()) Consiste::MensErro(msgPadrao->Msg(QStringLiteral("Data_inf")), true);

        const QString filial = medCdFilial->Text();
        cdsParamPlaneja->SetData(Pacote(QStringLiteral("GetParamPlaneja"), {filial}));
        edtDiaCardapio->SetText(Consiste::NomeSemana(data));

        // An unknown processing date counts as the earliest day, so no later date slips through.
        const QDate proc = Balvora::DataProc(filial);
        const bool depoisDoProcessamento = !proc.isValid() || data > proc;
        if (depoisDoProcessamento && !PermiteAposProcessamento()) {
            depCardapio->SetFocus();
            Consiste::MensErro(msgPadrao->Msg(QStringLiteral("DATA_PROC")), true);
        }
    } catch (...) {
        if (depCardapio->Enabled()) depCardapio->TrySetFocus();
        throw;
    }
}

bool TfrmMediEfetDiet::PermiteAposProcessamento() const {
    if (!cdsParamPlaneja->Active() || cdsParamPlaneja->IsEmpty()) return true;
    return cdsParamPlaneja->FieldByName(QStringLiteral("IDPEREFEPOSDTPR"))->AsString() != QLatin1String("N");
}

void TfrmMediEfetDiet::panDadosExit(QObject* /*Sender*/) {
    Consiste::ValidaFilialEdit(medCdFilial, edtNmFilial, true);

    if (Consiste::EmptyString(depCardapio->Text())) {
        depCardapio->TrySetFocus();
        Consiste::MensErro(msgPadrao->Msg(QStringLiteral("DTCard_Inf")), true);
    }

    Vd_Data();

    const QString filial = medCdFilial->Text();
    const QDate data = depCardapio->GetDate();
    kvo::ShowAviScope avi(this, kvo::aviLoading);

    // Diet rows before services: loading the services refilters the diet rows.
    const TPacketPair dia = ParPacotes(QStringLiteral("GetCardadia"), {filial, data});
    cdsCardadia->SetData(dia.first);
    cdsParamPlaneja->SetData(dia.second);

    cdsCardServ->SetData(Pacote(QStringLiteral("GetCardServ"), {filial, data}));

    if (DiaFechado()) {
        Habilita(false);
        EdicaoGrades(false);
    } else {
        AplicaRegraEdicao();
    }

    if (cdsCardServ->IsEmpty()) {
        // The first service of the day can still be added.
        Habilita(false);
        sbtIncluir->SetEnabled(true);
    } else {
        ChangeBut(true);
    }
    kvo::Application().SetWorkBranch(this, filial);
}
