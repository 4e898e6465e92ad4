#include "TfrmMediEfetDiet.h"

#include "data/Conversions.h"
#include "host/Consiste.h"
#include "widgets/HostUi.h"

#include <memory>

// The server records every change a save applies; this command shows those of the current diet
// row, read-only, so a clerk can see who changed a count, when, from which workstation, and what
// it was before.

void TfrmMediEfetDiet::HabilitaHistorico() {
    // Only a stored row has a history; a row being typed has none yet.
    sbtHistorico->SetEnabled(cdsCardadia->State() == dsBrowse && !cdsCardadia->IsEmpty() &&
                             pgcPadrao->ActivePage() == tshPadrao);
}

void TfrmMediEfetDiet::sbtHistoricoClick(QObject* /*Sender*/) {
    if (cdsCardadia->State() != dsBrowse || cdsCardadia->IsEmpty()) return;
    const QString filial = cdsCardadia->FieldByName(QStringLiteral("CDFILIAL"))->AsString();
    const QString servico = cdsCardadia->FieldByName(QStringLiteral("CDSERVFILI"))->AsString();
    const QString dieta = cdsCardadia->FieldByName(QStringLiteral("CDDIETPAD"))->AsString();
    const QDate data = cdsCardadia->FieldByName(QStringLiteral("DTCARDAPIO"))->AsDate();
    {
        kvo::ShowAviScope avi(this, kvo::aviLoading);
        cdsHistorico->SetData(
            Pacote(QStringLiteral("GetHistorico"), {filial, servico, dieta, data, QString()}));
    }

    auto dtsHistorico = std::make_unique<TDataSource>(cdsHistorico);
    auto grade = std::make_unique<TDBGrid>();
    grade->setObjectName(QStringLiteral("dbgHistorico"));
    grade->SetOptions(dgTitles | dgColumnResize | dgColLines | dgRowLines | dgAlwaysShowSelection);
    grade->SetDataSource(dtsHistorico.get());
    kvo::Ui().ShowPreview(
        grade.get(),
        QStringLiteral("Histórico da dieta %1 %2 — serviço %3, %4")
            .arg(dieta.trimmed(), cdsCardadia->FieldByName(QStringLiteral("DSDIETPAD"))->AsString().trimmed(),
                 servico.trimmed(), kvo::data::displayDate(data)));
}
