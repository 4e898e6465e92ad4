#pragma once

#include "FrameworkExport.h"

#include "host/TfrmDialogoPadrao.h"

// The suite's routine dialog: the parameter group, the confirm and close buttons, the
// screen-code label and the screen's catalog. Modal: Esc or the close button closes it.
class KVO_FRAMEWORK_EXPORT TfrmRotiGeral : public TfrmDialogoPadrao {
    Q_OBJECT
public:
    explicit TfrmRotiGeral(QWidget* parent = nullptr);

    virtual void sbtConfirmaClick(QObject* Sender);

    TButtonFlat* sbtConfirma;
};
