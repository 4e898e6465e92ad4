#pragma once

#include "FrameworkExport.h"

#include "widgets/Focus.h"
#include "widgets/StdControls.h"
#include "widgets/TMessages.h"

#include <QLabel>

class QVBoxLayout;

// What the routine and report-parameter dialogs share: a tool panel (the screen's buttons, the
// close button, the screen-code label at the far end), the parameter group, the screen's
// catalog, help on F1, and Esc or the close button hiding the dialog (its creator ends it).
class KVO_FRAMEWORK_EXPORT TfrmDialogoPadrao : public TForm {
    Q_OBJECT
public:
    void SetScreenCode(const QString& code) { lblCodTela->setText(code); }
    QString ScreenCode() const { return lblCodTela->text(); }
    QString HelpFile = QStringLiteral("KvoHelp.hlp");
    int HelpContext = 0;

    virtual void FormCreate(QObject* Sender);
    virtual void FormClose(QObject* Sender, int& Action);
    virtual void sbtFecharClick(QObject* Sender);

    QLabel* lblCodTela;
    TPanel* panMenu;
    TButtonFlat* sbtFechar;
    TGroupBox* grbDadosRel;
    TMessages* msgPadrao;

protected:
    TfrmDialogoPadrao(QWidget* parent, const QSize& size);
    // A tool button before the close button; its hint is its caption unless given.
    TButtonFlat* addToolButton(const char* name, const QString& caption, const QString& hint = QString());
    QVBoxLayout* rootLayout() const;
    void showHelp();
    void keyPressEvent(QKeyEvent* event) override;
};
