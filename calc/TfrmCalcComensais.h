#pragma once

#include "host/TfrmRotiGeral.h"

// The dialog "Calcular Comensais": the application server computes the diner counts of a branch
// and a day, for every hospital service or a picked list.
class TfrmCalcComensais : public TfrmRotiGeral {
    Q_OBJECT
public:
    explicit TfrmCalcComensais(QWidget* parent = nullptr);
    void FormCreate(QObject* Sender) override;
};
