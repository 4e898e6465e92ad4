#pragma once

#include "widgets/Focus.h"
#include "widgets/StdControls.h"
#include "widgets/TMessages.h"

#include <QLabel>

// The suite's routine dialog: a parameter group, a tool panel with the confirm and close buttons
// the screen-code label and the screen's catalog. Modal: Esc or the close button closes it.
class TfrmRotiGeral : public TForm {
    Q_OBJECT
public:
    explicit TfrmRotiGeral(QWidget* parent = nullptr);

    void SetScreenCode(const QString& code) { lblCodTela->setText(code); }
    QString ScreenCode() const { return lblCodTela->text(); }
    QString HelpFile = QStringLiteral("KvoHelp.hlp");
    int HelpContext = 0;

    virtual void FormCreate(QObject* Sender);
    virtual void FormClose(QObject* Sender, int& Action);
    virtual void sbtConfirmaClick(QObject* Sender);
    virtual void sbtFecharClick(QObject* Sender);

    QLabel* lblCodTela;
    TGroupBox* grbDadosRel;
    TPanel* panMenu;
    TButtonFlat *sbtConfirma, *sbtFechar;
    TMessages* msgPadrao;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
