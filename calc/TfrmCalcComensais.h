#pragma once

#include "host/TfrmRotiGeral.h"
#include "module/ModuleExport.h"

// The dialog "Calcular Comensais": the application server computes the diner counts of a branch
// and a day, for every hospital service or a picked list.
class KVO_MODULE_EXPORT TfrmCalcComensais : public TfrmRotiGeral {
    Q_OBJECT
public:
    explicit TfrmCalcComensais(QWidget* parent = nullptr);
    void FormCreate(QObject* Sender) override;
};
