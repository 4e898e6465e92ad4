#include "host/TfrmRotiGeral.h"

TfrmRotiGeral::TfrmRotiGeral(QWidget* parent) : TfrmDialogoPadrao(parent, QSize(480, 260)) {
    sbtConfirma = addToolButton("sbtConfirma", QStringLiteral("Confirmar"));
    sbtConfirma->OnClick = [this](QObject* sender) { sbtConfirmaClick(sender); };
}

void TfrmRotiGeral::sbtConfirmaClick(QObject*) {}
