#pragma once

#include "host/TfrmDadosGerRel.h"
#include "module/ModuleExport.h"

// The listing screen "Efetivos": parameters of the headcount report (report code KVO010).
class KVO_MODULE_EXPORT TfrmListEfetDiet : public TfrmDadosGerRel {
    Q_OBJECT
public:
    explicit TfrmListEfetDiet(QWidget* parent = nullptr);
    void FormCreate(QObject* Sender) override;
};
