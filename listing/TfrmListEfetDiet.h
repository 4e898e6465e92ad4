#pragma once

#include "host/TfrmDadosGerRel.h"

// The listing screen "Efetivos": parameters of the headcount report (report code KVO010).
class TfrmListEfetDiet : public TfrmDadosGerRel {
    Q_OBJECT
public:
    explicit TfrmListEfetDiet(QWidget* parent = nullptr);
    void FormCreate(QObject* Sender) override;
};
