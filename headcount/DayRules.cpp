#include "TfrmMediEfetDiet.h"

#include "host/Balvora.h"

#include <utility>

// The two day rules and the command switches that every handler of the screen reuses.

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

// The menu twins follow their buttons' switches, but menus are also switched by hand (CriaComandos
// starts them all off while some buttons are on), so a change of commands sets them all again.
void MenusComoBotoes(TfrmMediEfetDiet* f) {
    const std::pair<TMenuItem*, const QWidget*> twins[] = {
        {f->mnuIncluir, f->sbtIncluir},           {f->mnuExcluir, f->sbtExcluir},
        {f->mnuProcurar, f->sbtProcurar},         {f->mnuVerificar, f->sbtVerificar},
        {f->mnuCancelar, f->sbtCancelar},         {f->mnuConfirmar, f->sbtConfirmar},
        {f->mnuComandoExtra, f->sbtComandoExtra},
    };
    for (const auto& [menu, button] : twins)
        menu->SetEnabled(button->isEnabled());
}

} // namespace

void TfrmMediEfetDiet::RegraEdicaoServico() {
    const bool codigoExistente = Selecionada(dbgCardServ, "CDSERVFILI") && cdsCardServ->State() != dsInsert;
    dbgCardServ->SetOption(dgEditing, !codigoExistente);
}

void TfrmMediEfetDiet::RegraEdicaoDieta() {
    const bool codigoExistente = Selecionada(dbgPadrao, "CDDIETPAD") && cdsCardadia->State() != dsInsert;
    dbgPadrao->SetOption(dgEditing, !codigoExistente && !Selecionada(dbgPadrao, "DSDIETPAD"));
}

void TfrmMediEfetDiet::AplicaRegraEdicao() {
    RegraEdicaoServico();
    RegraEdicaoDieta();
}

void TfrmMediEfetDiet::EdicaoGrades(bool on) {
    dbgCardServ->SetOption(dgEditing, on);
    dbgPadrao->SetOption(dgEditing, on);
}

void TfrmMediEfetDiet::ChangeBut(bool browse) {
    sbtIncluir->setEnabled(browse && pgcPadrao->ActivePage() == tshPadrao);
    sbtProcurar->setEnabled(browse);
    sbtCancelar->setEnabled(!browse);
    sbtConfirmar->setEnabled(!browse);
    sbtVerificar->setEnabled(browse);
    MenusComoBotoes(this);
}

void TfrmMediEfetDiet::Habilita(bool on) {
    // On the Clientes page include belongs to the client grid's own rules.
    if (pgcPadrao->ActivePage() == tshPadrao) sbtIncluir->setEnabled(on);
    sbtProcurar->setEnabled(on);
    sbtVerificar->setEnabled(on);
    sbtComandoExtra->setEnabled(on);
    sbtCancelar->setEnabled(on);
    sbtConfirmar->setEnabled(on);
    MenusComoBotoes(this);
}
