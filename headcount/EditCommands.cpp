#include "TfrmMediEfetDiet.h"

#include "host/Balvora.h"
#include "host/Consiste.h"
#include "module/Units.h"

// The tool commands that start, confirm, cancel and reload edits, the two that open the other
// screens, and the state reactions that keep commands, header and grids in step with the sets.

bool TfrmMediEfetDiet::EmEdicao(const TClientDataSet* set) const {
    return set->State() == dsEdit || set->State() == dsInsert;
}

bool TfrmMediEfetDiet::AmbosEmRepouso() const {
    return !EmEdicao(cdsCardServ) && !EmEdicao(cdsCardadia);
}

QString TfrmMediEfetDiet::ServicoAtual() const {
    if (!cdsCardServ->Active() || cdsCardServ->IsEmpty()) return QString();
    return cdsCardServ->FieldByName(QStringLiteral("CDSERVFILI"))->AsString();
}

void TfrmMediEfetDiet::HabilitaCabecalho() {
    Consiste::SetChildEnabled(panDados, true);
    if (Balvora::ModuFili()) {
        medCdFilial->SetEnabled(false);
        btpFilial->SetEnabled(false);
        lblCdFilial->SetEnabled(false);
    }
}

void TfrmMediEfetDiet::dtsPadraoStateChange(QObject* Sender) {
    if (blReageEstado && !cdsCardadia->IsEmpty()) {
        TfrmPadraoGrid::dtsPadraoStateChange(Sender);
        sbtExcluir->SetEnabled(false);
    }
    if (EmEdicao(cdsCardadia)) Consiste::SetChildEnabled(panDados, false);

    const int coluna = Consiste::IndiceCol(dbgPadrao, QStringLiteral("CDDIETPAD"));
    if (coluna >= 0)
        dbgPadrao->Columns()[coluna]->SetButtonStyle(
            cdsCardadia->State() == dsInsert || cdsCardadia->IsEmpty() ? cbsEllipsis : cbsNone);

    const bool repouso = AmbosEmRepouso();
    dbnPadrao->SetEnabled(repouso);
    const bool alterar = dbgPadrao->Focused() && !EmEdicao(cdsCardadia) && !cdsCardadia->IsEmpty();
    sbtAlterar->SetEnabled(alterar);

    const bool filialLivre = !Balvora::ModuFili() && repouso;
    lblCdFilial->SetEnabled(filialLivre);
    medCdFilial->SetEnabled(filialLivre);
    btpFilial->SetEnabled(filialLivre);
    lblDataCardapio->SetEnabled(repouso);
    depCardapio->SetEnabled(repouso);
    btpDtCardapio->SetEnabled(repouso);

    HabilitaClientes(!EmEdicao(cdsCardadia));
    HabilitaHistorico();

    if (cdsCardServ->State() == dsEdit || DiaFechado()) {
        Habilita(false);
        sbtCalcComens->SetEnabled(false);
        EdicaoGrades(false);
    } else {
        sbtCalcComens->SetEnabled(true);
        AplicaRegraEdicao();
    }
}

void TfrmMediEfetDiet::dtsCardServStateChange(QObject* /*Sender*/) {
    if (cdsCardServ->State() == dsEdit || DiaFechado()) {
        EdicaoGrades(false);
        return;
    }
    ChangeBut(false);
    const int coluna = Consiste::IndiceCol(dbgCardServ, QStringLiteral("CDSERVFILI"));
    if (coluna >= 0) dbgCardServ->Columns()[coluna]->SetButtonStyle(cbsEllipsis);
    const bool repouso = AmbosEmRepouso();
    dbnPadrao->SetEnabled(repouso);
    sbtAlterar->SetEnabled(dbgPadrao->Focused() && repouso);
    const bool clientes = !EmEdicao(cdsCardServ) && !cdsCardServ->IsEmpty();
    HabilitaClientes(clientes);
    mnuClientes->SetEnabled(clientes);
}

void TfrmMediEfetDiet::sbtIncluirClick(QObject* /*Sender*/) {
    if (cdsCardServ->IsEmpty() && cdsCardadia->IsEmpty()) {
        if (!dbgCardServ->Focused()) dbgCardServ->SetFocus();
        cdsCardServ->Insert();
        return;
    }
    if (dbgCardServ->Focused()) {
        if (cdsCardServ->IsEmpty()) tshPadrao->SetEnabled(true);
        cdsCardServ->Insert();
    } else if (dbgPadrao->Focused()) {
        cdsCardadia->Append();
    }
}

void TfrmMediEfetDiet::sbtAlterarClick(QObject* Sender) {
    if (pgcPadrao->ActivePage() == tshPadrao) {
        const TField* coluna = dbgPadrao->SelectedField();
        const bool semContagem = coluna && (coluna->FieldName() == QLatin1String("CDDIETPAD") ||
                                            coluna->FieldName() == QLatin1String("DSDIETPAD"));
        if (dbgCardServ->Focused() || semContagem)
            cdsCardadia->FieldByName(QStringLiteral("QTCLIEFETCAR"))->FocusControl();
        TfrmPadraoGrid::sbtAlterarClick(Sender);
    } else if (pgcPadrao->ActivePage() == tshClientes) {
        if (cdsClienteTrab->State() == dsBrowse && !cdsClienteTrab->IsEmpty()) cdsClienteTrab->Edit();
    }
}

void TfrmMediEfetDiet::sbtCancelarClick(QObject* /*Sender*/) {
    if (msgMensagensPadroes->ShowMsg(QStringLiteral("Canc"), kvo::mtConfirmation, kvo::mbYesNo) != kvo::mrYes)
        return;
    if (cdsClienteTrab->State() == dsEdit) cdsClienteTrab->Cancel();
    if (EmEdicao(cdsCardadia)) cdsCardadia->Cancel();
    if (EmEdicao(cdsCardServ)) cdsCardServ->Cancel();

    if (cdsCardadia->Active() && !cdsCardadia->IsEmpty()) {
        ChangeBut(true);
        return;
    }
    HabilitaCabecalho();
    // Back into the header, which empties the day.
    if (!Balvora::ModuFili()) medCdFilial->SetFocus();
}

void TfrmMediEfetDiet::sbtConfirmarClick(QObject* /*Sender*/) {
    if (pgcPadrao->ActivePage() == tshPadrao) {
        if (EmEdicao(cdsCardServ))
            cdsCardServ->Post();
        else if (EmEdicao(cdsCardadia))
            cdsCardadia->Post();
        ChangeBut(true);
    } else if (pgcPadrao->ActivePage() == tshClientes) {
        if (cdsClienteTrab->State() == dsEdit) cdsClienteTrab->Post();
    }
}

void TfrmMediEfetDiet::sbtVerificarClick(QObject* /*Sender*/) {
    if (pgcPadrao->ActivePage() == tshPadrao) {
        const QString servico = ServicoAtual();
        {
            kvo::ShowAviScope avi(this, kvo::aviLoading);
            cdsCardServ->SetData(
                Pacote(QStringLiteral("GetCardServ"), {medCdFilial->Text(), depCardapio->GetDate()}));
            cdsCardServ->Locate(QStringLiteral("CDSERVFILI"), servico);
        }
        ChangeBut(true);
    } else if (pgcPadrao->ActivePage() == tshClientes) {
        CarregaClientes(this);
    }
}

void TfrmMediEfetDiet::sbtProcurarClick(QObject* /*Sender*/) {
    // Search the grid the clerk is in: the chosen row becomes current (a service refilters its
    // diet rows on the way).
    if (dbgPadrao->Focused() && !cdsCardadia->IsEmpty())
        Pesquisar(dtsPadrao, msgPadrao->Msg(QStringLiteral("Dieta")), false, true);
    else if (!cdsCardServ->IsEmpty())
        Pesquisar(dtsCardServ, msgPadrao->Msg(QStringLiteral("SERVICO")), false, true);
}

void TfrmMediEfetDiet::sbtImprimirClick(QObject* /*Sender*/) {
    CriaListEfetDiet();
}

void TfrmMediEfetDiet::sbtCalcComensClick(QObject* /*Sender*/) {
    CriaCalcComensais();
    if (dbgCardServ->Focused() || dbgPadrao->Focused()) {
        cdsCardServAfterScroll(cdsCardServ);
        dbgCardServEnter(dbgCardServ);
    }
}
