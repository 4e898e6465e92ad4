#include "TfrmMediEfetDiet.h"

#include "host/Balvora.h"
#include "host/Consiste.h"
#include "host/TADOIBQuery.h"
#include "module/Units.h"

#include <QScopeGuard>

// The diet grid: one row per standard diet of the current service with the day's counts. Every
// posted row is saved at once and followed by the verify command.

namespace {

const QString kCdDietPad = QStringLiteral("CDDIETPAD");

bool Coluna(const TDBGrid* grid, const char* fieldName) {
    const TField* field = grid->SelectedField();
    return field && field->FieldName().compare(QLatin1String(fieldName), Qt::CaseInsensitive) == 0;
}

} // namespace

void TfrmMediEfetDiet::RecarregaDietas() {
    // Typed counts never vanish under a reload: the pending row is confirmed first (a refusal
    // keeps it, with its message, and nothing is reloaded).
    ConfirmaDietaPendente();
    const QString dieta = cdsCardadia->Active() && !cdsCardadia->IsEmpty()
                              ? cdsCardadia->FieldByName(kCdDietPad)->AsString()
                              : QString();
    const TPacketPair dia =
        ParPacotes(QStringLiteral("GetCardadia"), {medCdFilial->Text(), depCardapio->GetDate()});
    cdsCardadia->SetData(dia.first);
    cdsParamPlaneja->SetData(dia.second);
    cdsCardadia->Locate(kCdDietPad, dieta, loCaseInsensitive);
    MostraDiaFechado();
}

void TfrmMediEfetDiet::ConfirmaDietaPendente() {
    if (cdsCardadia->State() == dsEdit || cdsCardadia->State() == dsInsert) sbtConfirmarClick(sbtConfirmar);
}

void TfrmMediEfetDiet::dbgPadraoEnter(QObject* /*Sender*/) {
    RecarregaDietas();

    if (DiaFechado()) {
        sbtCalcComens->SetEnabledAlone(false);
        Habilita(false);
        sbtAlterar->SetEnabled(false);
        dbgPadrao->SetOption(dgEditing, false);
        return;
    }

    if (ServicoAtual().isEmpty() && !sbtIncluir->isEnabled()) {
        // A service being entered without a code: back to its code first.
        {
            blReageEstado = false;
            const auto reage = qScopeGuard([] { blReageEstado = true; });
            cdsCardServ->FieldByName(QStringLiteral("CDSERVFILI"))->FocusControl();
        }
        Consiste::MensErro(msgPadrao->Msg(QStringLiteral("Serv_Inf")), true);
    }

    sbtAlterar->SetEnabled(!EmEdicao(cdsCardadia) && !cdsCardadia->IsEmpty());
}

void TfrmMediEfetDiet::dbgPadraoExit(QObject* /*Sender*/) {
    // A new row is confirmed on the way out, and so is an edited one: the next grid entered
    // reloads the diet rows, which would otherwise drop its counts.
    if (EmEdicao(cdsCardadia)) sbtConfirmarClick(sbtConfirmar);
    sbtAlterar->SetEnabled(false);
}

void TfrmMediEfetDiet::dbgPadraoColEnter(QObject* /*Sender*/) {
    RegraEdicaoDieta();
}

void TfrmMediEfetDiet::cdsCardadiaAfterScroll(TClientDataSet* /*DataSet*/) {
    RegraEdicaoDieta();
    HabilitaHistorico();
}

void TfrmMediEfetDiet::dbgPadraoColExit(QObject* /*Sender*/) {
    TField* codigo = cdsCardadia->FieldByName(kCdDietPad);
    if (cdsCardadia->State() == dsInsert && Coluna(dbgPadrao, "CDDIETPAD") && !codigo->AsString().isEmpty()) {
        codigo->SetAsString(Consiste::Ajusta(codigo->AsString(), codigo->Size()));
        Vd_Verif_Diet();
        qryDieta->Close();
        qryDieta->ParamByName(QStringLiteral("P_CDFILIAL")).SetAsString(medCdFilial->Text());
        qryDieta->ParamByName(QStringLiteral("P_CDSERVFILI")).SetAsString(ServicoAtual());
        qryDieta->ParamByName(QStringLiteral("P_CDDIETPAD")).SetAsString(codigo->AsString());
        qryDieta->ParamByName(QStringLiteral("P_TCDDIETPAD")).SetAsString(QStringLiteral("N"));
        qryDieta->Open();
        if (qryDieta->IsEmpty()) {
            codigo->FocusControl();
            Consiste::MensErro(msgPadrao->Msg(QStringLiteral("Diet_Cad")), true);
        }
        cdsCardadia->FieldByName(QStringLiteral("DSDIETPAD"))
            ->SetAsString(qryDieta->FieldByName(QStringLiteral("DSDIETPAD"))->AsString());
    }

    if (!EmEdicao(cdsCardadia)) return;
    if (Coluna(dbgPadrao, "QTCLIEFETCAR"))
        Vd_QtCliEfetCar();
    else if (Coluna(dbgPadrao, "QTFUNEFETCAR"))
        Vd_QtFunEfetCar();
    else if (Coluna(dbgPadrao, "QTDOAEFETCAR"))
        Vd_QtDoaEfetCar();
    auto qt = [this](const char* field) { return cdsCardadia->FieldByName(QLatin1String(field))->AsFloat(); };
    cdsCardadia->FieldByName(QStringLiteral("QTCOMEFETCAR"))
        ->SetAsFloat((qt("QTCLIEFETCAR") + qt("QTFUNEFETCAR")) + qt("QTDOAEFETCAR"));
}

namespace {

// A count below 0 is refused; 0 passes.
void Quantidade(TClientDataSet* set, const char* field, const QString& refusal) {
    if (set->FieldByName(QLatin1String(field))->AsFloat() < 0) Consiste::MensErro(refusal, true);
}

} // namespace

void TfrmMediEfetDiet::Vd_QtCliEfetCar() {
    Quantidade(cdsCardadia, "QTCLIEFETCAR", msgPadrao->Msg(QStringLiteral("CliInv")));
}

void TfrmMediEfetDiet::Vd_QtFunEfetCar() {
    Quantidade(cdsCardadia, "QTFUNEFETCAR", msgPadrao->Msg(QStringLiteral("QT_FUN_DEVE")));
}

void TfrmMediEfetDiet::Vd_QtDoaEfetCar() {
    Quantidade(cdsCardadia, "QTDOAEFETCAR", msgPadrao->Msg(QStringLiteral("DoaInv")));
}

void TfrmMediEfetDiet::Vd_QtComEfetCar() {
    Quantidade(cdsCardadia, "QTCOMEFETCAR", msgPadrao->Msg(QStringLiteral("QT_COM_DEVE")));
}

void TfrmMediEfetDiet::dbgPadraoEditButtonClick(QObject* /*Sender*/) {
    if (!Coluna(dbgPadrao, "CDDIETPAD") || cdsCardadia->State() != dsInsert) return;
    qryDieta->Close();
    qryDieta->ParamByName(QStringLiteral("P_CDFILIAL")).SetAsString(medCdFilial->Text());
    qryDieta->ParamByName(QStringLiteral("P_CDSERVFILI")).SetAsString(ServicoAtual());
    qryDieta->ParamByName(QStringLiteral("P_CDDIETPAD")).SetAsString(QStringLiteral("x"));
    qryDieta->ParamByName(QStringLiteral("P_TCDDIETPAD")).SetAsString(QStringLiteral("T"));
    qryDieta->Open();
    if (!Pesquisar(dtsDieta, msgPadrao->Msg(QStringLiteral("Dieta")), false, true)) return;
    cdsCardadia->FieldByName(kCdDietPad)->SetAsString(qryDieta->FieldByName(kCdDietPad)->AsString());
    cdsCardadia->FieldByName(QStringLiteral("DSDIETPAD"))
        ->SetAsString(qryDieta->FieldByName(QStringLiteral("DSDIETPAD"))->AsString());
}

void TfrmMediEfetDiet::Vd_Verif_Diet() {
    TField* codigo = cdsCardadia->FieldByName(kCdDietPad);
    if (cdsCardadia->State() != dsInsert || codigo->AsString().isEmpty()) return;
    try {
        const QJsonValue cadastrada = Consiste::CheckResultServ(
            netEfetivos->Call(QStringLiteral("Verif_Serv"), {medCdFilial->Text(), depCardapio->GetDate(),
                                                             ServicoAtual(), codigo->AsString()}),
            true, 0);
        if (cadastrada.toBool()) Consiste::MensErro(msgPadrao->Msg(QStringLiteral("Diet_JaCad")), true);
    } catch (...) {
        codigo->FocusControl();
        throw;
    }
}

void TfrmMediEfetDiet::cdsCardadiaAfterInsert(TClientDataSet* /*DataSet*/) {
    cdsCardadia->FieldByName(kCdDietPad)->FocusControl();
}

void TfrmMediEfetDiet::cdsCardadiaBeforeEdit(TClientDataSet* /*DataSet*/) {
    Vd_Retirada();
}

void TfrmMediEfetDiet::Vd_Retirada() {
    const bool guarda =
        cdsParamPlaneja->Active() && !cdsParamPlaneja->IsEmpty() &&
        cdsParamPlaneja->FieldByName(QStringLiteral("IDPERLEFESRETPLA"))->AsString() == QLatin1String("N");
    if (!guarda || cdsCardadia->IsEmpty()) return;
    auto campo = [this](const char* field) { return cdsCardadia->FieldByName(QLatin1String(field)); };
    const QString recusa =
        netEfetivos
            ->Call(QStringLiteral("Vd_Retirada"),
                   {campo("CDFILIAL")->AsString(), campo("DTCARDAPIO")->AsDate(),
                    msgPadrao->Msg(QStringLiteral("SEMIRETI")), campo("CDSERVFILI")->AsString()})
            .AsString();
    if (!recusa.isEmpty()) Consiste::MensErro(recusa, true);
}

void TfrmMediEfetDiet::cdsCardadiaBeforePost(TClientDataSet* /*DataSet*/) {
    TField* codigo = cdsCardadia->FieldByName(kCdDietPad);
    if (codigo->AsString().isEmpty()) {
        codigo->FocusControl();
        Consiste::MensErro(msgPadrao->Msg(QStringLiteral("Diet_Inf")), true);
    }
    Vd_Verif_Diet();
    dbgPadraoColExit(dbgPadrao);
    Vd_QtComEfetCar();

    auto campo = [this](const char* field) { return cdsCardadia->FieldByName(QLatin1String(field)); };
    if (cdsCardadia->State() == dsInsert) {
        campo("CDOPERADOR")->SetAsString(Balvora::Operador());
        campo("CDFILIAL")->SetAsString(medCdFilial->Text());
        campo("DTCARDAPIO")->SetAsDate(depCardapio->GetDate());
        campo("DTMESCARD")->SetAsDate(depCardapio->GetPrimDia());
        campo("CDSERVFILI")->SetAsString(ServicoAtual());
    }
    const double total = campo("QTCOMEFETCAR")->AsFloat();
    campo("QTCOMEFETRI")->SetAsFloat(total);
    campo("QTCOMEFETSL")->SetAsFloat(total);
}

void TfrmMediEfetDiet::cdsCardadiaAfterPost(TClientDataSet* /*DataSet*/) {
    if (cdsCardadia->ChangeCount() <= 0) return;
    bool recusado = false;
    try {
        {
            kvo::ShowAviScope avi(this, kvo::aviSaving);
            const QString resposta =
                netEfetivos->Call(QStringLiteral("SetCardadia"), {QVariant::fromValue(cdsCardadia->Delta())})
                    .AsString();
            // An empty answer or one of exactly 10 characters is a save; any other text says why not.
            if (!Consiste::EmptyString(resposta) && resposta.size() != 10) {
                const bool filialLivre = !Balvora::ModuFili();
                lblCdFilial->SetEnabled(filialLivre);
                medCdFilial->SetEnabled(filialLivre);
                btpFilial->SetEnabled(filialLivre);
                lblDataCardapio->SetEnabled(true);
                depCardapio->SetEnabled(true);
                btpDtCardapio->SetEnabled(true);
                recusado = true;
                throw Exception(resposta);
            }
        }
        if (cdsCardadia->LogChanges()) cdsCardadia->MergeChangeLog();
        HabilitaCabecalho();
    } catch (...) {
        cdsCardadia->CancelUpdates();
        // A refusal (another workstation saved the row meanwhile, a rule of the server) leaves
        // the screen's copy stale: show what the server holds, so the next change starts from it.
        if (recusado) {
            const std::exception_ptr erro = std::current_exception();
            try {
                RecarregaDietas();
            } catch (...) {
            }
            std::rethrow_exception(erro);
        }
        throw;
    }
    sbtVerificarClick(sbtVerificar);
}

void TfrmMediEfetDiet::cdsCardadiaAfterCancel(TClientDataSet* /*DataSet*/) {
    cdsCardadia->CancelUpdates();
    HabilitaCabecalho();
    if (cdsCardadia->IsEmpty()) {
        if (!cdsCardServ->IsEmpty())
            ChangeBut(true);
        else if (medCdFilial->Enabled())
            medCdFilial->SetFocus();
    }
    if (cdsCardadia->Active()) dbgPadrao->SetEditorMode(false);
}

void TfrmMediEfetDiet::dbgPadraoKeyPress(QObject* Sender, QChar& Key) {
    TfrmPadraoGrid::dbgPadraoKeyPress(Sender, Key);
    if (Key.isNull() || Key == u'\r') return;
    const bool codigoExistente =
        Coluna(dbgPadrao, "CDDIETPAD") && cdsCardadia->State() != dsInsert && !cdsCardadia->IsEmpty();
    if (codigoExistente || Coluna(dbgPadrao, "QTCOMEFETCAR")) Key = QChar();
}

void TfrmMediEfetDiet::dbgPadraoKeyDown(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift) {
    TfrmPadraoGrid::dbgPadraoKeyDown(Sender, Key, Shift);
    if (Key == Qt::Key_PageUp && (Shift & Qt::AltModifier)) {
        Key = 0;
        dbgCardServ->SetFocus();
    }
}
