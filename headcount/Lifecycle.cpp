// Creation, connection and closing of the headcount screen.

#include "headcount/TfrmMediEfetDiet.h"

#include "host/Application.h"
#include "host/Balvora.h"
#include "widgets/Glyphs.h"
#include "widgets/HostUi.h"

TfrmMediEfetDiet::TfrmMediEfetDiet(QWidget* parent) : TfrmPadraoGrid(parent) {
    setObjectName("frmMediEfetDiet");
    SetCaption(QStringLiteral("Efetivos"));
    SetScreenCode(QStringLiteral("KVO01000"));
    setWindowIcon(kvo::WindowGlyph(QStringLiteral("efetivos")));
    HelpFile = QStringLiteral("KvoHelp.hlp");
    HelpContext = 12001000;
    tshPadrao->SetCaption(QStringLiteral("Efetivos"));

    CriaRecordSets();
    CriaConsultas();
    CriaCatalogo();
    CriaCabecalho();
    CriaComandos();
    CriaPaginas();
    LigaEventos();
    SetActiveControl(medCdFilial);

    netEfetivos = new TNetConnection(this);
    netEfetivos->setObjectName("netEfetivos");
    netEfetivos->ServerName = QStringLiteral("Kvo01000.rdmMedEfetDiet");
    netEfetivos->ThrowException = false;
    netEfetivos->BeforeConnect = [this](QObject* sender) { netEfetivosBeforeConnect(sender); };
    OnActivate = [this](QObject* sender) { FormActivate(sender); };
}

TfrmMediEfetDiet::~TfrmMediEfetDiet() = default;

void TfrmMediEfetDiet::FormCreate(QObject* Sender) {
    TfrmPadraoGrid::FormCreate(Sender);
    blPrimAtivacao = true;
    if (pgcPadrao->ActivePage() != tshPadrao) pgcPadrao->SetActivePage(tshPadrao);
    kvo::ShowAviScope avi(kvo::Application().MainForm(), kvo::aviConnecting);
    netEfetivos->Open();
}

void TfrmMediEfetDiet::netEfetivosBeforeConnect(QObject*) {
    netEfetivos->Port = Balvora::WebPort();
    netEfetivos->Host = Balvora::WebURL();
    netEfetivos->Token = Balvora::Token();
    netEfetivos->Operator = Balvora::Operador();
}

void TfrmMediEfetDiet::FormClose(QObject* Sender, int& Action) {
    netEfetivos->Close();
    TfrmPadraoGrid::FormClose(Sender, Action);
}
