#include "TfrmMediEfetDiet.h"

#include "host/Balvora.h"

// The two day rules and the command switches that every handler of the screen reuses. A button
// and its menu twin show one command, so switching the button switches the menu item as well.

bool TfrmMediEfetDiet::DiaFechado() const {
    // A set without rows reads its fields as empty: no block, no day closed.
    if (!cdsParamPlaneja->Active() || cdsParamPlaneja->IsEmpty()) return false;
    if (cdsParamPlaneja->FieldByName(QStringLiteral("IDBLQEFEDIAFECH"))->AsString() != QLatin1String("S"))
        return false;
    const QDate menu = depCardapio->GetDate();
    const QDate proc = Balvora::DataProc(medCdFilial->Text());
    if (!menu.isValid() || !proc.isValid()) return false;
    const double diasAbertos = cdsParamPlaneja->FieldByName(QStringLiteral("NRDIAANTDTPROC"))->AsFloat();
    return double(menu.toJulianDay()) < double(proc.toJulianDay()) - diasAbertos;
}

namespace {

bool Selecionada(const TDBGrid* grid, const char* fieldName) {
    const TField* field = grid->SelectedField();
    return field && field->FieldName().compare(QLatin1String(fieldName), Qt::CaseInsensitive) == 0;
}

} // namespace

bool TfrmMediEfetDiet::CodigoServicoFixo() const {
    return Selecionada(dbgCardServ, "CDSERVFILI") && cdsCardServ->State() != dsInsert;
}

bool TfrmMediEfetDiet::DietaFixa() const {
    const bool codigoExistente = Selecionada(dbgPadrao, "CDDIETPAD") && cdsCardadia->State() != dsInsert;
    return codigoExistente || Selecionada(dbgPadrao, "DSDIETPAD");
}

// Both rules only ever switch editing off on a closed day: what the day's load switched off stays off.
void TfrmMediEfetDiet::RegraEdicaoServico() {
    if (CodigoServicoFixo())
        dbgCardServ->SetOption(dgEditing, false);
    else if (!DiaFechado())
        dbgCardServ->SetOption(dgEditing, true);
}

void TfrmMediEfetDiet::RegraEdicaoDieta() {
    if (DietaFixa())
        dbgPadrao->SetOption(dgEditing, false);
    else if (!DiaFechado())
        dbgPadrao->SetOption(dgEditing, true);
}

void TfrmMediEfetDiet::AplicaRegraEdicao() {
    // Each grid written once: editing switched on and off again repaints the grid's current row.
    dbgCardServ->SetOption(dgEditing, !CodigoServicoFixo());
    dbgPadrao->SetOption(dgEditing, !DietaFixa());
}

void TfrmMediEfetDiet::EdicaoGrades(bool on) {
    dbgCardServ->SetOption(dgEditing, on);
    dbgPadrao->SetOption(dgEditing, on);
}

void TfrmMediEfetDiet::MostraDiaFechado() {
    lblDiaFechado->setVisible(cdsCardadia->Active() && DiaFechado());
}

void TfrmMediEfetDiet::ChangeBut(bool browse) {
    sbtIncluir->SetEnabled(browse && pgcPadrao->ActivePage() == tshPadrao);
    sbtProcurar->SetEnabled(browse);
    sbtCancelar->SetEnabled(!browse);
    sbtConfirmar->SetEnabled(!browse);
    sbtVerificar->SetEnabled(browse);
}

void TfrmMediEfetDiet::Habilita(bool on) {
    // On the Clientes page include belongs to the client grid's own rules.
    if (pgcPadrao->ActivePage() == tshPadrao) sbtIncluir->SetEnabled(on);
    sbtProcurar->SetEnabled(on);
    sbtVerificar->SetEnabled(on);
    sbtComandoExtra->SetEnabled(on);
    sbtCancelar->SetEnabled(on);
    sbtConfirmar->SetEnabled(on);
}
