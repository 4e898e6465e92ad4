#include "TfrmMediEfetDiet.h"

#include "host/Balvora.h"
#include "host/Consiste.h"
#include "widgets/MsgFormat.h"

#include <QGuiApplication>
#include <QScopeGuard>
#include <algorithm>

// The client-sum check: the day's diet rows against the sums of their clients' shares, as the
// server holds both. It stops leaving the pages and closing the screen on the first disagreement
// and puts the clerk on it.

namespace {

// Message keys per kind of count: as an error, as information.
struct Divergencia {
    QChar tipo;
    const char* erro;
    const char* informacao;
};
constexpr Divergencia kDivergencias[] = {
    {u'C', "SomaClie", "SOMACLIED"},
    {u'F', "SomaFunc", "SOMAFUNCD"},
    {u'D', "SomaDoac", "SOMADOACD"},
};

} // namespace

bool TfrmMediEfetDiet::Vd_Comensais() {
    if (DiaFechado()) return true;
    if (cdsCardadia->State() != dsBrowse || cdsCardadia->IsEmpty()) return true;

    const QString filial = medCdFilial->Text();
    {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        const auto cursor = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
        cdsComensais->SetData(Pacote(QStringLiteral("GetComensais"), {filial, depCardapio->GetDate()}));
    }
    cdsComensais->SetFiltered(false);
    if (cdsComensais->IsEmpty()) return true;

    const QString servico = QStringLiteral("CDSERVFILI");
    cdsComensais->SetFilter(QStringLiteral("CDSERVFILI ='") + ServicoAtual() + QStringLiteral("'"));
    cdsComensais->SetFiltered(true);
    const bool outroServico = cdsComensais->IsEmpty();
    if (outroServico) {
        cdsComensais->SetFiltered(false);
        cdsComensais->First();
    }
    // A kind the check cannot word moves nothing: the clerk would land on a row without being
    // told why.
    const QString tipo = cdsComensais->FieldByName(QStringLiteral("TIPO"))->AsString().left(1);
    const auto d = std::find_if(std::begin(kDivergencias), std::end(kDivergencias),
                                [&](const Divergencia& k) { return tipo == k.tipo; });
    if (d == std::end(kDivergencias)) return true;

    if (outroServico) cdsCardServ->Locate(servico, cdsComensais->FieldByName(servico)->AsString());
    cdsCardadia->Locate(QStringLiteral("CDFILIAL;CDSERVFILI;CDDIETPAD"),
                        QVariantList{filial, cdsComensais->FieldByName(servico)->AsString(),
                                     cdsComensais->FieldByName(QStringLiteral("CDDIETPAD"))->AsString()});
    const QString rotulo = RotuloDieta();
    if (pgcPadrao->ActivePage() != tshPadrao) pgcPadrao->SetActivePage(tshPadrao);

    const bool erro = IdConsMinEfe() == QLatin1String("S");
    const QString texto =
        kvo::FormatMsg(msgPadrao->Msg(QLatin1String(erro ? d->erro : d->informacao)),
                       {cdsComensais->FieldByName(QStringLiteral("NMSERVICO"))->AsString(), rotulo});
    if (erro)
        Consiste::MensErro(texto, false);
    else
        kvo::Ui().ShowMessage(texto, kvo::mtInformation, kvo::mbOK);
    dbgCardServ->TrySetFocus();
    Abort();
}

void TfrmMediEfetDiet::pgcPadraoExit(QObject* /*Sender*/) {
    Vd_Comensais();
    if (!Balvora::ModuFili()) {
        medCdFilial->SetEnabled(true);
        lblCdFilial->SetEnabled(medCdFilial->Enabled());
        btpFilial->SetEnabled(medCdFilial->Enabled());
    }
    depCardapio->SetEnabled(true);
    lblDataCardapio->SetEnabled(depCardapio->Enabled());
    btpDtCardapio->SetEnabled(true);
}

void TfrmMediEfetDiet::FormCloseQuery(QObject* /*Sender*/, bool& CanClose) {
    CanClose = Vd_Comensais();
}
