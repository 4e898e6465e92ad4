#pragma once

#include "host/TfrmDadosGerRel.h"
#include "module/ModuleExport.h"

#include "data/TDataSource.h"
#include "widgets/StdControls.h"
#include "widgets/TBtnPesquisa.h"
#include "widgets/TDateEditPlus.h"
#include "widgets/TMaskEdit.h"

class TADOIBQuery;

// The service list of the listing: what the multi-select lookup returned ("Lista"), or every
// service of the branch rebuilt at each report run ("Todos"). Module-wide; the unit clears it.
extern "C" {
KVO_MODULE_EXPORT extern QString stListaServ;
}

// The listing screen "Efetivos" (KVO01001): branch, date range and services of the headcount
// report (report code KVO010). The report side is the base's.
class KVO_MODULE_EXPORT TfrmListEfetDiet : public TfrmDadosGerRel {
    Q_OBJECT
public:
    explicit TfrmListEfetDiet(QWidget* parent = nullptr);

    void FormCreate(QObject* Sender) override;
    void FormActivate(QObject* Sender) override;
    void btpFilialBeforePesq(QObject* Sender, bool& Allow);
    void btpFilialAfterPesq(QObject* Sender);
    void medCdFilialChange(QObject* Sender);
    void medCdFilialExit(QObject* Sender);
    void depDataIniChange(QObject* Sender);
    void depDataFinChange(QObject* Sender);
    void depDataIniExit(QObject* Sender);
    void depDataFinExit(QObject* Sender);
    void rbtListaServClick(QObject* Sender);
    void rbtListaServKeyDown(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift);
    void btnServicoClick(QObject* Sender);
    void sbtPrintClick(QObject* Sender) override;
    void sbtPreviewClick(QObject* Sender) override;
    void sbtSalvarComoClick(QObject* Sender) override;
    void sbtReportEditClick(QObject* Sender) override;
    void rpddPadraoBeforeGetQueryParams(QObject* Sender, kvo::report::TReportParams& Params, bool& Flag);
    void Vd_Data();

    TLabel* lblFilial;
    TMaskEdit* medCdFilial;
    TBtnPesquisa* btpFilial;
    TEdit* edtNmFilial;
    TGroupBox* GroupBox1;
    TLabel *lblDtFinal, *lblMesFina;
    TDateEditPlus *depDataIni, *depDataFin;
    TEdit *edtDataIni, *edtDataFin;
    TGroupBox* grbServico;
    TRadioButton *rbtTodosServ, *rbtListaServ;
    TBtnPesquisa* btnServico;

    TADOIBQuery *qryFilial, *qryServico;
    TDataSource *dtsFilial, *dtsServico;

private:
    void criaCatalogo();
    void criaConsultas();
    void criaControles();
    void datasInformadas();
    void servicoInformado();
    void abreServicos();
};
