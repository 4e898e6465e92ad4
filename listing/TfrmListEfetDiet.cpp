#include "listing/TfrmListEfetDiet.h"

TfrmListEfetDiet::TfrmListEfetDiet(QWidget* parent) : TfrmDadosGerRel(parent) {
    setObjectName("frmListEfetDiet");
    SetCaption(QStringLiteral("Efetivos"));
    SetScreenCode(QStringLiteral("KVO01001"));
    SetReportCode(QStringLiteral("KVO010"));
    HelpFile = QStringLiteral("KvoHelp.hlp");
    HelpContext = 12001001;
}

void TfrmListEfetDiet::FormCreate(QObject* Sender) {
    TfrmDadosGerRel::FormCreate(Sender);
}
