#pragma once

#include "host/TfrmPadraoGrid.h"
#include "module/ModuleExport.h"

#include "appserver/TNetConnection.h"
#include "data/TClientDataSet.h"
#include "data/TDataSource.h"
#include "widgets/StdControls.h"
#include "widgets/TBtnPesquisa.h"
#include "widgets/TDBEdit.h"
#include "widgets/TDBGrid.h"
#include "widgets/TDBText.h"
#include "widgets/TDateEditPlus.h"
#include "widgets/TMaskEdit.h"
#include "widgets/TMessages.h"
#include "widgets/TPageControl.h"

#include <QVariantList>
#include <QVector>

class TADOIBQuery;

// The headcount screen "Efetivos" (KVO01000), an MDI child of the host's main window: one branch
// and one menu date at a time, the day's services above their diet rows, and the clients'
// shares on the second page. One file per concern: Lifecycle, DataModel, LookupQueries, Layout,
// Header, DayRules, ServiceGrid, DietGrid, EditCommands, ClientsPage, ClientSums.
class KVO_MODULE_EXPORT TfrmMediEfetDiet : public TfrmPadraoGrid {
    Q_OBJECT
public:
    explicit TfrmMediEfetDiet(QWidget* parent = nullptr);
    ~TfrmMediEfetDiet() override;

    // Lifecycle
    void FormCreate(QObject* Sender) override;
    void FormClose(QObject* Sender, int& Action) override;
    virtual void FormActivate(QObject* Sender);
    // True from creation until the first activation has finished.
    bool PrimeiraAtivacaoPendente() const { return blPrimAtivacao; }

    // Header
    void netEfetivosBeforeConnect(QObject* Sender);
    void panDadosEnter(QObject* Sender);
    void panDadosExit(QObject* Sender);
    void medCdFilialEnter(QObject* Sender);
    void medCdFilialChange(QObject* Sender);
    void medCdFilialExit(QObject* Sender);
    void depCardapioEnter(QObject* Sender);
    void depCardapioChange(QObject* Sender);
    void depCardapioExit(QObject* Sender);
    void btpFilialBeforePesq(QObject* Sender, bool& Allow);
    void btpFilialAfterPesq(QObject* Sender);
    void btpDtCardapioBeforePesq(QObject* Sender, bool& Allow);
    void btpDtCardapioAfterPesq(QObject* Sender);
    void cdsDtCardapioCalcFields(TClientDataSet* DataSet);
    void Vd_Data();

    // Service grid
    void cdsCardServAfterScroll(TClientDataSet* DataSet);
    void dbgCardServColEnter(QObject* Sender);
    void dbgCardServEnter(QObject* Sender);
    void dbgCardServExit(QObject* Sender);
    void dbgCardServColExit(QObject* Sender);
    void dbgCardServEditButtonClick(QObject* Sender);
    void dbgCardServKeyPress(QObject* Sender, QChar& Key);
    void dbgCardServKeyDown(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift);
    void cdsCardServNewRecord(TClientDataSet* DataSet);
    void cdsCardServAfterInsert(TClientDataSet* DataSet);
    void cdsCardServBeforePost(TClientDataSet* DataSet);
    void cdsCardServAfterPost(TClientDataSet* DataSet);
    void cdsCardServAfterCancel(TClientDataSet* DataSet);
    void Vd_CdServico(bool required);
    void Vd_Verif_Serv();

    // Diet grid
    void dbgPadraoEnter(QObject* Sender);
    void dbgPadraoExit(QObject* Sender);
    void dbgPadraoColEnter(QObject* Sender);
    void dbgPadraoColExit(QObject* Sender);
    void dbgPadraoEditButtonClick(QObject* Sender);
    void dbgPadraoKeyPress(QObject* Sender, QChar& Key) override;
    void dbgPadraoKeyDown(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift) override;
    void cdsCardadiaAfterInsert(TClientDataSet* DataSet);
    void cdsCardadiaBeforeEdit(TClientDataSet* DataSet);
    void cdsCardadiaBeforePost(TClientDataSet* DataSet);
    void cdsCardadiaAfterPost(TClientDataSet* DataSet);
    void cdsCardadiaAfterCancel(TClientDataSet* DataSet);
    void cdsCardadiaAfterScroll(TClientDataSet* DataSet);
    void Vd_QtCliEfetCar();
    void Vd_QtFunEfetCar();
    void Vd_QtDoaEfetCar();
    void Vd_QtComEfetCar();
    void Vd_Verif_Diet();
    void Vd_Retirada();

    // Edit commands
    void dtsPadraoStateChange(QObject* Sender) override;
    void dtsCardServStateChange(QObject* Sender);
    void sbtIncluirClick(QObject* Sender);
    void sbtAlterarClick(QObject* Sender) override;
    void sbtCancelarClick(QObject* Sender);
    void sbtConfirmarClick(QObject* Sender);
    void sbtVerificarClick(QObject* Sender);
    void sbtProcurarClick(QObject* Sender);
    void sbtImprimirClick(QObject* Sender);
    void sbtCalcComensClick(QObject* Sender);

    // Clientes page
    void pgcPadraoChange(QObject* Sender);
    void mnuEfetivosClick(QObject* Sender);
    void mnuClientesClick(QObject* Sender);
    void dtsClienteStateChange(QObject* Sender);
    void cdsClienteTrabBeforeInsert(TClientDataSet* DataSet);
    void cdsClienteTrabBeforeDelete(TClientDataSet* DataSet);
    void cdsClienteTrabBeforeEdit(TClientDataSet* DataSet);
    void cdsClienteTrabBeforePost(TClientDataSet* DataSet);
    void cdsClienteTrabAfterPost(TClientDataSet* DataSet);
    void cdsClienteAfterPost(TClientDataSet* DataSet);
    void dbgClientesKeyPress(QObject* Sender, QChar& Key);

    // Client-sum check
    bool Vd_Comensais();
    void pgcPadraoExit(QObject* Sender);
    void FormCloseQuery(QObject* Sender, bool& CanClose);

    // Command switches and day rules, shared by every handler of the screen.
    void ChangeBut(bool browse);
    void Habilita(bool on);
    // The loaded day is closed for changes (planning block and days before processing).
    bool DiaFechado() const;
    // Column-edit rule on an open day: codes only in a new row, a diet name never.
    void RegraEdicaoServico();
    void RegraEdicaoDieta();
    // Both grids editable for an open day, except where the column rule keeps editing off.
    void AplicaRegraEdicao();
    void EdicaoGrades(bool on);
    // Shows beside the date whether the loaded day is closed for changes.
    void MostraDiaFechado();

    // Header panel
    TPanel* panDados;
    TLabel* lblCdFilial;
    TMaskEdit* medCdFilial;
    TBtnPesquisa* btpFilial;
    TEdit* edtNmFilial;
    TLabel* lblDataCardapio;
    TDateEditPlus* depCardapio;
    TBtnPesquisa* btpDtCardapio;
    TEdit* edtDiaCardapio;
    TLabel* lblDiaFechado; // "Dia fechado para edição", shown while the loaded day is closed

    // Tool panel and menus
    TButtonFlat *sbtCalcComens, *sbtHistorico;
    TMenuItem *mnuEfetivos, *mnuClientes, *N1, *nmuLinhaConf, *mnuCalcComens, *mnuHistorico;

    // Pages and grids
    TTabSheet* tshClientes;
    TDBGrid* dbgCardServ;
    TSplitter* Splitter1;
    TPanel* panEfeCliCa;
    TLabel *lblTotaEsti, *lblClieEsti, *lblFuncEsti, *lblDoacEsti;
    TDBEdit *dbeTotaEsti, *dbeClieEsti, *dbeFuncEsti, *dbeDoacEsti;
    TDBText* dbtNome;
    TDBGrid* dbgClientes;
    TLabel* lblDietaClientes; // which diet row the clients' shares belong to

    // Record sets
    TClientDataSet *cdsCardServ, *cdsCardadia, *cdsDtCardapio, *cdsParamPlaneja, *cdsParamGeral,
        *cdsClienteTrab, *cdsCliApuKvo, *cdsCliente, *cdsAtuaQtEfet, *cdsComensais, *cdsHistorico;
    TADOIBQuery *qryFilial, *qryServico, *qryDieta;
    TDataSource *dtsFilial, *dtsDtCardapio, *dtsServico, *dtsCardServ, *dtsDieta, *dtsCliente;

    TNetConnection* netEfetivos;

    // History: the recorded changes of the current diet row, in a read-only window.
    void sbtHistoricoClick(QObject* Sender);
    void HabilitaHistorico();

private:
    // The column rule's cells: a stored code, a diet's name.
    bool CodigoServicoFixo() const;
    bool DietaFixa() const;
    void CriaRecordSets();
    void CriaConsultas();
    void CriaCatalogo();
    void CriaCabecalho();
    void CriaComandos();
    void CriaPaginas();
    void LigaEventos();

    void ReiniciaCabecalho();
    bool PermiteAposProcessamento() const;
    void HabilitaClientes(bool on);
    void HabilitaCabecalho();
    void RecarregaDietas();
    void ConfirmaDietaPendente();
    void ApagaEditorDieta();
    bool EmEdicao(const TClientDataSet* set) const;
    bool AmbosEmRepouso() const;
    QString ServicoAtual() const;
    // The working copy of the clients' shares of the current diet row, with the settled clients.
    void CarregaClientes(QWidget* sobre);
    // The current diet row rewritten with the sums of its clients' shares.
    void SomaClientesNaDieta();
    QString IdConsMinEfe() const;
    // The client's share as the clerk saw it before typing.
    QVector<double> VistoDoCliente(const QString& cliente) const;
    // "code - name" of the current diet row.
    QString RotuloDieta() const;
    // Name of the current service (its code while it has none).
    QString NomeServico() const;

    TDataPacket Pacote(const QString& metodo, const QVariantList& args);
    TPacketPair ParPacotes(const QString& metodo, const QVariantList& args);

    bool blPrimAtivacao = false;
};
