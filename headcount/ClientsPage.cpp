#include "TfrmMediEfetDiet.h"

#include "host/Application.h"
#include "host/Balvora.h"
#include "host/Consiste.h"
#include "widgets/MsgFormat.h"

#include <QScopeGuard>
#include <cmath>
#include <utility>

// The Clientes page: one diet row's counts distributed among the branch's clients. The grid edits
// a working copy; each posted client is saved on its own through the stored share, fetched fresh
// right before, so a retry after a failure edits what the server holds and never adds it twice.

namespace {

const QString kCdCliente = QStringLiteral("CDCLIENTE");

// The three quantities of a share, in the order they are checked and copied.
struct Quantidade {
    const char* field;
    const char* refusal;
};
constexpr Quantidade kQuantidades[] = {
    {"QTCOMEFETDIE", "INF_COMEN"},
    {"QTFUNEFETDIE", "INF_FUNC"},
    {"QTDOAEFETDIE", "INF_DOAC"},
};

} // namespace

QVector<double> TfrmMediEfetDiet::VistoDoCliente(const QString& cliente) const {
    // Changed since the load or its last save, its own change log still holds the row as the
    // server held it then (a save merges the log).
    QVector<double> visto;
    const TChangeLog log = cdsClienteTrab->Delta();
    const int ci = log.FieldIndex(kCdCliente);
    for (const TChange& c : log.changes)
        if (c.op == TChange::Modify && c.oldValues.value(ci).toString() == cliente)
            for (const Quantidade& q : kQuantidades)
                visto << c.oldValues.value(log.FieldIndex(QLatin1String(q.field))).toDouble();
    if (visto.isEmpty())
        for (const Quantidade& q : kQuantidades)
            visto << cdsClienteTrab->FieldByName(QLatin1String(q.field))->AsFloat();
    return visto;
}

QString TfrmMediEfetDiet::IdConsMinEfe() const {
    if (!cdsParamGeral->Active() || cdsParamGeral->IsEmpty()) return QString();
    return cdsParamGeral->FieldByName(QStringLiteral("IDCONSMINEFE"))->AsString();
}

QString TfrmMediEfetDiet::RotuloDieta() const {
    if (!cdsCardadia->Active() || cdsCardadia->IsEmpty()) return QString();
    return cdsCardadia->FieldByName(QStringLiteral("CDDIETPAD"))->AsString() + QStringLiteral(" - ") +
           cdsCardadia->FieldByName(QStringLiteral("DSDIETPAD"))->AsString();
}

QString TfrmMediEfetDiet::NomeServico() const {
    const QString nome = cdsCardServ->Active() && !cdsCardServ->IsEmpty()
                             ? cdsCardServ->FieldByName(QStringLiteral("NMSERVICO"))->AsString()
                             : QString();
    return nome.isEmpty() ? ServicoAtual() : nome;
}

void TfrmMediEfetDiet::CarregaClientes(QWidget* sobre) {
    kvo::ShowAviScope avi(sobre, kvo::aviLoading);
    const QString dieta = cdsCardadia->Active() && !cdsCardadia->IsEmpty()
                              ? cdsCardadia->FieldByName(QStringLiteral("CDDIETPAD"))->AsString()
                              : QString();
    const TPacketPair clientes = ParPacotes(
        QStringLiteral("GETCliente"), {medCdFilial->Text(), ServicoAtual(), depCardapio->GetDate(), dieta});
    // A reload after a save keeps the clerk on the client just saved, so a move to the next row
    // (which saved it) goes on from there and not from the top.
    const QString cliente = cdsClienteTrab->Active() && !cdsClienteTrab->IsEmpty()
                                ? cdsClienteTrab->FieldByName(kCdCliente)->AsString()
                                : QString();
    cdsClienteTrab->SetData(clientes.first);
    cdsCliApuKvo->SetData(clientes.second);
    lblDietaClientes->SetCaption(QStringLiteral("Dieta %1 do serviço %2").arg(RotuloDieta(), NomeServico()));
    if (!cliente.isEmpty()) cdsClienteTrab->Locate(kCdCliente, cliente);
}

void TfrmMediEfetDiet::pgcPadraoChange(QObject* /*Sender*/) {
    if (pgcPadrao->ActivePage() == tshClientes) {
        CarregaClientes(kvo::Application().MainForm());
        HabilitaHistorico(); // a diet row's history belongs to the Efetivos page
        mnuEfetivos->SetChecked(false);
        mnuClientes->SetChecked(true);
        dbnPadrao->SetDataSource(nullptr);
        dbnPadrao->SetDataSource(dtsCliente);
        if (DiaFechado()) {
            sbtAlterar->SetEnabled(false);
            sbtCalcComens->SetEnabledAlone(false);
            dbgClientes->SetOption(dgEditing, false);
            Habilita(false);
            return;
        }
        dbgClientes->SetOption(dgEditing, true);
        return;
    }

    // The diet rows come back as the server holds them, the clerk's diet still selected.
    RecarregaDietas();
    mnuEfetivos->SetChecked(true);
    mnuClientes->SetChecked(false);
    dbnPadrao->SetDataSource(nullptr);
    dbnPadrao->SetDataSource(dtsCardServ);
    if (DiaFechado()) {
        sbtCalcComens->SetEnabledAlone(false);
        Habilita(false);
        EdicaoGrades(false);
        return;
    }
    AplicaRegraEdicao();
    // The Clientes page left include and search off; back here they follow the services again.
    ChangeBut(true);
}

void TfrmMediEfetDiet::mnuEfetivosClick(QObject* /*Sender*/) {
    if (pgcPadrao->ActivePage() != tshPadrao) pgcPadrao->SetActivePage(tshPadrao);
    pgcPadraoChange(pgcPadrao);
}

void TfrmMediEfetDiet::mnuClientesClick(QObject* /*Sender*/) {
    // A page that is switched off (a diet row or service being edited) is not offered by its
    // menu item either.
    if (pgcPadrao->ActivePage() == tshClientes || !tshClientes->Enabled()) return;
    pgcPadrao->SetActivePage(tshClientes);
    pgcPadraoChange(pgcPadrao);
}

void TfrmMediEfetDiet::dtsClienteStateChange(QObject* /*Sender*/) {
    if (pgcPadrao->ActivePage() != tshClientes) return;
    const TDataSetState estado = cdsClienteTrab->State();
    const bool navegando = estado == dsBrowse;
    const bool comLinhas = navegando && !cdsClienteTrab->IsEmpty();
    const bool editando = estado == dsEdit;

    sbtIncluir->SetEnabled(false);
    sbtAlterar->SetEnabled(comLinhas);
    sbtExcluir->SetEnabled(false);
    sbtProcurar->SetEnabled(false);
    sbtVerificar->SetEnabled(comLinhas);
    sbtCancelar->SetEnabled(editando);
    sbtConfirmar->SetEnabled(editando);
    tshPadrao->SetEnabled(navegando);
    mnuEfetivos->SetEnabled(navegando);
    // A login bound to its branch keeps the branch controls off here too.
    const bool filialLivre = navegando && !Balvora::ModuFili();
    lblCdFilial->SetEnabled(filialLivre);
    medCdFilial->SetEnabled(filialLivre);
    btpFilial->SetEnabled(filialLivre);
    lblDataCardapio->SetEnabled(navegando);
    depCardapio->SetEnabled(navegando);
    btpDtCardapio->SetEnabled(navegando);
    sbtCalcComens->SetEnabled(navegando);
    dbnPadrao->SetEnabled(navegando);
}

void TfrmMediEfetDiet::cdsClienteTrabBeforeInsert(TClientDataSet* /*DataSet*/) {
    Abort();
}

void TfrmMediEfetDiet::cdsClienteTrabBeforeDelete(TClientDataSet* /*DataSet*/) {
    Abort();
}

void TfrmMediEfetDiet::cdsClienteTrabBeforeEdit(TClientDataSet* /*DataSet*/) {
    if (cdsCliApuKvo->Active() &&
        cdsCliApuKvo->Locate(kCdCliente, cdsClienteTrab->FieldByName(kCdCliente)->AsString()))
        Consiste::MensErro(msgPadrao->Msg(QStringLiteral("EFET_APU")), true);
    Vd_Retirada();
}

void TfrmMediEfetDiet::cdsClienteTrabBeforePost(TClientDataSet* /*DataSet*/) {
    for (const Quantidade& q : kQuantidades) {
        TField* campo = cdsClienteTrab->FieldByName(QLatin1String(q.field));
        if (campo->IsNull() || campo->AsFloat() >= 0) continue;
        campo->FocusControl();
        Consiste::MensErro(msgPadrao->Msg(QLatin1String(q.refusal)), true);
    }
}

void TfrmMediEfetDiet::cdsClienteTrabAfterPost(TClientDataSet* /*DataSet*/) {
    const QString filial = medCdFilial->Text();
    const QDate data = depCardapio->GetDate();
    const QString dieta = cdsCardadia->IsEmpty()
                              ? QString()
                              : cdsCardadia->FieldByName(QStringLiteral("CDDIETPAD"))->AsString();
    const QString cliente = cdsClienteTrab->FieldByName(kCdCliente)->AsString();

    // The stored share as it is now, not as it was when the page was loaded.
    cdsCliente->SetData(
        netEfetivos->Call(QStringLiteral("GETEfetClie"), {filial, ServicoAtual(), dieta, data, cliente})
            .AsPacket());
    // Another workstation saved this share after the page was loaded: writing the typed counts
    // over it would drop that save unseen. The clerk gets the stored share to see and repeat.
    const QVector<double> visto = VistoDoCliente(cliente);
    QVector<double> digitado;
    for (int i = 0; i < 3; ++i) {
        const QString campo = QLatin1String(kQuantidades[i].field);
        digitado << cdsClienteTrab->FieldByName(campo)->AsFloat();
        const double guardado = cdsCliente->IsEmpty() ? 0.0 : cdsCliente->FieldByName(campo)->AsFloat();
        if (std::fabs(guardado - visto.value(i)) > 1e-9) {
            CarregaClientes(this);
            Consiste::MensErro(msgPadrao->Msg(QStringLiteral("CLIE_ALTERADO")), true);
        }
    }
    if (!cdsCliente->IsEmpty()) {
        cdsCliente->Edit();
    } else {
        cdsCliente->Insert();
        cdsCliente->FieldByName(QStringLiteral("CDFILIAL"))->SetAsString(filial);
        cdsCliente->FieldByName(QStringLiteral("CDSERVFILI"))->SetAsString(ServicoAtual());
        cdsCliente->FieldByName(QStringLiteral("DTEFETDIET"))->SetAsDate(data);
        cdsCliente->FieldByName(QStringLiteral("CDDIETPAD"))->SetAsString(dieta);
        cdsCliente->FieldByName(kCdCliente)->SetAsString(cliente);
    }
    for (int i = 0; i < 3; ++i)
        cdsCliente->FieldByName(QLatin1String(kQuantidades[i].field))->SetAsFloat(digitado[i]);
    cdsCliente->Post();
    cdsClienteTrab->MergeChangeLog(); // saved: what the row shows is now what the server holds

    if (IdConsMinEfe() == QLatin1String("N") && pgcPadrao->ActivePage() == tshClientes) SomaClientesNaDieta();
}

void TfrmMediEfetDiet::cdsClienteAfterPost(TClientDataSet* /*DataSet*/) {
    if (cdsCliente->ChangeCount() == 0) return;
    QString resposta;
    try {
        kvo::ShowAviScope avi(this, kvo::aviSaving, msgPadrao->Msg(QStringLiteral("upd_cdsEfetClie")));
        resposta =
            netEfetivos->Call(QStringLiteral("UpdEfetDiet"), {QVariant::fromValue(cdsCliente->Delta())})
                .AsString();
    } catch (...) {
        cdsCliente->CancelUpdates();
        throw;
    }
    if (!resposta.isEmpty()) {
        // The server keeps the share it had; the working row keeps what the clerk typed, so a
        // retry (Alterar, Confirmar) sends it again over a fresh copy of the stored share.
        cdsCliente->CancelUpdates();
        Consiste::MensErro(resposta, true);
    }
    cdsCliente->MergeChangeLog();
}

void TfrmMediEfetDiet::SomaClientesNaDieta() {
    const QString servico = cdsClienteTrab->FieldByName(QStringLiteral("CDSERVFILI"))->AsString();
    const QString rotulo = RotuloDieta();
    const QString nomeServico = NomeServico();
    // The share is saved by now: whatever stops the diet row from taking the sums, the clerk is told
    // that the two disagree and how to bring them together (the client sum check reports it too).
    auto naoSomada = [&](const QString& motivo) {
        const QString aviso =
            kvo::FormatMsg(msgPadrao->Msg(QStringLiteral("DIETA_NAO_SOMADA")), {rotulo, nomeServico});
        Consiste::MensErro(motivo.isEmpty() ? aviso : motivo + QStringLiteral("\n\n") + aviso, true);
    };
    try {
        const QString dieta = cdsCardadia->FieldByName(QStringLiteral("CDDIETPAD"))->AsString();
        {
            // CheckResultServ raises the server's message; decode before anything is loaded.
            const TDataPacket somas = Pacote(QStringLiteral("GetAtuaQtEfet"),
                                             {medCdFilial->Text(), servico, dieta, depCardapio->GetDate()});
            cdsAtuaQtEfet->SetData(somas);
        }

        // Editing the diet row from here must neither switch the commands nor disable this page.
        auto reacao = std::exchange(dtsPadrao->OnStateChange, {});
        const auto religa = qScopeGuard([&] { dtsPadrao->OnStateChange = std::move(reacao); });
        try {
            auto soma = [this](const char* field) {
                return cdsAtuaQtEfet->FieldByName(QLatin1String(field))->AsFloat();
            };
            cdsCardadia->Edit();
            cdsCardadia->FieldByName(QStringLiteral("QTCLIEFETCAR"))->SetAsFloat(soma("QTCOMEFETDIE"));
            cdsCardadia->FieldByName(QStringLiteral("QTDOAEFETCAR"))->SetAsFloat(soma("QTDOAEFETDIE"));
            cdsCardadia->FieldByName(QStringLiteral("QTFUNEFETCAR"))->SetAsFloat(soma("QTFUNEFETDIE"));
            cdsCardadia->Post();
        } catch (...) {
            // A refused post leaves the row in edit with sums the server does not hold.
            if (EmEdicao(cdsCardadia)) cdsCardadia->Cancel();
            throw;
        }
    } catch (const EAbort&) {
        naoSomada(QString()); // the refusal has been shown already
    } catch (const Exception& e) {
        naoSomada(e.Message());
    } catch (const std::exception& e) {
        naoSomada(QString::fromUtf8(e.what()));
    }
}

void TfrmMediEfetDiet::dbgClientesKeyPress(QObject* /*Sender*/, QChar& Key) {
    const char16_t c = Key.unicode();
    const bool letra = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
    if (letra || c == u'+' || c == u'-') Key = QChar();
}
