#include "calc/TfrmCalcComensais.h"

#include "host/FormParts.h"
#include "host/TADOIBQuery.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

// The dialog's queries, parameter set, catalog and controls as its resource defines them.

void TfrmCalcComensais::CriaConsultas() {
    qryFilial = kvo::NewLookupQuery(
        this, "qryFilial",
        {QStringLiteral("SELECT CDFILIAL, NMFILIAL FROM FILIAL WHERE ((CDFILIAL = :P_CDFILIAL) OR "
                        "(:P_TCDFILIAL = 'T')) ORDER BY CDFILIAL")},
        {{"CDFILIAL", 4, "Código"}, {"NMFILIAL", 30, "Nome"}});
    // This text has no slot of its own for the fourth dialect, which runs the default one.
    qryFilial->SQL_IB.clear();
    qryServico = kvo::NewLookupQuery(
        this, "qryServico",
        {QStringLiteral("SELECT CDSERVFILI, NMSERVICO FROM SERVICO WHERE (CDFILIAL = :P_CDFILIAL) AND "
                        "(IDTIPOSERV = 'D') ORDER BY CDFILIAL, CDSERVFILI")},
        {{"CDSERVFILI", 5, "Código"}, {"NMSERVICO", 40, "Nome"}});
    dtsFilial = new TDataSource(qryFilial->Query(), this);
    dtsFilial->setObjectName(QStringLiteral("dtsFilial"));
    dtsServico = new TDataSource(qryServico->Query(), this);
    dtsServico->setObjectName(QStringLiteral("dtsServico"));

    cdsParamPlaneja = new TClientDataSet(this);
    cdsParamPlaneja->setObjectName(QStringLiteral("cdsParamPlaneja"));
    cdsParamPlaneja->AddField(QStringLiteral("IDBLQEFEDIAFECH"), ftString, 20);
    cdsParamPlaneja->AddField(QStringLiteral("NRDIAANTDTPROC"), ftFloat);
    cdsParamPlaneja->AddField(QStringLiteral("IDPERLEFESRETPLA"), ftString, 1);
    cdsParamPlaneja->AddField(QStringLiteral("IDPEREFEPOSDTPR"), ftString, 1);
}

void TfrmCalcComensais::CriaCatalogo() {
    msgPadrao->SetLines({
        QStringLiteral("SERV_DEVE|Serviço deve ser informado."),
        QStringLiteral("Calc_Real|O cálculo de comensais foi realizado com sucesso."),
        QStringLiteral("Caption_Dieta|Atualizando comensais...    Dieta "),
        QStringLiteral("NExist_Conf|Não há controle alimentar cadastrado para o dia informado."),
        QStringLiteral("Servico|Serviço"),
        QStringLiteral("Serv_Empty|Não há serviço cadastrado."),
        QStringLiteral("Filial_NCad|Filial não cadastrada."),
        QStringLiteral("Filial_Inf|Filial deve ser informada."),
        QStringLiteral("DATA_PROC|Data deve ser menor ou igual a data de  processamento."),
        QStringLiteral("Data_inf|Data deve ser informada."),
    });
}

void TfrmCalcComensais::CriaControles() {
    auto* grid = new QGridLayout(grbDadosRel);
    grid->setContentsMargins(8, 6, 8, 6);
    grid->setHorizontalSpacing(6);

    medCdFilialCalc = new TMaskEdit(grbDadosRel);
    medCdFilialCalc->setObjectName(QStringLiteral("medCdFilialCalc"));
    medCdFilialCalc->SetEditMask(QStringLiteral(">aaaa;0; "));
    medCdFilialCalc->SetMaxLength(4);
    medCdFilialCalc->SetColor(clInfoBk);
    medCdFilialCalc->setFixedWidth(64);
    lblFilial = kvo::NewCaption(grbDadosRel, "lblFilial", QStringLiteral("Filial"), medCdFilialCalc);
    btpFilial = kvo::NewLookupButton(grbDadosRel, "btpFilial", QStringLiteral("Filial"), dtsFilial,
                                     QStringLiteral("Não há filial cadastrada."), medCdFilialCalc);
    edtNmFilial = kvo::NewDisplayEdit(grbDadosRel, "edtNmFilial", 200, clBtnFace);

    depDataCalc = new TDateEditPlus(grbDadosRel);
    depDataCalc->setObjectName(QStringLiteral("depDataCalc"));
    depDataCalc->SetValidColor(clBlue);
    depDataCalc->SetDayNames({QStringLiteral("Domingo"), QStringLiteral("Segunda"), QStringLiteral("Terça"),
                              QStringLiteral("Quarta"), QStringLiteral("Quinta"), QStringLiteral("Sexta"),
                              QStringLiteral("Sábado")});
    depDataCalc->SetColor(clInfoBk);
    depDataCalc->setFixedWidth(110);
    lblDataCard = kvo::NewCaption(grbDadosRel, "lblDataCard", QStringLiteral("Data"), depDataCalc);
    edtDiaSemana = kvo::NewDisplayEdit(grbDadosRel, "edtDiaSemana", 90);

    grpServico = new TGroupBox(QStringLiteral("Serviço"), grbDadosRel);
    grpServico->setObjectName(QStringLiteral("grpServico"));
    auto* choice = new QVBoxLayout(grpServico);
    choice->setContentsMargins(6, 2, 6, 2);
    rbtTodos = new TRadioButton(QStringLiteral("Todos"), grpServico);
    rbtTodos->setObjectName(QStringLiteral("rbtTodos"));
    rbtTodos->setChecked(true);
    rbtLista = new TRadioButton(QStringLiteral("Lista"), grpServico);
    rbtLista->setObjectName(QStringLiteral("rbtLista"));
    btpServico = kvo::NewLookupButton(
        grpServico, "btpServico", QString(), nullptr,
        QStringLiteral("Não há serviço hospitalar cadastrado para filial informada."), rbtLista);
    btpServico->SetEnabled(false);
    auto* listRow = new QHBoxLayout;
    listRow->addWidget(rbtLista);
    listRow->addWidget(btpServico);
    listRow->addStretch(1);
    choice->addWidget(rbtTodos);
    choice->addLayout(listRow);

    grid->addWidget(lblFilial, 0, 0);
    grid->addWidget(medCdFilialCalc, 0, 1);
    grid->addWidget(btpFilial, 0, 2);
    grid->addWidget(edtNmFilial, 0, 3, 1, 2);
    grid->addWidget(lblDataCard, 1, 0);
    grid->addWidget(depDataCalc, 1, 1, 1, 2);
    grid->addWidget(edtDiaSemana, 1, 3);
    grid->setColumnStretch(4, 1);
    grid->addWidget(grpServico, 0, 5, 2, 1);

    setTabOrder(medCdFilialCalc, depDataCalc);
    setTabOrder(depDataCalc, rbtTodos);
    setTabOrder(rbtTodos, rbtLista);
}
