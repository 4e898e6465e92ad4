#pragma once

// A sample screen built from the framework's controls the way the module's screens are: a tool
// panel, a header with branch and date, two pages with grids and totals, menus; and a small
// routine dialog with a group of radio buttons. Used by the control tests and the screenshots.

#include "data/TDataSource.h"
#include "widgets/Menus.h"
#include "widgets/StdControls.h"
#include "widgets/TBtnPesquisa.h"
#include "widgets/TDBEdit.h"
#include "widgets/TDBGrid.h"
#include "widgets/TDateEditPlus.h"
#include "widgets/TMaskEdit.h"
#include "widgets/TPageControl.h"

class SampleForm : public TForm {
    Q_OBJECT
public:
    explicit SampleForm(QWidget* parent = nullptr);

    TMainMenu* menu;
    TMenuItem *mnuOperacao, *mnuEfetivos, *mnuClientes, *mnuManutencao, *mnuIncluir, *mnuConfirmar,
        *mnuCancelar, *mnuCalcComens;
    TPanel* panMenu;
    TButtonFlat *sbtIncluir, *sbtAlterar, *sbtExcluir, *sbtProcurar, *sbtVerificar, *sbtCancelar,
        *sbtConfirmar, *sbtImprimir, *sbtCalcComens, *sbtAjuda, *sbtFechar;
    TLabel* lblCodTela;
    TPanel* panDados;
    TLabel *lblCdFilial, *lblDataCardapio;
    TMaskEdit* medCdFilial;
    TBtnPesquisa *btpFilial, *btpDtCardapio;
    TEdit *edtNmFilial, *edtDiaCardapio;
    TDateEditPlus* depCardapio;
    TPageControl* pgcPadrao;
    TTabSheet *tshPadrao, *tshClientes;
    TDBGrid *dbgCardServ, *dbgPadrao, *dbgClientes;
    TSplitter* Splitter1;
    TPanel* panEfeCliCa;
    TDBEdit *dbeTotaEsti, *dbeClieEsti, *dbeFuncEsti, *dbeDoacEsti;

    TClientDataSet cdsFilial, cdsCardServ, cdsCardadia, cdsCliente;
    TDataSource dtsFilial, dtsCardServ, dtsPadrao, dtsCliente;
    QStringList trace; // handler calls, for tests
};

class SampleDialog : public TForm {
    Q_OBJECT
public:
    explicit SampleDialog(QWidget* parent = nullptr);

    TPanel* panMenu;
    TButtonFlat* sbtConfirma;
    TGroupBox* grbDadosRel;
    TMaskEdit* medCdFilialCalc;
    TBtnPesquisa *btpFilial, *btpServico;
    TEdit *edtNmFilial, *edtDiaSemana;
    TDateEditPlus* depDataCalc;
    TGroupBox* grpServico;
    TRadioButton *rbtTodos, *rbtLista;
};
