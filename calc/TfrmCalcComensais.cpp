#include "calc/TfrmCalcComensais.h"

TfrmCalcComensais::TfrmCalcComensais(QWidget* parent) : TfrmRotiGeral(parent) {
    setObjectName("frmCalcComensais");
    SetCaption(QStringLiteral("Calcular Comensais"));
    SetScreenCode(QStringLiteral("KVO01002"));
    sbtConfirma->setToolTip(QStringLiteral("Calcular"));
}

void TfrmCalcComensais::FormCreate(QObject* Sender) {
    TfrmRotiGeral::FormCreate(Sender);
}
