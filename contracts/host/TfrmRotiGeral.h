#pragma once

#include "widgets/Focus.h"

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QToolButton>

// The suite's routine dialog: a parameter group, a tool panel with the confirm and close buttons
// and the screen-code label. Modal; closing ends the instance.
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
    QGroupBox* grbDadosRel;
    QFrame* panMenu;
    QToolButton *sbtConfirma, *sbtFechar;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
