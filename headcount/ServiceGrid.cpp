#include "TfrmMediEfetDiet.h"

#include "host/Balvora.h"
#include "host/Consiste.h"
#include "host/TADOIBQuery.h"
#include "module/Units.h"

#include <QScopeGuard>

// The service grid: the day's services, master of the diet rows below. A service is never sent
// to the server on its own; it becomes part of the day through its first saved diet row.

namespace {

const QString kCdServFili = QStringLiteral("CDSERVFILI");

bool Coluna(const TDBGrid* grid, const QString& fieldName) {
    const TField* field = grid->SelectedField();
    return field && field->FieldName().compare(fieldName, Qt::CaseInsensitive) == 0;
}

} // namespace

void TfrmMediEfetDiet::cdsCardServAfterScroll(TClientDataSet* /*DataSet*/) {
    if (EmEdicao(cdsCardServ) || cdsCardServ->IsEmpty()) {
        cdsCardadia->SetFilter(QStringLiteral("CDSERVFILI = 0"));
        cdsCardadia->SetFiltered(true);
    } else {
        blReageEstado = false;
        const auto reage = qScopeGuard([] { blReageEstado = true; });
        cdsCardadia->SetFilter(QStringLiteral("CDSERVFILI = '%1'").arg(ServicoAtual()));
        cdsCardadia->SetFiltered(true);
    }
    RegraEdicaoServico();
}

void TfrmMediEfetDiet::dbgCardServColEnter(QObject* /*Sender*/) {
    RegraEdicaoServico();
}

void TfrmMediEfetDiet::dbgCardServEnter(QObject* /*Sender*/) {
    if (EmEdicao(cdsCardServ)) return;
    {
        kvo::ShowAviScope avi(this, kvo::aviLoading);
        RecarregaDietas();
    }
    dbnPadrao->SetEnabled(AmbosEmRepouso());
}

void TfrmMediEfetDiet::dbgCardServExit(QObject* /*Sender*/) {}

void TfrmMediEfetDiet::dbgCardServColExit(QObject* /*Sender*/) {
    if (EmEdicao(cdsCardServ)) Vd_Verif_Serv();
    if (cdsCardServ->State() == dsInsert && Coluna(dbgCardServ, kCdServFili)) Vd_CdServico(true);
}

void TfrmMediEfetDiet::Vd_CdServico(bool required) {
    if (cdsCardServ->State() != dsInsert) return;
    TField* codigo = cdsCardServ->FieldByName(kCdServFili);
    try {
        codigo->SetAsString(Consiste::Ajusta(codigo->AsString(), codigo->Size()));
        if (codigo->AsString().isEmpty()) {
            if (required) Consiste::MensErro(msgPadrao->Msg(QStringLiteral("Serv_Inf")), true);
            return;
        }
        qryServico->Close();
        qryServico->ParamByName(QStringLiteral("P_CDFILIAL")).SetAsString(medCdFilial->Text());
        qryServico->ParamByName(QStringLiteral("P_CDSERVFILI")).SetAsString(codigo->AsString());
        qryServico->ParamByName(QStringLiteral("P_TCDSERVFILI")).SetAsString(QStringLiteral("X"));
        qryServico->Open();
        if (qryServico->IsEmpty()) Consiste::MensErro(msgPadrao->Msg(QStringLiteral("Serv_Cad")), true);
        cdsCardServ->FieldByName(QStringLiteral("NMSERVICO"))
            ->SetAsString(qryServico->FieldByName(QStringLiteral("NMSERVICO"))->AsString());
    } catch (...) {
        codigo->FocusControl();
        throw;
    }
}

void TfrmMediEfetDiet::Vd_Verif_Serv() {
    TField* codigo = cdsCardServ->FieldByName(kCdServFili);
    try {
        codigo->SetAsString(Consiste::Ajusta(codigo->AsString(), codigo->Size()));
        const QJsonValue cadastrado = Consiste::CheckResultServ(
            netEfetivos->Call(QStringLiteral("Verif_Serv"), {medCdFilial->Text(), depCardapio->GetDate(),
                                                             codigo->AsString(), QStringLiteral("N")}),
            true, 0);
        if (cadastrado.toBool()) Consiste::MensErro(msgPadrao->Msg(QStringLiteral("Serv_Ja_Cad")), true);
    } catch (...) {
        codigo->FocusControl();
        throw;
    }
}

void TfrmMediEfetDiet::dbgCardServEditButtonClick(QObject* /*Sender*/) {
    if (cdsCardServ->State() != dsInsert) return;
    qryServico->Close();
    qryServico->ParamByName(QStringLiteral("P_CDFILIAL")).SetAsString(medCdFilial->Text());
    qryServico->ParamByName(QStringLiteral("P_CDSERVFILI")).SetAsString(QStringLiteral("x"));
    qryServico->ParamByName(QStringLiteral("P_TCDSERVFILI")).SetAsString(QStringLiteral("T"));
    qryServico->Open();
    const QString titulo =
        msgPadrao->Msg(QStringLiteral("SERVICO")) + u'|' + msgPadrao->Msg(QStringLiteral("ServFili_Cad"));
    if (!Pesquisar(dtsServico, titulo, false, true)) return;
    cdsCardServ->FieldByName(kCdServFili)->SetAsString(qryServico->FieldByName(kCdServFili)->AsString());
    cdsCardServ->FieldByName(QStringLiteral("NMSERVICO"))
        ->SetAsString(qryServico->FieldByName(QStringLiteral("NMSERVICO"))->AsString());
}

void TfrmMediEfetDiet::dbgCardServKeyPress(QObject* /*Sender*/, QChar& Key) {
    // Only a new row's code can be typed; an existing service is never changed here.
    if (cdsCardServ->State() != dsInsert) Key = QChar();
}

void TfrmMediEfetDiet::dbgCardServKeyDown(QObject* /*Sender*/, int& Key, Qt::KeyboardModifiers Shift) {
    const bool semLinhas = cdsCardServ->IsEmpty() && !EmEdicao(cdsCardServ);
    switch (Key) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
    case Qt::Key_Insert:
        if (semLinhas) {
            Key = 0;
            return;
        }
        break;
    case Qt::Key_Delete:
        Key = 0;
        return;
    case Qt::Key_PageDown:
        if (Shift & Qt::AltModifier) {
            Key = 0;
            dbgPadrao->SetFocus();
            return;
        }
        break;
    default:
        break;
    }
    if (Key == Qt::Key_Up && cdsCardServ->State() == dsInsert) Key = Qt::Key_Down;
}

void TfrmMediEfetDiet::cdsCardServNewRecord(TClientDataSet* /*DataSet*/) {
    // With the focus on an empty diet grid the new row belongs there, not among the services.
    if (cdsCardadia->IsEmpty() && dbgPadrao->Focused()) {
        cdsCardadia->Insert();
        cdsCardadia->FieldByName(QStringLiteral("CDDIETPAD"))->SetAsString(QString());
        Abort();
    }
}

void TfrmMediEfetDiet::cdsCardServAfterInsert(TClientDataSet* /*DataSet*/) {
    cdsCardServ->FieldByName(kCdServFili)->FocusControl();
    Consiste::SetChildEnabled(panDados, false);
}

void TfrmMediEfetDiet::cdsCardServBeforePost(TClientDataSet* /*DataSet*/) {
    Vd_Verif_Serv();
    if (cdsCardServ->State() == dsInsert) Vd_CdServico(true);
}

void TfrmMediEfetDiet::cdsCardServAfterPost(TClientDataSet* /*DataSet*/) {
    // The service exists on the server only once a diet row carries it: go on to the first one.
    dbgPadrao->SetFocus();
    if (!EmEdicao(cdsCardadia)) cdsCardadia->Insert();
    if (EmEdicao(cdsCardadia)) cdsCardadia->Post();
}

void TfrmMediEfetDiet::cdsCardServAfterCancel(TClientDataSet* /*DataSet*/) {
    cdsCardServ->CancelUpdates();
    HabilitaCabecalho();
    if (cdsCardServ->IsEmpty()) {
        Habilita(false);
        sbtIncluir->SetEnabled(true);
    } else {
        ChangeBut(true);
    }
    dbgCardServ->SetEditorMode(false);
}
