#pragma once

#include "host/TfrmRotiGeral.h"
#include "module/ModuleExport.h"

#include "data/TClientDataSet.h"
#include "data/TDataSource.h"
#include "widgets/StdControls.h"
#include "widgets/TBtnPesquisa.h"
#include "widgets/TDateEditPlus.h"
#include "widgets/TMaskEdit.h"

class TADOIBQuery;

// The dialog "Calcular Comensais" (KVO01002): the application server computes the diner counts
// of a branch and a day, for every hospital service or a picked list. Opened modally from the
// headcount screen, whose branch, date and connection it works with; it writes nothing itself.
class KVO_MODULE_EXPORT TfrmCalcComensais : public TfrmRotiGeral {
    Q_OBJECT
public:
    explicit TfrmCalcComensais(QWidget* parent = nullptr);

    void FormCreate(QObject* Sender) override;
    void FormActivate(QObject* Sender);
    void medCdFilialCalcChange(QObject* Sender);
    void medCdFilialCalcExit(QObject* Sender);
    void btpFilialBeforePesq(QObject* Sender, bool& Allow);
    void btpFilialAfterPesq(QObject* Sender);
    void depDataCalcChange(QObject* Sender);
    void depDataCalcDateChange(QObject* Sender);
    void depDataCalcExit(QObject* Sender);
    void rbtTodosClick(QObject* Sender);
    void rbtListaClick(QObject* Sender);
    void btpServicoClick(QObject* Sender);
    void sbtConfirmaClick(QObject* Sender) override;

    TLabel* lblFilial;
    TMaskEdit* medCdFilialCalc;
    TBtnPesquisa* btpFilial;
    TEdit* edtNmFilial;
    TLabel* lblDataCard;
    TDateEditPlus* depDataCalc;
    TEdit* edtDiaSemana;
    TGroupBox* grpServico;
    TRadioButton* rbtTodos;
    TRadioButton* rbtLista;
    TBtnPesquisa* btpServico;

    TADOIBQuery *qryFilial, *qryServico;
    TDataSource *dtsFilial, *dtsServico;
    TClientDataSet* cdsParamPlaneja;

private:
    void CriaConsultas();
    void CriaControles();
    void CriaCatalogo();
    void LigaEventos();

    void ValidaData();
    // The branch code as the server and the lookups know it (the edit may still hold "1").
    QString Filial() const;

    bool blPrimAtivacao = true;
};
