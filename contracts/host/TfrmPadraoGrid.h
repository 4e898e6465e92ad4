#pragma once

#include "FrameworkExport.h"

#include "data/TDataSource.h"
#include "widgets/Focus.h"
#include "widgets/Menus.h"
#include "widgets/StdControls.h"
#include "widgets/TDBGrid.h"
#include "widgets/TDBNavigator.h"
#include "widgets/TMessages.h"
#include "widgets/TPageControl.h"

#include <QLabel>

class TCommand;
#include <functional>

// The suite's maintenance screen: a screen-code label, a tool panel with print, sort, help and
// close and the eight commands (each a TCommand shown by its button and by a maintenance-menu
// item, which run the same handler and show one enabled state), a page control whose first page holds the
// main grid over dtsPadrao, and a navigator panel. The base handlers run the standard
// maintenance behaviour; derived screens call them from their own handlers of the same name.
class KVO_FRAMEWORK_EXPORT TfrmPadraoGrid : public TForm {
    Q_OBJECT
public:
    explicit TfrmPadraoGrid(QWidget* parent = nullptr);
    ~TfrmPadraoGrid() override;

    // Screen identity shown in the code label; help file and context used by F1 and sbtAjuda.
    void SetScreenCode(const QString& code);
    QString ScreenCode() const { return lblCodTela->text(); }
    QString HelpFile = QStringLiteral("KvoHelp.hlp");
    int HelpContext = 0;

    // First page active and the commands set from the state of dtsPadrao's set.
    virtual void FormCreate(QObject* Sender);
    // Drops a pending edit of dtsPadrao's set (nothing half-typed is stored by the teardown),
    // then ends the instance.
    virtual void FormClose(QObject* Sender, int& Action);
    // Asked before closing; a handler clears CanClose (or throws) to keep the screen open.
    std::function<void(QObject* Sender, bool& CanClose)> OnCloseQuery;

    // Commands follow the set: at rest include, alter, delete, search and verify (alter and
    // delete only with rows), editing cancel and confirm.
    virtual void dtsPadraoStateChange(QObject* Sender);
    // Starts editing the current row of dtsPadrao's set in the grid.
    virtual void sbtAlterarClick(QObject* Sender);
    // Upper-cases what is typed into a column whose field's mask asks for it.
    virtual void dbgPadraoKeyPress(QObject* Sender, QChar& Key);
    // Esc on a changed row (cell editor closed) asks "Canc" before the change is thrown away;
    // F5 runs verify.
    virtual void dbgPadraoKeyDown(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift);
    virtual void sbtFecharClick(QObject* Sender);
    virtual void sbtAjudaClick(QObject* Sender);

    QLabel* lblCodTela;
    TPanel* panMenu;
    TButtonFlat *sbtImprimir, *sbtOrdenar, *sbtAjuda, *sbtFechar;
    TButtonFlat *sbtIncluir, *sbtAlterar, *sbtExcluir, *sbtProcurar, *sbtVerificar, *sbtComandoExtra,
        *sbtCancelar, *sbtConfirmar;
    TMainMenu* mnuPrincipal;
    TMenuItem *mnuOperacao, *mnuManutencao;
    TMenuItem *mnuIncluir, *mnuAlterar, *mnuExcluir, *mnuProcurar, *mnuVerificar, *mnuComandoExtra,
        *mnuLinha3, *mnuCancelar, *mnuConfirmar;
    TMenuItem* mnuFechar;
    TPageControl* pgcPadrao;
    TTabSheet* tshPadrao;
    TPanel* panNavegador;
    TDBNavigator* dbnPadrao;
    TDataSource* dtsPadrao;
    TDBGrid* dbgPadrao;
    // The screen's own catalog and the standard texts (key "Canc": the cancel question).
    TMessages *msgPadrao, *msgMensagensPadroes;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // Makes the button and its menu twin views of one command.
    TCommand* pair(TButtonFlat* button, TMenuItem* item);
};
