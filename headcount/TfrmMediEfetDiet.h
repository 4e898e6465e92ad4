#pragma once

#include "host/TfrmPadraoGrid.h"

#if __has_include("appserver/TNetConnection.h")
#include "appserver/TNetConnection.h"
#define KVO_HAS_NETCONNECTION 1
#endif

// The headcount screen "Efetivos": an MDI child of the host's main window, one per host.
// Its lifecycle (creation, connection, closing) lives in Lifecycle.cpp; the header, grids,
// commands and checks are added beside it, one file per concern.
class TfrmMediEfetDiet : public TfrmPadraoGrid {
    Q_OBJECT
public:
    explicit TfrmMediEfetDiet(QWidget* parent = nullptr);
    ~TfrmMediEfetDiet() override;

    void FormCreate(QObject* Sender) override;
    void FormClose(QObject* Sender, int& Action) override;
    virtual void FormActivate(QObject* Sender);
    void netEfetivosBeforeConnect(QObject* Sender);

#ifdef KVO_HAS_NETCONNECTION
    TNetConnection* netEfetivos;
#endif

    // True from creation until the first activation has finished.
    bool PrimeiraAtivacaoPendente() const { return blPrimAtivacao; }

private:
    bool blPrimAtivacao = false;
};
